// scene8.cpp — the closing screen: the greetings picture on black, then two
// trembling pictures that fade in below it, one at the left after 3 seconds
// and one at the right after 6. The presenter fades picture and music out
// over the last 3 seconds, which ends the show.
//
// Every frame is drawn from scratch on `screen`; the backbuffer is not used.
#include <cstdlib>
#include "scenes.h"
#include "shell.h"

namespace {

// Indices into BitmapTable, as the precalculation leaves them (tinted).
constexpr int greetings_picture = 20;   // "data/greets.bmp"
constexpr int left_picture = 21;        // "data/end_clipfart_1.bmp"
constexpr int right_picture = 22;       // "data/end_clipfart_2.bmp"

constexpr int presenter_id = 9;
constexpr Uint32 black = 0xff000000;
constexpr int right_edge = 711;          // where the right picture ends, before its jitter

float current_position()
{
    return scene8->position.load(relaxed);
}

}  // namespace

// ---- Preparation (main thread, before the threads) ---------------------------

void scene8_prepare()
{
    scene8->active.store(1, relaxed);
    scene8->position.store(0.0f, relaxed);
}

// ---- Clock ---------------------------------------------------------------------

void scene8_clock_begin(Scene8Clock &) {}

// The stop test comes before the position here; the last position written
// is still the one for the elapsed time.
void scene8_clock_pass(Scene8Clock &, Sint32 elapsed_ms)
{
    if (elapsed_ms > 15000 || show->running.load(relaxed) == 0)
        scene8->active.store(0, relaxed);
    scene8->position.store((float)(elapsed_ms / 15000.0 * 1000.0), relaxed);
}

// ---- Frame ---------------------------------------------------------------------

namespace {

// Draws a trembling picture whose resting top-left is (x, y): 0 to 4 pixels
// of jitter on each axis, drawn anew every time (y first, then x). Its
// opacity grows by one per frame drawn and stops at 255.
void draw_trembling(int bitmap, int x, int y, int32_t &opacity)
{
    const long jitter_y = random() % 5;
    const long jitter_x = random() % 5;
    blit_alpha(BitmapTable[bitmap], screen, x + (int)jitter_x, y + (int)jitter_y, opacity, BLEND_LINEAR);
    if (opacity <= 254)
        opacity++;
}

}  // namespace

void scene8_render_begin(Scene8Render &r)
{
    r.fade_left = 0;
    r.fade_right = 0;
}

void scene8_draw_frame(Scene8Render &r)
{
    // SDL fills the display itself (and locks it if need be): outside our lock.
    SDL_FillRect(screen, nullptr, black);

    lock_surface(screen);
    blit_alpha(BitmapTable[greetings_picture], screen, 88, 154, 255, BLEND_LINEAR);
    if (current_position() > 200.0f)
        draw_trembling(left_picture, 88, 200, r.fade_left);
    if (current_position() > 400.0f)
        draw_trembling(right_picture, right_edge - BitmapTable[right_picture]->w, 200, r.fade_right);
    unlock_surface(screen);

    present_frame(presenter_id);
}

// ---- Clean-up --------------------------------------------------------------------

// The scene made nothing of its own.
void scene8_finish() {}

// ---- Threads ---------------------------------------------------------------------

void scene8_clock()
{
    Scene8Clock c;
    scene8_clock_begin(c);
    const Uint32 start = SDL_GetTicks();
    while (scene8->active.load(relaxed) == 1) {
        scene8_clock_pass(c, (Sint32)(SDL_GetTicks() - start));
        SDL_Delay(5);
    }
}

void scene8_render()
{
    if (scene8->active.load(relaxed) != 1)
        return;
    Scene8Render r;
    scene8_render_begin(r);
    do {
        scene8_draw_frame(r);
        SDL_Delay(5);
    } while (scene8->active.load(relaxed) == 1);
}

void scene8_run()
{
    scene8_prepare();
    drive_scene(scene8_clock, scene8_render, scene8->active);
    scene8_finish();
}

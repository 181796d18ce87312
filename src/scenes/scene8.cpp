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

constexpr Uint32 BLACK = 0xff000000;
constexpr int RIGHT_EDGE = 711;          // where the right picture ends, before its jitter

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
    if (elapsed_ms > scene_facts(8).duration_ms || show->running.load(relaxed) == 0)
        scene8->active.store(0, relaxed);
    scene8->position.store((float)scene_position_at(8, elapsed_ms), relaxed);
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
    SDL_FillRect(screen, nullptr, BLACK);

    lock_surface(screen);
    blit_alpha(BitmapTable[BITMAP_GREETS], screen, 88, 154, 255, BLEND_LINEAR);
    if (current_position() > 200.0f)
        draw_trembling(BITMAP_END_LEFT, 88, 200, r.fade_left);
    if (current_position() > 400.0f)
        draw_trembling(BITMAP_END_RIGHT, RIGHT_EDGE - BitmapTable[BITMAP_END_RIGHT]->w, 200, r.fade_right);
    unlock_surface(screen);

    present_frame(scene_facts(8).presenter_id);
}

// ---- Clean-up --------------------------------------------------------------------

// The scene made nothing of its own.
void scene8_finish() {}

// ---- Threads ---------------------------------------------------------------------

void scene8_clock() { run_scene_clock(8); }
void scene8_render() { run_scene_render(8); }
void scene8_run() { run_scene(8); }

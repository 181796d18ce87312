// scene6.cpp — 300 seeds drifting over a cityscape, re-entering at the
// opposite edge, while the words "hope" and then "visions" fade in and out.
//
// The seeds were made by the precalculation; the clock moves them once per
// pass and the render thread draws them straight onto `screen` over the
// picture, which replaces the whole previous frame.
#include "scenes.h"
#include "shell.h"

namespace {

constexpr int SEED_COUNT = 300;
constexpr float SCREEN_WIDTH = 800.0f, SCREEN_HEIGHT = 600.0f;

// Bitmaps of this scene.
constexpr int CITYSCAPE = 17, SEED_1 = 18, SEED_2 = 19, HOPE = 30, VISIONS = 31;

// trunc() toward zero, pinned to the int range (a NaN gives 0).
int truncate_to_int(double value)
{
    if (!(value > -2147483648.0))
        return value != value ? 0 : INT32_MIN;
    if (value >= 2147483647.0)
        return INT32_MAX;
    return (int)value;
}

// Moves one seed by its step; one that has left an edge re-enters at the other.
void move_seed(Seed &seed)
{
    float nx = seed.x.load(relaxed) + seed.dx;
    float ny = seed.y.load(relaxed) + seed.dy;
    if (seed.dx < 0.0f && nx < 0.0f)
        nx = SCREEN_WIDTH;
    else if (seed.dx > 0.0f && nx > SCREEN_WIDTH)
        nx = 0.0f;
    if (seed.dy < 0.0f && ny < 0.0f)
        ny = SCREEN_HEIGHT;
    else if (seed.dy > 0.0f && ny > SCREEN_HEIGHT)
        ny = 0.0f;
    seed.x.store(nx, relaxed);
    seed.y.store(ny, relaxed);
}

// Opacity of a word that rises over 200 units from `from` and falls over the
// following 100; -1 outside its window (and at its ends).
int word_opacity(float p, float from)
{
    float rise_end = from + 200.0f, fall_end = from + 300.0f;
    if (p > from && p < rise_end)
        return truncate_to_int((double)(p - from) / 200.0 * 160.0);
    if (p > rise_end && p < fall_end)
        return 160 - truncate_to_int((double)(p - rise_end) / 100.0 * 160.0);
    return -1;
}

void draw_word(SDL_Surface *word, int x, int y, int opacity)
{
    if (opacity >= 0 && word)
        blit_alpha(word, screen, x, y, opacity, 0);
}

} // namespace

// ---- Preparation -------------------------------------------------------------

void scene6_prepare()
{
    scene6->position.store(0.0f, relaxed);
    scene6->active.store(1, relaxed);
    // The picture is 24-bit: converted to the screen's 32 bits once here
    // rather than by every frame's blit (the same bytes, for a row copy).
    SDL_FreeSurface(scene6->cityscape);
    scene6->cityscape = surface_converted_for(BitmapTable[CITYSCAPE], screen);
}

// ---- Clock -------------------------------------------------------------------

void scene6_clock_begin(Scene6Clock &) {}

void scene6_clock_pass(Scene6Clock &, Sint32 elapsed_ms)
{
    scene6->position.store((float)(elapsed_ms / 32000.0 * 1000.0), relaxed);
    if (elapsed_ms > 31999 || show->running.load(relaxed) == 0)
        scene6->active.store(0, relaxed);
    // The seeds move per pass, about 200 times a second, not with the clock.
    for (int i = 0; i < SEED_COUNT; ++i)
        move_seed(scene6->seeds[i]);
}

// ---- Frame -------------------------------------------------------------------

void scene6_render_begin(Scene6Render &r) { r = Scene6Render{}; }

void scene6_draw_frame(Scene6Render &)
{
    SDL_Rect origin = {0, 0, 0, 0};
    SDL_UpperBlit(scene6->cityscape ? scene6->cityscape : BitmapTable[CITYSCAPE], nullptr, screen, &origin);

    lock_surface(screen);
    // "hope" rises from 200 and falls from 400; "visions" rises from 500 and falls from 700.
    draw_word(BitmapTable[HOPE], 145, 95, word_opacity(scene6->position.load(relaxed), 200.0f));
    draw_word(BitmapTable[VISIONS], 169, 95, word_opacity(scene6->position.load(relaxed), 500.0f));

    for (int i = 0; i < SEED_COUNT; ++i) {
        const Seed &seed = scene6->seeds[i];
        blit_alpha(BitmapTable[seed.kind != 0 ? SEED_2 : SEED_1], screen,
                   truncate_to_int(seed.x.load(relaxed)), truncate_to_int(seed.y.load(relaxed)),
                   seed.opacity, 0);
    }
    unlock_surface(screen);

    present_frame(7);
}

// ---- Clean-up ----------------------------------------------------------------

// The seeds belong to the record, which lives until shutdown.
void scene6_finish()
{
    SDL_FreeSurface(scene6->cityscape);
    scene6->cityscape = nullptr;
}

// ---- Threads -----------------------------------------------------------------

void scene6_clock()
{
    Scene6Clock c;
    scene6_clock_begin(c);
    Uint32 start = SDL_GetTicks();
    while (scene6->active.load(relaxed) == 1) {
        scene6_clock_pass(c, (Sint32)(SDL_GetTicks() - start));
        SDL_Delay(5);
    }
}

void scene6_render()
{
    if (scene6->active.load(relaxed) != 1)
        return;
    Scene6Render r;
    scene6_render_begin(r);
    while (scene6->active.load(relaxed) == 1) {
        scene6_draw_frame(r);
        SDL_Delay(5);
    }
}

void scene6_run()
{
    scene6_prepare();
    drive_scene(scene6_clock, scene6_render, scene6->active);
    scene6_finish();
}

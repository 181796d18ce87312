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
        blit_alpha(word, screen, x, y, opacity, BLEND_LINEAR);
}

} // namespace

// ---- Preparation -------------------------------------------------------------

void scene6_prepare()
{
    scene6->position.store(0.0f, relaxed);
    scene6->active.store(1, relaxed);
}

// ---- Clock -------------------------------------------------------------------

void scene6_clock_begin(Scene6Clock &) {}

void scene6_clock_pass(Scene6Clock &, Sint32 elapsed_ms)
{
    scene6->position.store((float)scene_position_at(6, elapsed_ms), relaxed);
    if (elapsed_ms > scene_facts(6).duration_ms - 1 || show->running.load(relaxed) == 0)
        scene6->active.store(0, relaxed);
    // The seeds move per pass, about 200 times a second, not with the clock.
    for (int i = 0; i < SEED_COUNT; ++i)
        move_seed(scene6->seeds[i]);
}

// ---- Frame -------------------------------------------------------------------

void scene6_render_begin(Scene6Render &r) { r = Scene6Render{}; }

void scene6_draw_frame(Scene6Render &)
{
    lock_surface(screen);
    picture_draw(scene6->cityscape ? scene6->cityscape : BitmapTable[BITMAP_CITYSCAPE], nullptr, screen, 0, 0);
    // "hope" rises from 200 and falls from 400; "visions" rises from 500 and falls from 700.
    draw_word(BitmapTable[BITMAP_HOPE], 145, 95, word_opacity(scene6->position.load(relaxed), 200.0f));
    draw_word(BitmapTable[BITMAP_VISIONS], 169, 95, word_opacity(scene6->position.load(relaxed), 500.0f));

    for (int i = 0; i < SEED_COUNT; ++i) {
        const Seed &seed = scene6->seeds[i];
        blit_alpha(BitmapTable[seed.kind != 0 ? BITMAP_SEED_2 : BITMAP_SEED_1], screen,
                   truncate_to_int(seed.x.load(relaxed)), truncate_to_int(seed.y.load(relaxed)),
                   seed.opacity, BLEND_LINEAR);
    }
    unlock_surface(screen);

    present_frame(scene_facts(6).presenter_id);
}

// ---- Clean-up ----------------------------------------------------------------

// The seeds and the backdrop belong to the record, which lives until shutdown.
void scene6_finish() {}

// ---- Threads -----------------------------------------------------------------

void scene6_clock() { run_scene_clock(6); }
void scene6_render() { run_scene_render(6); }
void scene6_run() { run_scene(6); }

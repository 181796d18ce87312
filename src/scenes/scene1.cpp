// scene1.cpp — the opening flight over a height-mapped landscape, through the
// seasons, with three title cards and a flickering sun flare.
//
// Each frame copies the sky into the backbuffer, veils it with a pale haze
// that clears over the scene, draws the ground column by column from a height
// map and a colour map (scrolling toward the viewer), lets snow and then rain
// fall, and lays the result over `screen` at partial opacity, so the previous
// frame shows through as trails. The colour map turns from snow to mud to
// grass, and the height map from mud bumps to grassy ones, by blending them in
// place: the two maps stay changed, which is fine since the scene runs once.
#include "landscape.h"
#include "scenes.h"
#include "shell.h"

namespace {

constexpr int FLAKE_COUNT = 300;

constexpr Uint32 START_COLOUR = 0xFF88AAFF;  // what the backbuffer holds before the first sky
constexpr Uint32 SNOW_COLOUR = 0x00FFFFFF;
constexpr Uint32 RAIN_COLOUR = 0x002299DD;
constexpr uint8_t BACKBUFFER_ALPHA = 200;  // how much of it covers the last frame
constexpr int BACKBUFFER_OPACITY = 200;

float current_position()
{
    return scene1->position.load(relaxed);
}

}  // namespace

// ---- Preparation (main thread, before the threads) ---------------------------

// The precalculation has already set `active` and `position` and filled the
// record's tables; there is nothing more to make.
void scene1_prepare() {}

// ---- Clock ---------------------------------------------------------------------

void scene1_clock_begin(Scene1Clock &) {}

void scene1_clock_pass(Scene1Clock &, Sint32 elapsed_ms)
{
    scene1->position.store((float)scene_position_at(1, elapsed_ms), relaxed);
    if (elapsed_ms > scene_facts(1).duration_ms || show->running.load(relaxed) == 0)
        scene1->active.store(0, relaxed);
}

// ---- Frame ---------------------------------------------------------------------

namespace {

// One season blend per frame at most. The level used is the one computed in
// the frame before, so the first blend of each phase is drawn at opacity 0.
void blend_seasons(Scene1Render &r)
{
    if (r.blend_a <= 254 && current_position() > 600.0f) {
        blit_alpha(BitmapTable[BITMAP_MUDDY_MAP], BitmapTable[BITMAP_SNOW_MAP], 0, 0, r.blend_a, BLEND_LINEAR);
        r.blend_a = (int)((current_position() - 601.0f) / 400.0 * 255.0);
        r.maps_changed = true;
    } else if (r.blend_b <= 254 && current_position() > 1200.0f) {
        blit_alpha(BitmapTable[BITMAP_GRASSY_MAP], BitmapTable[BITMAP_SNOW_MAP], 0, 0, r.blend_b, BLEND_LINEAR);
        blit_alpha(BitmapTable[BITMAP_GRASSY_BUMPS], BitmapTable[BITMAP_MUDDY_BUMPS], 0, 0, r.blend_b, BLEND_LINEAR);
        r.blend_b = (int)((current_position() - 1201.0f) / 400.0 * 255.0);
        r.maps_changed = true;
    }
}

// The sky rises by up to 128 rows over the scene while a pale blue haze over
// it clears: fully pale at position 0, untouched at 1800.
void draw_sky()
{
    const double u = current_position() / 1800.0;
    const double u2 = u * u;
    blit_copy(BitmapTable[BITMAP_INTRO_LANDSCAPE], backbuffer, 0, (int)(-128.0 * u2));

    int level = (int)(255.0 - 255.0 * u2);
    // A position that overshoots 1800 after the last clock pass would give a
    // negative level, outside what the scale table holds.
    if (level <= 0)
        return;
    // Each channel moves toward (180, 220, 242) by level / 255 of its distance.
    haze_pass(backbuffer, level);
}

// The ground, one screen column at a time, from the nearest map row to the
// farthest. Each sample fills the rows between it and the previous sample
// (which may lie below the screen), so the ground has no gaps; a sample that
// lands lower than the previous one is hidden behind nearer ground and
// writes only its own pixel. While the seasons blend, the maps change every
// frame and are laid on their side a block at a time as they are walked;
// once they stay as they are, they are laid whole once and walked from there.
void draw_ground(Scene1Render &r)
{
    const GroundMaps maps{BitmapTable[BITMAP_SNOW_MAP], BitmapTable[BITMAP_MUDDY_BUMPS], scene1->horizon_rows};
    if (r.maps_changed) {
        ground_pass(backbuffer, maps, scene1->position);
        r.maps_changed = false;
        r.ground_laid = false;
        return;
    }
    if (!r.ground_laid) {
        lay_ground(maps, *r.ground);
        r.ground_laid = true;
    }
    ground_pass_laid(backbuffer, *r.ground, scene1->horizon_rows, scene1->position);
}

// Snow before position 600, rain until 1200, then dry. A flake that falls
// off the bottom starts again at the top; one blown past the right edge
// comes back near the left edge (possibly just off screen: SDL clips).
void draw_weather()
{
    const float p = current_position();
    if (p >= 1200.0f)
        return;
    const bool snow = p < 600.0f;
    for (int i = 0; i < FLAKE_COUNT; i++) {
        Flake &flake = scene1->flakes[i];
        if (snow) {
            flake.y += flake.speed;
            if (flake.y > 599.0f)
                flake.y = 0.0f;
            flake.x += scene1->drift[(int)(flake.y + p) % 360];
        } else {
            flake.y += flake.speed + 7.0f;
            if (flake.y > 599.0f)
                flake.y = 0.0f;
            flake.x = (float)(flake.x + 0.2 * scene1->drift[(int)(flake.y + p) % 360]);
        }
        if (flake.x >= 799.0f)
            flake.x = 800.0f - flake.x;
        SDL_Rect rect;
        rect.x = (Sint16)(int)flake.x;
        rect.y = (Sint16)(int)flake.y;
        rect.w = snow ? 4 : 2;
        rect.h = 4;
        SDL_FillRect(backbuffer, &rect, snow ? SNOW_COLOUR : RAIN_COLOUR);
    }
}

// The backbuffer covers the last frame only partly; its alpha says how much.
void set_backbuffer_alpha()
{
    alpha_pass(backbuffer, BACKBUFFER_ALPHA);
}

// A card fades in over 255 position units from `from`, stays until `until`,
// then vanishes at once.
void draw_card(int bitmap, int x, int y, float p, float from, float until)
{
    if (p > from && p < from + 255.0f)
        blit_alpha(BitmapTable[bitmap], screen, x, y, (int)(p - from), BLEND_LINEAR);
    else if (p >= from + 255.0f && p < until)
        blit_alpha(BitmapTable[bitmap], screen, x, y, 255, BLEND_LINEAR);
}

}  // namespace

// Where the flicker of the sun flare is read for a position past 1000. The
// last clock pass may leave the position a little past 1800 (more if the
// clock thread was held up), so the index is kept inside the table.
int scene1_flare_index(float position)
{
    const int index = (int)(position - 1001.0f);
    if (index < 0)
        return 0;
    return index > 799 ? 799 : index;
}

void scene1_render_begin(Scene1Render &r)
{
    SDL_FillRect(backbuffer, nullptr, START_COLOUR);
    r.blend_a = 0;
    r.blend_b = 0;
    if (!r.ground)
        r.ground = std::make_unique<GroundColumns>();
    r.ground_laid = false;
    r.maps_changed = false;
}

void scene1_draw_frame(Scene1Render &r)
{
    blend_seasons(r);
    draw_sky();
    draw_ground(r);
    draw_weather();
    set_backbuffer_alpha();

    lock_surface(screen);
    blit_alpha(backbuffer, screen, 0, 0, BACKBUFFER_OPACITY, BLEND_LINEAR);
    float p = current_position();
    if (p > 1000.0f)
        blit_alpha(BitmapTable[BITMAP_SUN_FLARE], screen, 80, 0, scene1->flare_opacity[scene1_flare_index(p)], BLEND_LINEAR);
    p = current_position();
    draw_card(BITMAP_QFX_LOGO, 90, 200, p, 200.0f, 800.0f);
    draw_card(BITMAP_PRESENTS, 267, 250, p, 800.0f, 1200.0f);
    draw_card(BITMAP_LANTERNFAY_LOGO, 50, 179, p, 1200.0f, 1750.0f);
    unlock_surface(screen);

    present_frame(scene_facts(1).presenter_id);
}

// ---- Clean-up --------------------------------------------------------------------

// The changed maps stay as they are: the scene runs once.
void scene1_finish() {}

// ---- Threads ---------------------------------------------------------------------

void scene1_clock() { run_scene_clock(1); }
void scene1_render() { run_scene_render(1); }
void scene1_run() { run_scene(1); }

// scene2.cpp — colour rings warped around a wandering centre, two circling
// glows, and a dark greeting text riding a wave across the middle.
//
// Everything is drawn straight onto `screen`. The rings are the radial map
// seen through the ring warp; the text is emitted one character at a time
// into an 864-wide scroll buffer, just beyond the 800 visible columns, and
// slides left as the position advances.
#include "scenes.h"
#include "shell.h"
#include "ring_warp.h"
#include <cmath>
#include <cstring>

namespace {

// 40 characters of greeting and 27 spaces, so the text has left the screen
// before the scene ends.
const char SCROLL_TEXT[] = "marrowind 2o1o... lanternfay is upon us!                           ";
static_assert(sizeof(SCROLL_TEXT) == 68, "the scroll text is 67 characters and its terminating zero");

constexpr int TEXT_LENGTH = 67;
constexpr int BUFFER_WIDTH = 864;    // the scroll buffer: 800 visible columns and room for a glyph
constexpr int SCROLLED_ROWS = 80;    // rows that shift and show; the last 4 stay black
constexpr int GLYPH_X = 800, GLYPH_Y = 10;
constexpr int TEXT_TOP = 260;        // plus the wave (-30..30): rows 230..369
constexpr int NO_GLYPH_ADVANCE = 32;
constexpr uint32_t BUFFER_BLACK = 0xFF000000;




// Where the rings' centre sits for position p: A and B lie in -1..1.
struct Wander {
    float a, b;
};

Wander wander_at(float p)
{
    float angle3 = 3.0f * p;   // the angles are formed in single precision
    float angle2 = 2.0f * p;
    Wander w;
    w.a = (float)(pow(sin(radians(angle3)), 3.0) + pow(cos(radians(angle3)), 3.0));
    double cs = cos(radians(angle2)), sn = sin(radians(angle2));
    w.b = (float)(cs * cs - sn * sn);
    return w;
}

// Shifts rows 0..79 of the scroll buffer d columns to the left and blackens
// the d columns exposed at the right. The copy overlaps itself, hence memmove.
void shift_scroll_buffer(SDL_Surface *buffer, int d)
{
    if (d <= 0)
        return;
    if (d > BUFFER_WIDTH)
        d = BUFFER_WIDTH;
    uint8_t *pixels = static_cast<uint8_t *>(buffer->pixels);
    for (int row = 0; row < SCROLLED_ROWS; ++row) {
        uint32_t *line = reinterpret_cast<uint32_t *>(pixels + row * buffer->pitch);
        memmove(line, line + d, (size_t)(BUFFER_WIDTH - d) * sizeof(uint32_t));
        for (int x = BUFFER_WIDTH - d; x < BUFFER_WIDTH; ++x)
            line[x] = BUFFER_BLACK;
    }
}

// Emits at most one character for scroll amount S: a character is due once
// S has passed the advances of all the characters before it.
void emit_character(Scene2Render &r, float scroll)
{
    if (r.pos > TEXT_LENGTH)
        return;
    if (r.pos != 0 && !(scroll >= (float)r.widths[r.pos - 1]))
        return;
    char ch = SCROLL_TEXT[r.pos];
    if (ch == '\0') {
        scene2->text_done = 1;
        return;
    }
    if (ch != ' ') {
        SDL_Surface *glyph = font_find_glyph(scene2->font, ch);
        if (glyph) {
            picture_draw(glyph, nullptr, scene2->text_surface, GLYPH_X, GLYPH_Y);
        }
    }
    ++r.pos;
}

// Darkens the screen under the scroll buffer towards blue 10, green 40 and
// three quarters of the red, by the buffer's blue byte; each buffer row rides
// the wave row sel, shifted per column.
void draw_scroll_text(int sel)
{
    SDL_Surface *buffer = scene2->text_surface;
    const int32_t *wave = scene2->wave[sel];
    lock_surface(screen);
    uint8_t *screen_pixels = static_cast<uint8_t *>(screen->pixels);
    for (int i = 0; i < SCROLLED_ROWS; ++i) {
        const uint8_t *text_row = static_cast<const uint8_t *>(buffer->pixels) + i * buffer->pitch;
        for (int j = 0; j < 800; ++j) {
            uint32_t word = reinterpret_cast<const uint32_t *>(text_row)[j];
            int strength = word & 0xFF;
            if (strength == 0)
                continue;
            int row = wave[j] + i + TEXT_TOP;
            uint32_t *pixel = reinterpret_cast<uint32_t *>(screen_pixels + row * screen->pitch) + j;
            uint32_t p = *pixel;
            uint8_t blue = p & 0xFF, green = (p >> 8) & 0xFF, red = (p >> 16) & 0xFF;
            blue = (uint8_t)(blue - scale8(blue - 10, strength));
            green = (uint8_t)(green - scale8(green - 40, strength));
            red = (uint8_t)(red - (scale8(red, strength) >> 2));
            *pixel = (p & 0xFF000000u) | ((uint32_t)red << 16) | ((uint32_t)green << 8) | blue;
        }
    }
    unlock_surface(screen);
}

// A glow centred a quarter of its size up and left of (x, y), blended by its alpha.
void draw_glow(SDL_Surface *flare, int x, int y)
{
    if (!flare)
        return;
    lock_surface(screen);
    picture_draw(flare, nullptr, screen, x - (flare->w >> 2), y - (flare->h >> 2));
    unlock_surface(screen);
}

} // namespace

// ---- Preparation -------------------------------------------------------------

void scene2_prepare()
{
    // The precalculation left `active` at 1.
    scene2->position.store(0.0f, relaxed);
}

// ---- Clock -------------------------------------------------------------------

void scene2_clock_begin(Scene2Clock &) {}

void scene2_clock_pass(Scene2Clock &, Sint32 elapsed_ms)
{
    float position = (float)scene_position_at(2, elapsed_ms);
    scene2->position.store(position, relaxed);
    if (position >= 1000.0f || show->running.load(relaxed) == 0)
        scene2->active.store(0, relaxed);
}

// ---- Frame -------------------------------------------------------------------

void scene2_render_begin(Scene2Render &r)
{
    // The first thing shown is the screen as it is. Shown from here rather
    // than by the preparation, which the scene's clock waits for: a flip can
    // take milliseconds (SDL 1.2 over SDL2 draws it through a renderer).
    show_screen();
    r = Scene2Render{};
    int32_t sum = 0;
    for (int k = 0; k < TEXT_LENGTH; ++k) {
        char ch = SCROLL_TEXT[k];
        SDL_Surface *glyph = ch == ' ' ? nullptr : font_find_glyph(scene2->font, ch);
        sum += glyph ? glyph->w : NO_GLYPH_ADVANCE;
        r.widths[k] = sum;
    }
    r.total = r.widths[TEXT_LENGTH - 1];
    scene2->text_done = 0;
    SDL_FillRect(scene2->text_surface, nullptr, BUFFER_BLACK);
}

void scene2_draw_frame(Scene2Render &r)
{
    float p = scene2->position.load(relaxed);
    float scroll = p / 1000.0f * (float)r.total;

    p = scene2->position.load(relaxed);
    Wander w = wander_at(p);
    int cx = truncate_to_int(100.0f * w.a + 400.0f);
    int cy = truncate_to_int(100.0f * w.b + 300.0f);
    float left = (float)(cx / 400.0), right = (float)((799 - cx) / 400.0);
    float up = (float)(cy / 300.0), down = (float)((599 - cy) / 300.0);

    // Each channel's colours cycle every 32 position units, a quarter apart.
    uint8_t offset_blue = (uint8_t)(truncate_to_int(8.0f * p) & 0xFF);
    uint8_t offset_green = (uint8_t)(truncate_to_int(8.0f * (p + 250.0f)) & 0xFF);
    uint8_t offset_red = (uint8_t)(truncate_to_int(8.0f * (p + 500.0f)) & 0xFF);

    SDL_FillRect(screen, nullptr, 0);
    ring_warp(screen, scene2->radial_map, left, right, up, down, WarpChannel{offset_green, 0xFE},
              WarpChannel{offset_red, 0xFE}, WarpChannel{offset_blue, 0xFE}, r.previous_row,
              r.previous_column);

    draw_glow(BitmapTable[BITMAP_FLARE_BIG], truncate_to_int(150.0f * w.a + 400.0f), truncate_to_int(150.0f * w.b + 300.0f));
    draw_glow(BitmapTable[BITMAP_FLARE_SMALL], truncate_to_int(-200.0f * w.a + 400.0f), truncate_to_int(-200.0f * w.b + 300.0f));

    if (scene2->text_done == 0) {
        emit_character(r, scroll);
        shift_scroll_buffer(scene2->text_surface,
                            truncate_to_int(scroll - (float)truncate_to_int(r.previous_scroll)));
        p = scene2->position.load(relaxed);
        int sel = truncate_to_int(3.0f * p) % 360;
        if (sel < 0)
            sel += 360;
        draw_scroll_text(sel);
    }

    present_frame(scene_facts(2).presenter_id);
    r.previous_scroll = scroll;
}

// ---- Clean-up ----------------------------------------------------------------

void scene2_finish() {}

// ---- Threads -----------------------------------------------------------------

void scene2_clock() { run_scene_clock(2); }
void scene2_render() { run_scene_render(2); }
void scene2_run() { run_scene(2); }

// scene3.cpp — a textured column twisting in the left band, a still picture
// in the right band, and a strip scrolling down between two bevelled bars.
//
// The column is drawn into the `backbuffer`, which is laid over the screen at
// partial opacity and dimmed in the column band every frame, so the column
// leaves fading trails. Its texture cross-fades to a second picture between
// positions 200 and 250 and back between 500 and 550.
#include "scenes.h"
#include "shell.h"

namespace {

constexpr int TEXTURE_WIDTH = 360, TEXTURE_HEIGHT = 600;
constexpr int SAMPLES = 115;        // texture columns across the half cylinder
constexpr int LAST_COLUMN_X = 358;  // spans are clipped to 0..358
constexpr int STRIP_X = 361;


// The strip is drawn by blit_alpha, which reads 32-bit words and their alpha.
// The picture has no alpha of its own: it gets an opaque ARGB copy for the
// length of the scene, so a 32-bit file whose fourth bytes are 0 (as image
// editors save them) is drawn as well as a 24-bit one.
SDL_Surface *strip_copy = nullptr;

SDL_Surface *strip_picture() { return strip_copy ? strip_copy : BitmapTable[BITMAP_STRIP]; }

SDL_Surface *opaque_copy(SDL_Surface *picture)
{
    SDL_Surface *copy = argb_surface_new(picture->w, picture->h);
    if (!copy)
        return nullptr;
    // A picture loaded with an alpha mask would be blended onto the empty copy:
    // copied plainly instead, and left as it was.
    const Uint32 alpha_flags = picture->flags & (SDL_SRCALPHA | SDL_RLEACCELOK);
    const Uint8 alpha = picture->format->alpha;
    SDL_SetAlpha(picture, 0, 255);
    picture_draw(picture, nullptr, copy, 0, 0);
    if (alpha_flags)
        SDL_SetAlpha(picture, alpha_flags, alpha);
    uint32_t *row = static_cast<uint32_t *>(copy->pixels);
    for (int y = 0; y < copy->h; ++y, row += copy->pitch / 4)
        for (int x = 0; x < copy->w; ++x)
            row[x] |= 0xFF000000u;
    return copy;
}

SDL_Surface *texture_from(SDL_Surface *picture)
{
    SDL_Surface *texture = argb_surface_new(TEXTURE_WIDTH, TEXTURE_HEIGHT);
    if (picture)
        picture_draw(picture, nullptr, texture, 0, 0);
    return texture;
}

// One row of the column: 115 texture samples around the half cylinder,
// each joined to the previous one by a span of its colour.
void draw_column_row(int y, int phase_column, float spin, const uint32_t *texture, int texture_stride,
                     uint32_t *row, int32_t &previous_x)
{
    int k0 = truncate_to_int((float)scene3->twist[y][phase_column] + spin) % TEXTURE_WIDTH;
    // A negative start reads the tail of the row above, as the texture is one
    // long strip; the top row has none above it.
    if (y == 0 && k0 < 0)
        k0 += TEXTURE_WIDTH;
    const uint32_t *texture_row = texture + y * texture_stride;
    float radius = scene3->radius[y][phase_column];
    for (int l = 0; l < SAMPLES; ++l) {
        int col = k0 + l;
        if (col > TEXTURE_WIDTH - 1)
            col -= TEXTURE_WIDTH;
        uint32_t t = col >= 0 ? texture_row[col] : texture_row[col - texture_stride + TEXTURE_WIDTH];
        int shade = scene3->shade[l];
        // Opaque whatever the texture's alpha: the cross-fades add to that alpha
        // every frame (it wraps), and the column must not fade with the frame rate.
        uint32_t colour = 0xFF000000u | ((uint32_t)scale8(shade, (t >> 16) & 0xFF) << 16) |
                          ((uint32_t)scale8(shade, (t >> 8) & 0xFF) << 8) | scale8(shade, t & 0xFF);
        int x = truncate_to_int(((float)((t & 0xFF) >> 1) + radius) * scene3->cos_table[l] + 128.0f);
        if (x < 0)
            continue;
        if (l == 0) {
            previous_x = x;
            continue;
        }
        int step = x > previous_x ? 1 : -1;
        while (previous_x != x) {
            previous_x += step;
            if (previous_x >= 0 && previous_x <= LAST_COLUMN_X)
                row[previous_x] = colour;
        }
    }
}

} // namespace

// ---- Preparation -------------------------------------------------------------

void scene3_prepare()
{
    SDL_FillRect(backbuffer, nullptr, 0xFF000000);
    picture_draw(BitmapTable[BITMAP_ELF], nullptr, backbuffer, 450, 0);
    // Two bevelled bars, x 350..360 and 440..450, brightest at their outer edges.
    for (int i = 0; i <= 10; ++i) {
        Uint32 g = (Uint32)(255 - 8 * i);
        Uint32 grey = 0xFF000000u | (g << 16) | (g << 8) | g;
        SDL_Rect left_bar = {(Sint16)(350 + i), 0, 1, 600};
        SDL_FillRect(backbuffer, &left_bar, grey);
        SDL_Rect right_bar = {(Sint16)(450 - i), 0, 1, 600};
        SDL_FillRect(backbuffer, &right_bar, grey);
    }
    scene3->position.store(0.0f, relaxed);
}

// ---- Clock -------------------------------------------------------------------

void scene3_clock_begin(Scene3Clock &)
{
    scene3->position.store(0.0f, relaxed);
}

void scene3_clock_pass(Scene3Clock &, Sint32 elapsed_ms)
{
    if (elapsed_ms > scene_facts(3).duration_ms - 1 || show->running.load(relaxed) == 0)
        scene3->active.store(0, relaxed);
    scene3->position.store((float)scene_position_at(3, elapsed_ms), relaxed);
    // The counters move per pass, about 200 times a second, not with the clock.
    float phase = scene3->phase.load(relaxed);
    scene3->phase.store(phase > 359.0f ? 0.0f : (float)(phase + 0.1), relaxed);
    scene3->line_phase.store((float)(scene3->line_phase.load(relaxed) + 0.3), relaxed);
    scene3->spin.store((float)(scene3->spin.load(relaxed) + 0.1), relaxed);
}

// ---- Frame -------------------------------------------------------------------

// The column's textures and the strip are converted here, by the render
// thread before its first frame, rather than in the preparation that the
// scene's clock waits for: only frames use them, and the scene starts on time.
void scene3_render_begin(Scene3Render &r)
{
    r = Scene3Render{};
    scene3->work_surface = texture_from(BitmapTable[BITMAP_EMERALD]);
    scene3->key_surface_b = texture_from(BitmapTable[BITMAP_EMERALD_2]);
    scene3->key_surface_c = texture_from(BitmapTable[BITMAP_EMERALD]);
    SDL_Surface *strip = BitmapTable[BITMAP_STRIP];
    if (strip)
        strip_copy = opaque_copy(strip);
}

void scene3_draw_frame(Scene3Render &r)
{
    float line_phase = scene3->line_phase.load(relaxed);
    int phase_column = truncate_to_int(scene3->phase.load(relaxed));
    if (phase_column < 0 || phase_column > 359)   // the clock keeps it in 0..359
        phase_column = 0;
    float pos = scene3->position.load(relaxed);

    // The cross-fades accumulate: by the end of a window the texture is the key picture.
    if (pos >= 200.0f && pos < 250.0f)
        blit_alpha(scene3->key_surface_b, scene3->work_surface, 0, 0,
                   truncate_to_int((pos - 200.0) / 50.0 * 255.0), BLEND_LINEAR);
    else if (pos >= 500.0f && pos < 550.0f)
        blit_alpha(scene3->key_surface_c, scene3->work_surface, 0, 0,
                   truncate_to_int((pos - 500.0) / 50.0 * 255.0), BLEND_LINEAR);

    lock_surface(backbuffer);
    const uint32_t *texture = static_cast<const uint32_t *>(scene3->work_surface->pixels);
    int texture_stride = scene3->work_surface->pitch / 4;
    uint8_t *back_pixels = static_cast<uint8_t *>(backbuffer->pixels);
    for (int y = 0; y < TEXTURE_HEIGHT; ++y) {
        uint32_t *row = reinterpret_cast<uint32_t *>(back_pixels + y * backbuffer->pitch);
        draw_column_row(y, phase_column, scene3->spin.load(relaxed), texture, texture_stride, row,
                        r.previous_x);
    }
    unlock_surface(backbuffer);

    lock_surface(screen);
    // Two pairs of lines, one pair sweeping down and one up.
    int row = truncate_to_int(line_phase) % 600;
    draw_line(screen, 0, row + 1, 350, row, 0xff99bb00);
    draw_line(screen, 0, row, 350, row + 1, 0xff779900);
    draw_line(screen, 0, 600 - row, 350, 599 - row, 0xffcc8800);
    draw_line(screen, 0, 599 - row, 350, 600 - row, 0xff883300);

    blit_alpha(backbuffer, screen, 0, 0, 100, BLEND_LINEAR);
    dim_rect(backbuffer, 0, 0, 349, 600, 5);

    // Two copies of the strip, one above the other, scrolling down without end.
    int s = truncate_to_int(3.0f * pos) % 600;
    blit_alpha(strip_picture(), screen, STRIP_X, s, 255, BLEND_LINEAR);
    blit_alpha(strip_picture(), screen, STRIP_X, (s - 600) % 600, 255, BLEND_LINEAR);
    unlock_surface(screen);

    present_frame(scene_facts(3).presenter_id);
}

// ---- Clean-up ----------------------------------------------------------------

void scene3_finish()
{
    SDL_FreeSurface(scene3->work_surface);
    SDL_FreeSurface(scene3->key_surface_b);
    SDL_FreeSurface(scene3->key_surface_c);
    scene3->work_surface = scene3->key_surface_b = scene3->key_surface_c = nullptr;
    if (strip_copy)
        SDL_FreeSurface(strip_copy);
    strip_copy = nullptr;
}

// ---- Threads -----------------------------------------------------------------

void scene3_clock() { run_scene_clock(3); }
void scene3_render() { run_scene_render(3); }
void scene3_run() { run_scene(3); }

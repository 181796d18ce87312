// raster.h — the show's software raster library.
//
// Every picture is a 32-bit SDL_Surface whose pixels are words 0xAARRGGBB
// (bytes in memory: blue, green, red, alpha). All per-channel arithmetic goes
// through three byte tables. The plain loops look them up; the vector paths
// beside them compute the same bytes by arithmetic where a test proves it
// equal to the table for every entry, and look up the table where it is not.
// Rows are always stepped by the surface's pitch (pitch / 4 words): the
// show's own surfaces are packed, but a full-screen display surface may be
// wider than its visible width. Operations that take a surface never lock
// it: callers that draw on the display lock it when SDL_MUSTLOCK says so.
// darken_rect_halves, which finds `screen` by itself, locks it itself.
#pragma once
#include <SDL.h>
#include <cstdint>
#include <vector>

// The display surface (800 x 600 x 32) set by start-up; darken_rect_halves
// and draw_string_with draw on it.
extern SDL_Surface *screen;

// ---- Floating point to integer --------------------------------------------
// A plain cast of NaN or of a value outside the int range is undefined
// behaviour; these two truncate toward zero and say what happens instead.

// trunc(value), pinned to the int32 range; NaN gives 0.
static inline int32_t truncate_to_int(double value)
{
    if (!(value > -2147483648.0))
        return value != value ? 0 : INT32_MIN;
    if (value >= 2147483647.0)
        return INT32_MAX;
    return (int32_t)value;
}
// trunc(value) when it fits int32; NaN, infinities and every value beyond
// give INT32_MIN, which a rasterizer reads as "far off the target".
static inline int32_t truncate_or_int_min(double value)
{
    if (value > -2147483649.0 && value < 2147483648.0)
        return (int32_t)value;
    return INT32_MIN;
}

// ---- Colour tables -----------------------------------------------------

// 512 rows x 256 columns: entry [r][v] = low byte of trunc(v * ((r - 256) / 255.0)).
extern uint8_t *ScaleTable;
// Same shape: entry [r][v] = low byte of trunc(v * pow((r - 256) / 255.0, 3)).
extern uint8_t *CubeTable;
// 51200 rows x 256 columns: row d scales a channel by (30000 - min(d, 30000)) / 30000 (float).
extern uint8_t *DepthShadeTable;

// Allocates and fills ScaleTable and CubeTable. Call once before any blit.
void tables_init();
// Allocates and fills DepthShadeTable (12.5 MiB). Call once before any 3D drawing.
void depth_shade_table_init();
// Releases whichever tables exist and sets their pointers to NULL.
void tables_free();

// trunc(value * factor / 255) as a byte; factor -256..255, value 0..255.
// (Row factor + 256 times 256 rather than factor << 8: shifting a negative
// factor left is undefined in C++17.)
static inline uint8_t scale8(int factor, int value) { return ScaleTable[(factor + 256) * 256 + value]; }
// trunc(value * (factor / 255)^3) as a byte; same ranges.
static inline uint8_t cube_scale8(int factor, int value) { return CubeTable[(factor + 256) * 256 + value]; }
// Dims red, green and blue of pixel by depth (0 <= depth < 51200); alpha passes through.
static inline uint32_t shade_pixel(uint32_t pixel, int depth)
{
    const uint8_t *s = DepthShadeTable + (depth << 8);
    return (pixel & 0xFF000000u) | ((uint32_t)s[(pixel >> 16) & 0xFF] << 16) |
           ((uint32_t)s[(pixel >> 8) & 0xFF] << 8) | s[pixel & 0xFF];
}

// ---- Blits, fills and compositing ----------------------------------------
// "Blit" clipping: src's top-left lands at (x, y), which may be negative.
// "Rectangle" clipping: (x, y, w, h) covers columns x..x+w and rows y..y+h.

// How blit_alpha moves a destination channel towards the source's.
enum BlendMode { BLEND_LINEAR = 0, BLEND_CUBIC = 1 };

// Alpha-blends src onto dst with its top-left corner at (x, y).
// opacity 0..255 scales the source alpha (values outside are clamped);
// BLEND_CUBIC moves by the cube of the difference, anything else is linear.
// Source pixels of alpha 0 leave the destination untouched; otherwise
// destination alpha accumulates the source alpha (mod 256). Allocates nothing.
// Picks the fastest path this processor has; every path gives the same pixels.
void blit_alpha(SDL_Surface *src, SDL_Surface *dst, int x, int y, int opacity, BlendMode mode);
// blit_alpha of src's rows first_row .. end_row - 1 only, as if the others
// were transparent: a band of a picture that is finished band by band.
void blit_alpha_rows(SDL_Surface *src, SDL_Surface *dst, int x, int y, int first_row, int end_row, int opacity,
                     BlendMode mode);
// The plain table walk that every faster path (raster_paths.h) is tested against.
void blit_alpha_reference(SDL_Surface *src, SDL_Surface *dst, int x, int y, int opacity, BlendMode mode);
// Copies whole pixels (alpha included) of src to dst at (x, y).
void blit_copy(SDL_Surface *src, SDL_Surface *dst, int x, int y);
// Copies the (sw + 1) x (sh + 1) block of src at (sx, sy) to dst at (x, y),
// skipping pixels equal to key (key < 0: copy all). Rectangle clipping on dst.
// No scene calls it: it stays as the copy the library's text scrollers over
// raw image files are built on (image_load).
void blit_keyed(SDL_Surface *src, int sx, int sy, int sw, int sh, SDL_Surface *dst, int x, int y, int key);
// Warm fade: caps blue at 0.9m, green at 0.8m, red at m (m = 255 - level) on
// non-black pixels. level <= 0 does nothing; a level above 255 acts as 255.
void fade_rect(SDL_Surface *s, int x, int y, int w, int h, int level);
void fade_rect_reference(SDL_Surface *s, int x, int y, int w, int h, int level);   // the plain loop
// Scales each channel of non-black pixels by (255 - amount) / 255. amount <= 0
// does nothing; an amount above 255 acts as 255 (black).
void dim_rect(SDL_Surface *s, int x, int y, int w, int h, int amount);
void dim_rect_reference(SDL_Surface *s, int x, int y, int w, int h, int amount);   // the table walk
// Stores colour in every pixel of the rectangle (rectangle clipping: w = 0
// draws nothing). The scenes clear with SDL_FillRect; this stays as the
// library's own fill, one of its set of rectangle operations.
void fill_rect(SDL_Surface *s, int x, int y, int w, int h, uint32_t colour);
// Stores colour at (x, y) when it lies inside s.
void put_pixel(SDL_Surface *s, int x, int y, uint32_t colour);
// DDA line from (x0, y0) towards (x1, y1), end point excluded; axis-parallel
// lines of more than one point draw nothing.
void draw_line(SDL_Surface *s, int x0, int y0, int x1, int y1, uint32_t colour);
// On screen: blue >>= 1, green and red >>= 2 for columns x0..x1-1, rows
// y0..y1-1, clipped to the screen; alpha is kept. No scene calls it: it
// stays as one of the library's set of rectangle operations, a plain loop
// (with no caller, a faster path would buy nothing).
void darken_rect_halves(int x0, int y0, int x1, int y1);

// ---- Scaling a picture up ----------------------------------------------------
// The show's frame onto a display larger than it. Pixels are blended here,
// byte for byte the same on every target, never by whichever SDL is underneath.

// How a scaled picture's pixels are filled. Smooth: bilinear, each pixel the
// blend of the four source pixels around its centre. Sharp: each source pixel
// a block; where the factor is not whole, the one target pixel that an edge
// between two source pixels crosses blends them by how much of it each covers
// (a whole factor gives plain blocks).
enum ScaleFilter { SCALE_SMOOTH = 0, SCALE_SHARP = 1 };

// Where one size of picture lands in a target and how: made once by
// scale_plan_make (it allocates), then used for every frame (allocates nothing).
struct ScalePlan {
    int src_w = 0, src_h = 0;   // the picture's size
    int x = 0, y = 0, w = 0, h = 0;   // the rectangle it fills on the target
    ScaleFilter filter = SCALE_SMOOTH;
    // Per target column: the left of its two source columns, and their
    // weights out of 256 as two 16-bit halves (left's low, right's high).
    std::vector<int32_t> column_x;
    std::vector<uint32_t> column_weights;
    // Per target row: the upper of its two source rows and the lower's weight 0..256.
    std::vector<int32_t> row_y, row_weight;
    // The vector paths' two working rows (w pixels of four 16-bit channels)
    // and the source rows they hold (-1: none).
    std::vector<uint16_t> working;
    int working_source_row[2] = {-1, -1};
};

// Plans the scaling of a src_w x src_h picture (at least 2 x 2) into the
// rectangle (x, y, w, h) of a target; false (and an empty plan) for sizes
// it cannot take.
bool scale_plan_make(ScalePlan &plan, int src_w, int src_h, int x, int y, int w, int h, ScaleFilter filter);
// Scales the whole of src into plan's rectangle of dst; does nothing unless
// src has the plan's size and the rectangle lies inside dst. Pixels outside
// the rectangle are left alone; all four bytes of a pixel are scaled alike.
// Picks the fastest path this processor has; every path gives the same pixels.
void scale_picture(SDL_Surface *src, SDL_Surface *dst, ScalePlan &plan);
// The plain loop, each pixel on its own, that the faster paths are tested against.
void scale_picture_reference(SDL_Surface *src, SDL_Surface *dst, ScalePlan &plan);
// The largest 4:3 rectangle, in whole pixels, that fits a target_w x
// target_h target, centred (left and top gaps rounded down).
void picture_rectangle(int target_w, int target_h, int &x, int &y, int &w, int &h);

// ---- Pictures of other formats ------------------------------------------------
// Loaded pictures are 24-bit; glyphs and glows carry per-pixel alpha. How such
// a picture lands on a 32-bit surface is computed here, byte for byte as the
// blits of SDL 1.2.15 compute it, and never left to whichever SDL 1.2 is
// underneath: the one built over SDL2 rounds the blend differently and keeps
// other top bytes, and a browser has no SDL blit at all.

// Draws the area of src (NULL: all of it) onto the 32-bit dst with the area's
// top-left at (x, y), clipped as SDL_UpperBlit clips (to src, then to dst's
// clip rectangle). src's flags say how its pixels combine:
//  - an alpha mask and SDL_SRCALPHA: blended by each pixel's alpha; alpha 0
//    leaves dst alone, 255 copies the colour; dst keeps its own alpha byte.
//    Same colour masks (0xFF000000 alpha): blend_pixel_by_alpha; other
//    formats round each step up by 255/256 first, as SDL 1.2.15 does, and
//    keep dst's alpha (0 without an alpha mask) where SDL 1.2.15 sometimes
//    carries a stray bit into it; no picture of the show is such a format.
//  - SDL_SRCCOLORKEY: pixels equal to the key (alpha bits aside) are
//    skipped, the others converted as below.
//  - otherwise every pixel is converted: the colours shifted into dst's
//    format (a palette entry for 8 bits; 16-bit fields are not widened as
//    SDL 1.2.15's 16-to-32-bit tables widen them), alpha 255 where dst has an
//    alpha mask (src's own alpha when it has one), top bits 0 where dst has
//    none. Two surfaces of the same format: whole rows are copied. src may be
//    dst: overlapping whole-row copies come out as if through a buffer.
// src has 1 (palette), 2, 3 or 4 bytes per pixel; anything else, or a dst
// that is not 32-bit, draws nothing. Surface-wide alpha is not applied.
// Locks src when SDL says it must be; the caller locks dst (the display).
void picture_draw(SDL_Surface *src, const SDL_Rect *area, SDL_Surface *dst, int x, int y);
// The blend of one ARGB pixel over a pixel of the same colour masks: each
// colour channel d becomes d + floor((s - d) * alpha / 256); alpha 255 gives
// s's colour, alpha 0 leaves dst as it is; the result keeps dst's top byte.
uint32_t blend_pixel_by_alpha(uint32_t src, uint32_t dst);
// blend_pixel_by_alpha of src[i] over dst[i] for i < count, into dst; with
// SSE2, four pixels at a time, every pixel as the one-pixel blend gives it.
void blend_pixels_by_alpha(const uint32_t *src, uint32_t *dst, int count);

// ---- Bitmap font -------------------------------------------------------------

// One glyph's cell in the font sheet.
struct GlyphRect {
    int32_t x, y, w, h;
};

// Glyph surfaces cut from a sheet; characters[i] names glyphs[i]; glyphs ends with NULL.
struct Font {
    char *characters;
    SDL_Surface **glyphs;
};

// Cuts one ARGB glyph per rectangle (rects ends with NULL) from sheet; alpha = blue.
// The sheet stays the caller's.
Font *font_new(SDL_Surface *sheet, const char *characters, GlyphRect **rects);
// The glyph for ch, or NULL (NUL, or a character not in the font). Exact match, linear walk.
SDL_Surface *font_find_glyph(Font *font, char ch);
// Releases the glyphs and the record.
void font_free(Font *font);
// Blends the glyph of ch onto dst by its alpha (picture_draw), top-left at
// (x, y); nothing if ch has none. The caller locks dst if it is the display.
void font_draw_glyph(Font *font, char ch, SDL_Surface *dst, int x, int y);
// Draws text on `screen` with font: space advances 22, line feed goes 70 down.
// (The shell's draw_string calls it with the scroll-text font.)
void draw_string_with(Font *font, const char *text, int x, int y);

// The show's font: its 39 characters and their cells in "data/fonts64.bmp".
extern const char FONT_CHARACTERS[];
extern GlyphRect *FONT_GLYPH_RECTS[];   // 39 entries and a NULL

// ---- Data files ---------------------------------------------------------

// What stands at path when something is there but it is not a plain file
// ("a folder", "a named pipe", "a device", "a socket", "a special file"); NULL for a
// plain file and for nothing at all. The show reads its data only from plain
// files: opening a named pipe waits for a writer that may never come, and a
// device may never end. Symbolic links are followed.
const char *not_a_plain_file(const char *path);

// ---- Images and sprites --------------------------------------------------

// Replaces *slot by an ARGB copy coloured (red, green, blue) whose alpha is
// the old picture's green channel; frees the old surface. NULL *slot: nothing.
void surface_tint(SDL_Surface **slot, uint8_t red, uint8_t green, uint8_t blue);
// Reads a raw image (u16 width, height, bits per pixel; RGB(A) rows) into a
// surface with SDL's default 32-bit masks (no alpha mask). bits / 8 of 3 or 4
// reads pixels until the file ends; other depths read none. NULL when the file
// is not a plain file, cannot be opened, is shorter than its 6-byte header,
// or has a side longer than IMAGE_MAX_SIDE (the surface is made before the
// pixels are read, and a six-byte file could otherwise ask for 16 GiB).
// No file of the show is in this format: it stays as the library's own image
// format, read by its keyed blit's users, and must stay safe on any file (a
// fuzz target feeds it).
constexpr int IMAGE_MAX_SIDE = 4096;
SDL_Surface *image_load(const char *path);

// Locks s for direct pixel access when SDL says it must be locked (a
// display surface may need it; the show's own surfaces never do).
void lock_surface(SDL_Surface *s);
// Undoes lock_surface.
void unlock_surface(SDL_Surface *s);

// Creates an ARGB surface (flags 0, depth 32, masks 00FF0000/0000FF00/000000FF/FF000000),
// zero-filled; NULL for a negative size.
SDL_Surface *argb_surface_new(int width, int height);
// A copy of picture in target's pixel format, made by the same picture_draw
// that draws picture onto target; drawing the copy onto target (picture_draw,
// or SDL_UpperBlit) is then a plain row copy giving target the very bytes
// (alpha included) that drawing picture would, without converting every pixel
// each time. The caller frees
// it; NULL when either is NULL, when picture has a colour key or alpha (its
// blit then depends on what target holds), or when out of memory.
SDL_Surface *surface_converted_for(SDL_Surface *picture, const SDL_Surface *target);

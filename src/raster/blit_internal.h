// blit_internal.h — what the plain and the vector pixel loops share inside
// the raster library: clipping, row walking, the one-pixel blend, and the
// few table entries that the vector blends cannot compute by arithmetic.
#pragma once
#include "raster_paths.h"
#include <cstddef>

namespace raster_detail {

// Words per row of s: the pitch, not the width, says where the next row starts.
inline ptrdiff_t row_stride(const SDL_Surface *s) { return s->pitch / 4; }
inline uint32_t *pixel_words(SDL_Surface *s) { return static_cast<uint32_t *>(s->pixels); }
inline bool drawable(const SDL_Surface *s) { return s && s->pixels && s->w > 0 && s->h > 0; }
// The warm fade's ceilings for a level 1..255: blue below red, green lowest.
struct FadeCaps {
    uint32_t red, green, blue;
};
inline FadeCaps fade_caps(int level)
{
    int ceiling = 255 - level;
    return FadeCaps{static_cast<uint32_t>(ceiling), static_cast<uint32_t>(static_cast<int>(0.8 * ceiling)),
                    static_cast<uint32_t>(static_cast<int>(0.9 * ceiling))};
}
// Keeps columns x0..x1-1 and rows y0..y1-1 inside the screen (a rectangle
// reaching past it would write outside the frame); false when nothing is left.
inline bool clip_to_screen(int &x0, int &y0, int &x1, int &y1)
{
    if (!drawable(screen))
        return false;
    if (x0 < 0)
        x0 = 0;
    if (y0 < 0)
        y0 = 0;
    if (x1 > screen->w)
        x1 = screen->w;
    if (y1 > screen->h)
        y1 = screen->h;
    return x0 < x1 && y0 < y1;
}
inline int clamp_byte(int value) { return value < 0 ? 0 : value > 255 ? 255 : value; }

// The part of a source placed at (x, y) that lands inside dst.
struct BlitSpan {
    int dst_x, dst_y;   // first destination column and row
    int src_x, src_y;   // the source column and row that land there
    int width, height;  // columns and rows to draw, both > 0
};
// Blit clipping; false when nothing lands on dst.
bool clip_blit(const SDL_Surface *src, const SDL_Surface *dst, int x, int y, BlitSpan &span);

// A rectangle after rectangle clipping: columns x..x+w, rows y..y+h.
struct ClippedRect {
    int x, y, w, h;
    int left_cut, top_cut;   // columns and rows cut off at the left and top
};
// Rectangle clipping; false when nothing is left.
bool clip_rect(const SDL_Surface *s, int x, int y, int w, int h, ClippedRect &rect);

// One pixel of blit_alpha through the tables: weight_of_alpha is the
// ScaleTable column of the opacity, blend the mode's table.
inline uint32_t blend_pixel(uint32_t source, uint32_t target, const uint8_t *weight_of_alpha,
                            const uint8_t *blend)
{
    uint32_t alpha = source >> 24;
    if (alpha == 0)   // fully transparent: not even the alpha moves
        return target;
    // Column e of the blend table: row d - s + 256 gives the step
    // trunc(e * (d - s) / 255), which is subtracted modulo 256.
    const uint8_t *step = blend + weight_of_alpha[alpha << 8];
    uint32_t blue = target & 0xFF, green = (target >> 8) & 0xFF, red = (target >> 16) & 0xFF;
    blue = (blue - step[(blue - (source & 0xFF) + 256) << 8]) & 0xFF;
    green = (green - step[(green - ((source >> 8) & 0xFF) + 256) << 8]) & 0xFF;
    red = (red - step[(red - ((source >> 16) & 0xFF) + 256) << 8]) & 0xFF;
    uint32_t accumulated = ((target >> 24) + alpha) & 0xFF;   // wraps, never blended
    return (accumulated << 24) | (red << 16) | (green << 8) | blue;
}

// ScaleTable against the arithmetic floor(e * |k| / 255), exact, signed like k. The table rounds its factor to a
// double first, so a few exactly integral products come out one lower. Every
// entry that differs has its |k| among `magnitude`, its e among `weight`,
// and e * |k| a multiple of 255; the vector paths hand any lane meeting all
// three to the table.
struct ScaleExceptions {
    bool arithmetic_usable;   // false: they differ otherwise (vector paths walk the table)
    int count;
    int magnitude[8];         // the |k| (row offsets) with differing entries
    int weight_count;
    int weight[16];           // the e (columns) with differing entries
};
extern ScaleExceptions scale_exceptions;
// Entry [o][a] is 1 when the weight of alpha a at opacity o (ScaleTable row
// a + 256, column o) is among scale_exceptions.weight, so its pixels may need
// the table; 0 otherwise. Bytes, so that four alphas are four plain loads.
extern uint8_t listed_weight_alphas[256][256];
// The same sets split for a byte shuffle: entry [o][0][l] has bit h set when
// alpha h * 16 + l is listed (h < 8), entry [o][1][l] likewise for h - 8.
extern uint8_t listed_weight_nibbles[256][2][16];
// Compares every ScaleTable entry with the arithmetic and fills scale_exceptions.
void find_scale_exceptions();

#if RASTER_SSE2_PATHS
// The vector paths' cubic step for |d - s| = magnitude and weight e, both
// 0..255, by single-float arithmetic (one lane of the very code they run);
// ask_table is set where it may differ from CubeTable, which then decides.
int cube_step_by_arithmetic(int magnitude, int weight, bool &ask_table);
#endif
// An opaque source blends every pixel of a blit with one weight (and a run of
// pixels of one alpha all of the run), so the cubic step depends on
// |d - s| = m alone, and 16-bit integers can give it
// eight lanes at a time: ((floor(m^2 * 256m / 65536) * multiplier) >> 16)
// >> shift, with the constants fitted to the weight's CubeTable column and
// the few magnitudes where that differs from the table corrected by adding
// their fix to the step byte.
struct CubeRow {
    bool usable;   // every m equals CubeTable on both sides (else the float steps run)
    uint16_t multiplier;
    int shift;
    int fix_count;
    uint8_t fix_magnitude[4];
    uint8_t fix[4];
};
struct CubeArithmetic {
    bool usable;   // every entry not asked of the table equals CubeTable (else the table is walked)
    int flagged;   // the (magnitude, weight) pairs that ask the table, of 65,536
    CubeRow weight_rows[256];   // by weight
};
extern CubeArithmetic cube_arithmetic;
#if RASTER_SSE2_PATHS
// The step of magnitude m by a weight's row: one lane of the vector code.
int cube_row_step(int magnitude, const CubeRow &row);
#endif
// Runs the arithmetic over every (magnitude, weight) against CubeTable and
// fills cube_arithmetic, fitting and proving the opaque rows on the way
// (without the vector paths: leaves it unusable, for nothing uses it).
void check_cube_arithmetic();

} // namespace raster_detail

// landscape.cpp — scene 1's haze and ground passes.
#include "landscape.h"
#include <emmintrin.h>
#include "raster.h"

namespace {

constexpr int MAP_ROWS = 256;
constexpr int SCREEN_WIDTH = 800;
constexpr int SCREEN_HEIGHT = 600;

// The haze's colour, one byte per channel in pixel order (alpha's is unused).
constexpr int HAZE_BLUE = 242, HAZE_GREEN = 220, HAZE_RED = 180;

// floor(product / 255) for 0 <= product <= 65535, as the vector path forms it
// (a multiply-high by 0x8081 and a shift of 7).
inline int divide_by_255(int product)
{
    return static_cast<int>((static_cast<uint32_t>(product) * 0x8081u) >> 23);
}

// v moved toward target by level / 255 of the distance, rounded toward v.
inline int haze_arithmetic(int v, int target, int level)
{
    return target >= v ? v + divide_by_255(level * (target - v)) : v - divide_by_255(level * (v - target));
}

template <typename Row>
void for_each_row(SDL_Surface *s, Row row)
{
    uint32_t *pixels = static_cast<uint32_t *>(s->pixels);
    const int step = s->pitch / 4;
    for (int y = 0; y < s->h; y++, pixels += step)
        row(pixels, s->w);
}

} // namespace

void haze_tables(int level, HazeTables &tables)
{
    for (int v = 0; v < 256; v++) {
        tables.blue[v] = (uint8_t)(v + scale8(HAZE_BLUE - v, level));
        tables.green[v] = (uint8_t)(v + scale8(HAZE_GREEN - v, level));
        tables.red[v] = (uint8_t)(v + scale8(HAZE_RED - v, level));
    }
}

bool haze_arithmetic_matches(int level, const HazeTables &tables)
{
    if (level < 0 || level > 255)
        return false;
    for (int v = 0; v < 256; v++)
        if (tables.blue[v] != haze_arithmetic(v, HAZE_BLUE, level) ||
            tables.green[v] != haze_arithmetic(v, HAZE_GREEN, level) ||
            tables.red[v] != haze_arithmetic(v, HAZE_RED, level))
            return false;
    return true;
}

namespace {

void haze_rows_by_tables(SDL_Surface *s, const HazeTables &t)
{
    for_each_row(s, [&](uint32_t *row, int width) {
        for (int x = 0; x < width; x++) {
            const uint32_t pixel = row[x];
            row[x] = (pixel & 0xFF000000u) | ((uint32_t)t.red[(pixel >> 16) & 0xFF] << 16) |
                     ((uint32_t)t.green[(pixel >> 8) & 0xFF] << 8) | t.blue[pixel & 0xFF];
        }
    });
}

// Four pixels: each byte's distance to the haze colour, scaled by level / 255
// in 16-bit lanes and added toward it; the alpha bytes are put back.
inline __m128i haze_four(__m128i v, __m128i target, __m128i level, __m128i alpha)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i reciprocal = _mm_set1_epi16(static_cast<short>(0x8081));
    __m128i up = _mm_subs_epu8(target, v);     // target - v where v is below it, else 0
    __m128i down = _mm_subs_epu8(v, target);   // v - target where v is above it, else 0
    __m128i distance = _mm_or_si128(up, down);
    __m128i low = _mm_mullo_epi16(_mm_unpacklo_epi8(distance, zero), level);
    __m128i high = _mm_mullo_epi16(_mm_unpackhi_epi8(distance, zero), level);
    low = _mm_srli_epi16(_mm_mulhi_epu16(low, reciprocal), 7);
    high = _mm_srli_epi16(_mm_mulhi_epu16(high, reciprocal), 7);
    __m128i moved = _mm_packus_epi16(low, high);
    __m128i above = _mm_cmpeq_epi8(down, zero);   // all ones where v is not above the target
    __m128i result = _mm_sub_epi8(_mm_add_epi8(v, _mm_and_si128(above, moved)), _mm_andnot_si128(above, moved));
    return _mm_or_si128(_mm_andnot_si128(alpha, result), _mm_and_si128(alpha, v));
}

void haze_rows_by_arithmetic(SDL_Surface *s, const HazeTables &t, int level)
{
    const __m128i target = _mm_set1_epi32((HAZE_RED << 16) | (HAZE_GREEN << 8) | HAZE_BLUE);
    const __m128i level16 = _mm_set1_epi16(static_cast<short>(level));
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for_each_row(s, [&](uint32_t *row, int width) {
        int x = 0;
        for (; x + 4 <= width; x += 4) {
            __m128i *at = reinterpret_cast<__m128i *>(row + x);
            _mm_storeu_si128(at, haze_four(_mm_loadu_si128(at), target, level16, alpha));
        }
        for (; x < width; x++) {
            const uint32_t pixel = row[x];
            row[x] = (pixel & 0xFF000000u) | ((uint32_t)t.red[(pixel >> 16) & 0xFF] << 16) |
                     ((uint32_t)t.green[(pixel >> 8) & 0xFF] << 8) | t.blue[pixel & 0xFF];
        }
    });
}

} // namespace

void haze_pass_reference(SDL_Surface *s, int level)
{
    HazeTables tables;
    haze_tables(level, tables);
    haze_rows_by_tables(s, tables);
}

void haze_pass(SDL_Surface *s, int level)
{
    HazeTables tables;
    haze_tables(level, tables);
    // The scale table's entries are a double product truncated; a few of them
    // lie one below the exact quotient. On a level that meets one, the
    // tables do the work.
    if (haze_arithmetic_matches(level, tables))
        haze_rows_by_arithmetic(s, tables, level);
    else
        haze_rows_by_tables(s, tables);
}

// ---- Ground ------------------------------------------------------------------

namespace {

struct GroundRows {
    const uint32_t *colour[MAP_ROWS];
    const uint32_t *height[MAP_ROWS];
    uint32_t *target[SCREEN_HEIGHT];
    int horizon[MAP_ROWS];   // screen row of flat ground at each depth
    int flatten[MAP_ROWS];   // far ground is lifted by half as much as near ground
};

void ground_rows(SDL_Surface *target, const GroundMaps &maps, GroundRows &rows)
{
    for (int d = 0; d < MAP_ROWS; d++) {
        rows.colour[d] = static_cast<const uint32_t *>(maps.colours->pixels) + d * (maps.colours->pitch / 4);
        rows.height[d] = static_cast<const uint32_t *>(maps.heights->pixels) + d * (maps.heights->pitch / 4);
        rows.horizon[d] = maps.horizon_rows[d] + 640;
        rows.flatten[d] = 128 - (d >> 2);
    }
    for (int y = 0; y < SCREEN_HEIGHT; y++)
        rows.target[y] = static_cast<uint32_t *>(target->pixels) + y * (target->pitch / 4);
}

// One sample of column x: it fills the rows between it and the previous
// sample (which may lie below the screen), so the ground has no gaps; a
// sample that lands lower than the previous one is hidden behind nearer
// ground and writes only its own pixel.
inline void ground_sample(const GroundRows &rows, int x, int d, int k, int &previous_row)
{
    int m = k + d;
    if (m > MAP_ROWS - 1)
        m -= MAP_ROWS;
    const int height = ((rows.height[m][x] >> 16) & 0xFF) >> 2;
    const int y = rows.horizon[d] - scale8(height, rows.flatten[d]);
    const uint32_t colour = rows.colour[m][x];
    if (previous_row > y && previous_row != 0) {
        // rows previous_row down to y + 1; row y itself is left for the next sample
        const int bottom = previous_row < SCREEN_HEIGHT - 1 ? previous_row : SCREEN_HEIGHT - 1;
        const int top = y + 1 > 0 ? y + 1 : 0;
        for (int row = bottom; row >= top; row--)
            rows.target[row][x] = colour;
    } else if (y <= SCREEN_HEIGHT - 1 && y >= 0) {
        rows.target[y][x] = colour;
    }
    previous_row = y;
}

// The map row under the viewer, as each column reads it.
inline int viewer_row(const std::atomic<float> &position)
{
    return (int)position.load(std::memory_order_relaxed) % MAP_ROWS;
}

} // namespace

void ground_pass(SDL_Surface *target, const GroundMaps &maps, const std::atomic<float> &position)
{
    GroundRows rows;
    ground_rows(target, maps, rows);
    for (int x = 0; x < SCREEN_WIDTH; x++) {
        const int k = viewer_row(position);
        int previous_row = 0;
        for (int d = 0; d < MAP_ROWS; d++)
            ground_sample(rows, x, d, k, previous_row);
    }
}

// landscape.cpp — scene 1's haze and ground passes.
#include "landscape.h"
#include <cstddef>
#include "raster.h"
#include "simd.h"

namespace {

constexpr int MAP_ROWS = 256;
constexpr int SCREEN_WIDTH = 800;
constexpr int SCREEN_HEIGHT = 600;

// The haze's colour, one byte per channel in pixel order (alpha's is unused).
constexpr int HAZE_BLUE = 242, HAZE_GREEN = 220, HAZE_RED = 180;

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
        if (tables.blue[v] != move_byte_toward(v, HAZE_BLUE, level) ||
            tables.green[v] != move_byte_toward(v, HAZE_GREEN, level) ||
            tables.red[v] != move_byte_toward(v, HAZE_RED, level))
            return false;
    return true;
}

namespace {

inline uint32_t haze_by_tables(uint32_t pixel, const HazeTables &t)
{
    return (pixel & 0xFF000000u) | ((uint32_t)t.red[(pixel >> 16) & 0xFF] << 16) |
           ((uint32_t)t.green[(pixel >> 8) & 0xFF] << 8) | t.blue[pixel & 0xFF];
}

void haze_rows_by_tables(SDL_Surface *s, const HazeTables &t)
{
    for_each_row(s, [&](uint32_t *row, int width) {
        for (int x = 0; x < width; x++)
            row[x] = haze_by_tables(row[x], t);
    });
}

#if RASTER_SSE2_PATHS
// Four pixels: each byte moved toward the haze colour by level / 255 of its
// distance; the alpha bytes are put back.
inline __m128i haze_four(__m128i v, __m128i target, __m128i level, __m128i alpha)
{
    return _mm_or_si128(_mm_andnot_si128(alpha, move_bytes_toward_sse2(v, target, level)), _mm_and_si128(alpha, v));
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
        for (; x < width; x++)
            row[x] = haze_by_tables(row[x], t);
    });
}
#endif // RASTER_SSE2_PATHS

#if RASTER_AVX2_PATHS

// haze_four on eight pixels.
RASTER_AVX2 inline __m256i haze_eight(__m256i v, __m256i target, __m256i level, __m256i alpha)
{
    return _mm256_or_si256(_mm256_andnot_si256(alpha, move_bytes_toward_avx2(v, target, level)),
                           _mm256_and_si256(alpha, v));
}

RASTER_AVX2 void haze_rows_by_arithmetic_avx2(SDL_Surface *s, const HazeTables &t, int level)
{
    const __m256i target = _mm256_set1_epi32((HAZE_RED << 16) | (HAZE_GREEN << 8) | HAZE_BLUE);
    const __m256i level16 = _mm256_set1_epi16(static_cast<short>(level));
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    // (a plain row loop: the lambda of for_each_row would not inherit the target)
    uint32_t *row = static_cast<uint32_t *>(s->pixels);
    const int step = s->pitch / 4, width = s->w;
    for (int y = 0; y < s->h; y++, row += step) {
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            __m256i *at = reinterpret_cast<__m256i *>(row + x);
            _mm256_storeu_si256(at, haze_eight(_mm256_loadu_si256(at), target, level16, alpha));
        }
        for (; x < width; x++)
            row[x] = haze_by_tables(row[x], t);
    }
}
#endif

// The pass on this level's tables, by arithmetic where that is proven equal
// to them, eight pixels at a time where the processor can and wide is true.
void haze_rows(SDL_Surface *s, int level, bool wide)
{
    HazeTables tables;
    haze_tables(level, tables);
    // The scale table's entries are a double product truncated; a few of them
    // lie one below the exact quotient. On a level that meets one, the
    // tables do the work.
    if (!haze_arithmetic_matches(level, tables))
        haze_rows_by_tables(s, tables);
#if RASTER_AVX2_PATHS
    else if (wide && raster_has_avx2())
        haze_rows_by_arithmetic_avx2(s, tables, level);
#endif
#if RASTER_SSE2_PATHS
    else
        haze_rows_by_arithmetic(s, tables, level);
#else
    else   // the plain loops: the tables themselves
        haze_rows_by_tables(s, tables);
#endif
    (void)wide;
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
    haze_rows(s, level, true);
}

#if RASTER_SSE2_PATHS
void haze_pass_sse2(SDL_Surface *s, int level)
{
    haze_rows(s, level, false);
}
#endif

// ---- Alpha -------------------------------------------------------------------

void alpha_pass(SDL_Surface *s, uint8_t alpha)
{
#if RASTER_SSE2_PATHS
    const __m128i colours = _mm_set1_epi32(0x00FFFFFF);
    const __m128i alpha4 = _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(alpha) << 24));
#endif
    for_each_row(s, [&](uint32_t *row, int width) {
        int x = 0;
#if RASTER_SSE2_PATHS
        for (; x + 4 <= width; x += 4) {
            __m128i *at = reinterpret_cast<__m128i *>(row + x);
            _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(at), colours), alpha4));
        }
#endif
        for (; x < width; x++)
            row[x] = (row[x] & 0x00FFFFFFu) | static_cast<uint32_t>(alpha) << 24;
    });
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

void ground_pass_reference(SDL_Surface *target, const GroundMaps &maps, const std::atomic<float> &position)
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

// ---- Ground, the fast walk ------------------------------------------------------
//
// The reference walks each column down 256 map rows a pitch apart, two maps
// at once: more cache lines than the first level holds, so every column
// reloads them. Here the maps are first copied on their side, a block of
// columns at a time, into a small buffer that stays cached while those
// columns are walked; each column then reads its 256 entries side by side.
// (Other block widths, and the target's rows on their side too: slower, see
// bench/NOTES.md.)
// The rows of a column's samples are computed eight at a time in vector
// lanes, then written in order by plain code.

namespace {

constexpr int BLOCK_COLUMNS = 8;
constexpr int DEPTH_GROUPS = MAP_ROWS / 4;   // depths that share one flattening
constexpr int HEIGHTS = 64;                  // the red byte >> 2

struct GroundWalk {
    int horizon[MAP_ROWS];
    // scale8(height, 128 - group): the lift of each height in each group of
    // four depths, looked up in the scale table itself.
    uint8_t lift[DEPTH_GROUPS][HEIGHTS];
    // Whether lift[group][height] is height * (128 - group) / 255 for every
    // entry and every horizon row fits 16 bits: then the rows of eight
    // samples are computed at once.
    bool by_vector;
    alignas(16) int16_t horizon16[MAP_ROWS];
    alignas(16) int16_t flatten16[MAP_ROWS];
    // The block's columns on their side: entry [i][m] is map pixel (x0 + i, m);
    // the heights twice over, so that the rows k .. k + 255 lie side by side.
    uint32_t colour[BLOCK_COLUMNS][MAP_ROWS];
    uint8_t height[BLOCK_COLUMNS][2 * MAP_ROWS];
    // One column's samples: the rows each writes, bottom up to top (none where top > bottom).
    alignas(16) int16_t bottom[MAP_ROWS];
    alignas(16) int16_t top[MAP_ROWS];
};

void ground_walk_tables(const int32_t *horizon_rows, GroundWalk &walk)
{
    walk.by_vector = true;
    for (int d = 0; d < MAP_ROWS; d++) {
        walk.horizon[d] = horizon_rows[d] + 640;
        walk.by_vector = walk.by_vector && walk.horizon[d] > -16384 && walk.horizon[d] < 16384;
        walk.horizon16[d] = static_cast<int16_t>(walk.by_vector ? walk.horizon[d] : 0);
        walk.flatten16[d] = static_cast<int16_t>(128 - (d >> 2));
    }
    for (int group = 0; group < DEPTH_GROUPS; group++)
        for (int height = 0; height < HEIGHTS; height++)
            walk.lift[group][height] = scale8(height, 128 - group);
    walk.by_vector = RASTER_SSE2_PATHS && walk.by_vector && ground_lift_arithmetic_matches();
}

// Map columns x0 .. x0 + count - 1 laid on their side: colour[i][m] and
// height[i][m] (twice over) are map pixel (x0 + i, m).
template <typename Colours, typename Heights>
void lay_columns(const GroundMaps &maps, int x0, int count, Colours colour, Heights height)
{
    const uint32_t *colours = static_cast<const uint32_t *>(maps.colours->pixels) + x0;
    const uint32_t *heights = static_cast<const uint32_t *>(maps.heights->pixels) + x0;
    const int colour_step = maps.colours->pitch / 4, height_step = maps.heights->pitch / 4;
    for (int m = 0; m < MAP_ROWS; m++, colours += colour_step, heights += height_step)
        for (int i = 0; i < count; i++) {
            colour[i][m] = colours[i];
            height[i][m] = height[i][m + MAP_ROWS] = static_cast<uint8_t>(((heights[i] >> 16) & 0xFF) >> 2);
        }
}

void ground_block(const GroundMaps &maps, int x0, GroundWalk &walk)
{
    lay_columns(maps, x0, BLOCK_COLUMNS, walk.colour, walk.height);
}

// Rows bottom down to top of one column (bottom >= top), one colour. Most
// spans are one or two rows: two stores (a span of one writes its row twice)
// spare the loop's exit most of its mispredictions.
inline void ground_span(uint32_t *column, int step, int bottom, int top, uint32_t colour)
{
    // offsets in words from the column's first pixel, so no pointer leaves the surface
    const ptrdiff_t last = (ptrdiff_t)top * step;
    ptrdiff_t at = (ptrdiff_t)bottom * step;
    column[at] = colour;
    column[at - step > last ? at - step : last] = colour;
    for (at -= 2 * step; at >= last; at -= step)
        column[at] = colour;
}

// The samples of depths d_begin..d_end - 1 of one column, reading map row
// d + row_offset: the same writes as ground_sample.
inline void ground_depths(const GroundWalk &walk, const uint32_t *colour, const uint8_t *height, int row_offset,
                          int d_begin, int d_end, uint32_t *column, int step, int &previous_row)
{
    for (int d = d_begin; d < d_end; d++) {
        const int m = d + row_offset;
        const int y = walk.horizon[d] - walk.lift[d >> 2][height[m]];
        const bool span = previous_row > y && previous_row != 0;
        const int high = span ? previous_row : y;   // a hidden sample: its own row alone
        const int low = span ? y + 1 : y;
        const int bottom = high < SCREEN_HEIGHT - 1 ? high : SCREEN_HEIGHT - 1;
        const int top = low > 0 ? low : 0;
        if (bottom >= top)
            ground_span(column, step, bottom, top, colour[m]);
        previous_row = y;
    }
}

#if RASTER_SSE2_PATHS
// The rows that the samples of a column write, eight depths at a time:
// the same lifts, spans and clipping as ground_sample, in 16-bit lanes, with
// the lift as the quotient that by_vector has proven equal to the table.
void ground_rows_by_vector(GroundWalk &walk, const uint8_t *column_heights, int k)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lowest = _mm_set1_epi16(SCREEN_HEIGHT - 1);
    const uint8_t *height = column_heights + k;
    __m128i carried = zero;   // the previous sample's row in lane 0: none (0) before the first
    for (int d = 0; d < MAP_ROWS; d += 8) {
        const __m128i h = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(height + d)), zero);
        const __m128i flatten = _mm_load_si128(reinterpret_cast<const __m128i *>(walk.flatten16 + d));
        const __m128i lift = divide_by_255_sse2(_mm_mullo_epi16(h, flatten));
        const __m128i y = _mm_sub_epi16(_mm_load_si128(reinterpret_cast<const __m128i *>(walk.horizon16 + d)), lift);
        const __m128i previous = _mm_or_si128(_mm_slli_si128(y, 2), carried);
        carried = _mm_srli_si128(y, 14);
        const __m128i span = _mm_andnot_si128(_mm_cmpeq_epi16(previous, zero), _mm_cmpgt_epi16(previous, y));
        const __m128i high = _mm_or_si128(_mm_and_si128(span, previous), _mm_andnot_si128(span, y));
        const __m128i low = _mm_sub_epi16(y, span);   // y + 1 where a span ends there
        _mm_store_si128(reinterpret_cast<__m128i *>(walk.bottom + d), _mm_min_epi16(high, lowest));
        _mm_store_si128(reinterpret_cast<__m128i *>(walk.top + d), _mm_max_epi16(low, zero));
    }
}
#endif

// The writes of depths d_begin..d_end - 1 of one column, from its rows,
// reading map row d + row_offset.
inline void ground_writes(const GroundWalk &walk, const uint32_t *colour, int row_offset, int d_begin, int d_end,
                          uint32_t *column, int step)
{
    for (int d = d_begin; d < d_end; d++)
        if (walk.bottom[d] >= walk.top[d])
            ground_span(column, step, walk.bottom[d], walk.top[d], colour[d + row_offset]);
}

// One screen column from its map entries laid side by side (the heights
// twice over), the viewer on map row k.
void ground_column(GroundWalk &walk, const uint32_t *colour, const uint8_t *height, uint32_t *column, int step, int k)
{
    // map row k + d, wrapping past the last row: two runs without the test
    const int wrap = MAP_ROWS - k;
#if RASTER_SSE2_PATHS
    if (walk.by_vector) {
        ground_rows_by_vector(walk, height, k);
        ground_writes(walk, colour, k, 0, wrap, column, step);
        ground_writes(walk, colour, k - MAP_ROWS, wrap, MAP_ROWS, column, step);
        return;
    }
#endif
    {
        int previous_row = 0;
        ground_depths(walk, colour, height, k, 0, wrap, column, step, previous_row);
        ground_depths(walk, colour, height, k - MAP_ROWS, wrap, MAP_ROWS, column, step, previous_row);
    }
}

} // namespace

bool ground_lift_arithmetic_matches()
{
    for (int group = 0; group < DEPTH_GROUPS; group++)
        for (int height = 0; height < HEIGHTS; height++)
            if (scale8(height, 128 - group) != divide_by_255(height * (128 - group)))
                return false;
    return true;
}

void ground_pass(SDL_Surface *target, const GroundMaps &maps, const std::atomic<float> &position)
{
    GroundWalk walk;
    ground_walk_tables(maps.horizon_rows, walk);
    const int step = target->pitch / 4;
    for (int x0 = 0; x0 < SCREEN_WIDTH; x0 += BLOCK_COLUMNS) {
        ground_block(maps, x0, walk);
        for (int i = 0; i < BLOCK_COLUMNS; i++)
            ground_column(walk, walk.colour[i], walk.height[i], static_cast<uint32_t *>(target->pixels) + x0 + i, step,
                          viewer_row(position));
    }
}

static_assert(sizeof GroundColumns::colour == SCREEN_WIDTH * MAP_ROWS * sizeof(uint32_t) &&
                  sizeof GroundColumns::height == SCREEN_WIDTH * 2 * MAP_ROWS,
              "the laid maps hold every screen column's map rows");

// A block of columns at a time, as ground_pass lays them: the rows of the
// block being written stay cached until each is whole.
void lay_ground(const GroundMaps &maps, GroundColumns &laid)
{
    for (int x0 = 0; x0 < SCREEN_WIDTH; x0 += BLOCK_COLUMNS)
        lay_columns(maps, x0, BLOCK_COLUMNS, laid.colour + x0, laid.height + x0);
}

void ground_pass_laid(SDL_Surface *target, const GroundColumns &laid, const int32_t *horizon_rows,
                      const std::atomic<float> &position)
{
    GroundWalk walk;
    ground_walk_tables(horizon_rows, walk);
    const int step = target->pitch / 4;
    for (int x = 0; x < SCREEN_WIDTH; x++)
        ground_column(walk, laid.colour[x], laid.height[x], static_cast<uint32_t *>(target->pixels) + x, step,
                      viewer_row(position));
}

// scale.cpp — a picture scaled into a rectangle of a larger one: the show's
// 800 x 600 frame onto a full-screen display of the desktop's own size.
//
// Every target pixel is the blend of a 2 x 2 block of source pixels, first
// across (two columns, weights 256 - fx and fx, rounded to a byte), then
// down (two such rows, weights 256 - fy and fy, rounded again). The weights
// and columns are worked out once, in the plan; the filter only decides the
// weights. The plain loop, scale_picture_reference, computes each pixel on
// its own; the vector paths make each source row's blend across once, into
// 16-bit working rows, then blend those down: the same integer arithmetic in
// the same order, so every path gives the same bytes.
#include "raster_paths.h"

namespace {

// floor(numerator / denominator) for a positive denominator.
int64_t floor_divide(int64_t numerator, int64_t denominator)
{
    int64_t quotient = numerator / denominator;
    return quotient * denominator > numerator ? quotient - 1 : quotient;
}

// The left (or upper) of the two source pixels that target pixel `index` of
// `target_size` blends, and the weight 0..256 of the second one.
void step_for(int index, int source_size, int target_size, ScaleFilter filter, int32_t &first, int32_t &weight)
{
    int64_t position, fraction;
    if (filter == SCALE_SHARP) {
        // The target pixel covers [index, index + 1) * source_size / target_size
        // of the source: the part of it past the first source pixel's end is
        // the second's weight. At a whole factor that is always 0 (each source
        // pixel a block of target pixels); otherwise one target pixel at each
        // source edge is a blend: a thin smooth edge rather than uneven blocks.
        position = floor_divide(static_cast<int64_t>(index) * source_size, target_size);
        int64_t past = static_cast<int64_t>(index + 1) * source_size - (position + 1) * target_size;
        fraction = past <= 0 ? 0 : (past * 256 + source_size / 2) / source_size;
        if (fraction > 256)
            fraction = 256;   // shrinking: a pixel may cover more than two, the second decides
    } else {
        // Bilinear: the target pixel's centre, (index + 1/2) * source / target
        // - 1/2 in source pixels, in 256ths; outside the source's centres it
        // takes the edge pixel.
        int64_t centre = floor_divide((static_cast<int64_t>(2 * index + 1) * source_size - target_size) * 128,
                                      target_size);
        if (centre < 0)
            centre = 0;
        position = centre >> 8;
        fraction = centre & 255;
    }
    if (position >= source_size - 1) {
        // The last source pixel: read as the second of the last pair, so
        // that every path may read two neighbours without passing the edge.
        position = source_size - 2;
        fraction = 256;
    }
    first = static_cast<int32_t>(position);
    weight = static_cast<int32_t>(fraction);
}

// The blend of two 0..255 values by 256 - weight and weight, rounded.
inline uint32_t mix(uint32_t a, uint32_t b, uint32_t weight)
{
    return (a * (256 - weight) + b * weight + 128) >> 8;
}

// Whether plan fits src and dst as it was made for them.
bool plan_fits(const ScalePlan &plan, const SDL_Surface *src, const SDL_Surface *dst)
{
    return plan.w > 0 && src && dst && src->pixels && dst->pixels && src->w == plan.src_w && src->h == plan.src_h &&
           plan.x >= 0 && plan.y >= 0 && plan.x + plan.w <= dst->w && plan.y + plan.h <= dst->h;
}

const uint32_t *source_row(const SDL_Surface *src, int row)
{
    return static_cast<const uint32_t *>(src->pixels) + static_cast<ptrdiff_t>(row) * (src->pitch / 4);
}

uint32_t *target_row(SDL_Surface *dst, const ScalePlan &plan, int row)
{
    return static_cast<uint32_t *>(dst->pixels) + static_cast<ptrdiff_t>(plan.y + row) * (dst->pitch / 4) + plan.x;
}

// One target pixel's blend across a source row, as four 16-bit channels.
inline void blend_across_one(const uint32_t *src, const ScalePlan &plan, int column, uint16_t *out)
{
    uint32_t a = src[plan.column_x[column]], b = src[plan.column_x[column] + 1];
    uint32_t weight = plan.column_weights[column] >> 16;
    for (int channel = 0; channel < 4; ++channel)
        out[channel] = static_cast<uint16_t>(mix((a >> (8 * channel)) & 0xFF, (b >> (8 * channel)) & 0xFF, weight));
}

#if RASTER_SSE2_PATHS
// The working row that holds source row `row` blended across, made with
// `across` unless one of the two already holds it; `keep` is the other row
// the caller still needs (-1: none).
template <void (*across)(const uint32_t *, const ScalePlan &, uint16_t *)>
const uint16_t *row_across(const SDL_Surface *src, ScalePlan &plan, int row, int keep)
{
    for (int slot = 0; slot < 2; ++slot)
        if (plan.working_source_row[slot] == row)
            return plan.working.data() + slot * plan.w * 4;
    int slot = plan.working_source_row[0] == keep ? 1 : 0;
    uint16_t *out = plan.working.data() + slot * plan.w * 4;
    across(source_row(src, row), plan, out);
    plan.working_source_row[slot] = row;
    return out;
}

// The two-pass walk that the vector paths share: `across` blends a source
// row into a working row; `down` blends two working rows into a target row
// (weight 0 and 256 are left to it as well: it may simply take one row).
template <void (*across)(const uint32_t *, const ScalePlan &, uint16_t *),
          void (*down)(const uint16_t *, const uint16_t *, uint32_t, uint32_t *, int)>
void scale_by_rows(SDL_Surface *src, SDL_Surface *dst, ScalePlan &plan)
{
    if (!plan_fits(plan, src, dst))
        return;
    plan.working_source_row[0] = plan.working_source_row[1] = -1;   // src may have changed since
    for (int row = 0; row < plan.h; ++row) {
        int first = plan.row_y[row];
        uint32_t weight = static_cast<uint32_t>(plan.row_weight[row]);
        const uint16_t *upper = weight == 256 ? nullptr : row_across<across>(src, plan, first, first + 1);
        const uint16_t *lower = weight == 0 ? nullptr : row_across<across>(src, plan, first + 1, first);
        down(upper, lower, weight, target_row(dst, plan, row), plan.w);
    }
    _mm_sfence();   // the streamed stores are in memory before anyone reads the target
}

// ---- SSE2 ----------------------------------------------------------------

// Two target pixels' blends across: each reads its pair of neighbours with
// one 8-byte load, interleaves the pair's bytes, and multiplies-and-adds
// them by the column's two weights (256 - fx, fx) in one instruction.
inline __m128i blend_across_two_sse2(const uint32_t *src, const int32_t *column_x, const uint32_t *weights)
{
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi32(128);
    __m128i pair0 = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src + column_x[0]));
    __m128i pair1 = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src + column_x[1]));
    __m128i mixed0 = _mm_unpacklo_epi8(_mm_unpacklo_epi8(pair0, _mm_srli_si128(pair0, 4)), zero);
    __m128i mixed1 = _mm_unpacklo_epi8(_mm_unpacklo_epi8(pair1, _mm_srli_si128(pair1, 4)), zero);
    __m128i sum0 = _mm_madd_epi16(mixed0, _mm_set1_epi32(static_cast<int>(weights[0])));
    __m128i sum1 = _mm_madd_epi16(mixed1, _mm_set1_epi32(static_cast<int>(weights[1])));
    return _mm_packs_epi32(_mm_srli_epi32(_mm_add_epi32(sum0, half), 8), _mm_srli_epi32(_mm_add_epi32(sum1, half), 8));
}

void blend_across_sse2(const uint32_t *src, const ScalePlan &plan, uint16_t *out)
{
    int column = 0;
    for (; column + 2 <= plan.w; column += 2)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + column * 4),
                         blend_across_two_sse2(src, plan.column_x.data() + column, plan.column_weights.data() + column));
    for (; column < plan.w; ++column)
        blend_across_one(src, plan, column, out + column * 4);
}

// Eight channels (two pixels) of two working rows blended down.
inline __m128i blend_down_sse2(const uint16_t *upper, const uint16_t *lower, __m128i upper_weight,
                               __m128i lower_weight)
{
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(upper));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(lower));
    // At most 255 * 256 + 128: the sum stays within 16 unsigned bits.
    __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(a, upper_weight), _mm_mullo_epi16(b, lower_weight)),
                                _mm_set1_epi16(128));
    return _mm_srli_epi16(sum, 8);
}

inline uint32_t pack_one(const uint16_t *channels)
{
    return static_cast<uint32_t>(channels[0]) | static_cast<uint32_t>(channels[1]) << 8 |
           static_cast<uint32_t>(channels[2]) << 16 | static_cast<uint32_t>(channels[3]) << 24;
}

inline uint32_t blend_down_one(const uint16_t *upper, const uint16_t *lower, uint32_t weight)
{
    uint32_t pixel = 0;
    for (int channel = 0; channel < 4; ++channel)
        pixel |= mix(upper[channel], lower[channel], weight) << (8 * channel);
    return pixel;
}

// A working row taken as it is (weight 0 or 256): mix() of a value with
// itself, or with anything by weight 0, is the value.
// The first column from which out is aligned to `bytes` (at most width);
// the columns before it are blended one at a time.
inline int aligned_start(const uint32_t *out, int width, unsigned bytes)
{
    int column = static_cast<int>(((bytes - reinterpret_cast<uintptr_t>(out) % bytes) % bytes) / 4);
    return column < width ? column : width;
}

void take_row_sse2(const uint16_t *row, uint32_t *out, int width)
{
    int column = 0;
    for (const int head = aligned_start(out, width, 16); column < head; ++column)
        out[column] = pack_one(row + column * 4);
    // The display is written, never read back: stores that pass the cache
    // (and do not fetch the lines they overwrite) halve the memory traffic.
    for (; column + 4 <= width; column += 4) {
        __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + column * 4));
        __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + column * 4 + 8));
        _mm_stream_si128(reinterpret_cast<__m128i *>(out + column), _mm_packus_epi16(low, high));
    }
    for (; column < width; ++column)
        out[column] = pack_one(row + column * 4);
}

void blend_down_sse2_row(const uint16_t *upper, const uint16_t *lower, uint32_t weight, uint32_t *out, int width)
{
    if (!lower)
        return take_row_sse2(upper, out, width);
    if (!upper)
        return take_row_sse2(lower, out, width);
    const __m128i upper_weight = _mm_set1_epi16(static_cast<short>(256 - weight));
    const __m128i lower_weight = _mm_set1_epi16(static_cast<short>(weight));
    int column = 0;
    for (const int head = aligned_start(out, width, 16); column < head; ++column)
        out[column] = blend_down_one(upper + column * 4, lower + column * 4, weight);
    for (; column + 4 <= width; column += 4) {
        const int at = column * 4;
        __m128i low = blend_down_sse2(upper + at, lower + at, upper_weight, lower_weight);
        __m128i high = blend_down_sse2(upper + at + 8, lower + at + 8, upper_weight, lower_weight);
        _mm_stream_si128(reinterpret_cast<__m128i *>(out + column), _mm_packus_epi16(low, high));
    }
    for (; column < width; ++column)
        out[column] = blend_down_one(upper + column * 4, lower + column * 4, weight);
}

// ---- AVX2 ----------------------------------------------------------------
#if RASTER_AVX2_PATHS

// Four target pixels' blends across: two SSE2 pairs' worth of loads (a
// gather is slower on this family of processors), the multiply-and-add on
// all four at once.
RASTER_AVX2 void blend_across_avx2(const uint32_t *src, const ScalePlan &plan, uint16_t *out)
{
    const __m256i zero = _mm256_setzero_si256(), half = _mm256_set1_epi32(128);
    // Within each 128-bit lane: pixel pair a0 a1 a2 a3 b0 b1 b2 b3 -> a0 b0 a1 b1 ...
    const __m256i interleave = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15, 0, 4, 1, 5, 2, 6,
                                                3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
    const __m256i even = _mm256_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2), odd = _mm256_setr_epi32(1, 1, 1, 1, 3, 3, 3, 3);
    const int32_t *column_x = plan.column_x.data();
    const uint32_t *weights = plan.column_weights.data();
    int column = 0;
    for (; column + 4 <= plan.w; column += 4) {
        // Lane 0 holds the pairs of pixels 0 and 1, lane 1 those of 2 and 3.
        __m128i pairs01 = _mm_unpacklo_epi64(
            _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src + column_x[column])),
            _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src + column_x[column + 1])));
        __m128i pairs23 = _mm_unpacklo_epi64(
            _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src + column_x[column + 2])),
            _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src + column_x[column + 3])));
        __m256i pairs = _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(pairs01), pairs23, 1),
                                            interleave);
        __m256i weight4 = _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(weights + column)));
        __m256i sum_even = _mm256_madd_epi16(_mm256_unpacklo_epi8(pairs, zero),
                                             _mm256_permutevar8x32_epi32(weight4, even));   // pixels 0, 2
        __m256i sum_odd = _mm256_madd_epi16(_mm256_unpackhi_epi8(pairs, zero),
                                            _mm256_permutevar8x32_epi32(weight4, odd));     // pixels 1, 3
        // The pack interleaves by lane: 0, 1 | 2, 3, the pixels' own order.
        __m256i channels = _mm256_packs_epi32(_mm256_srli_epi32(_mm256_add_epi32(sum_even, half), 8),
                                              _mm256_srli_epi32(_mm256_add_epi32(sum_odd, half), 8));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + column * 4), channels);
    }
    for (; column < plan.w; ++column)
        blend_across_one(src, plan, column, out + column * 4);
}

RASTER_AVX2 void take_row_avx2(const uint16_t *row, uint32_t *out, int width)
{
    int column = 0;
    for (const int head = aligned_start(out, width, 32); column < head; ++column)
        out[column] = pack_one(row + column * 4);
    for (; column + 8 <= width; column += 8) {
        __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(row + column * 4));
        __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(row + column * 4 + 16));
        // packus works within lanes (0 1 4 5 | 2 3 6 7): put the quarters back in order.
        _mm256_stream_si256(reinterpret_cast<__m256i *>(out + column),
                            _mm256_permute4x64_epi64(_mm256_packus_epi16(low, high), 0xD8));
    }
    for (; column < width; ++column)
        out[column] = pack_one(row + column * 4);
}

// (a * (256 - f) + b * f + 128) >> 8 is a + ((b - a) * f + 128 >> 8), the
// shift rounding down: 256 a moves out of the floor whole. For f below 256,
// the rounding multiply of b - a by f * 128 gives (b - a) * f + 16384 >> 15
// after the scaling by 128, which is that bracket: one multiply, not two.
RASTER_AVX2 inline __m256i blend_down_avx2(const uint16_t *upper, const uint16_t *lower, __m256i weight_times_128)
{
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(upper));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(lower));
    return _mm256_add_epi16(a, _mm256_mulhrs_epi16(_mm256_sub_epi16(b, a), weight_times_128));
}

RASTER_AVX2 void blend_down_avx2_row(const uint16_t *upper, const uint16_t *lower, uint32_t weight, uint32_t *out, int width)
{
    if (!lower)
        return take_row_avx2(upper, out, width);
    if (!upper)
        return take_row_avx2(lower, out, width);
    const __m256i weight_times_128 = _mm256_set1_epi16(static_cast<short>(weight * 128));   // weight < 256
    int column = 0;
    for (const int head = aligned_start(out, width, 32); column < head; ++column)
        out[column] = blend_down_one(upper + column * 4, lower + column * 4, weight);
    for (; column + 8 <= width; column += 8) {
        const int at = column * 4;
        __m256i low = blend_down_avx2(upper + at, lower + at, weight_times_128);
        __m256i high = blend_down_avx2(upper + at + 16, lower + at + 16, weight_times_128);
        _mm256_stream_si256(reinterpret_cast<__m256i *>(out + column),
                            _mm256_permute4x64_epi64(_mm256_packus_epi16(low, high), 0xD8));
    }
    for (; column < width; ++column)
        out[column] = blend_down_one(upper + column * 4, lower + column * 4, weight);
}
#endif // RASTER_AVX2_PATHS
#endif // RASTER_SSE2_PATHS

} // namespace

bool scale_plan_make(ScalePlan &plan, int src_w, int src_h, int x, int y, int w, int h, ScaleFilter filter)
{
    plan = ScalePlan{};
    if (src_w < 2 || src_h < 2 || w < 1 || h < 1 || x < 0 || y < 0)
        return false;
    plan.src_w = src_w;
    plan.src_h = src_h;
    plan.x = x;
    plan.y = y;
    plan.w = w;
    plan.h = h;
    plan.filter = filter;
    plan.column_x.resize(w);
    plan.column_weights.resize(w);
    for (int column = 0; column < w; ++column) {
        int32_t weight;
        step_for(column, src_w, w, filter, plan.column_x[column], weight);
        // Two 16-bit weights, as the multiply-and-add pairs them with the
        // pair's first and second pixel.
        plan.column_weights[column] = static_cast<uint32_t>(256 - weight) | static_cast<uint32_t>(weight) << 16;
    }
    plan.row_y.resize(h);
    plan.row_weight.resize(h);
    for (int row = 0; row < h; ++row)
        step_for(row, src_h, h, filter, plan.row_y[row], plan.row_weight[row]);
    plan.working.assign(static_cast<size_t>(w) * 8, 0);
    return true;
}

void scale_picture_reference(SDL_Surface *src, SDL_Surface *dst, ScalePlan &plan)
{
    if (!plan_fits(plan, src, dst))
        return;
    for (int row = 0; row < plan.h; ++row) {
        const uint32_t *upper = source_row(src, plan.row_y[row]);
        const uint32_t *lower = source_row(src, plan.row_y[row] + 1);
        uint32_t down = static_cast<uint32_t>(plan.row_weight[row]);
        uint32_t *out = target_row(dst, plan, row);
        for (int column = 0; column < plan.w; ++column) {
            int left = plan.column_x[column];
            uint32_t across = plan.column_weights[column] >> 16;
            uint32_t pixel = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                uint32_t top = mix((upper[left] >> shift) & 0xFF, (upper[left + 1] >> shift) & 0xFF, across);
                uint32_t bottom = mix((lower[left] >> shift) & 0xFF, (lower[left + 1] >> shift) & 0xFF, across);
                pixel |= mix(top, bottom, down) << shift;
            }
            out[column] = pixel;
        }
    }
}

#if RASTER_SSE2_PATHS
void scale_picture_sse2(SDL_Surface *src, SDL_Surface *dst, ScalePlan &plan)
{
    scale_by_rows<blend_across_sse2, blend_down_sse2_row>(src, dst, plan);
}
#endif

#if RASTER_AVX2_PATHS
void scale_picture_avx2(SDL_Surface *src, SDL_Surface *dst, ScalePlan &plan)
{
    scale_by_rows<blend_across_avx2, blend_down_avx2_row>(src, dst, plan);
}
#endif

void scale_picture(SDL_Surface *src, SDL_Surface *dst, ScalePlan &plan)
{
#if RASTER_AVX2_PATHS
    if (raster_has_avx2()) {
        scale_picture_avx2(src, dst, plan);
        return;
    }
#endif
#if RASTER_SSE2_PATHS
    scale_picture_sse2(src, dst, plan);
#else
    scale_picture_reference(src, dst, plan);
#endif
}

void picture_rectangle(int target_w, int target_h, int &x, int &y, int &w, int &h)
{
    // 4:3 in whole pixels, rounded down, so that the rectangle always fits.
    if (static_cast<int64_t>(target_w) * 3 >= static_cast<int64_t>(target_h) * 4) {
        h = target_h;
        w = static_cast<int>(static_cast<int64_t>(target_h) * 4 / 3);
    } else {
        w = target_w;
        h = static_cast<int>(static_cast<int64_t>(target_w) * 3 / 4);
    }
    x = (target_w - w) / 2;
    y = (target_h - h) / 2;
}

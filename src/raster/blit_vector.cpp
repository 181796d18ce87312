// blit_vector.cpp — the vector paths of the hot pixel operations, SSE2 and
// AVX2 (chosen at run time), and the entries that pick a path: a build
// without them (simd.h's switch) runs the plain loops of blit.cpp.
//
// Each gives exactly the bytes of the plain loop in blit.cpp. Where a table
// lookup is replaced by arithmetic, the arithmetic is the exact quotient of a
// division by 255, and the few table entries that differ from it (found when
// the tables are built) are looked up in the table itself. The cubic step is
// worked out in single floats, run over every table entry when the tables are
// built; the lanes it cannot vouch for are blended through the table.
#include "blit_internal.h"
#include <climits>
#include <cmath>

using namespace raster_detail;

namespace {

#if RASTER_SSE2_PATHS
// The per-call constants of the linear blend's arithmetic.
struct LinearBlend {
    const uint8_t *weight_of_alpha;   // the opacity's ScaleTable column, for the table walk
    int opacity;                      // 0..255
    int weight_multiplier;            // ceil(opacity * 65536 / 255), for opacities below 255
    // Weights that the table gives other than the arithmetic: for these
    // alphas add the difference (taken from the table).
    int weight_fix_count;
    int weight_fix_alpha[8];
    int weight_fix[8];
    ScaleExceptions exceptions;   // a copy the loops may keep in registers
    int opaque_weight;            // the weight of alpha 255 (from the table)
    bool opaque_weight_listed;    // whether that weight is among exceptions.weight
    // Weight 255 and not listed: the table moves every byte the whole way, so
    // an opaque pixel's colour simply replaces the target's.
    bool opaque_replaces;
    const uint8_t *listed_alphas; // the opacity's row of listed_weight_alphas
    const uint8_t (*listed_nibbles)[16];   // and of listed_weight_nibbles
};

// Whether any of the four alphas (one per byte of `alphas`) has a listed weight.
inline bool any_alpha_listed(uint32_t alphas, const uint8_t *listed_alphas)
{
    return (listed_alphas[alphas & 0xFF] | listed_alphas[(alphas >> 8) & 0xFF] | listed_alphas[(alphas >> 16) & 0xFF] |
            listed_alphas[alphas >> 24]) != 0;
}

LinearBlend linear_blend_for(int opacity)
{
    LinearBlend blend;
    blend.opacity = clamp_byte(opacity);   // outside 0..255 the weight row would be left
    blend.weight_of_alpha = ScaleTable + 65536 + blend.opacity;
    blend.weight_multiplier = blend.opacity * 257 + (blend.opacity > 0);
    blend.weight_fix_count = 0;
    blend.exceptions = scale_exceptions;
    for (int i = 0; i < scale_exceptions.count; ++i) {
        int alpha = scale_exceptions.magnitude[i];
        int fix = blend.weight_of_alpha[alpha << 8] - divide_by_255(alpha * blend.opacity);
        if (fix != 0) {
            blend.weight_fix_alpha[blend.weight_fix_count] = alpha;
            blend.weight_fix[blend.weight_fix_count++] = fix;
        }
    }
    blend.listed_alphas = listed_weight_alphas[blend.opacity];
    blend.listed_nibbles = listed_weight_nibbles[blend.opacity];
    blend.opaque_weight = blend.weight_of_alpha[255 << 8];
    blend.opaque_weight_listed = false;
    for (int i = 0; i < scale_exceptions.weight_count; ++i)
        blend.opaque_weight_listed |= scale_exceptions.weight[i] == blend.opaque_weight;
    blend.opaque_replaces = blend.opaque_weight == 255 && !blend.opaque_weight_listed;
    return blend;
}
#endif // RASTER_SSE2_PATHS

// The rows of a clipped blit, walked by the pitch.
struct BlitRows {
    const uint32_t *src_row;
    uint32_t *dst_row;
    ptrdiff_t src_stride, dst_stride;
    int width, height;
};

// Only src's rows first_row .. end_row - 1 are taken.
bool blit_rows_for(SDL_Surface *src, SDL_Surface *dst, int x, int y, int first_row, int end_row, BlitRows &rows)
{
    BlitSpan span;
    if (!clip_blit(src, dst, x, y, span))
        return false;
    int first = span.src_y > first_row ? span.src_y : first_row;
    int end = span.src_y + span.height < end_row ? span.src_y + span.height : end_row;
    if (first >= end)
        return false;
    span.dst_y += first - span.src_y;
    span.src_y = first;
    span.height = end - first;
    rows.src_stride = row_stride(src);
    rows.dst_stride = row_stride(dst);
    rows.src_row = pixel_words(src) + span.src_y * rows.src_stride + span.src_x;
    rows.dst_row = pixel_words(dst) + span.dst_y * rows.dst_stride + span.dst_x;
    rows.width = span.width;
    rows.height = span.height;
    return true;
}

void blend_columns_by_table(const uint32_t *src, uint32_t *dst, int count, const uint8_t *weight_of_alpha,
                            const uint8_t *blend)
{
    for (int column = 0; column < count; ++column)
        dst[column] = blend_pixel(src[column], dst[column], weight_of_alpha, blend);
}

#if RASTER_SSE2_PATHS
// ---- SSE2 ----------------------------------------------------------------

// The row functions start on a cache line, so that an edit elsewhere in the
// file cannot move their loops across one: the AVX2 cubic row, unchanged,
// measured 7 % slower when an edit to the SSE2 code shifted it.
#define ROW_START __attribute__((aligned(64)))

// trunc(opacity * alpha / 255) for alphas in 32-bit lanes, before the fixes.
// At opacity 255 it is the alpha itself; below, one multiply-high by
// ceil(opacity * 65536 / 255) gives it exactly (see dim_rect: the excess
// stays under 1/255).
inline __m128i weights_sse2(__m128i alpha, const LinearBlend &blend)
{
    if (blend.opacity == 255)
        return alpha;
    return _mm_mulhi_epu16(alpha, _mm_set1_epi32(blend.weight_multiplier));
}

// Lanes that the table may give other than the arithmetic: |k| and e both
// listed and e * |k| an exact multiple of 255. `listed` marks the colour
// bytes whose |k| is listed; the rest is asked only when one is.
inline bool needs_table_sse2(const ScaleExceptions &exceptions, __m128i listed, __m128i weight_low, __m128i weight_high, __m128i product_low,
                             __m128i product_high, __m128i quotient_low, __m128i quotient_high)
{
    const __m128i w255 = _mm_set1_epi16(255);
    __m128i weight_low_listed = _mm_setzero_si128(), weight_high_listed = _mm_setzero_si128();
    for (int i = 0; i < exceptions.weight_count; ++i) {
        __m128i e = _mm_set1_epi16(static_cast<short>(exceptions.weight[i]));
        weight_low_listed = _mm_or_si128(weight_low_listed, _mm_cmpeq_epi16(weight_low, e));
        weight_high_listed = _mm_or_si128(weight_high_listed, _mm_cmpeq_epi16(weight_high, e));
    }
    __m128i low = _mm_and_si128(_mm_unpacklo_epi8(listed, listed), weight_low_listed);
    __m128i high = _mm_and_si128(_mm_unpackhi_epi8(listed, listed), weight_high_listed);
    low = _mm_and_si128(low, _mm_cmpeq_epi16(product_low, _mm_mullo_epi16(quotient_low, w255)));
    high = _mm_and_si128(high, _mm_cmpeq_epi16(product_high, _mm_mullo_epi16(quotient_high, w255)));
    return _mm_movemask_epi8(_mm_or_si128(low, high)) != 0;
}

// What the rows of one blit share, built once: the listed magnitudes as
// byte vectors (the list padded by repeating its first entry).
struct LinearConstants {
    __m128i magnitude[8];
};

LinearConstants linear_constants_sse2(const LinearBlend &blend)
{
    LinearConstants constants;
    for (int i = 0; i < 8; ++i)
        constants.magnitude[i] = _mm_set1_epi8(static_cast<char>(blend.exceptions.magnitude[i < blend.exceptions.count ? i : 0]));
    return constants;
}

// What the linear and the cubic blends of four pixels share once the step
// bytes are known: d moves up (d <= s) or down by the step, and alpha
// accumulates. A fully transparent pixel has weight 0 and so step 0: it
// comes out as it was, with nothing added to its alpha. The alpha byte of
// each step must be 0 (the magnitudes' alpha bytes are cleared), so that
// alpha comes out of the move as it was and takes the source's by one add.
inline void store_blend4_sse2(uint32_t *dst, __m128i source, __m128i target, __m128i above, __m128i step)
{
    const __m128i alpha_byte = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    __m128i rising = _mm_cmpeq_epi8(above, _mm_setzero_si128());   // d <= s: d grows (by 0 when equal)
    // (step ^ rising) - rising is -step where rising (all ones) and step
    // elsewhere, so one subtraction moves d either way.
    __m128i moved = _mm_sub_epi8(target, _mm_sub_epi8(_mm_xor_si128(step, rising), rising));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), _mm_add_epi8(moved, _mm_and_si128(source, alpha_byte)));   // alpha wraps mod 256
}

// Whether four alphas (in 32-bit lanes) are one, which is then `first`:
// pictures shade in runs of one alpha.
inline bool one_alpha_sse2(__m128i alpha, int &first)
{
    first = _mm_cvtsi128_si32(alpha);
    return _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_set1_epi32(first))) == 0xFFFF;
}

// The weights of four alphas (in 32-bit lanes) as the table gives them:
// trunc(opacity * alpha / 255) and the fixes.
inline __m128i fixed_weights_sse2(__m128i alpha, const LinearBlend &blend)
{
    __m128i weight = weights_sse2(alpha, blend);
    for (int i = 0; i < blend.weight_fix_count; ++i) {
        __m128i hit = _mm_cmpeq_epi32(alpha, _mm_set1_epi32(blend.weight_fix_alpha[i]));
        weight = _mm_add_epi32(weight, _mm_and_si128(hit, _mm_set1_epi32(blend.weight_fix[i])));
    }
    return weight;
}

// Four pixels of the linear blend by their weights (in 16-bit lanes, each
// pixel's four times): each colour byte d moves towards the source byte s by
// trunc(e * |d - s| / 255), which never passes s. any_listed: whether a
// weight may be one the table gives other than the arithmetic. False
// (nothing stored) when one of them must be blended through the table.
// Inlined into each caller: called out of line, it cost the alpha source's
// runs 5 %.
__attribute__((always_inline)) inline bool blend4_linear_by_weights_sse2(__m128i source, uint32_t *dst,
                                                                          __m128i weight_low, __m128i weight_high,
                                                                          bool any_listed, const LinearBlend &blend,
                                                                          const LinearConstants &constants)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha_byte = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    __m128i target = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst));
    __m128i above = _mm_subs_epu8(target, source), below = _mm_subs_epu8(source, target);
    __m128i magnitude = _mm_andnot_si128(alpha_byte, _mm_or_si128(above, below));   // alpha takes no step
    __m128i product_low = _mm_mullo_epi16(_mm_unpacklo_epi8(magnitude, zero), weight_low);   // fits 16 bits
    __m128i product_high = _mm_mullo_epi16(_mm_unpackhi_epi8(magnitude, zero), weight_high);
    __m128i quotient_low = divide_by_255_sse2(product_low), quotient_high = divide_by_255_sse2(product_high);

    if (any_listed) {
        const __m128i *m = constants.magnitude;
        __m128i listed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(magnitude, m[0]), _mm_cmpeq_epi8(magnitude, m[1])),
                                      _mm_or_si128(_mm_cmpeq_epi8(magnitude, m[2]), _mm_cmpeq_epi8(magnitude, m[3])));
        listed = _mm_or_si128(listed, _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(magnitude, m[4]), _mm_cmpeq_epi8(magnitude, m[5])),
                                                   _mm_or_si128(_mm_cmpeq_epi8(magnitude, m[6]), _mm_cmpeq_epi8(magnitude, m[7]))));
        listed = _mm_andnot_si128(alpha_byte, listed);
        if (_mm_movemask_epi8(listed) != 0 &&
            needs_table_sse2(blend.exceptions, listed, weight_low, weight_high, product_low, product_high, quotient_low,
                             quotient_high))
            return false;
    }
    store_blend4_sse2(dst, source, target, above, _mm_packus_epi16(quotient_low, quotient_high));
    return true;
}

// Four opaque pixels that replace the target's colour: the source's, and its
// alpha plus the target's, wrapping mod 256.
inline void replace4_sse2(__m128i source, uint32_t *dst)
{
    const __m128i alpha_byte = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    __m128i target = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), _mm_add_epi8(source, _mm_and_si128(target, alpha_byte)));
}

// Four pixels of the linear blend, each by its own weight; false (nothing
// stored) when one of them must be blended through the table.
inline bool blend4_linear_sse2(__m128i source, __m128i alpha, uint32_t *dst, const LinearBlend &blend,
                               const LinearConstants &constants)
{
    const __m128i zero = _mm_setzero_si128();
    // Alpha 0 gives weight 0, which leaves the pixel as it was.
    __m128i weight = fixed_weights_sse2(alpha, blend);
    weight = _mm_or_si128(weight, _mm_slli_epi32(weight, 16));
    bool any_listed = any_alpha_listed(
        static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(alpha, zero), zero))), blend.listed_alphas);
    return blend4_linear_by_weights_sse2(source, dst, _mm_unpacklo_epi32(weight, weight),
                                         _mm_unpackhi_epi32(weight, weight), any_listed, blend, constants);
}

// Whether the alpha bytes of a byte compare of four pixels are all set. Each
// byte compared with a run's alpha, and only the alphas' results looked at:
// two shifts fewer an eight than comparing the alphas shifted down.
inline bool alpha_bytes_set(__m128i compared)
{
    return (_mm_movemask_epi8(compared) & 0x8888) == 0x8888;
}

// Walks pixels of one alpha from `column` on, eight at a time, for as long
// as they keep it, handing each eight to blend8(first four, second four,
// column): loaded once, for the test and the blend alike. Gives the column
// where they stop.
template <typename Blend8>
inline int walk_run_of_alpha_sse2(const uint32_t *src, int column, int width, int alpha, Blend8 blend8)
{
    const __m128i run_alpha = _mm_set1_epi8(static_cast<char>(alpha));
    for (; column + 8 <= width; column += 8) {
        __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + column));
        __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + column + 4));
        if (!alpha_bytes_set(_mm_and_si128(_mm_cmpeq_epi8(first, run_alpha), _mm_cmpeq_epi8(second, run_alpha))))
            break;
        blend8(first, second, column);
    }
    return column;
}

// Pixels that are all clear (nothing to do) or all opaque replacing the
// target's colour, from `column` on, eight at a time for as long as they
// stay so; at least the four at `column`, which are. Gives the column where
// the run stops. Runs of other alphas taken eight at a time the same way
// measured slower (30 % on the benchmark's alpha source), so they go four at
// a time.
int skip_or_replace_run_sse2(const uint32_t *src, uint32_t *dst, int column, int width, int alpha)
{
    const int start = column;
    column = walk_run_of_alpha_sse2(src, column, width, alpha, [&](__m128i first, __m128i second, int at) {
        if (alpha != 0) {
            replace4_sse2(first, dst + at);
            replace4_sse2(second, dst + at + 4);
        }
    });
    if (column == start) {   // fewer than eight
        if (alpha != 0)
            replace4_sse2(_mm_loadu_si128(reinterpret_cast<const __m128i *>(src + column)), dst + column);
        column += 4;
    }
    return column;
}

// Pixels of one alpha, neither clear nor replacing, from `column` on, four
// at a time by the alpha's one weight (looked up once a run) for as long as
// they keep it; at least the four at `column` (`source`), which have it.
// Gives the column where the run stops.
int blend_run_linear_sse2(__m128i source, const uint32_t *src, uint32_t *dst, int column, int width, int alpha,
                          const LinearBlend &blend, const LinearConstants &constants)
{
    const __m128i weight = _mm_set1_epi16(static_cast<short>(blend.weight_of_alpha[alpha << 8]));
    const bool listed = blend.listed_alphas[alpha] != 0;
    const __m128i alpha_bytes = _mm_set1_epi8(static_cast<char>(alpha));
    for (;;) {
        if (!blend4_linear_by_weights_sse2(source, dst + column, weight, weight, listed, blend, constants))
            blend_columns_by_table(src + column, dst + column, 4, blend.weight_of_alpha, ScaleTable);
        column += 4;
        if (column + 4 > width)
            return column;
        source = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + column));
        if (!alpha_bytes_set(_mm_cmpeq_epi8(source, alpha_bytes)))
            return column;
    }
}

ROW_START void blend_row_linear_sse2(const uint32_t *src, uint32_t *dst, int width, const LinearBlend blend)
{
    const LinearConstants constants = linear_constants_sse2(blend);
    int column = 0;
    while (column + 4 <= width) {
        __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + column));
        __m128i alphas = _mm_srli_epi32(source, 24);
        // Pictures shade in runs of one alpha: clear or opaque runs go on
        // eight at a time, and four of another alpha take the table's one
        // weight; only four alphas that differ need weights lane by lane.
        bool blended;
        int alpha;
        if (one_alpha_sse2(alphas, alpha)) {
            if (alpha == 0 || (alpha == 255 && blend.opaque_replaces)) {
                column = skip_or_replace_run_sse2(src, dst, column, width, alpha);
                continue;
            }
            column = blend_run_linear_sse2(source, src, dst, column, width, alpha, blend, constants);
            continue;
        } else {
            blended = blend4_linear_sse2(source, alphas, dst + column, blend, constants);
        }
        if (!blended)
            blend_columns_by_table(src + column, dst + column, 4, blend.weight_of_alpha, ScaleTable);
        column += 4;
    }
    blend_columns_by_table(src + column, dst + column, width - column, blend.weight_of_alpha, ScaleTable);
}

// ---- The cubic step by single floats ---------------------------------------
//
// CubeTable's entry for |d - s| = m and weight e is trunc(e * (m / 255)^3),
// worked out in double. m^3 is exact (below 2^24, so in a single float too),
// and times e * 2^15 / 255^3 it lands within a few units of 2^-15 of the true
// value, so its integer part is the table's except when the value lies that
// close to an integer of 1 or more. Such lanes are flagged and their pixels
// blended through the table. check_cube_arithmetic runs this very code over
// every (m, e) when the tables are built and requires every lane that is not
// flagged to equal CubeTable on both sides (d above and below s); if one does
// not, cube_arithmetic.usable stays false and the cubic blends walk the table.

// The fraction's margin, in units of 2^-15: values within it of an integer of
// 1 or more are flagged. The single-float error is about one unit.
const int CUBE_MARGIN = 4;

// e * 2^15 / 255^3 in each lane, for four weights e in 32-bit lanes.
inline __m128 cube_weight_sse2(__m128i weight)
{
    return _mm_mul_ps(_mm_cvtepi32_ps(weight), _mm_set1_ps(static_cast<float>(32768.0 / (255.0 * 255.0 * 255.0))));
}

// m^3 for eight magnitudes m in 16-bit lanes, exact, as two vectors of 32-bit
// lanes (the low four, the high four): m^2 fits 16 bits, and m^2 * m is put
// together from its low and high halves.
inline void cubes_sse2(__m128i magnitude, __m128i &low, __m128i &high)
{
    __m128i square = _mm_mullo_epi16(magnitude, magnitude);
    __m128i cube_low = _mm_mullo_epi16(square, magnitude), cube_high = _mm_mulhi_epu16(square, magnitude);
    low = _mm_unpacklo_epi16(cube_low, cube_high);
    high = _mm_unpackhi_epi16(cube_low, cube_high);
}

// m^3 (exact in a single float, below 2^24) times the scaled weight,
// truncated, plus the margin: bits 15 and up hold the step, bits 0..14 the
// fraction the flag looks at.
inline __m128i cube_scaled_sse2(__m128i cube, __m128 scaled_weight)
{
    __m128 value = _mm_mul_ps(_mm_cvtepi32_ps(cube), scaled_weight);
    return _mm_add_epi32(_mm_cvttps_epi32(value), _mm_set1_epi32(CUBE_MARGIN));
}

// Eight of those as 16-bit steps, and the lanes to hand to the table.
inline __m128i cube_steps_sse2(__m128i first, __m128i second, __m128i &flagged)
{
    const __m128i fraction_bits = _mm_set1_epi32(0x7FFF);
    __m128i step = _mm_packs_epi32(_mm_srai_epi32(first, 15), _mm_srai_epi32(second, 15));
    __m128i fraction = _mm_packs_epi32(_mm_and_si128(first, fraction_bits), _mm_and_si128(second, fraction_bits));
    // Steps of 0 stay: the true value is then below 1, and so is the table's.
    flagged = _mm_and_si128(_mm_cmplt_epi16(fraction, _mm_set1_epi16(2 * CUBE_MARGIN)),
                            _mm_cmpgt_epi16(step, _mm_setzero_si128()));
    return step;
}

// ---- The cubic step of an opaque source, by 16-bit integers -------------------
//
// One weight for every pixel makes the step a function of the magnitude
// alone, fitted per weight when the tables are built (see CubeRow) and proved
// there against CubeTable by cube_row_steps_sse2 itself.

struct CubeRowVectors {
    bool usable;
    __m128i multiplier, shift;
    int fix_count;
    __m128i fix_magnitude[4], fix[4];
};

CubeRowVectors cube_row_vectors_sse2(const CubeRow &row)
{
    CubeRowVectors vectors;
    vectors.usable = row.usable;
    vectors.multiplier = _mm_set1_epi16(static_cast<short>(row.multiplier));
    vectors.shift = _mm_cvtsi32_si128(row.shift);
    vectors.fix_count = row.fix_count;
    for (int i = 0; i < row.fix_count; ++i) {   // the rest is never read
        vectors.fix_magnitude[i] = _mm_set1_epi8(static_cast<char>(row.fix_magnitude[i]));
        vectors.fix[i] = _mm_set1_epi8(static_cast<char>(row.fix[i]));
    }
    return vectors;
}

// Eight magnitudes m, each as 256m in a 16-bit lane: m^2 * 256m / 65536 is
// m^3 / 256 rounded down, below 65536; times the multiplier, the high half
// shifted. m^2 is the high half of 256m * 256m, exactly.
inline __m128i cube_row_half_sse2(__m128i magnitude_256, const CubeRowVectors &row)
{
    __m128i square = _mm_mulhi_epu16(magnitude_256, magnitude_256);
    __m128i cube_256ths = _mm_mulhi_epu16(square, magnitude_256);
    return _mm_srl_epi16(_mm_mulhi_epu16(cube_256ths, row.multiplier), row.shift);
}

// Any number of fixes, as the row has them.
constexpr int ROW_FIXES = -1;

// The step bytes of sixteen magnitude bytes. FIXES: the row's fix count
// when the caller knows it (most rows have none, the opaque weight's one),
// so that the fixes are unrolled rather than looped over in the hot loop;
// or ROW_FIXES.
template <int FIXES = ROW_FIXES> inline __m128i cube_row_steps_sse2(__m128i magnitude, const CubeRowVectors &row)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i step = _mm_packus_epi16(cube_row_half_sse2(_mm_unpacklo_epi8(zero, magnitude), row),
                                    cube_row_half_sse2(_mm_unpackhi_epi8(zero, magnitude), row));
    const int fixes = FIXES == ROW_FIXES ? row.fix_count : FIXES;
    for (int i = 0; i < fixes; ++i)
        step = _mm_add_epi8(step, _mm_and_si128(_mm_cmpeq_epi8(magnitude, row.fix_magnitude[i]), row.fix[i]));
    return step;
}

// Four opaque pixels of the cubic blend by the weight's fitted row.
template <int FIXES = ROW_FIXES>
inline void blend4_cubic_opaque_sse2(__m128i source, uint32_t *dst, const CubeRowVectors &opaque_row)
{
    const __m128i alpha_byte = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    __m128i target = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst));
    __m128i above = _mm_subs_epu8(target, source), below = _mm_subs_epu8(source, target);
    __m128i magnitude = _mm_andnot_si128(alpha_byte, _mm_or_si128(above, below));
    store_blend4_sse2(dst, source, target, above, cube_row_steps_sse2<FIXES>(magnitude, opaque_row));
}

// Pixels of one alpha from `column` on, eight at a time, for as long as
// they keep it; gives the column where they stop.
template <int FIXES>
int blend_run_cubic_sse2(const uint32_t *src, uint32_t *dst, int column, int width, int alpha, const CubeRowVectors &row)
{
    return walk_run_of_alpha_sse2(src, column, width, alpha, [&](__m128i first, __m128i second, int at) {
        blend4_cubic_opaque_sse2<FIXES>(first, dst + at, row);
        blend4_cubic_opaque_sse2<FIXES>(second, dst + at + 4, row);
    });
}

// A run of one alpha by its weight's row; at least the four pixels at
// `column`, which have that alpha. Gives the column where the run stops.
int blend_run_by_row_sse2(__m128i source, const uint32_t *src, uint32_t *dst, int column, int width, int alpha,
                          const CubeRowVectors &row)
{
    int reached;
    switch (row.fix_count) {
    case 0: reached = blend_run_cubic_sse2<0>(src, dst, column, width, alpha, row); break;
    case 1: reached = blend_run_cubic_sse2<1>(src, dst, column, width, alpha, row); break;
    case 2: reached = blend_run_cubic_sse2<2>(src, dst, column, width, alpha, row); break;
    default: reached = blend_run_cubic_sse2<ROW_FIXES>(src, dst, column, width, alpha, row); break;
    }
    if (reached == column) {   // fewer than eight
        blend4_cubic_opaque_sse2(source, dst + column, row);
        reached += 4;
    }
    return reached;
}

// The fitted row of the weight that the last run of one alpha had: pictures
// shade in such runs, and the row is built once for each.
struct RunRow {
    int alpha;   // -1: none yet
    CubeRowVectors vectors;
};

// The fitted row of alpha's weight, built when the run changes alpha.
inline const CubeRowVectors &run_row_sse2(RunRow &run, int alpha, const LinearBlend &blend)
{
    if (alpha != run.alpha) {
        run.alpha = alpha;
        run.vectors = cube_row_vectors_sse2(cube_arithmetic.weight_rows[blend.weight_of_alpha[alpha << 8]]);
    }
    return run.vectors;
}

// Four pixels of the cubic blend by single floats, each by its own weight;
// false (nothing stored) when a lane is flagged.
inline bool blend4_cubic_sse2(const uint32_t *src, uint32_t *dst, const LinearBlend &blend, __m128 opaque_scaled)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha_byte = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
    __m128i target = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst));
    __m128i alpha = _mm_srli_epi32(source, 24);
    bool opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_set1_epi32(255))) == 0xFFFF;
    // The scaled weight of each pixel, spread over its four lanes.
    __m128 scaled0 = opaque_scaled, scaled1 = opaque_scaled, scaled2 = opaque_scaled, scaled3 = opaque_scaled;
    if (!opaque) {
        __m128 scaled = cube_weight_sse2(fixed_weights_sse2(alpha, blend));
        scaled0 = _mm_shuffle_ps(scaled, scaled, 0x00);
        scaled1 = _mm_shuffle_ps(scaled, scaled, 0x55);
        scaled2 = _mm_shuffle_ps(scaled, scaled, 0xAA);
        scaled3 = _mm_shuffle_ps(scaled, scaled, 0xFF);
    }
    __m128i above = _mm_subs_epu8(target, source), below = _mm_subs_epu8(source, target);
    // Alpha's lane is zeroed: its step is never used, so it must not be flagged.
    __m128i magnitude = _mm_andnot_si128(alpha_byte, _mm_or_si128(above, below));
    __m128i cube0, cube1, cube2, cube3;
    cubes_sse2(_mm_unpacklo_epi8(magnitude, zero), cube0, cube1);
    cubes_sse2(_mm_unpackhi_epi8(magnitude, zero), cube2, cube3);
    __m128i flagged_low, flagged_high;
    __m128i step_low = cube_steps_sse2(cube_scaled_sse2(cube0, scaled0), cube_scaled_sse2(cube1, scaled1), flagged_low);
    __m128i step_high = cube_steps_sse2(cube_scaled_sse2(cube2, scaled2), cube_scaled_sse2(cube3, scaled3), flagged_high);
    if (_mm_movemask_epi8(_mm_or_si128(flagged_low, flagged_high)) != 0)
        return false;
    store_blend4_sse2(dst, source, target, above, _mm_packus_epi16(step_low, step_high));
    return true;
}

// Pictures shade in runs of one alpha, so a group of four pixels of one
// alpha, told apart by one compare, is the usual case: transparent (nothing
// moves), or opaque or in between, each by its weight's fitted row, eight at
// a time while the alpha lasts. Other groups, and weights whose row is not
// usable, take the single floats, and their flagged lanes the table.
ROW_START void blend_row_cubic_sse2(const uint32_t *src, uint32_t *dst, int width, const LinearBlend blend)
{
    const __m128 opaque_scaled = cube_weight_sse2(_mm_set1_epi32(blend.opaque_weight));
    const CubeRowVectors opaque_row = cube_row_vectors_sse2(cube_arithmetic.weight_rows[blend.opaque_weight]);
    RunRow run{-1, CubeRowVectors{}};
    int column = 0;
    while (column + 4 <= width) {
        __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + column));
        int alpha;
        if (one_alpha_sse2(_mm_srli_epi32(source, 24), alpha)) {
            if (alpha == 0) {
                column += 4;
                continue;
            }
            if (alpha == 255 && opaque_row.usable) {
                column = blend_run_by_row_sse2(source, src, dst, column, width, alpha, opaque_row);
                continue;
            }
            if (alpha != 255 && run_row_sse2(run, alpha, blend).usable) {
                column = blend_run_by_row_sse2(source, src, dst, column, width, alpha, run.vectors);
                continue;
            }
        }
        if (!blend4_cubic_sse2(src + column, dst + column, blend, opaque_scaled))
            blend_columns_by_table(src + column, dst + column, 4, blend.weight_of_alpha, CubeTable);
        column += 4;
    }
    blend_columns_by_table(src + column, dst + column, width - column, blend.weight_of_alpha, CubeTable);
}

// ---- AVX2 ----------------------------------------------------------------
#if RASTER_AVX2_PATHS

RASTER_AVX2 inline bool needs_table_avx2(const ScaleExceptions &exceptions, __m256i listed, __m256i weight_low, __m256i weight_high, __m256i product_low,
                                  __m256i product_high, __m256i quotient_low, __m256i quotient_high)
{
    const __m256i w255 = _mm256_set1_epi16(255);
    __m256i weight_low_listed = _mm256_setzero_si256(), weight_high_listed = _mm256_setzero_si256();
    for (int i = 0; i < exceptions.weight_count; ++i) {
        __m256i e = _mm256_set1_epi16(static_cast<short>(exceptions.weight[i]));
        weight_low_listed = _mm256_or_si256(weight_low_listed, _mm256_cmpeq_epi16(weight_low, e));
        weight_high_listed = _mm256_or_si256(weight_high_listed, _mm256_cmpeq_epi16(weight_high, e));
    }
    __m256i low = _mm256_and_si256(_mm256_unpacklo_epi8(listed, listed), weight_low_listed);
    __m256i high = _mm256_and_si256(_mm256_unpackhi_epi8(listed, listed), weight_high_listed);
    low = _mm256_and_si256(low, _mm256_cmpeq_epi16(product_low, _mm256_mullo_epi16(quotient_low, w255)));
    high = _mm256_and_si256(high, _mm256_cmpeq_epi16(product_high, _mm256_mullo_epi16(quotient_high, w255)));
    return _mm256_movemask_epi8(_mm256_or_si256(low, high)) != 0;
}

// The weights of eight pixels (low half of each word), by the SSE2 path's arithmetic.
RASTER_AVX2 inline __m256i weights_avx2(__m256i alpha, const LinearBlend &blend)
{
    __m256i weight = divide_by_255_avx2(_mm256_mullo_epi16(alpha, _mm256_set1_epi32(blend.opacity)));
    for (int i = 0; i < blend.weight_fix_count; ++i) {
        __m256i hit = _mm256_cmpeq_epi32(alpha, _mm256_set1_epi32(blend.weight_fix_alpha[i]));
        weight = _mm256_add_epi32(weight, _mm256_and_si256(hit, _mm256_set1_epi32(blend.weight_fix[i])));
    }
    return weight;
}

struct LinearConstantsAvx2 {
    __m256i magnitude[8];
    __m256i listed_low, listed_high;   // the opacity's listed_weight_nibbles, in both halves
};

RASTER_AVX2 LinearConstantsAvx2 linear_constants_avx2(const LinearBlend &blend)
{
    LinearConstantsAvx2 constants;
    for (int i = 0; i < 8; ++i)
        constants.magnitude[i] = _mm256_set1_epi8(static_cast<char>(blend.exceptions.magnitude[i < blend.exceptions.count ? i : 0]));
    constants.listed_low = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(blend.listed_nibbles[0])));
    constants.listed_high = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(blend.listed_nibbles[1])));
    return constants;
}

// Whether any of the eight alphas has a listed weight: each alpha's low
// nibble picks a byte of the opacity's sets, its high nibble a bit of it.
RASTER_AVX2 inline bool any_alpha_listed_avx2(__m256i source, const LinearConstantsAvx2 &constants)
{
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i bit_of = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128,
                                            1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
    __m256i low = _mm256_and_si256(source, nibble);
    __m256i high = _mm256_and_si256(_mm256_srli_epi16(source, 4), nibble);
    __m256i upper_half = _mm256_cmpgt_epi8(high, _mm256_set1_epi8(7));
    __m256i sets = _mm256_blendv_epi8(_mm256_shuffle_epi8(constants.listed_low, low),
                                      _mm256_shuffle_epi8(constants.listed_high, low), upper_half);
    __m256i hits = _mm256_and_si256(sets, _mm256_shuffle_epi8(bit_of, high));
    __m256i alpha_hits = _mm256_andnot_si256(_mm256_cmpeq_epi8(hits, _mm256_setzero_si256()),
                                             _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
    return _mm256_movemask_epi8(alpha_hits) != 0;
}

// What the linear and the cubic blends of eight pixels share once the step
// bytes are known, as store_blend4_sse2; fully transparent pixels (the
// transparent lanes, when transparent_mask is not 0) keep the target.
RASTER_AVX2 inline void store_blend8_avx2(uint32_t *dst, __m256i source, __m256i target, __m256i above, __m256i step,
                                   __m256i transparent, int transparent_mask)
{
    const __m256i alpha_byte = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    __m256i rising = _mm256_cmpeq_epi8(above, _mm256_setzero_si256());
    __m256i moved = _mm256_blendv_epi8(_mm256_sub_epi8(target, step), _mm256_add_epi8(target, step), rising);
    __m256i accumulated = _mm256_and_si256(alpha_byte, _mm256_add_epi8(target, source));
    __m256i result = _mm256_or_si256(_mm256_andnot_si256(alpha_byte, moved), accumulated);
    if (transparent_mask != 0)
        result = _mm256_blendv_epi8(result, target, transparent);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst), result);
}

// Eight pixels as both AVX2 blends take them in: source and target, the
// source's alphas, which pixels are transparent (all: nothing to do), and
// whether all are opaque.
struct Pixels8 {
    __m256i source, target, alpha, transparent;
    int transparent_mask;   // -1 when all eight are transparent
    bool opaque;
};

RASTER_AVX2 inline Pixels8 load_pixels8_avx2(const uint32_t *src, const uint32_t *dst)
{
    Pixels8 pixels;
    pixels.source = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src));
    pixels.target = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(dst));
    pixels.alpha = _mm256_srli_epi32(pixels.source, 24);
    pixels.transparent = _mm256_cmpeq_epi32(pixels.alpha, _mm256_setzero_si256());
    pixels.transparent_mask = _mm256_movemask_epi8(pixels.transparent);
    pixels.opaque = _mm256_movemask_epi8(_mm256_cmpeq_epi32(pixels.alpha, _mm256_set1_epi32(255))) == -1;
    return pixels;
}

// Eight pixels by the SSE2 blend's arithmetic, but a block at a time: it
// takes clear, opaque and one-alpha blocks whole and does not walk runs of
// one alpha as the SSE2 row does. The unpacks and the pack work within each
// 128-bit half, so the pixels keep their order.
RASTER_AVX2 inline bool blend8_linear_avx2(const uint32_t *src, uint32_t *dst, const LinearBlend &blend,
                                    const LinearConstantsAvx2 &constants)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i alpha_byte = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const Pixels8 pixels = load_pixels8_avx2(src, dst);
    if (pixels.transparent_mask == -1)
        return true;
    const __m256i source = pixels.source, target = pixels.target, alpha = pixels.alpha;
    if (pixels.opaque && blend.opaque_replaces) {
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst), _mm256_add_epi8(source, _mm256_and_si256(target, alpha_byte)));
        return true;
    }
    // Eight of one alpha (opaque ones among them) take the table's weight and
    // whether it is listed, looked up once; others work both out lane by lane.
    __m256i weight_low, weight_high;
    bool weight_listed;
    const int first = _mm_cvtsi128_si32(_mm256_castsi256_si128(alpha));
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, _mm256_set1_epi32(first))) == -1) {
        weight_low = weight_high = _mm256_set1_epi16(static_cast<short>(blend.weight_of_alpha[first << 8]));
        weight_listed = blend.listed_alphas[first] != 0;
    } else {
        __m256i weight = weights_avx2(alpha, blend);
        weight = _mm256_or_si256(weight, _mm256_slli_epi32(weight, 16));
        weight_low = _mm256_unpacklo_epi32(weight, weight);
        weight_high = _mm256_unpackhi_epi32(weight, weight);
        weight_listed = any_alpha_listed_avx2(source, constants);
    }

    __m256i above = _mm256_subs_epu8(target, source), below = _mm256_subs_epu8(source, target);
    __m256i magnitude = _mm256_or_si256(above, below);
    __m256i product_low = _mm256_mullo_epi16(_mm256_unpacklo_epi8(magnitude, zero), weight_low);
    __m256i product_high = _mm256_mullo_epi16(_mm256_unpackhi_epi8(magnitude, zero), weight_high);
    __m256i quotient_low = divide_by_255_avx2(product_low), quotient_high = divide_by_255_avx2(product_high);

    if (weight_listed) {
        const __m256i *m = constants.magnitude;
        __m256i listed = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(magnitude, m[0]), _mm256_cmpeq_epi8(magnitude, m[1])),
                                         _mm256_or_si256(_mm256_cmpeq_epi8(magnitude, m[2]), _mm256_cmpeq_epi8(magnitude, m[3])));
        listed = _mm256_or_si256(listed, _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(magnitude, m[4]), _mm256_cmpeq_epi8(magnitude, m[5])),
                                                         _mm256_or_si256(_mm256_cmpeq_epi8(magnitude, m[6]), _mm256_cmpeq_epi8(magnitude, m[7]))));
        listed = _mm256_andnot_si256(alpha_byte, listed);
        if (_mm256_movemask_epi8(listed) != 0 &&
            needs_table_avx2(blend.exceptions, listed, weight_low, weight_high, product_low, product_high, quotient_low,
                             quotient_high))
            return false;
    }

    store_blend8_avx2(dst, source, target, above, _mm256_packus_epi16(quotient_low, quotient_high), pixels.transparent,
                      pixels.transparent_mask);
    return true;
}

RASTER_AVX2 ROW_START void blend_row_linear_avx2(const uint32_t *src, uint32_t *dst, int width, const LinearBlend blend)
{
    const LinearConstantsAvx2 constants = linear_constants_avx2(blend);
    int column = 0;
    for (; column + 8 <= width; column += 8)
        if (!blend8_linear_avx2(src + column, dst + column, blend, constants))
            blend_columns_by_table(src + column, dst + column, 8, blend.weight_of_alpha, ScaleTable);
    blend_row_linear_sse2(src + column, dst + column, width - column, blend);
}

// The cubic step as the SSE2 path computes it, eight lanes at a time: the same
// single-float operations in the same order, so every lane gives the SSE2
// path's result, which check_cube_arithmetic holds against CubeTable.
RASTER_AVX2 inline __m256 cube_weight_avx2(__m256i weight)
{
    return _mm256_mul_ps(_mm256_cvtepi32_ps(weight),
                         _mm256_set1_ps(static_cast<float>(32768.0 / (255.0 * 255.0 * 255.0))));
}

RASTER_AVX2 inline void cubes_avx2(__m256i magnitude, __m256i &low, __m256i &high)
{
    __m256i square = _mm256_mullo_epi16(magnitude, magnitude);
    __m256i cube_low = _mm256_mullo_epi16(square, magnitude), cube_high = _mm256_mulhi_epu16(square, magnitude);
    low = _mm256_unpacklo_epi16(cube_low, cube_high);
    high = _mm256_unpackhi_epi16(cube_low, cube_high);
}

RASTER_AVX2 inline __m256i cube_scaled_avx2(__m256i cube, __m256 scaled_weight)
{
    __m256 value = _mm256_mul_ps(_mm256_cvtepi32_ps(cube), scaled_weight);
    return _mm256_add_epi32(_mm256_cvttps_epi32(value), _mm256_set1_epi32(CUBE_MARGIN));
}

RASTER_AVX2 inline __m256i cube_steps_avx2(__m256i first, __m256i second, __m256i &flagged)
{
    const __m256i fraction_bits = _mm256_set1_epi32(0x7FFF);
    __m256i step = _mm256_packs_epi32(_mm256_srai_epi32(first, 15), _mm256_srai_epi32(second, 15));
    __m256i fraction = _mm256_packs_epi32(_mm256_and_si256(first, fraction_bits),
                                          _mm256_and_si256(second, fraction_bits));
    flagged = _mm256_and_si256(_mm256_cmpgt_epi16(_mm256_set1_epi16(2 * CUBE_MARGIN), fraction),
                               _mm256_cmpgt_epi16(step, _mm256_setzero_si256()));
    return step;
}

// The opaque source's step as cube_row_steps_sse2 takes it: the same integer
// operations, so the same bytes.
struct CubeRowVectorsAvx2 {
    bool usable;
    __m256i multiplier;
    __m128i shift;
    int fix_count;
    __m256i fix_magnitude[4], fix[4];
};

RASTER_AVX2 CubeRowVectorsAvx2 cube_row_vectors_avx2(const CubeRow &row)
{
    CubeRowVectorsAvx2 vectors;
    vectors.usable = row.usable;
    vectors.multiplier = _mm256_set1_epi16(static_cast<short>(row.multiplier));
    vectors.shift = _mm_cvtsi32_si128(row.shift);
    vectors.fix_count = row.fix_count;
    for (int i = 0; i < 4; ++i) {
        vectors.fix_magnitude[i] = _mm256_set1_epi8(static_cast<char>(row.fix_magnitude[i]));
        vectors.fix[i] = _mm256_set1_epi8(static_cast<char>(row.fix[i]));
    }
    return vectors;
}

RASTER_AVX2 inline __m256i cube_row_half_avx2(__m256i magnitude_256, const CubeRowVectorsAvx2 &row)
{
    __m256i square = _mm256_mulhi_epu16(magnitude_256, magnitude_256);
    __m256i cube_256ths = _mm256_mulhi_epu16(square, magnitude_256);
    return _mm256_srl_epi16(_mm256_mulhi_epu16(cube_256ths, row.multiplier), row.shift);
}

RASTER_AVX2 inline __m256i cube_row_steps_avx2(__m256i magnitude, const CubeRowVectorsAvx2 &row)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i step = _mm256_packus_epi16(cube_row_half_avx2(_mm256_unpacklo_epi8(zero, magnitude), row),
                                       cube_row_half_avx2(_mm256_unpackhi_epi8(zero, magnitude), row));
    for (int i = 0; i < row.fix_count; ++i)
        step = _mm256_add_epi8(step,
                               _mm256_and_si256(_mm256_cmpeq_epi8(magnitude, row.fix_magnitude[i]), row.fix[i]));
    return step;
}

// Eight pixels of the cubic blend; false (nothing stored) when a lane is
// flagged. The unpacks work within each 128-bit half, so lane j of a half
// belongs to pixel j (or j + 4), and the weight is spread the same way.
RASTER_AVX2 inline bool blend8_cubic_avx2(const uint32_t *src, uint32_t *dst, const LinearBlend &blend, __m256 opaque_scaled,
                                   const CubeRowVectorsAvx2 &opaque_row)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i alpha_byte = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const Pixels8 pixels = load_pixels8_avx2(src, dst);
    if (pixels.transparent_mask == -1)
        return true;
    const __m256i source = pixels.source, target = pixels.target, alpha = pixels.alpha;
    const bool opaque = pixels.opaque;
    __m256i above = _mm256_subs_epu8(target, source), below = _mm256_subs_epu8(source, target);
    if (opaque && opaque_row.usable) {
        store_blend8_avx2(dst, source, target, above, cube_row_steps_avx2(_mm256_or_si256(above, below), opaque_row),
                          pixels.transparent, 0);
        return true;
    }
    __m256 scaled = opaque ? opaque_scaled : cube_weight_avx2(weights_avx2(alpha, blend));
    __m256i magnitude = _mm256_andnot_si256(alpha_byte, _mm256_or_si256(above, below));
    __m256i cube0, cube1, cube2, cube3;
    cubes_avx2(_mm256_unpacklo_epi8(magnitude, zero), cube0, cube1);
    cubes_avx2(_mm256_unpackhi_epi8(magnitude, zero), cube2, cube3);
    __m256i flagged_low, flagged_high;
    __m256i step_low = cube_steps_avx2(cube_scaled_avx2(cube0, _mm256_shuffle_ps(scaled, scaled, 0x00)),
                                       cube_scaled_avx2(cube1, _mm256_shuffle_ps(scaled, scaled, 0x55)), flagged_low);
    __m256i step_high = cube_steps_avx2(cube_scaled_avx2(cube2, _mm256_shuffle_ps(scaled, scaled, 0xAA)),
                                        cube_scaled_avx2(cube3, _mm256_shuffle_ps(scaled, scaled, 0xFF)), flagged_high);
    if (_mm256_movemask_epi8(_mm256_or_si256(flagged_low, flagged_high)) != 0)
        return false;
    store_blend8_avx2(dst, source, target, above, _mm256_packus_epi16(step_low, step_high), pixels.transparent,
                      pixels.transparent_mask);
    return true;
}

RASTER_AVX2 ROW_START void blend_row_cubic_avx2(const uint32_t *src, uint32_t *dst, int width, const LinearBlend blend)
{
    const __m256 opaque_scaled = cube_weight_avx2(_mm256_set1_epi32(blend.opaque_weight));
    const CubeRowVectorsAvx2 opaque_row = cube_row_vectors_avx2(cube_arithmetic.weight_rows[blend.opaque_weight]);
    int column = 0;
    for (; column + 8 <= width; column += 8)
        if (!blend8_cubic_avx2(src + column, dst + column, blend, opaque_scaled, opaque_row))
            blend_columns_by_table(src + column, dst + column, 8, blend.weight_of_alpha, CubeTable);
    blend_row_cubic_sse2(src + column, dst + column, width - column, blend);
}
#endif // RASTER_AVX2_PATHS
#endif // RASTER_SSE2_PATHS

} // namespace

// ---- The cubic arithmetic's proof -----------------------------------------

#if RASTER_SSE2_PATHS

int raster_detail::cube_step_by_arithmetic(int magnitude, int weight, bool &ask_table)
{
    __m128i flagged, cube, unused;
    cubes_sse2(_mm_set1_epi16(static_cast<short>(magnitude)), cube, unused);
    __m128i scaled = cube_scaled_sse2(cube, cube_weight_sse2(_mm_set1_epi32(weight)));
    __m128i step = cube_steps_sse2(scaled, scaled, flagged);
    ask_table = (_mm_cvtsi128_si32(flagged) & 0xFFFF) != 0;
    return _mm_cvtsi128_si32(step) & 0xFFFF;
}

int raster_detail::cube_row_step(int magnitude, const CubeRow &row)
{
    __m128i step = cube_row_steps_sse2(_mm_set1_epi8(static_cast<char>(magnitude)), cube_row_vectors_sse2(row));
    return _mm_cvtsi128_si32(step) & 0xFF;
}

namespace {

// CubeTable's step for magnitude m and weight e where d is above s; -1 when
// the side where d is below s does not take the same step the other way.
int cube_table_step(int magnitude, int weight)
{
    uint8_t falling = CubeTable[(256 + magnitude) * 256 + weight];
    uint8_t rising = CubeTable[(256 - magnitude) * 256 + weight];
    return rising == static_cast<uint8_t>(-falling) ? falling : -1;
}

// A row's steps for every magnitude, by the vector code itself.
void cube_row_all_steps(const CubeRow &row, uint8_t steps[256])
{
    const CubeRowVectors vectors = cube_row_vectors_sse2(row);
    const __m128i sixteen = _mm_set1_epi8(16);
    __m128i magnitude = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    for (int first = 0; first < 256; first += 16, magnitude = _mm_add_epi8(magnitude, sixteen))
        _mm_storeu_si128(reinterpret_cast<__m128i *>(steps + first), cube_row_steps_sse2(magnitude, vectors));
}

int cube_row_misses(const CubeRow &row, const int want[256])
{
    uint8_t steps[256];
    cube_row_all_steps(row, steps);
    int misses = 0;
    for (int magnitude = 0; magnitude < 256; ++magnitude)
        misses += steps[magnitude] != want[magnitude];
    return misses;
}

// The multiplier is e * 2^(24 + shift) / 255^3 rounded, or a neighbour, for
// the three largest shifts that keep it within 16 bits (the most precise);
// the fit that misses the table at the fewest magnitudes keeps those as its
// fixes. It is usable only if, fixes applied, it gives every step.
CubeRow fit_cube_row(int weight)
{
    int want[256];
    for (int magnitude = 0; magnitude < 256; ++magnitude)
        want[magnitude] = cube_table_step(magnitude, weight);
    int largest_shift = 0;
    while (largest_shift < 15 && std::ldexp(weight, 24 + largest_shift + 1) / (255.0 * 255.0 * 255.0) <= 65535.0)
        ++largest_shift;
    CubeRow best = {};
    int fewest = 257;
    for (int shift = largest_shift < 2 ? 0 : largest_shift - 2; shift <= largest_shift; ++shift) {
        long nearest = std::lround(std::ldexp(weight, 24 + shift) / (255.0 * 255.0 * 255.0));
        for (long multiplier = nearest - 3; multiplier <= nearest + 3; ++multiplier) {
            if (multiplier < 0 || multiplier > 65535)
                continue;
            CubeRow row = {};
            row.multiplier = static_cast<uint16_t>(multiplier);
            row.shift = shift;
            int misses = cube_row_misses(row, want);
            if (misses < fewest) {
                best = row;
                fewest = misses;
            }
        }
    }
    uint8_t steps[256];
    cube_row_all_steps(best, steps);
    for (int magnitude = 0; magnitude < 256 && fewest <= 4; ++magnitude)
        if (steps[magnitude] != want[magnitude] && want[magnitude] >= 0) {
            best.fix_magnitude[best.fix_count] = static_cast<uint8_t>(magnitude);
            best.fix[best.fix_count++] = static_cast<uint8_t>(want[magnitude] - steps[magnitude]);
        }
    best.usable = cube_row_misses(best, want) == 0;
    return best;
}

} // namespace

void raster_detail::check_cube_arithmetic()
{
    CubeArithmetic found = {};
    found.usable = true;
    for (int weight = 0; weight < 256; ++weight)
        found.weight_rows[weight] = fit_cube_row(weight);
    for (int magnitude = 0; magnitude < 256; ++magnitude)
        for (int weight = 0; weight < 256; ++weight) {
            bool ask_table = false;
            int step = cube_step_by_arithmetic(magnitude, weight, ask_table);
            if (ask_table) {
                ++found.flagged;
                continue;
            }
            // d above s subtracts the step; d below s subtracts its negative.
            if (cube_table_step(magnitude, weight) != step)
                found.usable = false;
        }
    cube_arithmetic = found;
}

#else
// Without the vector paths nothing computes the cubic step by arithmetic:
// the table is walked, so there is nothing to prove.
void raster_detail::check_cube_arithmetic() { cube_arithmetic = {}; }
#endif // RASTER_SSE2_PATHS

raster_detail::CubeArithmetic raster_detail::cube_arithmetic = {};

// ---- The vector paths' entries ---------------------------------------------

#if RASTER_SSE2_PATHS
namespace {

typedef void (*RowBlend)(const uint32_t *src, uint32_t *dst, int width, const LinearBlend blend);

// A blit's rows by the given linear or cubic row function (called directly,
// so that it may be inlined), or by the table walk when the arithmetic
// cannot vouch for the tables.
template <RowBlend linear, RowBlend cubic>
void blit_rows_by(SDL_Surface *src, SDL_Surface *dst, int x, int y, int first_row, int end_row, int opacity,
                  BlendMode mode)
{
    BlitRows rows;
    if (!blit_rows_for(src, dst, x, y, first_row, end_row, rows))
        return;
    const LinearBlend blend = linear_blend_for(opacity);
    bool by_table = !scale_exceptions.arithmetic_usable || (mode == BLEND_CUBIC && !cube_arithmetic.usable);
    for (int row = 0; row < rows.height; ++row, rows.src_row += rows.src_stride, rows.dst_row += rows.dst_stride) {
        if (by_table)
            blend_columns_by_table(rows.src_row, rows.dst_row, rows.width, blend.weight_of_alpha,
                                   mode == BLEND_CUBIC ? CubeTable : ScaleTable);
        else if (mode == BLEND_CUBIC)
            cubic(rows.src_row, rows.dst_row, rows.width, blend);
        else
            linear(rows.src_row, rows.dst_row, rows.width, blend);
    }
}

} // namespace

void blit_alpha_sse2(SDL_Surface *src, SDL_Surface *dst, int x, int y, int opacity, BlendMode mode)
{
    blit_rows_by<blend_row_linear_sse2, blend_row_cubic_sse2>(src, dst, x, y, 0, INT_MAX, opacity, mode);
}

#if RASTER_AVX2_PATHS
void blit_alpha_avx2(SDL_Surface *src, SDL_Surface *dst, int x, int y, int opacity, BlendMode mode)
{
    blit_rows_by<blend_row_linear_avx2, blend_row_cubic_avx2>(src, dst, x, y, 0, INT_MAX, opacity, mode);
}
#endif

// A per-byte minimum with the three ceilings (alpha's is 255) leaves black
// pixels black and alpha as it was, as the plain loop's skip does.
void fade_rect_sse2(SDL_Surface *s, int x, int y, int w, int h, int level)
{
    if (level <= 0)
        return;
    if (level > 255)
        level = 255;
    ClippedRect rect;
    if (!clip_rect(s, x, y, w, h, rect))
        return;
    const FadeCaps fade = fade_caps(level);
    const uint32_t red_cap = fade.red, green_cap = fade.green, blue_cap = fade.blue;
    uint32_t caps = 0xFF000000u | (red_cap << 16) | (green_cap << 8) | blue_cap;
    const __m128i caps4 = _mm_set1_epi32(static_cast<int>(caps));
    ptrdiff_t stride = row_stride(s);
    uint32_t *row_pixels = pixel_words(s) + rect.y * stride + rect.x;
    int columns = rect.w + 1;
    for (int row = 0; row <= rect.h; ++row, row_pixels += stride) {
        int column = 0;
        for (; column + 4 <= columns; column += 4) {
            __m128i *p = reinterpret_cast<__m128i *>(row_pixels + column);
            _mm_storeu_si128(p, _mm_min_epu8(_mm_loadu_si128(p), caps4));
        }
        for (; column < columns; ++column) {
            __m128i one = _mm_cvtsi32_si128(static_cast<int>(row_pixels[column]));
            row_pixels[column] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_min_epu8(one, caps4)));
        }
    }
}

namespace {

// What both dim paths share: the clipped rectangle, the factor, and the
// channel values whose table entry differs from the arithmetic (with the difference).
struct DimJob {
    ClippedRect rect;
    int factor;                // 255 - amount, 0..254
    int multiplier;            // ceil(factor * 65536 / 255): the quotient by one multiply-high
    const uint8_t *dim;        // row c + 256 scales c
    int fix_count;
    int fix_value[8], fix[8];
};

bool dim_job_for(SDL_Surface *s, int x, int y, int w, int h, int amount, DimJob &job)
{
    if (amount <= 0)
        return false;
    if (amount > 255)   // past 255 the column would leave the table; 255 is black
        amount = 255;
    if (!clip_rect(s, x, y, w, h, job.rect))
        return false;
    job.factor = 255 - amount;
    job.multiplier = job.factor * 257 + (job.factor > 0);   // factor * 65536 / 255 = factor * 257 + factor / 255
    job.dim = ScaleTable + 65536 + job.factor;
    job.fix_count = 0;
    for (int i = 0; i < scale_exceptions.count; ++i) {
        int value = scale_exceptions.magnitude[i];
        int difference = job.dim[value << 8] - divide_by_255(value * job.factor);
        if (difference != 0) {
            job.fix_value[job.fix_count] = value;
            job.fix[job.fix_count++] = difference;
        }
    }
    return true;
}

// The job of a dim, or false when none is left: nothing to dim, or no
// arithmetic to trust, when the table walk has done it instead.
bool dim_job_to_do(SDL_Surface *s, int x, int y, int w, int h, int amount, DimJob &job)
{
    if (!scale_exceptions.arithmetic_usable) {
        dim_rect_reference(s, x, y, w, h, amount);
        return false;
    }
    return dim_job_for(s, x, y, w, h, amount, job);
}

inline uint32_t dim_pixel(uint32_t pixel, const uint8_t *dim)
{
    uint32_t blue = dim[(pixel & 0xFF) << 8];
    uint32_t green = dim[((pixel >> 8) & 0xFF) << 8];
    uint32_t red = dim[((pixel >> 16) & 0xFF) << 8];
    return (pixel & 0xFF000000u) | (red << 16) | (green << 8) | blue;
}

// Each channel c becomes ScaleTable's trunc(c * (255 - amount) / 255): the
// exact quotient, with the table's own entry added back for the listed c
// where it differs. Black stays black and alpha is put back unchanged.
//
// The quotient is one multiply-high: with M = ceil(factor * 65536 / 255),
// c * M / 65536 exceeds c * factor / 255 by less than 255 / 65536, under the
// 1/255 that separates the quotient's fraction from the next integer, so the
// floor is the same for every c and factor <= 254 (and M fits 16 bits).
//
// No unpacking, so the processor's shuffle unit, which the unpacks and pack
// kept busy, stays free: the 16-bit lanes of a pixel are blue | green << 8
// and red | alpha << 8, and masks alone part them into two vectors:
// - blue and red in the low bytes, scaled as above;
// - green and alpha in the high bytes. The multiply-high of c * 256 by M
//   floors c * M / 256, whose own high byte is floor(c * M / 65536): a mask
//   leaves the scaled channel in place. Alpha gets the low byte 255 and the
//   multiplier 65535: x * 65535 / 65536 then floors to x - 1, whose high
//   byte is alpha's own. No listed value matches an alpha lane, whose low
//   byte is 255, so the fixes leave alpha alone.
inline __m128i dim4_sse2(__m128i pixels, __m128i colour, __m128i green_alpha_multiplier, int fix_count,
                         const DimJob &job)
{
    const __m128i low_bytes = _mm_set1_epi16(0x00FF), high_bytes = _mm_set1_epi16(static_cast<short>(0xFF00));
    const __m128i alpha_low_byte = _mm_set1_epi32(0x00FF0000);
    __m128i blue_red = _mm_and_si128(pixels, low_bytes);
    __m128i green_alpha = _mm_or_si128(_mm_and_si128(pixels, high_bytes), alpha_low_byte);
    __m128i dim_blue_red = _mm_mulhi_epu16(blue_red, colour);
    __m128i dim_green_alpha = _mm_mulhi_epu16(green_alpha, green_alpha_multiplier);
    for (int i = 0; i < fix_count; ++i) {
        __m128i value = _mm_set1_epi16(static_cast<short>(job.fix_value[i]));
        __m128i difference = _mm_set1_epi16(static_cast<short>(job.fix[i]));
        dim_blue_red = _mm_add_epi16(dim_blue_red, _mm_and_si128(_mm_cmpeq_epi16(blue_red, value), difference));
        dim_green_alpha = _mm_add_epi16(dim_green_alpha, _mm_and_si128(_mm_cmpeq_epi16(green_alpha, _mm_slli_epi16(value, 8)),
                                                                       _mm_slli_epi16(difference, 8)));
    }
    return _mm_or_si128(dim_blue_red, _mm_and_si128(dim_green_alpha, high_bytes));
}

// The rows of the job; with no fixes (the usual case) the fix loop and what
// it keeps alive leave the hot loop, whose instructions are its cost.
template <bool WITH_FIXES> void dim_rows_sse2(SDL_Surface *s, const DimJob &job)
{
    const __m128i colour = _mm_set1_epi16(static_cast<short>(job.multiplier));
    const __m128i green_alpha = _mm_set1_epi32(static_cast<int>(0xFFFF0000u | job.multiplier));
    const int fix_count = WITH_FIXES ? job.fix_count : 0;   // a register: the stores may alias job
    ptrdiff_t stride = row_stride(s);
    uint32_t *row_pixels = pixel_words(s) + job.rect.y * stride + job.rect.x;
    int columns = job.rect.w + 1;
    for (int row = 0; row <= job.rect.h; ++row, row_pixels += stride) {
        int column = 0;
        // Two vectors a step: the two multiplies of one wait on each other less.
        for (; column + 8 <= columns; column += 8) {
            __m128i *p = reinterpret_cast<__m128i *>(row_pixels + column);
            __m128i first = _mm_loadu_si128(p), second = _mm_loadu_si128(p + 1);
            _mm_storeu_si128(p, dim4_sse2(first, colour, green_alpha, fix_count, job));
            _mm_storeu_si128(p + 1, dim4_sse2(second, colour, green_alpha, fix_count, job));
        }
        for (; column + 4 <= columns; column += 4) {
            __m128i *p = reinterpret_cast<__m128i *>(row_pixels + column);
            _mm_storeu_si128(p, dim4_sse2(_mm_loadu_si128(p), colour, green_alpha, fix_count, job));
        }
        for (; column < columns; ++column)
            row_pixels[column] = dim_pixel(row_pixels[column], job.dim);
    }
}

} // namespace

void dim_rect_sse2(SDL_Surface *s, int x, int y, int w, int h, int amount)
{
    DimJob job;
    if (!dim_job_to_do(s, x, y, w, h, amount, job))
        return;
    if (job.fix_count > 0)
        dim_rows_sse2<true>(s, job);
    else
        dim_rows_sse2<false>(s, job);
}

#if RASTER_AVX2_PATHS
// As the SSE2 path, eight pixels at a time.
RASTER_AVX2 void dim_rect_avx2(SDL_Surface *s, int x, int y, int w, int h, int amount)
{
    DimJob job;
    if (!dim_job_to_do(s, x, y, w, h, amount, job))
        return;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i multiplier = _mm256_set1_epi16(static_cast<short>(job.multiplier));
    const __m256i alpha_byte = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const int fix_count = job.fix_count;
    ptrdiff_t stride = row_stride(s);
    uint32_t *row_pixels = pixel_words(s) + job.rect.y * stride + job.rect.x;
    int columns = job.rect.w + 1;
    for (int row = 0; row <= job.rect.h; ++row, row_pixels += stride) {
        int column = 0;
        for (; column + 8 <= columns; column += 8) {
            __m256i *p = reinterpret_cast<__m256i *>(row_pixels + column);
            __m256i pixels = _mm256_loadu_si256(p);
            __m256i low = _mm256_unpacklo_epi8(pixels, zero), high = _mm256_unpackhi_epi8(pixels, zero);
            __m256i dim_low = _mm256_mulhi_epu16(low, multiplier);
            __m256i dim_high = _mm256_mulhi_epu16(high, multiplier);
            for (int i = 0; i < fix_count; ++i) {
                __m256i value = _mm256_set1_epi16(static_cast<short>(job.fix_value[i]));
                __m256i difference = _mm256_set1_epi16(static_cast<short>(job.fix[i]));
                dim_low = _mm256_add_epi16(dim_low, _mm256_and_si256(_mm256_cmpeq_epi16(low, value), difference));
                dim_high = _mm256_add_epi16(dim_high, _mm256_and_si256(_mm256_cmpeq_epi16(high, value), difference));
            }
            __m256i colour = _mm256_andnot_si256(alpha_byte, _mm256_packus_epi16(dim_low, dim_high));
            _mm256_storeu_si256(p, _mm256_or_si256(colour, _mm256_and_si256(alpha_byte, pixels)));
        }
        for (; column < columns; ++column)
            row_pixels[column] = dim_pixel(row_pixels[column], job.dim);
    }
}
#endif
#endif // RASTER_SSE2_PATHS

// ---- The entries that pick a path -------------------------------------------

RasterPath raster_path()
{
#if RASTER_AVX2_PATHS
    static const RasterPath path = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0 ? RASTER_PATH_AVX2 : RASTER_PATH_SSE2;
    }();
    return path;
#elif RASTER_SSE2_PATHS
    return RASTER_PATH_SSE2;
#else
    return RASTER_PATH_PLAIN;
#endif
}

void blit_alpha(SDL_Surface *src, SDL_Surface *dst, int x, int y, int opacity, BlendMode mode)
{
#if RASTER_AVX2_PATHS
    if (raster_has_avx2()) {
        blit_alpha_avx2(src, dst, x, y, opacity, mode);
        return;
    }
#endif
#if RASTER_SSE2_PATHS
    blit_alpha_sse2(src, dst, x, y, opacity, mode);
#else
    blit_alpha_reference(src, dst, x, y, opacity, mode);
#endif
}

void blit_alpha_rows(SDL_Surface *src, SDL_Surface *dst, int x, int y, int first_row, int end_row, int opacity,
                     BlendMode mode)
{
#if RASTER_AVX2_PATHS
    if (raster_has_avx2()) {
        blit_rows_by<blend_row_linear_avx2, blend_row_cubic_avx2>(src, dst, x, y, first_row, end_row, opacity, mode);
        return;
    }
#endif
#if RASTER_SSE2_PATHS
    blit_rows_by<blend_row_linear_sse2, blend_row_cubic_sse2>(src, dst, x, y, first_row, end_row, opacity, mode);
#else
    BlitRows rows;
    if (!blit_rows_for(src, dst, x, y, first_row, end_row, rows))
        return;
    // The table walk of blit_alpha_reference, on these rows only.
    const uint8_t *weight_of_alpha = ScaleTable + 65536 + clamp_byte(opacity);
    const uint8_t *blend = mode == BLEND_CUBIC ? CubeTable : ScaleTable;
    for (int row = 0; row < rows.height; ++row, rows.src_row += rows.src_stride, rows.dst_row += rows.dst_stride)
        blend_columns_by_table(rows.src_row, rows.dst_row, rows.width, weight_of_alpha, blend);
#endif
}

void fade_rect(SDL_Surface *s, int x, int y, int w, int h, int level)
{
#if RASTER_SSE2_PATHS
    fade_rect_sse2(s, x, y, w, h, level);
#else
    fade_rect_reference(s, x, y, w, h, level);
#endif
}

void dim_rect(SDL_Surface *s, int x, int y, int w, int h, int amount)
{
#if RASTER_AVX2_PATHS
    if (raster_has_avx2()) {
        dim_rect_avx2(s, x, y, w, h, amount);
        return;
    }
#endif
#if RASTER_SSE2_PATHS
    dim_rect_sse2(s, x, y, w, h, amount);
#else
    dim_rect_reference(s, x, y, w, h, amount);
#endif
}

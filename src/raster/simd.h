// simd.h — the raster library's one vector kit: the switch that decides which
// vector paths a build has, and the few operations that the blits, the
// scaler, the 3D fill and the landscape share, each in its plain form and its
// SSE2 (and AVX2) forms.
//
// This is the only file that includes an intrinsics header. Everything else
// writes its vector loops under RASTER_SSE2_PATHS or RASTER_AVX2_PATHS and
// keeps its plain loop beside them, so that a processor without them (or the
// portable build, -DLANTERNFAY_PORTABLE=ON) compiles and runs the plain loops.
// Must stay true: each vector form gives, lane for lane, exactly its plain
// form; divide_by_255 is floor(product / 255) for every product 0..65535.
#pragma once
#include "raster.h"
#include <cstdint>

// ---- The switch --------------------------------------------------------------
// SSE2 wherever the compiler targets it: every x86-64, 32-bit x86 built with
// -msse2 (as the project's toolchains do), and the browser build, whose
// compiler turns these intrinsics into its own vectors. AVX2 on x86 only,
// compiled per function and chosen at run time (raster_path).
#if defined(__SSE2__) && !defined(LANTERNFAY_PORTABLE)
#define RASTER_SSE2_PATHS 1
#include <emmintrin.h>
#else
#define RASTER_SSE2_PATHS 0
#endif

#if RASTER_SSE2_PATHS && (defined(__x86_64__) || defined(__i386__))
#define RASTER_AVX2_PATHS 1
#include <immintrin.h>
// A function compiled for AVX2; call it only when raster_path() says AVX2.
#define RASTER_AVX2 __attribute__((target("avx2")))
#else
#define RASTER_AVX2_PATHS 0
#endif

// The path that every dispatching entry (blit_alpha, blit_alpha_rows,
// dim_rect, fade_rect, scale_picture, the landscape's haze) takes on this
// processor, decided once: AVX2 where the build has it and the processor
// runs it, else SSE2 where the build has it, else the plain loops.
enum RasterPath { RASTER_PATH_PLAIN = 0, RASTER_PATH_SSE2 = 1, RASTER_PATH_AVX2 = 2 };
RasterPath raster_path();
inline bool raster_has_avx2() { return raster_path() == RASTER_PATH_AVX2; }

// ---- Divide by 255 -------------------------------------------------------------

// floor(product / 255) for 0 <= product <= 65535: the high half of
// product * 0x8081 shifted by 7 more (the reciprocal rounded up), exactly
// what the vector forms below do in each 16-bit lane.
inline int divide_by_255(int product)
{
    return static_cast<int>((static_cast<uint32_t>(product) * 0x8081u) >> 23);
}

// ---- Move a byte toward a target -------------------------------------------------

// v moved toward target by level / 255 of the distance, rounded toward v
// (v, target and level 0..255).
inline int move_byte_toward(int v, int target, int level)
{
    return target >= v ? v + divide_by_255(level * (target - v)) : v - divide_by_255(level * (v - target));
}

// ---- Blend by alpha ----------------------------------------------------------------

// A channel d moved towards s by alpha / 256 of the difference, rounded
// down: d + floor((s - d) * alpha / 256), s and d 0..255, alpha 0..255. (The
// +65536 keeps the shifted value positive: the same floor, no shift of a
// negative number.)
inline uint32_t blend_channel_floor(uint32_t s, uint32_t d, uint32_t alpha)
{
    return (d + (uint32_t)((((int)s - (int)d) * (int)alpha + 65536) >> 8) - 256u) & 0xFFu;
}

// ---- Truncate a pair of doubles -----------------------------------------------------
// The plain form is truncate_or_int_min (raster.h), one value at a time.

#if RASTER_SSE2_PATHS

inline __m128i divide_by_255_sse2(__m128i x)   // divide_by_255 in each 16-bit lane
{
    return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(static_cast<short>(0x8081))), 7);
}

// move_byte_toward in every byte lane; level in each 16-bit lane.
inline __m128i move_bytes_toward_sse2(__m128i v, __m128i target, __m128i level)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i up = _mm_subs_epu8(target, v);     // target - v where v is below it, else 0
    __m128i down = _mm_subs_epu8(v, target);   // v - target where v is above it, else 0
    __m128i distance = _mm_or_si128(up, down);
    __m128i low = divide_by_255_sse2(_mm_mullo_epi16(_mm_unpacklo_epi8(distance, zero), level));
    __m128i high = divide_by_255_sse2(_mm_mullo_epi16(_mm_unpackhi_epi8(distance, zero), level));
    __m128i moved = _mm_packus_epi16(low, high);
    __m128i above = _mm_cmpeq_epi8(down, zero);   // all ones where v is not above the target
    return _mm_sub_epi8(_mm_add_epi8(v, _mm_and_si128(above, moved)), _mm_andnot_si128(above, moved));
}

// Four pixels of src over dst by src's alpha: each colour channel
// blend_channel_floor, which is floor((d * (256 - a) + s * a) / 256) with d
// added inside the floor: both products and their sum stay within 255 * 256,
// so 16-bit lanes hold them exactly. Alpha 255 takes src's colour; dst's
// alpha bytes stay. Pixels in memory order (little-endian words).
inline __m128i blend_by_alpha_sse2(__m128i s, __m128i d)
{
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(256);
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF), opaque = _mm_set1_epi32(255);
    auto blend_half = [&](__m128i s16, __m128i d16) {
        // Each pixel's alpha (its fourth 16-bit lane) in all four of its lanes.
        __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0xFF), 0xFF);
        __m128i sum = _mm_add_epi16(_mm_mullo_epi16(d16, _mm_sub_epi16(full, a)), _mm_mullo_epi16(s16, a));
        return _mm_srli_epi16(sum, 8);
    };
    __m128i blended = _mm_packus_epi16(blend_half(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero)),
                                       blend_half(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero)));
    __m128i is_opaque = _mm_cmpeq_epi32(_mm_srli_epi32(s, 24), opaque);
    blended = _mm_or_si128(_mm_and_si128(is_opaque, s), _mm_andnot_si128(is_opaque, blended));
    return _mm_or_si128(_mm_and_si128(colour, blended), _mm_andnot_si128(colour, d));
}

// truncate_or_int_min of a and b at once, in the two lowest 32-bit lanes. An
// x86 processor's truncation gives its "integer indefinite", INT32_MIN, for
// NaN and for every value beyond 32 bits, which is that function's rule. The
// browser build has no such instruction: its stand-in is scalar code around
// lrint, which agreed on every value tried, but only the function itself is
// sure to, so it takes that.
inline __m128i truncate_pair_sse2(double a, double b)
{
#if defined(__x86_64__) || defined(__i386__)
    return _mm_cvttpd_epi32(_mm_set_pd(b, a));
#else
    return _mm_set_epi32(0, 0, truncate_or_int_min(b), truncate_or_int_min(a));
#endif
}

#endif // RASTER_SSE2_PATHS

#if RASTER_AVX2_PATHS

RASTER_AVX2 inline __m256i divide_by_255_avx2(__m256i x)   // divide_by_255 in each 16-bit lane
{
    return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(static_cast<short>(0x8081))), 7);
}

// move_bytes_toward_sse2 on 32 bytes: the unpacks and the pack work within
// each 128-bit half, so each half is exactly the SSE2 form of its 16 bytes.
RASTER_AVX2 inline __m256i move_bytes_toward_avx2(__m256i v, __m256i target, __m256i level)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i up = _mm256_subs_epu8(target, v);
    __m256i down = _mm256_subs_epu8(v, target);
    __m256i distance = _mm256_or_si256(up, down);
    __m256i low = divide_by_255_avx2(_mm256_mullo_epi16(_mm256_unpacklo_epi8(distance, zero), level));
    __m256i high = divide_by_255_avx2(_mm256_mullo_epi16(_mm256_unpackhi_epi8(distance, zero), level));
    __m256i moved = _mm256_packus_epi16(low, high);
    __m256i above = _mm256_cmpeq_epi8(down, zero);
    return _mm256_sub_epi8(_mm256_add_epi8(v, _mm256_and_si256(above, moved)), _mm256_andnot_si256(above, moved));
}

#endif // RASTER_AVX2_PATHS

// raster_paths.h — the raster library's per-processor paths, and its small
// vector kit for other libraries' own vector loops.
//
// raster.h is the manual: blit_alpha, fade_rect, dim_rect and scale_picture pick the
// fastest path this processor has, and each _reference there is the plain
// loop. The paths are declared here for the tests and benchmarks that hold
// every one of them to its reference, byte for byte. The kit (the AVX2
// target attribute and the exact division by 255) is what the landscape's
// haze uses too, so that the arithmetic proven here is written once.
// Must stay true: every path gives its reference's bytes; divide_by_255 is
// the exact floor(product / 255) for every product 0..65535.
#pragma once
#include "raster.h"
#include <emmintrin.h>

// The AVX2 paths and the processor check exist on x86 only: the browser
// build (wasm) turns the SSE2 intrinsics into its own vectors and has no AVX2.
// Elsewhere the _avx2 entries run the SSE2 paths.
#if defined(__x86_64__) || defined(__i386__)
#define RASTER_AVX2_PATHS 1
#include <immintrin.h>
// A function compiled for AVX2; call it only when raster_has_avx2().
#define RASTER_AVX2 __attribute__((target("avx2")))
#else
#define RASTER_AVX2_PATHS 0
#endif

// Whether this processor runs the AVX2 paths (asked once). Always false
// where the build has no AVX2 paths.
bool raster_has_avx2();

// SSE2 (every target): the linear blend by exact arithmetic, 4 pixels at a
// time and whole runs of one alpha at once, with the table for the few
// entries where it differs; the cubic one by single floats proved against
// the table, which decides the near-integral steps.
void blit_alpha_sse2(SDL_Surface *src, SDL_Surface *dst, int x, int y, int opacity, BlendMode mode);
// AVX2: the same arithmetic as the SSE2 path, a block of 8 pixels at a time
// (it does not follow runs of one alpha). Needs raster_has_avx2().
void blit_alpha_avx2(SDL_Surface *src, SDL_Surface *dst, int x, int y, int opacity, BlendMode mode);
void fade_rect_sse2(SDL_Surface *s, int x, int y, int w, int h, int level);    // per-byte minimum
void dim_rect_sse2(SDL_Surface *s, int x, int y, int w, int h, int amount);    // exact arithmetic
void dim_rect_avx2(SDL_Surface *s, int x, int y, int w, int h, int amount);    // the same, 8 pixels (needs AVX2)
// SSE2: a source row blended across once, two pixels at a time, then rows
// blended down four pixels at a time.
void scale_picture_sse2(SDL_Surface *src, SDL_Surface *dst, ScalePlan &plan);
// AVX2: the same, four and eight pixels at a time. Needs raster_has_avx2().
void scale_picture_avx2(SDL_Surface *src, SDL_Surface *dst, ScalePlan &plan);

// ---- The vector kit --------------------------------------------------------

// floor(product / 255) for 0 <= product <= 65535: the high half of
// product * 0x8081 shifted by 7 more (the reciprocal rounded up), exactly
// what the vector forms below do in each 16-bit lane.
inline int divide_by_255(int product)
{
    return static_cast<int>((static_cast<uint32_t>(product) * 0x8081u) >> 23);
}
// divide_by_255 in each 16-bit lane.
inline __m128i divide_by_255_sse2(__m128i x)
{
    return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(static_cast<short>(0x8081))), 7);
}
#if RASTER_AVX2_PATHS
RASTER_AVX2 inline __m256i divide_by_255_avx2(__m256i x)
{
    return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(static_cast<short>(0x8081))), 7);
}
#endif

// raster_paths.h — the raster library's per-processor paths.
//
// raster.h is the manual: blit_alpha, fade_rect, dim_rect and scale_picture
// pick the path raster_path() names (simd.h), and each _reference there is
// the plain loop. The vector paths are declared here for the tests and
// benchmarks that hold every one of them to its reference, byte for byte; a
// build without them (simd.h's switch) declares none and runs the plain loops.
// Must stay true: every path gives its reference's bytes.
#pragma once
#include "raster.h"
#include "simd.h"

#if RASTER_SSE2_PATHS
// SSE2: the linear blend by exact arithmetic, 4 pixels at a
// time and whole runs of one alpha at once, with the table for the few
// entries where it differs; the cubic one by single floats proved against
// the table, which decides the near-integral steps.
void blit_alpha_sse2(SDL_Surface *src, SDL_Surface *dst, int x, int y, int opacity, BlendMode mode);
void fade_rect_sse2(SDL_Surface *s, int x, int y, int w, int h, int level);    // per-byte minimum
void dim_rect_sse2(SDL_Surface *s, int x, int y, int w, int h, int amount);    // exact arithmetic
// SSE2: a source row blended across once, two pixels at a time, then rows
// blended down four pixels at a time.
void scale_picture_sse2(SDL_Surface *src, SDL_Surface *dst, ScalePlan &plan);
#endif // RASTER_SSE2_PATHS

#if RASTER_AVX2_PATHS
// Each needs raster_has_avx2(). blit_alpha: the same arithmetic as the SSE2
// path, a block of 8 pixels at a time (it does not follow runs of one alpha).
void blit_alpha_avx2(SDL_Surface *src, SDL_Surface *dst, int x, int y, int opacity, BlendMode mode);
void dim_rect_avx2(SDL_Surface *s, int x, int y, int w, int h, int amount);    // as dim_rect_sse2, 8 pixels
// scale_picture: as the SSE2 path, four and eight pixels at a time.
void scale_picture_avx2(SDL_Surface *src, SDL_Surface *dst, ScalePlan &plan);
#endif // RASTER_AVX2_PATHS

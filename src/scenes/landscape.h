// landscape.h — scene 1's passes over the whole backbuffer: the pale haze
// over the sky, the ground drawn column by column from a height map and a
// colour map, and the alpha that lays the frame over the last one.
//
// Each pass has a fast path beside the plain reference it was written from;
// the tests hold the two equal byte for byte. Rows are stepped by each surface's
// pitch; nothing is locked (scene 1 draws on its own backbuffer) and nothing
// is allocated.
#pragma once
#include <SDL.h>
#include <atomic>
#include <cstdint>
#include "simd.h"

// One byte table per channel: entry v moves v toward (red 180, green 220,
// blue 242) by level / 255 of the distance, through the scale table.
struct HazeTables {
    uint8_t blue[256], green[256], red[256];
};
// Fills the tables for level 0..255 (the scale tables must exist).
void haze_tables(int level, HazeTables &tables);
// Veils every pixel of s with the haze of level 0..255; alpha is kept.
// Computes the channels where that is proven equal to the tables this frame,
// else looks them up.
// Eight pixels at a time where the processor has AVX2, else four.
void haze_pass(SDL_Surface *s, int level);
#if RASTER_SSE2_PATHS
// The same, never more than four pixels at a time (what processors without AVX2 run).
void haze_pass_sse2(SDL_Surface *s, int level);
#endif
// The plain lookup of every channel in the level's tables.
void haze_pass_reference(SDL_Surface *s, int level);
// Whether the arithmetic of haze_pass gives every entry of these tables.
bool haze_arithmetic_matches(int level, const HazeTables &tables);

// Sets the alpha byte of every pixel of s to alpha, four pixels at a time.
void alpha_pass(SDL_Surface *s, uint8_t alpha);

// What the ground is drawn from: the two 256-row maps (their rows stepped by
// their pitches, at least 800 columns, the height in the red byte) and the
// screen row of flat ground at each depth.
struct GroundMaps {
    SDL_Surface *colours;
    SDL_Surface *heights;
    const int32_t *horizon_rows;   // 256 entries
};
// Draws the ground into the target's first 800 columns of 600 rows, the nearest map row first in
// each column. The map row under the viewer follows position, read (it is
// written by the clock) once at the start of each column. Walks one column
// at a time from a cached copy of eight columns of the maps, laid on their
// side, with the lifts computed where that is proven equal to the scale table.
void ground_pass(SDL_Surface *target, const GroundMaps &maps, const std::atomic<float> &position);
// The maps laid on their side once, for as many frames as they stay as they
// are: colour[x][m] is map pixel (x, m), and height[x][m] its height (the red
// byte >> 2), twice over, so that the 256 rows from any row on lie side by side.
struct GroundColumns {
    uint32_t colour[800][256];
    uint8_t height[800][512];
};
// Lays the maps' first 800 columns into laid; again whenever a map changes.
void lay_ground(const GroundMaps &maps, GroundColumns &laid);
// The same pixels as ground_pass over the maps that laid was laid from, but
// walked straight from laid: nothing of the maps is copied per frame.
void ground_pass_laid(SDL_Surface *target, const GroundColumns &laid, const int32_t *horizon_rows,
                      const std::atomic<float> &position);
// Whether scale8(height, 128 - d / 4), the lift of every height 0..63 at
// every depth d, is the quotient height * (128 - d / 4) / 255 (the scale
// tables must exist). Where it is not, ground_pass looks the lifts up.
bool ground_lift_arithmetic_matches();
// The same pixels, each column walked straight down the maps' rows; the
// tests hold ground_pass to it.
void ground_pass_reference(SDL_Surface *target, const GroundMaps &maps, const std::atomic<float> &position);

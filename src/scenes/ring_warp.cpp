// ring_warp.cpp — the rubber-sheet warp of the radial ring map (scenes 2 and 7).
#include "ring_warp.h"
#include "raster.h"
#include <algorithm>
#include <cmath>

namespace {

constexpr int MAP_WIDTH = 800;
constexpr int MAP_HEIGHT = 600;

// Byte offsets of the channels inside a 0xAARRGGBB word in memory.
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
constexpr int BLUE_BYTE = 3, GREEN_BYTE = 2, RED_BYTE = 1;
#else
constexpr int BLUE_BYTE = 0, GREEN_BYTE = 1, RED_BYTE = 2;
#endif

// trunc() of an accumulator (NaN gives 0), pinned within a million of the
// map: only nonsensical steps reach that far, and the column arithmetic after
// it must not overflow.
int truncate_accumulator(float value)
{
    return std::clamp(truncate_to_int(value), -1000000, 1000000);
}

// The map's own wrap: one period added or taken away. A true remainder gives the
// same answer there and keeps wilder values inside the map as well.
int wrap(int value, int period)
{
    value %= period;
    return value < 0 ? value + period : value;
}

// The offsets and masks as tables, so a pixel costs lookups only: green's
// byte, and red's and blue's bytes together in their places in a word.
struct WarpTables {
    uint8_t green_of[256], red_of[256], blue_of[256];
    uint32_t red_blue_of[256];
};

void warp_tables(WarpChannel green, WarpChannel red, WarpChannel blue, WarpTables &t)
{
    for (int v = 0; v < 256; ++v) {
        t.green_of[v] = (uint8_t)((green.offset + v) & green.mask);
        t.red_of[v] = (uint8_t)((red.offset + v) & red.mask);
        t.blue_of[v] = (uint8_t)((blue.offset + v) & blue.mask);
        t.red_blue_of[v] = ((uint32_t)t.red_of[v] << 16) | t.blue_of[v];
    }
}

// Every pass of a frame walks the same columns: the single-precision column
// accumulator is run once and its truncated (unwrapped) and wrapped values kept.
struct ColumnWalk {
    int unwrapped[MAP_WIDTH], wrapped[MAP_WIDTH];
};

void column_walk(float left, float right, ColumnWalk &walk)
{
    float sx = 0.0f;
    for (int x = 0; x < MAP_WIDTH; ++x) {
        walk.unwrapped[x] = truncate_accumulator(sx);
        walk.wrapped[x] = wrap(walk.unwrapped[x], MAP_WIDTH);
        sx += x < 400 ? left : right;
    }
}

// What a pass leaves behind, worked out once a frame: the same for every
// pass, the first of a frame too, since a pass starts at column 0 (the
// column accumulator starts at 0), below which no skipped column can lie, so
// the column carried into it never matters. A pass writes no byte it reads,
// and each byte it writes is written by one channel only: the green of
// screen pixel x ends with the map value at green_column[x]; the red and
// blue of map column c with the value under the last screen pixel to write
// it, writer[c] (-1: none).
struct PassPlan {
    int green_column[MAP_WIDTH];
    int writer[MAP_WIDTH];
};

void plan_pass(const ColumnWalk &walk, PassPlan &plan)
{
    for (int &w : plan.writer)
        w = -1;
    int last_column = walk.unwrapped[MAP_WIDTH - 1];
    for (int x = 0; x < MAP_WIDTH; ++x) {
        int column = walk.wrapped[x];
        plan.green_column[x] = column;
        plan.writer[column] = x;
        int lowest = last_column + 1 < 0 ? 0 : last_column + 1;
        for (int k = column - 1; k >= lowest; --k) {
            plan.green_column[x] = k;
            plan.writer[k] = x;
        }
        last_column = walk.unwrapped[x];
    }
}

// The green a pass leaves on its screen row, and the red and blue it leaves
// on its map row, from its plan: one word written per pixel.
void green_by_plan(uint32_t *screen_row, const uint8_t *map_row, const PassPlan &plan, const WarpTables &t)
{
    for (int x = 0; x < MAP_WIDTH; ++x)
        screen_row[x] = (screen_row[x] & 0xFFFF00FFu) | ((uint32_t)t.green_of[map_row[plan.green_column[x]]] << 8);
}

void red_blue_by_plan(uint32_t *source_pixels, const uint8_t *under_screen, const PassPlan &plan, const WarpTables &t)
{
    for (int c = 0; c < MAP_WIDTH; ++c) {
        int x = plan.writer[c];
        if (x >= 0)
            source_pixels[c] = (source_pixels[c] & 0xFF00FF00u) | t.red_blue_of[under_screen[x]];
    }
}

// The passes of a frame: screen row y passes its own map row and then the
// rows skipped since the row before, down to low[y]. Since no pass reads
// the target, only the last pass to write a byte shows, and the passes that
// come before it need not be made at all: a screen row's green is that of
// its last pass (map row low[y]), and a map row's red and blue are those of
// the last screen row to pass it, writer[row] (-1: none), because every pass
// writes the same columns.
struct FramePasses {
    int low[MAP_HEIGHT];
    int writer[MAP_HEIGHT];
};

// Walks the row accumulator as the warp does; previous_row ends as the last row's.
void frame_passes(float up, float down, int &previous_row, FramePasses &passes)
{
    for (int &w : passes.writer)
        w = -1;
    float sy = 0.0f;
    for (int y = 0; y < MAP_HEIGHT; ++y) {
        int r = truncate_accumulator(sy);
        int source_row = wrap(r, MAP_HEIGHT);
        // Map rows skipped since the previous screen row are passed too, the
        // highest first, down to the one just after it.
        int low = source_row;
        if (source_row > previous_row + 1 && source_row > 0)
            low = std::max(previous_row + 1, 0);
        passes.low[y] = low;
        for (int row = low; row <= source_row; ++row)
            passes.writer[row] = y;
        previous_row = r;
        sy += y < 300 ? up : down;
    }
}

// The inverse write reaches map columns 0..last_column and rows 0..last_row only:
// the steps sum to just under the map's size, so the last column and the bottom
// row or two would keep whatever an earlier frame left there. They take the red
// and blue of the last column and row that were written; green, written forward
// for every pixel, and every pixel inside the reached area stay as they are.
void extend_edges(uint8_t *pixels, int pitch, int last_column, int last_row)
{
    if (last_column < 0 || last_column >= MAP_WIDTH || last_row < 0 || last_row >= MAP_HEIGHT)
        return;   // a wrapped or nonsensical walk: no edge to extend
    for (int y = 0; y <= last_row; ++y) {
        uint8_t *row = pixels + y * pitch;
        for (int x = last_column + 1; x < MAP_WIDTH; ++x) {
            row[x * 4 + RED_BYTE] = row[last_column * 4 + RED_BYTE];
            row[x * 4 + BLUE_BYTE] = row[last_column * 4 + BLUE_BYTE];
        }
    }
    const uint8_t *source = pixels + last_row * pitch;
    for (int y = last_row + 1; y < MAP_HEIGHT; ++y) {
        uint8_t *row = pixels + y * pitch;
        for (int x = 0; x < MAP_WIDTH; ++x) {
            row[x * 4 + RED_BYTE] = source[x * 4 + RED_BYTE];
            row[x * 4 + BLUE_BYTE] = source[x * 4 + BLUE_BYTE];
        }
    }
}

} // namespace

void ring_warp(SDL_Surface *target, const uint8_t *radial_map,
               float left, float right, float up, float down,
               WarpChannel green, WarpChannel red, WarpChannel blue,
               int &previous_row, int &previous_column)
{
    if (!target || !radial_map || target->w < MAP_WIDTH || target->h < MAP_HEIGHT ||
        target->format->BytesPerPixel != 4)
        return;
    WarpTables tables;
    warp_tables(green, red, blue, tables);
    ColumnWalk walk;
    column_walk(left, right, walk);
    PassPlan plan;
    plan_pass(walk, plan);

    bool locked = SDL_MUSTLOCK(target);
    if (locked)
        SDL_LockSurface(target);
    uint8_t *pixels = static_cast<uint8_t *>(target->pixels);
    const int pitch = target->pitch;   // bytes: a full-screen surface may be wider than 800

    FramePasses passes;
    frame_passes(up, down, previous_row, passes);
    for (int y = 0; y < MAP_HEIGHT; ++y)
        green_by_plan(reinterpret_cast<uint32_t *>(pixels + y * pitch), radial_map + passes.low[y] * MAP_WIDTH, plan,
                      tables);
    for (int row = 0; row < MAP_HEIGHT; ++row)
        if (passes.writer[row] >= 0)
            red_blue_by_plan(reinterpret_cast<uint32_t *>(pixels + row * pitch),
                             radial_map + passes.writer[row] * MAP_WIDTH, plan, tables);
    extend_edges(pixels, pitch, walk.unwrapped[MAP_WIDTH - 1], previous_row);

    if (locked)
        SDL_UnlockSurface(target);
    previous_column = walk.unwrapped[MAP_WIDTH - 1];   // where every pass ends
}

// ---- Reference ---------------------------------------------------------------
// The warp as first written, pixel by pixel; tests hold ring_warp equal to it.

void ring_warp_reference(SDL_Surface *target, const uint8_t *radial_map,
               float left, float right, float up, float down,
               WarpChannel green, WarpChannel red, WarpChannel blue,
               int &previous_row, int &previous_column)
{
    if (!target || !radial_map || target->w < MAP_WIDTH || target->h < MAP_HEIGHT ||
        target->format->BytesPerPixel != 4)
        return;

    // The offsets and masks turn into three byte tables, so a pixel costs lookups only.
    uint8_t green_of[256], red_of[256], blue_of[256];
    for (int v = 0; v < 256; ++v) {
        green_of[v] = (uint8_t)((green.offset + v) & green.mask);
        red_of[v] = (uint8_t)((red.offset + v) & red.mask);
        blue_of[v] = (uint8_t)((blue.offset + v) & blue.mask);
    }

    // Every pass of a frame walks the same columns: the single-precision column
    // accumulator is run once and its truncated (u) and wrapped (X) values kept.
    int column_unwrapped[MAP_WIDTH], column_wrapped[MAP_WIDTH];
    float sx = 0.0f;
    for (int x = 0; x < MAP_WIDTH; ++x) {
        column_unwrapped[x] = truncate_accumulator(sx);
        column_wrapped[x] = wrap(column_unwrapped[x], MAP_WIDTH);
        sx += x < 400 ? left : right;
    }

    bool locked = SDL_MUSTLOCK(target);
    if (locked)
        SDL_LockSurface(target);
    uint8_t *pixels = static_cast<uint8_t *>(target->pixels);
    const int pitch = target->pitch;   // bytes: a full-screen surface may be wider than 800

    int last_column = previous_column;
    float sy = 0.0f;
    for (int y = 0; y < MAP_HEIGHT; ++y) {
        int r = truncate_accumulator(sy);
        int source_row = wrap(r, MAP_HEIGHT);
        uint8_t *screen_row = pixels + y * pitch;
        const uint8_t *under_screen = radial_map + y * MAP_WIDTH;
        for (;;) {
            const uint8_t *map_row = radial_map + source_row * MAP_WIDTH;
            uint8_t *source_pixels = pixels + source_row * pitch;
            for (int x = 0; x < MAP_WIDTH; ++x) {
                int column = column_wrapped[x];
                uint8_t red_value = red_of[under_screen[x]];
                uint8_t blue_value = blue_of[under_screen[x]];
                screen_row[x * 4 + GREEN_BYTE] = green_of[map_row[column]];
                source_pixels[column * 4 + RED_BYTE] = red_value;
                source_pixels[column * 4 + BLUE_BYTE] = blue_value;
                // Columns skipped by a step wider than one get the inverse write too;
                // the screen pixel's green ends with the lowest of them. Never left of 0.
                int lowest = last_column + 1 < 0 ? 0 : last_column + 1;
                for (int k = column - 1; k >= lowest; --k) {
                    screen_row[x * 4 + GREEN_BYTE] = green_of[map_row[k]];
                    source_pixels[k * 4 + RED_BYTE] = red_value;
                    source_pixels[k * 4 + BLUE_BYTE] = blue_value;
                }
                last_column = column_unwrapped[x];
            }
            // Map rows skipped since the previous screen row are passed too, the
            // highest first, down to the one just after it.
            if (source_row > previous_row + 1 && source_row > 0)
                --source_row;
            else
                break;
        }
        previous_row = r;
        sy += y < 300 ? up : down;
    }
    extend_edges(pixels, pitch, column_unwrapped[MAP_WIDTH - 1], previous_row);

    if (locked)
        SDL_UnlockSurface(target);
    previous_column = last_column;
}

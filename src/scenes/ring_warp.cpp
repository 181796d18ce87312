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
void warp_tables(WarpChannel green, WarpChannel red, WarpChannel blue, WarpFrame &frame)
{
    for (int v = 0; v < 256; ++v) {
        uint32_t red_value = (uint8_t)((red.offset + v) & red.mask);
        uint32_t blue_value = (uint8_t)((blue.offset + v) & blue.mask);
        frame.green_of[v] = (uint8_t)((green.offset + v) & green.mask);
        frame.red_blue_of[v] = (red_value << 16) | blue_value;
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
// it, column_writer[c] (-1: none).
void plan_pass(const ColumnWalk &walk, WarpFrame &frame)
{
    for (int &w : frame.column_writer)
        w = -1;
    int last_column = walk.unwrapped[MAP_WIDTH - 1];
    for (int x = 0; x < MAP_WIDTH; ++x) {
        int column = walk.wrapped[x];
        frame.green_column[x] = column;
        frame.column_writer[column] = x;
        int lowest = last_column + 1 < 0 ? 0 : last_column + 1;
        for (int k = column - 1; k >= lowest; --k) {
            frame.green_column[x] = k;
            frame.column_writer[k] = x;
        }
        last_column = walk.unwrapped[x];
    }
}

// The passes of a frame: screen row y passes its own map row and then the
// rows skipped since the row before, down to the lowest. Since no pass reads
// the target, only the last pass to write a byte shows, and the passes that
// come before it need not be made at all: a screen row's green is that of
// its last pass (map row green_row[y]), and a map row's red and blue are
// those of the last screen row to pass it, row_writer[row] (-1: none),
// because every pass writes the same columns. Walks the row accumulator as
// the warp does; previous_row ends as the last row's.
void frame_passes(float up, float down, int &previous_row, WarpFrame &frame)
{
    for (int &w : frame.row_writer)
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
        frame.green_row[y] = low;
        for (int row = low; row <= source_row; ++row)
            frame.row_writer[row] = y;
        previous_row = r;
        sy += y < 300 ? up : down;
    }
}

// The green that the passes of screen rows begin .. end - 1 leave on them,
// and the red and blue that the passes of those map rows leave: one word
// read and written per pixel, since the two never write the same byte.
// Screen column x's green, in its place in a word, from the map row its
// screen row's green ends with.
inline uint32_t green_at(const WarpFrame &frame, const uint8_t *map_row, int x)
{
    return (uint32_t)frame.green_of[map_row[frame.green_column[x]]] << 8;
}

void draw_rows(const WarpFrame &frame, int begin, int end)
{
    for (int y = begin; y < end; ++y) {
        uint32_t *row = reinterpret_cast<uint32_t *>(frame.pixels + y * frame.pitch);
        const uint8_t *map_row = frame.radial_map + frame.green_row[y] * MAP_WIDTH;
        if (frame.row_writer[y] < 0) {
            for (int x = 0; x < MAP_WIDTH; ++x)
                row[x] = (row[x] & 0xFFFF00FFu) | green_at(frame, map_row, x);
            continue;
        }
        const uint8_t *under_screen = frame.radial_map + frame.row_writer[y] * MAP_WIDTH;
        for (int c = 0; c < MAP_WIDTH; ++c) {
            uint32_t green = green_at(frame, map_row, c);
            int x = frame.column_writer[c];
            row[c] = x >= 0 ? (row[c] & 0xFF000000u) | green | frame.red_blue_of[under_screen[x]]
                            : (row[c] & 0xFFFF00FFu) | green;
        }
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

// Rows are taken this many at a time: few enough takes, and fine enough
// for the drawers to end close together.
constexpr int ROWS_A_TAKE = 24;

} // namespace

bool warp_frame_begin(WarpFrame &frame, SDL_Surface *target, const uint8_t *radial_map,
                      float left, float right, float up, float down,
                      WarpChannel green, WarpChannel red, WarpChannel blue,
                      int &previous_row, int &previous_column)
{
    items_open(frame.rows, 0, 0);
    if (!target || !radial_map || target->w < MAP_WIDTH || target->h < MAP_HEIGHT ||
        target->format->BytesPerPixel != 4)
        return false;
    warp_tables(green, red, blue, frame);
    ColumnWalk walk;
    column_walk(left, right, walk);
    plan_pass(walk, frame);
    frame_passes(up, down, previous_row, frame);
    frame.pixels = static_cast<uint8_t *>(target->pixels);
    frame.pitch = target->pitch;   // bytes: a full-screen surface may be wider than 800
    frame.radial_map = radial_map;
    frame.last_column = walk.unwrapped[MAP_WIDTH - 1];
    frame.last_row = previous_row;
    previous_column = frame.last_column;   // where every pass ends
    items_open(frame.rows, 0, MAP_HEIGHT);
    if (SDL_MUSTLOCK(target)) {
        // The pixels may move while unlocked: draw them all under the lock, here.
        SDL_LockSurface(target);
        frame.pixels = static_cast<uint8_t *>(target->pixels);
        warp_frame_share(frame, true);
        SDL_UnlockSurface(target);
    }
    return true;
}

void warp_frame_share(WarpFrame &frame, bool from_top)
{
    int begin, end;
    while (items_take(frame.rows, from_top, ROWS_A_TAKE, begin, end)) {
        draw_rows(frame, begin, end);
        // The last rows drawn, by whichever drawer, and every other drawer's
        // rows seen: the edges read them all.
        if (items_done(frame.rows, end - begin))
            extend_edges(frame.pixels, frame.pitch, frame.last_column, frame.last_row);
    }
}

void ring_warp(SDL_Surface *target, const uint8_t *radial_map,
               float left, float right, float up, float down,
               WarpChannel green, WarpChannel red, WarpChannel blue,
               int &previous_row, int &previous_column)
{
    WarpFrame frame;
    if (warp_frame_begin(frame, target, radial_map, left, right, up, down, green, red, blue, previous_row,
                         previous_column))
        warp_frame_share(frame, true);
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

// ring_warp.h — the rubber-sheet warp of the radial ring map (scenes 2 and 7).
//
// The 800 x 600 screen is mapped piecewise onto the 800 x 600 map: screen
// columns 0..399 cover map columns 0..cx and 400..799 cover cx..799, screen
// rows 0..299 map rows 0..cy and 300..599 cy..599. The green byte of each
// screen pixel is read forward through that mapping; the red and blue bytes
// of each map pixel are written through its inverse, so the two channels'
// ring centres move in opposite directions. Every map row and column between
// two steps is visited (the gap fills), which carries two counters from row
// to row and from frame to frame.
//
// Needs: a target of at least 800 x 600 with 32-bit pixels 0xAARRGGBB; the
// radial map. Writes only the green, red and blue bytes; the alpha bytes are
// left as they are. Allocates nothing.
#pragma once
#include <SDL.h>
#include <atomic>
#include "frame_share.h"
#include <cstdint>

// One colour channel of the warp: the written byte is (offset + map value)
// taken modulo 256, then ANDed with mask (0xFE clears the lowest bit, 0xFF
// keeps the value).
struct WarpChannel {
    uint8_t offset;
    uint8_t mask;
};

// Draws one frame of the warp onto target.
//   target           800 x 600 or larger, 32-bit; rows are stepped by its pitch;
//                    locked here while drawing when SDL_MUSTLOCK says so (so the
//                    caller must not hold the lock)
//   radial_map       800 x 600 bytes, row-major (Scene2State::radial_map)
//   left, right      column steps, single precision: cx / 400 and (799 - cx) / 400;
//                    the column accumulator grows by left after screen columns
//                    0..399 and by right after 400..799
//   up, down         row steps, single precision: cy / 300 and (599 - cy) / 300;
//                    the row accumulator grows by up after rows 0..299, down after
//                    300..599
//   green            applied to the forward read: green of screen (x, y)
//   red, blue        applied to the inverse write: red and blue of map pixel (X, R),
//                    from the map value under screen (x, y)
//   previous_row     in/out: truncated, unwrapped source row of the previous
//                    screen row; 0 when the render thread starts, carried across frames
//   previous_column  in/out: truncated, unwrapped source column of the previous
//                    step; 0 when the render thread starts, carried across rows and frames
// Scene 2 passes green {og, 0xFE}, red {or, 0xFE}, blue {ob, 0xFE}; scene 7
// passes green {0, 0xFF}, red {0, 0xFF}, blue {hue, 0xFE}.
void ring_warp(SDL_Surface *target, const uint8_t *radial_map,
               float left, float right, float up, float down,
               WarpChannel green, WarpChannel red, WarpChannel blue,
               int &previous_row, int &previous_column);
// The same warp, pixel by pixel as it is defined: the reference that the
// tests hold ring_warp equal to.
void ring_warp_reference(SDL_Surface *target, const uint8_t *radial_map,
                         float left, float right, float up, float down,
                         WarpChannel green, WarpChannel red, WarpChannel blue,
                         int &previous_row, int &previous_column);

// A frame of the warp that several threads can draw together: every screen
// row's green and every map row's red and blue are known before a byte is
// written, and a row's bytes are written by whoever takes the row, so rows
// can be shared out. A plain record, worked out by warp_frame_begin and only
// read after it, but for its rows, which the drawers take.
struct WarpFrame {
    uint8_t *pixels;             // the target's, rows `pitch` bytes apart
    int pitch;
    const uint8_t *radial_map;
    uint8_t green_of[256];       // the channels' offsets and masks as tables
    uint32_t red_blue_of[256];
    int green_column[800];       // the map column whose value screen column x's green ends with
    int column_writer[800];      // the screen column whose value map column c's red and blue end with; -1: none
    int green_row[600];          // the map row whose value screen row y's green ends with
    int row_writer[600];         // the screen row whose values map row r's red and blue end with; -1: none
    int last_column, last_row;   // the reach of the inverse write, whose edges are extended past it
    ItemRange rows;              // the map's rows, taken from both ends (frame_share.h)
};
// Works out a frame of the warp, with ring_warp's arguments and counters
// (which it moves on as ring_warp does); false when the target cannot be
// drawn. A target that must be locked is drawn here, whole, under its lock,
// leaving no row to share.
bool warp_frame_begin(WarpFrame &frame, SDL_Surface *target, const uint8_t *radial_map,
                      float left, float right, float up, float down,
                      WarpChannel green, WarpChannel red, WarpChannel blue,
                      int &previous_row, int &previous_column);
// Draws rows of a begun frame, a few at a time, from the top (or the bottom),
// until no row is left to take. Any number of threads may call it on one frame;
// the call that draws the frame's last rows also extends its edges, so the
// frame is done once every call has returned.
void warp_frame_share(WarpFrame &frame, bool from_top);

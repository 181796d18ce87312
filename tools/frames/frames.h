// frames.h — the frame tool: plays the show's scenes deterministically,
// without threads and without a display, and writes chosen moments as PNGs.
//
// Start-up is the program's own (SDL with the dummy video driver unless the
// caller chose one, the 800 x 600 x 32 video mode, the byte tables, the
// backbuffer, the 33 bitmaps from "./data", the precalculation), so every
// record, table and prepared bitmap is what the show would have. A scene is
// played on virtual time: one clock pass per clock period (5 ms; 25 ms in
// scene 5), then the frames that are due at the chosen cadence, until the
// scene's clock clears `active`, as in the show. present_frame and its flip
// run for real on the dummy display.
#pragma once
#include <string>
#include <vector>

// A moment to write: scene time in milliseconds and the file to write it to.
struct Moment {
    int scene;
    int scene_ms;
    std::string path;
};

// What rendering one scene cost, in wall-clock milliseconds per frame.
struct SceneCosts {
    int scene;
    std::vector<double> frame_ms;
};

// Start-up as the program does it; prints what failed and returns false.
bool frames_start_up();
// Frees everything start-up made and ends SDL.
void frames_shut_down();

// Plays scenes first..last in order. Each moment (sorted by scene, then
// time) is written when the virtual clock reaches it: the picture then is
// the last frame presented at or before that time. cadence_ms 0 means each
// scene's own render period. The last scene stops after its last moment
// (or plays to its end when it has none). Returns false when a PNG could
// not be written.
bool play_scenes(int first, int last, int cadence_ms, const std::vector<Moment> &moments,
                 std::vector<SceneCosts> &costs);

// Writes `screen` as an 8-bit RGB PNG; prints why and returns false on failure.
bool write_screen_png(const std::string &path);

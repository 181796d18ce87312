// frames.h — the frame tool: plays chosen scenes through the shared player
// (player.h) and writes chosen moments as PNGs, with what each frame cost.
#pragma once
#include <string>
#include <vector>
#include "player.h"

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

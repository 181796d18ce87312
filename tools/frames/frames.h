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

// The command line.
struct FramesOptions {
    int scene = 0;                 // 0: --at is show time
    std::vector<double> at_seconds;
    bool from_show_start = false;
    int cadence_ms = 0;            // 0: each scene's own
    std::string out = "frames";
};

// Reads the command line; prints what is wrong (standard error) and returns
// false. --help sets help and stops reading.
bool parse_options(int argc, char **argv, FramesOptions &options, bool &help);
// Turns the --at times into moments in scenes (files under options.out),
// sorted in the order of play; prints what is wrong and returns false for a
// moment past the scene's or the show's end.
bool make_moments(const FramesOptions &options, std::vector<Moment> &moments);

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

// Writes `screen` as an 8-bit RGB PNG, under a temporary name renamed to
// path when complete; on failure removes what it wrote, prints why (the
// system's reason) and returns false.
bool write_screen_png(const std::string &path);

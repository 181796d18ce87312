// options.h — the capture tool's command line (options.cpp): apart from the
// encoder, so that the tests and the fuzz target read it without FFmpeg.
#pragma once
#include <string>

struct CaptureOptions {
    std::string path;
    int scene = 0;
    double from_seconds = -1.0, to_seconds = -1.0;   // -1: not given
    int fps = 60;
    int height = 600;
    bool lossless = false;
    bool from_show_start = false;
};

// Reads the command line. Returns 0 to go on, -1 for --help (print the usage,
// status 0), or 2 for a command line that is wrong (said why on standard error).
int parse_options(int argc, char **argv, CaptureOptions &options);
// The span [from_ms, to_ms) of show time that the options ask for; false
// after saying why (past the show's end, or empty).
bool span_of(const CaptureOptions &options, long long &from_ms, long long &to_ms);
// Whether path ends in one of the containers the tool documents, in any case
// of letters: .mp4, .mkv, and .webm unless lossless (VP9 here is never exact).
bool names_documented_container(const std::string &path, bool lossless);

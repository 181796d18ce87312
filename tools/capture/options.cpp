// options.cpp — the capture tool's command line: its options, the span of
// show time they ask for and the containers it writes. Numbers are plain
// decimals (arguments.h); every message says what is wrong, on standard error.
#include "options.h"
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include "arguments.h"
#include "shell.h"

namespace {

// A time in seconds from 0 to a day: kept within what converts to whole
// milliseconds without overflow (the span check then names the show's length).
bool parse_seconds(const char *text, double &seconds)
{
    return parse_decimal(text, seconds) && seconds >= 0.0 && seconds <= 86400.0;
}

} // namespace

bool names_documented_container(const std::string &path, bool lossless)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return false;
    std::string extension = path.substr(dot + 1);
    for (char &c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == "mp4" || extension == "mkv" || (extension == "webm" && !lossless);
}

int parse_options(int argc, char **argv, CaptureOptions &options)
{
    for (int i = 1; i < argc; i++) {
        const char *name = argv[i];
        if (!std::strcmp(name, "--help") || !std::strcmp(name, "-h"))
            return -1;
        if (!std::strcmp(name, "--lossless")) {
            options.lossless = true;
            continue;
        }
        if (!std::strcmp(name, "--from-show-start")) {
            options.from_show_start = true;
            continue;
        }
        if (name[0] != '-' || !std::strcmp(name, "-")) {
            if (!options.path.empty()) {
                std::fprintf(stderr, "one output file only, not also %s\n", name);
                return 2;
            }
            options.path = name;
            continue;
        }
        const bool takes_value = !std::strcmp(name, "--scene") || !std::strcmp(name, "--from") ||
                                 !std::strcmp(name, "--to") || !std::strcmp(name, "--fps") ||
                                 !std::strcmp(name, "--height");
        if (!takes_value) {
            std::fprintf(stderr, "unknown option %s\n", name);
            return 2;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "%s needs a value\n", name);
            return 2;
        }
        const char *text = argv[++i];
        bool good = true;
        if (!std::strcmp(name, "--scene"))
            good = parse_whole(text, 1, SCENE_COUNT, options.scene);
        else if (!std::strcmp(name, "--fps"))
            good = parse_whole(text, 1, 240, options.fps);
        else if (!std::strcmp(name, "--height"))
            good = parse_whole(text, 120, 4320, options.height) && options.height % 2 == 0;
        else if (!std::strcmp(name, "--from"))
            good = parse_seconds(text, options.from_seconds);
        else
            good = parse_seconds(text, options.to_seconds);
        if (!good) {
            std::fprintf(stderr, "%s: not a value it takes: %s\n", name, text);
            return 2;
        }
    }
    if (options.path.empty()) {
        std::fprintf(stderr, "no output file given\n");
        return 2;
    }
    if (options.scene && (options.from_seconds >= 0.0 || options.to_seconds >= 0.0)) {
        std::fprintf(stderr, "--scene or --from/--to, not both\n");
        return 2;
    }
    if (!names_documented_container(options.path, options.lossless)) {
        std::fprintf(stderr, "%s: give a name ending in %s\n", options.path.c_str(),
                     options.lossless ? ".mp4 or .mkv (--lossless)" : ".mp4, .mkv or .webm");
        return 2;
    }
    return 0;
}

bool span_of(const CaptureOptions &options, long long &from_ms, long long &to_ms)
{
    const long long show_ms = scene_start_ms(SCENE_COUNT + 1);
    if (options.scene) {
        from_ms = scene_start_ms(options.scene);
        to_ms = scene_start_ms(options.scene + 1);
        return true;
    }
    // To the millisecond, as the frame tool takes its moments.
    from_ms = options.from_seconds < 0.0 ? 0 : (long long)std::floor(options.from_seconds * 1000.0 + 0.5);
    to_ms = options.to_seconds < 0.0 ? show_ms : (long long)std::floor(options.to_seconds * 1000.0 + 0.5);
    if (to_ms > show_ms) {
        std::fprintf(stderr, "--to %g: the show lasts only %g s\n", options.to_seconds, show_ms / 1000.0);
        return false;
    }
    if (from_ms >= to_ms) {
        std::fprintf(stderr, "an empty span: from %g s to %g s\n", from_ms / 1000.0, to_ms / 1000.0);
        return false;
    }
    return true;
}

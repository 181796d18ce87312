// options.cpp — the frame tool's command line: the options and the moments
// they ask for. Numbers are plain decimals (arguments.h); every message says
// what is wrong, on standard error.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include "arguments.h"
#include "frames.h"
#include "shell.h"

bool parse_options(int argc, char **argv, FramesOptions &options, bool &help)
{
    for (int i = 1; i < argc; i++) {
        const char *name = argv[i];
        if (!std::strcmp(name, "--help") || !std::strcmp(name, "-h")) {
            help = true;
            return true;
        }
        const bool takes_value = !std::strcmp(name, "--at") || !std::strcmp(name, "--scene") ||
                                 !std::strcmp(name, "--cadence") || !std::strcmp(name, "--out");
        if (!std::strcmp(name, "--from-show-start")) {
            options.from_show_start = true;
            continue;
        }
        if (!takes_value) {
            std::fprintf(stderr, "unknown option %s\n", name);
            return false;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "%s needs a value\n", name);
            return false;
        }
        const char *text = argv[++i];
        double value = 0.0;
        if (!std::strcmp(name, "--out")) {
            options.out = text;
        } else if (!parse_decimal(text, value)) {
            std::fprintf(stderr, "%s: not a plain decimal number (such as 12 or 3.5): %s\n", name, text);
            return false;
        } else if (!std::strcmp(name, "--at")) {
            options.at_seconds.push_back(value);
        } else if (!std::strcmp(name, "--scene")) {
            if (value != std::floor(value) || value < 1.0 || value > SCENE_COUNT) {
                std::fprintf(stderr, "--scene: no scene %s (1..8)\n", text);
                return false;
            }
            options.scene = (int)value;
        } else {
            if (value != std::floor(value) || value < 1.0 || value > 10000.0) {
                std::fprintf(stderr, "--cadence: whole milliseconds from 1 to 10000, not %s\n", text);
                return false;
            }
            options.cadence_ms = (int)value;
        }
    }
    if (options.scene == 0 && options.at_seconds.empty()) {
        std::fprintf(stderr, "nothing to play: give --at or --scene\n");
        return false;
    }
    return true;
}

// Turns the --at times into moments in scenes, sorted in the order of play.
bool make_moments(const FramesOptions &options, std::vector<Moment> &moments)
{
    const int show_ms = scene_start_ms(SCENE_COUNT + 1);
    for (double seconds : options.at_seconds) {
        // Within a millisecond: the virtual clock steps by whole milliseconds.
        const double ms = std::floor(seconds * 1000.0 + 0.5);
        Moment moment{};
        if (options.scene) {
            if (ms > scene_facts(options.scene).duration_ms) {
                std::fprintf(stderr, "--at %g: scene %d lasts only %g s\n", seconds, options.scene,
                            scene_facts(options.scene).duration_ms / 1000.0);
                return false;
            }
            moment.scene = options.scene;
            moment.scene_ms = (int)ms;
        } else {
            if (ms > show_ms) {
                std::fprintf(stderr, "--at %g: the show lasts only %g s\n", seconds, show_ms / 1000.0);
                return false;
            }
            moment.scene = SCENE_COUNT;
            for (int n = 1; n < SCENE_COUNT; n++)
                if (ms < scene_start_ms(n + 1)) {
                    moment.scene = n;
                    break;
                }
            moment.scene_ms = (int)ms - scene_start_ms(moment.scene);
        }
        char name[64];
        std::snprintf(name, sizeof name, "show%07.3f_scene%d_%06.3f.png",
                      (scene_start_ms(moment.scene) + moment.scene_ms) / 1000.0, moment.scene,
                      moment.scene_ms / 1000.0);
        moment.path = (std::filesystem::path(options.out) / name).string();
        moments.push_back(moment);
    }
    std::sort(moments.begin(), moments.end(), [](const Moment &a, const Moment &b) {
        return a.scene != b.scene ? a.scene < b.scene : a.scene_ms < b.scene_ms;
    });
    return true;
}

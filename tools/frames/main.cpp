// main.cpp — lanternfay-frames: writes any moment of the show as a PNG and
// reports what a rendered frame costs in each scene it played.
//
//   lanternfay-frames --at 12.5                  show time 12.5 s (scene 1)
//   lanternfay-frames --scene 4 --at 3.2 --at 9  scene 4 at 3.2 s and 9 s
//   lanternfay-frames --scene 1                  play scene 1 through: costs only
//
// Run it where the show runs: in the folder that holds data/.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>
#include "frames.h"
#include "shell.h"

namespace {

const char usage[] =
    "lanternfay-frames " LANTERNFAY_VERSION " (lanternfay)\n"
    "usage: lanternfay-frames [--scene N] [--at SECONDS]... [--from-show-start]\n"
    "                         [--cadence MS] [--out DIR]\n"
    "Plays the show without its clock and render threads or a display, from\n"
    "./data, and writes PNGs.\n"
    "  --at SECONDS       a moment to write: show time, or time within scene N\n"
    "                     with --scene; may be given several times\n"
    "  --scene N          the scene (1..8) that --at times count from; without\n"
    "                     --at, plays scene N through and reports its frame costs\n"
    "  --from-show-start  play from the start of the show, so every state that\n"
    "                     carries over (screen trails, random numbers, scene 1's\n"
    "                     maps) is the show's own; by default play starts at the\n"
    "                     start of the first scene asked for\n"
    "  --cadence MS       one rendered frame every MS of virtual time (default:\n"
    "                     each scene's own pace, 5 ms; 25 ms in scene 5)\n"
    "  --out DIR          folder for the PNGs, made if missing (default: frames)\n"
    "  -h, --help         this text\n"
    "Ctrl-C or SIGTERM stops it at once, says where it was, and exits with 130.\n";

void print_costs(const std::vector<SceneCosts> &costs)
{
    for (const SceneCosts &scene : costs) {
        if (scene.frame_ms.empty()) {
            std::printf("scene %d: no frame rendered\n", scene.scene);
            continue;
        }
        std::vector<double> sorted = scene.frame_ms;
        std::sort(sorted.begin(), sorted.end());
        double total = 0.0;
        for (double ms : sorted)
            total += ms;
        const size_t n = sorted.size();
        const double median = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
        std::printf("scene %d: %zu frames rendered, mean %.3f ms, median %.3f ms per frame\n",
                    scene.scene, n, total / n, median);
    }
}

// Where play was when an interrupt stopped it: the scene and the time of its
// last rendered frame, from the frame count and the cadence.
void report_interrupt(const FramesOptions &options, const std::vector<SceneCosts> &costs)
{
    if (costs.empty()) {
        std::printf("interrupted during start-up; nothing played\n");
        return;
    }
    const SceneCosts &scene = costs.back();
    const int cadence = options.cadence_ms > 0 ? options.cadence_ms : scene_facts(scene.scene).clock_period_ms;
    const int scene_ms = scene.frame_ms.empty() ? 0 : (int)(scene.frame_ms.size() - 1) * cadence;
    std::printf("interrupted in scene %d at %.3f s of it (show time %.3f s), after %zu frames of it; stopped\n",
                scene.scene, scene_ms / 1000.0, (scene_start_ms(scene.scene) + scene_ms) / 1000.0,
                scene.frame_ms.size());
}

}  // namespace

int main(int argc, char **argv)
{
    FramesOptions options;
    std::vector<Moment> moments;
    bool help = false;
    if (!parse_options(argc, argv, options, help) || (!help && !make_moments(options, moments))) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (help) {
        std::fputs(usage, stdout);
        return 0;
    }
    // Ours before SDL starts, so that SDL keeps them rather than turning the
    // signals into quit events that nothing here reads. The scenes' clocks
    // end on the cleared running flag as in the show.
    install_interrupt_handler(handle_sigint);
    install_termination_handler(handle_sigint);
    if (!moments.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.out, error);
        if (error) {
            std::printf("cannot make %s: %s\n", options.out.c_str(), error.message().c_str());
            return 1;
        }
    }

    const int last = moments.empty() ? options.scene : moments.back().scene;
    const int first = options.from_show_start ? 1 : moments.empty() ? options.scene : moments.front().scene;
    if (first == 1)
        std::printf("playing from the start of the show to scene %d\n", last);
    else
        std::printf("playing from the start of scene %d to scene %d (not from the show's start:"
                    " --from-show-start gives the show's exact state)\n", first, last);
    std::fflush(stdout);

    if (!frames_start_up())
        return 1;
    begin_running(show);   // also applies an interrupt that came during start-up
    std::vector<SceneCosts> costs;
    bool written = true;
    if (show->running.load(relaxed) == 1)
        written = play_scenes(first, last, options.cadence_ms, moments, costs);
    const bool interrupted = show->running.load(relaxed) != 1;
    end_running();
    print_costs(costs);
    if (interrupted)
        report_interrupt(options, costs);
    frames_shut_down();
    if (interrupted)
        return 130;
    return written ? 0 : 1;
}

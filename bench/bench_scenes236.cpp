// bench_scenes236.cpp — what one frame of scenes 2, 3 and 6 costs.
//
// Run in the folder that holds data/ (a build folder), with the dummy drivers:
//   SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy bench/bench_scenes236 [frames]
// Each scene is prepared as the show does it, then draw_frame is timed at
// positions spread over the scene (200 frames by default); the median and the
// slowest tenth are printed per scene.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include "scenes.h"
#include "shell.h"

namespace {

struct Result {
    double median_ms, tenth_ms;
};

template <typename Draw>
Result time_frames(int frames, std::atomic<float> &position, Draw draw)
{
    std::vector<double> spent;
    for (int i = 0; i < frames; ++i) {
        position.store(1000.0f * i / frames * 0.79f, relaxed);   // before the fade-out
        auto begin = std::chrono::steady_clock::now();
        draw();
        std::chrono::duration<double, std::milli> d = std::chrono::steady_clock::now() - begin;
        spent.push_back(d.count());
    }
    std::sort(spent.begin(), spent.end());
    return Result{spent[spent.size() / 2], spent[spent.size() * 9 / 10]};
}

} // namespace

int main(int argc, char **argv)
{
    int frames = argc > 1 ? std::atoi(argv[1]) : 200;
    if (frames < 10)
        frames = 10;
    if (!show_start_up(0, START_SILENT))
        return 1;
    show->running.store(1, relaxed);

    scene2_prepare();
    Scene2Render r2;
    scene2_render_begin(r2);
    Result s2 = time_frames(frames, scene2->position, [&] { scene2_draw_frame(r2); });
    scene2_finish();

    scene3_prepare();
    Scene3Render r3;
    scene3_render_begin(r3);
    Result s3 = time_frames(frames, scene3->position, [&] { scene3_draw_frame(r3); });
    scene3_finish();

    scene6_prepare();
    Scene6Render r6;
    scene6_render_begin(r6);
    Result s6 = time_frames(frames, scene6->position, [&] { scene6_draw_frame(r6); });
    scene6_finish();

    std::printf("frames per scene: %d\n", frames);
    std::printf("scene 2: median %.3f ms, slowest tenth from %.3f ms\n", s2.median_ms, s2.tenth_ms);
    std::printf("scene 3: median %.3f ms, slowest tenth from %.3f ms\n", s3.median_ms, s3.tenth_ms);
    std::printf("scene 6: median %.3f ms, slowest tenth from %.3f ms\n", s6.median_ms, s6.tenth_ms);

    show_shut_down();
    return 0;
}

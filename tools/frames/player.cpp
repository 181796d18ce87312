// player.cpp — start-up and the thread-free playing of scenes on virtual time.
#include <chrono>
#include <cstdio>
#include "frames.h"
#include "scenes.h"
#include "shell.h"

// ---- Start-up and shut-down ------------------------------------------------------

bool frames_start_up()
{
    // No display here: SDL's dummy driver unless the caller asked for another.
    // (putenv keeps the string, so it must outlive the program's use of it.)
    static char dummy_video[] = "SDL_VIDEODRIVER=dummy";
    if (!SDL_getenv("SDL_VIDEODRIVER"))
        SDL_putenv(dummy_video);
    if (!show_start_up(0, START_SILENT))
        return false;
    show->running.store(1, relaxed);
    return true;
}

void frames_shut_down()
{
    show_shut_down();
}

namespace {

// ---- Playing one scene ---------------------------------------------------------

// Plays one scene on virtual time and writes its moments (next, onward, of
// the same scene) as the clock reaches them. With stop_after_moments, the
// scene ends after its last moment instead of at its clock's end.
bool play_scene(int scene, int cadence_ms, const std::vector<Moment> &moments, size_t &next,
                bool stop_after_moments, SceneCosts &costs)
{
    SceneSteps records{};
    const SceneFacts &facts = scene_facts(scene);
    const int period = facts.clock_period_ms;
    const int cadence = cadence_ms > 0 ? cadence_ms : period;
    const std::atomic<uint8_t> &active = scene_active(scene);
    bool written = true;

    auto moments_left = [&] { return next < moments.size() && moments[next].scene == scene; };
    // Writes every moment of this scene that lies before `until` ms.
    auto write_moments_before = [&](long long until) {
        while (moments_left() && moments[next].scene_ms < until) {
            if (write_screen_png(moments[next].path))
                std::printf("wrote %s\n", moments[next].path.c_str());
            else
                written = false;
            next++;
        }
    };

    scene_prepare(scene);
    scene_clock_begin(scene, records);
    // The render thread draws nothing when it finds its scene already over.
    if (facts.picture_before_check || active.load(relaxed) == 1)
        scene_render_begin(scene, records);

    long long next_frame_ms = 0;
    for (long long tick = 0;; tick++) {
        const long long now = tick * period;
        // The picture at a moment is the one presented by the tick before it.
        write_moments_before(now);
        if (stop_after_moments && !moments_left())
            break;
        if (tick > 0 || !facts.clock_sleeps_first)
            scene_clock_pass(scene, records, (Sint32)now);
        // As in the show: a render thread that wakes to find `active` cleared draws no more.
        if (active.load(relaxed) != 1)
            break;
        for (; next_frame_ms <= now; next_frame_ms += cadence) {
            const auto begin = std::chrono::steady_clock::now();
            scene_draw_frame(scene, records);
            const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - begin;
            costs.frame_ms.push_back(spent.count());
        }
    }
    // Moments past the scene's last frame show that frame.
    write_moments_before(1LL << 40);
    scene_finish(scene);
    return written;
}

}  // namespace

bool play_scenes(int first, int last, int cadence_ms, const std::vector<Moment> &moments,
                 std::vector<SceneCosts> &costs)
{
    size_t next = 0;
    bool written = true;
    for (int scene = first; scene <= last; scene++) {
        while (next < moments.size() && moments[next].scene < scene)
            next++;   // before the first scene played: not reachable
        costs.push_back(SceneCosts{scene, {}});
        if (!play_scene(scene, cadence_ms, moments, next, scene == last && next < moments.size(), costs.back()))
            written = false;
        if (show->running.load(relaxed) != 1)
            break;
    }
    return written;
}

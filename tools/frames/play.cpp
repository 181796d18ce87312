// play.cpp — plays scenes through the player and writes the moments asked for.
#include <cstdio>
#include "frames.h"
#include "shell.h"

namespace {

// Plays one scene on virtual time and writes its moments (next, onward, of
// the same scene) as the clock reaches them. With stop_after_moments, the
// scene ends after its last moment instead of at its clock's end.
bool play_scene(int scene, int cadence_ms, const std::vector<Moment> &moments, size_t &next,
                bool stop_after_moments, SceneCosts &costs)
{
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

    Player player;
    player_open(player, scene, cadence_ms);
    for (;;) {
        // The picture at a moment is the one presented by the tick before it.
        write_moments_before(player_now_ms(player));
        if (stop_after_moments && !moments_left())
            break;
        if (!player_step(player, &costs.frame_ms))
            break;
    }
    // Moments past the scene's last frame show that frame; after an
    // interrupt they were never reached and are not written.
    if (show->running.load(relaxed) == 1)
        write_moments_before(1LL << 40);
    player_close(player);
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

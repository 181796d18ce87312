// player.cpp — start-up and the thread-free playing of scenes on virtual time.
#include <chrono>
#include <cstdio>
#include "frames.h"
#include "scenes.h"
#include "shell.h"

const SceneTiming scene_timings[scene_count + 1] = {
    {0, 0, false},
    {30500, 5, false},
    {25500, 5, false},
    {25000, 5, false},
    {20000, 5, false},
    {20000, 25, true},
    {32000, 5, false},
    {30000, 5, false},
    {15000, 5, false},
};

int scene_start_ms(int scene)
{
    int start = 0;
    for (int n = 1; n < scene; n++)
        start += scene_timings[n].duration_ms;
    return start;
}

// ---- Start-up and shut-down ------------------------------------------------------

bool frames_start_up()
{
    // No display here: SDL's dummy driver unless the caller asked for another.
    // (putenv keeps the string, so it must outlive the program's use of it.)
    static char dummy_video[] = "SDL_VIDEODRIVER=dummy";
    if (!SDL_getenv("SDL_VIDEODRIVER"))
        SDL_putenv(dummy_video);

    char directory[256];
    if (!working_directory(directory, sizeof directory)) {
        std::printf("cannot read the working directory\n");
        return false;
    }
    if (SDL_Init(SDL_INIT_VIDEO) == -1) {
        std::printf("%s\n", SDL_GetError());
        return false;
    }
    screen = SDL_SetVideoMode(800, 600, 32, 0);
    if (!screen) {
        std::printf("%s\n", SDL_GetError());
        SDL_Quit();
        return false;
    }
    tables_init();
    backbuffer = argb_surface_new(800, 600);
    if (!load_bitmaps(directory)) {
        SDL_FreeSurface(backbuffer);
        backbuffer = nullptr;
        tables_free();
        SDL_Quit();
        return false;
    }
    precalculate();
    transition_id = 0;
    show->running.store(1, relaxed);
    return true;
}

void frames_shut_down()
{
    teardown_scenes();
    free_bitmaps();
    SDL_FreeSurface(backbuffer);
    backbuffer = nullptr;
    tables_free();
    SDL_Quit();
    screen = nullptr;
}

// ---- The scene steps, by scene number --------------------------------------------

namespace {

// The step records of every scene; the steps of one scene use only its own.
struct SceneRecords {
    Scene1Clock clock1; Scene1Render render1;
    Scene2Clock clock2; Scene2Render render2;
    Scene3Clock clock3; Scene3Render render3;
    Scene4Clock clock4; Scene4Render render4;
    Scene5Clock clock5; Scene5Render render5;
    Scene6Clock clock6; Scene6Render render6;
    Scene7Clock clock7; Scene7Render render7;
    Scene8Clock clock8; Scene8Render render8;
};

const std::atomic<uint8_t> &scene_active(int scene)
{
    switch (scene) {
    case 1: return scene1->active;
    case 2: return scene2->active;
    case 3: return scene3->active;
    case 4: return scene4->active;
    case 5: return scene5->active;
    case 6: return scene6->active;
    case 7: return scene7->active;
    default: return scene8->active;
    }
}

void prepare(int scene)
{
    switch (scene) {
    case 1: scene1_prepare(); break;
    case 2: scene2_prepare(); break;
    case 3: scene3_prepare(); break;
    case 4: scene4_prepare(); break;
    case 5: scene5_prepare(); break;
    case 6: scene6_prepare(); break;
    case 7: scene7_prepare(); break;
    case 8: scene8_prepare(); break;
    }
}

void clock_begin(int scene, SceneRecords &s)
{
    switch (scene) {
    case 1: scene1_clock_begin(s.clock1); break;
    case 2: scene2_clock_begin(s.clock2); break;
    case 3: scene3_clock_begin(s.clock3); break;
    case 4: scene4_clock_begin(s.clock4); break;
    case 5: scene5_clock_begin(s.clock5); break;
    case 6: scene6_clock_begin(s.clock6); break;
    case 7: scene7_clock_begin(s.clock7); break;
    case 8: scene8_clock_begin(s.clock8); break;
    }
}

void clock_pass(int scene, SceneRecords &s, Sint32 elapsed_ms)
{
    switch (scene) {
    case 1: scene1_clock_pass(s.clock1, elapsed_ms); break;
    case 2: scene2_clock_pass(s.clock2, elapsed_ms); break;
    case 3: scene3_clock_pass(s.clock3, elapsed_ms); break;
    case 4: scene4_clock_pass(s.clock4, elapsed_ms); break;
    case 5: scene5_clock_pass(s.clock5, elapsed_ms); break;
    case 6: scene6_clock_pass(s.clock6, elapsed_ms); break;
    case 7: scene7_clock_pass(s.clock7, elapsed_ms); break;
    case 8: scene8_clock_pass(s.clock8, elapsed_ms); break;
    }
}

void render_begin(int scene, SceneRecords &s)
{
    switch (scene) {
    case 1: scene1_render_begin(s.render1); break;
    case 2: scene2_render_begin(s.render2); break;
    case 3: scene3_render_begin(s.render3); break;
    case 4: scene4_render_begin(s.render4); break;
    case 5: scene5_render_begin(s.render5); break;
    case 6: scene6_render_begin(s.render6); break;
    case 7: scene7_render_begin(s.render7); break;
    case 8: scene8_render_begin(s.render8); break;
    }
}

void draw_frame(int scene, SceneRecords &s)
{
    switch (scene) {
    case 1: scene1_draw_frame(s.render1); break;
    case 2: scene2_draw_frame(s.render2); break;
    case 3: scene3_draw_frame(s.render3); break;
    case 4: scene4_draw_frame(s.render4); break;
    case 5: scene5_draw_frame(s.render5); break;
    case 6: scene6_draw_frame(s.render6); break;
    case 7: scene7_draw_frame(s.render7); break;
    case 8: scene8_draw_frame(s.render8); break;
    }
}

void finish(int scene)
{
    switch (scene) {
    case 1: scene1_finish(); break;
    case 2: scene2_finish(); break;
    case 3: scene3_finish(); break;
    case 4: scene4_finish(); break;
    case 5: scene5_finish(); break;
    case 6: scene6_finish(); break;
    case 7: scene7_finish(); break;
    case 8: scene8_finish(); break;
    }
}

// ---- Playing one scene ---------------------------------------------------------

// Plays one scene on virtual time and writes its moments (next, onward, of
// the same scene) as the clock reaches them. With stop_after_moments, the
// scene ends after its last moment instead of at its clock's end.
bool play_scene(int scene, int cadence_ms, const std::vector<Moment> &moments, size_t &next,
                bool stop_after_moments, SceneCosts &costs)
{
    SceneRecords records{};
    const SceneTiming &timing = scene_timings[scene];
    const int period = timing.period_ms;
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

    prepare(scene);
    clock_begin(scene, records);
    // The render thread draws nothing when it finds its scene already over.
    if (active.load(relaxed) == 1)
        render_begin(scene, records);

    long long next_frame_ms = 0;
    for (long long tick = 0;; tick++) {
        const long long now = tick * period;
        // The picture at a moment is the one presented by the tick before it.
        write_moments_before(now);
        if (stop_after_moments && !moments_left())
            break;
        if (tick > 0 || !timing.clock_sleeps_first)
            clock_pass(scene, records, (Sint32)now);
        // As in the show: a render thread that wakes to find `active` cleared draws no more.
        if (active.load(relaxed) != 1)
            break;
        for (; next_frame_ms <= now; next_frame_ms += cadence) {
            const auto begin = std::chrono::steady_clock::now();
            draw_frame(scene, records);
            const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - begin;
            costs.frame_ms.push_back(spent.count());
        }
    }
    // Moments past the scene's last frame show that frame; after an
    // interrupt they were never reached and are not written.
    if (show->running.load(relaxed) == 1)
        write_moments_before(1LL << 40);
    finish(scene);
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

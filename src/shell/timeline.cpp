// timeline.cpp — the scenes' facts, the show's timeline and the frame statistics.
#include "shell.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

const SceneFacts SCENES[SCENE_COUNT] = {
    // duration, position end, clock period, render sleep, presenter id,
    // clock sleeps first, picture before check, render starts first, fade in whole units
    {30500, 1800.0f, 5, 5, 1, false, false, false, false},   // 1: landscape flight
    {25500, 1000.0f, 5, 5, 3, false, false, false, true},    // 2: colour rings (presenter id 2 is nobody's)
    {25000, 1000.0f, 5, 5, 4, false, false, true, true},     // 3: twisting column
    {20000, 1000.0f, 5, 5, 5, false, true, false, true},     // 4: grass and cubes over the gnome picture
    {20000, 1000.0f, 25, 25, 6, true, false, false, true},   // 5: hopping car, a slower beat
    {32000, 1000.0f, 5, 5, 7, false, false, false, true},    // 6: drifting seeds
    {30000, 1000.0f, 5, 5, 8, false, false, false, false},   // 7: greetings
    {15000, 1000.0f, 5, 5, 9, false, false, false, false},   // 8: closing screen
};

int scene_of_presenter(int id)
{
    for (int scene = 1; scene <= SCENE_COUNT; ++scene)
        if (scene_facts(scene).presenter_id == id)
            return scene;
    return 0;
}

int scene_start_ms(int scene)
{
    int start = 0;
    for (int n = 1; n < scene; ++n)
        start += scene_facts(n).duration_ms;
    return start;
}

// ---- The timeline -------------------------------------------------------------

namespace {

// Written by the main thread before the first scene thread starts, read by
// the clock threads it starts afterwards (thread start orders the two).
bool timeline_running = false;
Uint32 music_start = 0;

} // namespace

void timeline_begin(Uint32 music_start_ticks)
{
    music_start = music_start_ticks;
    timeline_running = true;
}

void timeline_end()
{
    timeline_running = false;
}

Uint32 scene_clock_origin(int scene, Uint32 now)
{
    if (!timeline_running)
        return now;
    // Tick counts wrap after 49 days; unsigned arithmetic wraps with them.
    return music_start + static_cast<Uint32>(scene_start_ms(scene));
}

// ---- Statistics -----------------------------------------------------------------

namespace {

// Room for a scene of 32 s at the render threads' 200 frames a second cap;
// frames beyond it are counted but not timed.
constexpr size_t TIMED_FRAMES = 8192;

struct SceneNotes {
    std::vector<float> cost_ms;   // reserved up front: a frame never allocates
    long frames = 0;
    bool started = false;
    Uint32 prepare_ms = 0;
    Uint32 start_ticks = 0;   // written by the scene's clock thread alone
    Uint32 end_ticks = 0;     // the last frame's end: the render thread's alone
};

// Each scene's notes are written by its own threads only while it runs (each
// field by one thread) and read by the main thread after they are joined.
SceneNotes *notes = nullptr;
Uint32 start_up_ms = 0;   // from SDL's start to the end of start-up

double percentile(std::vector<float> &values, double fraction)
{
    if (values.empty())
        return 0.0;
    size_t k = static_cast<size_t>(fraction * (values.size() - 1));
    std::nth_element(values.begin(), values.begin() + k, values.end());
    return values[k];
}

} // namespace

bool stats_begin()
{
    const char *setting = SDL_getenv("LANTERNFAY_STATS");
    if (!setting || std::strcmp(setting, "1") != 0)
        return false;
    start_up_ms = SDL_GetTicks();
    notes = new SceneNotes[SCENE_COUNT];
    for (int n = 0; n < SCENE_COUNT; ++n)
        notes[n].cost_ms.reserve(TIMED_FRAMES);
    return true;
}

void stats_scene_prepared(int scene, Uint32 ms)
{
    if (notes)
        notes[scene - 1].prepare_ms = ms;
}

void stats_scene_started(int scene, Uint32 ticks)
{
    if (!notes)
        return;
    notes[scene - 1].started = true;
    notes[scene - 1].start_ticks = ticks;
}

void stats_frame(int scene, double cost_ms)
{
    if (!notes)
        return;
    SceneNotes &n = notes[scene - 1];
    ++n.frames;
    if (n.cost_ms.size() < n.cost_ms.capacity())
        n.cost_ms.push_back(static_cast<float>(cost_ms));
    n.end_ticks = SDL_GetTicks();
}

void stats_report()
{
    if (!notes)
        return;
    std::printf("start-up: %u ms from SDL's start to the music\n", start_up_ms);
    std::printf("scene  frames  frames/s  median ms  slowest tenth from ms  prepared in ms  start ms  timeline ms  late ms\n");
    for (int scene = 1; scene <= SCENE_COUNT; ++scene) {
        SceneNotes &n = notes[scene - 1];
        if (!n.started)
            continue;
        // A frame may end before the clock's first pass is noted: no time then.
        Sint32 span_ms = n.frames > 0 ? static_cast<Sint32>(n.end_ticks - n.start_ticks) : 0;
        double seconds = span_ms > 0 ? span_ms / 1000.0 : 0.0;
        double rate = seconds > 0.0 ? n.frames / seconds : 0.0;
        long start = static_cast<long>(static_cast<Sint32>(n.start_ticks - music_start));
        std::printf("%5d  %6ld  %8.1f  %9.2f  %21.2f  %14u  %8ld  %11d  %7ld\n", scene, n.frames, rate,
                    percentile(n.cost_ms, 0.5), percentile(n.cost_ms, 0.9), n.prepare_ms, start,
                    scene_start_ms(scene), start - scene_start_ms(scene));
    }
    std::fflush(stdout);
    delete[] notes;
    notes = nullptr;
}

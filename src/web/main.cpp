// main.cpp — the show in a web page: the page's script (page.js) calls these
// entries; the show's steps are played by the thread-free player.
//
// Real time: each animation frame the page hands over the show's clock (the
// music's position, smoothed), and every clock pass up to that time runs,
// 5 ms apart (25 ms in scene 5), as in the show. Frames are drawn at the
// show's own pace, one every 5 ms of show time, while that fits the frame's
// time budget; beyond it the frames in between are left out and only the
// one at the last pass is drawn, so the picture never falls behind the music
// and the page keeps up with the display.
// Virtual time (the page's test entry): play to a moment drawing every frame,
// exactly as the frame tool does.
// Chapters: the show may start at any scene's start, and move to another
// scene's start while it plays. What the scenes before it would have left
// (trails on the screens, the random sequence, scene 1's maps) is not built
// up by drawing them all first, which would take longer than a viewer
// waits: the show is shut down and started afresh, the random sequence
// unseeded again, and the scene opened at once, as the frame tool plays a
// scene asked for on its own. Its pictures are that tool's.
#include <emscripten.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "player.h"
#include "scenes.h"
#include "shell.h"

namespace {

struct SceneFigures {
    long long frames = 0;          // frames drawn
    long long frames_due = 0;      // frames the show's own pace asked for
    long long animation_frames = 0;
    double frame_ms_total = 0.0;   // wall-clock cost of the drawn frames
    double first_ms = -1.0, last_ms = -1.0;   // page time of the first and last animation frame
};

Player player;
int scene = 0;            // the scene being played; 0 before the first, 9 after the last
bool started = false;
int cadence_ms = 0;       // 0: each scene's own pace
long long clock_ms = -1;  // show time of the last clock pass
SceneFigures figures[SCENE_COUNT + 1];
std::vector<double> costs;
double frame_cost_ms = 0.0;   // what a frame of this scene costs lately (moving mean)
std::string report;

void open_next_scene()
{
    scene++;
    if (scene <= SCENE_COUNT)
        player_open(player, scene, cadence_ms);
    frame_cost_ms = 0.0;
}

// One clock pass (and the frames it is due), moving on to the next scene
// when this one's clock has ended it; false once the show is over.
bool step()
{
    if (scene > SCENE_COUNT)
        return false;
    costs.clear();
    const long long tick_ms = player_now_ms(player);
    if (!player_step(player, &costs)) {
        player_close(player);
        open_next_scene();
        return scene <= SCENE_COUNT;
    }
    clock_ms = scene_start_ms(scene) + tick_ms;
    SceneFigures &f = figures[scene];
    f.frames += player.tick_frames;
    // The frames the show's pace asks for at this tick: every cadence_ms from 0.
    const long long previous_ms = tick_ms - player.period_ms;
    f.frames_due += tick_ms / player.cadence_ms - (previous_ms < 0 ? -1 : previous_ms / player.cadence_ms);
    for (double ms : costs) {
        f.frame_ms_total += ms;
        frame_cost_ms += (ms - frame_cost_ms) * 0.1;
    }
    return true;
}

// The scene time of the next tick, on the show's timeline.
long long next_tick_show_ms()
{
    return scene_start_ms(scene) + player_now_ms(player);
}

// The moment in show milliseconds as the frame tool places it: the first
// scene whose end lies beyond it.
long long scene_ms_of(int target_scene, long long show_ms)
{
    return show_ms - scene_start_ms(target_scene);
}

} // namespace

extern "C" {

// The show's start-up: the pictures and meshes from the page's files, the
// precalculation. 1 when ready; 0 after a message on standard output.
EMSCRIPTEN_KEEPALIVE int lanternfay_start_up()
{
    if (!show_start_up(0, START_WITH_MUSIC))
        return 0;
    show->running.store(1, relaxed);
    return 1;
}

// Starts the show's timeline (and its music) at the start of first_scene
// (1..8); cadence 0 is the show's own pace. The page starts the music at that
// scene's place on the timeline too.
EMSCRIPTEN_KEEPALIVE void lanternfay_begin(int cadence, int first_scene)
{
    cadence_ms = cadence;
    started = true;
    scene = (first_scene >= 1 && first_scene <= SCENE_COUNT ? first_scene : 1) - 1;
    clock_ms = -1;
    for (SceneFigures &f : figures)
        f = SceneFigures{};
    show_start_music();
    open_next_scene();
}

// Moves the show to the start of scene first_scene: everything is shut down
// and started again, so that the scene begins from the state a fresh start
// gives it. 1 when it plays; 0 after a message on standard output.
EMSCRIPTEN_KEEPALIVE int lanternfay_chapter(int cadence, int first_scene)
{
    if (scene >= 1 && scene <= SCENE_COUNT)
        player_close(player);
    scene = SCENE_COUNT + 1;
    show_shut_down();
    srandom(1);   // the C library's sequence as a program that never seeded it starts it
    if (!show_start_up(0, START_WITH_MUSIC)) {
        started = false;
        return 0;
    }
    show->running.store(1, relaxed);
    lanternfay_begin(cadence, first_scene);
    return 1;
}

// Real time: every clock pass up to show_ms and the frames due, within
// budget_ms of drawing; then the display goes to the canvas. 0 once the
// show is over.
EMSCRIPTEN_KEEPALIVE int lanternfay_advance(double show_ms, double budget_ms)
{
    if (!started || scene > SCENE_COUNT)
        return 0;
    const double begin = emscripten_get_now();
    const int first_scene = scene;
    while (scene <= SCENE_COUNT && next_tick_show_ms() <= (long long)show_ms) {
        // A frame now must leave room in the budget for the frame at the
        // last pass; when it does not, only that last one is drawn.
        const bool frame_due = player.next_frame_ms <= player_now_ms(player);
        if (frame_due && emscripten_get_now() - begin + 2.0 * frame_cost_ms > budget_ms) {
            const long long last_tick = ((long long)show_ms - scene_start_ms(scene)) / player.period_ms * player.period_ms;
            player_skip_frames_before(player, last_tick);
        }
        if (!step())
            break;
    }
    const double now = emscripten_get_now();
    for (int n = first_scene; n <= scene && n <= SCENE_COUNT; n++) {
        SceneFigures &f = figures[n];
        f.animation_frames++;
        if (f.first_ms < 0)
            f.first_ms = now;
        f.last_ms = now;
    }
    web_show_display();
    return scene <= SCENE_COUNT;
}

// Virtual time: plays on, drawing every frame at the cadence, to the picture
// the frame tool writes for show_ms, and puts it on the canvas.
EMSCRIPTEN_KEEPALIVE int lanternfay_play_to(int show_ms)
{
    if (!started)
        return 0;
    int target_scene = SCENE_COUNT;
    for (int n = 1; n < SCENE_COUNT; n++)
        if (show_ms < scene_start_ms(n + 1)) {
            target_scene = n;
            break;
        }
    while (scene <= SCENE_COUNT && (scene < target_scene ||
                                    (scene == target_scene && player_now_ms(player) <= scene_ms_of(scene, show_ms))))
        if (!step())
            break;
    web_show_display();
    return 1;
}

// Where scene n (1..8) starts on the show's timeline, milliseconds.
EMSCRIPTEN_KEEPALIVE int lanternfay_scene_start_ms(int n) { return scene_start_ms(n); }
// Show time of the last clock pass, milliseconds (-1 before the first).
EMSCRIPTEN_KEEPALIVE double lanternfay_clock_ms() { return (double)clock_ms; }
// The scene being played (0 before the first, 9 after the last).
EMSCRIPTEN_KEEPALIVE int lanternfay_scene() { return scene; }

// Ends the show early (Escape): the scene's clock sees running 0 on its next
// pass; the music stops and everything is freed.
EMSCRIPTEN_KEEPALIVE void lanternfay_end()
{
    if (show)
        show->running.store(0, relaxed);
    if (scene >= 1 && scene <= SCENE_COUNT)
        player_close(player);
    scene = SCENE_COUNT + 1;
    show_shut_down();
}

// What each scene achieved, as JSON: frames drawn and due, animation frames,
// seconds of page time, mean frame cost.
EMSCRIPTEN_KEEPALIVE const char *lanternfay_report()
{
    report = "[";
    for (int n = 1; n <= SCENE_COUNT; n++) {
        const SceneFigures &f = figures[n];
        char line[256];
        std::snprintf(line, sizeof line,
                      "%s{\"scene\":%d,\"frames\":%lld,\"frames_due\":%lld,\"animation_frames\":%lld,"
                      "\"seconds\":%.3f,\"frame_ms\":%.3f}",
                      n > 1 ? "," : "", n, f.frames, f.frames_due, f.animation_frames,
                      f.first_ms < 0 ? 0.0 : (f.last_ms - f.first_ms) / 1000.0,
                      f.frames ? f.frame_ms_total / f.frames : 0.0);
        report += line;
    }
    report += "]";
    return report.c_str();
}

} // extern "C"

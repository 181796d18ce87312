// timeline.h — the scenes' facts, the show's timeline that their clocks
// count from, and the frame statistics (timeline.cpp).
#pragma once
#include "show.h"

constexpr int SCENE_COUNT = 8;

// One row per scene: what the clocks, the thread loops, the presenter, the
// frame tool and the tests all read. The loops share one shape; the two
// flags mark where a scene's loop is meant to differ.
struct SceneFacts {
    int duration_ms;           // its length on the show's timeline
    float position_end;        // position at that length (1800 in scene 1, else 1000)
    int clock_period_ms;       // the clock's sleep between passes
    int render_sleep_ms;       // the render thread's sleep after each frame
    int presenter_id;          // the id its frames hand to present_frame
    bool clock_sleeps_first;   // sleeps, then computes: its first pass comes a period in
    bool picture_before_check; // lays its picture on screen before looking at active
    bool render_starts_first;  // its driver starts the render thread first (no visible effect)
    bool fade_out_whole_units; // its fade-out steps once per whole position unit
};
// Scene n's row is SCENES[n - 1].
extern const SceneFacts SCENES[SCENE_COUNT];
inline const SceneFacts &scene_facts(int scene) { return SCENES[scene - 1]; }
// The position for elapsed milliseconds: elapsed / duration x position end,
// in double precision (the clocks store it as float).
inline double scene_position_at(int scene, Sint32 elapsed_ms)
{
    return elapsed_ms / static_cast<double>(scene_facts(scene).duration_ms) * scene_facts(scene).position_end;
}
// The scene whose frames carry presenter id `id`; 0 for none (id 2 is nobody's).
int scene_of_presenter(int id);
// Scene n's `active` flag, and its 0..end position (scene 5: not the path).
std::atomic<uint8_t> &scene_active(int scene);
float scene_position(int scene);
// Where scene n (1..8) starts on the timeline, in milliseconds after the music starts.
int scene_start_ms(int scene);

// Marks the moment the music started: from then on every scene clock counts
// from its scene's place on the timeline, so a late start (preparation,
// joins) is made up within the scene instead of adding up over the show.
void timeline_begin(Uint32 music_start_ticks);
// Forgets the timeline: scenes played from now on count from their own start.
void timeline_end();
// The tick count at which the scene's clock counts 0 ms: its place on the
// timeline, or `now` when no timeline has begun (a scene played on its own).
Uint32 scene_clock_origin(int scene, Uint32 now);

// ---- Frame statistics (LANTERNFAY_STATS=1) -------------------------------------
// With the variable set, the scenes note when they start and what each frame
// costs, and the program prints a table at exit; without it nothing is kept.

// Reads the variable and makes room for the notes; true when statistics are on.
bool stats_begin();
// The scene's preparation (its driver's set-up) took `ms`.
void stats_scene_prepared(int scene, Uint32 ms);
// The scene's clock has started (its first pass is due) at tick count `ticks`.
void stats_scene_started(int scene, Uint32 ticks);
// One frame of the scene took `cost_ms` to draw and present.
void stats_frame(int scene, double cost_ms);
// Prints the table (standard output) and frees the notes.
void stats_report();

// sequence.cpp — the show's scenes by number: their steps, the one clock loop,
// the one render loop and the one driver that every scene's entries call.
#include <chrono>
#include "scenes.h"
#include "shell.h"

// ---- The steps by scene number ---------------------------------------------------

void scene_prepare(int scene)
{
    switch (scene) {
    case 1: scene1_prepare(); break;
    case 2: scene2_prepare(); break;
    case 3: scene3_prepare(); break;
    case 4: scene4_prepare(); break;
    case 5: scene5_prepare(); break;
    case 6: scene6_prepare(); break;
    case 7: scene7_prepare(); break;
    default: scene8_prepare(); break;
    }
}

void scene_clock_begin(int scene, SceneSteps &s)
{
    switch (scene) {
    case 1: scene1_clock_begin(s.clock1); break;
    case 2: scene2_clock_begin(s.clock2); break;
    case 3: scene3_clock_begin(s.clock3); break;
    case 4: scene4_clock_begin(s.clock4); break;
    case 5: scene5_clock_begin(s.clock5); break;
    case 6: scene6_clock_begin(s.clock6); break;
    case 7: scene7_clock_begin(s.clock7); break;
    default: scene8_clock_begin(s.clock8); break;
    }
}

void scene_clock_pass(int scene, SceneSteps &s, Sint32 elapsed_ms)
{
    switch (scene) {
    case 1: scene1_clock_pass(s.clock1, elapsed_ms); break;
    case 2: scene2_clock_pass(s.clock2, elapsed_ms); break;
    case 3: scene3_clock_pass(s.clock3, elapsed_ms); break;
    case 4: scene4_clock_pass(s.clock4, elapsed_ms); break;
    case 5: scene5_clock_pass(s.clock5, elapsed_ms); break;
    case 6: scene6_clock_pass(s.clock6, elapsed_ms); break;
    case 7: scene7_clock_pass(s.clock7, elapsed_ms); break;
    default: scene8_clock_pass(s.clock8, elapsed_ms); break;
    }
}

void scene_render_begin(int scene, SceneSteps &s)
{
    switch (scene) {
    case 1: scene1_render_begin(s.render1); break;
    case 2: scene2_render_begin(s.render2); break;
    case 3: scene3_render_begin(s.render3); break;
    case 4: scene4_render_begin(s.render4); break;
    case 5: scene5_render_begin(s.render5); break;
    case 6: scene6_render_begin(s.render6); break;
    case 7: scene7_render_begin(s.render7); break;
    default: scene8_render_begin(s.render8); break;
    }
}

void scene_draw_frame(int scene, SceneSteps &s)
{
    switch (scene) {
    case 1: scene1_draw_frame(s.render1); break;
    case 2: scene2_draw_frame(s.render2); break;
    case 3: scene3_draw_frame(s.render3); break;
    case 4: scene4_draw_frame(s.render4); break;
    case 5: scene5_draw_frame(s.render5); break;
    case 6: scene6_draw_frame(s.render6); break;
    case 7: scene7_draw_frame(s.render7); break;
    default: scene8_draw_frame(s.render8); break;
    }
}

void scene_finish(int scene)
{
    switch (scene) {
    case 1: scene1_finish(); break;
    case 2: scene2_finish(); break;
    case 3: scene3_finish(); break;
    case 4: scene4_finish(); break;
    case 5: scene5_finish(); break;
    case 6: scene6_finish(); break;
    case 7: scene7_finish(); break;
    default: scene8_finish(); break;
    }
}

// ---- The threads and the driver ----------------------------------------------------

namespace {

// The clock's sleep: its period, except that the pass which ends the scene
// comes right at the end of its time rather than up to a period later, so
// the next scene can start on its place. Only that last pass moves.
int clock_sleep_ms(const SceneFacts &facts, Uint32 origin)
{
    Sint32 left_ms = facts.duration_ms + 1 - static_cast<Sint32>(SDL_GetTicks() - origin);
    return left_ms > 0 && left_ms < facts.clock_period_ms ? left_ms : facts.clock_period_ms;
}

} // namespace

void run_scene_clock(int scene)
{
    const SceneFacts &facts = scene_facts(scene);
    std::atomic<uint8_t> &active = scene_active(scene);
    SceneSteps steps;
    scene_clock_begin(scene, steps);
    Uint32 now = SDL_GetTicks();
    Uint32 origin = scene_clock_origin(scene, now);
    stats_scene_started(scene, now);
    auto pass = [&] { scene_clock_pass(scene, steps, static_cast<Sint32>(SDL_GetTicks() - origin)); };
    if (active.load(relaxed) != 1)
        return;
    if (facts.clock_sleeps_first) {
        do {
            SDL_Delay(clock_sleep_ms(facts, origin));
            pass();
        } while (active.load(relaxed) == 1);
        return;
    }
    for (;;) {
        pass();
        if (active.load(relaxed) != 1)
            return;   // nothing follows the last pass: no sleep before the join
        SDL_Delay(clock_sleep_ms(facts, origin));
    }
}

void run_scene_render(int scene)
{
    const SceneFacts &facts = scene_facts(scene);
    std::atomic<uint8_t> &active = scene_active(scene);
    if (!facts.picture_before_check && active.load(relaxed) != 1)
        return;
    SceneSteps steps;
    scene_render_begin(scene, steps);
    while (active.load(relaxed) == 1) {
        auto start = std::chrono::steady_clock::now();
        scene_draw_frame(scene, steps);
        stats_frame(scene, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        sleep_while_active(facts.render_sleep_ms, active);
    }
}

namespace {

void (*const CLOCK_ENTRIES[SCENE_COUNT])() = {scene1_clock, scene2_clock, scene3_clock, scene4_clock,
                                              scene5_clock, scene6_clock, scene7_clock, scene8_clock};
void (*const RENDER_ENTRIES[SCENE_COUNT])() = {scene1_render, scene2_render, scene3_render, scene4_render,
                                               scene5_render, scene6_render, scene7_render, scene8_render};

} // namespace

void run_scene(int scene)
{
    Uint32 prepare_start = SDL_GetTicks();
    scene_prepare(scene);
    stats_scene_prepared(scene, SDL_GetTicks() - prepare_start);
    drive_scene(CLOCK_ENTRIES[scene - 1], RENDER_ENTRIES[scene - 1], scene_active(scene),
                scene_facts(scene).render_starts_first);
    scene_finish(scene);
}

void play_show()
{
    // Also before scene 1: an interrupt during start-up means no scene at all.
    for (int scene = 1; scene <= SCENE_COUNT; ++scene) {
        if (show->running.load(relaxed) != 1)
            break;
        run_scene(scene);
    }
}

// player.cpp — start-up and the thread-free playing of scenes on virtual time.
#include "player.h"
#include <chrono>
#include <cstdio>
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

// ---- One scene on virtual time -----------------------------------------------------

void player_open(Player &player, int scene, int cadence_ms)
{
    player = Player{};
    player.scene = scene;
    player.period_ms = scene_facts(scene).clock_period_ms;
    player.cadence_ms = cadence_ms > 0 ? cadence_ms : player.period_ms;
    // Big (every scene's records): on the heap, and made once per scene, not per step.
    player.records = new SceneSteps{};
    scene_prepare(scene);
    scene_clock_begin(scene, *player.records);
    // The render thread draws nothing when it finds its scene already over
    // (scene 4 lays its picture on the screen before it looks).
    if (scene_facts(scene).picture_before_check || scene_active(scene).load(relaxed) == 1)
        scene_render_begin(scene, *player.records);
}

long long player_now_ms(const Player &player)
{
    return player.tick * player.period_ms;
}

bool player_step(Player &player, std::vector<double> *frame_costs_ms)
{
    player.tick_frames = 0;
    if (player.over)
        return false;
    const long long now = player_now_ms(player);
    if (player.tick > 0 || !scene_facts(player.scene).clock_sleeps_first)
        scene_clock_pass(player.scene, *player.records, (Sint32)now);
    // As in the show: a render thread that wakes to find `active` cleared draws no more.
    if (scene_active(player.scene).load(relaxed) != 1) {
        player.over = true;
        return false;
    }
    for (; player.next_frame_ms <= now; player.next_frame_ms += player.cadence_ms) {
        const auto begin = std::chrono::steady_clock::now();
        scene_draw_frame(player.scene, *player.records);
        const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - begin;
        if (frame_costs_ms)
            frame_costs_ms->push_back(spent.count());
        player.tick_frames++;
        // transition_id is the id this frame was presented with.
        if (player.music_fade_ms < 0 && asks_music_fade(transition_id))
            player.music_fade_ms = now;
    }
    player.tick++;
    return true;
}

void player_skip_frames_before(Player &player, long long ms)
{
    const long long last_due = ms / player.cadence_ms * player.cadence_ms;
    if (last_due > player.next_frame_ms)
        player.next_frame_ms = last_due;
}

void player_close(Player &player)
{
    if (player.records)
        scene_finish(player.scene);
    delete player.records;
    player.records = nullptr;
}

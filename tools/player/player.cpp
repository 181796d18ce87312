// player.cpp — start-up and the thread-free playing of scenes on virtual time.
#include "player.h"
#include <chrono>
#include <cstdio>
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

namespace {

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

}  // namespace

// ---- Playing one scene, a tick at a time ------------------------------------------

void player_open(Player &player, int scene, int cadence_ms)
{
    player = Player{};
    player.scene = scene;
    player.period_ms = scene_timings[scene].period_ms;
    player.cadence_ms = cadence_ms > 0 ? cadence_ms : player.period_ms;
    // Big (every scene's records): on the heap, and made once per scene, not per step.
    player.records = new SceneRecords{};
    prepare(scene);
    clock_begin(scene, *player.records);
    // The render thread draws nothing when it finds its scene already over.
    if (scene_active(scene).load(relaxed) == 1)
        render_begin(scene, *player.records);
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
    if (player.tick > 0 || !scene_timings[player.scene].clock_sleeps_first)
        clock_pass(player.scene, *player.records, (Sint32)now);
    // As in the show: a render thread that wakes to find `active` cleared draws no more.
    if (scene_active(player.scene).load(relaxed) != 1) {
        player.over = true;
        return false;
    }
    for (; player.next_frame_ms <= now; player.next_frame_ms += player.cadence_ms) {
        const auto begin = std::chrono::steady_clock::now();
        draw_frame(player.scene, *player.records);
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

void player_close(Player &player)
{
    if (player.records)
        finish(player.scene);
    delete player.records;
    player.records = nullptr;
}

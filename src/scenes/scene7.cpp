// scene7.cpp — SCAFFOLD: stands in for scene 7 until the scene itself is
// built. It runs the scene's real clock for its real duration and presents
// black frames with the scene's presenter id, so the whole show plays.
#include "scenes.h"
#include "shell.h"

void scene7_prepare()
{
    scene7->active.store(1, relaxed);
    scene7->position.store(0.0f, relaxed);
}

void scene7_clock_begin(Scene7Clock &) {}

void scene7_clock_pass(Scene7Clock &, Sint32 elapsed_ms)
{
    float position = (float)(elapsed_ms / 30000.0 * 1000.0);
    scene7->position.store(position, relaxed);
    if (elapsed_ms > 30000 || show->running.load(relaxed) == 0)
        scene7->active.store(0, relaxed);
}

void scene7_render_begin(Scene7Render &r) { r = Scene7Render{}; }

void scene7_draw_frame(Scene7Render &)
{
    SDL_FillRect(screen, nullptr, 0);
    present_frame(8);
}

void scene7_finish() {}

void scene7_clock()
{
    Scene7Clock c;
    scene7_clock_begin(c);
    Uint32 start = SDL_GetTicks();
    while (scene7->active.load(relaxed) == 1) {
        scene7_clock_pass(c, (Sint32)(SDL_GetTicks() - start));
        SDL_Delay(5);
    }
}

void scene7_render()
{
    Scene7Render r;
    scene7_render_begin(r);
    while (scene7->active.load(relaxed) == 1) {
        scene7_draw_frame(r);
        SDL_Delay(5);
    }
}

void scene7_run()
{
    scene7_prepare();
    drive_scene(scene7_clock, scene7_render, scene7->active);
    scene7_finish();
}

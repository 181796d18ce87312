// scene4.cpp — SCAFFOLD: stands in for scene 4 until the scene itself is
// built. It runs the scene's real clock for its real duration and presents
// black frames with the scene's presenter id, so the whole show plays.
#include "scenes.h"
#include "shell.h"

void scene4_prepare()
{
    scene4->active.store(1, relaxed);
    scene4->position.store(0.0f, relaxed);
}

void scene4_clock_begin(Scene4Clock &) {}

void scene4_clock_pass(Scene4Clock &, Sint32 elapsed_ms)
{
    float position = (float)(elapsed_ms / 20000.0 * 1000.0);
    scene4->position.store(position, relaxed);
    if (position >= 1000.0f || show->running.load(relaxed) == 0)
        scene4->active.store(0, relaxed);
}

void scene4_render_begin(Scene4Render &r) { r = Scene4Render{}; }

void scene4_draw_frame(Scene4Render &)
{
    SDL_FillRect(screen, nullptr, 0);
    present_frame(5);
}

void scene4_finish() {}

void scene4_clock()
{
    Scene4Clock c;
    scene4_clock_begin(c);
    Uint32 start = SDL_GetTicks();
    while (scene4->active.load(relaxed) == 1) {
        scene4_clock_pass(c, (Sint32)(SDL_GetTicks() - start));
        SDL_Delay(5);
    }
}

void scene4_render()
{
    Scene4Render r;
    scene4_render_begin(r);
    while (scene4->active.load(relaxed) == 1) {
        scene4_draw_frame(r);
        SDL_Delay(5);
    }
}

void scene4_run()
{
    scene4_prepare();
    drive_scene(scene4_clock, scene4_render, scene4->active);
    scene4_finish();
}

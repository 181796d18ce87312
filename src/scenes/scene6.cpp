// scene6.cpp — SCAFFOLD: stands in for scene 6 until the scene itself is
// built. It runs the scene's real clock for its real duration and presents
// black frames with the scene's presenter id, so the whole show plays.
#include "scenes.h"
#include "shell.h"

void scene6_prepare()
{
    scene6->active.store(1, relaxed);
    scene6->position.store(0.0f, relaxed);
}

void scene6_clock_begin(Scene6Clock &) {}

void scene6_clock_pass(Scene6Clock &, Sint32 elapsed_ms)
{
    float position = (float)(elapsed_ms / 32000.0 * 1000.0);
    scene6->position.store(position, relaxed);
    if (elapsed_ms > 31999 || show->running.load(relaxed) == 0)
        scene6->active.store(0, relaxed);
}

void scene6_render_begin(Scene6Render &r) { r = Scene6Render{}; }

void scene6_draw_frame(Scene6Render &)
{
    SDL_FillRect(screen, nullptr, 0);
    present_frame(7);
}

void scene6_finish() {}

void scene6_clock()
{
    Scene6Clock c;
    scene6_clock_begin(c);
    Uint32 start = SDL_GetTicks();
    while (scene6->active.load(relaxed) == 1) {
        scene6_clock_pass(c, (Sint32)(SDL_GetTicks() - start));
        SDL_Delay(5);
    }
}

void scene6_render()
{
    Scene6Render r;
    scene6_render_begin(r);
    while (scene6->active.load(relaxed) == 1) {
        scene6_draw_frame(r);
        SDL_Delay(5);
    }
}

void scene6_run()
{
    scene6_prepare();
    drive_scene(scene6_clock, scene6_render, scene6->active);
    scene6_finish();
}

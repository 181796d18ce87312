// scene5.cpp — SCAFFOLD: stands in for scene 5 until the scene itself is
// built. It runs the scene's real clock for its real duration and presents
// black frames with the scene's presenter id, so the whole show plays.
#include "scenes.h"
#include "shell.h"

void scene5_prepare()
{
    scene5->active.store(1, relaxed);
    scene5->position.store(0.0f, relaxed);
}

void scene5_clock_begin(Scene5Clock &) {}

void scene5_clock_pass(Scene5Clock &, Sint32 elapsed_ms)
{
    float position = (float)(elapsed_ms / 20000.0 * 1000.0);
    scene5->position.store(position, relaxed);
    if (elapsed_ms > 19999 || show->running.load(relaxed) == 0)
        scene5->active.store(0, relaxed);
}

void scene5_render_begin(Scene5Render &r) { r = Scene5Render{}; }

void scene5_draw_frame(Scene5Render &)
{
    SDL_FillRect(screen, nullptr, 0);
    present_frame(6);
}

void scene5_finish() {}

void scene5_clock()
{
    Scene5Clock c;
    scene5_clock_begin(c);
    Uint32 start = SDL_GetTicks();
    while (scene5->active.load(relaxed) == 1) {
        scene5_clock_pass(c, (Sint32)(SDL_GetTicks() - start));
        SDL_Delay(25);
    }
}

void scene5_render()
{
    Scene5Render r;
    scene5_render_begin(r);
    while (scene5->active.load(relaxed) == 1) {
        scene5_draw_frame(r);
        SDL_Delay(25);
    }
}

void scene5_run()
{
    scene5_prepare();
    drive_scene(scene5_clock, scene5_render, scene5->active);
    scene5_finish();
}

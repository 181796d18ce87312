// scene3.cpp — SCAFFOLD: stands in for scene 3 until the scene itself is
// built. It runs the scene's real clock for its real duration and presents
// black frames with the scene's presenter id, so the whole show plays.
#include "scenes.h"
#include "shell.h"

void scene3_prepare()
{
    scene3->position.store(0.0f, relaxed);
}

void scene3_clock_begin(Scene3Clock &) {}

void scene3_clock_pass(Scene3Clock &, Sint32 elapsed_ms)
{
    float position = (float)(elapsed_ms / 25000.0 * 1000.0);
    scene3->position.store(position, relaxed);
    if (elapsed_ms > 24999 || show->running.load(relaxed) == 0)
        scene3->active.store(0, relaxed);
}

void scene3_render_begin(Scene3Render &r) { r = Scene3Render{}; }

void scene3_draw_frame(Scene3Render &)
{
    SDL_FillRect(screen, nullptr, 0);
    present_frame(4);
}

void scene3_finish() {}

void scene3_clock()
{
    Scene3Clock c;
    scene3_clock_begin(c);
    Uint32 start = SDL_GetTicks();
    while (scene3->active.load(relaxed) == 1) {
        scene3_clock_pass(c, (Sint32)(SDL_GetTicks() - start));
        SDL_Delay(5);
    }
}

void scene3_render()
{
    Scene3Render r;
    scene3_render_begin(r);
    while (scene3->active.load(relaxed) == 1) {
        scene3_draw_frame(r);
        SDL_Delay(5);
    }
}

void scene3_run()
{
    scene3_prepare();
    drive_scene(scene3_clock, scene3_render, scene3->active);
    scene3_finish();
}

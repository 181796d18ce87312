// scene2.cpp — SCAFFOLD: stands in for scene 2 until the scene itself is
// built. It runs the scene's real clock for its real duration and presents
// black frames with the scene's presenter id, so the whole show plays.
#include "scenes.h"
#include "shell.h"

void scene2_prepare()
{
    scene2->position.store(0.0f, relaxed);
}

void scene2_clock_begin(Scene2Clock &) {}

void scene2_clock_pass(Scene2Clock &, Sint32 elapsed_ms)
{
    float position = (float)(elapsed_ms / 25500.0 * 1000.0);
    scene2->position.store(position, relaxed);
    if (position >= 1000.0f || show->running.load(relaxed) == 0)
        scene2->active.store(0, relaxed);
}

void scene2_render_begin(Scene2Render &r) { r = Scene2Render{}; }

void scene2_draw_frame(Scene2Render &)
{
    SDL_FillRect(screen, nullptr, 0);
    present_frame(3);
}

void scene2_finish() {}

void scene2_clock()
{
    Scene2Clock c;
    scene2_clock_begin(c);
    Uint32 start = SDL_GetTicks();
    while (scene2->active.load(relaxed) == 1) {
        scene2_clock_pass(c, (Sint32)(SDL_GetTicks() - start));
        SDL_Delay(5);
    }
}

void scene2_render()
{
    Scene2Render r;
    scene2_render_begin(r);
    while (scene2->active.load(relaxed) == 1) {
        scene2_draw_frame(r);
        SDL_Delay(5);
    }
}

void scene2_run()
{
    scene2_prepare();
    drive_scene(scene2_clock, scene2_render, scene2->active);
    scene2_finish();
}

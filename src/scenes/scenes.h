// scenes.h — the eight scenes of the show.
//
// Each scene is built from plain steps so that the threads of the live show
// and the frame tool (which plays any moment without threads) share them:
//   sceneN_prepare()             the driver's set-up, main thread, before the threads
//   sceneN_clock_begin(c)        the clock thread's set-up, before it reads the start time
//   sceneN_clock_pass(c, ms)     one clock pass for the elapsed milliseconds:
//                                position, stop test (also when running is 0), animation
//   sceneN_render_begin(r)       the render thread's set-up
//   sceneN_draw_frame(r)         draw one frame and present it (present_frame)
//   sceneN_finish()              the driver's clean-up, after both threads are joined
// sceneN_clock and sceneN_render are the thread entries and sceneN_run the
// driver: each calls the one loop of its kind (sequence.cpp) with its scene's
// number, and the loops read the scene's sleeps and quirks from SCENES.
#pragma once
#include <SDL.h>
#include <atomic>
#include <cstdint>
#include <memory>
#include "landscape.h"
#include "ring_warp.h"

// ---- Scene 1: landscape flight and title cards (30.5 s, position 0..1800) ----
struct Scene1Clock {};
struct Scene1Render {
    int blend_a, blend_b;   // season blend levels used by the next frame
    // The ground maps laid on their side (made when the scene starts), and
    // whether they were laid since the maps last changed.
    std::unique_ptr<GroundColumns> ground;
    bool ground_laid;
    bool maps_changed;   // by this frame's season blend
};
void scene1_prepare();
void scene1_clock_begin(Scene1Clock &c);
void scene1_clock_pass(Scene1Clock &c, Sint32 elapsed_ms);
void scene1_render_begin(Scene1Render &r);
void scene1_draw_frame(Scene1Render &r);
void scene1_finish();
void scene1_clock();
void scene1_render();
void scene1_run();
// Index into flare_opacity for a position past 1000: trunc(position - 1001),
// kept within 0..799 when the last clock pass overshoots 1800.
int scene1_flare_index(float position);

// ---- Scene 2: colour rings and scroll text (25.5 s) ----
struct Scene2Render {
    int32_t widths[67];      // cumulative advances of the scroll text
    int32_t total;
    int pos;                 // next character of the text
    float previous_scroll;   // S of the previous frame
    int previous_row;        // last map row reached in the previous frame
    int previous_column;     // last map column of the previous pass
};
struct Scene2Clock {};
void scene2_prepare();
void scene2_clock_begin(Scene2Clock &c);
void scene2_clock_pass(Scene2Clock &c, Sint32 elapsed_ms);
void scene2_render_begin(Scene2Render &r);
void scene2_draw_frame(Scene2Render &r);
void scene2_finish();
void scene2_clock();
void scene2_render();
void scene2_run();

// ---- Scene 3: twisting column (25 s) ----
struct Scene3Clock {};
struct Scene3Render {
    int32_t previous_x;      // where the last span ended; carried across rows and frames
};
void scene3_prepare();
void scene3_clock_begin(Scene3Clock &c);
void scene3_clock_pass(Scene3Clock &c, Sint32 elapsed_ms);
void scene3_render_begin(Scene3Render &r);
void scene3_draw_frame(Scene3Render &r);
void scene3_finish();
void scene3_clock();
void scene3_render();
void scene3_run();

// ---- Scene 4: grass and cubes (20 s) ----
struct Scene4Clock {
    int32_t base[130];       // each blade's initial rz, truncated
};
struct Scene4Render {};
void scene4_prepare();
void scene4_clock_begin(Scene4Clock &c);
void scene4_clock_pass(Scene4Clock &c, Sint32 elapsed_ms);
void scene4_render_begin(Scene4Render &r);
void scene4_draw_frame(Scene4Render &r);
void scene4_finish();
void scene4_clock();
void scene4_render();
void scene4_run();

// ---- Scene 5: hopping car (20 s, 25 ms periods) ----
struct Scene5Clock {
    double rest_y;           // the car's resting height, read from the body at the start
};
struct Scene5Render {};
void scene5_prepare();
void scene5_clock_begin(Scene5Clock &c);
void scene5_clock_pass(Scene5Clock &c, Sint32 elapsed_ms);
void scene5_render_begin(Scene5Render &r);
void scene5_draw_frame(Scene5Render &r);
void scene5_finish();
void scene5_clock();
void scene5_render();
void scene5_run();

// ---- Scene 6: drifting seeds (32 s) ----
struct Scene6Clock {};
struct Scene6Render {};
void scene6_prepare();
void scene6_clock_begin(Scene6Clock &c);
void scene6_clock_pass(Scene6Clock &c, Sint32 elapsed_ms);
void scene6_render_begin(Scene6Render &r);
void scene6_draw_frame(Scene6Render &r);
void scene6_finish();
void scene6_clock();
void scene6_render();
void scene6_run();

// ---- Scene 7: greetings (30 s) ----
struct Scene7Clock {
    int32_t base[140];       // each blade's initial rz, truncated
    bool in_world[4];        // whether each group's pair has been put into the world
    float plate_depth;       // z of the visible plate, 9500 at rest
};
struct Scene7Render {
    int previous_row;        // truncated source row of the previous screen row
    int previous_column;     // truncated source column of the previous step
    WarpFrame warp;          // the frame's warp, shared with the fill's worker
};
void scene7_prepare();
void scene7_clock_begin(Scene7Clock &c);
void scene7_clock_pass(Scene7Clock &c, Sint32 elapsed_ms);
void scene7_render_begin(Scene7Render &r);
void scene7_draw_frame(Scene7Render &r);
void scene7_finish();
void scene7_clock();
void scene7_render();
void scene7_run();

// ---- Scene 8: closing screen (15 s) ----
struct Scene8Clock {};
struct Scene8Render {
    int32_t fade_left, fade_right;   // opacities, +1 per frame drawn, up to 255
};
void scene8_prepare();
void scene8_clock_begin(Scene8Clock &c);
void scene8_clock_pass(Scene8Clock &c, Sint32 elapsed_ms);
void scene8_render_begin(Scene8Render &r);
void scene8_draw_frame(Scene8Render &r);
void scene8_finish();
void scene8_clock();
void scene8_render();
void scene8_run();

// ---- Every scene by its number (1..8) ------------------------------------------

// The step records of all scenes; the steps of one scene use only its own.
struct SceneSteps {
    Scene1Clock clock1; Scene1Render render1;
    Scene2Clock clock2; Scene2Render render2;
    Scene3Clock clock3; Scene3Render render3;
    Scene4Clock clock4; Scene4Render render4;
    Scene5Clock clock5; Scene5Render render5;
    Scene6Clock clock6; Scene6Render render6;
    Scene7Clock clock7; Scene7Render render7;
    Scene8Clock clock8; Scene8Render render8;
};

// The steps of scene n, as above.
void scene_prepare(int scene);
void scene_clock_begin(int scene, SceneSteps &steps);
void scene_clock_pass(int scene, SceneSteps &steps, Sint32 elapsed_ms);
void scene_render_begin(int scene, SceneSteps &steps);
void scene_draw_frame(int scene, SceneSteps &steps);
void scene_finish(int scene);

// The clock thread: begin, then one pass per clock period while active is 1,
// counting from the scene's place on the show's timeline.
void run_scene_clock(int scene);
// The render thread: begin, then frame and sleep while active is 1.
void run_scene_render(int scene);
// The driver: prepare, start both threads, poll input until the scene ends,
// join, finish.
void run_scene(int scene);
// Scenes 1 to 8, each only while the show is still running.
void play_show();

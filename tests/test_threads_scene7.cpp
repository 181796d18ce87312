// Scene 7 on its real threads: the clock puts greeting pairs into the world
// and takes them out while the render thread draws it. Run under
// ThreadSanitizer in CI (label "threads").
#include <gtest/gtest.h>
#include "scenes.h"
#include "shell.h"
#include "support.h"

namespace {

const auto *environment = ::testing::AddGlobalTestEnvironment(new ShowEnvironment);

// Plays the viewer who presses Escape 1.5 s into the scene (position 50:
// the first pair has entered the world at 25).
void stop_show_later()
{
    SDL_Delay(1500);
    show->running.store(0, relaxed);
}

// The scene's own clock steps, twelve times as fast: the whole scene, with
// all four exchanges of pairs, passes in 2.5 s.
void fast_clock()
{
    Scene7Clock c;
    scene7_clock_begin(c);
    Uint32 start = SDL_GetTicks();
    while (scene7->active.load(relaxed) == 1) {
        scene7_clock_pass(c, (Sint32)((SDL_GetTicks() - start) * 12));
        SDL_Delay(5);
    }
}

void expect_scene_freed()
{
    EXPECT_EQ(scene7->world, nullptr);
    for (const GreetingPair &pair : scene7->greetings) {
        EXPECT_EQ(pair.text, nullptr);
        EXPECT_EQ(pair.frame, nullptr);
    }
}

}  // namespace

TEST(Scene7Threads, RealDriverEndsSoonAfterTheShowIsStopped)
{
    transition_id = 0;   // the first frame presented starts a fade-in of 80
    ThreadHandle *viewer = thread_start(stop_show_later);
    ASSERT_NE(viewer, nullptr);
    Uint32 start = SDL_GetTicks();
    scene7_run();
    Uint32 took = SDL_GetTicks() - start;
    thread_join(viewer);
    EXPECT_GE(took, 1500u);
    EXPECT_LT(took, 5000u);
    float p = scene7->position.load();
    EXPECT_GT(p, 25.0f);   // the first pair went in while frames were drawn
    EXPECT_LT(p, 1000.0f);
    EXPECT_LT(show->flash.load(), 80.0f);   // frames were presented
    expect_scene_freed();
    show->running.store(1);
}

TEST(Scene7Threads, PairsChangeHandsWhileTheRenderThreadDraws)
{
    transition_id = 0;
    scene7_prepare();
    drive_scene(fast_clock, scene7_render, scene7->active);
    EXPECT_GT(scene7->position.load(), 1000.0f);   // ended by its own time, past every window
    EXPECT_LT(show->flash.load(), 80.0f);
    scene7_finish();
    expect_scene_freed();
}

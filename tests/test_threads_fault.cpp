// A scene thread that fails (an allocation it cannot have, or any other
// exception) ends the show in order instead of aborting the program: the
// other thread and the driver end, and the program is told to exit with 255.
// Its own program: once failed, the runtime stays failed.
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include "shell.h"
#include "support.h"

namespace {

std::atomic<int> render_frames{0};

void clock_that_runs_out_of_memory()
{
    SDL_Delay(50);
    throw std::bad_alloc();
}

// Loops as a render thread does, on `active` only: it ends only when
// someone else clears it.
void render_on_active()
{
    while (scene8->active.load(relaxed) == 1) {
        render_frames.fetch_add(1, relaxed);
        SDL_Delay(5);
    }
}

void clock_on_running()
{
    while (scene8->active.load(relaxed) == 1) {
        if (show->running.load(relaxed) == 0)
            scene8->active.store(0, relaxed);
        SDL_Delay(5);
    }
}

void render_that_fails()
{
    SDL_Delay(50);
    throw std::runtime_error("a test failure");
}

class SceneThreadFault : public ::testing::Test {
protected:
    static void SetUpTestSuite() { open_test_screen(); }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override
    {
        new_bare_records();
        show->running.store(1);
        scene8->active.store(1);
        render_frames = 0;
    }
    void TearDown() override { teardown_scenes(); }
};

} // namespace

TEST_F(SceneThreadFault, AClockOutOfMemoryEndsTheSceneAndTheShow)
{
    ASSERT_FALSE(scene_thread_failed());
    testing::internal::CaptureStdout();
    Uint32 start = SDL_GetTicks();
    // Without help the render thread would loop for ever: no clock is left to clear active.
    drive_scene(clock_that_runs_out_of_memory, render_on_active, scene8->active);
    Uint32 took = SDL_GetTicks() - start;
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_LT(took, 1500u);
    EXPECT_GT(render_frames.load(), 0);
    EXPECT_EQ(show->running.load(), 0);
    EXPECT_EQ(scene8->active.load(), 0);
    EXPECT_TRUE(scene_thread_failed());
    EXPECT_NE(said.find("Not enough memory"), std::string::npos) << said;
}

TEST_F(SceneThreadFault, ARenderThreadExceptionEndsTheShowWithItsText)
{
    testing::internal::CaptureStdout();
    Uint32 start = SDL_GetTicks();
    drive_scene(clock_on_running, render_that_fails, scene8->active);
    Uint32 took = SDL_GetTicks() - start;
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_LT(took, 1500u);
    EXPECT_EQ(show->running.load(), 0);
    EXPECT_EQ(scene8->active.load(), 0);
    EXPECT_TRUE(scene_thread_failed());
    EXPECT_NE(said.find("A scene failed (a test failure)"), std::string::npos) << said;
}

// Scenes 2, 3 and 6 on their real threads: each plays for a moment from the
// show's data until the show is stopped, then ends in an orderly way.
#include <gtest/gtest.h>
#include "scenes.h"
#include "shell.h"
#include "support.h"

namespace {

// Stops the show after 300 ms, as Escape or an interrupt would.
void stop_soon()
{
    SDL_Delay(300);
    show->running.store(0, relaxed);
}

class ScenesOnThreads : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ready = show_start_up(SDL_SWSURFACE, START_SILENT); }
    static void TearDownTestSuite() { show_shut_down(); }
    void SetUp() override
    {
        ASSERT_TRUE(ready) << "needs the show's data folder in the working directory";
        show->running.store(1, relaxed);
    }

    // Runs a scene driver while a second thread stops the show.
    static void run_until_stopped(void (*run)())
    {
        ThreadHandle *stopper = thread_start(stop_soon);
        run();
        thread_join(stopper);
    }

    static bool ready;
};

bool ScenesOnThreads::ready = false;

} // namespace

TEST_F(ScenesOnThreads, Scene2StopsWhenTheShowStops)
{
    run_until_stopped(scene2_run);
    EXPECT_EQ(scene2->active.load(), 0);
    float p = scene2->position.load();
    EXPECT_GT(p, 0.0f);
    EXPECT_LT(p, 200.0f) << "ended by the stop, not by its time";
}

TEST_F(ScenesOnThreads, Scene3StopsAndFreesItsSurfaces)
{
    run_until_stopped(scene3_run);
    EXPECT_EQ(scene3->active.load(), 0);
    EXPECT_GT(scene3->spin.load(), 0.0f) << "the clock has made passes";
    EXPECT_EQ(scene3->work_surface, nullptr);
    EXPECT_EQ(scene3->key_surface_b, nullptr);
    EXPECT_EQ(scene3->key_surface_c, nullptr);
}

TEST_F(ScenesOnThreads, Scene6StopsWithTheSeedsWhereTheyAre)
{
    float x0 = scene6->seeds[0].x.load();
    float y0 = scene6->seeds[0].y.load();
    run_until_stopped(scene6_run);
    EXPECT_EQ(scene6->active.load(), 0);
    EXPECT_LT(scene6->position.load(), 200.0f);
    EXPECT_TRUE(scene6->seeds[0].x.load() != x0 || scene6->seeds[0].y.load() != y0) << "the seeds moved";
}

// The show's timeline: the scene facts that every part reads, the start-up
// that every entry point shares, and the scene clocks counting from their
// scene's place on the timeline, so that a late start is made up within the
// scene. The clocks run on their real threads here.
#include <gtest/gtest.h>
#include <filesystem>
#include "scenes.h"
#include "shell.h"
#include "support.h"

namespace {

const auto *environment = ::testing::AddGlobalTestEnvironment(new ShowEnvironment);

// Each test leaves the timeline as it found it: not running.
struct TimelineGuard {
    ~TimelineGuard() { timeline_end(); }
};

} // namespace

TEST(SceneFacts, AddUpToTheShowAndNameEachPresenterOnce)
{
    EXPECT_EQ(scene_start_ms(1), 0);
    EXPECT_EQ(scene_start_ms(2), 30500);
    EXPECT_EQ(scene_start_ms(8), 183000);
    EXPECT_EQ(scene_start_ms(SCENE_COUNT + 1), 198000) << "the whole show";
    for (int scene = 1; scene <= SCENE_COUNT; ++scene)
        EXPECT_EQ(scene_of_presenter(scene_facts(scene).presenter_id), scene);
    EXPECT_EQ(scene_of_presenter(2), 0) << "id 2 is nobody's";
    EXPECT_EQ(scene_of_presenter(0), 0);
    EXPECT_EQ(scene_of_presenter(10), 0);
}

TEST(SceneFacts, PositionFollowsElapsedTimeOverTheDuration)
{
    EXPECT_FLOAT_EQ((float)scene_position_at(1, 30500), 1800.0f);
    EXPECT_FLOAT_EQ((float)scene_position_at(1, 15250), 900.0f);
    EXPECT_FLOAT_EQ((float)scene_position_at(4, 10000), 500.0f);
    // The same double-precision expression the clocks always used.
    EXPECT_EQ((float)scene_position_at(2, 12345), (float)(12345 / 25500.0 * 1000.0));
    EXPECT_EQ((float)scene_position_at(6, 31999), (float)(31999 / 32000.0 * 1000.0));
}

TEST(Timeline, ClockCountsFromTheScenesPlaceOnceTheMusicStarted)
{
    TimelineGuard guard;
    EXPECT_EQ(scene_clock_origin(4, 5000u), 5000u) << "no timeline: a scene counts from its own start";
    timeline_begin(1000u);
    EXPECT_EQ(scene_clock_origin(1, 5000u), 1000u);
    EXPECT_EQ(scene_clock_origin(4, 5000u), 1000u + 81000u);
    // Tick counts wrap after 49 days; the elapsed time stays right across it.
    timeline_begin(0xFFFFFF00u);
    Uint32 origin = scene_clock_origin(2, 0u);
    EXPECT_EQ((Sint32)(0xFFFFFF00u + 30500u + 40u - origin), 40);
    timeline_end();
    EXPECT_EQ(scene_clock_origin(2, 777u), 777u);
}

// A scene that starts 14.9 s after its place on the timeline begins near the
// end of its 15 s and ends where the timeline puts it, not 15 s later.
TEST(Timeline, LateSceneMakesUpTheLostTimeAndEndsOnTime)
{
    TimelineGuard guard;
    show->running.store(1, relaxed);
    Uint32 now = SDL_GetTicks();
    timeline_begin(now - (Uint32)scene_start_ms(8) - 14900u);
    Uint32 before = SDL_GetTicks();
    run_scene(8);
    Uint32 took = SDL_GetTicks() - before;
    EXPECT_LT(took, 2000u) << "the scene should end about 100 ms after it started";
    EXPECT_GE(scene_position(8), 993.0f);
    EXPECT_EQ(scene_active(8).load(relaxed), 0);
}

TEST(Timeline, SceneOnItsOwnStillPlaysFromZero)
{
    show->running.store(1, relaxed);
    SceneSteps steps{};
    scene_prepare(8);
    scene_clock_begin(8, steps);
    scene_clock_pass(8, steps, 0);
    EXPECT_EQ(scene_position(8), 0.0f);
    EXPECT_EQ(scene_active(8).load(relaxed), 1);
    scene_clock_pass(8, steps, scene_facts(8).duration_ms + 1);
    EXPECT_EQ(scene_active(8).load(relaxed), 0);
    scene_finish(8);
}

// Start-up and shutdown can follow each other: a failed start leaves nothing
// behind, and the show starts cleanly again afterwards.
TEST(StartUp, FailsCleanlyWithoutDataAndStartsAgain)
{
    show_shut_down();
    EXPECT_EQ(screen, nullptr);
    EXPECT_EQ(show, nullptr);
    namespace fs = std::filesystem;
    const fs::path home = fs::current_path();
    const fs::path empty = home / "startup-test-empty";
    fs::create_directories(empty);
    fs::current_path(empty);
    EXPECT_FALSE(show_start_up(0, START_SILENT)) << "there is no data folder here";
    fs::current_path(home);
    fs::remove(empty);
    EXPECT_EQ(backbuffer, nullptr);
    EXPECT_EQ(ScaleTable, nullptr);
    EXPECT_EQ(BitmapTable[0], nullptr);

    ASSERT_TRUE(show_start_up(0, START_SILENT));
    ASSERT_NE(show, nullptr);
    EXPECT_NE(BitmapTable[BITMAP_FUN], nullptr);
    EXPECT_EQ(BitmapTable[BITMAP_COUNT], nullptr);
    EXPECT_EQ(transition_id, 0);
    show->running.store(1, relaxed);
}

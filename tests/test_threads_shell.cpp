// The scene runtime with its real threads: a clock and a render thread
// sharing a scene record while the main thread polls input, ended by the
// clock, by Escape or by an interrupt, and joined. Run under ThreadSanitizer.
#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include "platform.h"
#include "shell.h"
#include "support.h"

namespace {

std::atomic<int> duration_ms{400};
std::atomic<int> frames{0};
std::atomic<int> interrupt_after_frames{-1};

// A scene on the pattern of the show's: position 0..1000 over its duration,
// ended by its time or by running; the render thread presents as scene 8.
void test_clock()
{
    Uint32 start = SDL_GetTicks();
    while (scene8->active.load(relaxed) == 1) {
        Sint32 elapsed = (Sint32)(SDL_GetTicks() - start);
        scene8->position.store((float)(elapsed / (double)duration_ms.load(relaxed) * 1000.0), relaxed);
        if (elapsed > duration_ms.load(relaxed) || show->running.load(relaxed) == 0)
            scene8->active.store(0, relaxed);
        SDL_Delay(5);
    }
}

void test_render()
{
    if (scene8->active.load(relaxed) != 1)
        return;
    while (scene8->active.load(relaxed) == 1) {
        SDL_FillRect(screen, nullptr, 0xFF808080);
        present_frame(9);
        int drawn = frames.fetch_add(1, relaxed) + 1;
        if (drawn == interrupt_after_frames.load(relaxed))
            std::raise(SIGINT);
        SDL_Delay(5);
    }
}

class ThreadedScene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        open_test_screen();
        install_interrupt_handler(handle_sigint);
    }
    static void TearDownTestSuite() { SDL_Quit(); }

    void SetUp() override
    {
        SDL_Event stale;
        while (SDL_PollEvent(&stale)) {
        }
        new_bare_records();
        transition_id = 0;
        show->running.store(1);
        scene8->active.store(1);
        frames = 0;
        interrupt_after_frames = -1;
    }
    void TearDown() override
    {
        end_running();
        teardown_scenes();
    }

    // Runs the test scene through the driver; gives its wall-clock time in ms.
    static Uint32 drive(int scene_ms, bool render_first = false)
    {
        duration_ms = scene_ms;
        Uint32 start = SDL_GetTicks();
        drive_scene(test_clock, test_render, scene8->active, render_first);
        return SDL_GetTicks() - start;
    }

    static void push_key(SDLKey key)
    {
        SDL_Event e = {};
        e.type = SDL_KEYDOWN;
        e.key.type = SDL_KEYDOWN;
        e.key.state = SDL_PRESSED;
        e.key.keysym.sym = key;
        ASSERT_EQ(SDL_PushEvent(&e), 0);
    }
};

} // namespace

TEST_F(ThreadedScene, RunsForItsDurationAndJoins)
{
    Uint32 took = drive(400);
    EXPECT_GE(took, 400u);
    EXPECT_LT(took, 2000u);
    EXPECT_EQ(scene8->active.load(), 0);
    EXPECT_GE(scene8->position.load(), 1000.0f);   // the last pass may overshoot a little
    EXPECT_GT(frames.load(), 10);
    EXPECT_EQ(show->running.load(), 1);            // the show goes on to the next scene
    EXPECT_FALSE(scene_thread_failed());
}

TEST_F(ThreadedScene, EscapeBehindTenEventsTakesAQuarterSecond)
{
    for (int i = 0; i < 10; ++i)
        push_key(SDLK_SPACE);
    push_key(SDLK_ESCAPE);
    Uint32 took = drive(20000, true);   // (render thread started first, as scene 3 does)
    EXPECT_GE(took, 250u);   // one event per 25 ms
    EXPECT_LT(took, 1500u);
    EXPECT_EQ(show->running.load(), 0);
}

TEST_F(ThreadedScene, InterruptFromAnotherThreadEndsTheScene)
{
    begin_running(show);          // from here on an interrupt clears running
    interrupt_after_frames = 5;   // raised on the render thread
    Uint32 took = drive(20000);
    EXPECT_LT(took, 1500u);
    EXPECT_EQ(show->running.load(), 0);
    EXPECT_EQ(scene8->active.load(), 0);
    EXPECT_GE(frames.load(), 5);
}

TEST(Sleeps, NeverEndBeforeTheirTimeAndTheRenderSleepEndsOnceInactive)
{
    // The render sleep finishes its last millisecond by a finer sleep: that
    // part must round up, never down, whatever is left of the time.
    using clock = std::chrono::steady_clock;
    auto taken = [](auto &&sleep) {
        auto start = clock::now();
        sleep();
        return clock::now() - start;
    };
    std::atomic<uint8_t> active{1};
    for (int round = 0; round < 20; ++round) {
        for (int ms : {1, 2, 5})
            EXPECT_GE(taken([&] { sleep_while_active(ms, active); }), std::chrono::milliseconds(ms));
        for (long us : {1L, 250L, 999L, 1500L})
            EXPECT_GE(taken([&] { sleep_microseconds(us); }), std::chrono::microseconds(us));
    }
    active = 0;
    EXPECT_LT(taken([&] { sleep_while_active(50, active); }), std::chrono::milliseconds(50));
}

// The viewer's ways to end the show: Escape, the window's close event and
// the stop signals; and the one command-line argument.
#include <gtest/gtest.h>
#include <csignal>
#include <cstdlib>
#include <initializer_list>
#include <vector>
#include "shell.h"

namespace {

class PollInputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0); }
    static void TearDownTestSuite() { SDL_Quit(); }

    void SetUp() override
    {
        SDL_Event stale;
        while (SDL_PollEvent(&stale)) {
        }
        show = new ShowState();
        show->running.store(1);
    }
    void TearDown() override
    {
        delete show;
        show = nullptr;
    }

    static void push_key(Uint8 type, SDLKey key)
    {
        SDL_Event e = {};
        e.type = type;
        e.key.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = key;
        ASSERT_EQ(SDL_PushEvent(&e), 0);
    }
    static void push_type(Uint8 type)
    {
        SDL_Event e = {};
        e.type = type;
        ASSERT_EQ(SDL_PushEvent(&e), 0);
    }
};

} // namespace

TEST_F(PollInputTest, EscapeEitherWayOrQuitStopsTheShow)
{
    push_key(SDL_KEYDOWN, SDLK_ESCAPE);
    poll_input();
    EXPECT_EQ(show->running.load(), 0);
    show->running.store(1);
    push_key(SDL_KEYUP, SDLK_ESCAPE);
    poll_input();
    EXPECT_EQ(show->running.load(), 0);
    show->running.store(1);
    push_type(SDL_QUIT);
    poll_input();
    EXPECT_EQ(show->running.load(), 0);
}

TEST_F(PollInputTest, OtherEventsAreDropped)
{
    push_key(SDL_KEYDOWN, SDLK_SPACE);
    push_key(SDL_KEYUP, SDLK_q);
    push_type(SDL_MOUSEMOTION);
    push_type(SDL_ACTIVEEVENT);
    for (int i = 0; i < 4; ++i)
        poll_input();
    EXPECT_EQ(show->running.load(), 1);
    SDL_Event left;
    EXPECT_EQ(SDL_PollEvent(&left), 0);   // each was taken, not left queued
}

TEST_F(PollInputTest, TakesOneEventPerCall)
{
    push_key(SDL_KEYDOWN, SDLK_a);
    push_key(SDL_KEYDOWN, SDLK_b);
    push_key(SDL_KEYDOWN, SDLK_ESCAPE);
    poll_input();
    poll_input();
    EXPECT_EQ(show->running.load(), 1);
    poll_input();
    EXPECT_EQ(show->running.load(), 0);
}

// The interrupt's bookkeeping lives for the whole process, so each case runs
// in a child process of its own.
TEST(InterruptTest, DuringASceneClearsRunning)
{
    EXPECT_EXIT(
        {
            ShowState state{};
            install_interrupt_handler(handle_sigint);
            begin_running(&state);
            if (state.running.load() != 1)
                std::_Exit(2);
            std::raise(SIGINT);
            std::_Exit(state.running.load() == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(InterruptTest, BeforeTheShowExistsIsRememberedAndEndsItAtOnce)
{
    EXPECT_EXIT(
        {
            ShowState untouched{};
            untouched.running.store(7);
            show = &untouched;           // a record exists, but was not handed over
            install_interrupt_handler(handle_sigint);
            std::raise(SIGINT);
            if (untouched.running.load() != 7)
                std::_Exit(1);           // the handler touched a record it was not given
            ShowState state{};
            begin_running(&state);       // start-up reaches the first scene
            std::_Exit(state.running.load() == 0 ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

// Once the show is over only the shutdown is left, and a stop signal (a
// viewer's second Ctrl-C, or SIGTERM) must end a shutdown that hangs: at
// once, with the shell's status for the signal, touching no record.
TEST(InterruptTest, AfterShutdownBeginsAStopSignalEndsTheProgramAtOnce)
{
    for (int signal_number : {SIGINT, SIGTERM}) {
        EXPECT_EXIT(
            {
                ShowState state{};
                install_interrupt_handler(handle_sigint);
                install_termination_handler(handle_sigint);
                begin_running(&state);
                end_running();
                std::raise(signal_number);
                std::_Exit(1);   // not reached when the signal ends the program
            },
            ::testing::ExitedWithCode(128 + signal_number), "")
            << "signal " << signal_number;
    }
}

TEST(VideoModeFlags, WindowOnlyForExactlyWindow)
{
    auto flags = [](std::initializer_list<const char *> arguments) {
        std::vector<char *> argv;
        for (const char *a : arguments)
            argv.push_back(const_cast<char *>(a));
        return video_mode_flags((int)argv.size(), argv.data());
    };
    EXPECT_EQ(flags({"lanternfay", "window"}), 0u);
    EXPECT_EQ(flags({"lanternfay", "window", "extra"}), 0u);   // later arguments ignored
    EXPECT_EQ(flags({"lanternfay"}), (uint32_t)SDL_FULLSCREEN);
    EXPECT_EQ(flags({"lanternfay", "Window"}), (uint32_t)SDL_FULLSCREEN);
    EXPECT_EQ(flags({"lanternfay", "WINDOW"}), (uint32_t)SDL_FULLSCREEN);
    EXPECT_EQ(flags({"lanternfay", "windowed"}), (uint32_t)SDL_FULLSCREEN);
    EXPECT_EQ(flags({"lanternfay", "win"}), (uint32_t)SDL_FULLSCREEN);
    EXPECT_EQ(flags({"lanternfay", ""}), (uint32_t)SDL_FULLSCREEN);
    EXPECT_EQ(flags({"lanternfay", "full", "window"}), (uint32_t)SDL_FULLSCREEN);
}

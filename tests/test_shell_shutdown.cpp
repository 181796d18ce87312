// The shutdown with real sound: whatever the music is doing when the show
// ends, shutting down returns promptly.
#include <gtest/gtest.h>
#include <SDL_mixer.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include "shell.h"
#ifndef _WIN32
#include <unistd.h>
#endif

#ifndef _WIN32   // SDL's disk driver and a child per case: a POSIX test
namespace {

// SDL's disk driver at the pace of a real device: one 2048-frame buffer
// (46 ms at 44100 Hz) per 46 ms, so a fade advances as it would in the show.
void play_on_a_real_paced_device()
{
    SDL_putenv(const_cast<char *>("SDL_AUDIODRIVER=disk"));
    SDL_putenv(const_cast<char *>("SDL_DISKAUDIODELAY=46"));
    static char file[64];
    std::snprintf(file, sizeof file, "SDL_DISKAUDIOFILE=shutdown_test_%d.raw", (int)getpid());
    SDL_putenv(file);
}

} // namespace

// The viewer stops the show while the last scene's music fades out: freeing
// a fading music waits for the fade, and a paused one never gets there.
TEST(Shutdown, DuringTheMusicFadeReturnsWithinASecond)
{
    EXPECT_EXIT(
        {
            play_on_a_real_paced_device();
            if (!show_start_up(0, START_WITH_MUSIC) || !show_music())
                std::_Exit(2);
            show_start_music();
            SDL_Delay(300);
            Mix_FadeOutMusic(1300);   // as the last scene asks
            SDL_Delay(200);
            signal(SIGALRM, SIG_DFL);   // SDL's start-up leaves it ignored
            alarm(5);                   // a hang fails the case, not the whole run
            auto before = std::chrono::steady_clock::now();
            show_shut_down();
            auto took = std::chrono::steady_clock::now() - before;
            std::remove(std::getenv("SDL_DISKAUDIOFILE"));
            std::_Exit(took < std::chrono::seconds(1) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

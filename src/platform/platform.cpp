// platform.cpp — the interrupt signal, the working directory, sleeping, the
// message streams and the video flags, on POSIX and on Windows.
#include "platform.h"
#include <SDL.h>
#include <csignal>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <windows.h>

bool working_directory(char *buffer, size_t size)
{
    return _getcwd(buffer, (int)size) != nullptr;
}

void join_message_streams()
{
    std::fflush(stdout);
    std::fflush(stderr);
    // Windows' C library has no line buffering (it buffers fully instead):
    // unbuffered, a message is in the file as soon as it is written, even
    // when the program then ends at once.
    setvbuf(stdout, nullptr, _IONBF, 0);
    const int out = _fileno(stdout);
    if (out >= 0)
        _dup2(out, _fileno(stderr));   // fails harmlessly when there is no stdout
}

bool is_terminal(FILE *stream)
{
    return _isatty(_fileno(stream)) != 0;
}

void sleep_microseconds(long microseconds)
{
    if (microseconds > 0)
        SDL_Delay(static_cast<Uint32>((microseconds + 999) / 1000));
}

uint32_t video_mode_flags(int, char **)
{
    return SDL_FULLSCREEN | SDL_HWSURFACE;
}

long random()
{
    return rand();
}

void srandom(unsigned int seed)
{
    srand(seed);
}

void exit_at_once(int status, void (*last)())
{
    last();
    _exit(status);
}

#else
#include <cerrno>
#include <ctime>
#include <unistd.h>

namespace {

volatile sig_atomic_t status_at_alarm = 1;

void exit_on_alarm(int)
{
    _exit(status_at_alarm);
}

} // namespace

void exit_at_once(int status, void (*last)())
{
    status_at_alarm = status;
    signal(SIGALRM, exit_on_alarm);
    alarm(1);
    last();
    _exit(status);
}

bool working_directory(char *buffer, size_t size)
{
    return getcwd(buffer, size) != nullptr;   // fails with ERANGE rather than overflow
}

void join_message_streams() {}

bool is_terminal(FILE *stream)
{
    return isatty(fileno(stream)) != 0;
}

void sleep_microseconds(long microseconds)
{
    if (microseconds <= 0)
        return;
    timespec left{microseconds / 1000000, (microseconds % 1000000) * 1000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

uint32_t video_mode_flags(int argc, char **argv)
{
    if (argc > 1 && strcmp(argv[1], "window") == 0)
        return 0;
    return SDL_FULLSCREEN;
}
#endif

void prefer_display_settings()
{
    // putenv keeps the strings themselves, hence static.
    static char renderer[] = "SDL_RENDER_DRIVER=software";
    static char framebuffer[] = "SDL_FRAMEBUFFER_ACCELERATION=0";
    if (!std::getenv("SDL_RENDER_DRIVER"))
        SDL_putenv(renderer);
    if (!std::getenv("SDL_FRAMEBUFFER_ACCELERATION"))
        SDL_putenv(framebuffer);
}

void install_interrupt_handler(void (*handler)(int))
{
    signal(SIGINT, handler);
}

void install_termination_handler(void (*handler)(int))
{
    signal(SIGTERM, handler);
}

// platform.h — the only place that talks to the operating system directly:
// threads (thread.h), the interrupt signal, the working directory and the
// few choices that differ between Linux and Windows. This folder holds every
// #ifdef _WIN32 of the program (and this header the one declaration it
// needs). The browser's display and sound, which need the shell's records,
// are the shell's platform_web.*.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include "thread.h"

// Installs handler for the interrupt signal (SIGINT).
void install_interrupt_handler(void (*handler)(int));
// Installs handler for the termination signal (SIGTERM).
void install_termination_handler(void (*handler)(int));
// Ends the process at once with status, from a signal handler: runs last()
// first (giving the display back, say), then leaves without running exit
// handlers or destructors. On POSIX last() gets one second: one that hangs
// (it may need a lock the interrupted thread holds) is cut short.
[[noreturn]] void exit_at_once(int status, void (*last)());
// Sleeps at least `microseconds` (at most a million), as closely as the
// system allows: to the microsecond on POSIX, where a millisecond sleep of
// SDL's overshoots by a tenth or so; in whole milliseconds on Windows.
void sleep_microseconds(long microseconds);
// Whether stream writes to a terminal (progress can then be redrawn in place).
bool is_terminal(FILE *stream);
// Puts every message of the program in one place. On Windows SDL's start-up
// has already sent standard output to stdout.txt and standard error to
// stderr.txt beside the program: standard error then goes to stdout.txt
// too, both unbuffered, so the file holds them in the order they were
// written (and stderr.txt, left empty, is removed at exit). Elsewhere the
// two streams stay as they are.
void join_message_streams();
// Writes the working directory into buffer; false when it cannot be read or does not fit.
bool working_directory(char *buffer, size_t size);
#ifdef _WIN32
// Windows' C library has no random(): there it draws from rand(), so the two
// still share one sequence as in the GNU C library (values 0..32767), and
// srandom() seeds that sequence.
long random();
void srandom(unsigned int seed);
#endif
#ifdef __EMSCRIPTEN__
// The browser: copies the display surface into the canvas's byte order and
// puts it on the page (platform_web.cpp), once per animation frame.
void web_show_display();
#endif
// Call before SDL_Init. Every pixel of the display is the show's own (the
// raster library scales the frame itself), so an SDL 1.2 that presents
// through SDL2's renderer (sdl12-compat) is asked only to copy them: SDL2's
// software renderer onto the window's own framebuffer, instead of a texture
// drawn by the graphics driver, which without a graphics card (a software
// OpenGL) costs ten times as much a frame at 1080p. A setting the user has
// made is left as it is; classic SDL 1.2 reads neither.
void prefer_display_settings();
// The SDL_SetVideoMode flags for this command line: a window (0) when the first
// argument is exactly "window", full screen otherwise. Windows always gets
// full screen on a hardware surface and ignores the arguments.
uint32_t video_mode_flags(int argc, char **argv);

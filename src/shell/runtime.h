// runtime.h — the driver every scene runs on: its clock and render
// threads, the input poll, and the stop signals that end the show in order
// (runtime.cpp).
#pragma once
#include <atomic>
#include <cstdint>
#include "show.h"

// The last event poll_input took (main thread only).
extern SDL_Event event;

// Takes at most one pending SDL event; Escape (press or release) or a quit
// event clears show->running. Every other event is dropped.
void poll_input();
// The driver pattern: starts clock then render (render first when
// render_first), polls input every 25 ms while active is 1 (and looks at
// active every 5 ms), joins both.
// Only the clock writes active, except when a thread cannot be started: then
// the driver reports it, ends the show and, without a clock, clears active itself.
void drive_scene(void (*clock)(), void (*render)(), std::atomic<uint8_t> &active, bool render_first = false);
// The render thread's sleep: `ms` milliseconds, cut short when active drops,
// so that a finished scene's thread can be joined at once. Nothing is drawn
// after the cut, so only the join comes sooner.
void sleep_while_active(int ms, const std::atomic<uint8_t> &active);
// True once a scene thread could not be started, or ended by an exception
// (an allocation failure, say): the program then exits with 255.
bool scene_thread_failed();

// The handler of the stop signals (SIGINT and SIGTERM): clears running of
// the ShowState that begin_running handed over. Before that there is no
// record to touch; the interrupt is remembered instead and begin_running
// applies it. After end_running the show is over and only the shutdown is
// left: a stop signal then ends the program at once, with status 128 + the
// signal's number (130, 143), after giving the display back.
void handle_sigint(int signal_number);
// Sets state->running to 1 and lets handle_sigint clear it from now on. An
// interrupt remembered from earlier in start-up clears it again at once, so
// no scene starts.
void begin_running(ShowState *state);
// Stops handle_sigint touching the ShowState; call before it is freed. From
// here on a stop signal ends the program at once (until the next begin_running).
void end_running();

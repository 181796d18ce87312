// runtime.cpp — the scene driver pattern, the viewer's input and the interrupt.
#include "shell.h"
#include "platform.h"
#include <chrono>
#include <cstdio>

static_assert(std::atomic<uint8_t>::is_always_lock_free,
              "handle_sigint stores running from signal context: only a lock-free atomic is safe there");
static_assert(std::atomic<ShowState *>::is_always_lock_free, "handle_sigint reads its target from signal context");

namespace {

// What handle_sigint may touch: NULL until begin_running, and again from
// end_running on, so an interrupt never reaches a record that is not there.
std::atomic<ShowState *> interrupt_target{nullptr};
// Set by every interrupt; begin_running looks at it for those that came
// while there was no record yet.
std::atomic<uint8_t> interrupt_seen{0};
// 1 from end_running: the show is over, and a stop signal that comes during
// the shutdown (which a library may drag out) ends the program instead.
std::atomic<uint8_t> shutting_down{0};

// Set by the main thread when a thread cannot start, or by a scene thread
// that ended by an exception.
std::atomic<uint8_t> thread_failed{0};

constexpr int INPUT_POLL_MS = 25;
constexpr int ACTIVE_CHECK_MS = 1;

// A scene thread whose entry ended by an exception (what is NULL for an
// allocation failure) stops the show in order.
void scene_thread_ended(const char *what)
{
    // printf is safe here: this is an ordinary thread, not a signal handler.
    if (what)
        std::printf("A scene failed (%s); the show ends here.\n", what);
    else
        std::printf("Not enough memory to go on with the show; it ends here.\n");
    std::fflush(stdout);
    thread_failed.store(1, relaxed);
    if (show)
        show->running.store(0, relaxed);   // the other thread ends on its next pass
}

} // namespace

void handle_sigint(int signal_number)
{
    if (shutting_down.load(relaxed))
        exit_at_once(128 + signal_number, show_restore_display_at_once);
    interrupt_seen.store(1, relaxed);
    ShowState *state = interrupt_target.load(relaxed);
    if (state)
        state->running.store(0, relaxed);
}

void begin_running(ShowState *state)
{
    shutting_down.store(0, relaxed);
    state->running.store(1, relaxed);
    interrupt_target.store(state, relaxed);
    // Checked after the target is set: an interrupt from here on clears running
    // itself, one from before is found here.
    if (interrupt_seen.load(relaxed))
        state->running.store(0, relaxed);
}

void end_running()
{
    interrupt_target.store(nullptr, relaxed);
    shutting_down.store(1, relaxed);
}

void poll_input()
{
    if (!SDL_PollEvent(&event))
        return;
    bool escape = (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) && event.key.keysym.sym == SDLK_ESCAPE;
    if (escape || event.type == SDL_QUIT)
        show->running.store(0, relaxed);
}

void drive_scene(void (*clock)(), void (*render)(), std::atomic<uint8_t> &active, bool render_first)
{
    ThreadHandle *clock_thread, *render_thread;
    if (render_first) {
        render_thread = thread_start(render, scene_thread_ended);
        clock_thread = thread_start(clock, scene_thread_ended);
    } else {
        clock_thread = thread_start(clock, scene_thread_ended);
        render_thread = thread_start(render, scene_thread_ended);
    }
    if (!clock_thread || !render_thread) {
        // Without both threads the scene would either never end or never be
        // seen; the show stops in the same orderly way as after Escape.
        std::printf("A scene thread could not be started; the show ends here.\n");
        std::fflush(stdout);
        thread_failed.store(1, relaxed);
        show->running.store(0, relaxed);   // a clock that did start ends on its next pass
        if (!clock_thread)
            active.store(0, relaxed);      // no clock will ever clear it
    }
    // Input is looked at every 25 ms, one event at a time; the end of the
    // scene every millisecond, so that the next one starts close to its
    // place on the timeline instead of up to a polling period late.
    for (int slept_ms = 0; active.load(relaxed) == 1; slept_ms += ACTIVE_CHECK_MS) {
        if (thread_failed.load(relaxed)) {
            // A clock that died would never clear active; a render thread
            // still looping on it must see it cleared to end.
            active.store(0, relaxed);
            break;
        }
        if (slept_ms % INPUT_POLL_MS == 0)
            poll_input();
        SDL_Delay(ACTIVE_CHECK_MS);
    }
    thread_join(clock_thread);
    thread_join(render_thread);
}

void sleep_while_active(int ms, const std::atomic<uint8_t> &active)
{
    // A millisecond at a time, to see active drop; the last part to the
    // microsecond, since each SDL_Delay(1) runs over by about a tenth and
    // five of them would cut the frame rate by some 5 %.
    using namespace std::chrono;
    const auto until = steady_clock::now() + milliseconds(ms);
    while (active.load(relaxed) == 1) {
        auto left = until - steady_clock::now();
        if (left <= steady_clock::duration::zero())
            return;
        if (left >= milliseconds(1))
            SDL_Delay(1);
        else
            sleep_microseconds(static_cast<long>(ceil<microseconds>(left).count()));
    }
}

bool scene_thread_failed()
{
    return thread_failed.load(relaxed) != 0;
}

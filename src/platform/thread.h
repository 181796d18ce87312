// thread.h — the one way the show starts a thread, on every target: POSIX
// threads, Windows' own, and none in the browser (there a start gives NULL
// and the caller does without). The scenes' clock and render threads, a
// frame's worker (frame_share.h) and the capture tool's encoder all start here.
//
// Must stay true: an exception never leaves a thread's entry to reach
// std::terminate unannounced; it goes to the failure handler the starter
// gave, on the failing thread, and the thread ends.
#pragma once

struct ThreadHandle;

// Called on a thread whose entry ended by an exception, with its text (NULL
// for an allocation failure). NULL: say so on standard error and abort, as
// an uncaught exception would, but naming it.
using ThreadFailure = void (*)(const char *what);

// Starts a thread with default attributes running entry(argument). NULL when
// the system cannot start one (the caller decides what that means).
ThreadHandle *thread_start(void (*entry)(void *), void *argument, ThreadFailure on_failure = nullptr);
// The same for an entry that takes nothing.
ThreadHandle *thread_start(void (*entry)(), ThreadFailure on_failure = nullptr);
// Waits without limit for the thread to end, releases it and frees handle.
// A NULL handle (a thread that never started) is ignored.
void thread_join(ThreadHandle *handle);

// thread.cpp — starting and joining threads on POSIX and on Windows (the
// rules are in thread.h). The browser build has no threads: its pthread_create
// fails, so thread_start gives NULL there.
#include "thread.h"
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

struct ThreadHandle {
#ifdef _WIN32
    HANDLE handle;
    DWORD id;
#else
    pthread_t id;
#endif
    void (*entry)(void *);
    void *argument;
    void (*plain_entry)();   // for the form without an argument
    ThreadFailure on_failure;
};

namespace {

void report_failure(const ThreadHandle &thread, const char *what)
{
    if (thread.on_failure) {
        thread.on_failure(what);
        return;
    }
    std::fprintf(stderr, "A thread ended by an exception (%s).\n", what ? what : "out of memory");
    std::abort();
}

// Every thread passes through here: an allocation failure (or any other
// exception) goes to the starter's handler, which for a scene ends the show
// in order instead of taking the program down.
void run_entry(const ThreadHandle &thread)
{
    try {
        if (thread.plain_entry)
            thread.plain_entry();
        else
            thread.entry(thread.argument);
    } catch (const std::bad_alloc &) {
        report_failure(thread, nullptr);
    } catch (const std::exception &error) {
        report_failure(thread, error.what());
    }
}

#ifdef _WIN32
DWORD WINAPI thread_trampoline(LPVOID argument)
{
    run_entry(*static_cast<ThreadHandle *>(argument));
    return 0;
}
#else
void *thread_trampoline(void *argument)
{
    run_entry(*static_cast<ThreadHandle *>(argument));
    return nullptr;
}
#endif

ThreadHandle *start(ThreadHandle init)
{
    ThreadHandle *thread = new (std::nothrow) ThreadHandle(init);
    if (!thread)
        return nullptr;
#ifdef _WIN32
    thread->handle = CreateThread(nullptr, 0, thread_trampoline, thread, 0, &thread->id);
    const bool started = thread->handle != nullptr;
#else
    const bool started = pthread_create(&thread->id, nullptr, thread_trampoline, thread) == 0;
#endif
    if (!started) {
        delete thread;
        return nullptr;
    }
    return thread;
}

} // namespace

ThreadHandle *thread_start(void (*entry)(void *), void *argument, ThreadFailure on_failure)
{
    ThreadHandle init{};
    init.entry = entry;
    init.argument = argument;
    init.on_failure = on_failure;
    return start(init);
}

ThreadHandle *thread_start(void (*entry)(), ThreadFailure on_failure)
{
    ThreadHandle init{};
    init.plain_entry = entry;
    init.on_failure = on_failure;
    return start(init);
}

void thread_join(ThreadHandle *thread)
{
    if (!thread)
        return;
#ifdef _WIN32
    WaitForSingleObject(thread->handle, INFINITE);
    CloseHandle(thread->handle);
#else
    pthread_join(thread->id, nullptr);
#endif
    delete thread;
}

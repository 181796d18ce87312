// platform.h — the only place that talks to the operating system directly:
// threads, the interrupt signal and the working directory. platform.cpp has
// the one #ifdef _WIN32 of the program.
#pragma once
#include <cstddef>

// A started thread; made by thread_start, freed by thread_join.
struct ThreadHandle;

// Starts a thread with default attributes running entry(); never NULL.
ThreadHandle *thread_start(void (*entry)());
// Waits without limit for the thread to end, releases it and frees handle.
void thread_join(ThreadHandle *handle);
// Installs handler for the interrupt signal (SIGINT).
void install_interrupt_handler(void (*handler)(int));
// Writes the working directory into buffer; false when it cannot be read or does not fit.
bool working_directory(char *buffer, size_t size);

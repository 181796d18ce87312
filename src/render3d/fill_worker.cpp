// fill_worker.cpp — the fill's worker thread, over SDL's threads and
// semaphores, so that it builds wherever SDL does. Where no thread can be
// had (the browser build's SDL makes none) fill_worker_start gives NULL.
#include "fill_frame.h"
#include <SDL.h>
#include <atomic>
#include <chrono>
#include <new>

struct FillWorker {
    SDL_Thread *thread;
    SDL_sem *job_given, *job_done;
    // Written by the caller before it offers the job, read by the worker
    // once it has taken it: the offer's release and the take's acquire
    // order them.
    void (*job)(void *);
    void *argument;
    std::atomic<bool> stopping;
    // The job on offer (its number), or 0. Whichever side exchanges it
    // for 0 first does the job: the worker when it is running, the caller
    // when the worker has not got the processor yet.
    std::atomic<uint32_t> offered;
    uint32_t last_number;
    // The number of the last job the worker finished: its release orders the
    // job's writes before the caller's acquire.
    std::atomic<uint32_t> finished;
};

namespace {

// A wait that a signal cuts short is waited again.
void wait_on(SDL_sem *semaphore)
{
    while (SDL_SemWait(semaphore) != 0) {
    }
}

// A frame hands the worker several jobs in a row and then waits for each,
// and a thread asleep on a semaphore can take a tenth of a millisecond or
// more to get a processor back (far more in a virtual machine, whose idle
// processor halts): long enough that the caller took most jobs back and the
// worker idled. So each side first watches for what it waits for, up to this
// long, and only then sleeps. Between frames the worker soon sleeps.
constexpr auto WATCH_FOR = std::chrono::microseconds(1500);

// Watches until ready() holds or WATCH_FOR has passed; whether it held.
template <typename Ready>
bool watch_for(Ready ready)
{
    const auto until = std::chrono::steady_clock::now() + WATCH_FOR;
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            if (ready())
                return true;
            pause_briefly();
        }
        if (std::chrono::steady_clock::now() >= until)
            return ready();
    }
}

int worker_loop(void *data)
{
    FillWorker &worker = *static_cast<FillWorker *>(data);
    for (;;) {
        // Each offer posts once, and is waited for once whether or not it
        // was seen coming.
        watch_for([&] {
            return worker.offered.load(std::memory_order_relaxed) != 0 || worker.stopping.load(std::memory_order_relaxed);
        });
        wait_on(worker.job_given);
        if (worker.stopping.load(std::memory_order_relaxed))
            return 0;
        // A wake-up for a job that the caller took back finds nothing.
        uint32_t number = worker.offered.exchange(0, std::memory_order_acquire);
        if (number == 0)
            continue;
        worker.job(worker.argument);
        worker.finished.store(number, std::memory_order_release);
        SDL_SemPost(worker.job_done);
    }
}

void release(FillWorker *worker)
{
    if (worker->job_given)
        SDL_DestroySemaphore(worker->job_given);
    if (worker->job_done)
        SDL_DestroySemaphore(worker->job_done);
    delete worker;
}

} // namespace

FillWorker *fill_worker_start()
{
    FillWorker *worker = new (std::nothrow) FillWorker{nullptr, nullptr, nullptr, nullptr, nullptr, {false}, {0}, 0, {0}};
    if (!worker)
        return nullptr;
    worker->job_given = SDL_CreateSemaphore(0);
    worker->job_done = SDL_CreateSemaphore(0);
    if (worker->job_given && worker->job_done)
        worker->thread = SDL_CreateThread(worker_loop, worker);
    if (!worker->thread) {
        release(worker);
        return nullptr;
    }
    return worker;
}

void fill_worker_offer(FillWorker *worker, void (*job)(void *), void *argument)
{
    worker->job = job;
    worker->argument = argument;
    if (++worker->last_number == 0)
        worker->last_number = 1;   // 0 means nothing on offer
    worker->offered.store(worker->last_number, std::memory_order_release);
    SDL_SemPost(worker->job_given);
}

bool fill_worker_finish(FillWorker *worker)
{
    if (worker->offered.exchange(0, std::memory_order_relaxed) != 0)
        return false;   // not taken: the caller does it
    const uint32_t number = worker->last_number;
    watch_for([&] { return worker->finished.load(std::memory_order_acquire) == number; });
    wait_on(worker->job_done);
    return true;
}

void fill_worker_stop(FillWorker *worker)
{
    if (!worker)
        return;
    worker->stopping.store(true, std::memory_order_relaxed);
    SDL_SemPost(worker->job_given);
    SDL_WaitThread(worker->thread, nullptr);
    release(worker);
}

// frame_share.cpp — the frame's worker thread and the items both threads
// take (the rules are in frame_share.h).
//
// The worker is started by thread.h and sleeps on SDL's semaphores, which
// every target has; where no thread can be had (the browser build)
// frame_worker_start gives NULL. Must stay true: a job is done exactly once,
// by whichever side exchanges its number for 0 first, and its writes are
// ordered before the other side's next look (release and acquire).
#include "frame_share.h"
#include "thread.h"
#include <SDL.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <new>

struct FrameWorker {
    ThreadHandle *thread;
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

void worker_loop(void *data)
{
    FrameWorker &worker = *static_cast<FrameWorker *>(data);
    for (;;) {
        // Each offer posts once, and is waited for once whether or not it
        // was seen coming.
        watch_for([&] {
            return worker.offered.load(std::memory_order_relaxed) != 0 || worker.stopping.load(std::memory_order_relaxed);
        });
        wait_on(worker.job_given);
        if (worker.stopping.load(std::memory_order_relaxed))
            return;
        // A wake-up for a job that the caller took back finds nothing.
        uint32_t number = worker.offered.exchange(0, std::memory_order_acquire);
        if (number == 0)
            continue;
        worker.job(worker.argument);
        worker.finished.store(number, std::memory_order_release);
        SDL_SemPost(worker.job_done);
    }
}

void release(FrameWorker *worker)
{
    if (worker->job_given)
        SDL_DestroySemaphore(worker->job_given);
    if (worker->job_done)
        SDL_DestroySemaphore(worker->job_done);
    delete worker;
}

} // namespace

FrameWorker *frame_worker_start()
{
    FrameWorker *worker = new (std::nothrow) FrameWorker{nullptr, nullptr, nullptr, nullptr, nullptr, {false}, {0}, 0, {0}};
    if (!worker)
        return nullptr;
    worker->job_given = SDL_CreateSemaphore(0);
    worker->job_done = SDL_CreateSemaphore(0);
    if (worker->job_given && worker->job_done)
        worker->thread = thread_start(worker_loop, worker);
    if (!worker->thread) {
        release(worker);
        return nullptr;
    }
    return worker;
}

void frame_worker_offer(FrameWorker *worker, void (*job)(void *), void *argument)
{
    worker->job = job;
    worker->argument = argument;
    if (++worker->last_number == 0)
        worker->last_number = 1;   // 0 means nothing on offer
    worker->offered.store(worker->last_number, std::memory_order_release);
    SDL_SemPost(worker->job_given);
}

bool frame_worker_finish(FrameWorker *worker)
{
    if (worker->offered.exchange(0, std::memory_order_relaxed) != 0)
        return false;   // not taken: the caller does it
    const uint32_t number = worker->last_number;
    watch_for([&] { return worker->finished.load(std::memory_order_acquire) == number; });
    wait_on(worker->job_done);
    return true;
}

void frame_worker_stop(FrameWorker *worker)
{
    if (!worker)
        return;
    worker->stopping.store(true, std::memory_order_relaxed);
    SDL_SemPost(worker->job_given);
    thread_join(worker->thread);
    release(worker);
}

void items_open(ItemRange &range, int first, int end)
{
    range.left.store((static_cast<uint32_t>(first) << 16) | static_cast<uint32_t>(end), std::memory_order_relaxed);
    range.undone.store(end - first, std::memory_order_relaxed);
}

bool items_take(ItemRange &range, bool from_front, int most, int &begin, int &end)
{
    uint32_t left = range.left.load(std::memory_order_relaxed);
    for (;;) {
        const uint32_t first = left >> 16, last = left & 0xFFFFu;
        if (first >= last)
            return false;
        const uint32_t count = std::min(static_cast<uint32_t>(most), last - first);
        const uint32_t rest = from_front ? ((first + count) << 16) | last : (first << 16) | (last - count);
        if (range.left.compare_exchange_weak(left, rest, std::memory_order_relaxed)) {
            begin = static_cast<int>(from_front ? first : last - count);
            end = begin + static_cast<int>(count);
            return true;
        }
    }
}

bool items_done(ItemRange &range, int count)
{
    return range.undone.fetch_sub(count, std::memory_order_acq_rel) == count;
}

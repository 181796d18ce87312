// The frame share's hand-offs, every case in one place (CI runs it under
// ThreadSanitizer): a job taken by the worker or taken back, and items taken
// from both ends with the last one's hook.
#include <gtest/gtest.h>
#include <SDL.h>
#include <algorithm>
#include <vector>
#include "frame_share.h"

TEST(FrameShare, EveryJobIsDoneOnceWhetherTheWorkerWatchedForItSleptOrLostIt)
{
    // Jobs offered back to back (the worker watching for the next), after a
    // pause long enough for it to go to sleep, and finished at once (so that
    // the caller often takes the job back). Each job marks its own slot;
    // the worker's marks must be seen once finish says it did the job.
    FrameWorker *worker = frame_worker_start();
    ASSERT_NE(worker, nullptr);
    constexpr int JOBS = 3000;
    std::vector<int> runs(JOBS, 0);
    struct Job {
        int *slot;
    } job{nullptr};
    auto run = [](void *argument) { ++*static_cast<Job *>(argument)->slot; };
    int taken = 0;
    for (int i = 0; i < JOBS; ++i) {
        job.slot = &runs[i];
        frame_worker_offer(worker, run, &job);
        if (i % 500 == 0)
            SDL_Delay(3);   // the worker sleeps on the semaphore
        else if (i % 3 == 0)
            for (volatile int spin = 0; spin < 2000; ++spin) {
            }
        if (frame_worker_finish(worker))
            ++taken;
        else
            run(&job);
        ASSERT_EQ(runs[i], 1) << "job " << i;
    }
    frame_worker_stop(worker);
    EXPECT_GT(taken, 0);
    EXPECT_EQ(std::count(runs.begin(), runs.end(), 1), JOBS);
}

namespace {

// One frame of items shared the way the fill, the warp and the posing share
// theirs: the caller from the front, the worker from the back, each item's
// plain writes its own, and the last item's hook reading them all.
struct SharedItems {
    ItemRange range;
    int most;
    std::vector<int> drawn;    // each item's mark: written by whoever took it
    int hooks = 0;             // written only by the hook
    int sum_seen = 0;          // what the hook read of every item's mark
    int worker_items = 0;      // written only by the worker's part
};

void take_all(SharedItems &items, bool from_front)
{
    for (int begin, end; items_take(items.range, from_front, items.most, begin, end);) {
        ASSERT_LT(begin, end);
        for (int i = begin; i < end; ++i) {
            items.drawn[i] += 1;
            for (volatile int spin = 0; spin < 300; ++spin) {   // an item's work: time for the other to join
            }
        }
        if (!from_front)
            items.worker_items += end - begin;
        if (items_done(items.range, end - begin)) {
            ++items.hooks;
            for (int mark : items.drawn)
                items.sum_seen += mark;
        }
    }
}

} // namespace

TEST(FrameShare, ItemsFromBothEndsAreEachTakenOnceAndTheLastOneRunsTheHookOnce)
{
    // Ranges of one item to many, taken one or several at a time, over many
    // frames on one worker: every item is drawn once, the hook runs once per
    // frame and sees every item drawn, whichever thread finished last, and
    // whether or not the worker got the job.
    FrameWorker *worker = frame_worker_start();
    ASSERT_NE(worker, nullptr);
    const int shapes[][3] = {{0, 1, 1}, {0, 12, 1}, {3, 9, 2}, {0, 256, 24}, {0, 600, 7}};
    auto worker_part = [](void *items) { take_all(*static_cast<SharedItems *>(items), false); };
    int worker_drew = 0;   // frames in which the worker drew items
    for (int frame = 0; frame < 400; ++frame) {
        const int *shape = shapes[frame % 5];
        SharedItems items;
        items.most = shape[2];
        items.drawn.assign(shape[1], 0);
        items_open(items.range, shape[0], shape[1]);
        frame_worker_offer(worker, worker_part, &items);
        take_all(items, true);
        if (frame_worker_finish(worker))
            worker_drew += items.worker_items > 0;
        const int count = shape[1] - shape[0];
        EXPECT_EQ(items.hooks, 1) << "frame " << frame;
        EXPECT_EQ(items.sum_seen, count) << "frame " << frame;
        for (int i = 0; i < shape[1]; ++i)
            ASSERT_EQ(items.drawn[i], i >= shape[0] ? 1 : 0) << "frame " << frame << " item " << i;
        int begin, end;
        EXPECT_FALSE(items_take(items.range, true, 1, begin, end));
    }
    frame_worker_stop(worker);
    EXPECT_GT(worker_drew, 0);
}

// frame_share.h — one way to share a frame's work between two threads: the
// caller and one worker thread (the frame's second drawer).
//
// The threading rules of the show, written once:
// - While a scene runs there are the main thread (input), the scene's clock
//   thread and its render thread (the shell's runtime.h); each 3D scene's
//   world adds one worker, which only that scene's render thread offers jobs
//   to (scene 7's warp shares it too). Every one of them, and the capture
//   tool's encoder, is started by thread.h.
// - Every field shared between threads (show.h's records, the objects'
//   poses) is a std::atomic with relaxed loads and stores and one writer:
//   the clock writes `active`, `position`, the animation fields and the
//   poses; the main thread and the signal handlers `running`; the render
//   thread `flash`, the transition and every surface. Readers take a value
//   one pass old. Nothing waits on anything except the one guard of a
//   world's object list (a clock may add or remove objects while the render
//   thread walks it: render3d.h) and the hand-off here.
// - The hand-off: the render thread offers the worker a job and later
//   finishes it; whatever the render thread wrote before the offer is seen
//   by the job, and whatever the job wrote is seen after a finish that says
//   the worker did it. A job the worker has not begun is taken back and done
//   by the render thread itself, so a busy machine costs no more than
//   drawing alone.
// - Within a job, the two threads take items (bands of rows, rows of the
//   warp, chunks of objects) from the two ends of one ItemRange, so no item
//   is drawn twice and they finish together; items own disjoint pixels, so
//   whichever thread draws an item the picture is the same. items_done
//   tells exactly one of them that the last item is done, with every other
//   item's writes seen: the place for a hook that needs the whole frame.
// - Where no thread can be had (the browser build, whose SDL makes none, or
//   a failed start) frame_worker_start gives NULL and the caller does every
//   item itself, in order: that one-thread path is the plain reference the
//   shared frames are tested against.
#pragma once
#include <atomic>
#include <cstdint>

// ---- The worker ------------------------------------------------------------------

struct FrameWorker;
// A worker thread, asleep until offered a job; NULL where none can be had.
FrameWorker *frame_worker_start();
// Offers job(argument). At most one job is on offer at a time.
void frame_worker_offer(FrameWorker *worker, void (*job)(void *), void *argument);
// True when the worker took the job (it is done on return, its writes seen);
// false when the caller took it back undone (the caller then does it, or
// the part of it that is left, itself).
bool frame_worker_finish(FrameWorker *worker);
// Ends the worker and frees it; no job may be on offer. NULL is allowed.
void frame_worker_stop(FrameWorker *worker);

// ---- Items from both ends -------------------------------------------------------

// Items first .. end - 1 (0 <= first <= end < 65536) not yet taken, and a
// count of those not yet done.
struct ItemRange {
    std::atomic<uint32_t> left{0};   // (first << 16) | end
    std::atomic<int> undone{0};
};
// Opens items first .. end - 1 for taking. Before the offer that shares them.
void items_open(ItemRange &range, int first, int end);
// Takes up to `most` items (most >= 1) from the front (from_front) or the
// back: begin .. end - 1 in ascending order. False when none is left.
bool items_take(ItemRange &range, bool from_front, int most, int &begin, int &end);
// Counts count items as done; true for exactly the call that finishes the
// last, which then sees every item's writes (release and acquire).
bool items_done(ItemRange &range, int count);

// A hint to the processor that this thread is only watching a value.
inline void pause_briefly()
{
#if defined(__i386__) || defined(__x86_64__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

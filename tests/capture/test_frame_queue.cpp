// The ring between the capture's player and its encoder, driven from two
// threads as the capture drives it: every frame arrives once and in order,
// a repeat arrives with the picture before it, the picture the encoder still
// holds is never refilled, and a stopped encoder releases a waiting player.
extern "C" {
#include <libavutil/frame.h>
}
#include <gtest/gtest.h>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>
#include "capture.h"

namespace {

// Small stand-in pictures in `size` slots: the test needs only their first bytes.
void open_small(FrameQueue &queue, int size)
{
    queue.size = size;
    for (int i = 0; i < size; i++) {
        QueuedFrame &slot = queue.slots[i];
        slot.picture = av_frame_alloc();
        ASSERT_NE(slot.picture, nullptr);
        slot.picture->format = AV_PIX_FMT_GRAY8;
        slot.picture->width = 16;
        slot.picture->height = 2;
        ASSERT_GE(av_frame_get_buffer(slot.picture, 0), 0);
    }
}

long long mark_of(const AVFrame *picture)
{
    long long mark = 0;
    std::memcpy(&mark, picture->data[0], sizeof mark);
    return mark;
}

// Frame n repeats the last picture when repeats[n]; otherwise it is a new
// picture marked n.
void play(FrameQueue &queue, const std::vector<bool> &repeats)
{
    for (size_t n = 0; n < repeats.size(); n++) {
        QueuedFrame *frame = frame_queue_next(queue);
        if (!frame)
            return;
        frame->same_picture = repeats[n];
        frame->music_fade_ms = (long long)n;
        if (!repeats[n]) {
            const long long mark = (long long)n;
            std::memcpy(frame->picture->data[0], &mark, sizeof mark);
        }
        frame_queue_put(queue);
    }
    frame_queue_close(queue);
}

}  // namespace

TEST(FrameQueue, DeliversEveryFrameInOrderWithItsPicture)
{
    // Runs of repeats longer than the ring, single repeats, and runs of new pictures.
    std::vector<bool> repeats;
    for (int n = 0; n < 3000; n++)
        repeats.push_back(n > 0 && ((n / 100) % 3 == 1 ? n % 100 != 0 : n % 3 == 2));
    for (int size : {2, FRAME_QUEUE_SLOTS}) {   // the smallest ring and the usual one
        SCOPED_TRACE(size);
        FrameQueue queue;
        open_small(queue, size);
        std::thread player(play, std::ref(queue), std::cref(repeats));
        long long expected_mark = -1, frames = 0;
        bool in_order = true;
        while (QueuedFrame *frame = frame_queue_take(queue)) {
            in_order = in_order && frame->music_fade_ms == frames;
            if (!repeats[frames])
                expected_mark = frames;
            EXPECT_EQ(mark_of(frame->picture), expected_mark) << "frame " << frames;
            // The player runs ahead meanwhile: the picture held must not change under us.
            std::this_thread::sleep_for(std::chrono::microseconds(20));
            EXPECT_EQ(mark_of(frame->picture), expected_mark) << "frame " << frames << " refilled while held";
            if (!in_order || testing::Test::HasFailure())
                break;
            frames++;
        }
        // Drained on a failure too, so that the player can end.
        while (frame_queue_take(queue))
            ;
        player.join();
        EXPECT_TRUE(in_order);
        EXPECT_EQ(frames, (long long)repeats.size());
        frame_queue_free(queue);
    }
}

TEST(FrameQueue, StoppedEncoderReleasesTheWaitingPlayer)
{
    FrameQueue queue;
    open_small(queue, FRAME_QUEUE_SLOTS);
    std::thread player(play, std::ref(queue), std::vector<bool>(10 * FRAME_QUEUE_SLOTS, false));
    for (int n = 0; n < 3; n++)
        EXPECT_NE(frame_queue_take(queue), nullptr);
    frame_queue_stop(queue);
    player.join();   // hangs here if the player waits for room forever
    EXPECT_LE(queue.put, 3 + FRAME_QUEUE_SLOTS);
    frame_queue_free(queue);
}

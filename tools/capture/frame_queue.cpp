// frame_queue.cpp — the bounded ring between the player and the encoder.
//
// Slot i of the ring holds frame put + k where k ≡ i modulo the ring's size.
// The player owns the slots of frames not yet put in; the encoder owns those
// taken but not yet passed (the frames in the queue, and the last one it took,
// whose picture it may still have to send again). The counters, and the swap
// of a repeated frame's picture, change only under the lock.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
}
#include <algorithm>
#include <utility>
#include "capture.h"

namespace {

QueuedFrame &slot_of(FrameQueue &queue, long long frame)
{
    return queue.slots[frame % queue.size];
}

// Slots the player cannot fill: the frames in the queue and the last one taken.
long long slots_in_use(const FrameQueue &queue)
{
    return queue.put - queue.taken + (queue.taken > 0 ? 1 : 0);
}

}  // namespace

bool frame_queue_open(FrameQueue &queue, const VideoOutput &output)
{
    const AVCodecContext *video = output.video;
    const long long bytes = av_image_get_buffer_size(video->pix_fmt, video->width, video->height, 1);
    queue.size = (int)std::clamp<long long>(FRAME_QUEUE_BYTES / std::max(bytes, 1ll), 2, FRAME_QUEUE_SLOTS);
    for (int i = 0; i < queue.size; i++) {
        QueuedFrame &slot = queue.slots[i];
        slot = QueuedFrame{};
        slot.picture = output_new_picture(output);
        if (!slot.picture) {
            frame_queue_free(queue);
            return false;
        }
    }
    return true;
}

QueuedFrame *frame_queue_next(FrameQueue &queue)
{
    std::unique_lock<std::mutex> held(queue.lock);
    queue.room.wait(held, [&] { return queue.stopped || slots_in_use(queue) < queue.size; });
    if (queue.stopped)
        return nullptr;
    return &slot_of(queue, queue.put);
}

void frame_queue_put(FrameQueue &queue)
{
    {
        std::lock_guard<std::mutex> held(queue.lock);
        queue.put++;
    }
    queue.frames.notify_one();
}

void frame_queue_close(FrameQueue &queue)
{
    {
        std::lock_guard<std::mutex> held(queue.lock);
        queue.closed = true;
    }
    queue.frames.notify_one();
}

QueuedFrame *frame_queue_take(FrameQueue &queue)
{
    QueuedFrame *frame = nullptr;
    {
        std::unique_lock<std::mutex> held(queue.lock);
        queue.frames.wait(held, [&] { return queue.closed || queue.put > queue.taken; });
        if (queue.put == queue.taken)
            return nullptr;
        frame = &slot_of(queue, queue.taken);
        // The last picture moves on with its repeat, and the repeat's unused
        // picture goes back with the slot the player may now refill.
        if (frame->same_picture && queue.taken > 0)
            std::swap(frame->picture, slot_of(queue, queue.taken - 1).picture);
        queue.taken++;
    }
    queue.room.notify_one();
    return frame;
}

void frame_queue_stop(FrameQueue &queue)
{
    {
        std::lock_guard<std::mutex> held(queue.lock);
        queue.stopped = true;
    }
    queue.room.notify_one();
}

void frame_queue_free(FrameQueue &queue)
{
    for (QueuedFrame &slot : queue.slots)
        av_frame_free(&slot.picture);
}

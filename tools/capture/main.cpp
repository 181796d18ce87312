// main.cpp — lanternfay-capture: the show, or a span of it, as a video file
// with its music, frame-exact whatever the machine's speed.
//
//   lanternfay-capture show.mp4                     the whole show
//   lanternfay-capture --scene 4 scene4.mkv         one scene
//   lanternfay-capture --from 30 --to 45 span.webm  a span of show time
//
// Run it where the show runs: in the folder that holds data/.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include "capture.h"
#include "options.h"
#include "shell.h"
#include "platform.h"
#include "player.h"

namespace {

const char MUSIC_FILE[] = "data/lanternfay.ogg";

const char usage[] =
    "lanternfay-capture " LANTERNFAY_VERSION "\n"
    "usage: lanternfay-capture [--scene N | --from SECONDS --to SECONDS] [--fps N]\n"
    "                          [--height PIXELS] [--lossless] [--from-show-start] FILE\n"
    "Plays the show from ./data on virtual time and writes it with its music into\n"
    "FILE: H.264 and AAC for .mp4 and .mkv, VP9 and Opus for .webm.\n"
    "  --scene N          capture scene N (1..8) only\n"
    "  --from SECONDS     start at this show time (default: the show's start)\n"
    "  --to SECONDS       end at this show time (default: the show's end)\n"
    "  --fps N            video frames per second, 1..240 (default 60)\n"
    "  --height PIXELS    picture height, even, 120..4320 (default 600); the width\n"
    "                     keeps 4:3, e.g. 1080 gives 1440 x 1080\n"
    "  --lossless         every pixel exact (RGB H.264; .mp4 or .mkv; large files,\n"
    "                     and not every player plays them)\n"
    "  --from-show-start  play from the show's start, so every state that carries\n"
    "                     over between scenes is the show's own; by default play\n"
    "                     starts at the start of the span's first scene\n"
    "  -h, --help         this text\n"
    "Ctrl-C stops the capture and keeps what was captured as a playable file\n"
    "(exit status 3). Status 1: the capture failed and left no file; 2: a wrong\n"
    "command line.\n";

// Set by SIGINT and SIGTERM; the capture then finishes the file and stops.
std::atomic<int> stop_signal{0};

void on_stop_signal(int signal_number)
{
    stop_signal.store(signal_number, std::memory_order_relaxed);
}

// The scene that plays at show time ms.
int scene_at(long long ms)
{
    for (int scene = 1; scene < SCENE_COUNT; scene++)
        if (ms < scene_start_ms(scene + 1))
            return scene;
    return SCENE_COUNT;
}

// Progress on standard error: redrawn in place on a terminal, a line every
// few seconds otherwise.
struct Progress {
    bool terminal = false;
    std::chrono::steady_clock::time_point start, last;
    bool shown = false;
};

void progress_show(Progress &progress, long long done, long long total, int fps, bool last)
{
    const auto now = std::chrono::steady_clock::now();
    const double since_last = std::chrono::duration<double>(now - progress.last).count();
    if (!last && progress.shown && since_last < (progress.terminal ? 0.25 : 5.0))
        return;
    progress.last = now;
    progress.shown = true;
    const double wall = std::chrono::duration<double>(now - progress.start).count();
    const double speed = wall > 0.0 ? (double)done / fps / wall : 0.0;
    const double left = speed > 0.0 ? (double)(total - done) / fps / speed : 0.0;
    const int left_seconds = (int)std::min(left, 359999.0);
    std::fprintf(stderr, "%s%lld of %lld frames (%3.0f%%), %.2fx real time, %d:%02d left%s", progress.terminal ? "\r" : "",
                 done, total, total ? 100.0 * done / total : 100.0, speed, left_seconds / 60, left_seconds % 60,
                 progress.terminal && !last ? "   " : "\n");
    std::fflush(stderr);
}

// One capture under way: the span, the file, the music and how far it got.
// Two threads share it: the player (the main thread) draws the show and
// converts its frames into the queue; the encoder's thread takes them from
// there and writes them with the music. Each field is one side's alone, or
// read-only while both run; the queue is the only meeting point.
struct Capture {
    long long from_ms = 0, span_ms = 0;
    int fps = 60;
    long long total = 0;              // frames in the span
    VideoOutput output;               // the converter: the player's; the rest: the encoder's
    FrameQueue queue;
    // The player's.
    long long queued = 0;             // frames put in the queue so far
    bool changed = true;              // the screen has changed since the last frame queued
    bool halted = false;              // a frame could not be queued: the player stops
    long long fade_ms = -1;           // a music fade asked for and not yet passed on with a frame
    // The encoder's (the main thread's again once the encoder's thread has ended).
    long long frames = 0;             // frames written so far
    bool good = true;                 // nothing has failed
    ShowMusic music;
    long long music_samples = 0;      // music samples written so far
    int16_t block[MUSIC_BLOCK_SAMPLES * 2];
    Progress progress;
};

bool stop_asked()
{
    return stop_signal.load(std::memory_order_relaxed) != 0;
}

// Frame n shows the show at from_ms + n * 1000 / fps; in whole numbers,
// it lies before show time t when n * 1000 < (t - from_ms) * fps.
bool frame_before(const Capture &capture, long long n, long long show_ms)
{
    return n * 1000 < (show_ms - capture.from_ms) * capture.fps;
}

// ---- The encoder's side ----------------------------------------------------------

// Writes the music up to sample `until` of the span.
bool feed_music(Capture &capture, long long until)
{
    while (capture.music_samples < until) {
        const int count = (int)std::min<long long>(until - capture.music_samples, MUSIC_BLOCK_SAMPLES);
        music_read(capture.music, capture.block, count);
        capture.music_samples += count;
        if (!output_audio(capture.output, capture.block, count))
            return false;
    }
    return true;
}

void fade_music(Capture &capture, long long show_ms)
{
    if (capture.music.fade_chunk >= 0)
        return;
    music_fade_from(capture.music, show_ms);
    std::fprintf(stderr, "%sthe music fades out from show time %.3f s\n", capture.progress.terminal ? "\n" : "",
                 show_ms / 1000.0);
}

// The encoder's thread: every frame from the queue, each followed by the
// music up to its own time (a fade that a later tick asks for can only
// start later than that), until the player closes the queue or a write fails.
void encode_frames(Capture &capture)
{
    while (QueuedFrame *frame = frame_queue_take(capture.queue)) {
        if (frame->music_fade_ms >= 0)
            fade_music(capture, frame->music_fade_ms);
        const long long n = capture.frames;
        capture.good = output_video_frame(capture.output, frame->picture) &&
                       feed_music(capture, n * capture.music.rate / capture.fps);
        if (!capture.good) {
            frame_queue_stop(capture.queue);
            return;
        }
        capture.frames++;
        progress_show(capture.progress, capture.frames, capture.total, capture.fps, false);
    }
}

// ---- The player's side -----------------------------------------------------------

// Queues every frame before show time `until` and before scene_end_ms: the
// screen converted into the next free slot, or, unchanged, a repeat.
void queue_frames_before(Capture &capture, long long until, long long scene_end_ms)
{
    while (!capture.halted && capture.queued < capture.total && frame_before(capture, capture.queued, until) &&
           frame_before(capture, capture.queued, scene_end_ms)) {
        QueuedFrame *frame = frame_queue_next(capture.queue);
        if (!frame) {   // the encoder has failed and said why
            capture.halted = true;
            return;
        }
        frame->same_picture = !capture.changed && capture.queued > 0;
        frame->music_fade_ms = capture.fade_ms;
        if (!frame->same_picture && !output_convert_screen(capture.output, frame->picture)) {
            std::fprintf(stderr, "cannot convert the screen for %s\n", capture.output.path.c_str());
            capture.halted = true;
            return;
        }
        frame_queue_put(capture.queue);
        capture.fade_ms = -1;
        capture.changed = false;
        capture.queued++;
    }
}

// Plays one scene tick by tick and queues the frames of the span that fall in it.
void capture_scene(Capture &capture, int scene)
{
    const long long start_ms = scene_start_ms(scene), end_ms = scene_start_ms(scene + 1);
    Player player;
    player_open(player, scene, 0);
    bool fade_seen = false;
    while (!capture.halted && capture.queued < capture.total && !stop_asked()) {
        queue_frames_before(capture, start_ms + player_now_ms(player), end_ms);
        if (capture.queued == capture.total || !player_step(player, nullptr))
            break;
        capture.changed = capture.changed || player.tick_frames > 0;
        // Passed on with the next frame, so the encoder starts the fade where
        // the show asked for it: after the music of every frame before.
        if (player.music_fade_ms >= 0 && !fade_seen) {
            fade_seen = true;
            capture.fade_ms = start_ms + player.music_fade_ms;
        }
    }
    // A scene whose clock ended early shows its last picture to its end.
    if (!stop_asked())
        queue_frames_before(capture, end_ms, end_ms);
    player_close(player);
}

// Plays the span's scenes into the queue while the encoder's thread writes
// them; returns once every frame queued is written (or writing failed).
void play_and_encode(Capture &capture, int first, int last)
{
    ThreadHandle *encoder = thread_start([](void *argument) { encode_frames(*static_cast<Capture *>(argument)); },
                                         &capture);
    if (!encoder) {
        std::fprintf(stderr, "cannot start the encoder's thread\n");
        capture.good = false;
        return;
    }
    for (int scene = first; scene <= last && !capture.halted && capture.queued < capture.total && !stop_asked();
         scene++)
        capture_scene(capture, scene);
    frame_queue_close(capture.queue);
    thread_join(encoder);
    if (capture.halted)
        capture.good = false;
    // A fade asked for after the last frame still shapes the sound to the span's end.
    if (capture.good && capture.fade_ms >= 0)
        fade_music(capture, capture.fade_ms);
}

// Finishes the file, or removes it; says which. Returns the exit status.
int finish_capture(Capture &capture, const std::string &path)
{
    const bool interrupted = stop_asked() && capture.frames < capture.total;
    bool good = capture.good && capture.frames > 0;
    if (good)
        progress_show(capture.progress, capture.frames, capture.total, capture.fps, true);
    // The sound lasts as long as the span, or as the frames made before a stop.
    if (good && interrupted)
        good = feed_music(capture, capture.frames * capture.music.rate / capture.fps) &&
               output_finish(capture.output, capture.frames, capture.fps);
    else if (good)
        good = feed_music(capture, capture.span_ms * capture.music.rate / 1000) &&
               output_finish(capture.output, capture.span_ms, 1000);
    if (!good) {
        output_abandon(capture.output);
        std::fprintf(stderr, "%s: %s not written\n",
                     capture.frames == 0 && stop_asked() ? "interrupted before the first frame" : "capture failed",
                     path.c_str());
        return 1;
    }
    if (interrupted) {
        std::fprintf(stderr, "interrupted: %s holds the first %lld frames (%.3f s)\n", path.c_str(), capture.frames,
                     (double)capture.frames / capture.fps);
        return 3;
    }
    std::fprintf(stderr, "wrote %s\n", path.c_str());
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    CaptureOptions options;
    const int parsed = parse_options(argc, argv, options);
    if (parsed != 0) {
        std::fputs(usage, parsed > 0 ? stderr : stdout);
        return parsed > 0 ? parsed : 0;
    }
    long long from_ms = 0, to_ms = 0;
    std::string codecs;
    if (!span_of(options, from_ms, to_ms))
        return 2;
    const char *container = container_of(options.path, codecs, options.lossless);
    if (!container) {   // a documented name, but this FFmpeg cannot write it
        std::fprintf(stderr, "%s: the FFmpeg here cannot write this container\n", options.path.c_str());
        return 1;
    }

    // Everything the show loads comes before the file is made: a missing data
    // folder leaves no file behind.
    if (!std::filesystem::is_directory("data")) {
        std::fprintf(stderr, "no data folder here: run lanternfay-capture in the folder that holds data/\n");
        return 1;
    }
    // From here on a signal only asks to stop: the file, once made, is always finished or removed.
    install_interrupt_handler(on_stop_signal);
    install_termination_handler(on_stop_signal);
    if (!frames_start_up())
        return 1;
    // Big (a block of music): made once, not on the stack.
    Capture *capture = new Capture{};
    capture->from_ms = from_ms;
    capture->span_ms = to_ms - from_ms;
    capture->fps = options.fps;
    capture->total = (capture->span_ms * options.fps + 999) / 1000;   // frames at n / fps within the span
    music_open(capture->music, MUSIC_FILE, from_ms);

    OutputSettings settings;
    settings.path = options.path;
    settings.height = options.height;
    settings.width = (options.height * 4 / 3 + 1) & ~1;   // 4:3, even for 4:2:0
    settings.fps = options.fps;
    settings.lossless = options.lossless;
    settings.music_rate = capture->music.rate;
    settings.music_channels = capture->music.channels;
    int status = 1;
    if (stop_asked()) {
        std::fprintf(stderr, "interrupted before the capture began: nothing written\n");
    } else if (output_open(capture->output, settings)) {
        const int first = options.from_show_start ? 1 : scene_at(from_ms);
        const int last = scene_at(to_ms - 1);
        std::fprintf(stderr, "capturing %.3f s to %.3f s of show time (scenes %d to %d) into %s (%s, %s):"
                             " %lld frames at %d fps, %dx%d\n",
                     from_ms / 1000.0, to_ms / 1000.0, first, last, options.path.c_str(), container, codecs.c_str(),
                     capture->total, options.fps, settings.width, settings.height);
        capture->progress.terminal = is_terminal(stderr);
        capture->progress.start = capture->progress.last = std::chrono::steady_clock::now();
        if (frame_queue_open(capture->queue, capture->output)) {
            play_and_encode(*capture, first, last);
        } else {
            std::fprintf(stderr, "no memory for the frame queue\n");
            capture->good = false;
        }
        status = finish_capture(*capture, options.path);
    }
    frame_queue_free(capture->queue);
    music_close(capture->music);
    delete capture;
    frames_shut_down();
    return status;
}

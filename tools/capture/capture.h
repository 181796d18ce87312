// capture.h — the capture tool: plays the show on virtual time through the
// shared player and writes it, with its music, into a video file.
//
// The music is what the show's mixer would play: the Ogg decoded from the
// show's start at full volume, faded out the way SDL_mixer fades it. The
// video goes through FFmpeg's libraries: H.264 and AAC (MP4, Matroska and
// the like), VP9 and Opus for WebM. The player's thread draws and converts
// frames into a frame queue; the encoder's thread (and the encoder's own
// threads) take them from there, so drawing and encoding overlap. The
// encoder's thread is started as the show's are (thread.h); the queue between
// the two is this tool's own, with one mutex, since unlike the show's threads
// these two do wait on each other.
#pragma once
#include <condition_variable>
#include <cstdint>
#include "shell.h"
#include <mutex>
#include <string>
#include <vorbis/vorbisfile.h>

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct AVAudioFifo;
struct SwsContext;
struct SwrContext;

// ---- The music -------------------------------------------------------------------

// The show's mixer and its fade (MIXER_RATE, MUSIC_FADE_MS, ...) are present.h's.

// The music from some sample on, with the fade the show asks for.
struct ShowMusic {
    OggVorbis_File file{};
    bool open = false;         // false: silence (no file, or not readable)
    int rate = MIXER_RATE;     // samples per second of the file (or of the silence)
    int channels = 2;
    long long next_sample = 0; // index from the music's start of the next sample read
    long long fade_chunk = -1; // first mixer buffer of the fade; -1: no fade asked
    bool ended = false;        // the file has no more samples
};

// Opens path and places it at first_ms (from the music's start). A
// missing or unreadable file gives silence and a notice on standard error;
// the music is then silent but still usable.
void music_open(ShowMusic &music, const char *path, long long first_ms);
// The fade asked for at show_ms (the show's first request; later calls do nothing).
void music_fade_from(ShowMusic &music, long long show_ms);
// The music volume (0..128) of mixer buffer `chunk` from the music's start.
int music_volume_of_chunk(const ShowMusic &music, long long chunk);
// Reads `frames` samples per channel into out (interleaved, 16-bit); past
// the file's end, and for a silent music, silence. Allocates nothing.
void music_read(ShowMusic &music, int16_t *out, int frames);
void music_close(ShowMusic &music);

// ---- The video file --------------------------------------------------------------

struct OutputSettings {
    std::string path;
    int width = 800, height = 600;   // the picture's size in the file
    int fps = 60;
    bool lossless = false;           // H.264 in RGB, every pixel exact
    int music_rate = MIXER_RATE;     // what output_audio is given
    int music_channels = 2;
};

struct VideoOutput {
    AVFormatContext *format = nullptr;
    AVCodecContext *video = nullptr;
    AVCodecContext *audio = nullptr;
    AVStream *video_stream = nullptr;
    AVStream *audio_stream = nullptr;
    SwsContext *scaler = nullptr;
    SwrContext *resampler = nullptr;
    AVFrame *sound = nullptr;       // one audio frame for the encoder
    AVAudioFifo *fifo = nullptr;    // converted sound waiting for a whole audio frame
    uint8_t **converted = nullptr;  // the resampler's output, planes for up to converted_capacity
    int converted_capacity = 0;
    AVPacket *packet = nullptr;
    long long video_frames = 0;     // frames sent so far (the next one's pts)
    long long audio_samples = 0;    // audio samples sent so far, at the encoder's rate
    bool file_open = false;
    std::string path;
};

// The container that path's name asks for, or null when it names none; with
// the codecs the file will get (for messages).
const char *container_of(const std::string &path, std::string &codecs, bool lossless);
// Makes the file with a video and an audio stream. Prints why and leaves no
// file behind on failure.
bool output_open(VideoOutput &output, const OutputSettings &settings);
// A picture in the encoder's format and size, or null when none can be made.
AVFrame *output_new_picture(const VideoOutput &output);
// Converts (and scales) the screen as it is into picture: the one conversion
// a frame gets. Touches only the converter, never the encoder, so it may run
// beside output_video_frame on another thread.
bool output_convert_screen(VideoOutput &output, AVFrame *picture);
// Encodes picture as the next video frame. The encoder keeps no hold on it
// once this returns, so it may be converted into again.
bool output_video_frame(VideoOutput &output, AVFrame *picture);
// Encodes interleaved 16-bit samples (at the rate and channels given at open).
// At most MUSIC_BLOCK_SAMPLES per call.
constexpr int MUSIC_BLOCK_SAMPLES = 4096;
bool output_audio(VideoOutput &output, const int16_t *samples, int frames);
// Sends what is left, trims or pads the sound to length_numerator /
// length_denominator seconds, writes the file's index and closes it. Prints
// why, and removes the file, on failure.
bool output_finish(VideoOutput &output, long long length_numerator, long long length_denominator);
// Closes and removes the file (after a failure).
void output_abandon(VideoOutput &output);

// ---- The frame queue -------------------------------------------------------------
//
// Pictures on their way from the player to the encoder, so that the show is
// drawn while earlier frames are encoded: a ring of FRAME_QUEUE_SLOTS
// pictures made once (fewer for pictures so big that eight would take more
// than FRAME_QUEUE_BYTES, never fewer than two). The player fills the next free slot (converting the
// screen straight into it) and puts it in; the encoder takes slots in order.
// The slot taken last stays the encoder's until it takes the next one, so a
// frame whose screen has not changed needs no picture of its own: taking it
// passes the last picture on to it. Either side waits only here, and only
// while the ring is full or empty.
constexpr int FRAME_QUEUE_SLOTS = 8;
constexpr long long FRAME_QUEUE_BYTES = 128ll << 20;

struct QueuedFrame {
    AVFrame *picture = nullptr;      // the screen in the encoder's format
    bool same_picture = false;       // the screen had not changed: the last picture again
    long long music_fade_ms = -1;    // show time of a music fade asked for before this frame; -1: none
};

struct FrameQueue {
    QueuedFrame slots[FRAME_QUEUE_SLOTS];
    int size = FRAME_QUEUE_SLOTS;    // slots in use, 2..FRAME_QUEUE_SLOTS
    std::mutex lock;
    std::condition_variable room;    // a slot came free, or the encoder stopped
    std::condition_variable frames;  // a frame was put in, or the player closed the queue
    long long put = 0;               // frames put in so far
    long long taken = 0;             // frames taken so far
    bool closed = false;             // the player puts in no more
    bool stopped = false;            // the encoder takes no more (it failed)
};

// Makes every slot's picture for output's encoder; false (nothing left
// allocated) when memory runs out.
bool frame_queue_open(FrameQueue &queue, const VideoOutput &output);
// The player's side. The next slot to fill, once one is free; null when the
// encoder has stopped. Fill it, then frame_queue_put it.
QueuedFrame *frame_queue_next(FrameQueue &queue);
void frame_queue_put(FrameQueue &queue);
// No more frames: the encoder takes what is in the queue, then gets null.
void frame_queue_close(FrameQueue &queue);
// The encoder's side. The next frame in order, waiting for one; null once the
// queue is closed and empty. A same_picture frame comes with the picture of
// the frame before it. The slot stays the caller's until the next take.
QueuedFrame *frame_queue_take(FrameQueue &queue);
// The encoder gives up (after a failure): the player's frame_queue_next returns null.
void frame_queue_stop(FrameQueue &queue);
// Frees the pictures (the encoder's thread has ended).
void frame_queue_free(FrameQueue &queue);

// capture.h — the capture tool: plays the show on virtual time through the
// shared player and writes it, with its music, into a video file.
//
// The music is what the show's mixer would play: the Ogg decoded from the
// show's start at full volume, faded out the way SDL_mixer fades it. The
// video goes through FFmpeg's libraries: H.264 and AAC (MP4, Matroska and
// the like), VP9 and Opus for WebM.
#pragma once
#include <cstdint>
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

// The show's mixer: 44100 Hz, a 2048-sample buffer, music at full volume.
constexpr int MIXER_RATE = 44100;
constexpr int MIXER_BUFFER_SAMPLES = 2048;
constexpr int MUSIC_VOLUME_MAX = 128;
constexpr int MUSIC_FADE_MS = 1300;

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
    AVFrame *picture = nullptr;     // the screen, converted; reused while it stays the same
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
// Encodes the next video frame: the screen as it is, converted again only
// when screen_changed (otherwise the last conversion is sent again).
bool output_video_frame(VideoOutput &output, bool screen_changed);
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

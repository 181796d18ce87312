// music.cpp — the show's music as its mixer plays it: decoded by vorbisfile
// from the show's start, at full volume, with SDL_mixer's music fade-out.
#include <cstdio>
#include <cstring>
#include "capture.h"
#include "raster.h"

namespace {

// A sample at less than full volume, as SDL_MixAudio scales it into the
// silent buffer: (sample * volume) / 128, truncated toward zero.
int16_t at_volume(int16_t sample, int volume)
{
    return (int16_t)((sample * volume) / MUSIC_VOLUME_MAX);
}

}  // namespace

void music_open(ShowMusic &music, const char *path, long long first_ms)
{
    music = ShowMusic{};
    music.next_sample = first_ms * music.rate / 1000;
    if (const char *what = not_a_plain_file(path)) {
        std::fprintf(stderr, "No music (%s: it is %s, not a plain file); the video's sound is silent.\n", path, what);
        return;
    }
    const int status = ov_fopen(path, &music.file);
    if (status != 0) {
        std::fprintf(stderr, "No music (%s: %s); the video's sound is silent.\n", path,
                     status == -1 ? "cannot be opened" : status == OV_EREAD ? "cannot be read" : "not an Ogg Vorbis file");
        return;
    }
    const vorbis_info *info = ov_info(&music.file, -1);
    if (!info || info->channels < 1 || info->channels > 2 || info->rate <= 0) {
        std::fprintf(stderr, "No music (%s: neither mono nor stereo); the video's sound is silent.\n", path);
        ov_clear(&music.file);
        return;
    }
    music.open = true;
    music.rate = (int)info->rate;
    music.channels = info->channels;
    music.next_sample = first_ms * music.rate / 1000;
    // ov_pcm_seek lands exactly on the sample; past the end, the sound is silence.
    if (music.next_sample > 0 && ov_pcm_seek(&music.file, music.next_sample) != 0)
        music.ended = true;
}

void music_fade_from(ShowMusic &music, long long show_ms)
{
    if (music.fade_chunk >= 0)
        return;
    // The first buffer that starts at or after the request: buffer
    // ceil(show_ms * rate / 1000 / 2048), in whole numbers.
    const long long numerator = show_ms * MIXER_RATE;
    const long long denominator = 1000LL * MIXER_BUFFER_SAMPLES;
    music.fade_chunk = (numerator + denominator - 1) / denominator;
}

int music_volume_of_chunk(const ShowMusic &music, long long chunk)
{
    if (music.fade_chunk < 0 || chunk < music.fade_chunk)
        return MUSIC_VOLUME_MAX;
    // The first buffer the mixer fills after the request is the fade's first step.
    return music_fade_volume(chunk - music.fade_chunk + 1, music_fade_steps(MUSIC_FADE_MS));
}

void music_read(ShowMusic &music, int16_t *out, int frames)
{
    const int channels = music.channels;
    int done = 0;
    while (done < frames && music.open && !music.ended) {
        int section = 0;
        const int bytes_wanted = (frames - done) * channels * 2;
        const long bytes = ov_read(&music.file, reinterpret_cast<char *>(out + done * channels), bytes_wanted,
                                   0, 2, 1, &section);
        if (bytes == OV_HOLE)
            continue;   // a gap in the stream: vorbisfile carries on after it
        if (bytes <= 0) {
            music.ended = true;
            break;
        }
        done += (int)(bytes / (channels * 2));
    }
    std::memset(out + done * channels, 0, (size_t)(frames - done) * channels * 2);

    // The mixer's volume, buffer by buffer of its own timeline.
    for (int i = 0; i < frames; i++) {
        const long long mixer_sample = (music.next_sample + i) * MIXER_RATE / music.rate;
        const int volume = music_volume_of_chunk(music, mixer_sample / MIXER_BUFFER_SAMPLES);
        if (volume == MUSIC_VOLUME_MAX)
            continue;   // full volume: copied as it is
        for (int c = 0; c < channels; c++)
            out[i * channels + c] = at_volume(out[i * channels + c], volume);
    }
    music.next_sample += frames;
}

void music_close(ShowMusic &music)
{
    if (music.open)
        ov_clear(&music.file);
    music.open = false;
}

// The capture's music against SDL_mixer itself: the show's music played and
// faded by SDL_mixer into SDL's disk audio driver must come out sample for
// sample as the capture makes it. Runs in the build folder (data/).
#include <gtest/gtest.h>
#include <SDL.h>
#include <SDL_mixer.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "capture.h"

namespace {

const char MUSIC_PATH[] = "data/lanternfay.ogg";
constexpr long CHUNK_BYTES = MIXER_BUFFER_SAMPLES * 2 * 2;   // 16-bit stereo

long file_size(const std::string &path)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return 0;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    return size;
}

std::vector<int16_t> read_samples(const std::string &path)
{
    std::vector<int16_t> samples((size_t)file_size(path) / 2);
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file) {
        const size_t got = std::fread(samples.data(), 2, samples.size(), file);
        samples.resize(got);
        std::fclose(file);
    }
    return samples;
}

void wait_for_bytes(const std::string &path, long bytes)
{
    for (int waited = 0; file_size(path) < bytes && waited < 20000; waited += 5)
        SDL_Delay(5);
}

// What SDL_mixer plays: the music from its start at full volume, a fade of
// 1.3 s asked for after `fade_after_chunks` buffers, as the show asks for it.
std::vector<int16_t> play_with_sdl_mixer(const std::string &out, long fade_after_chunks, long chunks)
{
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "2", 1);   // ms between buffers: many times real time
    std::remove(out.c_str());
    EXPECT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    EXPECT_EQ(Mix_OpenAudio(MIXER_RATE, AUDIO_S16LSB, 2, MIXER_BUFFER_SAMPLES), 0) << Mix_GetError();
    Mix_VolumeMusic(MIX_MAX_VOLUME);
    Mix_Music *music = Mix_LoadMUS(MUSIC_PATH);
    EXPECT_NE(music, nullptr) << Mix_GetError();
    if (music)
        Mix_PlayMusic(music, 1);
    wait_for_bytes(out, fade_after_chunks * CHUNK_BYTES);
    Mix_FadeOutMusic(MUSIC_FADE_MS);
    Mix_FadeOutMusic(MUSIC_FADE_MS);   // asked again, as every later frame does: no change
    wait_for_bytes(out, chunks * CHUNK_BYTES);
    Mix_HaltMusic();
    Mix_CloseAudio();
    if (music)
        Mix_FreeMusic(music);
    SDL_Quit();
    return read_samples(out);
}

std::vector<int16_t> capture_music(long long first_ms, int frames, long long fade_ms)
{
    ShowMusic music;
    music_open(music, MUSIC_PATH, first_ms);
    EXPECT_TRUE(music.open);
    if (fade_ms >= 0)
        music_fade_from(music, fade_ms);
    std::vector<int16_t> samples((size_t)frames * 2);
    for (int done = 0; done < frames;) {
        const int count = std::min(frames - done, 1000);   // blocks that straddle the buffers
        music_read(music, samples.data() + (size_t)done * 2, count);
        done += count;
    }
    music_close(music);
    return samples;
}

long first_sound(const std::vector<int16_t> &samples)
{
    for (size_t i = 0; i < samples.size(); i++)
        if (samples[i] != 0)
            return (long)(i / 2);
    return -1;
}

}  // namespace

TEST(CaptureMusic, FadesSampleForSampleAsSdlMixer)
{
    const std::string out = "capture_music_sdl.raw";
    const std::vector<int16_t> mixed = play_with_sdl_mixer(out, 40, 120);
    std::remove(out.c_str());
    ASSERT_GE(mixed.size(), (size_t)100 * MIXER_BUFFER_SAMPLES * 2);

    // The mixer may fill silent buffers before the music starts: the music
    // starts on a buffer's boundary, where its own first sound lines up.
    const std::vector<int16_t> full = capture_music(0, 130 * MIXER_BUFFER_SAMPLES, -1);
    const long lead = first_sound(mixed) - first_sound(full);
    ASSERT_GE(first_sound(full), 0);
    ASSERT_GE(lead, 0);
    ASSERT_EQ(lead % MIXER_BUFFER_SAMPLES, 0) << "the music did not start on a buffer";
    const size_t offset = (size_t)lead * 2;
    const long music_chunks = (long)((mixed.size() - offset) / (MIXER_BUFFER_SAMPLES * 2));

    // The first buffer SDL_mixer played below full volume is where its fade began.
    long fade_chunk = -1;
    for (size_t i = 0; offset + i < mixed.size() && fade_chunk < 0; i++)
        if (mixed[offset + i] != full[i])
            fade_chunk = (long)(i / 2 / MIXER_BUFFER_SAMPLES);
    ASSERT_GT(fade_chunk, 0);
    ASSERT_LT(fade_chunk + 40, music_chunks) << "the recording ends before the fade does";

    // The capture, told of a request just before that buffer, makes the same samples.
    const long long request_ms = (long long)fade_chunk * MIXER_BUFFER_SAMPLES * 1000 / MIXER_RATE;
    const std::vector<int16_t> faded = capture_music(0, (int)(music_chunks * MIXER_BUFFER_SAMPLES), request_ms);
    long differing = 0, first_difference = -1;
    for (size_t i = 0; i < faded.size(); i++)
        if (faded[i] != mixed[offset + i]) {
            differing++;
            if (first_difference < 0)
                first_difference = (long)i;
        }
    EXPECT_EQ(differing, 0) << "first at sample " << first_difference / 2 << " (buffer "
                            << first_difference / 2 / MIXER_BUFFER_SAMPLES << "; fade from buffer " << fade_chunk << ")";
    // And it is a fade to silence: nothing after the last step.
    EXPECT_EQ(first_sound(std::vector<int16_t>(faded.begin() + (fade_chunk + 29) * MIXER_BUFFER_SAMPLES * 2,
                                               faded.end())),
              -1);
}

TEST(CaptureMusic, FadeBeginsWithTheFirstBufferAfterTheRequest)
{
    ShowMusic music;
    music_fade_from(music, 0);
    EXPECT_EQ(music.fade_chunk, 0);
    music = ShowMusic{};
    music_fade_from(music, 1);   // 44.1 samples in: the next buffer
    EXPECT_EQ(music.fade_chunk, 1);
    music = ShowMusic{};
    music_fade_from(music, 195000);   // sample 8599500; buffer 4198 starts at 8597504
    EXPECT_EQ(music.fade_chunk, 4199);
    music_fade_from(music, 196000);   // a later request changes nothing
    EXPECT_EQ(music.fade_chunk, 4199);
    // Full volume before, silence from the 29th step on.
    EXPECT_EQ(music_volume_of_chunk(music, 4198), 128);
    EXPECT_EQ(music_volume_of_chunk(music, 4199 + 28), 0);
    EXPECT_EQ(music_volume_of_chunk(music, 4199 + 400), 0);
}

TEST(CaptureMusic, StartsMidwayWithTheSamplesOfAPlayFromTheStart)
{
    const int frames = 20000;
    const std::vector<int16_t> from_start = capture_music(0, 5 * MIXER_RATE + frames, -1);
    const std::vector<int16_t> midway = capture_music(5000, frames, -1);
    ASSERT_EQ(midway.size(), (size_t)frames * 2);
    EXPECT_NE(first_sound(midway), -1);
    EXPECT_TRUE(std::equal(midway.begin(), midway.end(), from_start.begin() + 5 * MIXER_RATE * 2));
}

TEST(CaptureMusic, MissingFileIsSilence)
{
    ShowMusic music;
    music_open(music, "data/no-such-music.ogg", 1000);
    EXPECT_FALSE(music.open);
    std::vector<int16_t> samples(4000, 123);
    music_read(music, samples.data(), 2000);
    EXPECT_EQ(first_sound(samples), -1);
    music_close(music);
}

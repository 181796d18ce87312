// The generated music: a whole Ogg Vorbis stream of the show's length, at
// the show's rate, loud enough to hear in every section and never clipping.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include "listen.h"
#include <gtest/gtest.h>
#include <vector>
#include <vorbis/vorbisfile.h>

namespace {

struct Decoded {
    bool ok = false;
    int channels = 0;
    long rate = 0;
    double seconds = 0;
    std::vector<float> left, right;
};

Decoded decode(const char *path)
{
    Decoded d;
    OggVorbis_File vf;
    if (ov_fopen(path, &vf) != 0)
        return d;
    vorbis_info *info = ov_info(&vf, -1);
    d.channels = info->channels;
    d.rate = info->rate;
    d.seconds = ov_time_total(&vf, -1);
    for (;;) {
        float **pcm;
        int section;
        long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n <= 0) {
            d.ok = n == 0;
            break;
        }
        for (long i = 0; i < n; i++) {
            d.left.push_back(pcm[0][i]);
            d.right.push_back(d.channels > 1 ? pcm[1][i] : pcm[0][i]);
        }
    }
    ov_clear(&vf);
    return d;
}

double rms_db(const Decoded &d, double from_s, double to_s)
{
    size_t a = (size_t)(from_s * d.rate), b = std::min(d.left.size(), (size_t)(to_s * d.rate));
    double sum = 0;
    for (size_t i = a; i < b; i++)
        sum += 0.5 * (d.left[i] * d.left[i] + d.right[i] * d.right[i]);
    return 10.0 * std::log10(sum / std::max<size_t>(1, b - a) + 1e-20);
}

}  // namespace

TEST(DataMusic, DecodesAsTheShowsTrackAndStaysBelowFullScale)
{
    Decoded d = decode("data/lanternfay.ogg");
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.rate, 44100);
    EXPECT_GE(d.seconds, 198.0);
    EXPECT_LE(d.seconds, 210.0);
    EXPECT_GE(d.left.size(), (size_t)(198.0 * 44100));
    float peak = 0;
    for (size_t i = 0; i < d.left.size(); i++)
        peak = std::max(peak, std::max(std::fabs(d.left[i]), std::fabs(d.right[i])));
    EXPECT_LE(peak, 0.891f) << "peak above -1 dBFS";
    EXPECT_GT(peak, 0.3f);
    EXPECT_GT(rms_db(d, 0, 198), -22.0);
    // Every scene has music under it; the show's final fade has room to work.
    const double scenes[] = {0, 30.5, 56, 81, 101, 121, 153, 183, 195};
    for (int i = 0; i + 1 < 9; i++)
        EXPECT_GT(rms_db(d, scenes[i] + 1, scenes[i + 1]), -35.0) << "scene " << i + 1;
    // And it ends in silence rather than being cut off.
    EXPECT_LT(rms_db(d, 201.5, 202.0), -60.0);
}

namespace {

// Pearson correlation of the two channels between two times.
double channel_correlation(const Decoded &d, double from_s, double to_s)
{
    size_t a = (size_t)(from_s * d.rate), b = std::min(d.left.size(), (size_t)(to_s * d.rate));
    double sl = 0, sr = 0, sll = 0, srr = 0, slr = 0, n = (double)(b - a);
    for (size_t i = a; i < b; i++) {
        sl += d.left[i];
        sr += d.right[i];
        sll += d.left[i] * d.left[i];
        srr += d.right[i] * d.right[i];
        slr += d.left[i] * d.right[i];
    }
    double cov = slr / n - sl / n * sr / n;
    return cov / std::sqrt((sll / n - sl / n * sl / n) * (srr / n - sr / n * sr / n));
}

// The low end's loudness in 10 ms steps (a one-pole low-pass under about
// 150 Hz, squared and summed): the kicks stand out of it as peaks.
std::vector<double> low_envelope(const Decoded &d, double from_s, double to_s)
{
    size_t a = (size_t)(from_s * d.rate), b = std::min(d.left.size(), (size_t)(to_s * d.rate));
    const size_t step = (size_t)(d.rate / 100);
    const double k = 1.0 - std::exp(-2.0 * 3.14159265 * 150.0 / d.rate);
    std::vector<double> out;
    double y = 0, sum = 0;
    for (size_t i = a; i < b; i++) {
        y += k * (0.5 * (d.left[i] + d.right[i]) - y);
        sum += y * y;
        if ((i - a + 1) % step == 0) {
            out.push_back(sum);
            sum = 0;
        }
    }
    return out;
}

// Normalised autocorrelation of a series (its mean taken away) at a lag.
double autocorrelation(const std::vector<double> &x, size_t lag)
{
    double mean = 0;
    for (double v : x)
        mean += v;
    mean /= (double)x.size();
    double num = 0, den = 0;
    for (size_t i = 0; i < x.size(); i++) {
        den += (x[i] - mean) * (x[i] - mean);
        if (i + lag < x.size())
            num += (x[i] - mean) * (x[i + lag] - mean);
    }
    return num / den;
}

}  // namespace

TEST(DataMusic, HasStereoWidthInEverySection)
{
    Decoded d = decode("data/lanternfay.ogg");
    ASSERT_TRUE(d.ok);
    double whole = channel_correlation(d, 0, 198);
    std::printf("left/right correlation over the show: %.3f\n", whole);
    EXPECT_LT(whole, 0.85) << "panned voices and a stereo reverb keep the two sides apart";
    EXPECT_GT(whole, 0.3) << "but the mix still holds together in the middle";
    const double scenes[] = {0, 30.5, 56, 81, 101, 121, 153, 183, 195};
    for (int i = 0; i + 1 < 9; i++) {
        double c = channel_correlation(d, scenes[i] + 1, scenes[i + 1]);
        std::printf("scene %d: %.3f\n", i + 1, c);
        EXPECT_LT(c, 0.94) << "scene " << i + 1;
    }
}

TEST(DataMusic, CarSectionKicksWithTheHops)
{
    // The car hops every 0.6593 s from its scene's start at 101 s; the beat
    // under it follows, so the low end repeats at the hop and not at the
    // piece's own beat of 0.75 s.
    Decoded d = decode("data/lanternfay.ogg");
    ASSERT_TRUE(d.ok);
    std::vector<double> low = low_envelope(d, 102, 119);
    double at_hop = std::max(autocorrelation(low, 66), autocorrelation(low, 65));
    double at_beat = autocorrelation(low, 75);
    std::printf("car section, low end repeating at the hop %.3f, at 0.75 s %.3f\n", at_hop, at_beat);
    EXPECT_GT(at_hop, 0.3);
    EXPECT_GT(at_hop, at_beat + 0.2);
}

// ---- the track as a listener's ear weighs it ----------------------------------------

namespace {

// Where the scenes start, in seconds, and where the show's music fade begins.
const double SCENE_STARTS[9] = {0, 30.5, 56, 81, 101, 121, 153, 183, 198};
const double SHOW_FADE_S = 195.0;

StereoView view(const Decoded &d) { return {d.left, d.right, (double)d.rate}; }

}  // namespace

TEST(DataMusic, EverySectionHasAMiddleAndATopThatKeepsFalling)
{
    // Per scene: the low end under 80 Hz may not drown the rest, the melody's
    // octaves (500 Hz to 4 kHz) must carry, and from 4 kHz up each third-octave
    // band lies at or under the one before it, so that no hiss stands out.
    Decoded d = decode("data/lanternfay.ogg");
    ASSERT_TRUE(d.ok);
    const double tops[8] = {3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000};
    std::printf("scene  <80Hz  500-4k  3.15k   4k   5k  6.3k   8k  10k 12.5k  16k  (dB re 2k)\n");
    for (int scene = 0; scene < 8; scene++) {
        double from = SCENE_STARTS[scene], to = std::min(SCENE_STARTS[scene + 1], SHOW_FADE_S);
        std::vector<double> power = power_spectrum(view(d), from, to);
        double total = band_power(power, (double)d.rate, 0, 1e9);
        double low = band_power(power, (double)d.rate, 0, 80) / total;
        double middle = band_power(power, (double)d.rate, 500, 4000) / total;
        double two_k = third_octave_db(power, (double)d.rate, 2000);
        std::printf("%5d  %4.1f%%  %5.1f%% ", scene + 1, 100 * low, 100 * middle);
        for (int k = 0; k < 8; k++)
            std::printf(" %5.1f", third_octave_db(power, (double)d.rate, tops[k]) - two_k);
        std::printf("\n");
        EXPECT_LE(low, 0.50) << "scene " << scene + 1;
        EXPECT_GE(middle, 0.12) << "scene " << scene + 1;
        for (int k = 1; k < 8; k++)
            EXPECT_LE(third_octave_db(power, (double)d.rate, tops[k]), third_octave_db(power, (double)d.rate, tops[k - 1]))
                << "scene " << scene + 1 << ", " << tops[k] << " Hz";
        EXPECT_LE(third_octave_db(power, (double)d.rate, 16000), two_k - 10.0) << "scene " << scene + 1;
    }
}

TEST(DataMusic, IsAsLoudAsAFinishedTrackWithHeadroomBetweenTheSamples)
{
    Decoded d = decode("data/lanternfay.ogg");
    ASSERT_TRUE(d.ok);
    double lufs = integrated_lufs(view(d)), peak_db = 20.0 * std::log10(true_peak(view(d)));
    std::printf("integrated %.1f LUFS, true peak %.2f dBTP\n", lufs, peak_db);
    EXPECT_NEAR(lufs, -14.0, 1.5);
    EXPECT_LE(peak_db, -1.0);
}

TEST(DataMusic, EndsOnItsChordBeforeTheShowFadesIt)
{
    // The last phrase lands on its chord by 194 s; the show's fade from 195 s
    // takes only the chord's tail, and nothing new sounds after it. The tail
    // is soft but still there, so that the fade has something to act on.
    Decoded d = decode("data/lanternfay.ogg");
    ASSERT_TRUE(d.ok);
    std::vector<double> env = level_envelope(view(d), 190.0, 200.0, 0.1);   // 100 ms steps from 190 s
    size_t loudest = std::max_element(env.begin(), env.end()) - env.begin();
    double chord = 20.0 * std::log10(env[loudest]);
    double tail = rms_db(d, SHOW_FADE_S, SHOW_FADE_S + 1.3), after = rms_db(d, 197.0, 198.0);
    std::printf("the ending: loudest at %.1f s (%.1f dB), 195-196.3 s %.1f dB, 197-198 s %.1f dB\n",
                190.0 + loudest * 0.1, chord, tail, after);
    EXPECT_LE(190.0 + loudest * 0.1, 194.0);
    for (size_t i = 40; i + 1 < env.size(); i++)   // from 194 s on, nothing audible rises by 2 dB
        EXPECT_TRUE(env[i + 1] <= env[i] * 1.26 || env[i + 1] < env[loudest] * 0.003)
            << "a new sound at " << 190.0 + (i + 1) * 0.1 << " s";
    EXPECT_LE(tail, chord - 12.0);
    EXPECT_LE(after, chord - 20.0);
    EXPECT_GE(after, chord - 40.0);
}

TEST(DataMusic, GreetingsEnterWithAStepAndVaryBarByBar)
{
    // Scene 7 starts at 153 s: the level steps there by at least 4 dB, and
    // of its ten bars of 3 s at most three have a near twin among the others
    // (their loudness envelopes correlate above 0.95).
    Decoded d = decode("data/lanternfay.ogg");
    ASSERT_TRUE(d.ok);
    double step = rms_db(d, 153.0, 153.5) - rms_db(d, 152.5, 153.0);
    std::vector<std::vector<double>> bars;
    for (int bar = 0; bar < 10; bar++)
        bars.push_back(level_envelope(view(d), 153.0 + 3.0 * bar, 156.0 + 3.0 * bar, 0.02));
    int twinned = 0;
    for (int a = 0; a < 10; a++) {
        double closest = -1;
        for (int b = 0; b < 10; b++)
            if (b != a)
                closest = std::max(closest, correlation(bars[a], bars[b]));
        std::printf("bar %d: closest twin %.3f\n", a, closest);
        twinned += closest > 0.95;
    }
    std::printf("step at 153 s %.1f dB, %d bars with a near twin\n", step, twinned);
    EXPECT_GE(std::fabs(step), 4.0);
    EXPECT_LE(twinned, 3);
}

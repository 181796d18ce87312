// The generated music: a whole Ogg Vorbis stream of the show's length, at
// the show's rate, loud enough to hear in every section and never clipping.
#include <algorithm>
#include <cmath>
#include <cstdio>
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

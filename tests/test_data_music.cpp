// The generated music: a whole Ogg Vorbis stream of the show's length, at
// the show's rate, loud enough to hear in every section and never clipping.
#include <cmath>
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

// The data generator's own pieces: the machine-independent maths, the
// triangulator behind the lettering and the car, the distance field behind
// the solid lettering, the BMP writer, and the synthesiser's filter and timing.
#include "canvas.h"
#include "detmath.h"
#include "synth.h"
#include "triangulate.h"
#include <SDL.h>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(DataGeneratorMaths, MatchesTheLibraryToTheLastFewBits)
{
    for (double x = -40.0; x <= 40.0; x += 0.0137) {
        EXPECT_NEAR(det::sin(x), std::sin(x), 1e-14) << x;
        EXPECT_NEAR(det::cos(x), std::cos(x), 1e-14) << x;
        EXPECT_NEAR(det::atan(x), std::atan(x), 1e-14) << x;
        EXPECT_NEAR(det::tanh(x * 0.2), std::tanh(x * 0.2), 1e-14) << x;
        EXPECT_NEAR(det::exp(x) / std::exp(x), 1.0, 1e-14) << x;
    }
    for (double x = 1e-6; x < 1e6; x *= 1.37)
        EXPECT_NEAR(det::log(x), std::log(x), 1e-13) << x;
    for (double y : {-2.0, -0.5, 0.0, 0.5, 3.0})
        for (double x : {-2.0, -0.5, 0.0, 0.5, 3.0})
            EXPECT_NEAR(det::atan2(y, x), std::atan2(y, x), 1e-14) << y << ", " << x;
    EXPECT_NEAR(det::pow(2.0, 0.5), std::sqrt(2.0), 1e-15);
    EXPECT_EQ(det::pow(2.0, 0.0), 1.0);
    EXPECT_EQ(det::exp(-800.0), 0.0);   // far underflow is 0, not a denormal or garbage
}

TEST(DataGeneratorRandom, SameSeedSameNumbersAndInRange)
{
    Rng a(7), b(7), c(8);
    bool differs = false;
    for (int i = 0; i < 1000; i++) {
        double u = a.uniform();
        EXPECT_EQ(u, b.uniform());
        EXPECT_GE(u, 0.0);
        EXPECT_LT(u, 1.0);
        differs |= u != c.uniform();
        int k = a.below(5);
        b.below(5);
        c.below(5);
        EXPECT_GE(k, 0);
        EXPECT_LT(k, 5);
    }
    EXPECT_TRUE(differs);
}

namespace {

double area(const std::vector<Triangle2> &tris)
{
    double sum = 0;
    for (auto &t : tris)
        sum += std::fabs((t[1].x - t[0].x) * (t[2].y - t[0].y) - (t[1].y - t[0].y) * (t[2].x - t[0].x)) / 2.0;
    return sum;
}

}  // namespace

TEST(DataGeneratorTriangulate, FillsOutlinesAndLeavesHolesOpen)
{
    std::vector<Point> outer = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    std::vector<Point> hole = {{3, 3}, {7, 3}, {7, 7}, {3, 7}};
    auto tris = triangulate({outer, hole});
    EXPECT_NEAR(area(tris), 100.0 - 16.0, 1e-9);
    EXPECT_EQ(tris.size(), 8u);   // n + 2h - 2 for 8 corners and one hole
    // Either winding, and an island inside the hole is filled again.
    std::vector<Point> reversed(outer.rbegin(), outer.rend());
    std::vector<Point> island = {{4, 4}, {6, 4}, {6, 6}, {4, 6}};
    EXPECT_NEAR(area(triangulate({reversed, hole, island})), 100.0 - 16.0 + 4.0, 1e-9);
    // A concave outline (an L) with a point in the middle of a side.
    std::vector<Point> ell = {{0, 0}, {6, 0}, {6, 2}, {2, 2}, {2, 4}, {2, 6}, {0, 6}};
    EXPECT_NEAR(area(triangulate({ell})), 12.0 + 8.0, 1e-9);
    // Two holes side by side, as in "0" pairs of lettering.
    std::vector<Point> left = {{1, 1}, {4, 1}, {4, 9}, {1, 9}}, right = {{6, 1}, {9, 1}, {9, 9}, {6, 9}};
    EXPECT_NEAR(area(triangulate({outer, left, right})), 100.0 - 48.0, 1e-9);
}

TEST(DataGeneratorTriangulate, SimplifyDropsOnlyStraightPoints)
{
    std::vector<Point> c = {{0, 0}, {5, 0.001}, {10, 0}, {10, 10}, {0, 10}};
    EXPECT_EQ(simplify_contour(c, 0.01).size(), 4u);
    EXPECT_EQ(simplify_contour(c, 0.0001).size(), 5u);
}

TEST(DataGeneratorCanvas, DistanceIsEuclideanAndGrowsShapesExactly)
{
    // One lit pixel at (20, 12) of a 41 x 25 mask: the distance to its edge is
    // the distance between pixel centres less half a pixel, in every direction.
    Mask dot(41, 25);
    dot.at(20, 12) = 1.0f;
    Mask d = mask_distance(dot);
    const struct {
        int x, y;
        double expected;
    } cases[] = {{20, 12, -0.5}, {21, 12, 0.5}, {20, 2, 9.5}, {23, 16, 4.5}, {0, 0, std::sqrt(544.0) - 0.5},
                 {40, 24, std::sqrt(544.0) - 0.5}};
    for (auto &c : cases)
        EXPECT_NEAR(d.at(c.x, c.y), c.expected, 1e-5) << c.x << ", " << c.y;
    // Grown by 4.5 with a 2-pixel rim: solid to radius 4, empty from 6 on.
    Mask grown = solid_shape(dot, 4.5, 2.0);
    EXPECT_FLOAT_EQ(grown.at(24, 12), 1.0f);
    EXPECT_FLOAT_EQ(grown.at(25, 12), 0.5f);
    EXPECT_FLOAT_EQ(grown.at(26, 12), 0.0f);
    EXPECT_FLOAT_EQ(grown.at(20, 2), 0.0f);
}

TEST(DataGeneratorBmp, RoundTripsThroughSdlWithRowPadding)
{
    // Width 5: 15 bytes of pixels, padded to 16 per row.
    Image img(5, 3);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++)
            img.set(x, y, {x / 4.0, y / 2.0, (x + y) % 2 ? 1.0 : 0.0});
    std::string path = "datagen_roundtrip_test.bmp";
    write_bmp(path, img);
    SDL_Surface *s = SDL_LoadBMP(path.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->w, 5);
    EXPECT_EQ(s->h, 3);
    SDL_Surface *argb = SDL_CreateRGBSurface(0, 5, 3, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    SDL_BlitSurface(s, nullptr, argb, nullptr);
    std::vector<uint8_t> bytes = image_bytes(img);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++) {
            uint32_t p = static_cast<uint32_t *>(argb->pixels)[y * (argb->pitch / 4) + x];
            const uint8_t *want = &bytes[(y * 5 + x) * 3];
            EXPECT_EQ((p >> 16) & 0xFF, want[0]) << x << "," << y;
            EXPECT_EQ((p >> 8) & 0xFF, want[1]) << x << "," << y;
            EXPECT_EQ(p & 0xFF, want[2]) << x << "," << y;
        }
    EXPECT_EQ(bytes[3], 64);    // 0.25 rounds half up: 63.75 -> 64
    EXPECT_EQ(bytes[3 * 5 + 1], 128);   // 0.5 -> 127.5 -> 128
    SDL_FreeSurface(argb);
    SDL_FreeSurface(s);
    std::remove(path.c_str());
}

TEST(DataGeneratorSynth, LowPassKeepsTheLowAndCutsTheHigh)
{
    auto level_through = [](double hz) {
        Filter f;
        f.set(500.0, 0.0);
        double peak = 0;
        for (int i = 0; i < SAMPLE_RATE / 2; i++) {
            double y = f.low(sine01(hz * i / SAMPLE_RATE));
            if (i > SAMPLE_RATE / 4)
                peak = std::max(peak, std::fabs(y));
        }
        return peak;
    };
    EXPECT_NEAR(level_through(60.0), 1.0, 0.05);
    EXPECT_LT(level_through(8000.0), 0.01);   // below -40 dB
    EXPECT_EQ(beat_sample(1.0), 33075);       // 0.75 s at 44100 Hz
    EXPECT_EQ(beat_sample(264.0), 264 * 33075);
    EXPECT_NEAR(midi_hz(69), 440.0, 1e-9);
    EXPECT_NEAR(midi_hz(57), 220.0, 1e-9);
    EXPECT_NEAR(sine01(0.25), 1.0, 1e-9);
    EXPECT_NEAR(sine01(-0.25), -1.0, 1e-9);
}

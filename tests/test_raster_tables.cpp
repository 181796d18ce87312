// The byte tables and the lookups built on them.
#include <gtest/gtest.h>
#include <cmath>
#include "raster.h"
#include "support.h"

namespace {

uint8_t byte_of(int value)
{
    return static_cast<uint8_t>(static_cast<unsigned>(value) & 0xFFu);
}

class Tables : public ::testing::Test {
protected:
    void SetUp() override { ensure_tables(); }
};

} // namespace

TEST_F(Tables, ScaleTableFollowsTheDoubleRoundedFormulaEverywhere)
{
    int mismatches = 0, differs_from_exact = 0;
    for (int row = 0; row < 512; ++row) {
        double factor = (double)(row - 256) / 255.0;
        for (int value = 0; value < 256; ++value) {
            uint8_t entry = ScaleTable[row * 256 + value];
            if (entry != byte_of((int)std::trunc((double)value * factor)))
                ++mismatches;
            // Exact rational truncation: integer division rounds toward zero.
            if (entry != byte_of(value * (row - 256) / 255))
                ++differs_from_exact;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(differs_from_exact, 24);   // the products that rounding of f pulls below an integer
    EXPECT_EQ(ScaleTable[411 * 256 + 102], 61);
    EXPECT_EQ(ScaleTable[101 * 256 + 51], byte_of(-30));
    EXPECT_EQ(ScaleTable[0 * 256 + 255], 0x00);   // -256 keeps only its low byte
}

TEST_F(Tables, CubeTableFollowsItsFormulaEverywhere)
{
    int mismatches = 0;
    for (int row = 0; row < 512; ++row) {
        double base = (row - 256) / 255.0;
        for (int value = 0; value < 256; ++value)
            if (CubeTable[row * 256 + value] != byte_of((int)std::trunc(std::pow(base, 3.0) * value)))
                ++mismatches;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST_F(Tables, DepthShadeTableFollowsTheSinglePrecisionGain)
{
    int mismatches = 0;
    for (int depth = 0; depth < 51200; ++depth) {
        int clamped = depth < 30000 ? depth : 30000;
        float gain = (float)(30000 - clamped) / 30000.0f;
        for (int value = 0; value < 256; ++value)
            if (DepthShadeTable[depth * 256 + value] != (uint8_t)(int)((float)value * gain))
                ++mismatches;
    }
    EXPECT_EQ(mismatches, 0);
    for (int value = 0; value < 256; ++value)
        ASSERT_EQ(DepthShadeTable[value], value) << "row 0 is the identity";
    EXPECT_EQ(DepthShadeTable[1 * 256 + 255], 254);
    EXPECT_EQ(DepthShadeTable[1 * 256 + 1], 0);
    EXPECT_EQ(DepthShadeTable[15000 * 256 + 255], 127);
    for (int depth : {29999, 30000, 51199})
        for (int value = 0; value < 256; ++value)
            ASSERT_EQ(DepthShadeTable[depth * 256 + value], 0) << depth << " " << value;
}

TEST_F(Tables, Scale8ScalesBySignedFactorsAsBytes)
{
    for (int value = 0; value < 256; ++value) {
        ASSERT_EQ(scale8(0, value), 0);
        ASSERT_EQ(scale8(255, value), value);
    }
    EXPECT_EQ(scale8(128, 255), 128);
    EXPECT_EQ(scale8(128, 100), 50);
    EXPECT_EQ(scale8(-1, 255), 0xFF);
    EXPECT_EQ(scale8(-255, 255), 0x01);
    EXPECT_EQ(scale8(-10, 100), 0xFD);
    EXPECT_EQ(scale8(155, 102), 61);   // not 62: 155/255 is rounded first
    EXPECT_EQ(scale8(-256, 255), 0x00);
}

TEST_F(Tables, CubeScale8ScalesByTheCubedFactor)
{
    EXPECT_EQ(cube_scale8(128, 255), 32);
    EXPECT_EQ(cube_scale8(-128, 200), 0xE7);
    EXPECT_EQ(cube_scale8(255, 255), 255);
    EXPECT_EQ(cube_scale8(-255, 255), 0x01);
    EXPECT_EQ(cube_scale8(10, 255), 0);   // small factors barely move
}

TEST_F(Tables, ShadePixelDimsColourAndKeepsAlpha)
{
    EXPECT_EQ(shade_pixel(0x80FF8040u, 15000), 0x807F4020u);
    EXPECT_EQ(shade_pixel(0x12345678u, 0), 0x12345678u);
    EXPECT_EQ(shade_pixel(0xFFFFFFFFu, 30000), 0xFF000000u);
    EXPECT_EQ(shade_pixel(0xABFFFFFFu, 51199), 0xAB000000u);
}

TEST_F(Tables, BlendStepsMoveTowardsTheSource)
{
    // d - ScaleTable[d - s + 256][e], modulo 256
    auto step = [](int d, int s, int e) { return byte_of(d - ScaleTable[(d - s + 256) * 256 + e]); };
    EXPECT_EQ(step(0, 255, 255), 255);
    EXPECT_EQ(step(200, 100, 128), 150);
    EXPECT_EQ(step(0, 255, 128), 128);
    // Every step with weight 255 lands on the source, and weight 0 stays put.
    for (int d = 0; d < 256; ++d)
        for (int s = 0; s < 256; ++s) {
            ASSERT_EQ(step(d, s, 255), s) << d << " " << s;
            ASSERT_EQ(step(d, s, 0), d) << d << " " << s;
        }
}

TEST_F(Tables, FreeClearsThePointersAndInitBuildsThemAgain)
{
    tables_free();
    EXPECT_EQ(ScaleTable, nullptr);
    EXPECT_EQ(CubeTable, nullptr);
    EXPECT_EQ(DepthShadeTable, nullptr);
    tables_free();   // nothing left to release: harmless
    tables_init();
    tables_init();   // again: replaces, does not leak
    ASSERT_NE(ScaleTable, nullptr);
    ASSERT_NE(CubeTable, nullptr);
    EXPECT_EQ(DepthShadeTable, nullptr);
    EXPECT_EQ(scale8(128, 100), 50);
    depth_shade_table_init();
    EXPECT_EQ(shade_pixel(0x80FF8040u, 15000), 0x807F4020u);
}

// Scene 1's haze pass: the fast path against its reference.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>
#include "landscape.h"
#include "raster.h"
#include "support.h"

namespace {

uint32_t next_random(uint32_t &state)
{
    state = state * 1664525u + 1013904223u;
    return state;
}

// A surface over caller-owned words, rows pitch_words apart.
SDL_Surface *surface_over(std::vector<uint32_t> &words, int width, int height, int pitch_words)
{
    words.resize(static_cast<size_t>(pitch_words) * height);
    return SDL_CreateRGBSurfaceFrom(words.data(), width, height, 32, pitch_words * 4, 0x00FF0000u, 0x0000FF00u,
                                    0x000000FFu, 0xFF000000u);
}

} // namespace

TEST(HazePass, TheMultiplyHighIsTheQuotientBy255ForEveryProduct)
{
    // The vector path divides level x distance (at most 255 x 255) by 255
    // with a multiply-high by 0x8081 and a shift of 7.
    for (uint32_t product = 0; product <= 255u * 255u; ++product)
        ASSERT_EQ(((product * 0x8081u) >> 16) >> 7, product / 255u) << product;
}

TEST(HazePass, EqualsTheTablesAtEveryLevelOnEveryByte)
{
    // Every byte value in every channel (and in alpha), in a surface whose
    // width is not a multiple of four and whose rows are wider than it. Where
    // the scale table differs from the quotient the pass must use the table.
    ensure_tables();
    std::vector<uint32_t> fast_words, reference_words;
    SDL_Surface *fast = surface_over(fast_words, 259, 5, 263);
    SDL_Surface *reference = surface_over(reference_words, 259, 5, 263);
    uint32_t state = 99;
    std::vector<uint32_t> start(fast_words.size());
    for (size_t i = 0; i < start.size(); ++i) {
        uint32_t v = static_cast<uint32_t>(i & 0xFF);
        start[i] = i < 1024 ? (v * 0x01010101u) ^ (static_cast<uint32_t>(i >> 8) * 0x00550055u) : next_random(state);
    }
    int by_arithmetic = 0;
    for (int level = 0; level <= 255; ++level) {
        reference_words = start;
        haze_pass_reference(reference, level);
        fast_words = start;
        haze_pass(fast, level);
        ASSERT_EQ(fast_words, reference_words) << "level " << level;
#if RASTER_SSE2_PATHS
        fast_words = start;
        haze_pass_sse2(fast, level);
        ASSERT_EQ(fast_words, reference_words) << "level " << level << ", four pixels at a time";
#endif
        HazeTables tables;
        haze_tables(level, tables);
        by_arithmetic += haze_arithmetic_matches(level, tables);
    }
    // Most levels take the vector path (the table's exceptions are rare), so
    // the comparison above is mostly of it.
    EXPECT_GT(by_arithmetic, 200);
    EXPECT_LT(by_arithmetic, 257);
    SDL_FreeSurface(fast);
    SDL_FreeSurface(reference);
}

TEST(HazePass, ALevelWhoseTableDiffersFromTheQuotientIsRefused)
{
    ensure_tables();
    HazeTables tables;
    haze_tables(128, tables);
    ASSERT_TRUE(haze_arithmetic_matches(128, tables));
    tables.green[200] ^= 1;
    EXPECT_FALSE(haze_arithmetic_matches(128, tables));
    EXPECT_FALSE(haze_arithmetic_matches(256, tables));
    EXPECT_FALSE(haze_arithmetic_matches(-1, tables));
}

// ---- Ground ----------------------------------------------------------------------

TEST(GroundPass, TheLiftOfEveryHeightAtEveryDepthIsTheQuotient)
{
    // The vector walk computes the lifts; it relies on this to stay the table's.
    ensure_tables();
    EXPECT_TRUE(ground_lift_arithmetic_matches());
}

TEST(GroundPass, EqualsTheReferenceOnEveryRowOfTheMapsUnderTheViewer)
{
    // Random colours and heights (every red byte, so every height 0..63 and
    // the low bits that are shifted away), maps and target with rows wider
    // than 800, the real horizon; the position takes every map row under the
    // viewer, the wrap after the last row included. A third of the height
    // map's columns are steep (the red byte of each row random and
    // independent), the rest gentle, so both long spans and hidden samples occur.
    // The maps laid on their side once draw the same for every horizon and row.
    ensure_tables();
    std::vector<uint32_t> colour_words, height_words, fast_words, reference_words, laid_words;
    SDL_Surface *colours = surface_over(colour_words, 800, 256, 803);
    SDL_Surface *heights = surface_over(height_words, 800, 256, 811);
    SDL_Surface *fast = surface_over(fast_words, 800, 600, 805);
    SDL_Surface *reference = surface_over(reference_words, 800, 600, 805);
    SDL_Surface *laid_target = surface_over(laid_words, 800, 600, 805);
    uint32_t state = 7;
    for (uint32_t &word : colour_words)
        word = next_random(state);
    for (int m = 0; m < 256; ++m)
        for (int x = 0; x < 811; ++x) {
            const uint32_t red = x % 3 == 0 ? next_random(state) >> 24 : (uint32_t)(128 + 120 * std::sin(m * 0.05 + x * 0.01));
            height_words[m * 811 + x] = (next_random(state) & 0xFF00FFFFu) | red << 16;
        }
    // The show's horizon at every map row under the viewer; then at every
    // fifth row one whose far rows climb to the screen's top and past it (the
    // spans clipped there, a sample may land on row 0, which starts no span),
    // and one with a row too far out for 16-bit lanes, which the plain walk draws.
    int32_t horizons[3][256];
    for (int d = 0; d < 256; ++d) {
        horizons[0][d] = (int32_t)(255.0 * std::sin((d / 255.0 * 90.0 + 180.0) * 3.14159265358979323846 / 180.0));
        horizons[1][d] = -3 * d + (d % 5 == 0 ? 40 : 0);
        horizons[2][d] = horizons[0][d];
    }
    horizons[2][100] = 40000;
    std::vector<uint32_t> start(fast_words.size());
    for (uint32_t &word : start)
        word = next_random(state);
    std::atomic<float> position{0.0f};
    auto laid = std::make_unique<GroundColumns>();
    lay_ground(GroundMaps{colours, heights, horizons[0]}, *laid);
    for (const int32_t *horizon_rows : horizons) {
        const GroundMaps maps{colours, heights, horizon_rows};
        for (int k = 0; k < 256; k += horizon_rows == horizons[0] ? 1 : 5) {
            const float p = k + 256.0f * (k % 8) + (k % 3) * 0.375f;   // positions up to 2048, some not whole
            position.store(p);
            fast_words = start;
            reference_words = start;
            ground_pass(fast, maps, position);
            ground_pass_reference(reference, maps, position);
            ASSERT_EQ(fast_words, reference_words) << "position " << p << ", horizon " << horizon_rows[1];
            laid_words = start;
            ground_pass_laid(laid_target, *laid, horizon_rows, position);
            ASSERT_EQ(laid_words, reference_words) << "laid, position " << p << ", horizon " << horizon_rows[1];
        }
        EXPECT_NE(fast_words, start) << "the ground was drawn";
    }
    for (SDL_Surface *s : {colours, heights, fast, reference, laid_target})
        SDL_FreeSurface(s);
}

TEST(AlphaPass, SetsEveryAlphaByteAndTouchesNothingElse)
{
    // A width that is not a multiple of four, rows wider than it: the words
    // past the width belong to no pixel and stay as they were.
    std::vector<uint32_t> words, start;
    SDL_Surface *s = surface_over(words, 7, 3, 9);
    uint32_t state = 5;
    for (uint32_t &word : words)
        word = next_random(state);
    start = words;
    alpha_pass(s, 200);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 9; ++x) {
            const uint32_t before = start[y * 9 + x];
            ASSERT_EQ(words[y * 9 + x], x < 7 ? (before & 0x00FFFFFFu) | 0xC8000000u : before) << x << "," << y;
        }
    SDL_FreeSurface(s);
}

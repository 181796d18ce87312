// The ring warp shared by scenes 2 and 7: forward green, inverse red and blue,
// the gap fills of skipped columns and rows, and the counters it carries.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>
#include "ring_warp.h"
#include "support.h"

namespace {

constexpr int W = 800, H = 600;

// A map whose value tells where it was read: no symmetry, so a swapped
// row and column or a mirrored index shows.
std::vector<uint8_t> lopsided_map()
{
    std::vector<uint8_t> map(W * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            map[y * W + x] = (uint8_t)(x * 7 + y * 13);
    return map;
}

uint8_t byte_at(SDL_Surface *s, int x, int y, int shift) { return (pixel_at(s, x, y) >> shift) & 0xFF; }

// The source column (or row) reached by each screen column (or row) for a
// step of `first` over the first `half` positions and `second` beyond; the
// steps used here are multiples of 0.5, so the float sums are exact.
std::vector<int> reached(int count, int half, double first, double second)
{
    std::vector<int> out(count);
    for (int i = 0; i < count; ++i)
        out[i] = (int)std::floor(i <= half ? i * first : half * first + (i - half) * second);
    return out;
}

} // namespace

TEST(RingWarp, IdentityStepsCopyTheMapWithOffsetsAndMasks)
{
    // A surface wider and taller than the map, as a full-screen display may be:
    // rows must be stepped by the pitch, and nothing outside 800 x 600 touched.
    SDL_Surface *target = test_surface(840, 620, 0x5A010101);
    std::vector<uint8_t> map = lopsided_map();
    int previous_row = 0, previous_column = 0;
    ring_warp(target, map.data(), 1.0f, 1.0f, 1.0f, 1.0f, WarpChannel{200, 0xFE}, WarpChannel{100, 0xFE},
              WarpChannel{50, 0xFE}, previous_row, previous_column);

    for (int y = 0; y < 620; ++y)
        for (int x = 0; x < 840; ++x) {
            uint32_t p = pixel_at(target, x, y);
            if (x >= W || y >= H) {
                ASSERT_EQ(p, 0x5A010101u) << x << "," << y;
                continue;
            }
            uint8_t v = map[y * W + x];
            ASSERT_EQ((p >> 24) & 0xFF, 0x5Au) << "alpha is never written";
            ASSERT_EQ((p >> 8) & 0xFF, (uint32_t)((200 + v) & 0xFE)) << x << "," << y;
            ASSERT_EQ((p >> 16) & 0xFF, (uint32_t)((100 + v) & 0xFE)) << x << "," << y;
            ASSERT_EQ(p & 0xFF, (uint32_t)((50 + v) & 0xFE)) << x << "," << y;
        }
    EXPECT_EQ(previous_row, 599);
    EXPECT_EQ(previous_column, 799);
    SDL_FreeSurface(target);
}

TEST(RingWarp, UnevenStepsFillEverySkippedColumnAndRow)
{
    // Columns: 1.5 per screen column up to 400 (map 0..600), then 0.5 (600..799).
    // Rows: 1.5 per screen row up to 300 (map 0..450), then 0.5 (450..599).
    // Scene 7's channels: green and red plain, blue with the hue and its low bit cleared.
    SDL_Surface *target = test_surface(W, H, 0xFF010101);   // odd bytes: never written by blue
    std::vector<uint8_t> map = lopsided_map();
    const uint8_t hue = 37;
    int previous_row = 0, previous_column = 0;
    for (int frame = 0; frame < 2; ++frame)   // the second frame starts from the carried counters
        ring_warp(target, map.data(), 1.5f, 0.5f, 1.5f, 0.5f, WarpChannel{0, 0xFF}, WarpChannel{0, 0xFF},
                  WarpChannel{hue, 0xFE}, previous_row, previous_column);
    EXPECT_EQ(previous_row, 599);
    EXPECT_EQ(previous_column, 799);

    std::vector<int> column = reached(W, 400, 1.5, 0.5), row = reached(H, 300, 1.5, 0.5);
    ASSERT_EQ(column[W - 1], 799);
    ASSERT_EQ(row[H - 1], 599);
    // Each screen column covers map columns (previous reached + 1) .. reached; the
    // first column of a pass follows column 799 of the pass before. Rows alike.
    auto lowest = [](const std::vector<int> &to, int i) {
        int from = i == 0 ? 0 : to[i - 1] + 1;
        return from < to[i] ? from : to[i];
    };
    std::vector<int> last_column_over(W, -1), last_row_over(H, -1);
    for (int x = 0; x < W; ++x)
        for (int c = lowest(column, x); c <= column[x]; ++c)
            last_column_over[c] = x;
    for (int y = 0; y < H; ++y)
        for (int m = lowest(row, y); m <= row[y]; ++m)
            last_row_over[m] = y;

    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            // Forward: the last write of a pixel's green is the lowest row and column it covers.
            uint8_t forward = map[lowest(row, y) * W + lowest(column, x)];
            ASSERT_EQ(byte_at(target, x, y, 8), forward) << "green at " << x << "," << y;
            // Inverse: every map pixel is reached; it keeps the last screen pixel over it.
            int sx = last_column_over[x], sy = last_row_over[y];
            ASSERT_GE(sx, 0) << "map column " << x << " never written";
            ASSERT_GE(sy, 0) << "map row " << y << " never written";
            uint8_t under = map[sy * W + sx];
            ASSERT_EQ(byte_at(target, x, y, 16), under) << "red at " << x << "," << y;
            ASSERT_EQ(byte_at(target, x, y, 0), (uint8_t)((hue + under) & 0xFE)) << "blue at " << x << "," << y;
        }
    SDL_FreeSurface(target);
}

TEST(RingWarp, ExtendsTheLastReachedColumnAndRowToTheEdges)
{
    // Steps as the scenes make them, just short of covering the map: columns
    // 1.5 then 63/128 reach map column 796, rows reach 597 (binary fractions,
    // so the float sums are exact). Two different stale screens must give the
    // same frame: no pixel may keep what was there before.
    const float slow = 63.0f / 128.0f;
    std::vector<uint8_t> map = lopsided_map();
    SDL_Surface *frames[2] = {test_surface(W, H, 0xFF00FF00), test_surface(W, H, 0xFF3A5C7E)};
    for (SDL_Surface *target : frames) {
        int previous_row = 0, previous_column = 0;
        ring_warp(target, map.data(), 1.5f, slow, 1.5f, slow, WarpChannel{0, 0xFF}, WarpChannel{10, 0xFE},
                  WarpChannel{20, 0xFE}, previous_row, previous_column);
    }
    std::vector<int> column = reached(W, 400, 1.5, 63.0 / 128.0), row = reached(H, 300, 1.5, 63.0 / 128.0);
    const int last_column = column[W - 1], last_row = row[H - 1];
    ASSERT_EQ(last_column, 796);
    ASSERT_EQ(last_row, 597);
    // The inverse write of the last screen pixel over each reached map pixel,
    // as in the test above; the edges take the value of the last reached ones.
    std::vector<int> last_column_over(W, -1), last_row_over(H, -1);
    for (int x = 0; x < W; ++x)
        for (int c = x == 0 ? 0 : std::min(column[x - 1] + 1, column[x]); c <= column[x]; ++c)
            last_column_over[c] = x;
    for (int y = 0; y < H; ++y)
        for (int m = y == 0 ? 0 : std::min(row[y - 1] + 1, row[y]); m <= row[y]; ++m)
            last_row_over[m] = y;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            ASSERT_EQ(pixel_at(frames[0], x, y), pixel_at(frames[1], x, y)) << x << "," << y;
            int sx = last_column_over[x > last_column ? last_column : x];
            int sy = last_row_over[y > last_row ? last_row : y];
            uint8_t under = map[sy * W + sx];
            ASSERT_EQ(byte_at(frames[0], x, y, 16), (uint8_t)((10 + under) & 0xFE)) << "red at " << x << "," << y;
            ASSERT_EQ(byte_at(frames[0], x, y, 0), (uint8_t)((20 + under) & 0xFE)) << "blue at " << x << "," << y;
        }
    // Green is written forward for every pixel and is not touched by the edges.
    int lowest_row = std::min(row[H - 2] + 1, row[H - 1]), lowest_column = std::min(column[W - 2] + 1, column[W - 1]);
    EXPECT_EQ(byte_at(frames[0], W - 1, H - 1, 8), map[lowest_row * W + lowest_column]);
    for (SDL_Surface *target : frames)
        SDL_FreeSurface(target);
}

TEST(RingWarp, LeavesTooSmallTargetsAlone)
{
    SDL_Surface *small = test_surface(400, 300, 0xFF123456);
    std::vector<uint8_t> map = lopsided_map();
    int previous_row = 0, previous_column = 0;
    ring_warp(small, map.data(), 1.0f, 1.0f, 1.0f, 1.0f, WarpChannel{0, 0xFF}, WarpChannel{0, 0xFF},
              WarpChannel{0, 0xFF}, previous_row, previous_column);
    EXPECT_EQ(pixel_at(small, 0, 0), 0xFF123456u);
    EXPECT_EQ(pixel_at(small, 399, 299), 0xFF123456u);
    SDL_FreeSurface(small);
}

TEST(RingWarp, EqualsThePixelByPixelWarpFrameAfterFrame)
{
    // Scene 2's and scene 7's kinds of steps (the ring centre anywhere, so
    // steps 0..2), counters carried over frames and sometimes reset, and
    // steps no scene makes: negative, wider than the map, NaN. Targets with
    // rows wider than the map, random maps and random pixels; after every
    // frame the pixels and both counters must match the reference's.
    uint32_t state = 2024;
    auto next = [&]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    auto unit = [&]() { return (next() & 0xFFFF) / 65535.0f; };
    std::vector<uint8_t> map(W * H);
    for (uint8_t &v : map)
        v = static_cast<uint8_t>(next());
    SDL_Surface *fast = test_surface(830, 610, 0);
    SDL_Surface *reference = test_surface(830, 610, 0);
    const size_t bytes = static_cast<size_t>(fast->pitch) * fast->h;
    for (size_t i = 0; i < bytes; ++i)
        static_cast<uint8_t *>(fast->pixels)[i] = static_cast<uint8_t>(next());
    std::memcpy(reference->pixels, fast->pixels, bytes);
    int fast_row = 0, fast_column = 0, reference_row = 0, reference_column = 0;
    const float odd[] = {-0.75f, 0.0f, 3.25f, 900.0f, -2e9f, std::nanf("")};
    for (int frame = 0; frame < 40; ++frame) {
        float cx = unit() * 799.0f, cy = unit() * 599.0f;
        float steps[4] = {cx / 400.0f, (799.0f - cx) / 400.0f, cy / 300.0f, (599.0f - cy) / 300.0f};
        if (frame % 7 == 6)
            steps[next() % 4] = odd[next() % 6];
        if (frame % 11 == 10)
            fast_row = fast_column = reference_row = reference_column = static_cast<int>(next() % 900) - 50;
        WarpChannel channels[3];
        for (WarpChannel &c : channels)
            c = WarpChannel{static_cast<uint8_t>(next()), static_cast<uint8_t>(next() % 2 ? 0xFE : 0xFF)};
        ring_warp(fast, map.data(), steps[0], steps[1], steps[2], steps[3], channels[0], channels[1], channels[2],
                  fast_row, fast_column);
        ring_warp_reference(reference, map.data(), steps[0], steps[1], steps[2], steps[3], channels[0], channels[1],
                            channels[2], reference_row, reference_column);
        ASSERT_EQ(std::memcmp(fast->pixels, reference->pixels, bytes), 0)
            << "frame " << frame << " steps " << steps[0] << " " << steps[1] << " " << steps[2] << " " << steps[3];
        ASSERT_EQ(fast_row, reference_row) << frame;
        ASSERT_EQ(fast_column, reference_column) << frame;
    }
    SDL_FreeSurface(fast);
    SDL_FreeSurface(reference);
}

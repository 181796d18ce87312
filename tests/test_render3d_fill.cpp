// The triangle fill, its line routine and the plot rule.
#include <gtest/gtest.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>
#include "raster.h"
#include "render3d.h"
#include "support.h"

namespace {

constexpr uint32_t BACKGROUND = 0x12345678u;
constexpr uint32_t COLOUR = 0x80FF8040u;
const double NaN = std::numeric_limits<double>::quiet_NaN();

// An 800 x 600 target whose pixels (and depth buffer) are exactly as large
// as they must be, so AddressSanitizer sees any write beyond them.
struct Canvas {
    std::vector<uint32_t> pixels;
    std::vector<int32_t> depth;
    SDL_Surface *surface;
    int pitch_words;

    explicit Canvas(int pitch = 800)
        : pixels(static_cast<size_t>(pitch) * 600, BACKGROUND), depth(800 * 600, DEPTH_CLEAR), pitch_words(pitch)
    {
        ensure_tables();
        surface = SDL_CreateRGBSurfaceFrom(pixels.data(), 800, 600, 32, pitch * 4, 0x00FF0000u, 0x0000FF00u,
                                           0x000000FFu, 0xFF000000u);
    }
    ~Canvas() { SDL_FreeSurface(surface); }

    uint32_t pixel(int x, int y) const { return pixels[static_cast<size_t>(y) * pitch_words + x]; }
    int32_t depth_at(int x, int y) const { return depth[static_cast<size_t>(y) * 800 + x]; }
    bool drawn(int x, int y) const { return pixel(x, y) != BACKGROUND; }

    void fill(uint32_t colour, double x0, double y0, double z0, double x1, double y1, double z1,
              double x2, double y2, double z2)
    {
        fill_triangle_3d(surface, depth.data(), colour, x0, y0, z0, x1, y1, z1, x2, y2, z2);
    }
    void line(uint32_t colour, double x0, double y0, double z0, double x1, double y1, double z1)
    {
        draw_line_3d(surface, depth.data(), colour, x0, y0, z0, x1, y1, z1);
    }
    // The columns drawn in row y, as [first, last]; {-1, -1} when none.
    std::pair<int, int> span(int y) const
    {
        int first = -1, last = -1;
        for (int x = 0; x < 800; ++x)
            if (drawn(x, y)) {
                if (first < 0)
                    first = x;
                last = x;
            }
        return {first, last};
    }
    int drawn_count() const
    {
        int count = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                count += drawn(x, y);
        return count;
    }
};

// A channel dimmed by depth as the shading table defines it (single precision).
uint32_t shaded(uint32_t colour, int depth)
{
    float gain = static_cast<float>(30000 - std::min(depth, 30000)) / 30000.0f;
    auto channel = [&](int shift) {
        return static_cast<uint32_t>(static_cast<int>(static_cast<float>((colour >> shift) & 0xFF) * gain)) << shift;
    };
    return (colour & 0xFF000000u) | channel(16) | channel(8) | channel(0);
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST(FillTriangle, FillsRowsTopToBottomExceptTheBottomRow)
{
    Canvas c;
    c.fill(COLOUR, 100, 100, 1000, 200, 100, 1000, 100, 200, 1000);
    uint32_t expected = shaded(COLOUR, 1000);
    EXPECT_EQ(expected & 0xFF000000u, 0x80000000u);
    EXPECT_EQ((expected >> 16) & 0xFF, 246u);   // trunc(255 * 29000 / 30000)
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            bool inside = y >= 100 && y <= 199 && x >= 100 && x <= 200 - (y - 100);
            ASSERT_EQ(c.pixel(x, y), inside ? expected : BACKGROUND) << x << "," << y;
            ASSERT_EQ(c.depth_at(x, y), inside ? 1000 : DEPTH_CLEAR) << x << "," << y;
        }
    }
    EXPECT_EQ(c.span(100), std::make_pair(100, 200));
    EXPECT_EQ(c.span(199), std::make_pair(100, 101));
}

TEST(FillTriangle, StepsRowsByThePitch)
{
    Canvas c(1000);   // a display surface may be wider in memory than on screen
    c.fill(COLOUR, 100, 100, 1000, 200, 100, 1000, 100, 200, 1000);
    EXPECT_EQ(c.span(150), std::make_pair(100, 150));
    EXPECT_EQ(c.pixel(100, 199), shaded(COLOUR, 1000));
    EXPECT_EQ(c.depth_at(100, 199), 1000);
    for (int y = 0; y < 600; ++y)
        for (int x = 800; x < 1000; ++x)
            ASSERT_EQ(c.pixel(x, y), BACKGROUND);

    Canvas edge(1000);
    edge.fill(COLOUR, 700, 500, 10, 1200, 500, 10, 700, 900, 10);
    EXPECT_EQ(edge.span(599), std::make_pair(700, 799));
    for (int y = 0; y < 600; ++y)
        for (int x = 800; x < 1000; ++x)
            ASSERT_EQ(edge.pixel(x, y), BACKGROUND);
}

TEST(FillTriangle, RejectsWhatLiesBehindOrOffTheTarget)
{
    Canvas c;
    c.fill(COLOUR, 100, 100, 1000, 200, 100, 1000, 100, 200, -1);         // behind the viewer
    c.fill(COLOUR, -300, 100, 1000, -200, 100, 1000, -300, 200, 1000);    // all left
    c.fill(COLOUR, 800, 100, 1000, 900, 100, 1000, 800, 200, 1000);       // all right
    c.fill(COLOUR, 100, -300, 1000, 200, -300, 1000, 100, -1, 1000);      // bottom above row 0
    c.fill(COLOUR, 100, 600, 1000, 200, 600, 1000, 100, 700, 1000);       // top below the last row
    c.fill(COLOUR, 100, 100, 1000, 200, 150, 1000, 100, 100, 5000);       // two vertices on one point
    c.fill(COLOUR, 100, 100, 1000, 200, 100.9, 1000, 300, 100.5, 1000);   // one row: the bottom one
    EXPECT_EQ(c.drawn_count(), 0);
    for (int32_t d : c.depth)
        ASSERT_EQ(d, DEPTH_CLEAR);

    // A depth just below 0 truncates to 0 and is drawn, unshaded.
    c.fill(COLOUR, 100, 100, 1000, 200, 100, 1000, 100, 200, -0.5);
    EXPECT_GT(c.drawn_count(), 0);
    EXPECT_EQ(c.depth_at(100, 100), 1000);
    EXPECT_EQ(c.depth_at(100, 199), 10);   // 1000 down to 0 over 100 rows
}

TEST(FillTriangle, EqualDepthReplacesFartherDoesNot)
{
    Canvas c;
    c.fill(0xFF0000FFu, 100, 100, 1000, 200, 100, 1000, 100, 200, 1000);
    c.fill(0xFF00FF00u, 100, 100, 1000, 200, 100, 1000, 100, 200, 1000);
    EXPECT_EQ(c.pixel(120, 120), shaded(0xFF00FF00u, 1000));
    c.fill(0xFFFF0000u, 100, 100, 1001, 200, 100, 1001, 100, 200, 1001);
    EXPECT_EQ(c.pixel(120, 120), shaded(0xFF00FF00u, 1000));
    EXPECT_EQ(c.depth_at(120, 120), 1000);
    c.fill(0xFFFF0000u, 100, 100, 999, 200, 100, 999, 100, 200, 999);
    EXPECT_EQ(c.pixel(120, 120), shaded(0xFFFF0000u, 999));
    EXPECT_EQ(c.depth_at(120, 120), 999);
}

TEST(FillTriangle, ShadesByDepthUpToTheTableEnd)
{
    Canvas c;
    c.fill(COLOUR, 100, 100, 40000, 200, 100, 40000, 100, 200, 40000);
    EXPECT_EQ(c.pixel(110, 110), 0x80000000u);   // black, alpha kept
    EXPECT_EQ(c.depth_at(110, 110), 40000);

    Canvas far;
    far.fill(COLOUR, 100, 100, 60000, 200, 100, 60000, 100, 200, 60000);
    EXPECT_EQ(far.drawn_count(), 0);

    // Depth varies along a row: only the part nearer than the table's end is drawn.
    Canvas ramp;
    ramp.fill(COLOUR, 0, 100, 50000, 400, 100, 52400, 0, 200, 50000);
    auto [first, last] = ramp.span(100);
    EXPECT_EQ(first, 0);
    EXPECT_GT(last, 150);
    EXPECT_LT(last, 250);
    EXPECT_LT(ramp.depth_at(last, 100), DEPTH_LIMIT);
}

TEST(FillTriangle, WalksRowsAboveTheTargetWithoutDrawingThem)
{
    Canvas c;
    c.fill(COLOUR, 100, -50, 1000, 300, -50, 1000, 100, 150, 1000);
    EXPECT_EQ(c.span(0), std::make_pair(100, 250));   // where the edge has come to by row 0
    EXPECT_EQ(c.span(149), std::make_pair(100, 101));
    EXPECT_EQ(c.span(150), std::make_pair(-1, -1));
}

TEST(FillTriangle, ARowWhoseEdgesMeetPlotsOnePixel)
{
    Canvas c;
    c.fill(COLOUR, 150, 100, 1000, 100, 150, 1000, 200, 200, 1000);
    EXPECT_EQ(c.span(100), std::make_pair(150, 150));
    EXPECT_EQ(c.span(99), std::make_pair(-1, -1));
    EXPECT_EQ(c.span(101).first, 149);
}

TEST(FillTriangle, WithoutAMiddleVertexDrawsTheSegmentFromTopToBottom)
{
    // The first two vertices differ as doubles but share a pixel: a sliver.
    Canvas c;
    c.fill(COLOUR, 100, 100, 1000, 100.5, 100.3, 1000, 100, 200, 1000);
    for (int y = 100; y < 200; ++y)
        ASSERT_EQ(c.span(y), std::make_pair(100, 100)) << y;
    EXPECT_EQ(c.drawn_count(), 100);

    // The same with the shared pixel at the bottom, on a slant.
    Canvas slant;
    slant.fill(COLOUR, 100, 100, 1000, 150.2, 200.7, 1000, 150, 200, 1000);
    EXPECT_EQ(slant.span(100), std::make_pair(100, 100));
    EXPECT_EQ(slant.span(198), std::make_pair(149, 149));
    EXPECT_EQ(slant.drawn_count(), 100);
}

TEST(FillTriangle, CoordinatesBeyondThirtyTwoBitsActAsTheLeastInteger)
{
    Canvas nan, huge, least;
    nan.fill(COLOUR, NaN, 100, 1000, 200, 100, 1000, 200, 300, 1000);
    huge.fill(COLOUR, -1e300, 100, 1000, 200, 100, 1000, 200, 300, 1000);
    least.fill(COLOUR, -2147483648.0, 100, 1000, 200, 100, 1000, 200, 300, 1000);
    EXPECT_GT(least.drawn_count(), 0);
    EXPECT_EQ(nan.pixels, least.pixels);
    EXPECT_EQ(huge.pixels, least.pixels);
    EXPECT_EQ(nan.depth, least.depth);

    // +1e300 and +infinity also become the least integer, not the greatest.
    Canvas positive;
    positive.fill(COLOUR, std::numeric_limits<double>::infinity(), 100, 1000, 200, 100, 1000, 200, 300, 1000);
    EXPECT_EQ(positive.pixels, least.pixels);
}

TEST(FillTriangle, ATopRowBeyondFloatStepsReturnsAtOnce)
{
    // A vertex near depth 0 projects millions of rows off the target; a row
    // counted in single precision would never advance past 2^24.
    Canvas c;
    auto start = std::chrono::steady_clock::now();
    c.fill(COLOUR, 400, -1e12, 1000, 300, 500, 1000, 500, 500, 1000);      // top truncates to INT32_MIN
    c.fill(COLOUR, 400, -20000000, 1000, 300, 500, 1000, 500, 500, 1000);  // top within 32 bits, beyond 2^24
    c.fill(COLOUR, 400, NaN, 1000, 300, 500, 1000, 500, 500, 1000);
    EXPECT_LT(seconds_since(start), 0.5);
    EXPECT_EQ(c.drawn_count(), 0);

    // Just inside the limit the walk is exact and ends.
    Canvas tall;
    start = std::chrono::steady_clock::now();
    tall.fill(COLOUR, 400, -16777216, 1000, 0, 599, 1000, 800, 599, 1000);
    EXPECT_LT(seconds_since(start), 5.0);
    EXPECT_GT(tall.drawn_count(), 599 * 790);
    EXPECT_EQ(tall.span(599), std::make_pair(-1, -1));

    // A bottom row far below is no risk: the walk ends at the last row.
    Canvas deep;
    start = std::chrono::steady_clock::now();
    deep.fill(COLOUR, 400, 100, 1000, 300, 500, 1000, 500, 30000000, 1000);
    EXPECT_LT(seconds_since(start), 0.5);
    EXPECT_EQ(deep.span(100), std::make_pair(400, 400));
    EXPECT_NE(deep.span(599).first, -1);
}

TEST(DrawLine3d, XMajorIncludesItsLastColumn)
{
    Canvas c;
    c.line(COLOUR, 20, 15, 1000, 10, 10, 1000);   // swapped so that x grows
    EXPECT_TRUE(c.drawn(10, 10));
    EXPECT_TRUE(c.drawn(12, 11));
    EXPECT_TRUE(c.drawn(20, 15));
    EXPECT_EQ(c.drawn_count(), 11);

    // Starting left of the target: y and z are advanced to column 0 first.
    Canvas left;
    left.line(COLOUR, -10, 0, 1000, 30, 20, 1000);
    EXPECT_TRUE(left.drawn(0, 5));
    EXPECT_TRUE(left.drawn(30, 20));
    EXPECT_EQ(left.drawn_count(), 31);
}

TEST(DrawLine3d, YMajorRunsFromTheFirstRowThroughTheLast)
{
    Canvas c;
    c.line(COLOUR, 10, 10, 1000, 10, 20, 1000);
    for (int y = 10; y <= 20; ++y)
        EXPECT_TRUE(c.drawn(10, y)) << y;
    EXPECT_EQ(c.drawn_count(), 11);

    Canvas up;
    up.line(COLOUR, 10, 20, 1000, 10, 10, 1000);   // upwards: the stop row is 9
    EXPECT_EQ(up.drawn_count(), 11);

    Canvas point;
    point.line(COLOUR, 33.7, 44, 500, 33.7, 44, 900);
    EXPECT_TRUE(point.drawn(33, 44));
    EXPECT_EQ(point.drawn_count(), 1);
    EXPECT_EQ(point.depth_at(33, 44), 500);
}

TEST(DrawLine3d, LinesFarOffTheTargetEndAndDrawNothingOutside)
{
    Canvas c;
    auto start = std::chrono::steady_clock::now();
    c.line(COLOUR, 5, -1e12, 1000, 5, 1e12, 1000);
    c.line(COLOUR, 5, NaN, 1000, 5, 10, 1000);
    c.line(COLOUR, NaN, 5, 1000, 10, 5, 1000);
    c.line(COLOUR, -1e300, 7, 1000, 1e300, 7, 1000);    // the whole row
    c.line(COLOUR, 790, 5, 1000, 1e9, 5, 1000);
    c.line(COLOUR, 400, 590, 1000, 401, 1e9, 1000);    // runs off the bottom: ends there
    c.line(COLOUR, 300, 1e9, 1000, 301, 590, 1000);    // starts beyond 2^24 rows: not drawn
    EXPECT_LT(seconds_since(start), 1.0);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (c.drawn(x, y)) {
                ASSERT_LT(c.depth_at(x, y), DEPTH_LIMIT);
            }
    EXPECT_EQ(c.span(7), std::make_pair(0, 799));
    EXPECT_EQ(c.span(5), std::make_pair(790, 799));
    for (int y = 590; y < 600; ++y)
        EXPECT_EQ(c.span(y), std::make_pair(400, 400)) << y;
    EXPECT_EQ(c.drawn_count(), 800 + 10 + 10);
}

TEST(FillTriangle, RandomTrianglesStayInsideTheTarget)
{
    // Huge, infinite, NaN, behind-the-viewer and near-zero coordinates mixed
    // with ordinary ones. The buffers are exactly the target's size, so a
    // stray write shows under AddressSanitizer; the depth buffer holds only
    // the clear value or a plotted depth, and only drawn pixels have one.
    Canvas c;
    std::srand(1234);
    const double specials[] = {NaN, 1e300, -1e300, std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), 2147483648.0, -2147483649.0,
                               -2147483648.0, 2147483647.0, 16777216.0, -20000000.0,
                               0.0, -0.5, 799.999, 600.0, -1.0};
    auto coordinate = [&](double range) {
        int pick = std::rand() % 10;
        if (pick == 0)
            return specials[std::rand() % (sizeof specials / sizeof specials[0])];
        if (pick == 1)
            return (std::rand() / (double)RAND_MAX - 0.5) * 2e5;
        return (std::rand() / (double)RAND_MAX) * range * 1.4 - range * 0.2;
    };
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3000; ++i) {
        double v[9];
        for (int k = 0; k < 3; ++k) {
            v[3 * k] = coordinate(800);
            v[3 * k + 1] = coordinate(600);
            v[3 * k + 2] = coordinate(60000);
        }
        uint32_t colour = static_cast<uint32_t>(std::rand()) * 2654435761u;
        if (i % 2)
            c.fill(colour, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
        else
            c.line(colour, v[0], v[1], v[2], v[3], v[4], v[5]);
    }
    EXPECT_LT(seconds_since(start), 60.0);
    int drawn = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            int32_t d = c.depth_at(x, y);
            ASSERT_TRUE(d == DEPTH_CLEAR || (d >= 0 && d < DEPTH_LIMIT)) << d;
            if (c.drawn(x, y)) {
                ASSERT_NE(d, DEPTH_CLEAR);
                ++drawn;
            }
        }
    EXPECT_GT(drawn, 1000);
}

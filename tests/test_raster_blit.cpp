// Blits, fills, fades, points and lines on raw 32-bit pixel arrays.
#include <gtest/gtest.h>
#include <vector>
#include "raster.h"
#include "support.h"

namespace {

class Blit : public ::testing::Test {
protected:
    void SetUp() override { ensure_tables(); }
};

void set_pixel(SDL_Surface *s, int x, int y, uint32_t colour)
{
    static_cast<uint32_t *>(s->pixels)[y * (s->pitch / 4) + x] = colour;
}

// An opaque source whose every pixel names its own column and row.
SDL_Surface *numbered_surface(int width, int height)
{
    SDL_Surface *s = test_surface(width, height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            set_pixel(s, x, y, 0xFF000000u | (uint32_t)(x << 8) | (uint32_t)y);
    return s;
}

// Counts the pixels that differ from `colour`.
int pixels_not(SDL_Surface *s, uint32_t colour)
{
    int count = 0;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x)
            count += pixel_at(s, x, y) != colour;
    return count;
}

// The pixels that a rectangle call touched, checked against the expected
// inclusive column and row ranges (an empty range: first > last).
void expect_only_block(SDL_Surface *s, int first_x, int last_x, int first_y, int last_y, uint32_t inside,
                       uint32_t outside)
{
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) {
            bool in = x >= first_x && x <= last_x && y >= first_y && y <= last_y;
            ASSERT_EQ(pixel_at(s, x, y), in ? inside : outside) << "at " << x << "," << y;
        }
}

} // namespace

TEST_F(Blit, AlphaBlendSkipsTransparentSourcePixelsEntirely)
{
    SDL_Surface *dst = test_surface(4, 4, 0x40506070u);
    SDL_Surface *src = test_surface(4, 4, 0x00FFFFFFu);
    blit_alpha(src, dst, 0, 0, 255, BLEND_LINEAR);
    blit_alpha(src, dst, 0, 0, 255, BLEND_CUBIC);
    EXPECT_EQ(pixels_not(dst, 0x40506070u), 0);
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
}

TEST_F(Blit, AlphaBlendStepsAndAccumulatesAlpha)
{
    SDL_Surface *dst = test_surface(1, 1, 0);
    SDL_Surface *src = test_surface(1, 1, 0);

    // Opacity 255, opaque source: the colour is replaced, alpha 255 + 255 wraps to 254.
    set_pixel(dst, 0, 0, 0xFF123456u);
    set_pixel(src, 0, 0, 0xFFABCDEFu);
    blit_alpha(src, dst, 0, 0, 255, BLEND_LINEAR);
    EXPECT_EQ(pixel_at(dst, 0, 0), 0xFEABCDEFu);

    // Opacity 128, opaque source: d 200 towards s 100 gives 150 in every channel.
    set_pixel(dst, 0, 0, 0x00C8C8C8u);
    set_pixel(src, 0, 0, 0xFF646464u);
    blit_alpha(src, dst, 0, 0, 128, BLEND_LINEAR);
    EXPECT_EQ(pixel_at(dst, 0, 0), 0xFF969696u);

    // Opacity 255, source alpha 128: d 0 towards s 255 gives 128; alpha adds 128.
    set_pixel(dst, 0, 0, 0x10000000u);
    set_pixel(src, 0, 0, 0x80FFFFFFu);
    blit_alpha(src, dst, 0, 0, 255, BLEND_LINEAR);
    EXPECT_EQ(pixel_at(dst, 0, 0), 0x90808080u);

    // Opacity 0 moves no colour but still adds the source alpha.
    set_pixel(dst, 0, 0, 0x05102030u);
    set_pixel(src, 0, 0, 0x07FFFFFFu);
    blit_alpha(src, dst, 0, 0, 0, BLEND_LINEAR);
    EXPECT_EQ(pixel_at(dst, 0, 0), 0x0C102030u);

    // Channels move independently, each step truncated toward zero:
    // blue 10 -> 20 by 64/255 of 10 is 2, green 250 -> 0 by 64/255 is -62, red stays.
    set_pixel(dst, 0, 0, 0x0080FA0Au);
    set_pixel(src, 0, 0, 0xFF800014u);
    blit_alpha(src, dst, 0, 0, 64, BLEND_LINEAR);   // weight trunc(64 * 255 / 255) = 64
    EXPECT_EQ(pixel_at(dst, 0, 0), 0xFF80BC0Cu);

    // An opacity past 255 acts as 255 and a negative one as 0.
    set_pixel(dst, 0, 0, 0x00000000u);
    set_pixel(src, 0, 0, 0xFFFFFFFFu);
    blit_alpha(src, dst, 0, 0, 1000, BLEND_LINEAR);
    EXPECT_EQ(pixel_at(dst, 0, 0), 0xFFFFFFFFu);
    set_pixel(dst, 0, 0, 0x00000000u);
    blit_alpha(src, dst, 0, 0, -40, BLEND_LINEAR);
    EXPECT_EQ(pixel_at(dst, 0, 0), 0xFF000000u);

    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
}

TEST_F(Blit, CubicBlendMovesByTheCubeOfTheDifference)
{
    SDL_Surface *dst = test_surface(1, 1, 0);
    SDL_Surface *src = test_surface(1, 1, 0);
    // blue: 200 towards 100 at weight 255 steps trunc(255 (100/255)^3) = 15;
    // green: 110 towards 100 barely moves (step 0); red: 0 towards 255 arrives.
    set_pixel(dst, 0, 0, 0x00006EC8u);
    set_pixel(src, 0, 0, 0xFFFF6464u);
    blit_alpha(src, dst, 0, 0, 255, BLEND_CUBIC);
    EXPECT_EQ(pixel_at(dst, 0, 0), 0xFFFF6EB9u);
    // The same pixels in linear mode land on the source.
    set_pixel(dst, 0, 0, 0x00006EC8u);
    blit_alpha(src, dst, 0, 0, 255, BLEND_LINEAR);
    EXPECT_EQ(pixel_at(dst, 0, 0), 0xFFFF6464u);
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
}

// blit_copy and an opaque blit_alpha must agree with the placement rule at
// every edge, including positions that put the source partly or wholly off.
TEST_F(Blit, BlitsClipAtAllFourEdgesAndNegativePositions)
{
    const int width = 12, height = 9, source_width = 5, source_height = 4;
    SDL_Surface *src = numbered_surface(source_width, source_height);
    const uint32_t background = 0x01020304u;
    for (int x : {-6, -5, -4, -1, 0, 3, 7, 8, 11, 12, 40}) {
        for (int y : {-5, -4, -2, 0, 2, 5, 6, 8, 9}) {
            for (int use_alpha = 0; use_alpha < 2; ++use_alpha) {
                SDL_Surface *dst = test_surface(width, height, use_alpha ? 0x00020304u : background);
                if (use_alpha)
                    blit_alpha(src, dst, x, y, 255, BLEND_LINEAR);
                else
                    blit_copy(src, dst, x, y);
                for (int row = 0; row < height; ++row)
                    for (int column = 0; column < width; ++column) {
                        int sx = column - x, sy = row - y;
                        bool covered = sx >= 0 && sx < source_width && sy >= 0 && sy < source_height;
                        uint32_t expected = covered ? pixel_at(src, sx, sy)
                                                    : (use_alpha ? 0x00020304u : background);
                        ASSERT_EQ(pixel_at(dst, column, row), expected)
                            << "source at " << x << "," << y << " pixel " << column << "," << row
                            << (use_alpha ? " (alpha)" : " (copy)");
                    }
                SDL_FreeSurface(dst);
            }
        }
    }
    SDL_FreeSurface(src);
}

TEST_F(Blit, CopyTakesAlphaAlong)
{
    SDL_Surface *src = test_surface(2, 2, 0x3366AA11u);
    SDL_Surface *dst = test_surface(3, 3, 0xFFFFFFFFu);
    blit_copy(src, dst, 1, 1);
    EXPECT_EQ(pixel_at(dst, 1, 1), 0x3366AA11u);
    EXPECT_EQ(pixel_at(dst, 2, 2), 0x3366AA11u);
    EXPECT_EQ(pixel_at(dst, 0, 0), 0xFFFFFFFFu);
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
}

TEST_F(Blit, RectanglesCoverTheirLastColumnAndRowAndClip)
{
    const uint32_t colour = 0xCAFEF00Du;
    struct Case {
        int x, y, w, h;
        int first_x, last_x, first_y, last_y;   // expected, inclusive; empty when first > last
    };
    const Case cases[] = {
        {0, 0, 10, 8, 0, 9, 0, 7},     // the surface's own size covers it all
        {0, 0, 800, 600, 0, 9, 0, 7},
        {2, 3, 1, 1, 2, 3, 3, 4},      // w = h = 1: a 2 x 2 block
        {2, 3, 0, 4, 1, 0, 1, 0},      // w = 0: nothing
        {2, 3, 4, 0, 1, 0, 1, 0},      // h = 0: nothing
        {-3, 1, 5, 2, 0, 2, 1, 3},     // left edge: w shrinks by the overhang
        {1, -2, 2, 5, 1, 3, 0, 3},     // top edge
        {-3, 1, 3, 2, 1, 0, 1, 0},     // left overhang eats all of w
        {7, 5, 20, 20, 7, 9, 5, 7},    // right and bottom edges
        {9, 2, 5, 2, 1, 0, 1, 0},      // starting on the last column leaves w = 0
        {12, 2, 5, 2, 1, 0, 1, 0},     // right of the surface
        {2, 8, 5, 5, 1, 0, 1, 0},      // below the surface
        {-20, -20, 5, 5, 1, 0, 1, 0},  // above and left
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "rect " << c.x << "," << c.y << "," << c.w << "," << c.h);
        SDL_Surface *s = test_surface(10, 8, 0);
        fill_rect(s, c.x, c.y, c.w, c.h, colour);
        expect_only_block(s, c.first_x, c.last_x, c.first_y, c.last_y, colour, 0);
        // The fade and the dimming clip by the same rule.
        SDL_FillRect(s, nullptr, 0xFFFFFFFFu);
        fade_rect(s, c.x, c.y, c.w, c.h, 255);
        expect_only_block(s, c.first_x, c.last_x, c.first_y, c.last_y, 0xFF000000u, 0xFFFFFFFFu);
        SDL_FillRect(s, nullptr, 0xFFFFFFFFu);
        dim_rect(s, c.x, c.y, c.w, c.h, 255);
        expect_only_block(s, c.first_x, c.last_x, c.first_y, c.last_y, 0xFF000000u, 0xFFFFFFFFu);
        SDL_FreeSurface(s);
    }
}

TEST_F(Blit, WarmFadeCapsEachChannelAtItsCeiling)
{
    // (A rectangle needs h >= 1, and so two rows, to draw at all.)
    SDL_Surface *s = test_surface(4, 2, 0);
    set_pixel(s, 0, 0, 0x7FFFFFFFu);   // bright: capped
    set_pixel(s, 1, 0, 0x00808080u);   // 128 everywhere: only green is above 124
    set_pixel(s, 2, 0, 0xFF000000u);   // black with alpha: untouched
    set_pixel(s, 3, 0, 0x00010000u);   // barely lit: below every ceiling
    fade_rect(s, 0, 0, 4, 2, 100);     // ceilings: blue 139, green 124, red 155
    EXPECT_EQ(pixel_at(s, 0, 0), 0x7F9B7C8Bu);
    EXPECT_EQ(pixel_at(s, 1, 0), 0x00807C80u);
    EXPECT_EQ(pixel_at(s, 2, 0), 0xFF000000u);
    EXPECT_EQ(pixel_at(s, 3, 0), 0x00010000u);
    SDL_FreeSurface(s);
}

TEST_F(Blit, FadeLevelsOutsideTheRangeDoNothingOrGoBlack)
{
    for (int level : {0, -1, -300}) {
        SDL_Surface *s = test_surface(3, 3, 0x80C0D0E0u);
        fade_rect(s, 0, 0, 3, 3, level);
        EXPECT_EQ(pixels_not(s, 0x80C0D0E0u), 0) << level;
        SDL_FreeSurface(s);
    }
    // 255 is black; above it stays black rather than turning red.
    for (int level : {255, 256, 300, 100000}) {
        SDL_Surface *s = test_surface(3, 3, 0x80C0D0E0u);
        set_pixel(s, 1, 1, 0x00000001u);
        fade_rect(s, 0, 0, 3, 3, level);
        EXPECT_EQ(pixels_not(s, 0x80000000u), 1) << level;
        EXPECT_EQ(pixel_at(s, 1, 1), 0x00000000u) << level;
        SDL_FreeSurface(s);
    }
}

TEST_F(Blit, DimScalesLitPixelsThroughTheTable)
{
    SDL_Surface *s = test_surface(3, 2, 0);
    set_pixel(s, 0, 0, 0x40C86401u);   // 200, 100, 1 times 250/255: 196, 98, 0
    set_pixel(s, 1, 0, 0xFF000000u);   // black: untouched
    set_pixel(s, 2, 0, 0x00FFFFFFu);
    dim_rect(s, 0, 0, 3, 2, 5);
    EXPECT_EQ(pixel_at(s, 0, 0), 0x40C46200u);
    EXPECT_EQ(pixel_at(s, 1, 0), 0xFF000000u);
    EXPECT_EQ(pixel_at(s, 2, 0), 0x00FAFAFAu);
    // No amount, or a negative one, leaves everything; past 255 it is black.
    dim_rect(s, 0, 0, 3, 2, 0);
    dim_rect(s, 0, 0, 3, 2, -9);
    EXPECT_EQ(pixel_at(s, 2, 0), 0x00FAFAFAu);
    dim_rect(s, 0, 0, 3, 2, 1000);
    EXPECT_EQ(pixel_at(s, 2, 0), 0x00000000u);
    EXPECT_EQ(pixel_at(s, 0, 0), 0x40000000u);
    SDL_FreeSurface(s);
}

TEST_F(Blit, KeyedBlitSkipsTheKeyAndClipsBothSurfaces)
{
    SDL_Surface *src = numbered_surface(6, 5);
    set_pixel(src, 2, 1, 0);   // the key
    const uint32_t background = 0x11111111u;

    // The 3 x 3 block at (1, 0) lands at (4, 2); the key pixel is skipped.
    SDL_Surface *dst = test_surface(10, 8, background);
    blit_keyed(src, 1, 0, 2, 2, dst, 4, 2, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            bool in = x >= 4 && x <= 6 && y >= 2 && y <= 4;
            uint32_t expected = in ? pixel_at(src, x - 3, y - 2) : background;
            if (x == 5 && y == 3)
                expected = background;
            ASSERT_EQ(pixel_at(dst, x, y), expected) << x << "," << y;
        }
    // A negative key copies every pixel, the key's too.
    blit_keyed(src, 1, 0, 2, 2, dst, 4, 2, -1);
    EXPECT_EQ(pixel_at(dst, 5, 3), 0u);

    // Hanging off the left and top: what the edges cut off is skipped in the
    // source too, so destination (c, r) shows source (c + 2, r + 1).
    SDL_FillRect(dst, nullptr, background);
    blit_keyed(src, 0, 0, 4, 3, dst, -2, -1, -1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            bool in = x <= 2 && y <= 2;
            ASSERT_EQ(pixel_at(dst, x, y), in ? pixel_at(src, x + 2, y + 1) : background) << x << "," << y;
        }

    // Hanging off the right and bottom of the destination.
    SDL_FillRect(dst, nullptr, background);
    blit_keyed(src, 0, 0, 4, 4, dst, 8, 6, -1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            bool in = x >= 8 && y >= 6;
            ASSERT_EQ(pixel_at(dst, x, y), in ? pixel_at(src, x - 8, y - 6) : background) << x << "," << y;
        }

    // A block reaching past the source's last column and row, or starting
    // outside the source, reads only the source's own pixels.
    SDL_FillRect(dst, nullptr, background);
    blit_keyed(src, 4, 3, 5, 5, dst, 0, 0, -1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            bool in = x <= 1 && y <= 1;
            ASSERT_EQ(pixel_at(dst, x, y), in ? pixel_at(src, x + 4, y + 3) : background) << x << "," << y;
        }
    SDL_FillRect(dst, nullptr, background);
    blit_keyed(src, -7, 50, 2, 2, dst, 0, 0, -1);   // corner clamped to column 0, row 4
    EXPECT_EQ(pixel_at(dst, 0, 0), pixel_at(src, 0, 4));
    EXPECT_EQ(pixel_at(dst, 2, 0), pixel_at(src, 2, 4));
    EXPECT_EQ(pixel_at(dst, 0, 1), background);
    SDL_FreeSurface(dst);
    SDL_FreeSurface(src);
}

// A display surface may be wider in memory than on screen: every operation
// must find row y at y * pitch and leave the padding of each row alone.
TEST_F(Blit, EveryOperationStepsRowsByThePitch)
{
    const int width = 6, height = 5, words_per_row = 16;
    const uint32_t padding = 0xDEADBEEFu;
    std::vector<uint32_t> memory(words_per_row * height, padding);
    auto fresh = [&](uint32_t colour) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < words_per_row; ++x)
                memory[y * words_per_row + x] = x < width ? colour : padding;
    };
    SDL_Surface *s = SDL_CreateRGBSurfaceFrom(memory.data(), width, height, 32, words_per_row * 4, 0x00FF0000u,
                                              0x0000FF00u, 0x000000FFu, 0xFF000000u);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->pitch, words_per_row * 4);
    auto at = [&](int x, int y) { return memory[y * words_per_row + x]; };
    auto padding_intact = [&]() {
        for (int y = 0; y < height; ++y)
            for (int x = width; x < words_per_row; ++x)
                if (at(x, y) != padding)
                    return false;
        return true;
    };
    SDL_Surface *src = numbered_surface(4, 4);

    fresh(0);
    fill_rect(s, 0, 0, width, height, 0x00ABCDEFu);
    EXPECT_TRUE(padding_intact());
    EXPECT_EQ(at(0, 4), 0x00ABCDEFu);
    EXPECT_EQ(at(5, 4), 0x00ABCDEFu);

    fresh(0);
    blit_copy(src, s, 3, 2);
    EXPECT_TRUE(padding_intact());
    EXPECT_EQ(at(3, 2), pixel_at(src, 0, 0));
    EXPECT_EQ(at(5, 4), pixel_at(src, 2, 2));

    fresh(0);
    blit_alpha(src, s, -1, 1, 255, BLEND_LINEAR);
    EXPECT_TRUE(padding_intact());
    EXPECT_EQ(at(0, 1), pixel_at(src, 1, 0));
    EXPECT_EQ(at(2, 4), pixel_at(src, 3, 3));

    fresh(0x00FFFFFFu);
    fade_rect(s, 0, 0, width, height, 255);
    EXPECT_TRUE(padding_intact());
    EXPECT_EQ(at(5, 4), 0u);
    fresh(0x00FFFFFFu);
    dim_rect(s, 0, 0, width, height, 255);
    EXPECT_TRUE(padding_intact());
    EXPECT_EQ(at(5, 4), 0u);

    fresh(0);
    blit_keyed(src, 0, 0, 3, 3, s, 2, 1, -1);
    EXPECT_TRUE(padding_intact());
    EXPECT_EQ(at(5, 4), pixel_at(src, 3, 3));

    fresh(0);
    put_pixel(s, 5, 4, 7u);
    draw_line(s, 0, 0, 5, 5, 9u);
    EXPECT_TRUE(padding_intact());
    EXPECT_EQ(at(5, 4), 7u);
    EXPECT_EQ(at(4, 4), 9u);

    fresh(0x00FFFFFFu);
    SDL_Surface *saved_screen = screen;
    screen = s;
    darken_rect_halves(0, 0, width, height);
    screen = saved_screen;
    EXPECT_TRUE(padding_intact());
    EXPECT_EQ(at(5, 4), 0x003F3F7Fu);

    SDL_FreeSurface(src);
    SDL_FreeSurface(s);
}

TEST_F(Blit, PutPixelStoresOnlyInsideTheSurface)
{
    SDL_Surface *s = test_surface(5, 4, 0);
    for (auto [x, y] : std::vector<std::pair<int, int>>{{-1, 0}, {5, 0}, {0, -1}, {0, 4}, {-100000, 3}})
        put_pixel(s, x, y, 0xFFFFFFFFu);
    EXPECT_EQ(pixels_not(s, 0), 0);
    put_pixel(s, 0, 0, 1u);
    put_pixel(s, 4, 3, 2u);
    EXPECT_EQ(pixel_at(s, 0, 0), 1u);
    EXPECT_EQ(pixel_at(s, 4, 3), 2u);
    EXPECT_EQ(pixels_not(s, 0), 2);
    SDL_FreeSurface(s);
}

TEST_F(Blit, LineDrawsFromTheFirstPointAndStopsBeforeTheLast)
{
    const uint32_t ink = 0xFFFFFFFFu;
    SDL_Surface *s = test_surface(400, 40, 0);

    draw_line(s, 5, 5, 5, 5, ink);   // a single point
    EXPECT_EQ(pixel_at(s, 5, 5), ink);
    EXPECT_EQ(pixels_not(s, 0), 1);

    SDL_FillRect(s, nullptr, 0);
    draw_line(s, 0, 10, 350, 10, ink);   // horizontal: nothing
    draw_line(s, 20, 0, 20, 30, ink);    // vertical: nothing
    EXPECT_EQ(pixels_not(s, 0), 0);

    // A band one row high across 350 columns: the first point on row 11,
    // the rest truncated down to row 10, none at column 350.
    draw_line(s, 0, 11, 350, 10, ink);
    EXPECT_EQ(pixels_not(s, 0), 350);
    EXPECT_EQ(pixel_at(s, 0, 11), ink);
    EXPECT_EQ(pixel_at(s, 1, 10), ink);
    EXPECT_EQ(pixel_at(s, 349, 10), ink);
    EXPECT_EQ(pixel_at(s, 350, 10), 0u);
    EXPECT_EQ(pixel_at(s, 350, 11), 0u);

    // Right to left and steep: y-major, |dy| points, the last one left out.
    SDL_FillRect(s, nullptr, 0);
    draw_line(s, 30, 2, 26, 18, ink);   // x steps by -1/4 per row
    EXPECT_EQ(pixels_not(s, 0), 16);
    EXPECT_EQ(pixel_at(s, 30, 2), ink);
    EXPECT_EQ(pixel_at(s, 29, 3), ink);   // 29.75, truncated
    EXPECT_EQ(pixel_at(s, 29, 6), ink);   // 29.0
    EXPECT_EQ(pixel_at(s, 26, 17), ink);  // 26.25
    EXPECT_EQ(pixel_at(s, 26, 18), 0u);
    for (int y = 2; y < 18; ++y) {
        int marked = 0;
        for (int x = 0; x < 400; ++x)
            marked += pixel_at(s, x, y) == ink;
        EXPECT_EQ(marked, 1) << "row " << y;
    }

    // The step is added up, not recomputed: three steps of the float 1/3
    // from 30 fall just short of 29.
    SDL_FillRect(s, nullptr, 0);
    draw_line(s, 30, 2, 26, 14, ink);
    EXPECT_EQ(pixel_at(s, 28, 5), ink);
    EXPECT_EQ(pixel_at(s, 29, 5), 0u);

    // A diagonal (|dx| = |dy|) is y-major and goes upwards here.
    SDL_FillRect(s, nullptr, 0);
    draw_line(s, 10, 20, 4, 14, ink);
    EXPECT_EQ(pixels_not(s, 0), 6);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(pixel_at(s, 10 - k, 20 - k), ink) << k;
    SDL_FreeSurface(s);
}

TEST_F(Blit, LineClipsPointByPointAndTruncatesTowardZero)
{
    const uint32_t ink = 0xFFFFFFFFu;
    SDL_Surface *s = test_surface(20, 10, 0);
    // From row -1 into the surface over 4 columns: rows -1, -0.75, -0.5,
    // -0.25, 0.0 ... the fractions between -1 and 0 truncate onto row 0.
    draw_line(s, 2, -1, 10, 1, ink);   // slope 2/8 per column
    EXPECT_EQ(pixel_at(s, 2, 0), 0u);  // row -1: off the surface
    for (int x = 3; x < 10; ++x)
        EXPECT_EQ(pixel_at(s, x, 0), ink) << x;
    EXPECT_EQ(pixels_not(s, 0), 7);

    // A line crossing the whole surface from far outside draws only inside.
    SDL_FillRect(s, nullptr, 0);
    draw_line(s, -50, 5, 70, 5 + 1, ink);
    EXPECT_EQ(pixels_not(s, 0), 20);
    SDL_FillRect(s, nullptr, 0);
    draw_line(s, 1000000, -1000000, -1000000, 1000000, ink);   // a huge diagonal through the middle
    EXPECT_GT(pixels_not(s, 0), 0);
    SDL_FillRect(s, nullptr, 0);
    draw_line(s, 30, 30, 60, 45, ink);   // wholly outside
    EXPECT_EQ(pixels_not(s, 0), 0);
    SDL_FreeSurface(s);
}

TEST_F(Blit, DarkenHalvesBlueAndQuartersRedAndGreenOnScreen)
{
    SDL_Surface *saved_screen = screen;
    screen = test_surface(6, 4, 0x80FF8040u);
    darken_rect_halves(1, 1, 3, 2);   // columns 1..2 of row 1
    EXPECT_EQ(pixel_at(screen, 1, 1), 0x803F2020u);
    EXPECT_EQ(pixel_at(screen, 2, 1), 0x803F2020u);
    EXPECT_EQ(pixel_at(screen, 3, 1), 0x80FF8040u);
    EXPECT_EQ(pixel_at(screen, 1, 2), 0x80FF8040u);
    EXPECT_EQ(pixel_at(screen, 0, 1), 0x80FF8040u);
    // A rectangle reaching past the screen darkens only what lies on it.
    SDL_FillRect(screen, nullptr, 0xFFFFFFFFu);
    darken_rect_halves(-5, 2, 100, 100);
    EXPECT_EQ(pixel_at(screen, 0, 2), 0xFF3F3F7Fu);
    EXPECT_EQ(pixel_at(screen, 5, 3), 0xFF3F3F7Fu);
    EXPECT_EQ(pixel_at(screen, 5, 1), 0xFFFFFFFFu);
    SDL_FreeSurface(screen);
    screen = saved_screen;
}

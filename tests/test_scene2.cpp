// Scene 2 through its steps: the clock, the rings' centre and the glows at
// position 0, and the scroll text (emission, shift, wave band, darkening).
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <vector>
#include "scenes.h"
#include "shell.h"
#include "support.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// Big flare 80 x 60 and small flare 40 x 20, both opaque white, so their
// corners show exactly where they were put.
constexpr int BIG_W = 80, BIG_H = 60, SMALL_W = 40, SMALL_H = 20;

class Scene2Test : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        open_test_screen();
        // A white sheet: every glyph is an opaque white block of its cell's size.
        sheet = test_surface(800, 192, 0xFFFFFFFF);
    }
    static void TearDownTestSuite()
    {
        SDL_FreeSurface(sheet);
        SDL_Quit();
    }

    void SetUp() override
    {
        show = new ShowState();
        show->running.store(1);
        show->flash.store(0.0f);
        transition_id = 3;   // no fade-in: frames are shown as drawn
        scene2 = new Scene2State();
        scene2->active.store(1);
        for (int a = 0; a < 360; ++a)
            for (int c = 0; c < 800; ++c)
                scene2->wave[a][c] = (int32_t)(30.0 * sin((2 * a + c % 360) * PI / 180.0));
        scene2->radial_map = new uint8_t[800 * 600];
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                int dx = 400 - x, dy = 300 - y;
                double distance = std::trunc(std::sqrt((double)(dx * dx + dy * dy)));
                scene2->radial_map[y * 800 + x] = (uint8_t)(int)(255.0 - distance / 500.0 * 255.0);
            }
        scene2->text_surface = argb_surface_new(864, 84);
        scene2->font = font_new(sheet, FONT_CHARACTERS, FONT_GLYPH_RECTS);
        BitmapTable[BITMAP_FLARE_BIG] = test_surface(BIG_W, BIG_H, 0xFFFFFFFF);
        BitmapTable[BITMAP_FLARE_SMALL] = test_surface(SMALL_W, SMALL_H, 0xFFFFFFFF);
    }
    void TearDown() override
    {
        SDL_FreeSurface(BitmapTable[BITMAP_FLARE_BIG]);
        SDL_FreeSurface(BitmapTable[BITMAP_FLARE_SMALL]);
        BitmapTable[BITMAP_FLARE_BIG] = BitmapTable[BITMAP_FLARE_SMALL] = nullptr;
        font_free(scene2->font);
        SDL_FreeSurface(scene2->text_surface);
        delete[] scene2->radial_map;
        delete scene2;
        delete show;
        scene2 = nullptr;
        show = nullptr;
    }

    // Draws one frame at position p.
    void frame_at(Scene2Render &r, float p)
    {
        scene2->position.store(p);
        scene2_draw_frame(r);
    }

    std::vector<uint32_t> buffer_copy() const
    {
        std::vector<uint32_t> out;
        for (int y = 0; y < 84; ++y)
            for (int x = 0; x < 864; ++x)
                out.push_back(pixel_at(scene2->text_surface, x, y));
        return out;
    }

    std::vector<uint32_t> screen_copy() const
    {
        std::vector<uint32_t> out;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                out.push_back(pixel_at(screen, x, y) & 0x00FFFFFF);
        return out;
    }

    static SDL_Surface *sheet;
};

SDL_Surface *Scene2Test::sheet = nullptr;

uint8_t green_at(int x, int y) { return (pixel_at(screen, x, y) >> 8) & 0xFF; }

bool is_white(int x, int y) { return (pixel_at(screen, x, y) & 0x00FFFFFF) == 0x00FFFFFF; }

} // namespace

TEST_F(Scene2Test, ClockRunsForTwentyFiveAndAHalfSecondsOrUntilTheShowStops)
{
    Scene2Clock c;
    scene2_clock_begin(c);
    scene2_clock_pass(c, 12750);
    EXPECT_FLOAT_EQ(scene2->position.load(), 500.0f);
    scene2_clock_pass(c, 25499);
    EXPECT_LT(scene2->position.load(), 1000.0f);
    EXPECT_EQ(scene2->active.load(), 1) << "ends only once the position reaches 1000";
    scene2_clock_pass(c, 25500);
    EXPECT_FLOAT_EQ(scene2->position.load(), 1000.0f);
    EXPECT_EQ(scene2->active.load(), 0);

    scene2->active.store(1);
    show->running.store(0);   // the show stopped: the scene ends on the next pass
    scene2_clock_pass(c, 100);
    EXPECT_EQ(scene2->active.load(), 0);
}

TEST_F(Scene2Test, AtPositionZeroTheWarpCentreIsAt500And400)
{
    Scene2Render r;
    scene2_render_begin(r);
    frame_at(r, 0.0f);
    // og = 8 * 250 = 2000, 208 modulo 256. Screen (400, 300) shows the map near
    // (500, 400), whose rings hold 182..184; the map's own centre (400, 300)
    // is pulled to screen (320, 225).
    const int og = 208;
    int centre = green_at(400, 300);
    bool near_500_400 = false;
    for (int v = 182; v <= 184; ++v)
        near_500_400 = near_500_400 || centre == ((og + v) & 0xFE);
    EXPECT_TRUE(near_500_400) << "green at the screen centre: " << centre;
    EXPECT_EQ(green_at(320, 225), (og + 255) & 0xFE);
    EXPECT_EQ(green_at(320, 225) & 1, 0) << "the low bit is cleared";
}

TEST_F(Scene2Test, AtPositionZeroTheGlowsSitOnOppositeSides)
{
    Scene2Render r;
    scene2_render_begin(r);
    frame_at(r, 0.0f);
    // Big flare: (150 + 400, 150 + 300) less a quarter of its size = (530, 435).
    EXPECT_TRUE(is_white(530, 435));
    EXPECT_TRUE(is_white(530 + BIG_W - 1, 435 + BIG_H - 1));
    EXPECT_FALSE(is_white(529, 435));
    EXPECT_FALSE(is_white(530, 434));
    // Small flare: (-200 + 400, -200 + 300) less a quarter of its size = (190, 95).
    EXPECT_TRUE(is_white(190, 95));
    EXPECT_TRUE(is_white(190 + SMALL_W - 1, 95 + SMALL_H - 1));
    EXPECT_FALSE(is_white(189, 95));
    EXPECT_FALSE(is_white(190 + SMALL_W, 95));
}

TEST_F(Scene2Test, AdvancesAreGlyphWidthsOr32WithoutAGlyph)
{
    Scene2Render r;
    scene2_render_begin(r);
    // "marrowind" is eight 64-wide letters and a 22-wide i; the space has no glyph.
    EXPECT_EQ(r.widths[0], 64);
    EXPECT_EQ(r.widths[8], 534);
    EXPECT_EQ(r.widths[9], 534 + 32);
    // "2o1o..." : 64 + 64 + 28 + 64 + 3 x 22.
    EXPECT_EQ(r.widths[16], 566 + 286);
    // The whole text, with its 27 trailing spaces.
    EXPECT_EQ(r.total, 2112 + 27 * 32);
    EXPECT_EQ(r.total, r.widths[66]);
}

TEST_F(Scene2Test, EmitsAtMostOneCharacterPerFrame)
{
    Scene2Render r;
    scene2_render_begin(r);
    frame_at(r, 0.0f);
    EXPECT_EQ(r.pos, 1) << "the first character is due at once";
    frame_at(r, 0.0f);
    EXPECT_EQ(r.pos, 1) << "S = 0 has not passed the first advance";
    // A jump over many advances still emits only one character per frame.
    frame_at(r, 500.0f);
    EXPECT_EQ(r.pos, 2);
    frame_at(r, 500.0f);
    EXPECT_EQ(r.pos, 3);
}

TEST_F(Scene2Test, AGlyphLandsAtColumn800AndSlidesLeft)
{
    Scene2Render r;
    scene2_render_begin(r);
    frame_at(r, 0.0f);   // 'm' blitted at (800, 10), no shift yet
    EXPECT_EQ(pixel_at(scene2->text_surface, 800, 10) & 0xFF, 0xFFu);
    EXPECT_EQ(pixel_at(scene2->text_surface, 863, 73) & 0xFF, 0xFFu);
    EXPECT_EQ(pixel_at(scene2->text_surface, 799, 10) & 0xFF, 0u);
    EXPECT_EQ(pixel_at(scene2->text_surface, 800, 9) & 0xFF, 0u);
    // S = p / 1000 x 2976: p = 10 gives 29.76, a shift of 29 columns.
    frame_at(r, 10.0f);
    EXPECT_EQ(r.pos, 1);
    EXPECT_EQ(pixel_at(scene2->text_surface, 771, 10) & 0xFF, 0xFFu);
    EXPECT_EQ(pixel_at(scene2->text_surface, 770, 10) & 0xFF, 0u);
    EXPECT_EQ(pixel_at(scene2->text_surface, 834, 10) & 0xFF, 0xFFu);
    EXPECT_EQ(pixel_at(scene2->text_surface, 835, 10), 0xFF000000u) << "exposed columns are black";
    EXPECT_EQ(pixel_at(scene2->text_surface, 863, 79), 0xFF000000u);
}

TEST_F(Scene2Test, ShiftMovesEveryColumnByTheWholeScrollStep)
{
    Scene2Render r;
    scene2_render_begin(r);
    // A pattern that names its column, and no character due (S below widths[4]).
    for (int y = 0; y < 84; ++y)
        for (int x = 0; x < 864; ++x)
            static_cast<uint32_t *>(scene2->text_surface->pixels)[y * (scene2->text_surface->pitch / 4) + x] =
                0xFF000000u | (uint32_t)(x << 8) | (uint32_t)y;
    r.pos = 5;
    r.previous_scroll = 100.9f;   // its whole part counts: d = trunc(S - 100)
    float p = 37.0f;              // S = 110.112
    frame_at(r, p);
    const int d = 10;
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 864 - d; ++x)
            ASSERT_EQ(pixel_at(scene2->text_surface, x, y), 0xFF000000u | (uint32_t)((x + d) << 8) | (uint32_t)y)
                << x << "," << y;
        for (int x = 864 - d; x < 864; ++x)
            ASSERT_EQ(pixel_at(scene2->text_surface, x, y), 0xFF000000u);
    }
    for (int x = 0; x < 864; ++x)   // the last four rows neither shift nor show
        ASSERT_EQ(pixel_at(scene2->text_surface, x, 80), 0xFF000000u | (uint32_t)(x << 8) | 80u);
}

TEST_F(Scene2Test, ZeroShiftChangesNothing)
{
    Scene2Render r;
    scene2_render_begin(r);
    frame_at(r, 5.0f);   // emits 'm', shifts 14
    std::vector<uint32_t> before = buffer_copy();
    frame_at(r, 5.02f);  // S 14.94 against 14.88: same whole amount, and 'a' is not due
    EXPECT_EQ(r.pos, 1);
    EXPECT_TRUE(buffer_copy() == before);
}

TEST_F(Scene2Test, TextDarkensOnlyRows230To369)
{
    Scene2Render r;
    scene2_render_begin(r);
    const float p = 123.4f;
    // The rings alone: text switched off; the second frame starts from settled counters.
    scene2->text_done = 1;
    frame_at(r, p);
    frame_at(r, p);
    std::vector<uint32_t> rings = screen_copy();
    // Full-strength text everywhere, and no character due.
    SDL_FillRect(scene2->text_surface, nullptr, 0xFFFFFFFF);
    scene2->text_done = 0;
    r.pos = 66;
    r.previous_scroll = p / 1000.0f * (float)r.total;
    frame_at(r, p);
    std::vector<uint32_t> text = screen_copy();

    int changed_rows_min = 600, changed_rows_max = -1;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (text[y * 800 + x] != rings[y * 800 + x]) {
                changed_rows_min = std::min(changed_rows_min, y);
                changed_rows_max = std::max(changed_rows_max, y);
            }
    EXPECT_GE(changed_rows_min, 230);
    EXPECT_LE(changed_rows_max, 369);
    // Every column is covered from row 290 to 309 whatever the wave: full-strength
    // text leaves blue 10, green 40 and three quarters of the red.
    for (int x = 0; x < 800; x += 13)
        for (int y = 290; y < 310; y += 7) {
            uint32_t under = rings[y * 800 + x], over = text[y * 800 + x];
            uint32_t red = (under >> 16) & 0xFF;
            EXPECT_EQ(over & 0xFF, 10u) << x << "," << y;
            EXPECT_EQ((over >> 8) & 0xFF, 40u) << x << "," << y;
            EXPECT_EQ((over >> 16) & 0xFF, red - (red >> 2)) << x << "," << y;
        }
}

TEST_F(Scene2Test, TheTerminatingZeroEndsTheTextOnlyAtTheEnd)
{
    Scene2Render r;
    scene2_render_begin(r);
    r.pos = 67;
    r.previous_scroll = 2970.0f;
    frame_at(r, 999.9f);
    EXPECT_EQ(scene2->text_done, 0) << "S has not reached the total";
    frame_at(r, 1000.0f);
    EXPECT_EQ(scene2->text_done, 1);
    EXPECT_EQ(r.pos, 67);
}

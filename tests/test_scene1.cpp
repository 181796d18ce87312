// Scene 1 through its steps, on bitmaps made here: the maps, the sky, the
// flare and the cards carry colours that tell at a glance what was drawn
// where. The presenter runs for real (no fade-in: the tests start mid-scene).
#include <gtest/gtest.h>
#include <cmath>
#include "scenes.h"
#include "shell.h"
#include "support.h"

namespace {


// The colour map's pixels say which map row they come from (blue) and that
// they are ground (green 0xEE, which neither sky nor haze produce here).
constexpr Uint32 ground_code = 0xFF40EE00;
Uint32 map_colour(int row) { return ground_code | (Uint32)row; }
// The sky's pixels say their row: red = row & 0xFF, green = row >> 8.
Uint32 sky_colour(int row) { return 0xFF000033u | (Uint32)(row & 0xFF) << 16 | (Uint32)(row >> 8) << 8; }

constexpr Uint32 mud = 0xFF604020;
constexpr Uint32 grass = 0xFF20A040;
constexpr Uint32 grass_height = 0xFF800000;   // red 128: height 32
constexpr Uint32 flare = 0xFF10F0F0;
constexpr Uint32 makers_red = 0xFFFF0000;
constexpr Uint32 show_blue = 0xFF0000FF;
constexpr Uint32 presents_green = 0xFF00FF00;

Uint32 rgb(Uint32 pixel) { return pixel & 0x00FFFFFF; }

void set_pixel(SDL_Surface *s, int x, int y, Uint32 colour)
{
    static_cast<Uint32 *>(s->pixels)[y * (s->pitch / 4) + x] = colour;
}

SDL_Surface *copy_of(SDL_Surface *s)
{
    SDL_Surface *copy = argb_surface_new(s->w, s->h);
    blit_copy(s, copy, 0, 0);
    return copy;
}

// Whether two surfaces of one size agree in red, green and blue everywhere.
bool same_colours(SDL_Surface *a, SDL_Surface *b)
{
    for (int y = 0; y < a->h; y++)
        for (int x = 0; x < a->w; x++)
            if (rgb(pixel_at(a, x, y)) != rgb(pixel_at(b, x, y)))
                return false;
    return true;
}

class Scene1Test : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        open_test_screen();
    }
    static void TearDownTestSuite()
    {
        SDL_Quit();
        screen = nullptr;
    }

    void SetUp() override
    {
        backbuffer = argb_surface_new(800, 600);
        show = new ShowState{};
        show->running.store(1, relaxed);
        show->flash.store(0.0f, relaxed);   // mid-scene: no fade-in
        transition_id = 1;

        scene1 = new Scene1State{};
        scene1->active.store(1, relaxed);
        scene1->position.store(0.0f, relaxed);
        for (int i = 0; i < 360; i++)
            scene1->drift[i] = (float)(4.0 + 4.0 * std::cos(radians(i / 4)));
        for (int d = 0; d < 256; d++)
            scene1->horizon_rows[d] = (int32_t)(255.0 * std::sin(radians(d / 255.0 * 90.0 + 180.0)));
        for (int i = 0; i < 800; i++)
            scene1->flare_opacity[i] = 255;
        // Flakes wait far from where the tests look; each test moves the ones it needs.
        for (Flake &flake : scene1->flakes)
            flake = Flake{700.0f, 500.0f, 1.0f};

        BitmapTable[BITMAP_MUDDY_MAP] = test_surface(800, 256, mud);
        BitmapTable[BITMAP_MUDDY_BUMPS] = test_surface(800, 256, 0xFF000000);   // flat
        BitmapTable[BITMAP_SNOW_MAP] = argb_surface_new(800, 256);
        for (int m = 0; m < 256; m++)
            for (int x = 0; x < 800; x++)
                set_pixel(BitmapTable[BITMAP_SNOW_MAP], x, m, map_colour(m));
        BitmapTable[BITMAP_GRASSY_MAP] = test_surface(800, 256, grass);
        BitmapTable[BITMAP_GRASSY_BUMPS] = test_surface(800, 256, grass_height);
        BitmapTable[BITMAP_INTRO_LANDSCAPE] = argb_surface_new(800, 600);
        for (int y = 0; y < 600; y++)
            for (int x = 0; x < 800; x++)
                set_pixel(BitmapTable[BITMAP_INTRO_LANDSCAPE], x, y, sky_colour(y));
        BitmapTable[BITMAP_SUN_FLARE] = test_surface(512, 307, flare);
        BitmapTable[BITMAP_QFX_LOGO] = test_surface(40, 40, makers_red);
        BitmapTable[BITMAP_LANTERNFAY_LOGO] = test_surface(40, 40, show_blue);
        BitmapTable[BITMAP_PRESENTS] = test_surface(40, 40, presents_green);
        scene1_render_begin(render);
    }

    void TearDown() override
    {
        for (int i : {0, 3, 4, 5, 6, 7, 10, 13, 14, 15}) {
            SDL_FreeSurface(BitmapTable[i]);
            BitmapTable[i] = nullptr;
        }
        delete scene1;
        scene1 = nullptr;
        delete show;
        show = nullptr;
        SDL_FreeSurface(backbuffer);
        backbuffer = nullptr;
    }

    void draw_at(float position)
    {
        scene1->position.store(position, relaxed);
        scene1_draw_frame(render);
    }
    // A frame on a black screen, so nothing of an earlier frame shows through.
    void draw_on_black_at(float position)
    {
        SDL_FillRect(screen, nullptr, 0);
        draw_at(position);
    }
    Uint32 screen_rgb(int x, int y) { return rgb(pixel_at(screen, x, y)); }

    Scene1Render render{};
};

// ---- Clock -----------------------------------------------------------------------

TEST_F(Scene1Test, ClockMapsElapsedTimeOntoPositionAndStopsAfter30500OrWhenTheShowStops)
{
    Scene1Clock c;
    scene1_clock_begin(c);
    scene1_clock_pass(c, 0);
    EXPECT_EQ(scene1->position.load(), 0.0f);
    scene1_clock_pass(c, 15250);
    EXPECT_EQ(scene1->position.load(), 900.0f);
    scene1_clock_pass(c, 30500);
    EXPECT_EQ(scene1->position.load(), 1800.0f);
    EXPECT_EQ(scene1->active.load(), 1);
    scene1_clock_pass(c, 30501);
    EXPECT_EQ(scene1->active.load(), 0);
    EXPECT_EQ(scene1->position.load(), (float)(30501 / 30500.0 * 1800.0));   // a little past 1800

    scene1->active.store(1, relaxed);   // a stopped show ends the scene at once
    show->running.store(0, relaxed);
    scene1_clock_pass(c, 1000);
    EXPECT_EQ(scene1->active.load(), 0);
    EXPECT_EQ(scene1->position.load(), (float)(1000 / 30500.0 * 1800.0));
}

// The real threads: the scene plays until the show is stopped, then the
// driver joins both threads and returns.
TEST_F(Scene1Test, RunPlaysUntilTheShowIsStoppedThenJoins)
{
    SDL_FillRect(screen, nullptr, 0);
    ThreadHandle *stopper = thread_start([] {
        SDL_Delay(150);
        show->running.store(0, relaxed);
    });
    scene1_run();
    thread_join(stopper);
    EXPECT_EQ(scene1->active.load(), 0);
    EXPECT_GT(scene1->position.load(), 0.0f);
    EXPECT_NE(screen_rgb(10, 10), 0u) << "frames were drawn and presented";
}

// ---- Season blends -----------------------------------------------------------

TEST_F(Scene1Test, MudBlendStartsOnlyPast600WithTheLevelOfTheFrameBefore)
{
    SDL_Surface *snow = copy_of(BitmapTable[BITMAP_SNOW_MAP]);
    SDL_Surface *heights = copy_of(BitmapTable[BITMAP_MUDDY_BUMPS]);
    EXPECT_EQ(pixel_at(backbuffer, 5, 5), 0xFF88AAFFu) << "render_begin fills the backbuffer";

    // A blend at opacity 0 keeps the colours but adds the source alpha, so
    // the map's alpha tells whether a blend happened at all.
    draw_at(600.0f);
    EXPECT_EQ(render.blend_a, 0);
    EXPECT_EQ(pixel_at(BitmapTable[BITMAP_SNOW_MAP], 3, 3), pixel_at(snow, 3, 3));

    draw_at(700.0f);   // blends at level 0, then computes trunc(99 / 400 * 255)
    EXPECT_EQ(render.blend_a, 63);
    EXPECT_TRUE(same_colours(BitmapTable[BITMAP_SNOW_MAP], snow));
    EXPECT_EQ(pixel_at(BitmapTable[BITMAP_SNOW_MAP], 3, 3) >> 24, 0xFEu);

    draw_at(700.0f);
    blit_alpha(BitmapTable[BITMAP_MUDDY_MAP], snow, 0, 0, 63, BLEND_LINEAR);
    EXPECT_TRUE(same_colours(BitmapTable[BITMAP_SNOW_MAP], snow));
    EXPECT_TRUE(same_colours(BitmapTable[BITMAP_MUDDY_BUMPS], heights)) << "heights change only in the grass phase";
    EXPECT_EQ(render.blend_b, 0);
    SDL_FreeSurface(snow);
    SDL_FreeSurface(heights);
}

TEST_F(Scene1Test, GrassPhaseWaitsUntilTheMudLevelHasPassed254)
{
    SDL_Surface *heights = copy_of(BitmapTable[BITMAP_MUDDY_BUMPS]);
    render.blend_a = 255;
    draw_at(1200.0f);   // not past 1200
    EXPECT_EQ(render.blend_b, 0);
    EXPECT_TRUE(same_colours(BitmapTable[BITMAP_MUDDY_BUMPS], heights));

    render.blend_a = 254;
    draw_at(1300.0f);   // still the mud phase: one more blend, level now past 254
    EXPECT_EQ(render.blend_a, 445);   // trunc(699 / 400 * 255)
    EXPECT_EQ(render.blend_b, 0);
    EXPECT_TRUE(same_colours(BitmapTable[BITMAP_MUDDY_BUMPS], heights));

    draw_at(1300.0f);   // grass phase at level 0
    EXPECT_EQ(render.blend_b, 63);
    SDL_Surface *colours = copy_of(BitmapTable[BITMAP_SNOW_MAP]);
    EXPECT_TRUE(same_colours(BitmapTable[BITMAP_MUDDY_BUMPS], heights));

    draw_at(1300.0f);
    blit_alpha(BitmapTable[BITMAP_GRASSY_MAP], colours, 0, 0, 63, BLEND_LINEAR);
    blit_alpha(BitmapTable[BITMAP_GRASSY_BUMPS], heights, 0, 0, 63, BLEND_LINEAR);
    EXPECT_TRUE(same_colours(BitmapTable[BITMAP_SNOW_MAP], colours));
    EXPECT_TRUE(same_colours(BitmapTable[BITMAP_MUDDY_BUMPS], heights));
    EXPECT_NE(rgb(pixel_at(BitmapTable[BITMAP_MUDDY_BUMPS], 0, 0)), 0u);
    SDL_FreeSurface(colours);
    SDL_FreeSurface(heights);
}

// ---- Sky and haze --------------------------------------------------------------

TEST_F(Scene1Test, HazeCoversTheSkyAtTheStartAndIsGoneAt1800WhenTheSkyHasRisen)
{
    draw_at(0.0f);
    for (int y = 0; y < 360; y += 7)
        for (int x = 0; x < 800; x += 13)
            ASSERT_EQ(pixel_at(backbuffer, x, y), 0xC8B4DCF2u) << x << "," << y;

    draw_at(1800.0f);
    for (int y = 0; y < 360; y += 7)
        for (int x = 0; x < 800; x += 13)
            ASSERT_EQ(pixel_at(backbuffer, x, y), (sky_colour(y + 128) & 0x00FFFFFF) | 0xC8000000u)
                << x << "," << y;
}

// ---- Ground ----------------------------------------------------------------------

TEST_F(Scene1Test, FlatGroundReachesFromTheBottomToJustBelowTheFarSample)
{
    render.blend_a = render.blend_b = 255;
    draw_at(1300.0f);   // k = 1300 % 256 = 20, no weather
    const int far_row = scene1->horizon_rows[255] + 640;
    for (int x = 0; x < 800; x += 37) {
        for (int y = far_row + 1; y < 600; y++)
            ASSERT_EQ(pixel_at(backbuffer, x, y) & 0xFFFFFF00u, 0xC840EE00u) << x << "," << y;
        // the farthest sample fills the row above the one before it, not its own
        EXPECT_EQ(pixel_at(backbuffer, x, far_row + 1), 0xC840EE00u | 19u);
        EXPECT_NE(pixel_at(backbuffer, x, far_row) & 0x0000FF00u, 0x0000EE00u);
    }
}

TEST_F(Scene1Test, HiddenSampleStillWritesItsOwnRow)
{
    render.blend_a = render.blend_b = 255;
    // Depth 254 at k = 20 reads map row 18: a bump there hides depth 255 (row 19).
    for (int x = 0; x < 800; x++)
        set_pixel(BitmapTable[BITMAP_MUDDY_BUMPS], x, 18, 0xFFFC0000);   // red 252: height 63
    draw_at(1300.0f);
    const int bump_row = scene1->horizon_rows[254] + 640 - scale8(63, 128 - (254 >> 2));
    const int hidden_row = scene1->horizon_rows[255] + 640;
    ASSERT_GT(hidden_row, bump_row + 1);
    for (int x = 0; x < 800; x += 53) {
        EXPECT_EQ(pixel_at(backbuffer, x, hidden_row), 0xC840EE00u | 19u) << x;
        EXPECT_EQ(pixel_at(backbuffer, x, hidden_row - 1), 0xC840EE00u | 18u) << x;
        EXPECT_EQ(pixel_at(backbuffer, x, bump_row + 1), 0xC840EE00u | 18u) << x;
        EXPECT_NE(pixel_at(backbuffer, x, bump_row) & 0x0000FF00u, 0x0000EE00u) << x;
    }
}

// ---- Weather ---------------------------------------------------------------------

TEST_F(Scene1Test, SnowFallsBefore600RainUntil1200ThenNothing)
{
    Flake &flake = scene1->flakes[0];
    flake = Flake{10.0f, 20.0f, 1.5f};
    draw_at(100.0f);
    EXPECT_EQ(flake.y, 21.5f);
    const float snow_x = 10.0f + scene1->drift[(int)(21.5f + 100.0f) % 360];
    EXPECT_EQ(flake.x, snow_x);
    const int x = (int)flake.x;
    EXPECT_EQ(pixel_at(backbuffer, x, 21), 0xC8FFFFFFu);
    EXPECT_EQ(pixel_at(backbuffer, x + 3, 24), 0xC8FFFFFFu);
    EXPECT_NE(pixel_at(backbuffer, x + 4, 21), 0xC8FFFFFFu);

    flake = Flake{10.0f, 20.0f, 1.5f};
    draw_at(599.9f);
    EXPECT_EQ(flake.y, 21.5f) << "still snow";

    flake = Flake{10.0f, 20.0f, 1.5f};
    draw_at(600.0f);
    EXPECT_EQ(flake.y, 28.5f) << "rain falls 7 pixels faster";
    EXPECT_EQ(flake.x, (float)(10.0f + 0.2 * scene1->drift[(int)(28.5f + 600.0f) % 360]));
    EXPECT_EQ(pixel_at(backbuffer, (int)flake.x, 28), 0xC82299DDu);
    EXPECT_EQ(pixel_at(backbuffer, (int)flake.x + 1, 31), 0xC82299DDu);
    EXPECT_NE(pixel_at(backbuffer, (int)flake.x + 2, 28), 0xC82299DDu);

    flake = Flake{10.0f, 20.0f, 1.5f};
    draw_at(1199.9f);
    EXPECT_EQ(flake.y, 28.5f) << "still rain";

    flake = Flake{10.0f, 20.0f, 1.5f};
    draw_at(1200.0f);
    EXPECT_EQ(flake.x, 10.0f);
    EXPECT_EQ(flake.y, 20.0f);
}

TEST_F(Scene1Test, FlakesWrapAtTheBottomAndBlowBackInAtTheLeft)
{
    Flake &bottom = scene1->flakes[0];
    Flake &low = scene1->flakes[1];
    Flake &right = scene1->flakes[2];
    bottom = Flake{100.0f, 599.0f, 1.0f};
    low = Flake{200.0f, 598.0f, 1.0f};
    right = Flake{798.0f, 50.0f, 1.0f};
    draw_at(100.0f);
    EXPECT_EQ(bottom.y, 0.0f);
    EXPECT_EQ(bottom.x, 100.0f + scene1->drift[100]) << "drift read with the wrapped y";
    EXPECT_EQ(low.y, 599.0f) << "599 itself is still on screen";
    const float blown = 798.0f + scene1->drift[(51 + 100) % 360];
    EXPECT_EQ(right.x, 800.0f - blown);
    EXPECT_LT(right.x, 0.0f) << "just off the left edge; the fill is clipped";
}

// ---- Flare and title cards -------------------------------------------------------

TEST_F(Scene1Test, SunFlareAppearsPast1000WithTheFlickerAtTruncPMinus1001)
{
    // (300, 100) lies under the flare, (700, 100) beside it in the same sky row.
    draw_on_black_at(1000.0f);
    EXPECT_EQ(screen_rgb(300, 100), screen_rgb(700, 100));
    draw_on_black_at(1000.5f);
    EXPECT_EQ(screen_rgb(300, 100), rgb(flare));

    for (int i = 0; i < 800; i++)
        scene1->flare_opacity[i] = i == 99 ? 255 : 0;
    draw_on_black_at(1100.5f);
    EXPECT_EQ(screen_rgb(300, 100), rgb(flare));
    draw_on_black_at(1101.5f);
    EXPECT_EQ(screen_rgb(300, 100), screen_rgb(700, 100));
}

TEST(Scene1FlareIndex, StaysInsideTheTableWhenThePositionOvershoots)
{
    EXPECT_EQ(scene1_flare_index(1000.5f), 0);
    EXPECT_EQ(scene1_flare_index(1001.9f), 0);
    EXPECT_EQ(scene1_flare_index(1002.0f), 1);
    EXPECT_EQ(scene1_flare_index(1800.0f), 799);
    EXPECT_EQ(scene1_flare_index(1800.3f), 799);
    EXPECT_EQ(scene1_flare_index(1801.0f), 799);
    EXPECT_EQ(scene1_flare_index(1900.0f), 799);
}

// A card is there when its pixel differs from the same sky row beside it.
TEST_F(Scene1Test, TitleCardsShowOnlyInsideTheirStrictWindows)
{
    auto makers = [&] { return screen_rgb(100, 210) != screen_rgb(140, 210); };
    auto presents = [&] { return screen_rgb(280, 260) != screen_rgb(320, 260); };
    // left of the flare, like its neighbour
    auto show_logo = [&] { return screen_rgb(55, 190) != screen_rgb(20, 190); };

    draw_on_black_at(200.0f);
    EXPECT_FALSE(makers());
    draw_on_black_at(300.0f);   // opacity 100: partly there
    EXPECT_TRUE(makers());
    EXPECT_NE(screen_rgb(100, 210), rgb(makers_red));
    draw_on_black_at(455.0f);
    EXPECT_EQ(screen_rgb(100, 210), rgb(makers_red));
    draw_on_black_at(799.9f);
    EXPECT_EQ(screen_rgb(100, 210), rgb(makers_red));
    draw_on_black_at(800.0f);
    EXPECT_FALSE(makers());
    EXPECT_FALSE(presents());

    draw_on_black_at(1055.0f);
    EXPECT_EQ(screen_rgb(280, 260), rgb(presents_green));
    draw_on_black_at(1199.9f);
    EXPECT_EQ(screen_rgb(280, 260), rgb(presents_green));
    draw_on_black_at(1200.0f);
    EXPECT_FALSE(presents());
    EXPECT_FALSE(show_logo());

    draw_on_black_at(1455.0f);
    EXPECT_EQ(screen_rgb(55, 190), rgb(show_blue));
    draw_on_black_at(1749.9f);   // in the fade-out, but still there
    EXPECT_TRUE(show_logo());
    draw_on_black_at(1750.0f);
    EXPECT_FALSE(show_logo());
}

}  // namespace

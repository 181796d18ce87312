// Scene 8 through its steps, with small opaque pictures of three colours in
// place of the greetings and the two closing pictures.
#include <gtest/gtest.h>
#include <set>
#include "scenes.h"
#include "shell.h"
#include "support.h"

namespace {

constexpr Uint32 greetings = 0xFFFFE600;
constexpr Uint32 left_colour = 0xFFBEFF00;
constexpr Uint32 right_colour = 0xFF00BEFF;
constexpr int picture_size = 30;   // both closing pictures are 30 x 30

class Scene8Test : public ::testing::Test {
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
        show = new ShowState{};
        show->running.store(1, relaxed);
        show->flash.store(0.0f, relaxed);   // mid-scene: no fade-in
        transition_id = 9;
        scene8 = new Scene8State{};
        BitmapTable[BITMAP_GREETS] = test_surface(40, 30, greetings);
        BitmapTable[BITMAP_END_LEFT] = test_surface(picture_size, picture_size, left_colour);
        BitmapTable[BITMAP_END_RIGHT] = test_surface(picture_size, picture_size, right_colour);
        scene8_prepare();
        scene8_render_begin(render);
    }

    void TearDown() override
    {
        for (int i : {20, 21, 22}) {
            SDL_FreeSurface(BitmapTable[i]);
            BitmapTable[i] = nullptr;
        }
        delete scene8;
        scene8 = nullptr;
        delete show;
        show = nullptr;
    }

    void draw_at(float position)
    {
        scene8->position.store(position, relaxed);
        scene8_draw_frame(render);
    }
    Uint32 screen_rgb(int x, int y) { return pixel_at(screen, x, y) & 0x00FFFFFF; }

    // The first column of row y, from x on, that shows colour; -1 if none within 12.
    int first_column(int x, int y, Uint32 colour)
    {
        for (int c = x; c < x + 12; c++)
            if (screen_rgb(c, y) == (colour & 0x00FFFFFF))
                return c;
        return -1;
    }
    int first_row(int x, int y, Uint32 colour)
    {
        for (int r = y; r < y + 12; r++)
            if (screen_rgb(x, r) == (colour & 0x00FFFFFF))
                return r;
        return -1;
    }

    Scene8Render render{};
};

TEST_F(Scene8Test, ClockStopsAfter15000OrWhenTheShowStops)
{
    EXPECT_EQ(scene8->active.load(), 1);
    EXPECT_EQ(scene8->position.load(), 0.0f);
    Scene8Clock c;
    scene8_clock_begin(c);
    scene8_clock_pass(c, 7500);
    EXPECT_EQ(scene8->position.load(), 500.0f);
    scene8_clock_pass(c, 15000);
    EXPECT_EQ(scene8->active.load(), 1);
    EXPECT_EQ(scene8->position.load(), 1000.0f);
    scene8_clock_pass(c, 15001);
    EXPECT_EQ(scene8->active.load(), 0);
    EXPECT_EQ(scene8->position.load(), (float)(15001 / 15000.0 * 1000.0)) << "written on the last pass too";

    scene8->active.store(1, relaxed);   // a stopped show ends the scene at once
    show->running.store(0, relaxed);
    scene8_clock_pass(c, 3000);
    EXPECT_EQ(scene8->active.load(), 0);
    EXPECT_EQ(scene8->position.load(), 200.0f);
}

// The real threads: the scene plays until the show is stopped, then the
// driver joins both threads and returns.
TEST_F(Scene8Test, RunPlaysUntilTheShowIsStoppedThenJoins)
{
    SDL_FillRect(screen, nullptr, 0);
    ThreadHandle *stopper = thread_start([] {
        SDL_Delay(150);
        show->running.store(0, relaxed);
    });
    scene8_run();
    thread_join(stopper);
    EXPECT_EQ(scene8->active.load(), 0);
    EXPECT_GT(scene8->position.load(), 0.0f);
    EXPECT_EQ(screen_rgb(100, 160), greetings & 0x00FFFFFF);
}

TEST_F(Scene8Test, EveryFrameStartsFromBlackWithTheGreetings)
{
    SDL_FillRect(screen, nullptr, 0xFFFFFFFF);
    draw_at(100.0f);
    EXPECT_EQ(screen_rgb(10, 10), 0u);
    EXPECT_EQ(screen_rgb(88, 154), greetings & 0x00FFFFFF);
    EXPECT_EQ(screen_rgb(127, 183), greetings & 0x00FFFFFF);
    EXPECT_EQ(screen_rgb(128, 183), 0u);
    EXPECT_EQ(render.fade_left, 0);
    EXPECT_EQ(render.fade_right, 0);
}

TEST_F(Scene8Test, PicturesAppearOnlyPastTheStrict200And400)
{
    draw_at(200.0f);
    EXPECT_EQ(render.fade_left, 0);
    draw_at(200.01f);   // drawn at opacity 0, then counted
    EXPECT_EQ(render.fade_left, 1);
    EXPECT_EQ(screen_rgb(100, 215), 0u);

    draw_at(400.0f);
    EXPECT_EQ(render.fade_left, 2);
    EXPECT_EQ(render.fade_right, 0);
    draw_at(400.01f);
    EXPECT_EQ(render.fade_left, 3);
    EXPECT_EQ(render.fade_right, 1);
}

TEST_F(Scene8Test, OpacitiesStopAt255AndTheRightPictureEndsNear711)
{
    render.fade_left = 254;
    render.fade_right = 254;
    draw_at(500.0f);
    EXPECT_EQ(render.fade_left, 255);
    EXPECT_EQ(render.fade_right, 255);
    for (int frame = 0; frame < 3; frame++) {
        draw_at(500.0f);
        EXPECT_EQ(render.fade_left, 255);
        EXPECT_EQ(render.fade_right, 255);
        // covered whatever the jitter (0..4 on each axis)
        EXPECT_EQ(screen_rgb(92, 204), left_colour & 0x00FFFFFF);
        EXPECT_EQ(screen_rgb(117, 229), left_colour & 0x00FFFFFF);
        EXPECT_EQ(screen_rgb(711 - picture_size + 4, 215), right_colour & 0x00FFFFFF);
        EXPECT_EQ(screen_rgb(710, 215), right_colour & 0x00FFFFFF);
        // never reached
        EXPECT_EQ(screen_rgb(711 - picture_size - 1, 215), 0u);
        EXPECT_EQ(screen_rgb(715, 215), 0u);
        EXPECT_EQ(screen_rgb(100, 199), 0u);
        EXPECT_EQ(screen_rgb(87, 215), 0u);
    }
}

TEST_F(Scene8Test, BothPicturesTrembleIndependentlyWithinFourPixels)
{
    render.fade_left = 255;
    render.fade_right = 255;
    std::set<int> left_x, left_y, right_x;
    bool apart = false, unequal_axes = false;
    for (int frame = 0; frame < 60; frame++) {
        draw_at(600.0f);
        const int lx = first_column(84, 215, left_colour);
        const int ly = first_row(100, 196, left_colour);
        const int rx = first_column(711 - picture_size - 4, 215, right_colour);
        ASSERT_GE(lx, 88);
        ASSERT_LE(lx, 92);
        ASSERT_GE(ly, 200);
        ASSERT_LE(ly, 204);
        ASSERT_GE(rx, 711 - picture_size);
        ASSERT_LE(rx, 711 - picture_size + 4);
        left_x.insert(lx);
        left_y.insert(ly);
        right_x.insert(rx);
        apart = apart || (lx - 88 != rx - (711 - picture_size));
        unequal_axes = unequal_axes || (lx - 88 != ly - 200);
    }
    EXPECT_GT(left_x.size(), 1u);
    EXPECT_GT(left_y.size(), 1u);
    EXPECT_GT(right_x.size(), 1u);
    EXPECT_TRUE(apart);
    EXPECT_TRUE(unequal_axes);
}

}  // namespace

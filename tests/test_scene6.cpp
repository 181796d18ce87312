// Scene 6 through its steps: the clock, the seeds' motion and wrap at each
// edge, the two words' windows and opacities, and where the seeds are drawn.
#include <gtest/gtest.h>
#include "scenes.h"
#include "shell.h"
#include "support.h"

namespace {

constexpr int SEEDS = 300;

class Scene6Test : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        open_test_screen();
    }
    static void TearDownTestSuite() { SDL_Quit(); }

    void SetUp() override
    {
        show = new ShowState();
        show->running.store(1);
        show->flash.store(0.0f);
        transition_id = 7;   // no fade-in: frames are shown as drawn
        scene6 = new Scene6State();
        scene6->seeds = new Seed[SEEDS]();
        // Parked seeds: invisible, out of the way, moving slowly.
        for (int i = 0; i < SEEDS; ++i)
            place(i, 700.0f, 500.0f, 0.25f, 0.25f, 0, 0);
        BitmapTable[BITMAP_CITYSCAPE] = test_surface(800, 600, 0xFF000000);   // a black city
        BitmapTable[BITMAP_SEED_1] = test_surface(4, 4, 0xFFFF0000);       // seed 1: red
        BitmapTable[BITMAP_SEED_2] = test_surface(4, 4, 0xFF0000FF);       // seed 2: blue
        BitmapTable[BITMAP_HOPE] = test_surface(10, 10, 0xFFFFFFFF);     // "hope"
        BitmapTable[BITMAP_VISIONS] = test_surface(10, 10, 0xFFFFFFFF);     // "visions"
    }
    void TearDown() override
    {
        for (int i : {17, 18, 19, 30, 31}) {
            SDL_FreeSurface(BitmapTable[i]);
            BitmapTable[i] = nullptr;
        }
        delete[] scene6->seeds;
        delete scene6;
        delete show;
        scene6 = nullptr;
        show = nullptr;
    }

    static void place(int i, float x, float y, float dx, float dy, uint8_t kind, int32_t opacity)
    {
        Seed &s = scene6->seeds[i];
        s.x.store(x);
        s.y.store(y);
        s.dx = dx;
        s.dy = dy;
        s.kind = kind;
        s.opacity = opacity;
    }

    static float x_of(int i) { return scene6->seeds[i].x.load(); }
    static float y_of(int i) { return scene6->seeds[i].y.load(); }

    // A white word over black shows its opacity as its red byte.
    static int word_opacity_seen(int x, int y) { return (pixel_at(screen, x, y) >> 16) & 0xFF; }

    void frame_at(float p)
    {
        scene6->position.store(p);
        Scene6Render r;
        scene6_render_begin(r);
        scene6_draw_frame(r);
    }
};

} // namespace

TEST_F(Scene6Test, ClockRunsThirtyTwoSeconds)
{
    scene6_prepare();
    EXPECT_EQ(scene6->active.load(), 1);
    Scene6Clock c;
    scene6_clock_begin(c);
    scene6_clock_pass(c, 16000);
    EXPECT_FLOAT_EQ(scene6->position.load(), 500.0f);
    scene6_clock_pass(c, 31999);
    EXPECT_EQ(scene6->active.load(), 1);
    scene6_clock_pass(c, 32000);
    EXPECT_EQ(scene6->active.load(), 0);

    scene6_prepare();
    EXPECT_FLOAT_EQ(scene6->position.load(), 0.0f);
    show->running.store(0);
    scene6_clock_pass(c, 40);
    EXPECT_EQ(scene6->active.load(), 0);
}

TEST_F(Scene6Test, SeedsReEnterAtTheOppositeEdge)
{
    // Steps of a quarter pixel keep the sums exact.
    place(0, 0.25f, 100.0f, -0.25f, 0.25f, 0, 0);     // reaches 0: not below, stays
    place(1, 799.75f, 100.0f, 0.25f, 0.25f, 0, 0);    // reaches 800: not above, stays
    place(2, 100.0f, 0.25f, 0.25f, -0.25f, 0, 0);
    place(3, 100.0f, 599.75f, 0.25f, 0.25f, 0, 0);
    place(4, 900.0f, 700.0f, -0.25f, -0.25f, 0, 0);   // beyond an edge but heading back in
    place(5, 10.0f, 20.0f, -0.24f, 0.25f, 0, 50);
    Scene6Clock c;
    scene6_clock_begin(c);
    scene6_clock_pass(c, 5);
    EXPECT_EQ(x_of(0), 0.0f);
    EXPECT_EQ(x_of(1), 800.0f);
    EXPECT_EQ(y_of(2), 0.0f);
    EXPECT_EQ(y_of(3), 600.0f);
    scene6_clock_pass(c, 900);   // one step per pass, whatever the elapsed time
    EXPECT_FLOAT_EQ(x_of(5), 10.0f - 0.24f - 0.24f);
    EXPECT_FLOAT_EQ(y_of(5), 20.5f);
    EXPECT_EQ(x_of(0), 800.0f) << "left the left edge: enters from the right, off screen";
    EXPECT_EQ(x_of(1), 0.0f) << "left the right edge: enters at 0, on screen";
    EXPECT_EQ(y_of(2), 600.0f);
    EXPECT_EQ(y_of(3), 0.0f);
    EXPECT_EQ(x_of(4), 899.5f);
    EXPECT_EQ(y_of(4), 699.5f);
    // The other coordinate keeps moving on the pass that wraps.
    EXPECT_EQ(y_of(0), 100.5f);
    EXPECT_EQ(x_of(2), 100.5f);
}

TEST_F(Scene6Test, WordsFadeInTheirWindows)
{
    struct Case {
        float p;
        int hope, visions;   // opacity expected, -1: not drawn
    };
    const Case cases[] = {
        {100.0f, -1, -1}, {200.0f, -1, -1}, {300.0f, 80, -1},  {399.9f, 159, -1}, {400.0f, -1, -1},
        {400.1f, 160, -1}, {450.0f, 80, -1}, {500.0f, -1, -1}, {600.0f, -1, 80},  {700.0f, -1, -1},
        {750.0f, -1, 80},  {799.0f, -1, 2},  {800.0f, -1, -1}, {900.0f, -1, -1},
    };
    for (const Case &k : cases) {
        frame_at(k.p);
        // The words sit at (145, 95) and (169, 95); a word not drawn leaves the city black.
        EXPECT_EQ(word_opacity_seen(146, 96), k.hope < 0 ? 0 : k.hope) << "hope at " << k.p;
        EXPECT_EQ(word_opacity_seen(170, 96), k.visions < 0 ? 0 : k.visions) << "visions at " << k.p;
        EXPECT_EQ(word_opacity_seen(144, 96), 0) << "left of hope at " << k.p;
    }
}

TEST_F(Scene6Test, SeedsAreDrawnAtTheirTruncatedPlaceWithTheirPicture)
{
    place(0, 10.7f, 20.9f, 0.1f, 0.1f, 0, 99);
    place(1, 50.2f, 60.5f, 0.1f, 0.1f, 1, 40);
    frame_at(50.0f);
    EXPECT_EQ(pixel_at(screen, 10, 20) & 0x00FFFFFF, 99u << 16) << "seed 1 is red";
    EXPECT_EQ(pixel_at(screen, 9, 20) & 0x00FFFFFF, 0u);
    EXPECT_EQ(pixel_at(screen, 10, 19) & 0x00FFFFFF, 0u);
    EXPECT_EQ(pixel_at(screen, 50, 60) & 0x00FFFFFF, 40u) << "seed 2 is blue";
    EXPECT_EQ(pixel_at(screen, 53, 63) & 0x00FFFFFF, 40u);
    EXPECT_EQ(pixel_at(screen, 54, 60) & 0x00FFFFFF, 0u);
}

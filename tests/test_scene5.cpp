// Scene 5: the car's pose from the path, the clock's order and end, and
// the opacity of the "fun" overlay at the edges of its windows.
#include <gtest/gtest.h>
#include <cmath>
#include "scenes.h"
#include "shell.h"
#include "support.h"

namespace {

const auto *environment = ::testing::AddGlobalTestEnvironment(new ShowEnvironment);

SceneObject *const *car_parts()
{
    static SceneObject *parts[4];
    parts[0] = scene5->body;
    parts[1] = scene5->wheels;
    parts[2] = scene5->lights;
    parts[3] = scene5->blokes;
    return parts;
}

// The four parts share one pose; returns the body's height after checking that.
double shared_height()
{
    SceneObject *const *parts = car_parts();
    for (int i = 1; i < 4; i++) {
        EXPECT_EQ(parts[i]->y.load(), parts[0]->y.load());
        EXPECT_EQ(parts[i]->z.load(), parts[0]->z.load());
        EXPECT_EQ(parts[i]->ry.load(), parts[0]->ry.load());
    }
    return parts[0]->y.load();
}

// Elapsed milliseconds whose path lies just past p (the path runs 780 units in 20 s).
Sint32 ms_for_path(double p) { return (Sint32)std::ceil(p * 20000.0 / 780.0); }

}  // namespace

TEST(Scene5Clock, CarStartsAtRestFacingAwayAtPathZero)
{
    scene5_prepare();
    Scene5Clock c;
    scene5_clock_begin(c);
    EXPECT_EQ(scene5->path.load(), 0.0f);
    for (int i = 0; i < 4; i++) {
        SceneObject *part = car_parts()[i];
        ASSERT_NE(part->mesh, nullptr) << "part " << i;
        EXPECT_EQ(part->x.load(), 0.0);
        EXPECT_EQ(part->y.load(), 2000.0);
        EXPECT_EQ(part->z.load(), 20000.0);
        EXPECT_EQ(part->rx.load(), 4.712389f);
        EXPECT_EQ(part->ry.load(), (float)M_PI);   // 180 degrees exactly
        EXPECT_EQ(part->rz.load(), 0.0f);
    }
    // Body, wheels, lamps, people: the world's order.
    PtrList *node = scene5->world->objects;
    for (int i = 0; i < 4; i++) {
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->item, car_parts()[i]);
        node = node->next;
    }
    scene5_finish();
}

TEST(Scene5Clock, HeightFollowsTheWholePartOfThePathOnly)
{
    scene5_prepare();
    Scene5Clock c;
    scene5_clock_begin(c);

    // Two moments within path unit 10: the same height, different depths.
    scene5_clock_pass(c, ms_for_path(10.05));
    double early = shared_height();
    double early_depth = scene5->body->z.load();
    scene5_clock_pass(c, ms_for_path(10.9));
    EXPECT_EQ((int)scene5->path.load(), 10);
    EXPECT_EQ(shared_height(), early);
    EXPECT_NE(scene5->body->z.load(), early_depth);
    EXPECT_FLOAT_EQ((float)early, (float)(std::sin(-110.0 * M_PI / 180.0) * 1000.0 + 2000.0));

    // A hop ends where the next begins: unit 25 is near the ground (a = -5),
    // unit 26 starts the next hop (a = -178), unit 180 stands on it (a = -180).
    scene5_clock_pass(c, ms_for_path(25.01));
    EXPECT_NEAR(shared_height(), 2000.0 - 1000.0 * std::sin(5.0 * M_PI / 180.0), 0.01);
    scene5_clock_pass(c, ms_for_path(26.01));
    EXPECT_NEAR(shared_height(), 2000.0 - 1000.0 * std::sin(2.0 * M_PI / 180.0), 0.01);
    scene5_clock_pass(c, ms_for_path(180.01));
    EXPECT_EQ(shared_height(), 2000.0);
    for (int k = 0; k < 780; k++) {   // always between the top of a hop and the road
        scene5_clock_pass(c, ms_for_path(k + 0.5));
        ASSERT_GE(scene5->body->y.load(), 1000.0) << "path " << k;
        ASSERT_LE(scene5->body->y.load(), 2000.0) << "path " << k;
        ASSERT_GE(scene5->body->z.load(), 16000.0);
        ASSERT_LE(scene5->body->z.load(), 24000.0);
    }
    scene5_finish();
}

TEST(Scene5Clock, LastPassEndsTheSceneWithoutMovingTheCar)
{
    scene5_prepare();
    Scene5Clock c;
    scene5_clock_begin(c);
    scene5_clock_pass(c, 19999);
    EXPECT_EQ(scene5->active.load(), 1);
    double z = scene5->body->z.load();
    scene5_clock_pass(c, 20000);
    EXPECT_EQ(scene5->active.load(), 0);
    EXPECT_EQ(scene5->path.load(), 780.0f);
    EXPECT_EQ(scene5->position.load(), 1000.0f);
    EXPECT_EQ(scene5->body->z.load(), z);   // posed from the previous path, as every pass

    scene5->active.store(1);
    show->running.store(0);
    scene5_clock_pass(c, 500);
    EXPECT_EQ(scene5->active.load(), 0);
    show->running.store(1);
    scene5_finish();
}

// "fun" rises to 127 over 200 < position < 500, falls from 128 to 1 over
// 500 < position < 700, and is absent at 200, 500 and 700. On a black road
// and a black screen its corner shows exactly the white blended at that opacity.
TEST(Scene5Frame, OverlayOpacityAtTheEdgesOfItsWindows)
{
    BitmapSwap road(16, test_surface(800, 600, 0xFF000000));
    BitmapSwap fun(32, test_surface(800, 600, 0xFFFFFFFF));
    SDL_FreeSurface(scene5->road);   // the real road's, converted at start-up
    scene5->road = nullptr;
    scene5_prepare();
    Scene5Clock c;
    scene5_clock_begin(c);
    Scene5Render r;
    scene5_render_begin(r);
    show->flash.store(0.0f);
    transition_id = 6;

    struct Case {
        Sint32 elapsed_ms;
        int opacity;   // 0: not drawn
    };
    const Case cases[] = {{3999, 0},  {4000, 0},   {7000, 64},  {9999, 127},
                          {10000, 0}, {10001, 128}, {13999, 1}, {14000, 0}};
    SDL_Surface *expected = test_surface(800, 600, 0xFF000000);
    for (const Case &k : cases) {
        SCOPED_TRACE(k.elapsed_ms);
        SDL_FillRect(screen, nullptr, 0xFF000000);
        SDL_FillRect(expected, nullptr, 0xFF000000);
        if (k.opacity > 0)
            blit_alpha(BitmapTable[BITMAP_FUN], expected, 0, 0, k.opacity, BLEND_LINEAR);
        scene5_clock_pass(c, k.elapsed_ms);
        scene5_draw_frame(r);
        EXPECT_EQ(pixel_at(screen, 5, 5) & 0xFFFFFF, pixel_at(expected, 5, 5) & 0xFFFFFF);
    }
    // The opacities differ by one at the edges: make sure the blend tells them apart.
    SDL_FillRect(expected, nullptr, 0xFF000000);
    blit_alpha(BitmapTable[BITMAP_FUN], expected, 0, 0, 1, BLEND_LINEAR);
    EXPECT_NE(pixel_at(expected, 5, 5) & 0xFFFFFF, 0u);
    SDL_FreeSurface(expected);
    scene5_finish();
}

TEST(Scene5Run, StoppedShowEndsAfterOnePassAndFreesTheWorld)
{
    show->running.store(0);
    Uint32 start = SDL_GetTicks();
    scene5_run();
    EXPECT_LT(SDL_GetTicks() - start, 2000u);
    EXPECT_EQ(scene5->active.load(), 0);
    EXPECT_EQ(scene5->world, nullptr);
    show->running.store(1);
}

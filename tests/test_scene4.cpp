// Scene 4: the blades' placement from the random sequence, their turning,
// the end of the scene, the two leaves layers, and a whole run's clean-up.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdlib>
#include "scenes.h"
#include "shell.h"
#include "support.h"

namespace {

const auto *environment = ::testing::AddGlobalTestEnvironment(new ShowEnvironment);

int blue_at(int x, int y) { return pixel_at(screen, x, y) & 0xFF; }

}  // namespace

TEST(Scene4Prepare, PlacesEveryBladeFromThreeDrawsInOrder)
{
    srandom(4242);
    scene4_prepare();
    srandom(4242);
    for (int i = 0; i < 130; i++) {
        long r1 = random(), r2 = random(), r3 = random();
        SceneObject *blade = scene4->grass[i];
        ASSERT_NE(blade->mesh, nullptr) << "blade " << i;
        EXPECT_EQ(blade->rz.load(), (float)(r1 % 360)) << "blade " << i;
        EXPECT_EQ(blade->rx.load(), -90.0f);
        // Single precision: the jitter is added to the float spread.
        float x = (float)i / 130.0f * 20000.0f - 10000.0f + (float)(r2 % 1500);
        EXPECT_EQ(blade->x.load(), (double)x) << "blade " << i;
        EXPECT_EQ(blade->y.load(), (double)(r3 % 3000 + 16000)) << "blade " << i;
        EXPECT_EQ(blade->z.load(), 10000.0);
    }
    // Meshes are never shared, not even between the two cubes.
    EXPECT_NE(scene4->grass[0]->mesh, scene4->grass[1]->mesh);
    EXPECT_NE(scene4->cube_left->mesh, scene4->cube_right->mesh);
    EXPECT_EQ(scene4->cube_left->x.load(), -9000.0);
    EXPECT_EQ(scene4->cube_right->x.load(), 9000.0);
    int objects = 0;
    for (PtrList *node = scene4->world->objects; node && node->item; node = node->next)
        objects++;
    EXPECT_EQ(objects, 132);
    EXPECT_EQ(scene4->world->objects->item, scene4->cube_left);
    scene4_finish();
    EXPECT_EQ(scene4->world, nullptr);
}

TEST(Scene4Clock, BladesTurnAtTheirOwnRateAndCubesTumble)
{
    scene4_prepare();
    Scene4Clock c;
    scene4_clock_begin(c);
    EXPECT_EQ(c.base[7], (int32_t)scene4->grass[7]->rz.load());

    // Blade 0's step is 0.01 sin(phase), and the phase is 0 at position 0.
    scene4_clock_pass(c, 0);
    EXPECT_EQ(scene4->grass[0]->ry.load(), 0.0f);
    EXPECT_NEAR(scene4->grass[4]->ry.load(), 0.01 * std::sin(80.0 * M_PI / 180.0), 1e-7);

    // Position 500: phase 5 degrees, spin 0.005; the step adds to the angle already there.
    float blade0 = scene4->grass[0]->ry.load();
    float blade13 = scene4->grass[13]->ry.load();
    scene4_clock_pass(c, 10000);
    EXPECT_FLOAT_EQ(scene4->position.load(), 500.0f);
    EXPECT_NEAR(scene4->grass[0]->ry.load() - blade0, 0.01 * std::sin(5.0 * M_PI / 180.0), 1e-7);
    EXPECT_LT(scene4->grass[13]->ry.load(), blade13);   // sin(265 degrees) < 0: turns the other way
    EXPECT_FLOAT_EQ(scene4->grass[7]->rz.load(), (float)c.base[7] + 0.005f);
    EXPECT_FLOAT_EQ(scene4->cube_left->rx.load(), 15.0f);
    EXPECT_FLOAT_EQ(scene4->cube_right->rz.load(), 15.0f);
    EXPECT_EQ(scene4->cube_left->ry.load(), 0.0f);
    scene4_finish();
}

TEST(Scene4Clock, EndsWhenPositionReachesThousandOrShowStops)
{
    scene4_prepare();
    Scene4Clock c;
    scene4_clock_begin(c);
    scene4_clock_pass(c, 19998);   // 999.9
    EXPECT_LT(scene4->position.load(), 1000.0f);
    EXPECT_EQ(scene4->active.load(), 1);
    scene4_clock_pass(c, 20000);
    EXPECT_EQ(scene4->position.load(), 1000.0f);
    EXPECT_EQ(scene4->active.load(), 0);

    scene4->active.store(1);
    show->running.store(0);
    scene4_clock_pass(c, 100);
    EXPECT_EQ(scene4->active.load(), 0);
    show->running.store(1);
    scene4_finish();
}

// A test picture of leaves: transparent but for one opaque blue column at
// x 10, so each layer's copy shows as a blue column on a picture that has
// no blue (black, under yellow-green grass).
TEST(Scene4Frame, LeavesLayersScrollInOppositeDirections)
{
    BitmapSwap picture(12, test_surface(800, 600, 0xFF000000));
    SDL_Surface *leaves = test_surface(800, 70, 0x00000000);
    SDL_Rect marker = {10, 0, 1, 70};
    SDL_FillRect(leaves, &marker, 0xFF0000FF);
    BitmapSwap leaves_swap(23, leaves);
    // The backdrop converted at start-up is the real picture's: without it
    // the scene blits the swapped one.
    SDL_FreeSurface(scene4->picture);
    scene4->picture = nullptr;

    scene4_prepare();
    Scene4Clock c;
    scene4_clock_begin(c);
    Scene4Render r;
    scene4_render_begin(r);
    show->flash.store(0.0f);   // no fade-in over the frames looked at
    transition_id = 5;

    struct Case {
        Sint32 elapsed_ms;
        int opaque_x, faint_x;   // where each layer's visible marker lands
    };
    // Position 0, 100, 400 (the opaque layer is back at its start), 700.
    const Case cases[] = {{0, 10, 10}, {2000, 610, 110}, {8000, 10, 410}, {14000, 210, 710}};
    for (const Case &k : cases) {
        SDL_FillRect(screen, nullptr, 0);
        scene4_clock_pass(c, k.elapsed_ms);
        scene4_draw_frame(r);
        SCOPED_TRACE(k.elapsed_ms);
        EXPECT_GE(blue_at(k.opaque_x, 565), 250);
        if (k.faint_x != k.opaque_x) {
            EXPECT_GE(blue_at(k.faint_x, 565), 110);
            EXPECT_LE(blue_at(k.faint_x, 565), 145);
        }
        int blue_columns = 0;
        for (int x = 0; x < 800; x++)
            blue_columns += blue_at(x, 565) != 0;
        EXPECT_EQ(blue_columns, k.faint_x == k.opaque_x ? 1 : 2);
        EXPECT_EQ(blue_at(k.opaque_x, 529), 0);   // the layers lie on rows 530 to 599
    }
    scene4_finish();
}

TEST(Scene4Run, StoppedShowEndsOnFirstPassAndFreesTheWorld)
{
    show->running.store(0);
    Uint32 start = SDL_GetTicks();
    scene4_run();
    EXPECT_LT(SDL_GetTicks() - start, 2000u);
    EXPECT_EQ(scene4->active.load(), 0);
    EXPECT_EQ(scene4->world, nullptr);
    show->running.store(1);
}

// Scene 7 on its real threads: the clock puts greeting pairs into the world
// and takes them out while the render thread draws it. Run under
// ThreadSanitizer in CI (label "threads").
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>
#include "scenes.h"
#include "shell.h"
#include "support.h"
#include "trail.h"

namespace {

const auto *environment = ::testing::AddGlobalTestEnvironment(new ShowEnvironment);

// Plays the viewer who presses Escape 1.5 s into the scene (position 50:
// the first pair has entered the world at 25).
void stop_show_later()
{
    SDL_Delay(1500);
    show->running.store(0, relaxed);
}

// The scene's own clock steps, twelve times as fast: the whole scene, with
// all four exchanges of pairs, passes in 2.5 s.
void fast_clock()
{
    Scene7Clock c;
    scene7_clock_begin(c);
    Uint32 start = SDL_GetTicks();
    while (scene7->active.load(relaxed) == 1) {
        scene7_clock_pass(c, (Sint32)((SDL_GetTicks() - start) * 12));
        SDL_Delay(5);
    }
}

void expect_scene_freed()
{
    EXPECT_EQ(scene7->world, nullptr);
    for (const GreetingPair &pair : scene7->greetings) {
        EXPECT_EQ(pair.text, nullptr);
        EXPECT_EQ(pair.frame, nullptr);
    }
}

}  // namespace

TEST(Scene7Threads, RealDriverEndsSoonAfterTheShowIsStopped)
{
    transition_id = 0;   // the first frame presented starts a fade-in of 80
    ThreadHandle *viewer = thread_start(stop_show_later);
    ASSERT_NE(viewer, nullptr);
    Uint32 start = SDL_GetTicks();
    scene7_run();
    Uint32 took = SDL_GetTicks() - start;
    thread_join(viewer);
    EXPECT_GE(took, 1500u);
    EXPECT_LT(took, 5000u);
    float p = scene7->position.load();
    EXPECT_GT(p, 25.0f);   // the first pair went in while frames were drawn
    EXPECT_LT(p, 1000.0f);
    EXPECT_LT(show->flash.load(), 80.0f);   // frames were presented
    expect_scene_freed();
    show->running.store(1);
}

TEST(Scene7Threads, PairsChangeHandsWhileTheRenderThreadDraws)
{
    transition_id = 0;
    scene7_prepare();
    drive_scene(fast_clock, scene7_render, scene7->active);
    EXPECT_GT(scene7->position.load(), 1000.0f);   // ended by its own time, past every window
    EXPECT_LT(show->flash.load(), 80.0f);
    scene7_finish();
    expect_scene_freed();
}

// The warp as the scene draws it, its rows shared with a second thread that
// takes them from the bottom, gives ring_warp's bytes frame after frame
// (the counters carried, the edges extended, steps uneven).
TEST(Scene7Threads, AWarpSharedByTwoThreadsDrawsWhatOneDraws)
{
    std::vector<uint8_t> map(800 * 600);
    for (size_t i = 0; i < map.size(); ++i)
        map[i] = (uint8_t)(i % 800 * 7 + i / 800 * 13);
    SDL_Surface *alone = test_surface(800, 600, 0xFF3A5C7E), *shared = test_surface(800, 600, 0xFF3A5C7E);
    int alone_row = 0, alone_column = 0, shared_row = 0, shared_column = 0;
    const float steps[][4] = {{1.5f, 63.0f / 128.0f, 1.25f, 0.75f}, {0.6f, 1.4f, 0.9f, 1.1f}, {1.0f, 0.99f, 0.5f, 1.49f}};
    static WarpFrame frame;
    for (const float *s : steps) {
        ring_warp(alone, map.data(), s[0], s[1], s[2], s[3], WarpChannel{0, 0xFF}, WarpChannel{0, 0xFF},
                  WarpChannel{37, 0xFE}, alone_row, alone_column);
        ASSERT_TRUE(warp_frame_begin(frame, shared, map.data(), s[0], s[1], s[2], s[3], WarpChannel{0, 0xFF},
                                     WarpChannel{0, 0xFF}, WarpChannel{37, 0xFE}, shared_row, shared_column));
        std::thread helper(warp_frame_share, std::ref(frame), false);
        warp_frame_share(frame, true);
        helper.join();
        EXPECT_EQ(shared_row, alone_row);
        EXPECT_EQ(shared_column, alone_column);
        for (int y = 0; y < 600; ++y)
            ASSERT_EQ(std::memcmp((uint8_t *)alone->pixels + y * alone->pitch,
                                  (uint8_t *)shared->pixels + y * shared->pitch, 800 * 4), 0) << "row " << y;
    }
    SDL_FreeSurface(alone);
    SDL_FreeSurface(shared);
}

// Overlays drawn band by band with the trail give the screen that blitting
// them after the trail gives: leaves crossing the left and bottom edges and a
// title crossing the top, over one blade (too few triangles for the worker:
// the bands come top to bottom on one thread) and over a frame of grass that
// wakes the fill's worker.
TEST(Trail, OverlaysDrawnWithTheTrailAreTheOverlaysBlittedAfterIt)
{
    const TrailOverlay overlays[] = {
        {BitmapTable[BITMAP_LEAVES], -130, 560, 255},
        {BitmapTable[BITMAP_LEAVES], 300, 530, 128},
        {BitmapTable[BITMAP_TITLE_KB], 278, -20, 80},
    };
    SDL_Surface *after = test_surface(800, 600, 0xff203040u);
    SDL_Surface *with = test_surface(800, 600, 0xff203040u);
    SDL_Surface *display = screen;
    for (int blades : {1, 60}) {
        World *world = world_new();
        for (int i = 0; i < blades; ++i) {
            SceneObject *blade = object_new();
            for (int k = 0; k < 40; ++k) {
                Triangle *t = static_cast<Triangle *>(std::malloc(sizeof(Triangle)));
                *t = Triangle{0, 0, 0, 60.0 + k, -900.0 - 10 * k, 30, -40, -800, -20, 0xff99dd00u};
                object_add_triangle(t, blade);
            }
            blade->x.store(-6000.0 + 200.0 * i, relaxed);
            blade->y.store(1500, relaxed);
            blade->z.store(10000, relaxed);
            blade->rx.store(-90.0f, relaxed);
            world_add_object(blade, world);
        }
        for (int frame = 0; frame < 3; ++frame) {
            SDL_FillRect(backbuffer, nullptr, 0xff405060u);
            screen = after;
            world_render_trail_under(world, 110, nullptr, 0);
            for (const TrailOverlay &o : overlays)
                blit_alpha(o.picture, screen, o.x, o.y, o.opacity, BLEND_LINEAR);
            SDL_FillRect(backbuffer, nullptr, 0xff405060u);
            screen = with;
            world_render_trail_under(world, 110, overlays, 3);
            screen = display;
            ASSERT_EQ(std::memcmp(after->pixels, with->pixels, 800 * 600 * 4), 0) << blades << " blades, frame " << frame;
        }
        world_free(world);
    }
    SDL_FreeSurface(after);
    SDL_FreeSurface(with);
}

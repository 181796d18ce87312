// A clock thread adds, removes, frees and turns objects while the render
// thread draws their world, as scene 7 does. Run under ThreadSanitizer this
// guards the world's list guard and the atomic poses; under AddressSanitizer,
// that a removed object is never touched by the renderer once removed.
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <vector>
#include "fill_frame.h"
#include "platform.h"
#include "raster.h"
#include "render3d.h"
#include "support.h"

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

World *shared_world;
std::atomic<int> frames_drawn{0};
std::atomic<int> clock_passes{0};
std::atomic<bool> clock_done{false};
std::vector<SceneObject *> kept;   // the clock thread's own objects, always in the world

// A blade: a fan of thin triangles, like the scenes' grass.
SceneObject *blade(double x)
{
    SceneObject *object = object_new();
    for (int i = 0; i < 40; ++i) {
        Triangle *t = static_cast<Triangle *>(std::malloc(sizeof(Triangle)));
        *t = Triangle{0, 0, 0, 60.0 + i, -900.0 - 10 * i, 30, -40, -800, -20, 0xff99dd00u};
        object_add_triangle(t, object);
    }
    object->x.store(x, relaxed);
    object->y.store(1500, relaxed);
    object->z.store(10000, relaxed);
    object->rx.store(-90.0f, relaxed);
    return object;
}

// An object of the one triangle `shape`, its origin at depth z.
SceneObject *plate(const Triangle &shape, double z)
{
    SceneObject *object = object_new();
    Triangle *t = static_cast<Triangle *>(std::malloc(sizeof(Triangle)));
    *t = shape;
    object_add_triangle(t, object);
    object->z.store(z, relaxed);
    return object;
}

void clock_thread()
{
    SceneObject *visiting = nullptr;
    for (int pass = 0; pass < 4000 && (pass < 400 || frames_drawn.load(relaxed) < 30); ++pass) {
        // Turn every kept object; each vertex of a frame may see either value.
        for (size_t i = 0; i < kept.size(); ++i) {
            kept[i]->ry.store(0.01f * pass + i, relaxed);
            kept[i]->x.store(-10000.0 + 150.0 * i + (pass % 50), relaxed);
        }
        // Exchange a visiting object every pass, alternately at the head and
        // the tail of the list, and free the one that leaves at once.
        if (visiting) {
            world_remove_object(visiting, shared_world);
            object_free(visiting);
        }
        visiting = blade(-500.0 + pass % 1000);
        world_add_object(visiting, shared_world);
        if (pass % 2) {
            SceneObject *head = kept.front();
            world_remove_object(head, shared_world);
            world_add_object(head, shared_world);
            kept.erase(kept.begin());
            kept.push_back(head);
        }
        clock_passes.store(pass + 1, relaxed);
    }
    clock_done.store(true, relaxed);
}

} // namespace

TEST(RenderThreads, ObjectsComeAndGoWhileTheWorldIsDrawn)
{
    ensure_tables();
    shared_world = world_new();
    ASSERT_NE(shared_world, nullptr);
    for (int i = 0; i < 130; ++i) {
        kept.push_back(blade(-10000.0 + 150.0 * i));
        world_add_object(kept.back(), shared_world);
    }
    SDL_Surface *target = test_surface(800, 600, 0xff000000u);

    ThreadHandle *clock = thread_start(clock_thread);
    while (!clock_done.load(relaxed)) {
        world_render(shared_world, target);
        frames_drawn.fetch_add(1, relaxed);
    }
    thread_join(clock);

    EXPECT_GE(frames_drawn.load(), 1);
    EXPECT_GE(clock_passes.load(), 400);
    // The kept objects and the last visitor remain, each once.
    int count = 0;
    for (PtrList *node = shared_world->objects; node; node = node->next)
        count += node->item != nullptr;
    EXPECT_EQ(count, 131);

    world_render(shared_world, target);   // a last frame with the threads joined
    int drawn = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            drawn += pixel_at(target, x, y) != 0xff000000u;
    EXPECT_GT(drawn, 0);
    world_free(shared_world);
    SDL_FreeSurface(target);
}

TEST(RenderThreads, TheWorkersBandsDrawWhatOneTriangleAtATimeDraws)
{
    // world_render shares a frame's posing, ordering and bands of rows with
    // its worker (every other frame posed there alone, after
    // world_render_start); without kept storage render_objects fills the same
    // triangles one at a time. Frames of turning blades and a wide plate,
    // whose triangles reach over many bands, must come out the same either
    // way, pixels and depths. Each band is handed over once it is final: a
    // copy of the rows as handed over is the frame, every row handed once.
    ensure_tables();
    World *world = world_new();
    ASSERT_NE(world, nullptr);
    for (int i = 0; i < 60; ++i)
        world_add_object(blade(-6000.0 + 200.0 * i), world);
    world_add_object(plate(Triangle{-3000, -2500, 0, 3500, -2000, 400, -500, 2600, -300, 0xffc08040u}, 9000), world);
    SDL_Surface *banded = test_surface(800, 600, 0xff000000u);
    SDL_Surface *single = test_surface(800, 600, 0xff000000u);
    std::vector<int32_t> depth(DEPTH_WIDTH * DEPTH_HEIGHT);
    struct Handed {
        SDL_Surface *from;
        std::vector<uint32_t> pixels = std::vector<uint32_t>(800 * 600);
        std::atomic<int> times[600];
    } handed;
    handed.from = banded;
    auto hand_over = [](int first, int end, void *argument) {
        Handed &h = *static_cast<Handed *>(argument);
        const uint32_t *rows = static_cast<const uint32_t *>(h.from->pixels);
        std::copy(rows + first * 800, rows + end * 800, h.pixels.begin() + first * 800);
        for (int row = first; row < end; ++row)
            h.times[row].fetch_add(1, relaxed);
    };
    for (int frame = 0; frame < 40; ++frame) {
        for (std::atomic<int> &times : handed.times)
            times.store(0, relaxed);
        for (PtrList *node = world->objects; node; node = node->next) {
            SceneObject *object = static_cast<SceneObject *>(node->item);
            object->ry.store(0.07f * frame, relaxed);
            object->z.store(object->z.load(relaxed) - 40.0, relaxed);
        }
        if (frame % 2)
            world_render_start(world);
        world_render_then(world, banded, RowsDone{hand_over, &handed});
        render_objects(single, depth.data(), world->objects, nullptr);
        ASSERT_TRUE(std::equal(depth.begin(), depth.end(), world->depth)) << "frame " << frame;
        const uint32_t *a = static_cast<const uint32_t *>(banded->pixels);
        const uint32_t *b = static_cast<const uint32_t *>(single->pixels);
        ASSERT_TRUE(std::equal(a, a + 800 * 600, b)) << "frame " << frame;
        ASSERT_TRUE(std::equal(a, a + 800 * 600, handed.pixels.begin())) << "frame " << frame;
        for (const std::atomic<int> &times : handed.times)
            ASSERT_EQ(times.load(relaxed), 1) << "frame " << frame;
    }
    world_free(world);
    SDL_FreeSurface(banded);
    SDL_FreeSurface(single);
}

TEST(RenderThreads, AStartedFrameIsDrawnAsOneNotStartedAndFreeingSettlesOneNeverDrawn)
{
    // Before any frame has started the worker, world_render_start leaves it
    // all to world_render; after, the worker poses the frame, and
    // world_render, called a moment later, poses what chunks of it are left
    // (enough blades that the worker is mostly still at it). A world freed with a
    // frame started and not drawn must neither hang nor leave the worker a
    // job (under TSan: nor touch the freed world).
    ensure_tables();
    SDL_Surface *started = test_surface(800, 600, 0xff000000u);
    SDL_Surface *plain = test_surface(800, 600, 0xff000000u);
    World *a = world_new(), *b = world_new();
    ASSERT_TRUE(a && b);
    for (int i = 0; i < 200; ++i) {
        world_add_object(blade(-2000.0 + 20.0 * i), a);
        world_add_object(blade(-2000.0 + 20.0 * i), b);
    }
    for (int frame = 0; frame < 10; ++frame) {
        world_render_start(a);
        sleep_microseconds(200);   // as a scene draws what lies behind the world
        world_render(a, started);
        world_render(b, plain);
        ASSERT_TRUE(std::equal(a->depth, a->depth + DEPTH_WIDTH * DEPTH_HEIGHT, b->depth)) << "frame " << frame;
        const uint32_t *p = static_cast<const uint32_t *>(started->pixels);
        ASSERT_TRUE(std::equal(p, p + 800 * 600, static_cast<const uint32_t *>(plain->pixels))) << "frame " << frame;
    }
    world_render_start(a);
    world_free(a);
    world_free(b);
    SDL_FreeSurface(started);
    SDL_FreeSurface(plain);
}

TEST(RenderThreads, EveryRowIsHandedOverOnceWhateverTheFrameHolds)
{
    // No world, an empty one, one whose triangles all miss the target, a few
    // triangles (drawn without the worker) and many (with it), on targets of
    // the depth buffer's 600 rows and taller: each row is handed over once.
    ensure_tables();
    struct Case {
        const char *name;
        int blades;
        double x;   // where the blades stand
        int rows;   // the target's
    } cases[] = {{"no world", -1, 0, 600},      {"empty", 0, 0, 700},         {"all off the target", 30, 1e7, 600},
                 {"few triangles", 1, 0, 700}, {"many triangles", 60, -6000, 700}};
    for (const Case &c : cases) {
        World *world = c.blades < 0 ? nullptr : world_new();
        for (int i = 0; i < c.blades; ++i)
            world_add_object(blade(c.x + 200.0 * i), world);
        SDL_Surface *target = test_surface(800, c.rows, 0xff000000u);
        std::vector<std::atomic<int>> times(c.rows);
        auto count = [](int first, int end, void *argument) {
            for (int row = first; row < end; ++row)
                (*static_cast<std::vector<std::atomic<int>> *>(argument))[row].fetch_add(1, relaxed);
        };
        for (int frame = 0; frame < 3; ++frame) {
            for (std::atomic<int> &t : times)
                t.store(0, relaxed);
            world_render_then(world, target, RowsDone{count, &times});
            for (int row = 0; row < c.rows; ++row)
                ASSERT_EQ(times[row].load(relaxed), 1) << c.name << " frame " << frame << " row " << row;
        }
        world_free(world);
        SDL_FreeSurface(target);
    }
}

// Rotation, projection, the far-to-near order and whole frames of a world.
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <vector>
#include "raster.h"
#include "render3d.h"
#include "support.h"

// Counts the C++ allocations of this program, to see that a warm frame makes
// none. (GCC takes the malloc inside for a mismatch with the free in delete.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
std::atomic<long> allocations{0};
}
void *operator new(size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void *operator new[](size_t size) { return operator new(size); }
void *operator new(size_t size, const std::nothrow_t &) noexcept
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void *operator new[](size_t size, const std::nothrow_t &tag) noexcept { return operator new(size, tag); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, size_t) noexcept { std::free(p); }
void operator delete[](void *p, size_t) noexcept { std::free(p); }

namespace {

constexpr uint32_t BACKGROUND = 0xff000000u;
const float HALF_PI = 1.5707964f;

Triangle *triangle(double x0, double y0, double z0, double x1, double y1, double z1, double x2, double y2,
                   double z2, uint32_t colour)
{
    Triangle *t = static_cast<Triangle *>(std::malloc(sizeof(Triangle)));
    *t = Triangle{x0, y0, z0, x1, y1, z1, x2, y2, z2, colour};
    return t;
}

// An object at (x, y, z), unrotated, with one triangle.
SceneObject *placed(double x, double y, double z, Triangle *face)
{
    SceneObject *object = object_new();
    object->x = x;
    object->y = y;
    object->z = z;
    object_add_triangle(face, object);
    return object;
}

struct Frame {
    World *world;
    SDL_Surface *target;
    Frame() : world(world_new()), target(test_surface(800, 600, BACKGROUND)) { ensure_tables(); }
    ~Frame()
    {
        world_free(world);
        SDL_FreeSurface(target);
    }
    void add(SceneObject *object) { world_add_object(object, world); }
    void render() { world_render(world, target); }
    uint32_t pixel(int x, int y) { return pixel_at(target, x, y); }
    int32_t depth(int x, int y) { return world->depth[y * 800 + x]; }
    int drawn_count()
    {
        int count = 0;
        for (int y = 0; y < target->h; ++y)
            for (int x = 0; x < target->w; ++x)
                count += pixel(x, y) != BACKGROUND;
        return count;
    }
};

} // namespace

TEST(RotatePoint, ZeroAnglesMirrorDepth)
{
    double x = 120.5, y = -33.25, z = 500;
    rotate_point(x, y, z, 0, 0, 0);
    EXPECT_EQ(x, 120.5);
    EXPECT_EQ(y, -33.25);
    EXPECT_EQ(z, -500.0);

    double a = 7, b = 8, c = 0;
    rotate_point(a, b, c, 0, 0, 0);
    EXPECT_EQ(c, 0.0);
}

TEST(RotatePoint, TurnsAboutZThenXThenY)
{
    auto rotated = [](double x, double y, double z, float a1, float a2, float a3) {
        rotate_point(x, y, z, a1, a2, a3);
        return std::vector<double>{x, y, z};
    };
    auto near = [](std::vector<double> got, std::vector<double> want) {
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(got[i], want[i], 0.01) << "component " << i;
    };
    near(rotated(1000, 0, 0, 0, 0, HALF_PI), {0, -1000, 0});    // rz alone: x-y plane
    near(rotated(0, 1000, 0, HALF_PI, 0, 0), {0, 0, 1000});     // rx alone: y-z plane
    near(rotated(1000, 0, 0, 0, HALF_PI, 0), {0, 0, 1000});     // ry alone: x-z plane
    // All three: another order of the steps would land elsewhere.
    near(rotated(1000, 0, 0, HALF_PI, HALF_PI, HALF_PI), {1000, 0, 0});
    near(rotated(0, 1000, 0, HALF_PI, HALF_PI, HALF_PI), {0, 0, 1000});
}

TEST(RotatePoint, FormsTheFirstProductOfEachDifferenceInSinglePrecision)
{
    // 1234.5678 is not a float: rounding it before the product shows in the result.
    double x = 1234.5678, y = 0, z = 0;
    rotate_point(x, y, z, 0, 0, 0.7f);
    // y = -(x s - y c) after the rx step (a1 = 0 negates it).
    double single = static_cast<double>(1234.5678f * std::sin(0.7f));
    EXPECT_EQ(y, -single);
    EXPECT_NE(y, -(1234.5678 * static_cast<double>(std::sin(0.7f))));
    EXPECT_EQ(x, 1234.5678 * static_cast<double>(std::cos(0.7f)));   // a sum stays double
}

TEST(ProjectPoint, DividesByAFiveHundredthOfTheDepth)
{
    double x = 200, y = -100, z = 2000;
    project_point(x, y, z);
    EXPECT_EQ(x, 450.0);
    EXPECT_EQ(y, 275.0);
    EXPECT_EQ(z, 2000.0);

    double a = 1000, b = 1000, c = 10000;
    project_point(a, b, c);
    EXPECT_EQ(a, 450.0);
    EXPECT_EQ(b, 350.0);

    // The scale is rounded to float: 0.002 * 3 is not, and the quotient shows it.
    double p = 1, q = 0, r = 3;
    project_point(p, q, r);
    EXPECT_EQ(p, 1 / static_cast<double>(0.006f) + 400);
}

TEST(WorldRender, DrawsAnObjectWhereThePoseAndPerspectivePutIt)
{
    Frame f;
    f.add(placed(0, 0, 10000, triangle(0, 0, 0, 1000, 0, 0, 0, 1000, 0, 0xffc08040u)));
    f.render();
    // Projected to (400, 300), (450, 300), (400, 350): rows 300 to 349.
    uint32_t expected = shade_pixel(0xffc08040u, 10000);
    EXPECT_EQ(f.pixel(400, 300), expected);
    EXPECT_EQ(f.pixel(450, 300), expected);
    EXPECT_EQ(f.pixel(451, 300), BACKGROUND);
    EXPECT_EQ(f.pixel(400, 349), expected);
    EXPECT_EQ(f.pixel(400, 350), BACKGROUND);
    EXPECT_EQ(f.pixel(399, 320), BACKGROUND);
    EXPECT_EQ(f.depth(400, 300), 10000);
    EXPECT_EQ(f.depth(0, 0), DEPTH_CLEAR);
    EXPECT_EQ(f.drawn_count(), (51 + 2) * 50 / 2);   // widths 51 down to 2 over 50 rows
}

TEST(WorldRender, MirrorsModelDepthAboutTheObject)
{
    // A vertex at model depth +500 of an object at 10000 ends at 9500.
    Frame f;
    f.add(placed(0, 0, 10000, triangle(0, 0, 500, 1000, 0, 500, 0, 1000, 500, 0xffffffffu)));
    f.render();
    EXPECT_EQ(f.depth(400, 300), 9500);
    EXPECT_EQ(f.depth(452, 300), 9500);   // 1000 / 19 + 400 = 452.6
    EXPECT_EQ(f.depth(453, 300), DEPTH_CLEAR);
}

TEST(WorldRender, DrawsTheFartherKeyFirst)
{
    // Both cover pixel (400, 300) at depth 10000, so there the later drawn
    // wins. "Far" slopes back to depth 20000 and has the larger key: it is
    // drawn first, whatever the list order, and "near" stays on top.
    for (int near_first = 0; near_first < 2; ++near_first) {
        Frame f;
        SceneObject *near = placed(0, 0, 10000, triangle(0, 0, 0, 2000, 0, 0, 0, 2000, 0, 0xff0000ffu));
        SceneObject *far = placed(0, 0, 10000, triangle(0, 0, 0, 4000, 0, -10000, 0, 4000, -10000, 0xffff0000u));
        f.add(near_first ? near : far);
        f.add(near_first ? far : near);
        f.render();
        EXPECT_EQ(f.pixel(400, 300), shade_pixel(0xff0000ffu, 10000)) << near_first;
        EXPECT_EQ(f.depth(400, 300), 10000);
    }
}

TEST(WorldRender, EqualKeysDrawTheLaterCopyFirst)
{
    Frame f;
    const uint32_t colours[] = {0xff0000ffu, 0xff00ff00u, 0xffff0000u};
    for (uint32_t colour : colours)
        f.add(placed(0, 0, 10000, triangle(0, 0, 0, 1000, 0, 0, 0, 1000, 0, colour)));
    f.render();
    // The first in the list is drawn last, and equal depth lets it replace.
    EXPECT_EQ(f.pixel(410, 310), shade_pixel(colours[0], 10000));

    // Within one mesh the same holds.
    Frame g;
    SceneObject *object = placed(0, 0, 10000, triangle(0, 0, 0, 1000, 0, 0, 0, 1000, 0, colours[2]));
    object_add_triangle(triangle(0, 0, 0, 1000, 0, 0, 0, 1000, 0, colours[1]), object);
    g.add(object);
    g.render();
    EXPECT_EQ(g.pixel(410, 310), shade_pixel(colours[2], 10000));
}

TEST(WorldRender, ANegativeKeyIsNotDrawn)
{
    // Every vertex at depth -0.5: the fill alone would draw it at depth 0,
    // but the key (-0.5 - 0.5 - 0.5 / 3) is below 0.
    Frame f;
    f.add(placed(0, 0, 0, triangle(0, 0, 0.5, -0.1, 0, 0.5, 0, -0.1, 0.5, 0xffffffffu)));
    f.render();
    EXPECT_EQ(f.drawn_count(), 0);

    double x[3] = {0, -0.1, 0}, y[3] = {0, 0, -0.1}, z[3] = {0.5, 0.5, 0.5};
    for (int i = 0; i < 3; ++i) {
        rotate_point(x[i], y[i], z[i], 0, 0, 0);
        project_point(x[i], y[i], z[i]);
    }
    fill_triangle_3d(f.target, f.world->depth, 0xffffffffu, x[0], y[0], z[0], x[1], y[1], z[1], x[2], y[2], z[2]);
    EXPECT_GT(f.drawn_count(), 1000);
}

TEST(WorldRender, SkipsObjectsWithoutTrianglesAndClearsDepthOfAnEmptyWorld)
{
    Frame f;
    std::fill(f.world->depth, f.world->depth + 800 * 600, 7);
    f.render();   // no object at all
    EXPECT_EQ(f.drawn_count(), 0);
    for (int i = 0; i < 800 * 600; ++i)
        ASSERT_EQ(f.world->depth[i], DEPTH_CLEAR);

    SceneObject *no_mesh = object_new();
    SceneObject *empty_mesh = object_new();
    empty_mesh->mesh = list_new();
    f.add(no_mesh);
    f.add(empty_mesh);
    f.add(placed(0, 0, 10000, triangle(0, 0, 0, 1000, 0, 0, 0, 1000, 0, 0xffffffffu)));
    f.render();
    EXPECT_EQ(f.pixel(410, 310), shade_pixel(0xffffffffu, 10000));
}

TEST(WorldRender, AWarmFrameAllocatesNothingAndRepeatsExactly)
{
    Frame f;
    for (int i = 0; i < 40; ++i) {
        SceneObject *object = placed(-9000 + 450 * i, 2000, 9000 + 100 * i,
                                     triangle(0, 0, 0, 800, 0, 300, 0, 1600, -200, 0xff20c040u + i));
        object_add_triangle(triangle(0, 0, 0, -800, 300, 0, 200, -1600, 100, 0xffc02040u), object);
        object->rx = 0.1f * i;
        object->ry = -0.05f * i;
        object->rz = 0.3f;
        f.add(object);
    }
    f.render();
    std::vector<uint32_t> first(static_cast<uint32_t *>(f.target->pixels),
                                static_cast<uint32_t *>(f.target->pixels) + 800 * 600);
    std::vector<int32_t> first_depth(f.world->depth, f.world->depth + 800 * 600);
    EXPECT_GT(f.drawn_count(), 1000);

    SDL_FillRect(f.target, nullptr, BACKGROUND);
    long before = allocations.load();
    f.render();
    EXPECT_EQ(allocations.load(), before);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), static_cast<uint32_t *>(f.target->pixels)));
    EXPECT_TRUE(std::equal(first_depth.begin(), first_depth.end(), f.world->depth));

    // render_objects without kept storage draws the same frame.
    SDL_FillRect(f.target, nullptr, BACKGROUND);
    render_objects(f.target, f.world->depth, f.world->objects, nullptr);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), static_cast<uint32_t *>(f.target->pixels)));
}

TEST(WorldRender, StaysInsideASmallerTargetAndSurvivesWildPoses)
{
    ensure_tables();
    World *world = world_new();
    SDL_Surface *small = test_surface(100, 80, BACKGROUND);
    const double NaN = std::numeric_limits<double>::quiet_NaN();
    const double poses[][3] = {{0, 0, 10000}, {0, 0, 0}, {0, 0, 1e-9}, {NaN, 0, 10000}, {0, 0, NaN},
                               {1e300, -1e300, 5000}, {0, 0, -10000}, {-7500, -5500, 4000}};
    world_add_object(placed(0, 0, 10000, triangle(-50000, -50000, 0, 50000, -50000, 0, -50000, 50000, 0, 0xffffffffu)),
                     world);
    const float angles[] = {0.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            1e30f, -90.0f};
    int n = 0;
    for (const auto &pose : poses) {
        for (float angle : angles) {
            SceneObject *object = placed(pose[0], pose[1], pose[2],
                                         triangle(-5000, -5000, 0, 5000, -5000, 0, -5000, 5000, 0, 0xff808080u));
            object->rz = angle;
            object->rx = (n++ % 3) ? angle : 0.5f;
            world_add_object(object, world);
        }
    }
    world_render(world, small);
    EXPECT_NE(pixel_at(small, 0, 0), BACKGROUND);    // the big square covers the corner
    EXPECT_NE(pixel_at(small, 99, 79), BACKGROUND);
    world_free(world);
    SDL_FreeSurface(small);
}

TEST(WorldRender, DrawsInTheOrderOfTheFarToNearComparison)
{
    // Hundreds of triangles in many objects, many of them with equal keys
    // (copies of one face in one pose) and overlapping at equal depth, so
    // the order shows in the pixels; keys near 0 and beyond the target too.
    // The frame must equal the copies drawn in the order that a comparison
    // sort by (key descending, later copy first) gives.
    ensure_tables();
    std::srand(77);
    auto random = [](double low, double high) { return low + (high - low) * (std::rand() / (double)RAND_MAX); };
    PtrList *objects = list_new();
    struct Copy {
        Triangle t;
        float key;
        uint32_t index;
    };
    std::vector<Copy> copies;
    for (int o = 0; o < 60; ++o) {
        SceneObject *object = object_new();
        object->x = std::rand() % 4 ? random(-3000, 3000) : 0.0;
        object->y = random(-2000, 2000);
        object->z = o % 5 == 0 ? 0.0 : std::rand() % 3 ? 10000.0 : random(-100, 30000);
        float angles[3];
        for (float &a : angles)
            a = std::rand() % 3 ? 0.0f : static_cast<float>(random(-4, 4));
        object->rx = angles[0];
        object->ry = angles[1];
        object->rz = angles[2];
        int faces = 1 + std::rand() % 8;
        Triangle face{random(-800, 0), random(-800, 0), random(-500, 500), random(0, 800), random(-800, 0),
                      random(-500, 500), random(-400, 400), random(0, 800), random(-500, 500), 0};
        for (int k = 0; k < faces; ++k) {
            Triangle *t = static_cast<Triangle *>(std::malloc(sizeof(Triangle)));
            *t = face;
            t->colour = 0xff000000u | (static_cast<uint32_t>(std::rand()) & 0xffffffu);
            if (std::rand() % 3 == 0)   // otherwise an exact copy: an equal key
                t->z2 += random(-300, 300);
            object_add_triangle(t, object);
            Copy copy{*t, 0.0f, static_cast<uint32_t>(copies.size())};
            double *v[3][3] = {{&copy.t.x0, &copy.t.y0, &copy.t.z0},
                               {&copy.t.x1, &copy.t.y1, &copy.t.z1},
                               {&copy.t.x2, &copy.t.y2, &copy.t.z2}};
            for (auto &p : v) {
                rotate_point(*p[0], *p[1], *p[2], angles[0], angles[1], angles[2]);
                *p[0] += object->x.load();
                *p[1] += object->y.load();
                *p[2] += object->z.load();
                project_point(*p[0], *p[1], *p[2]);
            }
            copy.key = static_cast<float>(copy.t.z0 + copy.t.z1 + copy.t.z2 / 3);
            copies.push_back(copy);
        }
        list_append(objects, object);
    }
    std::vector<Copy> order;
    for (const Copy &c : copies)
        if (c.key >= 0.0f)
            order.push_back(c);
    std::sort(order.begin(), order.end(), [](const Copy &a, const Copy &b) {
        if (a.key != b.key)
            return a.key > b.key;
        return a.index > b.index;
    });
    SDL_Surface *expected = test_surface(800, 600, BACKGROUND);
    SDL_Surface *drawn = test_surface(800, 600, BACKGROUND);
    std::vector<int32_t> expected_depth(800 * 600, DEPTH_CLEAR), depth(800 * 600, 7);
    for (const Copy &c : order)
        fill_triangle_3d(expected, expected_depth.data(), c.t.colour, c.t.x0, c.t.y0, c.t.z0, c.t.x1, c.t.y1, c.t.z1,
                         c.t.x2, c.t.y2, c.t.z2);
    RenderScratch *scratch = render_scratch_new();
    render_objects(drawn, depth.data(), objects, scratch);
    render_scratch_free(scratch);

    EXPECT_GT(order.size(), 100u);
    EXPECT_EQ(depth, expected_depth);
    bool same = true;
    for (int y = 0; y < 600 && same; ++y)
        for (int x = 0; x < 800 && same; ++x)
            same = pixel_at(drawn, x, y) == pixel_at(expected, x, y);
    EXPECT_TRUE(same);
    for (PtrList *node = objects; node; node = node->next)
        object_free(static_cast<SceneObject *>(node->item));
    list_free_nodes(objects);
    SDL_FreeSurface(expected);
    SDL_FreeSurface(drawn);
}

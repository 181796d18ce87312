// bench_render3d — the cost of one 3D frame in a world like scene 4's:
// 130 grass blades of 40 triangles in a row at depth 10000, and two cubes.
//
//   SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy bench_render3d [frames] [last-frame.bmp]
//
// Prints the median, 10th and 90th percentile of world_render per frame, in
// wall time and in processor time (which other work on the machine disturbs
// less), and what a frame covers, so that a change of speed can be told from
// a change of picture.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>
#include "raster.h"
#include "render3d.h"

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

// A small fixed generator, so every run builds the same world.
uint32_t next_random(uint32_t &state)
{
    state = state * 1103515245u + 12345u;
    return (state >> 1) & 0x7fffffffu;
}

void add(SceneObject *object, double x0, double y0, double z0, double x1, double y1, double z1, double x2,
         double y2, double z2, uint32_t colour)
{
    Triangle *t = static_cast<Triangle *>(std::malloc(sizeof(Triangle)));
    *t = Triangle{x0, y0, z0, x1, y1, z1, x2, y2, z2, colour};
    object_add_triangle(t, object);
}

// A blade along model +z (up the screen once turned by rx = -90), tapering
// from 700 units wide to a point over 20 segments of 2 triangles.
SceneObject *blade()
{
    SceneObject *object = object_new();
    const double height = 16000, width = 700;
    for (int s = 0; s < 20; ++s) {
        double z0 = height * s / 20, z1 = height * (s + 1) / 20;
        double w0 = width * (20 - s) / 40, w1 = width * (19 - s) / 40;
        double bend0 = 0.002 * z0 * z0 / 20, bend1 = 0.002 * z1 * z1 / 20;
        add(object, -w0, bend0, z0, w0, bend0, z0, w1, bend1, z1, 0xff99dd00u);
        add(object, -w0, bend0, z0, w1, bend1, z1, -w1, bend1, z1, 0xff99dd00u);
    }
    return object;
}

SceneObject *cube()
{
    SceneObject *object = object_new();
    const double h = 2000;
    const double corner[8][3] = {{-h, -h, -h}, {h, -h, -h}, {h, h, -h}, {-h, h, -h},
                                 {-h, -h, h},  {h, -h, h},  {h, h, h},  {-h, h, h}};
    const int faces[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 3, 7, 4}, {1, 2, 6, 5}};
    for (const auto &f : faces) {
        const double *a = corner[f[0]], *b = corner[f[1]], *c = corner[f[2]], *d = corner[f[3]];
        add(object, a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2], 0xff88ff00u);
        add(object, a[0], a[1], a[2], c[0], c[1], c[2], d[0], d[1], d[2], 0xff88ff00u);
    }
    return object;
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * (values.size() - 1))];
}

} // namespace

int main(int argc, char **argv)
{
    int frames = argc > 1 ? std::atoi(argv[1]) : 600;
    if (frames < 1)
        frames = 1;
    tables_init();
    depth_shade_table_init();
    SDL_Surface *target = argb_surface_new(800, 600);
    World *world = world_new();

    uint32_t state = 1;
    std::vector<SceneObject *> grass;
    for (int i = 0; i < 130; ++i) {
        SceneObject *object = blade();
        object->rx.store(-90.0f, relaxed);
        object->rz.store(static_cast<float>(next_random(state) % 360), relaxed);
        double jitter = next_random(state) % 1500;
        object->y.store(next_random(state) % 3000 + 16000, relaxed);
        object->x.store(static_cast<float>(i / 130.0f * 20000 - 10000 + jitter), relaxed);
        object->z.store(10000, relaxed);
        world_add_object(object, world);
        grass.push_back(object);
    }
    SceneObject *cubes[2] = {cube(), cube()};
    for (int side = 0; side < 2; ++side) {
        cubes[side]->x.store(side ? 9000 : -9000, relaxed);
        cubes[side]->y.store(6000, relaxed);
        cubes[side]->z.store(11000, relaxed);
        world_add_object(cubes[side], world);
    }

    std::vector<double> ms, cpu_ms;
    long covered = 0;
    for (int frame = 0; frame < frames; ++frame) {
        // Turn the world between frames as scene 4's clock does.
        float t = frame * 0.05f;
        for (size_t i = 0; i < grass.size(); ++i)
            grass[i]->ry.store(static_cast<float>(grass[i]->ry.load(relaxed) + 0.01 * std::sin((20.0f * i) * M_PI / 180)),
                               relaxed);
        for (SceneObject *c : cubes) {
            c->rx.store(t, relaxed);
            c->rz.store(t, relaxed);
        }
        SDL_FillRect(target, nullptr, 0xff203040u);
        std::clock_t cpu_start = std::clock();
        auto start = std::chrono::steady_clock::now();
        world_render(world, target);
        auto end = std::chrono::steady_clock::now();
        std::clock_t cpu_end = std::clock();
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        cpu_ms.push_back((cpu_end - cpu_start) * 1000.0 / CLOCKS_PER_SEC);
        if (frame == frames - 1)
            for (int i = 0; i < 800 * 600; ++i)
                covered += world->depth[i] != DEPTH_CLEAR;
    }
    int triangles = 130 * 40 + 2 * 12;
    std::printf("render3d: %d objects, %d triangles, %d frames\n", 132, triangles, frames);
    std::printf("world_render per frame, wall:      median %.3f ms, p10 %.3f ms, p90 %.3f ms\n",
                percentile(ms, 0.5), percentile(ms, 0.1), percentile(ms, 0.9));
    std::printf("world_render per frame, processor: median %.3f ms, p10 %.3f ms, p90 %.3f ms\n",
                percentile(cpu_ms, 0.5), percentile(cpu_ms, 0.1), percentile(cpu_ms, 0.9));
    std::printf("last frame covers %ld of 480000 pixels\n", covered);
    if (argc > 2)
        SDL_SaveBMP(target, argv[2]);

    world_free(world);
    SDL_FreeSurface(target);
    tables_free();
    return 0;
}

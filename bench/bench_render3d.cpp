// bench_render3d — the cost of one 3D frame in two worlds like the show's:
//   grass  like scene 4's: 130 blades in a row at depth 10000, and two cubes;
//   near   like scene 7's: 140 blades standing higher, so that much of each
//          near blade is on screen, and a greeting plate that pulses towards
//          the viewer.
// The grass world uses a blade and a cube of its own; the near world loads
// the show's meshes from data/ when it is run in the build folder (where
// data/ is generated) and falls back to the same blade otherwise.
//
//   SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy bench_render3d [frames] [last-frame.bmp]
//
// Prints, per world, the median, 10th and 90th percentile of world_render per
// frame, in wall time and in processor time (which other work on the machine
// disturbs less), what the last frame covers, and a checksum of its pixels
// and depths: a change of speed can then be told from a change of picture.
// The .bmp, if asked for, is the near world's last frame.
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
constexpr uint32_t GRASS_COLOUR = 0xff99dd00u;
constexpr uint32_t CUBE_COLOUR = 0xff88ff00u;

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
        add(object, -w0, bend0, z0, w0, bend0, z0, w1, bend1, z1, GRASS_COLOUR);
        add(object, -w0, bend0, z0, w1, bend1, z1, -w1, bend1, z1, GRASS_COLOUR);
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
        add(object, a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2], CUBE_COLOUR);
        add(object, a[0], a[1], a[2], c[0], c[1], c[2], d[0], d[1], d[2], CUBE_COLOUR);
    }
    return object;
}

// The show's mesh when data/ has it, else the fallback (or NULL).
SceneObject *loaded_or(const char *path, uint32_t colour, SceneObject *(*fallback)())
{
    Mesh *mesh = mesh_load(path, colour);
    if (!mesh || !mesh->item) {
        list_free_nodes(mesh);
        return fallback ? fallback() : nullptr;
    }
    SceneObject *object = object_new();
    object->mesh = mesh;
    return object;
}

int triangle_count(const SceneObject *object)
{
    int count = 0;
    for (const PtrList *node = object ? object->mesh : nullptr; node; node = node->next)
        count += node->item != nullptr;
    return count;
}

// A world, its moving parts, and what its frames cost.
struct Bench {
    const char *name;
    World *world;
    std::vector<SceneObject *> grass;
    std::vector<SceneObject *> others;   // cubes, or the plate's lettering and frame
    bool plate;                          // others pulse towards the viewer
    int triangles;
    std::vector<double> ms, cpu_ms;
    long covered;
    uint32_t checksum;
};

// Blades in a row across the view at depth 10000, as the scenes place them.
void plant_grass(Bench &bench, int count, int lowest_y, bool show_mesh, uint32_t &state)
{
    for (int i = 0; i < count; ++i) {
        SceneObject *object = show_mesh ? loaded_or("data/grass.raw", GRASS_COLOUR, blade) : blade();
        object->rx.store(-90.0f, relaxed);
        object->rz.store(static_cast<float>(next_random(state) % 360), relaxed);
        double jitter = next_random(state) % 1500;
        object->y.store(next_random(state) % 3000 + lowest_y, relaxed);
        object->x.store(static_cast<float>(i / static_cast<float>(count) * 20000 - 10000 + jitter), relaxed);
        object->z.store(10000, relaxed);
        world_add_object(object, bench.world);
        bench.grass.push_back(object);
        bench.triangles += triangle_count(object);
    }
}

Bench grass_world()
{
    Bench bench{"grass", world_new(), {}, {}, false, 0, {}, {}, 0, 0};
    uint32_t state = 1;
    plant_grass(bench, 130, 16000, false, state);
    for (int side = 0; side < 2; ++side) {
        SceneObject *c = cube();
        c->x.store(side ? 9000 : -9000, relaxed);
        c->y.store(6000, relaxed);
        c->z.store(11000, relaxed);
        world_add_object(c, bench.world);
        bench.others.push_back(c);
        bench.triangles += triangle_count(c);
    }
    return bench;
}

Bench near_world()
{
    Bench bench{"near", world_new(), {}, {}, true, 0, {}, {}, 0, 0};
    uint32_t state = 7;
    plant_grass(bench, 140, 12000, true, state);
    const char *plate_meshes[] = {"data/palundo.raw", "data/palundo_frame.raw"};
    const uint32_t plate_colours[] = {0xff335588u, 0xffeef3ffu};   // lettering, frame
    for (int k = 0; k < 2; ++k) {
        SceneObject *part = loaded_or(plate_meshes[k], plate_colours[k], nullptr);
        if (!part)
            continue;
        part->x.store(700, relaxed);
        part->y.store(-500, relaxed);
        part->rx.store(2.8797932f, relaxed);   // 165 degrees
        world_add_object(part, bench.world);
        bench.others.push_back(part);
        bench.triangles += triangle_count(part);
    }
    return bench;
}

// Moves the world between frames as the scenes' clocks do: the blades turn,
// the cubes tumble, the plate tilts and jumps close every 150 frames.
void move(Bench &bench, int frame)
{
    float t = frame * 0.05f;
    for (size_t i = 0; i < bench.grass.size(); ++i) {
        SceneObject *g = bench.grass[i];
        g->ry.store(static_cast<float>(g->ry.load(relaxed) + 0.01 * std::sin((20.0f * i) * M_PI / 180)), relaxed);
    }
    for (SceneObject *o : bench.others) {
        if (bench.plate) {
            float pulse = static_cast<float>(frame % 150) / 150.0f;
            o->z.store(7125.0 + (9500.0 - 7125.0) * pulse, relaxed);
            float tilt = static_cast<float>(frame % 600) * 0.0007f;   // up to 0.42 radians, as in scene 7
            o->ry.store(tilt, relaxed);
            o->rz.store(tilt - 0.2f, relaxed);
        } else {
            o->rx.store(t, relaxed);
            o->rz.store(t, relaxed);
        }
    }
}

uint32_t fnv1a(uint32_t hash, const void *data, size_t bytes)
{
    const uint8_t *p = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < bytes; ++i)
        hash = (hash ^ p[i]) * 16777619u;
    return hash;
}

void run_frame(Bench &bench, SDL_Surface *target, int frame, bool last)
{
    move(bench, frame);
    SDL_FillRect(target, nullptr, 0xff203040u);
    std::clock_t cpu_start = std::clock();
    auto start = std::chrono::steady_clock::now();
    world_render(bench.world, target);
    auto end = std::chrono::steady_clock::now();
    std::clock_t cpu_end = std::clock();
    bench.ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    bench.cpu_ms.push_back((cpu_end - cpu_start) * 1000.0 / CLOCKS_PER_SEC);
    if (!last)
        return;
    bench.covered = 0;
    for (int i = 0; i < DEPTH_WIDTH * DEPTH_HEIGHT; ++i)
        bench.covered += bench.world->depth[i] != DEPTH_CLEAR;
    uint32_t hash = 2166136261u;
    for (int y = 0; y < target->h; ++y)
        hash = fnv1a(hash, static_cast<uint8_t *>(target->pixels) + y * target->pitch, target->w * 4u);
    bench.checksum = fnv1a(hash, bench.world->depth, sizeof(DepthBuffer));
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * (values.size() - 1))];
}

void report(const Bench &bench, int frames)
{
    std::printf("%s: %zu objects, %d triangles, %d frames\n", bench.name, bench.grass.size() + bench.others.size(),
                bench.triangles, frames);
    std::printf("  world_render per frame, wall:      median %.3f ms, p10 %.3f ms, p90 %.3f ms\n",
                percentile(bench.ms, 0.5), percentile(bench.ms, 0.1), percentile(bench.ms, 0.9));
    std::printf("  world_render per frame, processor: median %.3f ms, p10 %.3f ms, p90 %.3f ms\n",
                percentile(bench.cpu_ms, 0.5), percentile(bench.cpu_ms, 0.1), percentile(bench.cpu_ms, 0.9));
    std::printf("  last frame covers %ld of 480000 pixels, checksum %08x\n", bench.covered, bench.checksum);
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
    Bench benches[2] = {grass_world(), near_world()};
    // The worlds take turns frame by frame, so that a change in the machine's
    // load falls on both alike.
    for (int frame = 0; frame < frames; ++frame)
        for (Bench &bench : benches)
            run_frame(bench, target, frame, frame == frames - 1);
    for (const Bench &bench : benches)
        report(bench, frames);
    if (argc > 2)
        SDL_SaveBMP(target, argv[2]);

    for (Bench &bench : benches)
        world_free(bench.world);
    SDL_FreeSurface(target);
    tables_free();
    return 0;
}

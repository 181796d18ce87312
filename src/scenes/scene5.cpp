// scene5.cpp — a car of four meshes hops along a road, away and back twice.
//
// The car (body, wheels, lamps and the people in it, always posed together)
// rises and drops back about one and a half times a second, swings its
// depth between 16000 and 24000 and sways its heading by five degrees. The
// world is drawn over "data/summerroad.bmp" and laid over the previous frame
// at opacity 150; in the middle of the scene "data/fun.bmp" fades in over
// everything and out again. Both threads sleep 25 ms a pass. The clock's
// `path` (0..780, read as degrees) moves the car; `position` (0..1000) ends
// the scene and drives the fades.
#include <cmath>
#include <initializer_list>
#include "scenes.h"
#include "trail.h"
#include "shell.h"

namespace {

constexpr double PATH_END = 780.0;   // the path runs 0..780, read as degrees
constexpr double REST_HEIGHT = 2000.0;
constexpr double MIDDLE_DEPTH = 20000.0;
constexpr double HOP_HEIGHT = 1000.0;
constexpr double DEPTH_SWING = 4000.0;
constexpr float LYING_DOWN = 4.712389f;   // 3 pi / 2: the meshes are modelled on their side

SceneObject *new_part(const char *mesh_path, Uint32 colour)
{
    SceneObject *part = object_new();
    part->mesh = mesh_load(mesh_path, colour);
    part->x.store(0.0, relaxed);
    part->y.store(REST_HEIGHT, relaxed);
    part->z.store(MIDDLE_DEPTH, relaxed);
    return part;
}

}  // namespace

// ---- Preparation (main thread, before the threads) ---------------------------

void scene5_prepare()
{
    scene5->position.store(0.0f, relaxed);
    World *world = world_new();
    scene5->world = world;
    scene5->body = new_part("data/karosseri.raw", 0xffff092f);
    scene5->wheels = new_part("data/hjul.raw", 0xff444444);
    scene5->lights = new_part("data/lykter.raw", 0xffffef22);
    scene5->blokes = new_part("data/blokes.raw", 0xffffcc99);
    world_add_object(scene5->body, world);
    world_add_object(scene5->wheels, world);
    world_add_object(scene5->lights, world);
    world_add_object(scene5->blokes, world);
    scene5->active.store(1, relaxed);
    scene5->path.store(0.0f, relaxed);
}

// ---- Clock --------------------------------------------------------------------
// The clock poses the car from the path it last computed, sleeps, and only
// then computes the new path: the car always shows the previous pass's path,
// and the first pose is that of path 0.

namespace {

// Poses all four parts from the current path.
void place_car(const Scene5Clock &c)
{
    float p = scene5->path.load(relaxed);
    float sway = 4.0f * p;
    float heading = (float)radians(std::sin(radians(sway)) * 5.0 + 180.0);
    double travel = std::sin(radians(p));
    // One hop every 180 / 7 path units: a runs -180..-1 and wraps, so the
    // height depends on the whole part of p only.
    int k = (int)p;
    int a = (7 * k) % 180 - 180;
    double lift = std::sin(radians(a));
    float y = (float)(lift * HOP_HEIGHT + c.rest_y);
    float z = (float)(travel * DEPTH_SWING + MIDDLE_DEPTH);
    for (SceneObject *part : {scene5->body, scene5->wheels, scene5->lights, scene5->blokes}) {
        part->rx.store(LYING_DOWN, relaxed);
        part->ry.store(heading, relaxed);
        part->y.store(y, relaxed);
        part->z.store(z, relaxed);
    }
}

}  // namespace

void scene5_clock_begin(Scene5Clock &c)
{
    c.rest_y = scene5->body->y.load(relaxed);
    place_car(c);
}

// Computes path and position for the elapsed time; on the last pass clears
// `active` and leaves the car where it is, otherwise poses it for the next 25 ms.
void scene5_clock_pass(Scene5Clock &c, Sint32 elapsed_ms)
{
    float path = (float)(elapsed_ms / static_cast<double>(scene_facts(5).duration_ms) * PATH_END);
    scene5->path.store(path, relaxed);
    scene5->position.store((float)(path / PATH_END * scene_facts(5).position_end), relaxed);
    // Unsigned, as the tick difference is: a clock that went backwards ends the scene.
    if ((Uint32)elapsed_ms > (Uint32)scene_facts(5).duration_ms - 1 || show->running.load(relaxed) == 0) {
        scene5->active.store(0, relaxed);
        return;
    }
    place_car(c);
}

// ---- Frames -------------------------------------------------------------------

void scene5_render_begin(Scene5Render &r) { r = Scene5Render{}; }

void scene5_draw_frame(Scene5Render &)
{
    // The world's objects are posed on the fill's worker while the road is drawn.
    world_render_start(scene5->world);
    picture_draw(scene5->road ? scene5->road : BitmapTable[BITMAP_SUMMER_ROAD], nullptr, backbuffer, 0, 0);

    // The overlay rises to 127 over 6 s and falls from 128 to 1 over 4 s;
    // at 500 exactly, and outside 200..700, it is not drawn.
    float f = scene5->position.load(relaxed);
    TrailOverlay fun{BitmapTable[BITMAP_FUN], 0, 0, 0};
    int fun_count = 1;
    if (f > 200.0f && f < 500.0f)
        fun.opacity = (int)((f - 200.0f) / 300.0 * 128.0);
    else if (f > 500.0f && f < 700.0f)
        fun.opacity = 128 - (int)((f - 500.0f) / 200.0 * 128.0);
    else
        fun_count = 0;
    lock_surface(screen);
    world_render_trail_under(scene5->world, 150, &fun, fun_count);
    unlock_surface(screen);
    present_frame(scene_facts(5).presenter_id);
}

// ---- Clean-up (main thread, after both threads are joined) --------------------

void scene5_finish()
{
    world_free(scene5->world);   // the four parts with their meshes
    scene5->world = nullptr;
    scene5->body = scene5->wheels = scene5->lights = scene5->blokes = nullptr;
}

// ---- Threads and driver ---------------------------------------------------------

void scene5_clock() { run_scene_clock(5); }
void scene5_render() { run_scene_render(5); }
void scene5_run() { run_scene(5); }

// scene4.cpp — grass and tumbling cubes over a picture, with two layers of leaves.
//
// 130 blades of grass stand in a row across the lower part of the view and
// turn about their own axes; two cubes tumble at the lower corners. The world
// is drawn over "data/BirdGnome.bmp" and laid over the previous frame at
// opacity 100, which leaves trails; two layers of "data/leaves.bmp" scroll
// along the bottom in opposite directions, on top and without trails.
#include <initializer_list>
#include <cstdlib>
#include "grass.h"
#include "scenes.h"
#include "trail.h"
#include "shell.h"

namespace {

constexpr int BLADE_COUNT = 130;
constexpr Uint32 CUBE_COLOUR = 0xff88ff00;

SceneObject *new_object(const char *mesh_path, Uint32 colour, double x, double y, double z)
{
    SceneObject *object = object_new();
    object->mesh = mesh_load(mesh_path, colour);
    object->x.store(x, relaxed);
    object->y.store(y, relaxed);
    object->z.store(z, relaxed);
    return object;
}

}  // namespace

// ---- Preparation (main thread, before the threads) ---------------------------

void scene4_prepare()
{
    scene4->position.store(0.0f, relaxed);
    scene4->active.store(1, relaxed);
    World *world = world_new();
    scene4->world = world;

    // Each cube loads its own copy of the mesh: objects never share one.
    scene4->cube_left = new_object("data/cube.raw", CUBE_COLOUR, -9000.0, 6000.0, 11000.0);
    scene4->cube_right = new_object("data/cube.raw", CUBE_COLOUR, 9000.0, 6000.0, 11000.0);
    world_add_object(scene4->cube_left, world);
    world_add_object(scene4->cube_right, world);

    plant_grass(world, scene4->grass, BLADE_COUNT, 16000);
}

// ---- Clock --------------------------------------------------------------------

void scene4_clock_begin(Scene4Clock &c)
{
    grass_base_angles(scene4->grass, c.base, BLADE_COUNT);
}

void scene4_clock_pass(Scene4Clock &c, Sint32 elapsed_ms)
{
    float pos = (float)scene_position_at(4, elapsed_ms);
    scene4->position.store(pos, relaxed);
    float spin = (float)(pos * 0.00001);
    float phase = (float)(pos * 0.01);

    turn_grass(scene4->grass, c.base, BLADE_COUNT, spin, phase);

    float tumble = (float)(pos / 1000.0 * 30.0);
    for (SceneObject *cube : {scene4->cube_left, scene4->cube_right}) {
        cube->rx.store(tumble, relaxed);
        cube->rz.store(tumble, relaxed);
    }

    if (pos >= 1000.0f || show->running.load(relaxed) == 0)
        scene4->active.store(0, relaxed);
}

// ---- Frames -------------------------------------------------------------------

// The scene starts from the bare picture; the world fades in over it.
void scene4_render_begin(Scene4Render &r)
{
    r = Scene4Render{};
    lock_surface(screen);
    picture_draw(BitmapTable[BITMAP_GNOME], nullptr, screen, 0, 0);
    unlock_surface(screen);
}

void scene4_draw_frame(Scene4Render &)
{
    // The world's objects are posed on the fill's worker while the picture is drawn.
    world_render_start(scene4->world);
    SDL_Surface *picture = scene4->picture ? scene4->picture : BitmapTable[BITMAP_GNOME];
    picture_draw(picture, nullptr, backbuffer, 0, 0);
    float pos = scene4->position.load(relaxed);
    // The remainder keeps the dividend's sign: the opaque layer runs from 0
    // to -799 and wraps every 400 units, the faint one every 800.
    int opaque_x = (int)((0.0f - pos) + (0.0f - pos)) % 800;
    int faint_x = (int)pos % 800;
    SDL_Surface *leaves = BitmapTable[BITMAP_LEAVES];
    const TrailOverlay overlays[] = {
        {leaves, opaque_x, 530, 255},
        {leaves, opaque_x + 800, 530, 255},
        {leaves, faint_x, 530, 128},
        {leaves, faint_x - 800, 530, 128},
    };
    lock_surface(screen);
    world_render_trail_under(scene4->world, 100, overlays, 4);
    unlock_surface(screen);
    present_frame(scene_facts(4).presenter_id);
}

// ---- Clean-up (main thread, after both threads are joined) --------------------

void scene4_finish()
{
    world_free(scene4->world);   // all 132 objects with their meshes
    scene4->world = nullptr;
    scene4->cube_left = scene4->cube_right = nullptr;
    for (SceneObject *&blade : scene4->grass)
        blade = nullptr;
}

// ---- Threads and driver ---------------------------------------------------------

void scene4_clock() { run_scene_clock(4); }
void scene4_render() { run_scene_render(4); }
void scene4_run() { run_scene(4); }

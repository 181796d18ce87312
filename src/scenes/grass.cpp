// grass.cpp — planting and turning the blades of scenes 4 and 7.
#include "grass.h"
#include <cmath>
#include <cstdlib>
#include "platform.h"
#include "show.h"

namespace {
constexpr Uint32 GRASS_COLOUR = 0xff99dd00;
}

void plant_grass(World *world, SceneObject **blades, int count, int first_row)
{
    // Every blade owns its mesh; the file is read once and the others are
    // copies of it, the same triangles a load would give. A copy that would
    // not fit in the world's budget is never made: that blade stays bare.
    for (int i = 0; i < count; i++) {
        SceneObject *blade = object_new();
        if (i == 0)
            blade->mesh = mesh_load("data/grass.raw", GRASS_COLOUR);
        else if (world_has_room(world, mesh_triangle_count(blades[0]->mesh)))
            blade->mesh = mesh_copy(blades[0]->mesh);
        long r1 = random();
        blade->rx.store(-90.0f, relaxed);   // radians, as every pose angle: not a quarter turn
        blade->ry.store(0.0f, relaxed);
        blade->rz.store((float)(r1 % 360), relaxed);
        long r2 = random();
        long r3 = random();
        blades[i] = blade;
        blade->z.store(10000.0, relaxed);
        blade->y.store((double)(r3 % 3000 + first_row), relaxed);
        float x = (float)i / (float)count * 20000.0f - 10000.0f + (float)(r2 % 1500);
        blade->x.store(x, relaxed);
        world_add_object(blade, world);
    }
}

void grass_base_angles(SceneObject *const *blades, int32_t *base, int count)
{
    for (int i = 0; i < count; i++)
        base[i] = (int32_t)blades[i]->rz.load(relaxed);
}

void turn_grass(SceneObject *const *blades, const int32_t *base, int count, float spin, float phase)
{
    for (int i = 0; i < count; i++) {
        SceneObject *blade = blades[i];
        blade->rz.store((float)base[i] + spin, relaxed);
        float degrees = (float)(20 * i) + phase;   // the angle sum in single precision
        float ry = blade->ry.load(relaxed);
        blade->ry.store((float)(ry + 0.01 * std::sin(radians(degrees))), relaxed);
    }
}

// grass.h — the row of turning grass blades that scenes 4 and 7 share.
#pragma once
#include <cstdint>
#include "render3d.h"

// Plants count blades of "data/grass.raw" into world across the view at
// depth 10000, rows first_row .. first_row + 2999, and keeps them in blades.
// Three random() draws per blade in a fixed order, so every run looks alike.
void plant_grass(World *world, SceneObject **blades, int count, int first_row);
// Each blade's starting rz, truncated: the angle the spin is added to.
void grass_base_angles(SceneObject *const *blades, int32_t *base, int count);
// One clock pass: rz = base + spin, and ry grows by 0.01 sin(20i + phase
// degrees), so each blade turns at its own rate per pass, not per second.
void turn_grass(SceneObject *const *blades, const int32_t *base, int count, float spin, float phase);

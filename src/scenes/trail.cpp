// trail.cpp — the world and its trail, band by band.
#include "trail.h"
#include "raster.h"
#include "show.h"

namespace {

void blend_rows_onto_screen(int first, int end, void *opacity)
{
    blit_alpha_rows(backbuffer, screen, 0, 0, first, end, *static_cast<const int *>(opacity), BLEND_LINEAR);
}

} // namespace

void world_render_trail(World *world, int opacity)
{
    world_render_then(world, backbuffer, RowsDone{blend_rows_onto_screen, &opacity});
}

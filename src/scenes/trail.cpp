// trail.cpp — the world and its trail, band by band.
#include "trail.h"
#include "raster.h"
#include "show.h"

namespace {

struct TrailFrame {
    int opacity;
    const TrailOverlay *overlays;
    int overlay_count;
};

// Rows first .. end - 1 of the backbuffer onto the same rows of the screen,
// and then the overlays' pixels on those rows, in order: per pixel, what
// blending the whole trail and then each overlay gives.
void blend_rows_onto_screen(int first, int end, void *data)
{
    const TrailFrame &frame = *static_cast<const TrailFrame *>(data);
    blit_alpha_rows(backbuffer, screen, 0, 0, first, end, frame.opacity, BLEND_LINEAR);
    for (int i = 0; i < frame.overlay_count; ++i) {
        const TrailOverlay &o = frame.overlays[i];
        blit_alpha_rows(o.picture, screen, o.x, o.y, first - o.y, end - o.y, o.opacity, BLEND_LINEAR);
    }
}

} // namespace

void world_render_trail_under(World *world, int opacity, const TrailOverlay *overlays, int count)
{
    TrailFrame frame{opacity, overlays, count};
    world_render_then(world, backbuffer, RowsDone{blend_rows_onto_screen, &frame});
}

// trail.h — the 3D scenes' frame: the world drawn over the picture behind it
// in the backbuffer, and the backbuffer blended onto the screen, which keeps
// a fading trail of the frames before (scenes 4, 5 and 7).
#pragma once
#include "render3d.h"

// A picture blended (linear) onto the screen over the trail.
struct TrailOverlay {
    SDL_Surface *picture;
    int x, y;
    int opacity;
};
// Draws world into the backbuffer and blends the backbuffer onto the screen
// at opacity (linear), then the overlays over it in order (count may be 0),
// each band of rows as soon as the fill has finished it, on whichever thread
// finished it: the blend shares the fill's worker. The pixels are those of
// blending the whole backbuffer and then blit_alpha of each overlay in turn
// (the screen and the backbuffer are one size). The caller holds the
// screen's lock (lock_surface).
void world_render_trail_under(World *world, int opacity, const TrailOverlay *overlays, int count);

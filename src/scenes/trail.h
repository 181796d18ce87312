// trail.h — the 3D scenes' frame: the world drawn over the picture behind it
// in the backbuffer, and the backbuffer blended onto the screen, which keeps
// a fading trail of the frames before (scenes 4, 5 and 7).
#pragma once
#include "render3d.h"

// Draws world into the backbuffer and blends the backbuffer onto the screen
// at opacity (linear), each band of rows as soon as the fill has finished it,
// on whichever thread finished it: the blend shares the fill's worker. The
// caller holds the screen's lock (lock_surface) and draws anything that
// goes over the trail afterwards.
void world_render_trail(World *world, int opacity);

// A picture blended (linear) onto the screen over the trail.
struct TrailOverlay {
    SDL_Surface *picture;
    int x, y;
    int opacity;
};
// world_render_trail, with the overlays blended over it in order, each band
// of rows as soon as its trail is: the pixels of blit_alpha of each overlay
// after world_render_trail, on the screen's rows that the backbuffer has
// (all of them: the two are one size), but shared with the fill's worker
// rather than drawn after it.
void world_render_trail_under(World *world, int opacity, const TrailOverlay *overlays, int count);

// fill_frame.h — a frame's triangles filled band by band (inside render3d).
//
// render_objects hands over its triangles in drawing order; they are made
// ready once (rows, edge steps, shading), then drawn in bands of rows, each
// band drawing every triangle that reaches it in the same order, clipped to
// its rows. Bands own disjoint rows, so the picture is the one the plain
// fill_triangle_3d of each triangle in turn gives, however the bands are cut
// and whichever thread draws them. A FillFrame may keep a worker
// (frame_share.h) that takes bands from the bottom while the caller takes
// them from the top; without one (or where there are no threads) the caller
// draws them all, in order.
#pragma once
#include "frame_share.h"
#include "render3d.h"

struct FillFrame;

// A new frame store; with_worker asks for a worker thread, started on first
// need and ended by fill_frame_free. NULL if out of memory.
FillFrame *fill_frame_new(bool with_worker);
void fill_frame_free(FillFrame *frame);

// Starts a frame into target and depth, shading through cache (may be NULL).
// The frame clears the depth buffer's rows of the target itself, band by band
// as it draws them (all of them, even with no triangle to draw), and hands
// each band to done once it is drawn (rows past the depth buffer's last at
// the end, on the caller's thread).
void fill_frame_begin(FillFrame *frame, SDL_Surface *target, int32_t *depth, ShadeCache *cache, RowsDone done);
// Adds count triangles in drawing order, triangles[order[0]] first; those
// that draw nothing are dropped here. With a worker, it makes the later half
// ready while the caller makes the earlier half ready.
void fill_frame_add_all(FillFrame *frame, const Triangle *triangles, const uint32_t *order, size_t count);
// Draws every triangle added since fill_frame_begin; returns when all is drawn.
void fill_frame_draw(FillFrame *frame);

// The frame's worker once a frame has started it (NULL before, and where
// there is none), for the caller to share other work of its frames with;
// never while the frame is drawing.
FrameWorker *fill_frame_worker(const FillFrame *frame);

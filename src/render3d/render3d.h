// render3d.h — the show's own depth-buffered triangle renderer.
//
// Meshes are read from ".raw" text files (nine numbers per triangle, each
// followed by a space; one file unit is 1000 model units). A World holds
// placed SceneObjects; world_render rotates, projects and orders every
// triangle far to near and fills it into an 800 x 600 target with a depth
// test, shading by depth through DepthShadeTable (raster.h, which must be
// built first). View space: the viewer at the origin looking along +z, +x
// right, +y down the screen. A world's frame is shared with a worker thread
// (frame_share.h, which also holds the show's threading rules).
//
// Allocation: list nodes and Triangles are C heap blocks (malloc/free), so a
// list or mesh built by hand must use malloc (or list_new) for them. Objects
// and worlds come only from object_new and world_new.
#pragma once
#include <SDL.h>
#include <atomic>
#include <cstdint>

// A singly linked list of untyped items. The head node always exists; a head
// whose item is NULL is the empty list.
struct PtrList {
    void *item;
    PtrList *next;
};

// One face: three vertices (model units, file order) and a 0xAARRGGBB colour.
struct Triangle {
    double x0, y0, z0, x1, y1, z1, x2, y2, z2;
    uint32_t colour;
};

// A list of Triangle, owned by its object.
typedef PtrList Mesh;

// One placed mesh. The pose is written by a scene's clock thread while the
// render thread reads it, so each field is atomic (relaxed loads and stores).
struct SceneObject {
    std::atomic<double> x, y, z;      // origin in view space, model units
    std::atomic<float> rx, ry, rz;    // radians
    Mesh *mesh;                       // owned; NULL when none was loaded
    PtrList *children;                // owned SceneObjects or NULL; the renderer ignores them
                                      // (no scene attaches any: kept so that a
                                      // hierarchy built by hand is freed whole)
};

// The depth buffer's shape: 800 x 600 signed depths in row order (index
// y * DEPTH_WIDTH + x, never a surface's pitch); larger is farther.
constexpr int DEPTH_WIDTH = 800;
constexpr int DEPTH_HEIGHT = 600;
typedef int32_t DepthBuffer[DEPTH_WIDTH * DEPTH_HEIGHT];
// What render_objects clears the depth buffer to: farther than anything drawn.
constexpr int32_t DEPTH_CLEAR = 100000000;
// Only depths 0 <= z < DEPTH_LIMIT are plotted (the rows of DepthShadeTable).
constexpr int DEPTH_LIMIT = 51200;

struct RenderScratch;   // per-frame working storage, reused between frames

// The most triangles the objects of one world may hold together, copies
// counted. Every frame copies, orders and fills each of them, so this bounds
// a scene's memory (about 250 bytes a triangle: its mesh, the frame's copy
// and its place in the order; 8 MB at the limit) and its frame cost, whatever
// its files hold. The show's own scenes hold at most about 5,000.
constexpr size_t WORLD_MAX_TRIANGLES = 32768;

// What one scene draws.
struct World {
    PtrList *objects;   // owned SceneObjects; changed only under guard
    int32_t *depth;     // a DepthBuffer
    SDL_mutex *guard;   // held by world_render's walk and by each add and remove
    RenderScratch *scratch;
    size_t triangles;   // of the objects in it now, counted by add and remove
    bool budget_told;   // the notice that objects are left out was given
};

// A new empty list (one head node); NULL if out of memory.
PtrList *list_new();
// Appends item at the tail (or stores it in an empty head).
void list_append(PtrList *list, void *item);
// Frees every node; the items are untouched. NULL is allowed.
void list_free_nodes(PtrList *list);
// The largest mesh mesh_load accepts: the show's own have at most 240
// triangles in 13 KB. A replacement may be far more detailed, but the grass
// loads its mesh once per blade (140 copies in scene 7), so every triangle
// costs 140 in memory and in each frame: at this limit about 300 MB.
constexpr size_t MESH_MAX_TRIANGLES = 16384;
constexpr size_t MESH_MAX_BYTES = 4u << 20;   // 4 MiB
// Reads a .raw file; every triangle gets colour. NULL for a missing, empty
// or unreadable file, and for one that is not a plain file (a pipe would
// block the show for ever) or above MESH_MAX_BYTES or MESH_MAX_TRIANGLES
// (these three with a notice on standard error naming it, once for repeated
// loads of the same file); a file with fewer than nine numbers gives an empty mesh.
// A number longer than 15 bytes (its leading separator included) is cut to
// its first 15 bytes before conversion.
Mesh *mesh_load(const char *path, uint32_t colour);
// mesh_load with limits of the caller's own instead of MESH_MAX_BYTES and
// MESH_MAX_TRIANGLES. The show keeps to those; the mesh fuzz target passes
// small ones, so that inputs of a few kilobytes reach both refusals.
struct MeshLimits {
    size_t max_bytes;
    size_t max_triangles;
};
Mesh *mesh_load_within(const char *path, uint32_t colour, const MeshLimits &limits);
// A mesh of its own with the same triangles, in the same order: what
// mesh_load would give again for the same file and colour, without reading
// it. NULL for a NULL mesh or when no memory is left.
Mesh *mesh_copy(const Mesh *mesh);
// New object at the origin, unrotated, without mesh or children; NULL if out of memory.
SceneObject *object_new();
// New world with an empty object list, a cleared depth buffer, its guard and
// its scratch storage; NULL if any of them cannot be had. The depth buffer is
// the one a freed world left, or the one world_depth_reserve made, when there
// is one.
World *world_new();
// Makes a depth buffer ready for the next world_new (none when one is kept
// already): start-up calls it, so that no scene's preparation pays for 2 MB of
// fresh memory. world_depth_release frees the kept one (the shutdown's).
void world_depth_reserve();
void world_depth_release();
// Appends object to the world, which then owns it. Takes the guard. An
// object whose triangles would take the world past WORLD_MAX_TRIANGLES comes
// in without them (its mesh is freed): it is left out of the picture.
void world_add_object(SceneObject *object, World *world);
// Whether count more triangles still fit in the world. When they do not, the
// world says once on standard error that objects are left out; a caller about
// to copy a mesh for a new object asks first, so that no copy is made in vain.
bool world_has_room(World *world, size_t count);
// The number of triangles in mesh (0 for NULL).
size_t mesh_triangle_count(const Mesh *mesh);
// Unlinks the first node holding object (ownership returns to the caller);
// its triangles no longer count against the world's budget. Takes the guard. Removing the last object leaves an empty head node, so the
// world stays usable. No effect when object is NULL or not in the world.
void world_remove_object(SceneObject *object, World *world);
// Appends triangle (a malloc'd block, owned by the object from now on) to
// the object's mesh, creating the mesh when the object has none.
void object_add_triangle(Triangle *triangle, SceneObject *object);
// Frees the object's triangles, mesh nodes, children (recursively) and itself. NULL is allowed.
void object_free(SceneObject *object);
// Frees every object in the world, the list, the guard, the scratch storage
// and the world; its depth buffer is kept for the next world_new. NULL is allowed.
void world_free(World *world);

// Working storage for render_objects; NULL if out of memory.
RenderScratch *render_scratch_new();
void render_scratch_free(RenderScratch *scratch);

// Draws one frame of the world into target (the 800 x 600 backbuffer). Holds
// the guard while it reads the object list and the poses, not while it fills.
// The fill shares the frame's rows with a worker thread that the world starts
// on its first large frame and world_free ends (none in the browser build);
// the pixels are those of filling the triangles one at a time.
void world_render(World *world, SDL_Surface *target);
// What a caller does with rows of the frame once the world is drawn in them:
// rows(first, end, argument) for rows first .. end - 1. It is called once
// for each band of the target's rows, the bands together covering all of
// them, on whichever thread drew the band: in no set order, and possibly on
// two threads at once (for disjoint rows). So a blend of the finished
// picture onto the screen shares the fill's worker too.
struct RowsDone {
    void (*rows)(int first, int end, void *argument);
    void *argument;
};
// world_render, with done called for every band of rows (rows NULL: none).
void world_render_then(World *world, SDL_Surface *target, RowsDone done);
// Hands the posing and ordering of the world's next frame to the fill's
// worker (once a frame has started it), so that the caller may draw what lies
// behind the world meanwhile; the next world_render then fills that frame
// (world_free settles one that is never drawn). The pose is read when
// the worker gets to it. Without a worker, nothing happens here and
// world_render does it all.
void world_render_start(World *world);
// world_render_start, and once the posing is done the worker runs
// also(argument) (also NULL: nothing): work the caller shares with it while
// drawing what lies behind the world, such as rows both take from one
// counter. Without a worker, or when the caller takes the posing back because
// the worker had not begun it, also runs on the caller's thread within the
// next world_render, or not at all: the caller must not count on it having run.
void world_render_start_with(World *world, void (*also)(void *), void *argument);
// Clears depth, transforms, orders far to near and fills the objects'
// triangles. Objects without a mesh or with an empty one are skipped. The
// caller keeps the list from changing meanwhile. scratch may be NULL (then
// the frame allocates its own). Locks target when SDL_MUSTLOCK says so.
void render_objects(SDL_Surface *target, int32_t *depth, PtrList *objects, RenderScratch *scratch);
// Rotates (x, y, z) in place: rz (a3) first, then rx (a1), then ry (a2); each step mirrors.
void rotate_point(double &x, double &y, double &z, float a1, float a2, float a3);
// Perspective: x' = x / (float)(0.002 z) + 400, y' likewise + 300; z unchanged.
void project_point(double &x, double &y, double &z);
// Fills a projected triangle with a depth test, shading colour by depth.
// Draws within the target's first 800 columns and 600 rows (rows stepped by
// its pitch); depth is a DepthBuffer. Does not lock the target. The fast
// fill: every pixel and depth is fill_triangle_3d_reference's.
void fill_triangle_3d(SDL_Surface *target, int32_t *depth, uint32_t colour,
                      double x0, double y0, double z0, double x1, double y1, double z1,
                      double x2, double y2, double z2);
// Shaded pixels by depth for the few colours a world draws in, made for every
// depth when the fill first meets a colour (so that the bands of a frame only
// read them) and kept from frame to frame (about 200 KiB per colour, up to 8
// colours). Belongs to one render thread at a time.
struct ShadeCache;
// A new, empty cache; NULL if out of memory.
ShadeCache *shade_cache_new();
// Frees the cache. NULL is allowed.
void shade_cache_free(ShadeCache *cache);
// fill_triangle_3d with the shading looked up through cache (NULL: straight
// from DepthShadeTable). The pixels and depths are the same either way.
void fill_triangle_3d_cached(SDL_Surface *target, int32_t *depth, ShadeCache *cache, uint32_t colour,
                             double x0, double y0, double z0, double x1, double y1, double z1,
                             double x2, double y2, double z2);
// The plain fill (fill_reference.cpp): split at the middle vertex, each row
// drawn by draw_line_3d. Same contract as fill_triangle_3d; the tests hold
// the fast fill, one triangle at a time and in a world's bands, to it.
void fill_triangle_3d_reference(SDL_Surface *target, int32_t *depth, uint32_t colour,
                                double x0, double y0, double z0, double x1, double y1, double z1,
                                double x2, double y2, double z2);
// Depth-tested line between two projected points, any direction. Same
// target and depth rules as fill_triangle_3d. No program calls it: it stays
// as the reference fill's row routine, whose one-row case fill.cpp repeats.
void draw_line_3d(SDL_Surface *target, int32_t *depth, uint32_t colour,
                  double x0, double y0, double z0, double x1, double y1, double z1);

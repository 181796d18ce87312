// transform.cpp — one frame of a world: rotate, place, project, order far to
// near, fill.
//
// The copies of a frame and their order live in RenderScratch, whose arrays
// keep their capacity from frame to frame: once warm, a frame allocates
// nothing.
#include "render3d.h"
#include "fill_frame.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

constexpr auto relaxed_load = std::memory_order_relaxed;

namespace {

// A copy's place in the draw order.
struct DrawEntry {
    float key;
    uint32_t index;   // position in the transformed list
};

// sinf and cosf of the angle last seen on one axis: most vertices of a frame
// share their object's angles, and the values are the same when recomputed.
struct AngleCache {
    float angle;
    float s, c;
    bool valid;
};

void sin_cos(AngleCache &cache, float angle, float &s, float &c)
{
    if (!cache.valid || std::memcmp(&cache.angle, &angle, sizeof angle) != 0) {
        cache.angle = angle;
        cache.s = std::sin(angle);
        cache.c = std::cos(angle);
        cache.valid = true;
    }
    s = cache.s;
    c = cache.c;
}

// The three steps of rotate_point with their sines and cosines given. The
// first product of each difference is formed in single precision (both
// factors rounded to float); everything else is double.
void rotate_with(double &x, double &y, double &z, float s1, float c1, float s2, float c2, float s3, float c3)
{
    double x1 = x * c3 + y * s3;
    double y1 = static_cast<double>(static_cast<float>(x) * s3) - y * c3;
    double y2 = static_cast<double>(static_cast<float>(z) * s1) - y1 * c1;
    double z1 = z * c1 + y1 * s1;
    double x2 = x1 * c2 + z1 * s2;
    double z2 = static_cast<double>(static_cast<float>(x1) * s2) - z1 * c2;
    x = x2;
    y = y2;
    z = z2;
}

struct PoseCache {
    AngleCache rx, ry, rz;
};

// One vertex through the object's pose, read afresh, and the perspective.
void transform_vertex(const SceneObject *object, PoseCache &cache, double &x, double &y, double &z)
{
    float s1, c1, s2, c2, s3, c3;
    sin_cos(cache.rx, object->rx.load(relaxed_load), s1, c1);
    sin_cos(cache.ry, object->ry.load(relaxed_load), s2, c2);
    sin_cos(cache.rz, object->rz.load(relaxed_load), s3, c3);
    rotate_with(x, y, z, s1, c1, s2, c2, s3, c3);
    x += object->x.load(relaxed_load);
    y += object->y.load(relaxed_load);
    z += object->z.load(relaxed_load);
    project_point(x, y, z);
}

// An object the renderer can draw: a mesh whose head holds a triangle.
bool drawable(const SceneObject *object)
{
    return object && object->mesh && object->mesh->item;
}

// The chunks a frame's objects are posed in, taken as items (frame_share.h)
// by whichever thread is free: a frame started on the worker is posed there
// while the caller draws what lies behind the world, and the caller joins
// in once it is done with that, rather than wait.
constexpr uint32_t POSE_CHUNKS = 8;

// A frame's posing in chunks. Chunk k poses drawables[first[k] ..
// first[k + 1] - 1] into copies[k] (chunk 0 straight into the frame's copies).
struct Posing {
    std::vector<Triangle> copies[POSE_CHUNKS];
    size_t first[POSE_CHUNKS + 1] = {};
    uint32_t chunks = 0;
    uint32_t frame = 0;                // counts the frames posed, by whichever thread poses them
    uint32_t started = 0;              // the caller's: the number the frame started on the worker will have
    // The number of the frame whose chunks may be taken, stored once its
    // chunks are planned: its release lets a helper that sees it see them.
    std::atomic<uint32_t> open{0};
    // The chunks not yet taken, and those not yet posed (each counted done
    // with release once its copies are written).
    ItemRange chunks_left;
};

} // namespace

struct RenderScratch {
    std::vector<Triangle> copies;     // the transformed list, in object and mesh order
    std::vector<DrawEntry> order;     // the draw list
    std::vector<DrawEntry> sorting;   // the other buffer of its sort
    std::vector<uint32_t> drawing;    // the copies' indices in the draw list's order
    std::vector<const SceneObject *> drawables;   // this frame's objects with triangles
    Posing posing;
    bool started = false;             // world_render_start handed this frame's posing to the worker
    bool has_list = false;            // what that posing found
    void (*also)(void *) = nullptr;   // the job world_render_start_with gave the worker after the posing
    void *also_argument = nullptr;
    ShadeCache *shades = nullptr;     // the world's colours by depth; NULL: none
    FillFrame *fill = nullptr;        // the triangles in bands, with the worker; NULL: one at a time
};

RenderScratch *render_scratch_new()
{
    RenderScratch *scratch = new (std::nothrow) RenderScratch();
    if (scratch) {
        scratch->shades = shade_cache_new();   // without it the fill shades from the table
        // Bands, the lower ones on a worker of the world's own; without the
        // record the frame is filled one triangle at a time.
        scratch->fill = fill_frame_new(true);
    }
    return scratch;
}

void render_scratch_free(RenderScratch *scratch)
{
    if (scratch) {
        // A frame started and never drawn: its job is waited for or taken
        // back, so that none is on offer when the worker ends.
        if (scratch->started)
            frame_worker_finish(fill_frame_worker(scratch->fill));
        fill_frame_free(scratch->fill);   // ends the worker
        shade_cache_free(scratch->shades);
    }
    delete scratch;
}

void rotate_point(double &x, double &y, double &z, float a1, float a2, float a3)
{
    rotate_with(x, y, z, std::sin(a1), std::cos(a1), std::sin(a2), std::cos(a2), std::sin(a3), std::cos(a3));
}

void project_point(double &x, double &y, double &z)
{
    float scale = static_cast<float>(0.002 * z);
    x = x / scale + 400.0;
    y = y / scale + 300.0;
}

namespace {

void clear_depth(SDL_Surface *target, int32_t *depth)
{
    // Whole rows of the buffer, as far down as the fill may draw (the target,
    // never beyond the buffer), so every entry it tests is cleared.
    int rows = std::max(std::min(target->h, DEPTH_HEIGHT), 0);
    int count = rows * DEPTH_WIDTH;
    std::fill(depth, depth + count, DEPTH_CLEAR);
}

// A frame poses and projects copies of the triangles (here), orders them
// (order_far_to_near), then clears the depth buffer and fills them
// (draw_in_order).

// Copies of the triangles of objects[begin, end), posed and projected, in
// object and mesh order.
void transform_range(const std::vector<const SceneObject *> &objects, size_t begin, size_t end,
                     std::vector<Triangle> &copies)
{
    PoseCache cache{};
    for (size_t i = begin; i < end; ++i) {
        const SceneObject *object = objects[i];
        for (const PtrList *face = object->mesh; face; face = face->next) {
            const Triangle *triangle = static_cast<const Triangle *>(face->item);
            if (!triangle)
                continue;
            Triangle copy = *triangle;
            transform_vertex(object, cache, copy.x0, copy.y0, copy.z0);
            transform_vertex(object, cache, copy.x1, copy.y1, copy.z1);
            transform_vertex(object, cache, copy.x2, copy.y2, copy.z2);
            copies.push_back(copy);
        }
    }
}

// Plans the frame's chunks, of about as many objects each, and opens them.
void open_posing(RenderScratch &scratch)
{
    Posing &p = scratch.posing;
    const size_t count = scratch.drawables.size();
    p.chunks = static_cast<uint32_t>(std::min<size_t>(POSE_CHUNKS, count));
    for (uint32_t k = 0; k <= p.chunks; ++k)
        p.first[k] = count * k / std::max<uint32_t>(p.chunks, 1);
    items_open(p.chunks_left, 0, static_cast<int>(p.chunks));
    p.open.store(++p.frame, std::memory_order_release);
}

// Poses chunks of the open frame until none is left.
void pose_chunks(RenderScratch &scratch)
{
    Posing &p = scratch.posing;
    for (int k, end; items_take(p.chunks_left, true, 1, k, end);) {
        std::vector<Triangle> &copies = k == 0 ? scratch.copies : p.copies[k];
        copies.clear();
        transform_range(scratch.drawables, p.first[k], p.first[k + 1], copies);
        items_done(p.chunks_left, 1);
    }
}

void pose_chunks_job(void *scratch)
{
    pose_chunks(*static_cast<RenderScratch *>(scratch));
}

// Once every chunk is posed (some perhaps by a helper still at work), the
// copies in chunk order.
void close_posing(RenderScratch &scratch)
{
    Posing &p = scratch.posing;
    while (p.chunks_left.undone.load(std::memory_order_acquire) != 0)
        pause_briefly();
    for (uint32_t k = 1; k < p.chunks; ++k)
        scratch.copies.insert(scratch.copies.end(), p.copies[k].begin(), p.copies[k].end());
}

// Copies of every triangle, posed and projected, in object and mesh order.
// With a helper (the fill's worker, once it exists), the helper poses chunks
// of them too; without, another thread may still join in (help_posing).
void transform_objects(const PtrList *objects, RenderScratch &scratch, FrameWorker *helper)
{
    scratch.copies.clear();
    scratch.drawables.clear();
    for (const PtrList *node = objects; node; node = node->next) {
        const SceneObject *object = static_cast<const SceneObject *>(node->item);
        if (drawable(object))
            scratch.drawables.push_back(object);
    }
    open_posing(scratch);
    if (helper && scratch.posing.chunks > 1) {
        frame_worker_offer(helper, pose_chunks_job, &scratch);
        pose_chunks(scratch);
        frame_worker_finish(helper);   // taken back: every chunk was posed here
    } else {
        pose_chunks(scratch);
    }
    close_posing(scratch);
}

// The caller's part in a frame started on the worker: the chunks still
// left, if the worker has begun posing this frame.
void help_posing(RenderScratch &scratch)
{
    if (scratch.posing.open.load(std::memory_order_acquire) == scratch.posing.started)
        pose_chunks(scratch);
}

// One byte of the sort key of an entry: the key's bits inverted, so that
// ascending bytes mean descending keys. The keys are >= 0 (or +infinity),
// whose bits order as the numbers do once -0 is made +0 (the two are equal).
inline uint32_t descending_byte(const DrawEntry &entry, int shift)
{
    float key = entry.key + 0.0f;   // -0 + 0 is +0
    uint32_t bits;
    std::memcpy(&bits, &key, sizeof bits);
    return (~bits >> shift) & 0xFFu;
}

// Larger keys first, equal keys the later copy first: a radix sort, stable
// byte by byte from the lowest, of the entries taken latest first. A total
// order, so the result is the one any correct sort gives. other is the
// second buffer; neither allocates once it has grown to a frame's size.
void sort_far_to_near(std::vector<DrawEntry> &order, std::vector<DrawEntry> &other)
{
    const size_t count = order.size();
    if (count < 2)
        return;
    std::reverse(order.begin(), order.end());
    other.resize(count);
    for (int shift = 0; shift < 32; shift += 8) {
        size_t starts[256] = {};
        for (const DrawEntry &entry : order)
            ++starts[descending_byte(entry, shift)];
        if (starts[descending_byte(order[0], shift)] == count)
            continue;   // one byte value for all: this pass would move nothing
        size_t start = 0;
        for (size_t &slot : starts) {
            size_t entries = slot;
            slot = start;
            start += entries;
        }
        for (const DrawEntry &entry : order)
            other[starts[descending_byte(entry, shift)]++] = entry;
        order.swap(other);
    }
}

// The draw list: the copies' indices far to near. The order is that of
// repeatedly picking the largest key (ties: the later copy) among keys >= 0.
void order_far_to_near(RenderScratch &scratch)
{
    scratch.order.clear();
    uint32_t count = static_cast<uint32_t>(scratch.copies.size());
    for (uint32_t i = 0; i < count; ++i) {
        const Triangle &t = scratch.copies[i];
        float key = static_cast<float>(t.z0 + t.z1 + t.z2 / 3);   // only z2 is divided
        if (key >= 0.0f)   // behind the viewer, or NaN: never drawn
            scratch.order.push_back(DrawEntry{key, i});
    }
    sort_far_to_near(scratch.order, scratch.sorting);
    scratch.drawing.clear();
    for (const DrawEntry &entry : scratch.order)
        scratch.drawing.push_back(entry.index);
}

// All of the target's rows at once, for the frames that are not filled in bands.
void all_rows_done(SDL_Surface *target, RowsDone done)
{
    if (done.rows && target && target->h > 0)
        done.rows(0, target->h, done.argument);
}

// The ordered copies filled in that order, the depth buffer cleared first.
void draw_in_order(SDL_Surface *target, int32_t *depth, RenderScratch &scratch, RowsDone done)
{
    bool locked = SDL_MUSTLOCK(target) && SDL_LockSurface(target) == 0;
    if (SDL_MUSTLOCK(target) && !locked) {
        clear_depth(target, depth);   // nothing is drawn, but the buffer is left as a frame leaves it
        all_rows_done(target, done);
        return;
    }
    if (scratch.fill) {
        fill_frame_begin(scratch.fill, target, depth, scratch.shades, done);
        fill_frame_add_all(scratch.fill, scratch.copies.data(), scratch.drawing.data(), scratch.drawing.size());
        fill_frame_draw(scratch.fill);
    } else {
        clear_depth(target, depth);
        for (uint32_t index : scratch.drawing) {
            const Triangle &t = scratch.copies[index];
            fill_triangle_3d_cached(target, depth, scratch.shades, t.colour, t.x0, t.y0, t.z0, t.x1, t.y1, t.z1,
                                    t.x2, t.y2, t.z2);
        }
        all_rows_done(target, done);
    }
    if (locked)
        SDL_UnlockSurface(target);
}

FrameWorker *worker_of(const RenderScratch &scratch)
{
    return scratch.fill ? fill_frame_worker(scratch.fill) : nullptr;
}

// What a world's frame does before it touches the target: pose the objects
// (the list only read under the guard: the clock thread of a scene may add
// or remove objects meanwhile, and removing the head replaces
// world->objects) and order them. False when the world has no list.
bool pose_and_order(World *world, FrameWorker *helper)
{
    SDL_mutexP(world->guard);
    bool has_list = world->objects != nullptr;
    if (has_list)
        transform_objects(world->objects, *world->scratch, helper);
    SDL_mutexV(world->guard);
    if (has_list)
        order_far_to_near(*world->scratch);
    return has_list;
}

// world_render_start's job, on the worker (or taken back by the caller).
void pose_and_order_job(void *world)
{
    World *w = static_cast<World *>(world);
    w->scratch->has_list = pose_and_order(w, nullptr);
    if (w->scratch->also)
        w->scratch->also(w->scratch->also_argument);
}

} // namespace

void render_objects(SDL_Surface *target, int32_t *depth, PtrList *objects, RenderScratch *scratch)
{
    RenderScratch local;
    RenderScratch &work = scratch ? *scratch : local;
    transform_objects(objects, work, worker_of(work));
    order_far_to_near(work);
    draw_in_order(target, depth, work, RowsDone{nullptr, nullptr});
}

void world_render_start(World *world)
{
    world_render_start_with(world, nullptr, nullptr);
}

void world_render_start_with(World *world, void (*also)(void *), void *argument)
{
    if (!world || world->scratch->started)
        return;
    FrameWorker *worker = worker_of(*world->scratch);
    if (!worker)
        return;
    world->scratch->started = true;
    world->scratch->also = also;
    world->scratch->also_argument = argument;
    world->scratch->posing.started = world->scratch->posing.frame + 1;
    frame_worker_offer(worker, pose_and_order_job, world);
}

void world_render(World *world, SDL_Surface *target)
{
    world_render_then(world, target, RowsDone{nullptr, nullptr});
}

void world_render_then(World *world, SDL_Surface *target, RowsDone done)
{
    if (!world) {
        all_rows_done(target, done);
        return;
    }
    RenderScratch &scratch = *world->scratch;
    bool has_list;
    if (scratch.started) {
        scratch.started = false;
        help_posing(scratch);
        if (!frame_worker_finish(worker_of(scratch)))
            pose_and_order_job(world);   // the worker had not got going: done here
        has_list = scratch.has_list;
    } else {
        has_list = pose_and_order(world, worker_of(scratch));
    }
    if (has_list)
        draw_in_order(target, world->depth, scratch, done);
    else
        all_rows_done(target, done);
}

// mesh.cpp — the .raw mesh reader and the list, object and world records.
#include "render3d.h"
#include "raster.h"
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// A token is converted from a copy of at most this many bytes and a NUL.
constexpr size_t TOKEN_BYTES = 15;

// Every node a separate malloc'd block, as callers that build lists by hand expect.
PtrList *node_new(void *item)
{
    PtrList *node = static_cast<PtrList *>(std::malloc(sizeof(PtrList)));
    if (node) {
        node->item = item;
        node->next = nullptr;
    }
    return node;
}

// The token buffer[begin .. end) converted by itself, in file units.
double token_value(const char *buffer, size_t begin, size_t end)
{
    char token[TOKEN_BYTES + 1];
    size_t length = end - begin;
    if (length > TOKEN_BYTES)
        length = TOKEN_BYTES;   // longer tokens lie outside the format: keep their head
    std::memcpy(token, buffer + begin, length);
    token[length] = '\0';       // a token that starts with a NUL byte reads as empty
    return std::strtod(token, nullptr);
}

// Appends behind a known tail, so loading a mesh of n triangles stays linear.
void append_behind(Mesh *mesh, PtrList *&tail, Triangle *triangle)
{
    if (!mesh->item) {
        mesh->item = triangle;
        mesh->next = nullptr;
        tail = mesh;
        return;
    }
    PtrList *node = node_new(triangle);
    if (!node) {
        std::free(triangle);
        return;
    }
    tail->next = node;
    tail = node;
}

// Splits buffer into tokens and appends a triangle for every nine values.
void parse_raw(const char *buffer, size_t size, uint32_t colour, Mesh *mesh)
{
    double slots[9];
    int filled = 0;
    PtrList *tail = mesh;
    size_t begin = 0;
    // A token ends where the next byte is a separator; the tail after the last
    // separator is never converted, so a final number needs a space after it.
    for (size_t i = 0; i + 1 < size; ++i) {
        char next = buffer[i + 1];
        if (next != ' ' && next != '\0')
            continue;
        slots[filled++] = token_value(buffer, begin, i + 1) * 1000.0;
        begin = i + 1;
        if (filled < 9)
            continue;
        filled = 0;
        Triangle *triangle = static_cast<Triangle *>(std::malloc(sizeof(Triangle)));
        if (!triangle)
            continue;
        *triangle = Triangle{slots[0], slots[1], slots[2], slots[3], slots[4],
                             slots[5], slots[6], slots[7], slots[8], colour};
        append_behind(mesh, tail, triangle);
    }
}

// The file's size in bytes as the file system tells it, 0 when it cannot.
long file_size(FILE *file)
{
    if (std::fseek(file, 0, SEEK_END) != 0)
        return 0;
    long size = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0)
        return 0;
    return size;
}

// Reads what the file holds into a malloc'd buffer; *read is its length.
// The told size is only a first guess: a directory tells 2^63 - 1 bytes on
// some file systems and a sysfs file 4096, and either reads as far fewer.
// Reading stops once more than max_bytes are in: *read then tells the
// caller the file is too large, without the rest ever being held.
char *read_all(FILE *file, long size, size_t max_bytes, size_t *read)
{
    constexpr size_t FIRST_GUESS_LIMIT = 1 << 20;
    size_t capacity = static_cast<size_t>(size) < FIRST_GUESS_LIMIT ? static_cast<size_t>(size) : FIRST_GUESS_LIMIT;
    char *buffer = static_cast<char *>(std::malloc(capacity));
    *read = 0;
    while (buffer) {
        *read += std::fread(buffer + *read, 1, capacity - *read, file);
        if (*read < capacity || *read > max_bytes)
            break;   // end of file, an error, or too large: keep what was read
        char *larger = static_cast<char *>(std::realloc(buffer, capacity * 2));
        if (!larger) {
            std::free(buffer);
            *read = 0;
            return nullptr;
        }
        buffer = larger;
        capacity *= 2;
    }
    return buffer;
}

// The values parse_raw would convert, counted without converting them.
size_t token_count(const char *buffer, size_t size)
{
    size_t count = 0;
    for (size_t i = 0; i + 1 < size; ++i)
        if (buffer[i + 1] == ' ' || buffer[i + 1] == '\0')
            ++count;
    return count;
}

// The grass loads one file once per blade: a refused file is named once in a
// row, not 140 times. (Only the wording depends on it, so relaxed is enough.)
std::atomic<uint64_t> last_refused{0};

void report_refused(const char *path, const char *why)
{
    uint64_t hash = 14695981039346656037u;   // FNV-1a of the path
    for (const char *c = path; *c; ++c)
        hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211u;
    if (last_refused.exchange(hash, std::memory_order_relaxed) == hash)
        return;
    std::fprintf(stderr, "Mesh %s is left out: %s.\n", path, why);
}

} // namespace

PtrList *list_new()
{
    return node_new(nullptr);
}

void list_append(PtrList *list, void *item)
{
    if (!list->item) {
        list->item = item;
        list->next = nullptr;
        return;
    }
    PtrList *last = list;
    while (last->next)
        last = last->next;
    last->next = node_new(item);
}

void list_free_nodes(PtrList *list)
{
    while (list) {
        PtrList *next = list->next;
        std::free(list);
        list = next;
    }
}

Mesh *mesh_load(const char *path, uint32_t colour)
{
    return mesh_load_within(path, colour, MeshLimits{MESH_MAX_BYTES, MESH_MAX_TRIANGLES});
}

Mesh *mesh_load_within(const char *path, uint32_t colour, const MeshLimits &limits)
{
    if (const char *what = not_a_plain_file(path)) {
        char why[64];
        std::snprintf(why, sizeof why, "it is %s, not a plain file", what);
        report_refused(path, why);
        return nullptr;
    }
    FILE *file = std::fopen(path, "r");
    if (!file)
        return nullptr;
    long size = file_size(file);
    size_t read = 0;
    char *buffer = size > 0 ? read_all(file, size, limits.max_bytes, &read) : nullptr;
    std::fclose(file);
    // A mesh past the limits would cost every copy of it (the grass has 140)
    // memory and time each frame; the object is left without it instead, as
    // for a missing file.
    char why[96] = "";
    if (read > limits.max_bytes)
        std::snprintf(why, sizeof why, "the file is larger than %zu bytes", limits.max_bytes);
    else if (buffer && token_count(buffer, read) / 9 > limits.max_triangles)
        std::snprintf(why, sizeof why, "it has more than %zu triangles", limits.max_triangles);
    if (why[0]) {
        report_refused(path, why);
        std::free(buffer);
        return nullptr;
    }
    Mesh *mesh = read > 0 ? list_new() : nullptr;
    if (mesh)
        parse_raw(buffer, read, colour, mesh);
    std::free(buffer);
    return mesh;
}

Mesh *mesh_copy(const Mesh *mesh)
{
    if (!mesh)
        return nullptr;
    Mesh *copy = list_new();
    PtrList *tail = copy;
    for (const PtrList *node = mesh; copy && node && node->item; node = node->next) {
        Triangle *triangle = static_cast<Triangle *>(std::malloc(sizeof(Triangle)));
        if (!triangle)
            break;   // as a load that ran out of memory: the triangles so far
        *triangle = *static_cast<const Triangle *>(node->item);
        append_behind(copy, tail, triangle);
    }
    return copy;
}

SceneObject *object_new()
{
    // Value-initialised: every coordinate and angle 0, no mesh, no children.
    return new (std::nothrow) SceneObject();
}

namespace {

// The one depth buffer no world holds: the last one freed, or the one made at
// start-up. Fresh memory is paged in as it is first written, 2 MB costing
// 5 to 15 ms on some machines; a world that takes this one starts its scene
// on time.
std::atomic<int32_t *> spare_depth{nullptr};

int32_t *depth_take()
{
    int32_t *depth = spare_depth.exchange(nullptr);
    return depth ? depth : new (std::nothrow) DepthBuffer;
}

// Keeps depth as the spare; a spare already kept is freed. A NULL (a world
// that never got a buffer) changes nothing.
void depth_give(int32_t *depth)
{
    if (depth)
        delete[] spare_depth.exchange(depth);
}

void depth_clear(int32_t *depth)
{
    for (int i = 0; i < DEPTH_WIDTH * DEPTH_HEIGHT; ++i)
        depth[i] = DEPTH_CLEAR;
}

} // namespace

void world_depth_reserve()
{
    if (spare_depth.load(std::memory_order_relaxed))
        return;
    int32_t *depth = new (std::nothrow) DepthBuffer;
    if (depth)
        depth_clear(depth);   // the writes page it in now, not at a scene's start
    depth_give(depth);
}

void world_depth_release()
{
    delete[] spare_depth.exchange(nullptr);
}

World *world_new()
{
    World *world = new (std::nothrow) World();
    if (!world)
        return nullptr;
    world->objects = list_new();
    world->depth = depth_take();
    world->guard = SDL_CreateMutex();
    world->scratch = render_scratch_new();
    if (!world->objects || !world->depth || !world->guard || !world->scratch) {
        world_free(world);
        return nullptr;
    }
    // Not needed for drawing (every frame clears it first), but no reader
    // ever sees undefined memory, nor a freed world's depths.
    depth_clear(world->depth);
    return world;
}

size_t mesh_triangle_count(const Mesh *mesh)
{
    size_t count = 0;
    for (const PtrList *node = mesh; node && node->item; node = node->next)
        ++count;
    return count;
}

bool world_has_room(World *world, size_t count)
{
    if (count <= WORLD_MAX_TRIANGLES && world->triangles <= WORLD_MAX_TRIANGLES - count)
        return true;
    if (!world->budget_told)
        std::fprintf(stderr, "A scene's meshes hold more than %zu triangles together; the objects past that are left out.\n",
                     WORLD_MAX_TRIANGLES);
    world->budget_told = true;
    return false;
}

namespace {

void free_mesh(Mesh *mesh)
{
    for (PtrList *node = mesh; node; node = node->next)
        std::free(node->item);
    list_free_nodes(mesh);
}

} // namespace

void world_add_object(SceneObject *object, World *world)
{
    // Counted before the guard is taken: the render thread never reads the
    // count, and only the one thread that adds and removes writes it.
    size_t count = object ? mesh_triangle_count(object->mesh) : 0;
    if (count > 0 && !world_has_room(world, count)) {
        free_mesh(object->mesh);
        object->mesh = nullptr;
        count = 0;
    }
    SDL_mutexP(world->guard);
    list_append(world->objects, object);
    world->triangles += count;
    SDL_mutexV(world->guard);
}

void world_remove_object(SceneObject *object, World *world)
{
    if (!object)
        return;   // a NULL object matches nothing, not even the empty head
    SDL_mutexP(world->guard);
    PtrList *previous = nullptr;
    for (PtrList *node = world->objects; node; previous = node, node = node->next) {
        if (node->item != object)
            continue;
        node->item = nullptr;
        world->triangles -= mesh_triangle_count(object->mesh);
        if (previous) {
            previous->next = node->next;
            std::free(node);
        } else if (node->next) {
            world->objects = node->next;
            std::free(node);
        }
        // The only node stays as an empty head: the world remains usable.
        break;
    }
    SDL_mutexV(world->guard);
}

void object_add_triangle(Triangle *triangle, SceneObject *object)
{
    if (!object->mesh)
        object->mesh = list_new();
    if (object->mesh)
        list_append(object->mesh, triangle);
}

void object_free(SceneObject *object)
{
    if (!object)
        return;
    if (object->mesh)
        free_mesh(object->mesh);
    if (object->children) {
        for (PtrList *node = object->children; node; node = node->next)
            object_free(static_cast<SceneObject *>(node->item));
        list_free_nodes(object->children);
    }
    delete object;
}

void world_free(World *world)
{
    if (!world)
        return;
    // First: a frame started on the worker reads the objects and the guard
    // until it is settled, and the worker ends with the scratch storage.
    render_scratch_free(world->scratch);
    if (world->objects) {
        for (PtrList *node = world->objects; node; node = node->next)
            object_free(static_cast<SceneObject *>(node->item));
        list_free_nodes(world->objects);
    }
    depth_give(world->depth);
    if (world->guard)
        SDL_DestroyMutex(world->guard);
    delete world;
}

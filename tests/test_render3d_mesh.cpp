// The .raw reader and the list, object and world records.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif
#include "raster.h"
#include "render3d.h"

namespace {

// A file named after the running test, so parallel tests never share one.
std::string write_file(const std::string &bytes)
{
    std::string path = std::string("render3d_") +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw";
    FILE *file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (file) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

std::vector<Triangle> triangles_of(const Mesh *mesh)
{
    std::vector<Triangle> out;
    for (const PtrList *node = mesh; node; node = node->next)
        if (node->item)
            out.push_back(*static_cast<const Triangle *>(node->item));
    return out;
}

// All nine values of every triangle, in file order.
std::vector<double> values_of(const Mesh *mesh)
{
    std::vector<double> out;
    for (const Triangle &t : triangles_of(mesh))
        for (double v : {t.x0, t.y0, t.z0, t.x1, t.y1, t.z1, t.x2, t.y2, t.z2})
            out.push_back(v);
    return out;
}

// Loads bytes and frees the mesh node by node, as object_free does.
struct Loaded {
    Mesh *mesh;
    explicit Loaded(const std::string &bytes, uint32_t colour = 0xff112233u)
    {
        std::string path = write_file(bytes);
        mesh = mesh_load(path.c_str(), colour);
        std::remove(path.c_str());
    }
    ~Loaded()
    {
        for (PtrList *node = mesh; node; node = node->next)
            std::free(node->item);
        list_free_nodes(mesh);
    }
};

// Eight numbers and a ninth, each followed by `after`.
std::string numbers(int count, const char *after = " ")
{
    std::string s;
    for (int i = 1; i <= count; ++i)
        s += std::to_string(i) + after;
    return s;
}

} // namespace

TEST(MeshLoad, NineNumbersMakeOneTriangleInModelUnits)
{
    Loaded loaded(numbers(9));
    ASSERT_NE(loaded.mesh, nullptr);
    std::vector<Triangle> t = triangles_of(loaded.mesh);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(values_of(loaded.mesh),
              (std::vector<double>{1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000}));
    EXPECT_EQ(t[0].colour, 0xff112233u);
}

TEST(MeshLoad, TheUnterminatedLastNumberIsLost)
{
    std::string s = numbers(9);
    s.pop_back();   // no space after the 9
    Loaded loaded(s);
    ASSERT_NE(loaded.mesh, nullptr);
    EXPECT_EQ(loaded.mesh->item, nullptr);   // an empty mesh, not NULL
    EXPECT_TRUE(triangles_of(loaded.mesh).empty());

    // A line break is no separator: the last triangle goes with its number.
    std::string lines = numbers(17) + "18\n";
    Loaded broken(lines);
    EXPECT_EQ(triangles_of(broken.mesh).size(), 1u);
}

TEST(MeshLoad, AnIncompleteLastGroupIsDropped)
{
    Loaded ten(numbers(10));
    EXPECT_EQ(triangles_of(ten.mesh).size(), 1u);
    Loaded twenty_six(numbers(26));
    std::vector<double> v = values_of(twenty_six.mesh);
    ASSERT_EQ(v.size(), 18u);
    EXPECT_EQ(v[17], 18000.0);
}

TEST(MeshLoad, SeparatorsMakeTokensAndLineBreaksDoNot)
{
    // Two spaces: an extra token worth 0. A line break inside a token: only
    // its first number counts. A NUL byte separates like a space, and the
    // token it starts reads as 0.
    std::string s = std::string("1  2 3\n4 ") + std::string("5\0", 2) + "6 7 8 9 10 ";
    Loaded loaded(s);
    EXPECT_EQ(values_of(loaded.mesh),
              (std::vector<double>{1000, 0, 2000, 3000, 5000, 0, 7000, 8000, 9000}));
}

TEST(MeshLoad, NumbersReadInThePosixLocale)
{
    Loaded loaded("-0.5 1e-3 1,5 \t\n7 +2 .25 0x10 abc -0 ");
    std::vector<double> v = values_of(loaded.mesh);
    ASSERT_EQ(v.size(), 9u);
    EXPECT_EQ(v[0], -500.0);
    EXPECT_EQ(v[1], 1.0);
    EXPECT_EQ(v[2], 1000.0);   // decimal comma: only the 1
    EXPECT_EQ(v[3], 7000.0);   // white space before the number is skipped
    EXPECT_EQ(v[4], 2000.0);
    EXPECT_EQ(v[5], 250.0);
    EXPECT_EQ(v[6], 16000.0);  // the C library reads hexadecimal too
    EXPECT_EQ(v[7], 0.0);      // no number at all
    EXPECT_EQ(v[8], 0.0);
    EXPECT_TRUE(std::signbit(v[8]));
}

TEST(MeshLoad, SpacesAloneGiveZeros)
{
    Loaded nine(std::string(9, ' '));
    ASSERT_NE(nine.mesh, nullptr);
    EXPECT_TRUE(triangles_of(nine.mesh).empty());
    Loaded ten(std::string(10, ' '));
    EXPECT_EQ(values_of(ten.mesh), std::vector<double>(9, 0.0));
    Loaded nuls(std::string(19, '\0'));
    EXPECT_EQ(values_of(nuls.mesh), std::vector<double>(18, 0.0));
}

TEST(MeshLoad, MissingEmptyAndUnreadableFilesGiveNull)
{
    EXPECT_EQ(mesh_load("render3d_no_such_file.raw", 0), nullptr);
    std::string empty = write_file("");
    EXPECT_EQ(mesh_load(empty.c_str(), 0), nullptr);
    std::remove(empty.c_str());
    EXPECT_EQ(mesh_load(".", 0), nullptr);   // a directory opens but reads nothing
}

TEST(MeshLoad, ATokenLongerThanFifteenBytesIsCut)
{
    // " 1234567890123456789" is 20 bytes with its separator: the first 15
    // (" 12345678901234") are converted; the rest of the file is unaffected.
    std::string s = "1 2 3 4 5 6 7 8 1234567890123456789 10 11 12 13 14 15 16 17 18 ";
    Loaded loaded(s);
    std::vector<double> v = values_of(loaded.mesh);
    ASSERT_EQ(v.size(), 18u);
    EXPECT_EQ(v[8], 12345678901234.0 * 1000.0);
    EXPECT_EQ(v[9], 10000.0);
    EXPECT_EQ(v[17], 18000.0);

    // A long run of digits with no separator at all: one huge token.
    Loaded huge(std::string(5000, '7') + " " + numbers(9));
    std::vector<double> w = values_of(huge.mesh);
    ASSERT_EQ(w.size(), 9u);
    EXPECT_EQ(w[0], 777777777777777.0 * 1000.0);
    EXPECT_EQ(w[1], 1000.0);
}

TEST(MeshLoad, OnlyTheBytesActuallyReadAreTokenised)
{
    // sysfs reports 4096 bytes for a file that reads as a few: a short read.
    const char *path = "/sys/devices/system/cpu/online";
    FILE *probe = std::fopen(path, "r");
    if (!probe)
        GTEST_SKIP() << "no " << path;
    std::fclose(probe);
    Mesh *mesh = mesh_load(path, 0);
    ASSERT_NE(mesh, nullptr);
    // "0-1\n" has no separator: no value at all. Tokenising the whole buffer
    // would have read thousands of stray bytes.
    EXPECT_EQ(mesh->item, nullptr);
    EXPECT_EQ(mesh->next, nullptr);
    list_free_nodes(mesh);
}

TEST(MeshLoad, KeptFuzzInputsLoadCleanly)
{
    // Inputs the fuzzer found interesting; run under the sanitizers they
    // guard against reads and writes out of bounds and leaks.
    std::string folder = std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) + "/fuzz/corpus/mesh_load";
    DIR *dir = opendir(folder.c_str());
    ASSERT_NE(dir, nullptr) << folder;
    int files = 0;
    while (dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::string path = folder + "/" + entry->d_name;
        FILE *file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        std::string bytes;
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            bytes.append(chunk, n);
        std::fclose(file);
        // The number of converted tokens is the number of separators that
        // follow a byte; every nine make a triangle.
        size_t tokens = 0;
        for (size_t i = 0; i + 1 < bytes.size(); ++i)
            tokens += bytes[i + 1] == ' ' || bytes[i + 1] == '\0';
        Mesh *mesh = mesh_load(path.c_str(), 0xff000000u);
        if (bytes.empty()) {
            EXPECT_EQ(mesh, nullptr) << path;
        } else {
            ASSERT_NE(mesh, nullptr) << path;
            EXPECT_EQ(triangles_of(mesh).size(), tokens / 9) << path;
            for (PtrList *node = mesh; node; node = node->next)
                std::free(node->item);
            list_free_nodes(mesh);
        }
        ++files;
    }
    closedir(dir);
    EXPECT_GE(files, 3);
}

TEST(PtrList, AppendFillsTheHeadThenLinksBehind)
{
    PtrList *list = list_new();
    ASSERT_NE(list, nullptr);
    int a = 1, b = 2, c = 3;
    list_append(list, &a);
    EXPECT_EQ(list->item, &a);
    EXPECT_EQ(list->next, nullptr);
    list_append(list, &b);
    list_append(list, &c);
    ASSERT_NE(list->next, nullptr);
    EXPECT_EQ(list->next->item, &b);
    ASSERT_NE(list->next->next, nullptr);
    EXPECT_EQ(list->next->next->item, &c);
    EXPECT_EQ(list->next->next->next, nullptr);
    list_free_nodes(list);
    list_free_nodes(nullptr);
}

namespace {

std::vector<SceneObject *> objects_of(const World *world)
{
    std::vector<SceneObject *> out;
    for (const PtrList *node = world->objects; node; node = node->next)
        out.push_back(static_cast<SceneObject *>(node->item));
    return out;
}

} // namespace

TEST(World, RemovesAtHeadMiddleAndTail)
{
    World *world = world_new();
    ASSERT_NE(world, nullptr);
    SceneObject *o[5];
    for (SceneObject *&object : o) {
        object = object_new();
        ASSERT_NE(object, nullptr);
        world_add_object(object, world);
    }
    EXPECT_EQ(objects_of(world), (std::vector<SceneObject *>{o[0], o[1], o[2], o[3], o[4]}));

    world_remove_object(o[0], world);   // the second node becomes the head
    EXPECT_EQ(objects_of(world), (std::vector<SceneObject *>{o[1], o[2], o[3], o[4]}));
    world_remove_object(o[2], world);
    EXPECT_EQ(objects_of(world), (std::vector<SceneObject *>{o[1], o[3], o[4]}));
    world_remove_object(o[4], world);
    EXPECT_EQ(objects_of(world), (std::vector<SceneObject *>{o[1], o[3]}));

    SceneObject *stranger = object_new();
    world_remove_object(stranger, world);   // not in the world: nothing changes
    world_remove_object(nullptr, world);
    EXPECT_EQ(objects_of(world), (std::vector<SceneObject *>{o[1], o[3]}));

    world_add_object(o[2], world);          // a removed object may come back
    EXPECT_EQ(objects_of(world), (std::vector<SceneObject *>{o[1], o[3], o[2]}));

    object_free(stranger);
    object_free(o[0]);
    object_free(o[4]);
    world_free(world);   // frees o[1], o[3], o[2]
}

TEST(World, RemovingTheOnlyObjectKeepsAnEmptyHead)
{
    World *world = world_new();
    SceneObject *first = object_new();
    world_add_object(first, world);
    world_remove_object(first, world);
    ASSERT_NE(world->objects, nullptr);
    EXPECT_EQ(world->objects->item, nullptr);
    EXPECT_EQ(world->objects->next, nullptr);

    // Removing from the empty world, then adding again, works as on a new one.
    world_remove_object(first, world);
    SceneObject *second = object_new();
    world_add_object(second, world);
    EXPECT_EQ(objects_of(world), (std::vector<SceneObject *>{second}));
    object_free(first);
    world_free(world);
}

TEST(World, NewRecordsStartEmpty)
{
    SceneObject *object = object_new();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->x.load(), 0.0);
    EXPECT_EQ(object->z.load(), 0.0);
    EXPECT_EQ(object->rx.load(), 0.0f);
    EXPECT_EQ(object->rz.load(), 0.0f);
    EXPECT_EQ(object->mesh, nullptr);
    EXPECT_EQ(object->children, nullptr);

    World *world = world_new();
    ASSERT_NE(world, nullptr);
    ASSERT_NE(world->objects, nullptr);
    EXPECT_EQ(world->objects->item, nullptr);
    EXPECT_NE(world->depth, nullptr);
    EXPECT_NE(world->guard, nullptr);
    EXPECT_NE(world->scratch, nullptr);
    object_free(object);
    world_free(world);
    world_free(nullptr);
    object_free(nullptr);
}

TEST(World, ADepthBufferPassedOnFromAFreedWorldStartsCleared)
{
    world_depth_reserve();
    World *first = world_new();
    ASSERT_NE(first, nullptr);
    std::fill(first->depth, first->depth + DEPTH_WIDTH * DEPTH_HEIGHT, 7);
    int32_t *kept = first->depth;
    world_free(first);
    World *second = world_new();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->depth, kept);
    EXPECT_EQ(std::count(second->depth, second->depth + DEPTH_WIDTH * DEPTH_HEIGHT, DEPTH_CLEAR),
              DEPTH_WIDTH * DEPTH_HEIGHT);
    world_free(second);
    world_depth_release();
}

TEST(World, FreeingReleasesMeshesAndChildrenRecursively)
{
    // Run under AddressSanitizer this is a leak check: every triangle, mesh
    // node, child and child list must be released.
    World *world = world_new();
    SceneObject *parent = object_new();
    for (int i = 0; i < 3; ++i) {
        Triangle *t = static_cast<Triangle *>(std::malloc(sizeof(Triangle)));
        *t = Triangle{0, 0, 0, 1, 0, 0, 0, 1, 0, 0xffffffffu};
        object_add_triangle(t, parent);   // the first creates the mesh
    }
    EXPECT_EQ(triangles_of(parent->mesh).size(), 3u);
    parent->children = list_new();
    SceneObject *child = object_new();
    child->children = list_new();
    list_append(child->children, object_new());
    list_append(parent->children, child);
    list_append(parent->children, object_new());
    world_add_object(parent, world);
    world_free(world);
}

// A copy is what a second load of the same file would give, in memory of its own.
TEST(MeshCopy, GivesTheLoadedTrianglesInOrderInMemoryOfItsOwn)
{
    Loaded loaded(numbers(27) + "\n-1 2.5 3e3 4 5 6 7 8 9 ");
    ASSERT_EQ(triangles_of(loaded.mesh).size(), 4u);
    Mesh *copy = mesh_copy(loaded.mesh);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(values_of(copy), values_of(loaded.mesh));
    for (const Triangle &t : triangles_of(copy))
        EXPECT_EQ(t.colour, 0xff112233u);
    for (const PtrList *a = copy, *b = loaded.mesh; a && b; a = a->next, b = b->next) {
        EXPECT_NE(a, b);
        EXPECT_NE(a->item, b->item);
    }
    SceneObject *owner = object_new();
    owner->mesh = copy;
    object_free(owner);   // frees the copy alone: the original must stay readable
    EXPECT_EQ(triangles_of(loaded.mesh).size(), 4u);
}

TEST(MeshCopy, EmptyAndMissingMeshesCopyAsTheyAre)
{
    EXPECT_EQ(mesh_copy(nullptr), nullptr);
    Loaded few("1 2 3 ");   // fewer than nine numbers: an empty mesh
    ASSERT_NE(few.mesh, nullptr);
    Mesh *copy = mesh_copy(few.mesh);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->item, nullptr);
    EXPECT_EQ(copy->next, nullptr);
    list_free_nodes(copy);
}

TEST(MeshLoad, AMeshAboveTheTriangleLimitIsLeftOutWithOneNotice)
{
    // The show's own meshes have at most 240 triangles: the limit lies far above.
    std::string triangle;
    for (int i = 0; i < 9; ++i)
        triangle += "0 ";
    std::string at_limit;
    at_limit.reserve(triangle.size() * (MESH_MAX_TRIANGLES + 1));
    for (size_t i = 0; i < MESH_MAX_TRIANGLES; ++i)
        at_limit += triangle;
    {
        Loaded loaded(at_limit);
        ASSERT_NE(loaded.mesh, nullptr);
        size_t count = 0;
        for (PtrList *node = loaded.mesh; node; node = node->next)
            count += node->item != nullptr;
        EXPECT_EQ(count, MESH_MAX_TRIANGLES);
    }
    std::string path = write_file(at_limit + triangle);
    testing::internal::CaptureStderr();
    Mesh *refused = mesh_load(path.c_str(), 0);
    Mesh *again = mesh_load(path.c_str(), 0);   // as the grass loads it, once per blade
    std::string said = testing::internal::GetCapturedStderr();
    std::remove(path.c_str());
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(again, nullptr);
    EXPECT_NE(said.find(path), std::string::npos) << said;
    EXPECT_NE(said.find("more than 16384 triangles"), std::string::npos) << said;
    EXPECT_EQ(said.find(path), said.rfind(path)) << "named once, not per load: " << said;
}

TEST(MeshLoad, AFileAboveTheSizeLimitIsLeftOutUnread)
{
    // One long token and no separator: no triangle at all, but too large to read.
    std::string path = write_file(std::string(MESH_MAX_BYTES + 1, '7'));
    testing::internal::CaptureStderr();
    Mesh *refused = mesh_load(path.c_str(), 0);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(refused, nullptr);
    EXPECT_NE(said.find(path), std::string::npos) << said;
    EXPECT_NE(said.find("larger than"), std::string::npos) << said;
    // A byte less is read, and gives an empty mesh: its one number has no
    // separator after it.
    write_file(std::string(MESH_MAX_BYTES, '7'));
    Mesh *read = mesh_load(path.c_str(), 0);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->item, nullptr);
    list_free_nodes(read);
    std::remove(path.c_str());
}

namespace {

// An object with a mesh of count triangles, all at the origin.
SceneObject *object_with(size_t count)
{
    SceneObject *object = object_new();
    for (size_t i = 0; i < count; ++i)
        object_add_triangle(static_cast<Triangle *>(std::calloc(1, sizeof(Triangle))), object);
    return object;
}

} // namespace

#ifndef _WIN32
// Opening a named pipe would wait for a writer for ever: whatever is not a
// plain file is refused by its kind before anything opens it.
TEST(DataFiles, OnlyPlainFilesAreOpened)
{
    const std::string pipe = std::string("render3d_pipe_") + std::to_string(getpid()) + ".raw";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string plain = write_file("0 0 0 1 0 0 0 1 0 ");
    const struct { const char *path; const char *kind; } cases[] = {
        {pipe.c_str(), "a named pipe"}, {".", "a folder"}, {"/dev/null", "a device"},
        {plain.c_str(), nullptr},       {"render3d_no_such_file.raw", nullptr},
    };
    for (const auto &c : cases) {
        const char *kind = not_a_plain_file(c.path);
        EXPECT_STREQ(kind, c.kind) << c.path;
        if (!c.kind)
            continue;
        testing::internal::CaptureStderr();
        EXPECT_EQ(mesh_load(c.path, 0), nullptr) << c.path;
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(std::string("it is ") + c.kind + ", not a plain file"), std::string::npos) << said;
        EXPECT_EQ(image_load(c.path), nullptr) << c.path;
    }
    std::remove(pipe.c_str());
    std::remove(plain.c_str());
}
#endif

// The grass copies one mesh once per blade: a world counts every copy, and
// objects past its budget come in without their triangles, with one notice.
TEST(World, ObjectsPastTheTriangleBudgetAreLeftOutWithOneNotice)
{
    World *world = world_new();
    ASSERT_NE(world, nullptr);
    const size_t half = WORLD_MAX_TRIANGLES / 2;
    SceneObject *first = object_with(half), *second = object_with(half), *third = object_with(1);
    testing::internal::CaptureStderr();
    world_add_object(first, world);
    world_add_object(second, world);            // exactly at the budget
    world_add_object(third, world);             // one past it: left out
    EXPECT_FALSE(world_has_room(world, 1));     // asked again: no second notice
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(mesh_triangle_count(first->mesh), half);
    EXPECT_EQ(mesh_triangle_count(second->mesh), half);
    EXPECT_EQ(third->mesh, nullptr);
    EXPECT_NE(said.find("left out"), std::string::npos) << said;
    EXPECT_EQ(said.find("left out"), said.rfind("left out")) << said;
    // An object taken out gives its triangles back, as scene 7's plates do.
    world_remove_object(second, world);
    EXPECT_TRUE(world_has_room(world, half));
    object_free(second);
    world_free(world);
}

// Feeds arbitrary bytes to mesh_load through a file and checks that it reads
// them as the .raw format says: one triangle per nine converted tokens, a
// token ending at every byte that a space or NUL follows. The limits are the
// loader's own code with small numbers, so that inputs of a few kilobytes
// reach both refusals: too many bytes, too many triangles.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include "render3d.h"

namespace {

constexpr MeshLimits LIMITS{3000, 40};

// In memory where possible: rewriting a file on disk each run is slow.
// Removed when the run ends.
std::string input_path()
{
    const char *folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    static std::string path = std::string(folder) + "/fuzz_mesh_load_" + std::to_string(getpid()) + ".raw";
    std::atexit([] { unlink(path.c_str()); });
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = input_path();
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);

    size_t tokens = 0;
    for (size_t i = 0; i + 1 < size; ++i)
        tokens += data[i + 1] == ' ' || data[i + 1] == '\0';
    const bool refused = size > LIMITS.max_bytes || tokens / 9 > LIMITS.max_triangles;

    Mesh *mesh = mesh_load_within(path.c_str(), 0xff336699u, LIMITS);
    if ((size == 0 || refused) != (mesh == nullptr))
        std::abort();   // NULL exactly for an empty file or one past a limit
    size_t triangles = 0;
    for (PtrList *node = mesh; node; node = node->next) {
        if (!node->item)
            continue;
        const Triangle *t = static_cast<const Triangle *>(node->item);
        if (t->colour != 0xff336699u)
            std::abort();
        ++triangles;
        std::free(node->item);
    }
    list_free_nodes(mesh);
    if (!refused && triangles != tokens / 9)
        std::abort();
    return 0;
}

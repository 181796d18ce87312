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
#include "fuzz_input_file.h"
#include "render3d.h"

namespace {

constexpr MeshLimits LIMITS{3000, 40};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = fuzz_input_file("fuzz_mesh_load", data, size);

    size_t tokens = 0;
    for (size_t i = 0; i + 1 < size; ++i)
        tokens += data[i + 1] == ' ' || data[i + 1] == '\0';
    const bool refused = size > LIMITS.max_bytes || tokens / 9 > LIMITS.max_triangles;

    Mesh *mesh = mesh_load_within(path, 0xff336699u, LIMITS);
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

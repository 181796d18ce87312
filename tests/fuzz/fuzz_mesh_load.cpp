// Feeds arbitrary bytes to mesh_load through a file and checks that it reads
// them as the .raw format says: one triangle per nine converted tokens, a
// token ending at every byte that a space or NUL follows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include "render3d.h"

namespace {

// In memory where possible: rewriting a file on disk each run is slow.
std::string input_path()
{
    const char *folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/fuzz_mesh_load_" + std::to_string(getpid()) + ".raw";
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

    Mesh *mesh = mesh_load(path.c_str(), 0xff336699u);
    if ((size == 0) != (mesh == nullptr))
        std::abort();   // NULL exactly for an empty file
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
    if (triangles != tokens / 9)
        std::abort();
    return 0;
}

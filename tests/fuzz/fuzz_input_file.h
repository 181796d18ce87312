// fuzz_input_file.h — for the fuzz targets whose parser reads a file by name:
// each input is written to one file of the process's own, in memory where
// possible (rewriting a file on disk each run is slow), removed at exit.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// Writes the input to the process's file (named after `stem`) and gives its
// path; aborts when it cannot, since the run would then test nothing.
inline const char *fuzz_input_file(const char *stem, const uint8_t *data, size_t size)
{
    static const std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/" +
                                    stem + "_" + std::to_string(getpid()) + ".raw";
    // Registered once path is made, so that it runs before path is destroyed.
    static const int removed_at_exit = std::atexit([] { unlink(path.c_str()); });
    (void)removed_at_exit;
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
    return path.c_str();
}

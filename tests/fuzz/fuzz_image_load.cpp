// Feeds arbitrary bytes to image_load through a file: a header shorter than
// six bytes gives NULL, a header within the side limit gives a surface of
// its size, and the first pixel, when the file holds it, is read in the
// format's byte order (red, green, blue, then the fourth byte or opaque).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include "fuzz_input_file.h"
#include "raster.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = fuzz_input_file("fuzz_image_load", data, size);

    SDL_Surface *image = image_load(path);
    if (size < 6) {
        if (image)
            std::abort();
        return 0;
    }
    const int width = data[0] | data[1] << 8, height = data[2] | data[3] << 8, bits = data[4] | data[5] << 8;
    const bool fits = width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE;
    if (fits != (image != nullptr))
        std::abort();
    if (!image)
        return 0;
    if (image->w != width || image->h != height || image->format->BitsPerPixel != 32)
        std::abort();
    const int bytes = bits / 8;
    if ((bytes == 3 || bytes == 4) && width > 0 && height > 0 && size >= 6u + bytes) {
        const uint32_t fourth = bytes == 4 ? data[9] : 0xFFu;
        const uint32_t expected = fourth << 24 | uint32_t(data[6]) << 16 | uint32_t(data[7]) << 8 | data[8];
        if (*static_cast<const uint32_t *>(image->pixels) != expected)
            std::abort();
    }
    SDL_FreeSurface(image);
    return 0;
}

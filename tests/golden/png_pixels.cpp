// png_pixels.cpp — lanternfay-png-pixels: writes the decoded pixels of a PNG
// to standard output (a line "WIDTH HEIGHT", then red, green, blue bytes row by
// row), so that a digest of a frame depends on its picture alone and not on
// how the PNG library happened to compress it.
//
//   lanternfay-png-pixels FILE.png | sha256sum
#include <png.h>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lanternfay-png-pixels FILE.png\n");
        return 2;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, argv[1])) {
        std::fprintf(stderr, "cannot read %s: %s\n", argv[1], image.message);
        return 1;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        std::fprintf(stderr, "cannot decode %s: %s\n", argv[1], image.message);
        return 1;
    }
    std::printf("%u %u\n", image.width, image.height);
    bool ok = std::fwrite(pixels.data(), 1, pixels.size(), stdout) == pixels.size();
    return ok && std::fflush(stdout) == 0 ? 0 : 1;
}

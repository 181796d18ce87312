// png_writer.cpp — `screen` as an 8-bit RGB PNG, through libpng.
#include <png.h>
#include <cstdio>
#include <vector>
#include "frames.h"
#include "raster.h"

namespace {

// The screen's rows as packed RGB, read through its own format and pitch.
std::vector<png_byte> screen_rgb()
{
    std::vector<png_byte> rgb((size_t)screen->w * screen->h * 3);
    if (SDL_MUSTLOCK(screen))
        SDL_LockSurface(screen);
    const SDL_PixelFormat *format = screen->format;
    const Uint32 *row = static_cast<const Uint32 *>(screen->pixels);
    png_byte *out = rgb.data();
    for (int y = 0; y < screen->h; y++, row += screen->pitch / 4) {
        for (int x = 0; x < screen->w; x++) {
            Uint8 red, green, blue;
            SDL_GetRGB(row[x], const_cast<SDL_PixelFormat *>(format), &red, &green, &blue);
            *out++ = red;
            *out++ = green;
            *out++ = blue;
        }
    }
    if (SDL_MUSTLOCK(screen))
        SDL_UnlockSurface(screen);
    return rgb;
}

}  // namespace

bool write_screen_png(const std::string &path)
{
    std::vector<png_byte> rgb = screen_rgb();
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::printf("cannot write %s\n", path.c_str());
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        std::printf("cannot encode %s\n", path.c_str());
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, (png_uint_32)screen->w, (png_uint_32)screen->h, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < screen->h; y++)
        png_write_row(png, rgb.data() + (size_t)y * screen->w * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        std::printf("cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

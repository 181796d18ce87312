// png_writer.cpp — `screen` as an 8-bit RGB PNG, through libpng.
// Must stay true: a PNG appears under its name only when it is complete.
#include <png.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
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

// libpng's failures end in the longjmp without a message of libpng's own:
// the caller says what failed, with the system's reason.
void quiet_failure(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

}  // namespace

bool write_screen_png(const std::string &path)
{
    // Written under a temporary name and renamed once complete: a full disk
    // or an interrupt never leaves a cut-off PNG under the final name.
    const std::string partial = path + ".part";
    std::vector<png_byte> rgb = screen_rgb();
    FILE *file = std::fopen(partial.c_str(), "wb");
    if (!file) {
        std::printf("cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_failure, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        const int write_error = errno ? errno : ENOMEM;   // a failed fwrite's reason
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        std::remove(partial.c_str());
        std::printf("cannot write %s: %s\n", path.c_str(), std::strerror(write_error));
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, (png_uint_32)screen->w, (png_uint_32)screen->h, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    errno = 0;
    png_write_info(png, info);
    for (int y = 0; y < screen->h; y++)
        png_write_row(png, rgb.data() + (size_t)y * screen->w * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    int write_error = 0;
    // What stdio still holds reaches the disk only here.
    if (std::fflush(file) != 0 || std::ferror(file))
        write_error = errno ? errno : EIO;
    if (std::fclose(file) != 0 && !write_error)
        write_error = errno ? errno : EIO;
    std::error_code renamed;
    if (!write_error)
        std::filesystem::rename(partial, path, renamed);
    if (write_error || renamed) {
        std::remove(partial.c_str());
        std::printf("cannot write %s: %s\n", path.c_str(),
                    write_error ? std::strerror(write_error) : renamed.message().c_str());
        return false;
    }
    return true;
}

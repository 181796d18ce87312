// image.cpp — sprite preparation and the library's raw image files.
#include "raster.h"
#include <cstddef>
#include <cstdio>
#include <filesystem>

const char *not_a_plain_file(const char *path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    switch (status.type()) {
    case fs::file_type::regular:
    case fs::file_type::not_found:
    case fs::file_type::none:
        return nullptr;   // a plain file, or nothing there: the caller's open says which
    case fs::file_type::directory:
        return "a folder";
    case fs::file_type::fifo:
        return "a named pipe";
    case fs::file_type::block:
    case fs::file_type::character:
        return "a device";
    case fs::file_type::socket:
        return "a socket";
    default:
        return "a special file";
    }
}

SDL_Surface *argb_surface_new(int width, int height)
{
    if (width < 0 || height < 0)
        return nullptr;
    return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu,
                                0xFF000000u);
}

SDL_Surface *surface_converted_for(SDL_Surface *picture, const SDL_Surface *target)
{
    // With a colour key or alpha the blit's result depends on what the
    // target holds: no copy can stand in for it.
    if (!picture || !target || (picture->flags & (SDL_SRCCOLORKEY | SDL_SRCALPHA)))
        return nullptr;
    const SDL_PixelFormat *format = target->format;
    SDL_Surface *copy = SDL_CreateRGBSurface(SDL_SWSURFACE, picture->w, picture->h, format->BitsPerPixel,
                                             format->Rmask, format->Gmask, format->Bmask, format->Amask);
    if (!copy)
        return nullptr;
    // Without a key or alpha the conversion depends on the two formats only,
    // never on what the destination holds: it is the one that drawing
    // picture onto target makes.
    picture_draw(picture, nullptr, copy, 0, 0);
    // SDL marks a surface with an alpha mask for blending; the copy must be
    // copied as it is.
    SDL_SetAlpha(copy, 0, SDL_ALPHA_OPAQUE);
    return copy;
}

void surface_tint(SDL_Surface **slot, uint8_t red, uint8_t green, uint8_t blue)
{
    if (!slot || !*slot)
        return;
    SDL_Surface *old = *slot;
    SDL_Surface *tinted = argb_surface_new(old->w, old->h);
    if (!tinted)
        return;   // keep the old picture rather than leave an empty slot
    picture_draw(old, nullptr, tinted, 0, 0);   // converted to 0xAARRGGBB
    SDL_FreeSurface(old);
    *slot = tinted;
    // One colour everywhere; the shape moves into alpha, taken from green,
    // the channel that carries most of a grey picture's brightness.
    uint32_t colour = (static_cast<uint32_t>(red) << 16) | (static_cast<uint32_t>(green) << 8) | blue;
    ptrdiff_t stride = tinted->pitch / 4;
    uint32_t *row = static_cast<uint32_t *>(tinted->pixels);
    for (int y = 0; row && y < tinted->h; ++y, row += stride)
        for (int x = 0; x < tinted->w; ++x)
            row[x] = ((row[x] & 0x0000FF00u) << 16) | colour;
}

namespace {

uint32_t read_u16(const unsigned char *bytes)
{
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8);
}

// Reads pixels of `bytes_per_pixel` bytes (red, green, blue[, fourth]) row by
// row into s until the file ends; a pixel cut short by the end is not stored.
void read_pixels(std::FILE *file, SDL_Surface *s, int bytes_per_pixel)
{
    unsigned char buffer[4];
    ptrdiff_t stride = s->pitch / 4;
    uint32_t *row = static_cast<uint32_t *>(s->pixels);
    for (int y = 0; row && y < s->h; ++y, row += stride) {
        for (int x = 0; x < s->w; ++x) {
            if (std::fread(buffer, 1, static_cast<size_t>(bytes_per_pixel), file) !=
                static_cast<size_t>(bytes_per_pixel))
                return;
            uint32_t fourth = bytes_per_pixel == 4 ? buffer[3] : 0xFFu;
            row[x] = (fourth << 24) | (static_cast<uint32_t>(buffer[0]) << 16) |
                     (static_cast<uint32_t>(buffer[1]) << 8) | buffer[2];
        }
    }
}

} // namespace

SDL_Surface *image_load(const char *path)
{
    if (!path || not_a_plain_file(path))
        return nullptr;
    std::FILE *file = std::fopen(path, "rb");
    if (!file)
        return nullptr;
    unsigned char header[6];
    // A file shorter than its header has no size to make a surface of.
    if (std::fread(header, 1, sizeof header, file) != sizeof header) {
        std::fclose(file);
        return nullptr;
    }
    int width = static_cast<int>(read_u16(header));
    int height = static_cast<int>(read_u16(header + 2));
    int bytes_per_pixel = static_cast<int>(read_u16(header + 4) / 8);
    if (width > IMAGE_MAX_SIDE || height > IMAGE_MAX_SIDE) {
        std::fclose(file);
        return nullptr;
    }
    // All masks 0: SDL picks its default 32-bit layout, 0x00RRGGBB with no alpha mask.
    SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0, 0, 0, 0);
    if (!s) {   // refused by SDL, or no memory
        std::fclose(file);
        return nullptr;
    }
    if (bytes_per_pixel == 3 || bytes_per_pixel == 4)
        read_pixels(file, s, bytes_per_pixel);
    std::fclose(file);
    return s;
}

void lock_surface(SDL_Surface *s)
{
    if (s && SDL_MUSTLOCK(s))
        SDL_LockSurface(s);
}

void unlock_surface(SDL_Surface *s)
{
    if (s && SDL_MUSTLOCK(s))
        SDL_UnlockSurface(s);
}

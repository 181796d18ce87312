// Feeds arbitrary bytes to the browser build's BMP reader (bmp_decode,
// compiled natively) and, when it takes them, to SDL 1.2's SDL_LoadBMP_RW:
// SDL must take them too and make the same surface (size, depth, masks and
// every row's bytes). Only under classic SDL 1.2: sdl12-compat loads through
// SDL2, which reads more formats and other masks.
//
// The one difference allowed, as SDL 1.2 does it: a 32-bit picture whose
// pixels do not start right after its header gets SDL's masks from the 12
// bytes after the 40-byte header, even where they overlap or lie past the
// file's end; the browser's reader keeps blue, green, red. The bytes are the
// same.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <SDL.h>
#include "platform_web_bmp.h"

namespace {

uint32_t le32(const uint8_t *p) { return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

bool classic_sdl()
{
    const SDL_version *version = SDL_Linked_Version();
    return version->major == 1 && version->minor == 2 && version->patch < 50;
}

// SDL 1.2 reads a 32-bit picture's masks from the 12 bytes after the 40-byte
// header when the pixels do not start right after the header, whatever it
// finds there (past the file's end, what its failed reads leave).
bool masks_differ_as_named(const uint8_t *data, const SDL_Surface *ours)
{
    return ours->format->BitsPerPixel == 32 && le32(data + 10) != 14 + le32(data + 14);
}

void compare_with_sdl(const uint8_t *data, size_t size, const SDL_Surface *ours)
{
    SDL_Surface *sdl = SDL_LoadBMP_RW(SDL_RWFromConstMem(data, int(size)), 1);
    if (!sdl)
        std::abort();   // the browser's reader took a picture SDL 1.2 refuses
    const SDL_PixelFormat *a = ours->format, *b = sdl->format;
    if (sdl->w != ours->w || sdl->h != ours->h || b->BitsPerPixel != a->BitsPerPixel || b->Amask != a->Amask)
        std::abort();
    if ((b->Rmask != a->Rmask || b->Gmask != a->Gmask || b->Bmask != a->Bmask) &&
        !masks_differ_as_named(data, ours))
        std::abort();
    const size_t row_bytes = size_t(ours->w) * a->BytesPerPixel;
    for (int y = 0; y < ours->h; y++)
        if (std::memcmp(static_cast<const uint8_t *>(ours->pixels) + size_t(y) * ours->pitch,
                        static_cast<const uint8_t *>(sdl->pixels) + size_t(y) * sdl->pitch, row_bytes) != 0)
            std::abort();
    SDL_FreeSurface(sdl);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool compare = classic_sdl();
    SDL_Surface *ours = bmp_decode(data, size);
    if (!ours)
        return 0;
    if (ours->w <= 0 || ours->h <= 0 || (ours->format->BitsPerPixel != 24 && ours->format->BitsPerPixel != 32))
        std::abort();
    if (compare)
        compare_with_sdl(data, size, ours);
    SDL_FreeSurface(ours);
    return 0;
}

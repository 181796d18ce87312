// platform_web_bmp.cpp — the browser build's BMP reader: a picture held in
// memory as the surface SDL 1.2's SDL_LoadBMP_RW makes of it.
//
// Must stay true: a file this reader takes gives the surface SDL 1.2 gives
// (size, depth, masks, every row's bytes), except where SDL 1.2 takes a
// 32-bit picture's masks from the bytes between its header and its pixels
// (here the usual blue, green, red order stays); the fuzz target
// fuzz_bmp_web compares the two on every input. Formats the show never uses
// are refused, not guessed at. Every header field is distrusted: no read
// outside the bytes given, and no surface before the bytes are known to
// fill it, so a 60-byte file cannot ask for a gigabyte.
#include "platform_web_bmp.h"
#include <cstring>

namespace {

uint32_t le16(const uint8_t *p) { return p[0] | (uint32_t(p[1]) << 8); }
uint32_t le32(const uint8_t *p) { return le16(p) | (le16(p + 2) << 16); }

constexpr size_t FILE_HEADER_BYTES = 14;
constexpr size_t INFO_HEADER_BYTES = 40;   // the Windows header; larger ones begin with it
constexpr int32_t LARGEST_SIDE = 16383;   // SDL 1.2 refuses a width of 16384

} // namespace

SDL_Surface *bmp_decode(const uint8_t *bytes, size_t size)
{
    if (!bytes || size < FILE_HEADER_BYTES + INFO_HEADER_BYTES || bytes[0] != 'B' || bytes[1] != 'M') {
        SDL_SetError("File is not a Windows BMP file");
        return nullptr;
    }
    const uint32_t data_offset = le32(bytes + 10), info_size = le32(bytes + 14);
    const int32_t width = int32_t(le32(bytes + 18)), height_field = int32_t(le32(bytes + 22));
    const uint32_t bits = le16(bytes + 28), compression = le32(bytes + 30);
    // A negative height means rows from the top; -2^31 has no positive
    // counterpart and is refused with the other sizes out of range.
    const bool top_down = height_field < 0;
    const int64_t height = top_down ? -int64_t(height_field) : int64_t(height_field);
    if (info_size < INFO_HEADER_BYTES || compression != 0 || (bits != 24 && bits != 32) || width <= 0 ||
        height <= 0 || width > LARGEST_SIDE || height > LARGEST_SIDE) {
        SDL_SetError("Unsupported BMP format (only uncompressed 24- and 32-bit pictures)");
        return nullptr;
    }
    // Rows are padded to 4 bytes in the file as in the surface.
    const size_t row_bytes = (size_t(width) * (bits / 8) + 3) & ~size_t(3);
    if (data_offset > size || (size - data_offset) / row_bytes < size_t(height)) {
        SDL_SetError("Error reading from datastream");   // SDL's words for a file cut short
        return nullptr;
    }
    SDL_Surface *picture = SDL_CreateRGBSurface(0, width, int(height), int(bits), 0x00FF0000u, 0x0000FF00u,
                                                0x000000FFu, 0);
    if (!picture)
        return nullptr;
    if (size_t(picture->pitch) < row_bytes) {   // no SDL pads less than the file does
        SDL_FreeSurface(picture);
        SDL_SetError("Unsupported BMP format (only uncompressed 24- and 32-bit pictures)");
        return nullptr;
    }
    const uint8_t *pixels = bytes + data_offset;
    for (int64_t row = 0; row < height; row++) {
        uint8_t *line = static_cast<uint8_t *>(picture->pixels) +
                        size_t(top_down ? row : height - 1 - row) * picture->pitch;
        std::memcpy(line, pixels + size_t(row) * row_bytes, row_bytes);
    }
    return picture;
}

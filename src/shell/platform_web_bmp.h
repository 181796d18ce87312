// platform_web_bmp.h — the browser build's BMP reader (platform_web_bmp.cpp):
// SDL_LoadBMP_RW of the browser's platform layer reads a file into memory
// and hands it here. It is plain C++ over the bytes and SDL's surface calls,
// so the native build compiles it too, but only into its fuzz target and
// that target's corpus test, which hold it to SDL 1.2's own loader.
#pragma once
#include <SDL.h>
#include <cstddef>
#include <cstdint>

// The uncompressed 24- or 32-bit BMP picture in bytes[0 .. size) as a surface
// of that depth (red 0x00FF0000, green 0x0000FF00, blue 0x000000FF, no
// alpha), rows in the picture's order. Anything else (other depths,
// palettes, compression, sides past 16383, a file that ends before its last
// row) gives NULL with SDL_SetError. Reads nothing outside the bytes given
// and makes no surface larger than they can fill.
SDL_Surface *bmp_decode(const uint8_t *bytes, size_t size);

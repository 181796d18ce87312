// support.h — small helpers shared by the unit tests.
#pragma once
#include <SDL.h>
#include <cstdint>

// An ARGB surface filled with one colour (the caller frees it).
SDL_Surface *test_surface(int width, int height, uint32_t colour);
// The word at (x, y), rows stepped by the pitch.
uint32_t pixel_at(SDL_Surface *s, int x, int y);
// Builds the raster tables once per test program (idempotent).
void ensure_tables();

// bitmaps.h — the show's 33 pictures: their order, loading and freeing
// (bitmaps.cpp).
#pragma once
#include <cstddef>

// The 33 pictures, by their index in BitmapTable (the load order).
enum Bitmap {
    BITMAP_MUDDY_MAP = 0,        // "data/bg_muddy.bmp": scene 1's mud colours
    BITMAP_EMERALD = 1,          // "data/emerald.bmp": scene 3's first texture
    BITMAP_ELF = 2,              // "data/elf.bmp"
    BITMAP_MUDDY_BUMPS = 3,      // "data/bg_muddy_bumps.bmp": a height map
    BITMAP_SNOW_MAP = 4,         // "data/bg_snow.bmp"
    BITMAP_GRASSY_MAP = 5,       // "data/bg_grassy.bmp"
    BITMAP_GRASSY_BUMPS = 6,     // "data/bg_grassybumps.bmp": a height map
    BITMAP_INTRO_LANDSCAPE = 7,  // "data/bg_introlandscape.bmp": scene 1's sky
    BITMAP_FLARE_BIG = 8,        // "data/flare_big.bmp"
    BITMAP_FLARE_SMALL = 9,      // "data/flare_small.bmp"
    BITMAP_SUN_FLARE = 10,       // "data/sunflare.bmp"
    BITMAP_FONT_SHEET = 11,      // "data/fonts64.bmp"
    BITMAP_GNOME = 12,           // "data/BirdGnome.bmp": scene 4's picture
    BITMAP_QFX_LOGO = 13,        // "data/qfx_logo.bmp"
    BITMAP_LANTERNFAY_LOGO = 14, // "data/lanternfaylogo.bmp"
    BITMAP_PRESENTS = 15,        // "data/presents.bmp"
    BITMAP_SUMMER_ROAD = 16,     // "data/summerroad.bmp": scene 5's picture
    BITMAP_CITYSCAPE = 17,       // "data/cityscape.bmp": scene 6's picture
    BITMAP_SEED_1 = 18,          // "data/seed_1.bmp"
    BITMAP_SEED_2 = 19,          // "data/seed_2.bmp"
    BITMAP_GREETS = 20,          // "data/greets.bmp": scene 8's words
    BITMAP_END_LEFT = 21,        // "data/end_clipfart_1.bmp"
    BITMAP_END_RIGHT = 22,       // "data/end_clipfart_2.bmp"
    BITMAP_LEAVES = 23,          // "data/leaves.bmp"
    BITMAP_EMERALD_2 = 24,       // "data/emerald2.bmp": scene 3's second texture
    BITMAP_STRIP = 25,           // "data/strip.bmp"
    BITMAP_TITLE_5TIDE = 26,     // "data/5tide_title.bmp"
    BITMAP_TITLE_VEXMOOR = 27,   // "data/vexmoor_title.bmp"
    BITMAP_TITLE_PALUNDO = 28,   // "data/palundo_title.bmp"
    BITMAP_TITLE_KB = 29,        // "data/kb_title.bmp"
    BITMAP_HOPE = 30,            // "data/hope.bmp"
    BITMAP_VISIONS = 31,         // "data/visions.bmp"
    BITMAP_FUN = 32,             // "data/fun.bmp"
    BITMAP_COUNT = 33
};

// Loads the 33 pictures from "<working_directory>/data/..." into BitmapTable
// (entry 33 NULL). On failure prints which file could not be loaded and why
// (no data folder, not a folder, not readable; a missing file with SDL's
// error text; a file damaged or not a BMP), frees what was loaded and
// returns false.
bool load_bitmaps(const char *working_directory);
// Frees every BitmapTable entry up to the first NULL and clears them.
void free_bitmaps();
// The longest working directory whose bitmap paths fit the 256-byte path buffer.
size_t longest_working_directory();

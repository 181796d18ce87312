// bitmaps.cpp — the 33 pictures of the show, loaded in their fixed order.
#include "shell.h"
#include <cstdio>
#include <cstring>

namespace {

// In the order of enum Bitmap (shell.h), which names each index.
const char *const BITMAP_NAMES[] = {
    "data/bg_muddy.bmp",        "data/emerald.bmp",          "data/elf.bmp",
    "data/bg_muddy_bumps.bmp",  "data/bg_snow.bmp",          "data/bg_grassy.bmp",
    "data/bg_grassybumps.bmp",  "data/bg_introlandscape.bmp", "data/flare_big.bmp",
    "data/flare_small.bmp",     "data/sunflare.bmp",         "data/fonts64.bmp",
    "data/BirdGnome.bmp",       "data/qfx_logo.bmp",         "data/lanternfaylogo.bmp",
    "data/presents.bmp",        "data/summerroad.bmp",       "data/cityscape.bmp",
    "data/seed_1.bmp",          "data/seed_2.bmp",           "data/greets.bmp",
    "data/end_clipfart_1.bmp",  "data/end_clipfart_2.bmp",   "data/leaves.bmp",
    "data/emerald2.bmp",        "data/strip.bmp",            "data/5tide_title.bmp",
    "data/vexmoor_title.bmp",   "data/palundo_title.bmp",    "data/kb_title.bmp",
    "data/hope.bmp",            "data/visions.bmp",          "data/fun.bmp",
};
static_assert(sizeof(BITMAP_NAMES) / sizeof(BITMAP_NAMES[0]) == BITMAP_COUNT, "one file name per picture");

constexpr size_t PATH_BUFFER = 256;

} // namespace

size_t longest_working_directory()
{
    size_t longest_name = 0;
    for (const char *name : BITMAP_NAMES)
        if (std::strlen(name) > longest_name)
            longest_name = std::strlen(name);
    return PATH_BUFFER - 1 - longest_name - 1;   // the slash and the terminating zero
}

bool load_bitmaps(const char *working_directory)
{
    char path[PATH_BUFFER];
    for (int i = 0; i < BITMAP_COUNT; ++i) {
        BitmapTable[i] = nullptr;
        int length = std::snprintf(path, sizeof path, "%s/%s", working_directory, BITMAP_NAMES[i]);
        if (length < 0 || static_cast<size_t>(length) >= sizeof path) {
            std::printf("Cannot load %s: the working directory is too long (more than %zu characters).\n",
                        BITMAP_NAMES[i], longest_working_directory());
            free_bitmaps();
            return false;
        }
        SDL_RWops *source = SDL_RWFromFile(path, "rb");
        SDL_Surface *picture = source ? SDL_LoadBMP_RW(source, 1) : nullptr;   // closes the source
        if (!picture) {
            // A missing picture would stop the show mid-scene, and a NULL entry
            // would also end the freeing loop early: better to stop here.
            std::printf("Cannot load %s: %s\n", path, SDL_GetError());
            free_bitmaps();
            return false;
        }
        BitmapTable[i] = picture;
    }
    BitmapTable[BITMAP_COUNT] = nullptr;
    return true;
}

void free_bitmaps()
{
    for (int i = 0; i < 128 && BitmapTable[i]; ++i) {
        SDL_FreeSurface(BitmapTable[i]);
        BitmapTable[i] = nullptr;
    }
}

// bitmaps.cpp — the 33 pictures of the show, loaded in their fixed order.
#include "shell.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

// In the order of enum Bitmap (bitmaps.h), which names each index.
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

uint32_t little_endian_32(const unsigned char *bytes)
{
    return bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

// Why a file that cannot be opened cannot be: the data folder itself when it
// is the cause (missing, not a folder, not readable), else the file.
void report_unopenable(const char *working_directory, const char *path)
{
    namespace fs = std::filesystem;
    const std::string folder = std::string(working_directory) + "/data";
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (error && error != std::errc::no_such_file_or_directory) {   // a folder above it shuts it off
        std::printf("Cannot load the show's data: the folder %s cannot be read (%s).\n", folder.c_str(),
                    error.message().c_str());
        return;
    }
    if (!fs::exists(status)) {
        // Most often the program was started from another folder: say where from.
        std::printf("Cannot load the show's data: there is no folder %s.\n"
                    "Run the show from the folder that holds data/ (the build folder, or the unpacked\n"
                    "archive), or use the installed command lanternfay, which starts it from there.\n",
                    folder.c_str());
        return;
    }
    if (!fs::is_directory(status)) {
        std::printf("Cannot load the show's data: %s is not a folder.\n", folder.c_str());
        return;
    }
    fs::directory_iterator listing(folder, error);
    if (error) {
        std::printf("Cannot load the show's data: the folder %s cannot be read (%s).\n", folder.c_str(),
                    error.message().c_str());
        return;
    }
    // A folder that can be listed but not searched (no x permission) keeps
    // every file in it from being even looked at: the folder is the cause.
    static_cast<void>(fs::status(path, error));
    if (error == std::errc::permission_denied) {
        std::printf("Cannot load the show's data: the folder %s cannot be read (%s).\n", folder.c_str(),
                    error.message().c_str());
        return;
    }
    FILE *file = std::fopen(path, "rb");
    const int open_error = errno;
    if (file) {
        std::fclose(file);
    } else if (open_error != ENOENT) {
        std::printf("Cannot load %s: %s.\n", path, std::strerror(open_error));
        return;
    }
    std::printf("Cannot load %s: %s\n", path, SDL_GetError());
}

// SDL's words for a file it could open but not read as a picture can
// mislead ("Compressed BMP files not supported" for one cut short): say
// what is wrong with the file as far as its header tells.
void report_unreadable(const char *path)
{
    const std::string sdl_error = SDL_GetError();
    unsigned char header[18] = {};
    size_t length = 0;
    long size = -1;
    if (FILE *file = std::fopen(path, "rb")) {
        length = std::fread(header, 1, sizeof header, file);
        if (std::fseek(file, 0, SEEK_END) == 0)
            size = std::ftell(file);
        std::fclose(file);
    }
    if (length < 2 || header[0] != 'B' || header[1] != 'M') {
        std::printf("Cannot load %s: the file is not a BMP picture.\n", path);
        return;
    }
    // 14 bytes of file header, then the picture header that says its own size.
    const uint64_t header_end = length < sizeof header ? UINT64_MAX : 14u + (uint64_t)little_endian_32(header + 14);
    const uint64_t pixels_start = length < 14 ? UINT64_MAX : little_endian_32(header + 10);
    if (size >= 0 && (uint64_t)size < header_end) {
        std::printf("Cannot load %s: the picture is damaged (it ends inside its header, after %ld bytes).\n", path,
                    size);
        return;
    }
    if (size >= 0 && (uint64_t)size < pixels_start) {
        std::printf("Cannot load %s: the picture is damaged (it ends before its pixels, after %ld bytes).\n", path,
                    size);
        return;
    }
    std::printf("Cannot load %s: the picture is damaged or not a BMP that can be read (%s).\n", path,
                sdl_error.c_str());
}

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
        if (const char *what = not_a_plain_file(path)) {
            std::printf("Cannot load %s: it is %s, not a plain file.\n", path, what);
            free_bitmaps();
            return false;
        }
        SDL_RWops *source = SDL_RWFromFile(path, "rb");
        SDL_Surface *picture = source ? SDL_LoadBMP_RW(source, 1) : nullptr;   // closes the source
        if (!picture) {
            // A missing picture would stop the show mid-scene, and a NULL entry
            // would also end the freeing loop early: better to stop here.
            if (source)
                report_unreadable(path);
            else
                report_unopenable(working_directory, path);
            free_bitmaps();
            return false;
        }
        // SDL 1.2 takes a height of -2^31 and makes a surface of that height
        // with no pixels behind it: nothing can be drawn from it.
        if (picture->w <= 0 || picture->h <= 0) {
            std::printf("Cannot load %s: the picture is damaged (its header gives it a size of %d x %d).\n", path,
                        picture->w, picture->h);
            SDL_FreeSurface(picture);
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

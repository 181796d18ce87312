// main.cpp — lanternfay-datagen: writes the show's data folder.
//
//   lanternfay-datagen DIR [--png PNGDIR] [--only NAME]
//   lanternfay-datagen --icon FILE
//
// Writes the 33 pictures (BMP), the 14 meshes (.raw) and the music (Ogg
// Vorbis) into DIR. Everything is made here from fixed seeds, so every run
// writes the same bytes. --png also writes each picture as PNG into PNGDIR,
// for looking at; --only makes just the files whose name contains NAME.
// --icon writes the desktop icon instead: a PNG, or a Windows icon when
// FILE ends in ".ico".
#include "icon.h"
#include "meshes.h"
#include "music.h"
#include "pictures.h"
#include "text.h"
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

const std::vector<PictureMaker> &picture_makers()
{
    static const std::vector<PictureMaker> list = {
        {"bg_muddy.bmp", make_bg_muddy},
        {"emerald.bmp", make_emerald},
        {"elf.bmp", make_elf},
        {"bg_muddy_bumps.bmp", make_bg_muddy_bumps},
        {"bg_snow.bmp", make_bg_snow},
        {"bg_grassy.bmp", make_bg_grassy},
        {"bg_grassybumps.bmp", make_bg_grassybumps},
        {"bg_introlandscape.bmp", make_bg_introlandscape},
        {"flare_big.bmp", make_flare_big},
        {"flare_small.bmp", make_flare_small},
        {"sunflare.bmp", make_sunflare},
        {"fonts64.bmp", make_fonts64},
        {"BirdGnome.bmp", make_birdgnome},
        {"qfx_logo.bmp", make_qfx_logo},
        {"lanternfaylogo.bmp", make_lanternfaylogo},
        {"presents.bmp", make_presents},
        {"summerroad.bmp", make_summerroad},
        {"cityscape.bmp", make_cityscape},
        {"seed_1.bmp", make_seed_1},
        {"seed_2.bmp", make_seed_2},
        {"greets.bmp", make_greets},
        {"end_clipfart_1.bmp", make_end_clipfart_1},
        {"end_clipfart_2.bmp", make_end_clipfart_2},
        {"leaves.bmp", make_leaves},
        {"emerald2.bmp", make_emerald2},
        {"strip.bmp", make_strip},
        {"5tide_title.bmp", make_title_5tide},
        {"vexmoor_title.bmp", make_title_vexmoor},
        {"palundo_title.bmp", make_title_palundo},
        {"kb_title.bmp", make_title_kb},
        {"hope.bmp", make_hope},
        {"visions.bmp", make_visions},
        {"fun.bmp", make_fun},
    };
    return list;
}

static double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

static bool wanted(const char *file, const char *only) { return !only || std::strstr(file, only); }

static const char usage[] =
    "lanternfay-datagen " LANTERNFAY_VERSION " (lanternfay)\n"
    "usage: lanternfay-datagen DIR [--png PNGDIR] [--only NAME]\n"
    "       lanternfay-datagen --icon FILE\n"
    "Writes the show's data folder: its 33 pictures, 14 meshes and music.\n"
    "  --png PNGDIR  also each picture as PNG, for looking at\n"
    "  --only NAME   only the files whose name contains NAME\n"
    "  --icon FILE   the desktop icon instead (PNG, 128 x 128; FILE.ico: Windows icon)\n"
    "  -h, --help    this text\n";

int main(int argc, char **argv)
{
    const char *dir_argument = nullptr, *png_dir = nullptr, *only = nullptr, *icon = nullptr;
    for (int i = 1; i < argc; i++) {
        const char *name = argv[i];
        if (!std::strcmp(name, "--help") || !std::strcmp(name, "-h")) {
            std::fputs(usage, stdout);
            return 0;
        }
        const char **value = !std::strcmp(name, "--png")    ? &png_dir
                             : !std::strcmp(name, "--only") ? &only
                             : !std::strcmp(name, "--icon") ? &icon
                                                            : nullptr;
        if (value && i + 1 < argc) {
            *value = argv[++i];
        } else if (value) {
            std::fprintf(stderr, "%s needs a value\n%s", name, usage);
            return 2;
        } else if (name[0] == '-') {
            std::fprintf(stderr, "unknown option %s\n%s", name, usage);
            return 2;
        } else if (dir_argument) {
            std::fprintf(stderr, "one data folder only, not also %s\n%s", name, usage);
            return 2;
        } else {
            dir_argument = name;
        }
    }
    if (icon) {
        try {
            const size_t length = std::strlen(icon);
            if (length > 4 && !std::strcmp(icon + length - 4, ".ico"))
                write_icon_ico(icon);
            else
                write_icon_png(icon);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "datagen: %s\n", e.what());
            return 1;
        }
        return 0;
    }
    if (!dir_argument) {
        std::fprintf(stderr, "no data folder given\n%s", usage);
        return 2;
    }
    std::string dir = dir_argument;
    auto start = std::chrono::steady_clock::now();
    try {
        std::filesystem::create_directories(dir);
        if (png_dir)
            std::filesystem::create_directories(png_dir);
        for (const PictureMaker &p : picture_makers()) {
            if (!wanted(p.file, only))
                continue;
            Image img = p.make();
            write_bmp(dir + "/" + p.file, img);
            if (png_dir) {
                std::string name = p.file;
                write_png(std::string(png_dir) + "/" + name.substr(0, name.size() - 4) + ".png", img);
            }
        }
        std::printf("datagen: pictures %.1f s\n", seconds_since(start));
        for (const MeshMaker &m : mesh_makers())
            if (wanted(m.file, only))
                write_mesh(dir + "/" + m.file, m.make());
        std::printf("datagen: meshes %.1f s\n", seconds_since(start));
        if (wanted(MUSIC_FILE, only))
            write_music(dir + "/" + MUSIC_FILE);
        std::printf("datagen: music %.1f s\n", seconds_since(start));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "datagen: %s\n", e.what());
        text_done();
        return 1;
    }
    text_done();
    return 0;
}

// table_dump.cpp — lanternfay-tables: starts up as the show does and writes
// every precalculated table, record array and prepared picture as a raw file,
// so that builds for different targets can be compared entry by entry.
//
//   lanternfay-tables OUT_DIR        (run in the folder that holds data/)
//
// A file's extension gives its entry type: .u8, .i32, .f32, or .argb
// (32-bit pixels; a 16-byte header of width, height, 0, 0 as int32 first).
#include <SDL.h>
#undef main   // on Windows: keep this tool's output on the console, not in SDL's stdout.txt
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "shell.h"

namespace {

std::string out_dir;
int files_written = 0;

bool write_file(const std::string &name, const void *data, size_t bytes)
{
    std::string path = out_dir + "/" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::printf("cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(data, 1, bytes, f) == bytes;
    ok = std::fclose(f) == 0 && ok;
    files_written += ok;
    return ok;
}

template <typename T> bool write_values(const std::string &name, const std::vector<T> &values)
{
    return write_file(name, values.data(), values.size() * sizeof(T));
}

// Rows stepped by the pitch; the header keeps the size with the pixels.
// Pictures kept as loaded (24-bit) are widened here, byte by byte, rather
// than by an SDL conversion: SDL builds differ in the alpha their blitters
// leave, and what is compared is the picture itself.
bool write_surface(const std::string &name, SDL_Surface *s)
{
    if (!s)
        return write_file(name + ".argb", "", 0);
    std::vector<int32_t> words = {s->w, s->h, 0, 0};
    const int bytes_per_pixel = s->format->BytesPerPixel;
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; y++) {
        const uint8_t *row = static_cast<const uint8_t *>(s->pixels) + y * s->pitch;
        for (int x = 0; x < s->w; x++) {
            uint32_t value = 0;
            std::memcpy(&value, row + x * bytes_per_pixel, bytes_per_pixel);   // little-endian
            if (bytes_per_pixel != 4) {
                uint8_t r, g, b;
                SDL_GetRGB(value, s->format, &r, &g, &b);
                value = 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
            }
            words.push_back(static_cast<int32_t>(value));
        }
    }
    SDL_UnlockSurface(s);
    return write_values(name + ".argb", words);
}

bool dump_all()
{
    bool ok = true;
    ok &= write_file("scale_table.u8", ScaleTable, 512 * 256);
    ok &= write_file("cube_table.u8", CubeTable, 512 * 256);
    ok &= write_file("depth_shade_table.u8", DepthShadeTable, 51200 * 256);

    ok &= write_file("scene1_drift.f32", scene1->drift, sizeof scene1->drift);
    ok &= write_file("scene1_horizon_rows.i32", scene1->horizon_rows, sizeof scene1->horizon_rows);
    ok &= write_file("scene1_flare_opacity.i32", scene1->flare_opacity, sizeof scene1->flare_opacity);
    ok &= write_file("scene1_flakes.f32", scene1->flakes, sizeof scene1->flakes);

    ok &= write_file("scene2_wave.i32", scene2->wave, sizeof scene2->wave);
    ok &= write_file("scene2_radial_map.u8", scene2->radial_map, 800 * 600);
    ok &= write_surface("scene2_text_surface", scene2->text_surface);
    for (int i = 0; scene2->font && scene2->font->glyphs[i]; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "scene2_glyph%02d", i);
        ok &= write_surface(name, scene2->font->glyphs[i]);
    }

    ok &= write_file("scene3_cos_table.f32", scene3->cos_table, sizeof scene3->cos_table);
    ok &= write_file("scene3_shade.i32", scene3->shade, sizeof scene3->shade);
    ok &= write_file("scene3_twist.i32", scene3->twist, sizeof scene3->twist);
    ok &= write_file("scene3_radius.f32", scene3->radius, sizeof scene3->radius);

    std::vector<float> seed_floats;
    std::vector<int32_t> seed_ints;
    for (int i = 0; i < 300; i++) {
        const Seed &seed = scene6->seeds[i];
        seed_floats.insert(seed_floats.end(), {seed.x.load(relaxed), seed.y.load(relaxed), seed.dx, seed.dy});
        seed_ints.insert(seed_ints.end(), {seed.kind, seed.opacity});
    }
    ok &= write_values("scene6_seeds.f32", seed_floats);
    ok &= write_values("scene6_seeds.i32", seed_ints);

    for (int i = 0; i < 33; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "bitmap%02d", i);
        ok &= write_surface(name, BitmapTable[i]);
    }
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::printf("usage: lanternfay-tables OUT_DIR   (run where data/ is)\n");
        return 2;
    }
    out_dir = argv[1];
    if (!show_start_up(0, START_SILENT))
        return 1;
    bool ok = dump_all();
    std::printf("%d files written to %s\n", files_written, out_dir.c_str());
    show_shut_down();
    return ok ? 0 : 1;
}

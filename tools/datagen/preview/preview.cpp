// preview.cpp — renders the generated meshes with the show's own renderer in
// the poses their scenes give them, over the scenes' backgrounds, as PNGs.
// Not part of the build by default: `cmake --build B --target lanternfay-mesh-preview`,
// then run it in the build folder: lanternfay-mesh-preview OUTDIR.
#include "raster.h"
#include "render3d.h"
#include <SDL.h>
#include <cstdio>
#include <png.h>
#include <string>
#include <vector>

static void save_png(SDL_Surface *s, const std::string &path)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, s->w, s->h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(s->w * 3);
    for (int y = 0; y < s->h; y++) {
        const uint32_t *p = (const uint32_t *)((const uint8_t *)s->pixels + y * s->pitch);
        for (int x = 0; x < s->w; x++) {
            row[x * 3] = (p[x] >> 16) & 0xFF;
            row[x * 3 + 1] = (p[x] >> 8) & 0xFF;
            row[x * 3 + 2] = p[x] & 0xFF;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

static SceneObject *add(World *w, const char *file, uint32_t colour, double x, double y, double z, float rx, float ry,
                        float rz)
{
    SceneObject *o = object_new();
    o->mesh = mesh_load(file, colour);
    o->x = x;
    o->y = y;
    o->z = z;
    o->rx = rx;
    o->ry = ry;
    o->rz = rz;
    world_add_object(o, w);
    return o;
}

static void background(SDL_Surface *target, const char *bmp, uint32_t fill)
{
    SDL_FillRect(target, nullptr, fill);
    if (bmp) {
        SDL_Surface *b = SDL_LoadBMP(bmp);
        if (b) {
            SDL_BlitSurface(b, nullptr, target, nullptr);
            SDL_FreeSurface(b);
        }
    }
}

static unsigned seed = 12345;
static int next_random() { return (int)((seed = seed * 1103515245u + 12345u) >> 1 & 0x7FFFFFFF); }

static void grass(World *w, int count, int y_base, double turn)
{
    for (int i = 0; i < count; i++) {
        float rz = (float)(next_random() % 360);
        int r2 = next_random(), r3 = next_random();
        float x = (float)i / count * 20000.0f - 10000.0f + (float)(r2 % 1500);
        add(w, "data/grass.raw", 0xff99dd00, x, r3 % 3000 + y_base, 10000, -90.0f, (float)(turn * (i % 7)), rz);
    }
}

static void render(World *w, SDL_Surface *target, const char *bmp, uint32_t fill, const std::string &png)
{
    background(target, bmp, fill);
    world_render(w, target);
    save_png(target, png);
}

int main(int argc, char **argv)
{
    std::string out = argc > 1 ? argv[1] : ".";
    SDL_Init(0);
    tables_init();
    depth_shade_table_init();
    SDL_Surface *target = argb_surface_new(800, 600);

    // Scene 4: 130 blades in a row, two cubes at the lower corners.
    World *w = world_new();
    add(w, "data/cube.raw", 0xff88ff00, -9000, 6000, 11000, 2.0f, 0, 2.0f);
    add(w, "data/cube.raw", 0xff88ff00, 9000, 6000, 11000, 5.5f, 0, 5.5f);
    grass(w, 130, 16000, 0.4);
    render(w, target, "data/BirdGnome.bmp", 0xff000000, out + "/scene4.png");
    world_free(w);

    // Scene 5: the car at its middle, near and far depths, and in mid-hop.
    const struct {
        double y, z;
        float heading;
        const char *name;
    } poses[] = {{2000, 20000, 3.14159265f, "scene5_mid"}, {2000, 16000, 3.2288f, "scene5_near"},
                 {1000, 24000, 3.0543f, "scene5_far_hop"}};
    for (auto &p : poses) {
        w = world_new();
        add(w, "data/karosseri.raw", 0xffff092f, 0, p.y, p.z, 4.712389f, p.heading, 0);
        add(w, "data/hjul.raw", 0xff444444, 0, p.y, p.z, 4.712389f, p.heading, 0);
        add(w, "data/lykter.raw", 0xffffef22, 0, p.y, p.z, 4.712389f, p.heading, 0);
        add(w, "data/blokes.raw", 0xffffcc99, 0, p.y, p.z, 4.712389f, p.heading, 0);
        render(w, target, "data/summerroad.bmp", 0xff000000, out + "/" + p.name + ".png");
        world_free(w);
    }

    // Scene 7: 140 blades higher up and each greeting plate in turn.
    const char *groups[4][2] = {{"data/5tide.raw", "data/5tide_frame.raw"}, {"data/v3xm00r.raw", "data/v3xm00r_frame.raw"},
                                {"data/palundo.raw", "data/palundo_frame.raw"}, {"data/kb.raw", "data/kb_frame.raw"}};
    const double plate_x[4] = {150, 800, 700, 300};
    for (int g = 0; g < 4; g++) {
        w = world_new();
        seed = 777;
        grass(w, 140, 12000, 0.3);
        float tilt = 0.04f + 0.09f * g;
        double depth = g == 1 ? 7125 : 9000;
        add(w, groups[g][0], 0xff335588, plate_x[g], -500, depth, 2.8797932f, tilt, tilt - 0.1f * g);
        add(w, groups[g][1], 0xffeef3ff, plate_x[g], -500, depth, 2.8797932f, tilt, tilt - 0.1f * g);
        render(w, target, nullptr, 0xff99ccee, out + "/scene7_group" + std::to_string(g + 1) + ".png");
        world_free(w);
    }
    SDL_FreeSurface(target);
    tables_free();
    SDL_Quit();
    return 0;
}

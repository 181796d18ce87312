// precalc.cpp — everything the scenes would otherwise compute per frame,
// made once before the music starts, and its release at shutdown.
//
// The order of the steps is part of the picture: the flakes, the sun flare's
// flicker and the seeds draw from the C library's one unseeded random
// sequence (rand and random share it in glibc), so every run of a build
// looks the same only while they draw in this order.
#include "shell.h"
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <new>

namespace {


// The Flake records' x and y are whole pixels when made; these are the
// ranges that keep a 4 x 4 flake on screen.
constexpr int FLAKE_COLUMNS = 796;
constexpr int FLAKE_ROWS = 596;

SDL_Surface *new_argb(int width, int height)
{
    SDL_Surface *s = argb_surface_new(width, height);
    if (!s)
        throw std::bad_alloc();
    return s;
}

// Replaces a picture by an ARGB surface of the given size holding it at
// (0, 0): the pixels converted (opaque), what does not fit cut off, and
// the rest of the surface transparent black.
void argb_copy(int index, int width, int height)
{
    SDL_Surface *copy = new_argb(width, height);
    picture_draw(BitmapTable[index], nullptr, copy, 0, 0);
    SDL_FreeSurface(BitmapTable[index]);
    BitmapTable[index] = copy;
}

void argb_copy_own_size(int index)
{
    argb_copy(index, BitmapTable[index]->w, BitmapTable[index]->h);
}

// Applies recolour(pixel) to every pixel of an ARGB surface of the show's own.
template <typename Recolour>
void recolour_pixels(SDL_Surface *s, Recolour recolour)
{
    uint32_t *row = static_cast<uint32_t *>(s->pixels);
    const int stride = s->pitch / 4;
    for (int y = 0; y < s->h; ++y, row += stride)
        for (int x = 0; x < s->w; ++x)
            row[x] = recolour(row[x]);
}

void tint_sprites()
{
    static const struct {
        int index;
        uint8_t red, green, blue;
    } tints[] = {
        {BITMAP_QFX_LOGO, 255, 255, 255},   {BITMAP_LANTERNFAY_LOGO, 255, 255, 255},
        {BITMAP_PRESENTS, 255, 255, 255},   {BITMAP_SEED_1, 255, 255, 255},
        {BITMAP_SEED_2, 255, 255, 255},     {BITMAP_GREETS, 255, 230, 0},
        {BITMAP_END_LEFT, 190, 255, 0},     {BITMAP_END_RIGHT, 190, 255, 0},
        {BITMAP_LEAVES, 140, 245, 0},       {BITMAP_TITLE_5TIDE, 0, 20, 0},
        {BITMAP_TITLE_VEXMOOR, 0, 20, 0},   {BITMAP_TITLE_PALUNDO, 0, 20, 0},
        {BITMAP_TITLE_KB, 0, 20, 0},        {BITMAP_HOPE, 0, 20, 0},
        {BITMAP_VISIONS, 0, 20, 0},         {BITMAP_FUN, 0, 20, 0},
    };
    for (const auto &tint : tints) {
        SDL_Surface *before = BitmapTable[tint.index];
        surface_tint(&BitmapTable[tint.index], tint.red, tint.green, tint.blue);
        if (BitmapTable[tint.index] == before)   // kept the picture: no memory for the sprite
            throw std::bad_alloc();
    }
}

void scene1_tables()
{
    for (int d = 0; d < 256; ++d)
        scene1->horizon_rows[d] = static_cast<int32_t>(255.0 * std::sin(radians(d / 255.0 * 90.0 + 180.0)));
    for (int i = 0; i < 360; ++i)
        scene1->drift[i] = static_cast<float>(4.0 + 4.0 * std::cos(radians(i / 4)));
    for (Flake &flake : scene1->flakes) {
        flake.x = static_cast<float>(rand() % FLAKE_COLUMNS);
        flake.y = static_cast<float>(rand() % FLAKE_ROWS);
        flake.speed = static_cast<float>((rand() % 3 + 2) * 0.5);
        rand();   // a fourth draw per flake that nothing uses; it keeps the later draws in step
    }
}

void sun_flare()
{
    argb_copy(BITMAP_SUN_FLARE, 512, 307);
    // A pale light whose opacity is the picture's red channel.
    recolour_pixels(BitmapTable[BITMAP_SUN_FLARE], [](uint32_t pixel) {
        return ((pixel & 0x00FF0000u) << 8) | 0x00DCFAFFu;   // red 220, green 250, blue 255
    });
}

void white_flares()
{
    // White glows, at most a quarter opaque: alpha is blue >> 2.
    for (int index : {BITMAP_FLARE_BIG, BITMAP_FLARE_SMALL})
        recolour_pixels(BitmapTable[index], [](uint32_t pixel) { return (((pixel & 0xFFu) >> 2) << 24) | 0x00FFFFFFu; });
}

void flare_flicker()
{
    for (int i = 0; i < 800; ++i) {
        int r = rand() % 10;
        double s = std::sin(radians(i / 800.0 * 70.0 + r));
        scene1->flare_opacity[i] = static_cast<int32_t>(std::floor(255.0 * std::pow(s, 3.0)));
    }
}

void scene2_tables()
{
    scene2 = new Scene2State();
    for (int a = 0; a < 360; ++a)
        for (int c = 0; c < 800; ++c)
            scene2->wave[a][c] = static_cast<int32_t>(30.0 * std::sin(radians(2 * a + c % 360)));

    scene2->radial_map = new uint8_t[800 * 600];
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            int dx = 400 - x, dy = 300 - y;
            double distance = std::trunc(std::sqrt(static_cast<double>(dx * dx + dy * dy)));   // whole rings
            scene2->radial_map[y * 800 + x] = static_cast<uint8_t>(static_cast<int>(255.0 - distance / 500.0 * 255.0));
        }
    }
    scene2->text_surface = new_argb(864, 84);
    scene2->active.store(1, relaxed);
    scene2->text_done = 0;
    scene2->font = font_new(BitmapTable[BITMAP_FONT_SHEET], FONT_CHARACTERS, FONT_GLYPH_RECTS);
}

void scene3_tables()
{
    scene3 = new Scene3State();
    scene3->spin.store(0.0f, relaxed);
    scene3->line_phase.store(0.0f, relaxed);
    scene3->phase.store(0.0f, relaxed);
    scene3->active.store(1, relaxed);
    scene3->cos_table[0] = 1.0f;
    for (int k = 1; k < 180; ++k)
        scene3->cos_table[k] = static_cast<float>(std::sin(radians(90 + k)));
    for (int i = 0; i < 115; ++i)
        scene3->shade[i] = static_cast<int32_t>(std::pow(std::sin(radians(i / 115.0 * 180)), 8) * 128 + 128);
    for (int y = 0; y < 600; ++y) {
        for (int c = 0; c < 360; ++c) {
            scene3->twist[y][c] = static_cast<int32_t>(y * std::sin(radians(c)));
            scene3->radius[y][c] = static_cast<float>(std::sin(radians(y + c)) * 20 + 60);
        }
    }
}

void scene6_seeds()
{
    scene6->seeds = new Seed[300]();
    for (int i = 0; i < 300; ++i) {
        Seed &seed = scene6->seeds[i];
        // One statement per draw: the order of the draws is fixed.
        long x = random() % 790;
        long y = random() % 590;
        long kind = random() % 2;
        float dx = static_cast<float>((25 - random() % 50) * 0.01);
        float dy = static_cast<float>((25 - random() % 50) * 0.01);
        long opacity = random() % 100;
        if (kind == 1) {   // the farther layer: fainter and slower
            opacity = static_cast<long>(opacity * 0.5);
            dx = static_cast<float>(dx * 0.5);
            dy = static_cast<float>(dy * 0.5);
        }
        if (dx == 0.0f)   // every seed keeps moving
            dx = 0.1f;
        if (dy == 0.0f)
            dy = 0.1f;
        seed.x.store(static_cast<float>(x), relaxed);
        seed.y.store(static_cast<float>(y), relaxed);
        seed.dx = dx;
        seed.dy = dy;
        seed.kind = static_cast<uint8_t>(kind);
        seed.opacity = static_cast<int32_t>(opacity);
    }
}

// The 24-bit backdrops of scenes 4 to 6 in the 32 bits of the surface each
// is laid on, converted once before the music rather than by every frame's
// blit (a row copy of the same bytes) or by a scene's preparation, which
// would start it late. NULL (out of memory): the scene blits the original.
void backdrops()
{
    scene4->picture = surface_converted_for(BitmapTable[BITMAP_GNOME], backbuffer);
    scene5->road = surface_converted_for(BitmapTable[BITMAP_SUMMER_ROAD], backbuffer);
    scene6->cityscape = surface_converted_for(BitmapTable[BITMAP_CITYSCAPE], screen);
}

} // namespace

void precalculate()
{
    show = new ShowState();
    depth_shade_table_init();
    world_depth_reserve();

    scene1 = new Scene1State();
    scene1->position.store(0.0f, relaxed);
    scene1->active.store(1, relaxed);

    for (int index : {BITMAP_MUDDY_MAP, BITMAP_SNOW_MAP, BITMAP_GRASSY_MAP, BITMAP_GRASSY_BUMPS, BITMAP_MUDDY_BUMPS})
        argb_copy(index, 800, 256);
    argb_copy(BITMAP_INTRO_LANDSCAPE, 800, 600);
    argb_copy_own_size(BITMAP_FLARE_BIG);
    argb_copy_own_size(BITMAP_FLARE_SMALL);
    tint_sprites();

    scene1_tables();
    sun_flare();
    white_flares();
    flare_flicker();

    scene2_tables();
    scene3_tables();

    scene4 = new Scene4State();
    scene5 = new Scene5State();
    scene6 = new Scene6State();
    scene6_seeds();
    backdrops();

    scene7 = new Scene7State();
    scene8 = new Scene8State();
}

void teardown_scenes()
{
    // The depth shade table is made here rather than with the other tables,
    // so it goes first; depth_shade_table_init allocates it with new[].
    delete[] DepthShadeTable;
    DepthShadeTable = nullptr;
    world_depth_release();

    delete scene8;
    delete scene7;
    if (scene6) {
        delete[] scene6->seeds;
        SDL_FreeSurface(scene6->cityscape);
    }
    delete scene6;
    if (scene5)
        SDL_FreeSurface(scene5->road);
    delete scene5;
    if (scene4)
        SDL_FreeSurface(scene4->picture);
    delete scene4;
    delete scene3;
    if (scene2) {
        delete[] scene2->radial_map;
        SDL_FreeSurface(scene2->text_surface);
        if (scene2->font)
            font_free(scene2->font);
    }
    delete scene2;
    delete scene1;
    delete show;
    scene8 = nullptr;
    scene7 = nullptr;
    scene6 = nullptr;
    scene5 = nullptr;
    scene4 = nullptr;
    scene3 = nullptr;
    scene2 = nullptr;
    scene1 = nullptr;
    show = nullptr;
}

void draw_string(const char *text, int x, int y)
{
    draw_string_with(scene2->font, text, x, y);
}

// The precalculation: the records and their tables, the prepared pictures,
// and the order of the random draws that makes every run look the same.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>
#include "shell.h"
#include "support.h"

namespace {

// A picture as SDL_LoadBMP gives it: 24 bits, no alpha.
SDL_Surface *loaded_picture(int width, int height, uint32_t (*colour)(int x, int y))
{
    SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            SDL_Rect dot = {(Sint16)x, (Sint16)y, 1, 1};
            SDL_FillRect(s, &dot, colour(x, y));
        }
    return s;
}

uint32_t pattern(int x, int y) { return 0x400000u | (uint32_t)(y & 0xFF) << 8 | (uint32_t)(x & 0xFF); }
uint32_t flare_blues(int x, int y) { return 0x123400u | (uint32_t)((x * 4 + y % 4) & 0xFF); }
uint32_t sun_reds(int x, int y) { return (uint32_t)((x + y) & 0xFF) << 16 | 0x0077AAu; }
uint32_t green_200(int, int) { return 0x10C820u; }
uint32_t white(int, int) { return 0xFFFFFFu; }

const int TINTED[] = {13, 14, 15, 18, 19, 20, 21, 22, 23, 26, 27, 28, 29, 30, 31, 32};
const int AS_LOADED[] = {1, 2, 11, 12, 16, 17, 24, 25};

// The 33 pictures at test sizes: some larger and some smaller than the
// sizes their copies are cut to.
void load_test_pictures()
{
    for (int i = 0; i < 33; ++i)
        BitmapTable[i] = loaded_picture(8, 8, pattern);
    SDL_FreeSurface(BitmapTable[BITMAP_MUDDY_MAP]);
    BitmapTable[BITMAP_MUDDY_MAP] = loaded_picture(900, 300, pattern);   // cut to 800 x 256
    SDL_FreeSurface(BitmapTable[BITMAP_SNOW_MAP]);
    BitmapTable[BITMAP_SNOW_MAP] = loaded_picture(700, 200, pattern);   // padded to 800 x 256
    SDL_FreeSurface(BitmapTable[BITMAP_FLARE_BIG]);
    BitmapTable[BITMAP_FLARE_BIG] = loaded_picture(64, 4, flare_blues);  // every blue value
    SDL_FreeSurface(BitmapTable[BITMAP_FLARE_SMALL]);
    BitmapTable[BITMAP_FLARE_SMALL] = loaded_picture(16, 4, flare_blues);
    SDL_FreeSurface(BitmapTable[BITMAP_SUN_FLARE]);
    BitmapTable[BITMAP_SUN_FLARE] = loaded_picture(600, 300, sun_reds); // wider, shorter than 512 x 307
    SDL_FreeSurface(BitmapTable[BITMAP_FONT_SHEET]);
    BitmapTable[BITMAP_FONT_SHEET] = loaded_picture(790, 192, white);
    for (int i : TINTED) {
        SDL_FreeSurface(BitmapTable[i]);
        BitmapTable[i] = loaded_picture(20, 10, green_200);
    }
    BitmapTable[BITMAP_COUNT] = nullptr;
}

void prepare_show()
{
    ensure_tables();
    load_test_pictures();
    precalculate();
}

void end_show()
{
    teardown_scenes();
    free_bitmaps();
}

class PrecalcTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        for (int i = 0; i < 33; ++i)
            before[i] = nullptr;
        ensure_tables();
        load_test_pictures();
        for (int i : AS_LOADED)
            before[i] = BitmapTable[i];
        srandom(1);
        precalculate();
    }
    static void TearDownTestSuite() { end_show(); }
    static SDL_Surface *before[33];
};
SDL_Surface *PrecalcTest::before[33];

} // namespace

TEST_F(PrecalcTest, MakesEveryRecordWithItsHead)
{
    ASSERT_NE(show, nullptr);
    ASSERT_TRUE(scene1 && scene2 && scene3 && scene4 && scene5 && scene6 && scene7 && scene8);
    EXPECT_NE(DepthShadeTable, nullptr);
    EXPECT_EQ(scene1->active.load(), 1);
    EXPECT_EQ(scene1->position.load(), 0.0f);
    EXPECT_EQ(scene2->active.load(), 1);
    EXPECT_EQ(scene2->text_done, 0);
    EXPECT_EQ(scene3->active.load(), 1);
    EXPECT_EQ(scene3->spin.load(), 0.0f);
    EXPECT_EQ(scene3->line_phase.load(), 0.0f);
    EXPECT_EQ(scene3->phase.load(), 0.0f);
    ASSERT_NE(scene6->seeds, nullptr);
}

TEST_F(PrecalcTest, ColourMapsAreCutOrPaddedToTheirSize)
{
    SDL_Surface *cut = BitmapTable[BITMAP_MUDDY_MAP], *padded = BitmapTable[BITMAP_SNOW_MAP];
    ASSERT_EQ(cut->w, 800);
    ASSERT_EQ(cut->h, 256);
    ASSERT_EQ(padded->w, 800);
    ASSERT_EQ(padded->h, 256);
    for (int index : {0, 3, 4, 5, 6, 7}) {
        SDL_Surface *s = BitmapTable[index];
        EXPECT_EQ(s->format->BitsPerPixel, 32) << index;
        EXPECT_EQ(s->format->Amask, 0xFF000000u) << index;
        EXPECT_EQ(s->format->Rmask, 0x00FF0000u) << index;
    }
    EXPECT_EQ(BitmapTable[BITMAP_INTRO_LANDSCAPE]->w, 800);
    EXPECT_EQ(BitmapTable[BITMAP_INTRO_LANDSCAPE]->h, 600);
    // Copied pixels are opaque; what the picture does not cover stays 0.
    EXPECT_EQ(pixel_at(cut, 0, 0), 0xFF000000u | pattern(0, 0));
    EXPECT_EQ(pixel_at(cut, 799, 255), 0xFF000000u | pattern(799, 255));
    EXPECT_EQ(pixel_at(padded, 699, 199), 0xFF000000u | pattern(699, 199));
    EXPECT_EQ(pixel_at(padded, 700, 0), 0u);
    EXPECT_EQ(pixel_at(padded, 0, 200), 0u);
    EXPECT_EQ(pixel_at(padded, 799, 255), 0u);
    EXPECT_EQ(pixel_at(BitmapTable[BITMAP_MUDDY_BUMPS], 7, 7), 0xFF000000u | pattern(7, 7));
    EXPECT_EQ(pixel_at(BitmapTable[BITMAP_MUDDY_BUMPS], 8, 7), 0u);
}

TEST_F(PrecalcTest, FlaresBecomeWhiteGlowsAQuarterOpaqueAtMost)
{
    SDL_Surface *big = BitmapTable[BITMAP_FLARE_BIG], *small = BitmapTable[BITMAP_FLARE_SMALL];
    ASSERT_EQ(big->w, 64);
    ASSERT_EQ(big->h, 4);
    ASSERT_EQ(small->w, 16);
    ASSERT_EQ(small->h, 4);
    for (SDL_Surface *flare : {big, small})
        for (int y = 0; y < flare->h; ++y)
            for (int x = 0; x < flare->w; ++x) {
                uint32_t blue = flare_blues(x, y) & 0xFF;
                ASSERT_EQ(pixel_at(flare, x, y), (blue >> 2) << 24 | 0x00FFFFFFu) << x << ", " << y;
            }
    EXPECT_EQ(pixel_at(big, 0, 3) >> 24, 0u);      // blue 3: fully transparent
    EXPECT_EQ(pixel_at(big, 1, 0) >> 24, 1u);      // blue 4
    EXPECT_EQ(pixel_at(big, 63, 3) >> 24, 63u);    // blue 255
}

TEST_F(PrecalcTest, SunFlareIsPaleLightWithItsRedAsOpacity)
{
    SDL_Surface *sun = BitmapTable[BITMAP_SUN_FLARE];
    ASSERT_EQ(sun->w, 512);
    ASSERT_EQ(sun->h, 307);
    EXPECT_EQ(pixel_at(sun, 0, 0), 0x00DCFAFFu);
    EXPECT_EQ(pixel_at(sun, 100, 50), 150u << 24 | 0x00DCFAFFu);
    EXPECT_EQ(pixel_at(sun, 511, 299), ((511u + 299u) & 0xFF) << 24 | 0x00DCFAFFu);
    EXPECT_EQ(pixel_at(sun, 10, 300), 0x00DCFAFFu);   // below the picture: transparent
}

TEST_F(PrecalcTest, SpritesAreTintedInTheirColours)
{
    const struct {
        int index;
        uint32_t colour;
    } expected[] = {
        {13, 0xFFFFFF}, {14, 0xFFFFFF}, {15, 0xFFFFFF}, {18, 0xFFFFFF}, {19, 0xFFFFFF}, {20, 0xFFE600},
        {21, 0xBEFF00}, {22, 0xBEFF00}, {23, 0x8CF500}, {26, 0x001400}, {27, 0x001400}, {28, 0x001400},
        {29, 0x001400}, {30, 0x001400}, {31, 0x001400}, {32, 0x001400},
    };
    for (const auto &e : expected) {
        SDL_Surface *s = BitmapTable[e.index];
        ASSERT_EQ(s->format->Amask, 0xFF000000u) << e.index;
        EXPECT_EQ(pixel_at(s, 3, 4), 200u << 24 | e.colour) << e.index;   // alpha from the green
    }
}

TEST_F(PrecalcTest, OtherPicturesStayAsLoaded)
{
    for (int index : AS_LOADED)
        EXPECT_EQ(BitmapTable[index], before[index]) << index;
    EXPECT_EQ(BitmapTable[BITMAP_COUNT], nullptr);
}

TEST_F(PrecalcTest, SceneOneTables)
{
    EXPECT_EQ(scene1->horizon_rows[0], 0);
    EXPECT_EQ(scene1->horizon_rows[1], -1);
    EXPECT_EQ(scene1->horizon_rows[2], -3);
    EXPECT_EQ(scene1->horizon_rows[3], -4);
    EXPECT_EQ(scene1->horizon_rows[255], -255);
    EXPECT_EQ(scene1->drift[0], 8.0f);
    EXPECT_EQ(scene1->drift[3], 8.0f);      // whole degrees: i / 4
    EXPECT_NEAR(scene1->drift[359], 4.0698f, 1e-4);
    EXPECT_EQ(scene1->drift[180], (float)(4.0 + 4.0 * std::cos(45 * M_PI / 180.0)));
}

TEST_F(PrecalcTest, SceneTwoTables)
{
    EXPECT_EQ(scene2->wave[0][0], 0);
    EXPECT_EQ(scene2->wave[0][90], 30);
    EXPECT_EQ(scene2->wave[45][0], 30);      // 2a degrees
    EXPECT_EQ(scene2->wave[0][450], 30);     // c mod 360
    EXPECT_EQ(scene2->wave[0][270], -30);
    EXPECT_EQ(scene2->wave[0][30], 14);      // 30 sin 30 degrees is just below 15 in doubles
    EXPECT_EQ(scene2->wave[90][0], 0);

    const uint8_t *rings = scene2->radial_map;
    ASSERT_NE(rings, nullptr);
    EXPECT_EQ(rings[300 * 800 + 400], 255);
    EXPECT_EQ(rings[300 * 800 + 401], 254);
    EXPECT_EQ(rings[0], 0);
    EXPECT_EQ(rings[799], 0);
    EXPECT_EQ(rings[599 * 800], 0);
    EXPECT_EQ(rings[599 * 800 + 799], 1);
    EXPECT_EQ(rings[300 * 800 + 0], 51);     // distance 400: 255 - 204

    ASSERT_NE(scene2->text_surface, nullptr);
    EXPECT_EQ(scene2->text_surface->w, 864);
    EXPECT_EQ(scene2->text_surface->h, 84);
    EXPECT_EQ(scene2->text_surface->format->Amask, 0xFF000000u);
    ASSERT_NE(scene2->font, nullptr);
    SDL_Surface *i = font_find_glyph(scene2->font, 'i');
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(i->w, 22);
    EXPECT_EQ(i->h, 64);
    ASSERT_NE(font_find_glyph(scene2->font, '?'), nullptr);
    EXPECT_EQ(font_find_glyph(scene2->font, '?')->w, 57);
}

TEST_F(PrecalcTest, SceneThreeTables)
{
    EXPECT_EQ(scene3->cos_table[0], 1.0f);
    EXPECT_NEAR(scene3->cos_table[60], 0.5f, 1e-7);
    EXPECT_NEAR(scene3->cos_table[90], 0.0f, 1e-7);
    EXPECT_NEAR(scene3->cos_table[179], -0.99985f, 1e-5);
    EXPECT_EQ(scene3->shade[0], 128);
    EXPECT_EQ(scene3->shade[57], 255);
    EXPECT_EQ(scene3->shade[114], 128);
    EXPECT_EQ(scene3->twist[0][90], 0);
    EXPECT_EQ(scene3->twist[599][90], 599);
    EXPECT_EQ(scene3->twist[599][270], -599);
    EXPECT_EQ(scene3->twist[10][30], 4);     // 10 sin 30 degrees is just below 5 in doubles
    EXPECT_EQ(scene3->radius[0][0], 60.0f);
    EXPECT_EQ(scene3->radius[90][0], 80.0f);
    EXPECT_EQ(scene3->radius[100][170], 40.0f);
    for (int y = 0; y < 600; ++y)
        for (int c = 0; c < 360; ++c)
            ASSERT_TRUE(scene3->radius[y][c] >= 40.0f && scene3->radius[y][c] <= 80.0f);
}

TEST(PrecalcRandom, DrawsInTheFixedOrder)
{
    // rand and random share one sequence: 300 x 4 flake draws, 800 flare
    // draws, then 300 x 6 seed draws.
    srandom(1);
    std::vector<long> draws(1200 + 800 + 1800);
    for (long &d : draws)
        d = random();
    srandom(1);
    prepare_show();
    for (int k = 0; k < 300; ++k) {
        const Flake &f = scene1->flakes[k];
        ASSERT_EQ(f.x, (float)(draws[4 * k] % 796)) << k;
        ASSERT_EQ(f.y, (float)(draws[4 * k + 1] % 596)) << k;
        ASSERT_EQ(f.speed, (float)((draws[4 * k + 2] % 3 + 2) * 0.5)) << k;
    }
    for (int i = 0; i < 800; ++i) {
        long r = draws[1200 + i] % 10;
        double s = std::sin((i / 800.0 * 70.0 + r) * M_PI / 180.0);
        ASSERT_EQ(scene1->flare_opacity[i], (int32_t)std::floor(255.0 * std::pow(s, 3.0))) << i;
    }
    for (int j = 0; j < 300; ++j) {
        const long *d = &draws[2000 + 6 * j];
        const Seed &s = scene6->seeds[j];
        ASSERT_EQ(s.x.load(), (float)(d[0] % 790)) << j;
        ASSERT_EQ(s.y.load(), (float)(d[1] % 590)) << j;
        ASSERT_EQ(s.kind, d[2] % 2) << j;
        float dx = (float)((25 - d[3] % 50) * 0.01), dy = (float)((25 - d[4] % 50) * 0.01);
        long opacity = d[5] % 100;
        if (s.kind) {
            dx *= 0.5f;
            dy *= 0.5f;
            opacity /= 2;
        }
        ASSERT_EQ(s.dx, dx == 0.0f ? 0.1f : dx) << j;
        ASSERT_EQ(s.dy, dy == 0.0f ? 0.1f : dy) << j;
        ASSERT_EQ(s.opacity, opacity) << j;
    }
    end_show();
}

TEST(PrecalcRandom, TwoRunsGiveTheSameShow)
{
    struct Snapshot {
        std::vector<float> flakes, seeds;
        std::vector<int32_t> flare, seed_ints;
    };
    auto take = [] {
        Snapshot s;
        for (const Flake &f : scene1->flakes)
            s.flakes.insert(s.flakes.end(), {f.x, f.y, f.speed});
        s.flare.assign(scene1->flare_opacity, scene1->flare_opacity + 800);
        for (int j = 0; j < 300; ++j) {
            const Seed &seed = scene6->seeds[j];
            s.seeds.insert(s.seeds.end(), {seed.x.load(), seed.y.load(), seed.dx, seed.dy});
            s.seed_ints.insert(s.seed_ints.end(), {seed.kind, seed.opacity});
        }
        return s;
    };
    srandom(1);   // glibc's unseeded state
    prepare_show();
    Snapshot first = take();
    end_show();
    srandom(1);
    prepare_show();
    Snapshot second = take();
    end_show();
    EXPECT_EQ(first.flakes, second.flakes);
    EXPECT_EQ(first.flare, second.flare);
    EXPECT_EQ(first.seeds, second.seeds);
    EXPECT_EQ(first.seed_ints, second.seed_ints);
}

TEST(PrecalcTeardown, FreesEverythingAndClearsThePointers)
{
    prepare_show();
    teardown_scenes();
    EXPECT_EQ(show, nullptr);
    EXPECT_TRUE(!scene1 && !scene2 && !scene3 && !scene4 && !scene5 && !scene6 && !scene7 && !scene8);
    EXPECT_EQ(DepthShadeTable, nullptr);   // made by the precalculation, freed with its records
    EXPECT_NE(ScaleTable, nullptr);        // the start-up tables stay for shutdown
    teardown_scenes();                     // nothing left: nothing freed twice
    free_bitmaps();
    EXPECT_EQ(BitmapTable[BITMAP_MUDDY_MAP], nullptr);
}

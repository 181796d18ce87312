// test_platform_web.cpp — the browser's SDL layer on its own (Node.js): SDL
// 1.2's surfaces and fills, BMP files and the GNU C library's random
// sequence; and the one rule the fill takes from the processor, how a corner
// far off the target is cut to an integer. The pictures of the whole show are
// held to the native build's by tests/web/frames.py.
#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include "raster.h"
#include "render3d.h"

namespace {

int failures = 0;
#define CHECK(condition, ...)                                   \
    do {                                                        \
        if (!(condition)) {                                     \
            std::printf("FAIL line %d: ", __LINE__);            \
            std::printf(__VA_ARGS__);                           \
            std::printf("\n");                                  \
            failures++;                                         \
        }                                                       \
    } while (0)

uint32_t &pixel(SDL_Surface *s, int x, int y)
{
    return reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(s->pixels) + y * s->pitch)[x];
}

SDL_Surface *argb(int w, int h, uint32_t fill)
{
    SDL_Surface *s = SDL_CreateRGBSurface(0, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
    SDL_SetAlpha(s, 0, 255);   // copied as it is unless a case turns blending on
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            pixel(s, x, y) = fill + uint32_t(y * w + x);
    return s;
}

// What SDL 1.2 makes for the show's surfaces: default masks, alpha on with an
// alpha mask, rows padded to four bytes, zeroed pixels, SDL_SetAlpha's flags.
void surfaces()
{
    SDL_Surface *plain = SDL_CreateRGBSurface(0, 3, 2, 24, 0, 0, 0, 0);
    CHECK(plain && plain->format->Rmask == 0xFF0000 && plain->format->Bmask == 0xFF && plain->pitch == 12 &&
              !(plain->flags & SDL_SRCALPHA),
          "24-bit, default masks: pitch %d", plain ? plain->pitch : -1);
    SDL_Surface *s = SDL_CreateRGBSurface(0, 5, 2, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
    CHECK(s && (s->flags & SDL_SRCALPHA) && s->format->Ashift == 24 && s->pitch == 20, "ARGB: alpha on");
    bool zero = true;
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 5; x++)
            zero = zero && pixel(s, x, y) == 0;
    CHECK(zero, "new pixels are zero");
    SDL_SetAlpha(s, 0, 128);
    CHECK(!(s->flags & SDL_SRCALPHA) && s->format->alpha == 255, "alpha off: surface alpha opaque");
    SDL_SetAlpha(s, SDL_SRCALPHA | SDL_RLEACCELOK, 90);
    CHECK((s->flags & SDL_SRCALPHA) && (s->flags & SDL_RLEACCELOK) && s->format->alpha == 90, "alpha on again");
    CHECK(!SDL_CreateRGBSurface(0, 2, 2, 16, 0, 0, 0, 0) && std::strstr(SDL_GetError(), "Unsupported"),
          "16-bit refused");
    SDL_FreeSurface(plain);
    SDL_FreeSurface(s);
}

void fills()
{
    SDL_Surface *s = argb(4, 4, 0);
    SDL_Rect rect = {-1, 2, 3, 5};
    SDL_FillRect(s, &rect, 0xFF00FF00u);
    CHECK(rect.x == 0 && rect.y == 2 && rect.w == 2 && rect.h == 2, "clipped rectangle %d,%d %dx%d", rect.x, rect.y,
          rect.w, rect.h);
    CHECK(pixel(s, 1, 3) == 0xFF00FF00u && pixel(s, 2, 3) != 0xFF00FF00u && pixel(s, 1, 1) != 0xFF00FF00u,
          "fill covers exactly the clipped rectangle");
    SDL_FillRect(s, nullptr, 7);
    CHECK(pixel(s, 0, 0) == 7 && pixel(s, 3, 3) == 7, "NULL fills the whole surface");
    SDL_FreeSurface(s);
}

// A w x h BMP of 24 or 32 bits; rows bottom-up unless top_down.
std::vector<uint8_t> bmp(int w, int h, int bits, bool top_down)
{
    const int row = (w * bits / 8 + 3) & ~3;
    std::vector<uint8_t> file(54 + row * h, 0);
    auto put32 = [&](int at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
    file[0] = 'B', file[1] = 'M';
    put32(2, uint32_t(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(w));
    put32(22, uint32_t(top_down ? -h : h));
    file[26] = 1;
    file[28] = uint8_t(bits);
    for (int y = 0; y < h; y++)   // file row y holds picture row (top_down ? y : h - 1 - y)
        for (int x = 0; x < w; x++)
            file[54 + y * row + x * bits / 8] = uint8_t(10 * (top_down ? y : h - 1 - y) + x);   // blue
    return file;
}

SDL_Surface *load(const std::vector<uint8_t> &file)
{
    FILE *f = std::fopen("/picture.bmp", "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    return SDL_LoadBMP_RW(SDL_RWFromFile("/picture.bmp", "rb"), 1);
}

void bmp_files()
{
    for (int bits : {24, 32})
        for (bool top_down : {false, true}) {
            SDL_Surface *s = load(bmp(3, 2, bits, top_down));
            CHECK(s && s->w == 3 && s->h == 2 && s->format->BitsPerPixel == bits && s->format->Amask == 0,
                  "%d-bit %s: loaded", bits, top_down ? "top-down" : "bottom-up");
            if (!s)
                continue;
            const uint8_t *pixels = static_cast<const uint8_t *>(s->pixels);
            CHECK(pixels[0] == 0 && pixels[2 * bits / 8] == 2 && pixels[s->pitch] == 10,
                  "%d-bit %s: rows in picture order, padding skipped", bits, top_down ? "top-down" : "bottom-up");
            SDL_FreeSurface(s);
        }
    std::vector<uint8_t> paletted = bmp(2, 2, 24, false);
    paletted[28] = 8;
    CHECK(!load(paletted) && std::strstr(SDL_GetError(), "Unsupported"), "8-bit refused: %s", SDL_GetError());
    std::vector<uint8_t> short_file = bmp(2, 2, 24, false);
    short_file.resize(60);
    CHECK(!load(short_file), "a file cut short is refused");
    CHECK(!load({'G', 'I', 'F'}), "not a BMP is refused");
    CHECK(!SDL_RWFromFile("/no such file.bmp", "rb"), "a missing file has no source");
}

void random_sequence()
{
    // The first values the GNU C library's unseeded random() gives.
    const long expected[] = {1804289383, 846930886, 1681692777, 1714636915, 1957747793};
    for (long value : expected) {
        long got = random();
        CHECK(got == value, "random(): %ld, not %ld", got, value);
    }
}

// An x86 processor cuts a triangle's corner beyond 32 bits, or NaN, to
// INT32_MIN, and the native fill draws it there; wasm has no such
// instruction, and a stand-in that wraps the value instead would put the
// corner elsewhere. Each far value in each of the six corner coordinates
// must draw what INT32_MIN there draws.
void far_corners()
{
    tables_init();
    const double triangle[9] = {-300, 80, 100, 180, 20, 200, 180, 130, 300};
    const int coordinates[] = {0, 1, 3, 4, 6, 7};   // x and y of each corner
    const double far_values[] = {1e10, -1e10, 3e9, NAN};
    SDL_Surface *target = argb(200, 150, 0);
    std::vector<int32_t> depth(DEPTH_WIDTH * DEPTH_HEIGHT);
    // What a draw leaves in the target and its depth rows, as a digest (FNV-1a).
    auto draw = [&](int at, double value) {
        double v[9];
        std::memcpy(v, triangle, sizeof v);
        v[at] = value;
        SDL_FillRect(target, nullptr, 0);
        std::fill(depth.begin(), depth.end(), DEPTH_CLEAR);
        fill_triangle_3d(target, depth.data(), 0xFF336699u, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
        uint64_t digest = 14695981039346656037ull;
        for (int y = 0; y < target->h; y++)
            for (int x = 0; x < target->w; x++)
                for (uint32_t word : {pixel(target, x, y), uint32_t(depth[y * DEPTH_WIDTH + x])})
                    digest = (digest ^ word) * 1099511628211ull;
        return digest;
    };
    int cases_drawing = 0;
    for (int at : coordinates) {
        uint64_t least = draw(at, -2147483648.0);
        cases_drawing += least != draw(at, 0.0);   // the corner there draws otherwise than at 0
        for (double value : far_values)
            CHECK(draw(at, value) == least, "coordinate %d at %g: not drawn as at INT32_MIN", at, value);
    }
    CHECK(cases_drawing == 6, "only %d corners at INT32_MIN draw otherwise than at 0", cases_drawing);
    SDL_FreeSurface(target);
}

} // namespace

int main()
{
    surfaces();
    fills();
    bmp_files();
    random_sequence();
    far_corners();
    std::printf("%s: %d failure(s)\n", failures ? "FAIL" : "ok", failures);
    return failures ? 1 : 0;
}

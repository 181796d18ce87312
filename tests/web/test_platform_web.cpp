// test_platform_web.cpp — the browser's SDL layer on its own (Node.js): SDL
// 1.2's blit clipping and format rules, its per-pixel-alpha arithmetic, fills,
// BMP files and the GNU C library's random sequence. The pictures of the
// whole show are held to the native build's by tests/web/frames.py.
#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

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

// Where a 4 x 3 source lands on an 8 x 6 target, and which source pixel is first.
void blit_clipping()
{
    struct Case {
        const char *what;
        bool whole_source;
        SDL_Rect from, to;
        SDL_Rect landed;   // x, y, w, h written back
        int first_x, first_y;   // source pixel at the landed corner
    } cases[] = {
        {"inside, w = h = 0 given", true, {}, {2, 1, 0, 0}, {2, 1, 4, 3}, 0, 0},
        {"hanging off the left and top", true, {}, {-1, -2, 0, 0}, {0, 0, 3, 1}, 1, 2},
        {"hanging off the right and bottom", true, {}, {6, 4, 0, 0}, {6, 4, 2, 2}, 0, 0},
        {"a source rectangle partly outside its surface", false, {-1, 1, 3, 5}, {0, 0, 0, 0}, {1, 0, 2, 2}, 0, 1},
        {"wholly outside", true, {}, {8, 0, 0, 0}, {8, 0, 0, 0}, -1, -1},
    };
    for (const Case &c : cases) {
        SDL_Surface *src = argb(4, 3, 0xFF000100u), *dst = argb(8, 6, 0);
        SDL_Rect from = c.from, to = c.to;
        CHECK(SDL_UpperBlit(src, c.whole_source ? nullptr : &from, dst, &to) == 0, "%s: blit failed", c.what);
        CHECK(to.x == c.landed.x && to.y == c.landed.y && to.w == c.landed.w && to.h == c.landed.h,
              "%s: landed %d,%d %dx%d", c.what, to.x, to.y, to.w, to.h);
        if (c.first_x >= 0)
            CHECK(pixel(dst, to.x, to.y) == pixel(src, c.first_x, c.first_y), "%s: first pixel %08x", c.what,
                  pixel(dst, to.x, to.y));
        SDL_FreeSurface(src);
        SDL_FreeSurface(dst);
    }
}

// The alpha a plain blit leaves, and SDL 1.2's blend by per-pixel alpha.
void blit_formats()
{
    SDL_Surface *rgb24 = SDL_CreateRGBSurface(0, 1, 1, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    std::memcpy(rgb24->pixels, "\x30\x20\x10", 3);   // blue, green, red
    SDL_Surface *target = argb(1, 1, 0);
    SDL_UpperBlit(rgb24, nullptr, target, nullptr);
    CHECK(pixel(target, 0, 0) == 0xFF102030u, "24-bit into ARGB: %08x (opaque: the surface alpha)", pixel(target, 0, 0));

    SDL_Surface *src = argb(1, 1, 0x40ABCDEFu);
    SDL_UpperBlit(src, nullptr, target, nullptr);
    CHECK(pixel(target, 0, 0) == 0x40ABCDEFu, "ARGB copied without blending keeps its alpha: %08x", pixel(target, 0, 0));

    struct Blend {
        uint32_t source, target, result;
    } blends[] = {
        {0x80FF0000u, 0x120000FFu, 0x127F007Fu},   // half: up by 127, down by 128 (>> 8 floors); target alpha kept
        {0xFF112233u, 0x55FFFFFFu, 0x55112233u},   // opaque: copied, target alpha kept
        {0x00112233u, 0x55FFFFFFu, 0x55FFFFFFu},   // transparent: nothing
        {0x01FFFFFFu, 0x00000000u, 0x00000000u},   // alpha 1 moves nothing
        {0xFEFFFFFFu, 0x00000000u, 0x00FDFDFDu},   // 254 of 256, floored
    };
    SDL_SetAlpha(src, SDL_SRCALPHA, 255);
    for (const Blend &b : blends) {
        pixel(src, 0, 0) = b.source;
        pixel(target, 0, 0) = b.target;
        SDL_UpperBlit(src, nullptr, target, nullptr);
        CHECK(pixel(target, 0, 0) == b.result, "blend %08x over %08x: %08x, not %08x", b.source, b.target,
              pixel(target, 0, 0), b.result);
    }
    SDL_Surface *narrow = SDL_CreateRGBSurface(0, 1, 1, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    CHECK(SDL_UpperBlit(src, nullptr, narrow, nullptr) == -1, "a blend it does not do SDL's way is refused");
    for (SDL_Surface *s : {rgb24, target, src, narrow})
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

} // namespace

int main()
{
    blit_clipping();
    blit_formats();
    fills();
    bmp_files();
    random_sequence();
    std::printf("%s: %d failure(s)\n", failures ? "FAIL" : "ok", failures);
    return failures ? 1 : 0;
}

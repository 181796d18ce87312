// Pictures drawn by the raster library against the blits of classic SDL 1.2
// itself: the library must give SDL 1.2.15's bytes under any SDL underneath.
// Under the SDL 1.2 interface over SDL2 there is no classic blit to compare
// with, and these tests say so and skip; the golden digests then show that
// the frames are still those classic SDL draws.
#include <gtest/gtest.h>
#include <cstdint>
#include <cstring>
#include <vector>
#include "raster.h"
#include "support.h"

namespace {

bool classic_sdl()
{
    const SDL_version *v = SDL_Linked_Version();
    return v->major == 1 && v->minor == 2 && v->patch < 50;   // the interface over SDL2 counts from 1.2.50
}

#define NEEDS_CLASSIC_SDL()                                                                              \
    do {                                                                                                 \
        if (!classic_sdl())                                                                              \
            GTEST_SKIP() << "needs classic SDL 1.2 to compare with; loaded: 1.2."                        \
                         << (int)SDL_Linked_Version()->patch;                                            \
    } while (0)

uint32_t next_random(uint32_t &state)
{
    state = state * 1103515245u + 12345u;
    return (state >> 8) ^ (state << 13);
}

void fill_noise(SDL_Surface *s, uint32_t &state)
{
    uint8_t *bytes = static_cast<uint8_t *>(s->pixels);
    for (int i = 0; i < s->pitch * s->h; ++i)
        bytes[i] = static_cast<uint8_t>(next_random(state) >> 7);
}

bool same_bytes(SDL_Surface *a, SDL_Surface *b)
{
    return std::memcmp(a->pixels, b->pixels, static_cast<size_t>(a->pitch) * a->h) == 0;
}

SDL_Surface *surface_of(int w, int h, int bits, const uint32_t masks[4])
{
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, bits, masks[0], masks[1], masks[2], masks[3]);
}

const uint32_t ARGB[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
const uint32_t XRGB[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0};

} // namespace

TEST(PictureDraw, BlendsEveryAlphaSourceAndDestinationByteAsClassicSdl)
{
    NEEDS_CLASSIC_SDL();
    // Per alpha, 256 x 256 pixels: red takes every (source, destination) byte
    // pair, green every pair the other way round and blue a mix, so each
    // channel meets every pair beside varied neighbours. Onto the show's
    // ARGB surfaces and onto a display format without alpha, whose top byte
    // the blend keeps either way.
    for (const uint32_t *target_masks : {ARGB, XRGB}) {
        SDL_Surface *src = surface_of(256, 256, 32, ARGB);
        SDL_Surface *ours = surface_of(256, 256, 32, target_masks);
        SDL_Surface *sdls = surface_of(256, 256, 32, target_masks);
        int failed_alphas = 0;
        for (uint32_t alpha = 0; alpha < 256; ++alpha) {
            uint32_t *s = static_cast<uint32_t *>(src->pixels), *d = static_cast<uint32_t *>(ours->pixels);
            for (uint32_t y = 0; y < 256; ++y)
                for (uint32_t x = 0; x < 256; ++x) {
                    s[y * 256 + x] = alpha << 24 | x << 16 | y << 8 | ((x * 7 + y * 13) & 255);
                    d[y * 256 + x] = ((x ^ y) & 255) << 24 | y << 16 | x << 8 | ((x * 31 + y * 3 + alpha) & 255);
                }
            std::memcpy(sdls->pixels, ours->pixels, 256 * 256 * 4);
            std::vector<uint32_t> under(d, d + 256 * 256);
            picture_draw(src, nullptr, ours, 0, 0);
            SDL_UpperBlit(src, nullptr, sdls, nullptr);
            if (!same_bytes(ours, sdls) && ++failed_alphas <= 3)
                ADD_FAILURE() << "alpha " << alpha << (target_masks == ARGB ? " onto ARGB" : " onto RGB");
            for (int i = 0; i < 256 * 256 && target_masks == ARGB; i += 4099)
                ASSERT_EQ(blend_pixel_by_alpha(s[i], under[i]), d[i])
                    << "blend_pixel_by_alpha differs at alpha " << alpha;
        }
        EXPECT_EQ(failed_alphas, 0);
        SDL_FreeSurface(src);
        SDL_FreeSurface(ours);
        SDL_FreeSurface(sdls);
    }
}

TEST(PictureDraw, TheRowBlendIsTheOnePixelBlendAtEveryEntry)
{
    // Every alpha, source and destination byte (red and green each meet
    // every pair, blue a mix), from an odd start so that the four-pixel
    // steps straddle rows and a few pixels are left for the end.
    std::vector<uint32_t> s(65536), d(65536), expected(65536);
    for (uint32_t alpha = 0; alpha < 256; ++alpha) {
        for (uint32_t i = 0; i < 65536; ++i) {
            uint32_t x = i & 255, y = i >> 8;
            s[i] = alpha << 24 | x << 16 | y << 8 | ((x * 7 + y * 13 + alpha) & 255);
            d[i] = ((x ^ y) & 255) << 24 | y << 16 | x << 8 | ((x * 31 + y * 3) & 255);
            expected[i] = blend_pixel_by_alpha(s[i], d[i]);
        }
        blend_pixels_by_alpha(s.data() + 1, d.data() + 1, 65534);
        blend_pixels_by_alpha(s.data(), d.data(), 1);
        blend_pixels_by_alpha(s.data() + 65535, d.data() + 65535, 1);
        for (uint32_t i = 0; i < 65536; ++i)
            ASSERT_EQ(d[i], expected[i]) << "alpha " << alpha << ", pixel " << i;
    }
}

TEST(PictureDraw, ConvertsKeysAndClipsRandomPicturesAsClassicSdl)
{
    NEEDS_CLASSIC_SDL();
    // The formats a loaded or made picture has: palette, 24-bit both ways
    // round, 32-bit with and without alpha; with and without per-pixel alpha
    // and a colour key; random sizes, areas, positions (far outside too) and
    // clip rectangles, onto noise in the show's two target formats.
    struct Format {
        int bits;
        uint32_t masks[4];
    };
    const Format formats[] = {
        {8, {0, 0, 0, 0}},
        {24, {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0}},
        {24, {0x000000FFu, 0x0000FF00u, 0x00FF0000u, 0}},
        {32, {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0}},
        {32, {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}},
        {32, {0x000000FFu, 0x0000FF00u, 0x00FF0000u, 0xFF000000u}},
        {32, {0xFF000000u, 0x00FF0000u, 0x0000FF00u, 0x000000FFu}},
    };
    uint32_t state = 2026;
    int failures = 0;
    for (int round = 0; round < 3000 && failures < 5; ++round) {
        const Format &f = formats[next_random(state) % (sizeof formats / sizeof formats[0])];
        int w = 1 + next_random(state) % 90, h = 1 + next_random(state) % 70;
        SDL_Surface *src = surface_of(w, h, f.bits, f.masks);
        ASSERT_NE(src, nullptr);
        fill_noise(src, state);
        if (f.bits == 8) {
            SDL_Color colours[256];
            for (auto &c : colours)
                c = {(Uint8)next_random(state), (Uint8)next_random(state), (Uint8)next_random(state), 0};
            SDL_SetColors(src, colours, 0, 256);
        }
        int kind = next_random(state) % 3;   // plain, per-pixel alpha (where there is alpha), keyed
        // (A blend between formats carries stray bits into the top byte under
        // classic SDL, which the library does not copy: not compared.)
        if (kind == 1 && f.masks[3] && f.masks[0] != 0x00FF0000u)
            kind = 0;
        if (kind != 1 || !f.masks[3])
            SDL_SetAlpha(src, 0, 255);
        if (kind == 2) {
            // A key that some pixels have: the first pixel's, in src's format.
            uint32_t key = 0;
            std::memcpy(&key, src->pixels, (size_t)src->format->BytesPerPixel);
            SDL_SetColorKey(src, SDL_SRCCOLORKEY, key);
        }
        const uint32_t *target_masks = next_random(state) % 2 ? ARGB : XRGB;
        SDL_Surface *ours = surface_of(100, 80, 32, target_masks);
        fill_noise(ours, state);
        SDL_Surface *sdls = surface_of(100, 80, 32, target_masks);
        std::memcpy(sdls->pixels, ours->pixels, (size_t)ours->pitch * ours->h);
        SDL_Rect clip = {(Sint16)(next_random(state) % 30), (Sint16)(next_random(state) % 30),
                         (Uint16)(next_random(state) % 100), (Uint16)(next_random(state) % 80)};
        SDL_SetClipRect(ours, next_random(state) % 2 ? &clip : nullptr);
        SDL_SetClipRect(sdls, &ours->clip_rect);
        SDL_Rect area = {(Sint16)((int)(next_random(state) % 40) - 10), (Sint16)((int)(next_random(state) % 40) - 10),
                         (Uint16)(next_random(state) % 100), (Uint16)(next_random(state) % 80)};
        const bool whole = next_random(state) % 4 == 0;
        int x = (int)(next_random(state) % 160) - 50, y = (int)(next_random(state) % 130) - 40;
        picture_draw(src, whole ? nullptr : &area, ours, x, y);
        SDL_Rect at = {(Sint16)x, (Sint16)y, 0, 0};
        SDL_UpperBlit(src, whole ? nullptr : &area, sdls, &at);
        if (!same_bytes(ours, sdls)) {
            ++failures;
            ADD_FAILURE() << "round " << round << ": " << f.bits << " bits, masks " << std::hex << f.masks[0] << "/"
                          << f.masks[3] << std::dec << ", kind " << kind << ", " << w << " x " << h << " at " << x
                          << ", " << y << (target_masks == ARGB ? " onto ARGB" : " onto RGB");
        }
        SDL_FreeSurface(src);
        SDL_FreeSurface(ours);
        SDL_FreeSurface(sdls);
    }
}

TEST(PictureDraw, OntoItselfCopiesAsThroughABuffer)
{
    // A picture moved within itself, down, up, right and left: every moved
    // pixel is the one that stood there before the draw.
    struct Move {
        int w, h, x, y;
    };
    const Move moves[] = {{1, 3, 0, 1}, {1, 3, 0, -1}, {3, 1, 1, 0}, {3, 1, -1, 0}, {4, 5, 1, 2}, {4, 5, -1, -2}};
    for (const Move &m : moves) {
        SDL_Surface *s = surface_of(m.w, m.h, 32, XRGB);
        ASSERT_NE(s, nullptr);
        std::vector<uint32_t> before;
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x) {
                uint32_t value = 0x100u * (uint32_t)(y * m.w + x + 1);
                static_cast<uint32_t *>(s->pixels)[y * (s->pitch / 4) + x] = value;
                before.push_back(value);
            }
        picture_draw(s, nullptr, s, m.x, m.y);
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x) {
                int from_x = x - m.x, from_y = y - m.y;
                bool moved = from_x >= 0 && from_x < m.w && from_y >= 0 && from_y < m.h;
                uint32_t want = moved ? before[(size_t)(from_y * m.w + from_x)] : before[(size_t)(y * m.w + x)];
                EXPECT_EQ(pixel_at(s, x, y), want) << m.w << " x " << m.h << " moved by " << m.x << ", " << m.y
                                                    << ": pixel " << x << ", " << y;
            }
        SDL_FreeSurface(s);
    }
}

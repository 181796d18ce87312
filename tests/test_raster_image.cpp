// Sprite tinting, ARGB surfaces and raw image files.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "raster.h"
#include "support.h"

namespace {

// A 32-bit surface without alpha, as SDL loads a BMP.
SDL_Surface *opaque_picture(int width, int height, uint32_t colour)
{
    SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0x00FF0000u, 0x0000FF00u,
                                          0x000000FFu, 0);
    SDL_FillRect(s, nullptr, colour);
    return s;
}

std::string write_file(const std::string &name, const std::vector<unsigned char> &bytes)
{
    std::string path = ::testing::TempDir() + "lanternfay_raster_" + name;
    std::FILE *file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (file) {
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

// A header for width x height at the given bits per pixel, then the bytes.
std::vector<unsigned char> raw_image(int width, int height, int bits, std::vector<unsigned char> pixels)
{
    std::vector<unsigned char> bytes = {(unsigned char)(width & 0xFF),  (unsigned char)(width >> 8),
                                        (unsigned char)(height & 0xFF), (unsigned char)(height >> 8),
                                        (unsigned char)(bits & 0xFF),   (unsigned char)(bits >> 8)};
    for (unsigned char byte : pixels)
        bytes.push_back(byte);
    return bytes;
}

} // namespace

TEST(ArgbSurface, HasTheShowsLayout)
{
    SDL_Surface *s = argb_surface_new(7, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->w, 7);
    EXPECT_EQ(s->h, 3);
    EXPECT_EQ(s->format->BitsPerPixel, 32);
    EXPECT_EQ(s->format->Rmask, 0x00FF0000u);
    EXPECT_EQ(s->format->Gmask, 0x0000FF00u);
    EXPECT_EQ(s->format->Bmask, 0x000000FFu);
    EXPECT_EQ(s->format->Amask, 0xFF000000u);
    SDL_FreeSurface(s);
    EXPECT_EQ(argb_surface_new(-1, 4), nullptr);
}

TEST(SurfaceTint, ColoursEverythingAndMovesGreenIntoAlpha)
{
    SDL_Surface *picture = opaque_picture(3, 2, 0x00FFFFFFu);
    uint32_t *pixels = static_cast<uint32_t *>(picture->pixels);
    pixels[1] = 0x00000000u;
    pixels[2] = 0x00123456u;
    SDL_Surface *slot = picture;
    surface_tint(&slot, 255, 230, 0);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->w, 3);
    EXPECT_EQ(slot->h, 2);
    EXPECT_EQ(slot->format->Amask, 0xFF000000u);
    EXPECT_EQ(pixel_at(slot, 0, 0), 0xFFFFE600u);   // white: opaque
    EXPECT_EQ(pixel_at(slot, 1, 0), 0x00FFE600u);   // black: transparent
    EXPECT_EQ(pixel_at(slot, 2, 0), 0x34FFE600u);   // alpha is the old green
    EXPECT_EQ(pixel_at(slot, 2, 1), 0xFFFFE600u);
    surface_tint(&slot, 0, 20, 0);                  // again, now from an ARGB surface
    EXPECT_EQ(pixel_at(slot, 1, 0) & 0x00FFFFFFu, 0x00001400u);
    SDL_FreeSurface(slot);

    SDL_Surface *one = opaque_picture(1, 1, 0x00123456u);
    surface_tint(&one, 0, 20, 0);
    EXPECT_EQ(pixel_at(one, 0, 0), 0x34001400u);
    SDL_FreeSurface(one);

    SDL_Surface *empty = nullptr;
    surface_tint(&empty, 1, 2, 3);   // nothing to tint
    EXPECT_EQ(empty, nullptr);
}

TEST(ImageLoad, DecodesTwentyFourAndThirtyTwoBitRows)
{
    std::string path = write_file("rgb24", raw_image(2, 1, 24, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}));
    SDL_Surface *s = image_load(path.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->w, 2);
    EXPECT_EQ(s->h, 1);
    EXPECT_EQ(s->format->BitsPerPixel, 32);
    EXPECT_EQ(s->format->Rmask, 0x00FF0000u);
    EXPECT_EQ(s->format->Amask, 0u);
    EXPECT_EQ(pixel_at(s, 0, 0), 0xFF102030u);
    EXPECT_EQ(pixel_at(s, 1, 0), 0xFF405060u);
    SDL_FreeSurface(s);

    path = write_file("rgba32", raw_image(2, 1, 32, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80}));
    s = image_load(path.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(pixel_at(s, 0, 0), 0x40102030u);
    EXPECT_EQ(pixel_at(s, 1, 0), 0x80506070u);
    SDL_FreeSurface(s);

    // Rows run from the top, left to right; the width is little-endian.
    std::vector<unsigned char> pixels;
    for (int i = 0; i < 300 * 2; ++i) {
        pixels.push_back((unsigned char)(i % 300));
        pixels.push_back((unsigned char)(i / 300));
        pixels.push_back(0x7F);
    }
    path = write_file("rows", raw_image(300, 2, 24, pixels));
    s = image_load(path.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->w, 300);
    EXPECT_EQ(pixel_at(s, 5, 0), 0xFF05007Fu);
    EXPECT_EQ(pixel_at(s, 299, 0), 0xFF2B007Fu);   // 299 mod 256 = 43
    EXPECT_EQ(pixel_at(s, 0, 1), 0xFF00017Fu);
    EXPECT_EQ(pixel_at(s, 299, 1), 0xFF2B017Fu);
    SDL_FreeSurface(s);
}

TEST(ImageLoad, OtherDepthsAndEmptySizesReadNoPixels)
{
    for (int bits : {8, 16, 0, 64}) {
        std::string path = write_file("depth", raw_image(3, 2, bits, std::vector<unsigned char>(24, 0xAB)));
        SDL_Surface *s = image_load(path.c_str());
        ASSERT_NE(s, nullptr) << bits;
        EXPECT_EQ(s->w, 3);
        EXPECT_EQ(s->h, 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(pixel_at(s, x, y), 0u) << bits;
        SDL_FreeSurface(s);
    }
    for (auto [width, height] : {std::pair<int, int>{0, 5}, {5, 0}, {0, 0}}) {
        std::string path = write_file("empty", raw_image(width, height, 24, {1, 2, 3, 4, 5, 6}));
        SDL_Surface *s = image_load(path.c_str());
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->w, width);
        EXPECT_EQ(s->h, height);
        SDL_FreeSurface(s);
    }
}

TEST(ImageLoad, ShortFilesGivePartialPicturesOrNothing)
{
    // Pixel data cut short: whole pixels are kept, the cut one and the rest stay 0.
    std::string path = write_file("cut", raw_image(2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8}));
    SDL_Surface *s = image_load(path.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(pixel_at(s, 0, 0), 0xFF010203u);
    EXPECT_EQ(pixel_at(s, 1, 0), 0xFF040506u);
    EXPECT_EQ(pixel_at(s, 0, 1), 0u);
    EXPECT_EQ(pixel_at(s, 1, 1), 0u);
    SDL_FreeSurface(s);

    // Shorter than the header: no size to make a surface of.
    for (size_t length : {0u, 1u, 3u, 5u}) {
        std::vector<unsigned char> header = raw_image(2, 1, 24, {});
        header.resize(length);
        path = write_file("header", header);
        EXPECT_EQ(image_load(path.c_str()), nullptr) << length;
    }
    EXPECT_EQ(image_load((::testing::TempDir() + "lanternfay_raster_no_such_file").c_str()), nullptr);
    EXPECT_EQ(image_load(nullptr), nullptr);
    // A size SDL cannot hold is refused rather than written past.
    path = write_file("huge", raw_image(65535, 65535, 24, {1, 2, 3}));
    EXPECT_EQ(image_load(path.c_str()), nullptr);
}

TEST(SurfaceConvertedFor, CopyingItGivesTheBytesOfBlittingThePicture)
{
    // 24-bit pictures of noise, smaller, as large as and larger than the
    // targets, onto an ARGB target and onto one without alpha whose rows are
    // wider than its width (as a display's may be), both full of other noise:
    // SDL's blit of the copy must leave exactly the bytes that drawing the
    // picture does.
    uint32_t state = 12345;
    auto noise = [&](SDL_Surface *s) {
        uint8_t *bytes = static_cast<uint8_t *>(s->pixels);
        for (int i = 0; i < s->pitch * s->h; ++i) {
            state = state * 1103515245u + 12345u;
            bytes[i] = static_cast<uint8_t>(state >> 16);
        }
    };
    const int sizes[][2] = {{800, 600}, {301, 7}, {900, 650}};
    for (const auto &size : sizes) {
        SDL_Surface *picture = SDL_CreateRGBSurface(SDL_SWSURFACE, size[0], size[1], 24, 0x00FF0000u, 0x0000FF00u,
                                                    0x000000FFu, 0);
        ASSERT_NE(picture, nullptr);
        noise(picture);
        std::vector<uint32_t> wide[2];
        for (bool alpha : {true, false}) {
            SDL_Surface *targets[2];
            for (int k = 0; k < 2; ++k) {
                wide[k].assign(850 * 600, 0);
                targets[k] = alpha ? argb_surface_new(800, 600)
                                   : SDL_CreateRGBSurfaceFrom(wide[k].data(), 800, 600, 32, 850 * 4, 0x00FF0000u,
                                                              0x0000FF00u, 0x000000FFu, 0);
                ASSERT_NE(targets[k], nullptr);
            }
            noise(targets[0]);
            std::memcpy(targets[1]->pixels, targets[0]->pixels, static_cast<size_t>(targets[0]->pitch) * 600);
            SDL_Surface *copy = surface_converted_for(picture, targets[0]);
            ASSERT_NE(copy, nullptr);
            SDL_Rect at = {-3, 5, 0, 0};
            picture_draw(picture, nullptr, targets[0], -3, 5);
            SDL_UpperBlit(copy, nullptr, targets[1], &at);   // a whole-pixel move, whichever SDL
            EXPECT_EQ(std::memcmp(targets[0]->pixels, targets[1]->pixels, static_cast<size_t>(targets[0]->pitch) * 600),
                      0)
                << size[0] << " x " << size[1] << (alpha ? " onto ARGB" : " onto RGB");
            SDL_FreeSurface(copy);
            SDL_FreeSurface(targets[0]);
            SDL_FreeSurface(targets[1]);
        }
        SDL_FreeSurface(picture);
    }
}

TEST(SurfaceConvertedFor, RefusesPicturesWhoseBlitDependsOnTheTarget)
{
    SDL_Surface *target = argb_surface_new(8, 8);
    SDL_Surface *keyed = opaque_picture(4, 4, 0x00102030u);
    SDL_SetColorKey(keyed, SDL_SRCCOLORKEY, 0x00102030u);
    SDL_Surface *blended = test_surface(4, 4, 0x80102030u);   // ARGB: SDL blends it
    EXPECT_EQ(surface_converted_for(keyed, target), nullptr);
    EXPECT_EQ(surface_converted_for(blended, target), nullptr);
    EXPECT_EQ(surface_converted_for(nullptr, target), nullptr);
    EXPECT_EQ(surface_converted_for(keyed, nullptr), nullptr);
    SDL_FreeSurface(keyed);
    SDL_FreeSurface(blended);
    SDL_FreeSurface(target);
}

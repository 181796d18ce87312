// The vector paths of the raster library against the plain loops they
// replace: every table entry that arithmetic stands in for, random surfaces,
// positions, clipping, pitches and opacities, and the show's own pictures.
// Each path this processor can run is called directly, not only through the
// dispatching entry.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>
#include "blit_internal.h"
#include "raster.h"
#include "shell.h"
#include "support.h"

namespace {

const auto *environment = ::testing::AddGlobalTestEnvironment(new ShowEnvironment);

typedef void (*BlitFunction)(SDL_Surface *, SDL_Surface *, int, int, int, BlendMode);
struct BlitPath {
    const char *name;
    BlitFunction blit;
};

// The paths to hold against blit_alpha_reference on this processor.
std::vector<BlitPath> blit_paths()
{
    std::vector<BlitPath> paths = {{"dispatch", blit_alpha}};
#if RASTER_SSE2_PATHS
    paths.push_back({"sse2", blit_alpha_sse2});
#endif
#if RASTER_AVX2_PATHS
    if (raster_has_avx2())
        paths.push_back({"avx2", blit_alpha_avx2});
    else
#endif
        std::printf("(no AVX2 path on this processor or in this build: it is not run)\n");
    return paths;
}

// A surface over memory of our own, with `padding` spare words at the end of
// each row; the padding is filled too, so that a write into it shows.
struct PaddedSurface {
    std::vector<uint32_t> memory;
    SDL_Surface *surface = nullptr;
    int words_per_row = 0;

    PaddedSurface(int width, int height, int padding, std::mt19937 &random)
        : memory(static_cast<size_t>(width + padding) * height), words_per_row(width + padding)
    {
        for (uint32_t &word : memory)
            word = random();
        surface = SDL_CreateRGBSurfaceFrom(memory.data(), width, height, 32, words_per_row * 4, 0x00FF0000u,
                                           0x0000FF00u, 0x000000FFu, 0xFF000000u);
    }
    PaddedSurface(const PaddedSurface &other) : memory(other.memory), words_per_row(other.words_per_row)
    {
        surface = SDL_CreateRGBSurfaceFrom(memory.data(), other.surface->w, other.surface->h, 32,
                                           words_per_row * 4, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u);
    }
    PaddedSurface &operator=(const PaddedSurface &) = delete;
    ~PaddedSurface() { SDL_FreeSurface(surface); }
    uint32_t &at(int x, int y) { return memory[static_cast<size_t>(y) * words_per_row + x]; }
};

// The first differing word, as "x,y: got G, want W", or "" when equal.
std::string first_difference(const PaddedSurface &got, const PaddedSurface &want)
{
    for (size_t i = 0; i < want.memory.size(); ++i)
        if (got.memory[i] != want.memory[i]) {
            char text[96];
            std::snprintf(text, sizeof text, "%d,%d: got %08X, want %08X", (int)(i % want.words_per_row),
                          (int)(i / want.words_per_row), got.memory[i], want.memory[i]);
            return text;
        }
    return "";
}

// Sources often hold runs of transparent, opaque and in-between alpha; plain
// random words alone would almost never leave a whole vector transparent.
void vary_alpha(PaddedSurface &s, std::mt19937 &random)
{
    const uint32_t alphas[] = {0, 255, 1, 128, 147, 155, 171, 187, 195, 254};
    for (int y = 0; y < s.surface->h; ++y) {
        int x = 0;
        while (x < s.surface->w) {
            int run = 1 + static_cast<int>(random() % 12);
            uint32_t kind = random() % 12;
            for (; run > 0 && x < s.surface->w; --run, ++x) {
                uint32_t alpha = kind < 10 ? alphas[kind] : random() & 0xFF;
                s.at(x, y) = (s.at(x, y) & 0x00FFFFFFu) | (alpha << 24);
            }
        }
    }
}

} // namespace

// The arithmetic stands in for ScaleTable everywhere but at entries the
// vector paths hand back to the table: |k| and e listed, e * |k| a multiple
// of 255. Checked entry by entry, with the 16-bit division's own result.
TEST(ScaleArithmetic, EqualsTheTableExceptWhereTheVectorPathsAskTheTable)
{
    using namespace raster_detail;
    ASSERT_TRUE(scale_exceptions.arithmetic_usable);
    for (int product = 0; product <= 255 * 255; ++product)
        ASSERT_EQ(divide_by_255(product), product / 255) << product;
    auto listed = [](const int *values, int count, int value) {
        return std::find(values, values + count, value) != values + count;
    };
    int differing = 0;
    for (int k = -255; k <= 255; ++k)
        for (int e = 0; e < 256; ++e) {
            int magnitude = k < 0 ? -k : k;
            int quotient = (e * magnitude * 0x8081) >> 23;   // the vector paths' multiply-high
            ASSERT_EQ(quotient, e * magnitude / 255);
            uint8_t arithmetic = static_cast<uint8_t>(k < 0 ? -quotient : quotient);
            if (ScaleTable[(k + 256) * 256 + e] == arithmetic)
                continue;
            ++differing;
            EXPECT_TRUE(listed(scale_exceptions.magnitude, scale_exceptions.count, magnitude) &&
                        listed(scale_exceptions.weight, scale_exceptions.weight_count, e) &&
                        e * magnitude % 255 == 0)
                << "k " << k << " e " << e;
        }
    // The double-rounded factor makes these few entries one lower in magnitude.
    EXPECT_EQ(differing, 24);
}

#if RASTER_SSE2_PATHS   // the arithmetic that only the vector paths run
// The cubic step by single floats stands in for CubeTable at every entry it
// does not hand to the table, on both sides (d above and below s); it hands
// over only the near-integral values (all of |d - s| = 255, and a few more).
TEST(CubeArithmetic, EqualsTheTableWhereverItDoesNotAskTheTable)
{
    using namespace raster_detail;
    ASSERT_TRUE(cube_arithmetic.usable);
    int asked = 0;
    for (int magnitude = 0; magnitude < 256; ++magnitude)
        for (int weight = 0; weight < 256; ++weight) {
            bool ask_table = false;
            int step = cube_step_by_arithmetic(magnitude, weight, ask_table);
            if (ask_table) {
                ++asked;
                continue;
            }
            ASSERT_EQ(CubeTable[(256 + magnitude) * 256 + weight], step) << magnitude << " " << weight;
            ASSERT_EQ(CubeTable[(256 - magnitude) * 256 + weight], static_cast<uint8_t>(-step))
                << magnitude << " " << weight;
        }
    EXPECT_EQ(asked, cube_arithmetic.flagged);
    EXPECT_LT(asked, 400);   // 255 of them are |d - s| = 255; the table walk stays rare
}

// An opaque source's step by a fitted 16-bit row stands in for CubeTable at
// every entry, so the opaque cubic blends never need the float steps here.
TEST(CubeArithmetic, EveryOpaqueRowEqualsTheTable)
{
    using namespace raster_detail;
    int fixes = 0;
    for (int weight = 0; weight < 256; ++weight) {
        const CubeRow &row = cube_arithmetic.weight_rows[weight];
        ASSERT_TRUE(row.usable) << weight;
        fixes += row.fix_count;
        for (int magnitude = 0; magnitude < 256; ++magnitude) {
            int step = cube_row_step(magnitude, row);
            ASSERT_EQ(CubeTable[(256 + magnitude) * 256 + weight], step) << magnitude << " " << weight;
            ASSERT_EQ(CubeTable[(256 - magnitude) * 256 + weight], static_cast<uint8_t>(-step))
                << magnitude << " " << weight;
        }
    }
    EXPECT_LT(fixes, 64);   // the fits are close: the corrections are few
}
#endif

// Every weight e against every destination and source byte: an opaque source
// at opacity e blends with weight e, and a 256 x 256 surface pairs each
// destination byte with each source byte in blue and green. The destination's
// alpha runs through every value, so the accumulated alpha wraps.
TEST(BlitAlphaPaths, EqualTheTablesForEveryWeightAndByte)
{
    std::mt19937 random(12);
    PaddedSurface source(256, 256, 0, random), target(256, 256, 0, random);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            source.at(x, y) = 0xFF000000u | (uint32_t)((x * 7 + y) & 0xFF) << 16 | (uint32_t)x << 8 | (uint32_t)y;
            target.at(x, y) = (uint32_t)x << 24 | (uint32_t)((x + y) & 0xFF) << 16 | (uint32_t)y << 8 | (uint32_t)x;
        }
    for (const BlitPath &path : blit_paths())
        for (BlendMode mode : {BLEND_LINEAR, BLEND_CUBIC})
            for (int weight = 0; weight < 256; ++weight) {
                PaddedSurface want(target), got(target);
                blit_alpha_reference(source.surface, want.surface, 0, 0, weight, mode);
                path.blit(source.surface, got.surface, 0, 0, weight, mode);
                std::string difference = first_difference(got, want);
                ASSERT_EQ(difference, "") << path.name << " mode " << mode << " weight " << weight;
            }
}

// The weight comes from the source alpha and the opacity (clamped): every
// alpha in every column, against every opacity and some outside 0..255. The
// lower rows hold every alpha again in runs of four, and then of eight, which
// the paths blend by one weight.
TEST(BlitAlphaPaths, EqualTheTablesForEveryAlphaAndOpacity)
{
    std::mt19937 random(34);
    PaddedSurface source(256, 64, 0, random), target(256, 64, 0, random);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) {
            uint32_t alpha = y < 32 ? x : y < 48 ? (x / 4 + 64 * (y % 4)) & 0xFF : (x / 8 + 32 * (y % 8)) & 0xFF;
            source.at(x, y) = (source.at(x, y) & 0x00FFFFFFu) | alpha << 24;
        }
    std::vector<int> opacities = {-2147483647 - 1, -300, -1, 256, 1000, 2147483647};
    for (int opacity = 0; opacity < 256; ++opacity)
        opacities.push_back(opacity);
    for (const BlitPath &path : blit_paths())
        for (BlendMode mode : {BLEND_LINEAR, BLEND_CUBIC})
            for (int opacity : opacities) {
                PaddedSurface want(target), got(target);
                blit_alpha_reference(source.surface, want.surface, 0, 0, opacity, mode);
                path.blit(source.surface, got.surface, 0, 0, opacity, mode);
                std::string difference = first_difference(got, want);
                ASSERT_EQ(difference, "") << path.name << " mode " << mode << " opacity " << opacity;
            }
}

// Random sizes (odd widths leave every kind of remainder after the vector
// columns), positions partly or wholly off the destination, padded pitches
// whose padding must stay untouched, and opacities in and out of range;
// blit_alpha_rows band by band gives the whole blit.
TEST(BlitAlphaPaths, EqualTheReferenceOnRandomSurfacesPositionsAndPitches)
{
    std::mt19937 random(56);
    for (int trial = 0; trial < 3000; ++trial) {
        PaddedSurface source(1 + random() % 41, 1 + random() % 23, random() % 5, random);
        PaddedSurface target(1 + random() % 53, 1 + random() % 29, random() % 7, random);
        vary_alpha(source, random);
        int x = static_cast<int>(random() % 110) - 50, y = static_cast<int>(random() % 70) - 30;
        int opacity = static_cast<int>(random() % 700) - 200;
        BlendMode mode = random() % 2 ? BLEND_CUBIC : BLEND_LINEAR;
        PaddedSurface want(target);
        blit_alpha_reference(source.surface, want.surface, x, y, opacity, mode);
        for (const BlitPath &path : blit_paths()) {
            PaddedSurface got(target);
            path.blit(source.surface, got.surface, x, y, opacity, mode);
            std::string difference = first_difference(got, want);
            ASSERT_EQ(difference, "") << path.name << " trial " << trial << " at " << x << "," << y
                                      << " opacity " << opacity << " mode " << mode;
        }
        // The same blit in bands of source rows, from the bottom up, and
        // bands above and below the source that take nothing.
        PaddedSurface banded(target);
        int rows = source.surface->h, band = 1 + static_cast<int>(random() % 7);
        blit_alpha_rows(source.surface, banded.surface, x, y, rows, rows + 3, opacity, mode);
        for (int first = rows / band * band; first >= 0; first -= band)
            blit_alpha_rows(source.surface, banded.surface, x, y, first, first + band, opacity, mode);
        blit_alpha_rows(source.surface, banded.surface, x, y, -4, 0, opacity, mode);
        ASSERT_EQ(first_difference(banded, want), "") << "bands of " << band << " trial " << trial;
    }
}

// The show's own 32-bit pictures over one another at the opacities the scenes use.
TEST(BlitAlphaPaths, EqualTheReferenceOnTheShowsPictures)
{
    std::vector<SDL_Surface *> pictures;
    for (int i = 0; i < 33; ++i)
        if (BitmapTable[i] && BitmapTable[i]->format->BytesPerPixel == 4)
            pictures.push_back(BitmapTable[i]);
    ASSERT_GE(pictures.size(), 8u);
    std::mt19937 random(78);
    PaddedSurface backdrop(800, 600, 3, random);
    for (size_t i = 0; i < pictures.size(); ++i) {
        SDL_Surface *picture = pictures[i];
        SDL_Surface *under = pictures[(i + 3) % pictures.size()];
        PaddedSurface target(backdrop);
        blit_alpha_reference(under, target.surface, 0, 0, 255, BLEND_LINEAR);
        for (int opacity : {255, 150, 110, 100, 63, 1}) {
            int x = static_cast<int>(random() % 900) - 50, y = static_cast<int>(random() % 700) - 50;
            PaddedSurface want(target);
            blit_alpha_reference(picture, want.surface, x, y, opacity, BLEND_LINEAR);
            for (const BlitPath &path : blit_paths()) {
                PaddedSurface got(target);
                path.blit(picture, got.surface, x, y, opacity, BLEND_LINEAR);
                std::string difference = first_difference(got, want);
                ASSERT_EQ(difference, "") << path.name << " picture " << i << " opacity " << opacity;
            }
        }
    }
}

// Fades and dims of every level over every byte value in every channel (a
// 256-wide surface of counted bytes and random ones), with clipped
// rectangles and padded rows; levels outside 0..255 included.
TEST(FadeAndDimPaths, EqualTheReferenceForEveryLevelAndByte)
{
    std::mt19937 random(90);
    PaddedSurface surface(259, 9, 3, random);
    for (int x = 0; x < 256; ++x)
        surface.at(x, 0) = (uint32_t)x * 0x01010101u;
    for (int x = 0; x < 256; ++x)
        surface.at(x, 1) = (uint32_t)x << 16;   // black but for red; alpha 0
    surface.at(3, 2) = 0xFF000000u;             // black with alpha
    std::vector<int> levels = {-5, 256, 300, 100000};
    for (int level = 0; level < 256; ++level)
        levels.push_back(level);
    for (int level : levels) {
        PaddedSurface want(surface), got(surface);
        fade_rect_reference(want.surface, 0, 0, 258, 8, level);
        fade_rect(got.surface, 0, 0, 258, 8, level);
        ASSERT_EQ(first_difference(got, want), "") << "fade level " << level;
        PaddedSurface want_dim(surface), got_dim(surface);
        dim_rect_reference(want_dim.surface, 0, 0, 258, 8, level);
        dim_rect(got_dim.surface, 0, 0, 258, 8, level);
        ASSERT_EQ(first_difference(got_dim, want_dim), "") << "dim amount " << level;
#if RASTER_SSE2_PATHS
        PaddedSurface got_sse2(surface);
        fade_rect_sse2(got_sse2.surface, 0, 0, 258, 8, level);
        ASSERT_EQ(first_difference(got_sse2, want), "") << "fade (sse2) level " << level;
        PaddedSurface got_narrow(surface);
        dim_rect_sse2(got_narrow.surface, 0, 0, 258, 8, level);
        ASSERT_EQ(first_difference(got_narrow, want_dim), "") << "dim (sse2) amount " << level;
#endif
#if RASTER_AVX2_PATHS
        if (raster_has_avx2()) {
            PaddedSurface got_wide(surface);
            dim_rect_avx2(got_wide.surface, 0, 0, 258, 8, level);
            ASSERT_EQ(first_difference(got_wide, want_dim), "") << "dim (avx2) amount " << level;
        }
#endif
    }
    for (int trial = 0; trial < 500; ++trial) {
        PaddedSurface s(1 + random() % 37, 1 + random() % 11, random() % 5, random);
        int x = static_cast<int>(random() % 50) - 10, y = static_cast<int>(random() % 20) - 5;
        int w = static_cast<int>(random() % 50) - 3, h = static_cast<int>(random() % 16) - 3;
        int level = static_cast<int>(random() % 300) - 20;
        PaddedSurface want(s), got(s);
        fade_rect_reference(want.surface, x, y, w, h, level);
        fade_rect(got.surface, x, y, w, h, level);
        ASSERT_EQ(first_difference(got, want), "") << "fade trial " << trial;
        PaddedSurface want_dim(s), got_dim(s);
        dim_rect_reference(want_dim.surface, x, y, w, h, level);
        dim_rect(got_dim.surface, x, y, w, h, level);
        ASSERT_EQ(first_difference(got_dim, want_dim), "") << "dim trial " << trial;
#if RASTER_SSE2_PATHS
        PaddedSurface got_narrow(s);
        dim_rect_sse2(got_narrow.surface, x, y, w, h, level);
        ASSERT_EQ(first_difference(got_narrow, want_dim), "") << "dim (sse2) trial " << trial;
#endif
    }
}

// A copy of a surface onto itself, moved any way, gives what a copy from a
// separate copy of it gives: rows are never overwritten before they are read.
TEST(BlitCopy, OntoItselfInEveryDirectionReadsTheRowsBeforeOverwritingThem)
{
    std::mt19937 random(7);
    const int moves[][2] = {{0, 1}, {0, 3}, {2, 5}, {-2, 4}, {0, -1}, {3, -2}, {1, 0}, {-1, 0}, {0, 0}, {-4, -6}};
    for (const auto &move : moves) {
        PaddedSurface s(13, 11, 2, random);
        PaddedSurface original(s), want(s);
        blit_copy(original.surface, want.surface, move[0], move[1]);
        blit_copy(s.surface, s.surface, move[0], move[1]);
        ASSERT_EQ(first_difference(s, want), "") << "moved by " << move[0] << "," << move[1];
    }
}

// The scaler's vector paths against its plain loop, both filters, at every
// factor from 1 to 4 in eighths (across and down on their own), on small
// sources of odd and even sizes and the show's frame onto a 1080p display,
// into a rectangle of a wider target whose words around it must stay as they
// were. The plain loop itself: a whole factor's sharp picture is plain blocks.
TEST(ScalePaths, EqualTheReferenceAtEveryEighthFactorAndOddSizes)
{
    struct Case {
        int src_w, src_h, w, h;
    };
    std::vector<Case> cases;
    for (int eighths = 8; eighths <= 32; ++eighths) {
        cases.push_back({40, 30, 40 * eighths / 8, 30 * eighths / 8});
        cases.push_back({37, 23, 37 * eighths / 8, 23 * (40 - eighths) / 8});
        cases.push_back({2, 3, 2 * eighths / 8, 3 * eighths / 8});
    }
    cases.push_back({800, 600, 1440, 1080});
    cases.push_back({7, 5, 3, 4});   // shrinking
    std::mt19937 random(36);
    typedef void (*ScaleFunction)(SDL_Surface *, SDL_Surface *, ScalePlan &);
    std::vector<std::pair<const char *, ScaleFunction>> paths = {{"dispatch", scale_picture}};
#if RASTER_SSE2_PATHS
    paths.push_back({"sse2", scale_picture_sse2});
#endif
#if RASTER_AVX2_PATHS
    if (raster_has_avx2())
        paths.push_back({"avx2", scale_picture_avx2});
#endif
    for (const Case &c : cases)
        for (ScaleFilter filter : {SCALE_SMOOTH, SCALE_SHARP}) {
            PaddedSurface source(c.src_w, c.src_h, random() % 3, random);
            const int w = c.w, h = c.h;
            PaddedSurface target(w + 5, h + 2, random() % 3, random);
            ScalePlan plan;
            ASSERT_TRUE(scale_plan_make(plan, c.src_w, c.src_h, 3, 1, w, h, filter));
            PaddedSurface want(target);
            scale_picture_reference(source.surface, want.surface, plan);
            for (int y = 0; y < target.surface->h; ++y)
                for (int x = 0; x < target.surface->w; ++x) {
                    bool inside = x >= 3 && x < 3 + w && y >= 1 && y < 1 + h;
                    if (!inside) {
                        ASSERT_EQ(want.at(x, y), target.at(x, y)) << "outside the rectangle at " << x << "," << y;
                    } else if (filter == SCALE_SHARP && w % c.src_w == 0 && h % c.src_h == 0) {
                        ASSERT_EQ(want.at(x, y), source.at((x - 3) * c.src_w / w, (y - 1) * c.src_h / h))
                            << "a whole factor's block at " << x << "," << y;
                    }
                }
            for (const auto &path : paths) {
                PaddedSurface got(target);
                path.second(source.surface, got.surface, plan);
                ASSERT_EQ(first_difference(got, want), "")
                    << path.first << (filter == SCALE_SHARP ? " sharp " : " smooth ") << c.src_w << "x" << c.src_h
                    << " to " << w << "x" << h;
            }
        }
}

// The dispatching entries take the plain loops exactly where the build has
// no vector code (the portable build, or a processor without SSE2), and
// AVX2 only where the build has it.
TEST(RasterPath, IsPlainExactlyWhereTheBuildHasNoVectorPaths)
{
#ifdef LANTERNFAY_PORTABLE
    static_assert(!RASTER_SSE2_PATHS && !RASTER_AVX2_PATHS, "the portable build compiles no vector path");
#endif
    EXPECT_EQ(raster_path() == RASTER_PATH_PLAIN, !RASTER_SSE2_PATHS);
    if (!RASTER_AVX2_PATHS) {
        EXPECT_NE(raster_path(), RASTER_PATH_AVX2);
    }
}

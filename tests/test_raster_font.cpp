// The bitmap font: the show's cells, cutting, lookup and text drawing.
#include <gtest/gtest.h>
#include <cstring>
#include "raster.h"
#include "support.h"

namespace {

// A sheet without alpha, like a loaded BMP, whose pixels name their own
// position: red = x mod 256, green = y, blue = x / 256 + 1 (never black).
SDL_Surface *position_sheet(int width, int height)
{
    SDL_Surface *sheet = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0x00FF0000u, 0x0000FF00u,
                                              0x000000FFu, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            static_cast<uint32_t *>(sheet->pixels)[y * (sheet->pitch / 4) + x] =
                (uint32_t)((x & 0xFF) << 16) | (uint32_t)(y << 8) | (uint32_t)((x >> 8) + 1);
    return sheet;
}

int glyph_count(const Font *font)
{
    int count = 0;
    while (font->glyphs[count])
        ++count;
    return count;
}

} // namespace

TEST(Font, ShowCellsPackThreeRowsInCharacterOrder)
{
    ASSERT_EQ(std::strlen(FONT_CHARACTERS), 39u);
    EXPECT_STREQ(FONT_CHARACTERS, "abcdefghijklmnopqrstuvwxyz123456789.,!?");
    int count = 0;
    while (FONT_GLYPH_RECTS[count])
        ++count;
    ASSERT_EQ(count, 39);
    // Each glyph follows the previous one without a gap, rows start at 0.
    int row_end[3] = {0, 0, 0};
    for (int i = 0; i < 39; ++i) {
        const GlyphRect &cell = *FONT_GLYPH_RECTS[i];
        ASSERT_EQ(cell.h, 64) << FONT_CHARACTERS[i];
        ASSERT_TRUE(cell.y == 0 || cell.y == 64 || cell.y == 128) << FONT_CHARACTERS[i];
        int row = cell.y / 64;
        ASSERT_EQ(cell.x, row_end[row]) << FONT_CHARACTERS[i];
        row_end[row] = cell.x + cell.w;
    }
    EXPECT_EQ(row_end[0], 790);
    EXPECT_EQ(row_end[1], 768);
    EXPECT_EQ(row_end[2], 727);
    const char *narrow = "i.,!";
    for (int i = 0; i < 39; ++i) {
        char ch = FONT_CHARACTERS[i];
        int expected = std::strchr(narrow, ch) ? 22 : ch == '1' ? 28 : ch == '?' ? 57 : 64;
        EXPECT_EQ(FONT_GLYPH_RECTS[i]->w, expected) << ch;
    }
    EXPECT_EQ(FONT_GLYPH_RECTS[13]->y, 64);   // n opens the second row
    EXPECT_EQ(FONT_GLYPH_RECTS[25]->y, 128);  // z the third
}

TEST(Font, GlyphsAreCutFromTheirCellsWithBlueAsAlpha)
{
    SDL_Surface *sheet = position_sheet(800, 192);
    Font *font = font_new(sheet, FONT_CHARACTERS, FONT_GLYPH_RECTS);
    ASSERT_EQ(glyph_count(font), 39);

    SDL_Surface *i_glyph = font_find_glyph(font, 'i');
    ASSERT_NE(i_glyph, nullptr);
    EXPECT_EQ(i_glyph->w, 22);
    EXPECT_EQ(i_glyph->h, 64);
    EXPECT_EQ(i_glyph->format->Amask, 0xFF000000u);
    SDL_Surface *one_glyph = font_find_glyph(font, '1');
    ASSERT_NE(one_glyph, nullptr);
    EXPECT_EQ(one_glyph->w, 28);
    struct Check {
        SDL_Surface *glyph;
        int left, top;
    };
    for (Check c : {Check{i_glyph, 512, 0}, Check{one_glyph, 64, 128}}) {
        for (int y = 0; y < c.glyph->h; ++y)
            for (int x = 0; x < c.glyph->w; ++x) {
                uint32_t sheet_pixel = pixel_at(sheet, c.left + x, c.top + y) & 0x00FFFFFFu;
                uint32_t expected = ((sheet_pixel & 0xFF) << 24) | sheet_pixel;
                ASSERT_EQ(pixel_at(c.glyph, x, y), expected) << x << "," << y;
            }
    }
    font_free(font);
    // The sheet is only read.
    EXPECT_EQ(pixel_at(sheet, 512, 0), 0x00000003u);
    SDL_FreeSurface(sheet);
}

TEST(Font, DarkSheetPixelsTurnTransparentAndWhiteOpaque)
{
    SDL_Surface *sheet = SDL_CreateRGBSurface(SDL_SWSURFACE, 3, 1, 32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0);
    uint32_t *pixels = static_cast<uint32_t *>(sheet->pixels);
    pixels[0] = 0x00FFFF00u;   // red and green but no blue
    pixels[1] = 0x00FFFFFFu;
    pixels[2] = 0x00000080u;
    GlyphRect cell{0, 0, 3, 1};
    GlyphRect *cells[] = {&cell, nullptr};
    Font *font = font_new(sheet, "x", cells);
    SDL_Surface *glyph = font_find_glyph(font, 'x');
    ASSERT_NE(glyph, nullptr);
    EXPECT_EQ(pixel_at(glyph, 0, 0), 0x00FFFF00u);
    EXPECT_EQ(pixel_at(glyph, 1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(pixel_at(glyph, 2, 0), 0x80000080u);
    font_free(font);
    SDL_FreeSurface(sheet);
}

TEST(Font, LookupFindsOnlyExactCharacters)
{
    SDL_Surface *sheet = position_sheet(800, 192);
    Font *font = font_new(sheet, FONT_CHARACTERS, FONT_GLYPH_RECTS);
    EXPECT_EQ(font_find_glyph(font, 'a'), font->glyphs[0]);
    EXPECT_EQ(font_find_glyph(font, '?'), font->glyphs[38]);
    EXPECT_EQ(font_find_glyph(font, 'z'), font->glyphs[25]);
    for (char ch : {'A', '0', ' ', '\n', '\0', '\xFF'})
        EXPECT_EQ(font_find_glyph(font, ch), nullptr) << (int)ch;
    font_free(font);

    // A string shorter than the glyph list: characters past its end have no glyph.
    font = font_new(sheet, "ab", FONT_GLYPH_RECTS);
    EXPECT_EQ(glyph_count(font), 39);
    EXPECT_EQ(font_find_glyph(font, 'b'), font->glyphs[1]);
    EXPECT_EQ(font_find_glyph(font, 'c'), nullptr);
    font_free(font);

    // No rectangles at all: an empty glyph list, every lookup NULL.
    GlyphRect *none[] = {nullptr};
    font = font_new(sheet, FONT_CHARACTERS, none);
    EXPECT_EQ(font->glyphs[0], nullptr);
    EXPECT_STREQ(font->characters, FONT_CHARACTERS);
    EXPECT_EQ(font_find_glyph(font, 'a'), nullptr);
    font_free(font);
    SDL_FreeSurface(sheet);
}

// Glyphs "a", "b" and "c" are solid opaque blocks 64 x 4 of distinct red,
// so the screen shows where each one landed.
class TextDrawing : public ::testing::Test {
protected:
    SDL_Surface *sheet = nullptr, *saved_screen = nullptr;
    Font *font = nullptr;
    GlyphRect cells[3] = {{0, 0, 64, 4}, {64, 0, 64, 4}, {128, 0, 64, 4}};
    GlyphRect *cell_list[4] = {&cells[0], &cells[1], &cells[2], nullptr};

    void SetUp() override
    {
        sheet = SDL_CreateRGBSurface(SDL_SWSURFACE, 192, 4, 32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 192; ++x)
                static_cast<uint32_t *>(sheet->pixels)[y * (sheet->pitch / 4) + x] =
                    (uint32_t)(0x10 * (x / 64 + 1)) << 16 | 0xFFu;
        font = font_new(sheet, "abc", cell_list);
        saved_screen = screen;
        screen = test_surface(400, 120, 0);
    }
    void TearDown() override
    {
        font_free(font);
        SDL_FreeSurface(sheet);
        SDL_FreeSurface(screen);
        screen = saved_screen;
    }
    uint32_t red_at(int x, int y) { return (pixel_at(screen, x, y) >> 16) & 0xFF; }
};

TEST_F(TextDrawing, PenAdvancesByGlyphWidthsSpacesAndLines)
{
    draw_string_with(font, "ab c\na", 10, 20);
    EXPECT_EQ(red_at(9, 20), 0u);
    EXPECT_EQ(red_at(10, 20), 0x10u);    // a at (10, 20)
    EXPECT_EQ(red_at(73, 23), 0x10u);
    EXPECT_EQ(red_at(74, 20), 0x20u);    // b at (74, 20)
    EXPECT_EQ(red_at(137, 20), 0x20u);
    EXPECT_EQ(red_at(138, 20), 0u);      // the space: 22 pixels of nothing
    EXPECT_EQ(red_at(159, 20), 0u);
    EXPECT_EQ(red_at(160, 20), 0x30u);   // c at (160, 20)
    EXPECT_EQ(red_at(223, 20), 0x30u);
    EXPECT_EQ(red_at(224, 20), 0u);
    EXPECT_EQ(red_at(10, 24), 0u);
    EXPECT_EQ(red_at(10, 90), 0x10u);    // after the line feed: (10, 90)
    EXPECT_EQ(red_at(10, 89), 0u);
    EXPECT_EQ(red_at(74, 90), 0u);
}

TEST_F(TextDrawing, UnknownCharactersNeitherDrawNorMoveThePen)
{
    draw_string_with(font, "aX0b", 0, 0);
    EXPECT_EQ(red_at(63, 0), 0x10u);
    EXPECT_EQ(red_at(64, 0), 0x20u);
    EXPECT_EQ(red_at(128, 0), 0u);
}

TEST_F(TextDrawing, GlyphsAreClippedAtTheSurfaceEdges)
{
    font_draw_glyph(font, 'c', screen, -30, -2);
    EXPECT_EQ(red_at(0, 0), 0x30u);
    EXPECT_EQ(red_at(33, 1), 0x30u);
    EXPECT_EQ(red_at(34, 0), 0u);
    EXPECT_EQ(red_at(0, 2), 0u);
    font_draw_glyph(font, 'b', screen, 380, 118);
    EXPECT_EQ(red_at(399, 119), 0x20u);
    font_draw_glyph(font, 'a', screen, 65636, 40);    // far outside: nothing, not wrapped to 100
    font_draw_glyph(font, 'Q', screen, 200, 50);      // no glyph: nothing
    draw_string_with(font, "aaaaaaaaa", 300, 60);     // runs off the right edge
    EXPECT_EQ(red_at(399, 60), 0x10u);
    int lit_row_50 = 0;
    for (int x = 0; x < 400; ++x)
        lit_row_50 += red_at(x, 50) != 0;
    EXPECT_EQ(lit_row_50, 0);
    int lit_row_40 = 0;
    for (int x = 0; x < 400; ++x)
        lit_row_40 += red_at(x, 40) != 0;
    EXPECT_EQ(lit_row_40, 0);
}

// font.cpp — the proportional bitmap font: glyphs cut once from a sheet
// drawn light on black, looked up by character and blended by their alpha.
#include "raster.h"
#include <cstddef>
#include <cstring>

namespace {

// The show's sheet: three rows of 64-pixel glyphs packed left to right.
GlyphRect font_cells[] = {
    {0, 0, 64, 64},   {64, 0, 64, 64},   {128, 0, 64, 64},  {192, 0, 64, 64},   // a b c d
    {256, 0, 64, 64}, {320, 0, 64, 64},  {384, 0, 64, 64},  {448, 0, 64, 64},   // e f g h
    {512, 0, 22, 64}, {534, 0, 64, 64},  {598, 0, 64, 64},  {662, 0, 64, 64},   // i j k l
    {726, 0, 64, 64},                                                         // m
    {0, 64, 64, 64},   {64, 64, 64, 64},  {128, 64, 64, 64}, {192, 64, 64, 64}, // n o p q
    {256, 64, 64, 64}, {320, 64, 64, 64}, {384, 64, 64, 64}, {448, 64, 64, 64}, // r s t u
    {512, 64, 64, 64}, {576, 64, 64, 64}, {640, 64, 64, 64}, {704, 64, 64, 64}, // v w x y
    {0, 128, 64, 64},   {64, 128, 28, 64},  {92, 128, 64, 64},  {156, 128, 64, 64}, // z 1 2 3
    {220, 128, 64, 64}, {284, 128, 64, 64}, {348, 128, 64, 64}, {412, 128, 64, 64}, // 4 5 6 7
    {476, 128, 64, 64}, {540, 128, 64, 64},                                       // 8 9
    {604, 128, 22, 64}, {626, 128, 22, 64}, {648, 128, 22, 64}, {670, 128, 57, 64}, // . , ! ?
};

constexpr int SPACE_ADVANCE = 22;
constexpr int LINE_ADVANCE = 70;

SDL_Surface *glyph_cut(SDL_Surface *sheet, const GlyphRect &cell)
{
    // A cell of negative size gets an empty glyph, so the list keeps one
    // entry per character.
    SDL_Surface *glyph = argb_surface_new(cell.w > 0 ? cell.w : 0, cell.h > 0 ? cell.h : 0);
    if (!glyph)
        return nullptr;
    SDL_Rect area;
    area.x = static_cast<Sint16>(cell.x);
    area.y = static_cast<Sint16>(cell.y);
    area.w = static_cast<Uint16>(cell.w);
    area.h = static_cast<Uint16>(cell.h);
    picture_draw(sheet, &area, glyph, 0, 0);   // converts the sheet's format
    // The sheet is light on black: blue carries the shape, so it becomes the
    // alpha and dark pixels turn transparent.
    ptrdiff_t stride = glyph->pitch / 4;
    uint32_t *row = static_cast<uint32_t *>(glyph->pixels);
    for (int y = 0; row && y < glyph->h; ++y, row += stride)
        for (int x = 0; x < glyph->w; ++x)
            row[x] = (row[x] & 0x00FFFFFFu) | ((row[x] & 0xFFu) << 24);
    return glyph;
}

} // namespace

const char FONT_CHARACTERS[] = "abcdefghijklmnopqrstuvwxyz123456789.,!?";

GlyphRect *FONT_GLYPH_RECTS[] = {
    &font_cells[0],  &font_cells[1],  &font_cells[2],  &font_cells[3],  &font_cells[4],
    &font_cells[5],  &font_cells[6],  &font_cells[7],  &font_cells[8],  &font_cells[9],
    &font_cells[10], &font_cells[11], &font_cells[12], &font_cells[13], &font_cells[14],
    &font_cells[15], &font_cells[16], &font_cells[17], &font_cells[18], &font_cells[19],
    &font_cells[20], &font_cells[21], &font_cells[22], &font_cells[23], &font_cells[24],
    &font_cells[25], &font_cells[26], &font_cells[27], &font_cells[28], &font_cells[29],
    &font_cells[30], &font_cells[31], &font_cells[32], &font_cells[33], &font_cells[34],
    &font_cells[35], &font_cells[36], &font_cells[37], &font_cells[38], nullptr,
};

static_assert(sizeof(font_cells) / sizeof(font_cells[0]) == 39, "one cell per character");
static_assert(sizeof(FONT_CHARACTERS) == 40, "39 characters and the NUL");

Font *font_new(SDL_Surface *sheet, const char *characters, GlyphRect **rects)
{
    Font *font = new Font;
    size_t length = characters ? std::strlen(characters) : 0;
    font->characters = new char[length + 1];
    if (length)
        std::memcpy(font->characters, characters, length);
    font->characters[length] = '\0';

    size_t count = 0;
    while (rects && rects[count])
        ++count;
    font->glyphs = new SDL_Surface *[count + 1];
    for (size_t i = 0; i < count; ++i)
        font->glyphs[i] = glyph_cut(sheet, *rects[i]);   // no sheet: blank, transparent glyphs
    font->glyphs[count] = nullptr;
    return font;
}

SDL_Surface *font_find_glyph(Font *font, char ch)
{
    if (!font || ch == '\0')
        return nullptr;
    // Walk glyphs and characters together; a string shorter than the glyph
    // list ends the walk rather than reading past its end.
    for (size_t i = 0; font->glyphs[i] && font->characters[i]; ++i)
        if (font->characters[i] == ch)
            return font->glyphs[i];
    return nullptr;
}

void font_free(Font *font)
{
    if (!font)
        return;
    for (size_t i = 0; font->glyphs[i]; ++i)
        SDL_FreeSurface(font->glyphs[i]);
    delete[] font->glyphs;
    delete[] font->characters;
    delete font;
}

void font_draw_glyph(Font *font, char ch, SDL_Surface *dst, int x, int y)
{
    SDL_Surface *glyph = font_find_glyph(font, ch);
    // SDL 1.2 keeps positions in 16 bits; a pen that far out is off every
    // surface, and wrapping it would put the glyph somewhere visible.
    if (!glyph || !dst || x < -32768 || x > 32767 || y < -32768 || y > 32767)
        return;
    picture_draw(glyph, nullptr, dst, x, y);   // clipped, blended by the glyph's alpha
}

void draw_string_with(Font *font, const char *text, int x, int y)
{
    if (!font || !text || !screen)
        return;
    int pen_x = x, pen_y = y;
    lock_surface(screen);
    for (const char *c = text; *c; ++c) {
        if (*c == ' ') {
            pen_x += SPACE_ADVANCE;
            continue;
        }
        if (*c == '\n') {
            pen_x = x;
            pen_y += LINE_ADVANCE;
        }
        SDL_Surface *glyph = font_find_glyph(font, *c);
        if (!glyph)
            continue;   // no glyph: nothing drawn, the pen stays
        font_draw_glyph(font, *c, screen, pen_x, pen_y);
        pen_x += glyph->w;
    }
    unlock_surface(screen);
}

// The generated pictures in data/: every one loads with its size, and the
// channels that the show reads carry what the show expects of them.
#include "raster.h"
#include "ring_warp.h"
#include "support.h"
#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// A loaded BMP copied into an ARGB surface, so pixels are words 0x..RRGGBB.
struct Picture {
    SDL_Surface *s = nullptr;
    explicit Picture(const std::string &name)
    {
        SDL_Surface *raw = SDL_LoadBMP(("data/" + name).c_str());
        if (!raw)
            return;
        s = argb_surface_new(raw->w, raw->h);
        SDL_BlitSurface(raw, nullptr, s, nullptr);
        SDL_FreeSurface(raw);
    }
    ~Picture()
    {
        if (s)
            SDL_FreeSurface(s);
    }
    int w() const { return s->w; }
    int h() const { return s->h; }
    int red(int x, int y) const { return (pixel_at(s, x, y) >> 16) & 0xFF; }
    int green(int x, int y) const { return (pixel_at(s, x, y) >> 8) & 0xFF; }
    int blue(int x, int y) const { return pixel_at(s, x, y) & 0xFF; }
};

int channel(const Picture &p, int x, int y, int which)
{
    return which == 0 ? p.red(x, y) : (which == 1 ? p.green(x, y) : p.blue(x, y));
}

double channel_spread(const Picture &p, int which)
{
    double sum = 0, sum2 = 0, n = (double)p.w() * p.h();
    for (int y = 0; y < p.h(); y++)
        for (int x = 0; x < p.w(); x++) {
            double v = channel(p, x, y, which);
            sum += v;
            sum2 += v * v;
        }
    return std::sqrt(sum2 / n - (sum / n) * (sum / n));
}

// Mean absolute difference between two rows (or columns) of all channels.
double row_difference(const Picture &p, int a, int b)
{
    double d = 0;
    for (int x = 0; x < p.w(); x++)
        for (int c = 0; c < 3; c++)
            d += std::abs(channel(p, x, a, c) - channel(p, x, b, c));
    return d / (p.w() * 3.0);
}

double column_difference(const Picture &p, int a, int b)
{
    double d = 0;
    for (int y = 0; y < p.h(); y++)
        for (int c = 0; c < 3; c++)
            d += std::abs(channel(p, a, y, c) - channel(p, b, y, c));
    return d / (p.h() * 3.0);
}

// True when the last row (or column) runs on into the first as smoothly as
// neighbouring rows inside the picture do: no greater step than the
// greatest between two neighbours. Unrelated rows of a texture differ far more.
bool wraps(const Picture &p, bool rows)
{
    int n = rows ? p.h() : p.w();
    double greatest = 0;
    for (int i = 0; i + 1 < n; i++)
        greatest = std::max(greatest, rows ? row_difference(p, i, i + 1) : column_difference(p, i, i + 1));
    double seam = rows ? row_difference(p, n - 1, 0) : column_difference(p, n - 1, 0);
    return seam <= greatest;
}

}  // namespace

TEST(DataPictures, AllThirtyThreeLoadWithTheirSizes)
{
    struct Expected {
        const char *file;
        int w, h;   // 0: free
    };
    const Expected all[] = {
        {"bg_muddy.bmp", 800, 256},       {"emerald.bmp", 360, 600},        {"elf.bmp", 350, 600},
        {"bg_muddy_bumps.bmp", 800, 256}, {"bg_snow.bmp", 800, 256},        {"bg_grassy.bmp", 800, 256},
        {"bg_grassybumps.bmp", 800, 256}, {"bg_introlandscape.bmp", 800, 600}, {"flare_big.bmp", 0, 0},
        {"flare_small.bmp", 0, 0},        {"sunflare.bmp", 512, 307},       {"fonts64.bmp", 0, 0},
        {"BirdGnome.bmp", 800, 600},      {"qfx_logo.bmp", 0, 0},           {"lanternfaylogo.bmp", 0, 0},
        {"presents.bmp", 0, 0},           {"summerroad.bmp", 800, 600},     {"cityscape.bmp", 800, 600},
        {"seed_1.bmp", 0, 0},             {"seed_2.bmp", 0, 0},             {"greets.bmp", 0, 0},
        {"end_clipfart_1.bmp", 0, 0},     {"end_clipfart_2.bmp", 0, 0},     {"leaves.bmp", 800, 0},
        {"emerald2.bmp", 360, 600},       {"strip.bmp", 79, 600},           {"5tide_title.bmp", 0, 0},
        {"vexmoor_title.bmp", 0, 0},      {"palundo_title.bmp", 0, 0},      {"kb_title.bmp", 0, 0},
        {"hope.bmp", 0, 0},               {"visions.bmp", 0, 0},            {"fun.bmp", 800, 600},
    };
    for (const Expected &e : all) {
        Picture p(e.file);
        ASSERT_NE(p.s, nullptr) << e.file;
        if (e.w) {
            EXPECT_EQ(p.w(), e.w) << e.file;
        }
        if (e.h) {
            EXPECT_EQ(p.h(), e.h) << e.file;
        }
    }
    // Pictures placed by their top-left corner: widths that centre them where the scenes draw them.
    const struct {
        const char *file;
        int w;
    } centred[] = {{"qfx_logo.bmp", 620}, {"presents.bmp", 266}, {"lanternfaylogo.bmp", 700}, {"greets.bmp", 624},
                   {"5tide_title.bmp", 300}, {"vexmoor_title.bmp", 270}, {"palundo_title.bmp", 150},
                   {"kb_title.bmp", 244}, {"hope.bmp", 510}, {"visions.bmp", 462}};
    for (auto &c : centred)
        EXPECT_EQ(Picture(c.file).w(), c.w) << c.file;
    Picture sheet("fonts64.bmp");
    EXPECT_GE(sheet.w(), 790);
    EXPECT_GE(sheet.h(), 192);
    Picture leaves("leaves.bmp");
    EXPECT_LE(leaves.h(), 70);
    for (const char *f : {"end_clipfart_1.bmp", "end_clipfart_2.bmp"}) {
        Picture p(f);
        EXPECT_LE(p.w(), 300) << f;
        EXPECT_LE(p.h(), 350) << f;
    }
    for (const char *f : {"seed_1.bmp", "seed_2.bmp"}) {
        Picture p(f);
        EXPECT_GE(p.w(), 16) << f;
        EXPECT_LE(p.w(), 40) << f;
    }
    EXPECT_LT(Picture("seed_2.bmp").w(), Picture("seed_1.bmp").w());
}

TEST(DataPictures, GroundMapsHaveReliefAndDetailAndWrapVertically)
{
    for (const char *f : {"bg_muddy_bumps.bmp", "bg_grassybumps.bmp"}) {
        Picture p(f);
        int lo = 255, hi = 0;
        for (int y = 0; y < p.h(); y++)
            for (int x = 0; x < p.w(); x++) {
                lo = std::min(lo, p.red(x, y));
                hi = std::max(hi, p.red(x, y));
            }
        EXPECT_LT(lo, 40) << f;    // the heights use the whole range
        EXPECT_GT(hi, 215) << f;
        EXPECT_GT(channel_spread(p, 0), 25.0) << f;
    }
    for (const char *f : {"bg_muddy.bmp", "bg_snow.bmp", "bg_grassy.bmp", "bg_muddy_bumps.bmp", "bg_grassybumps.bmp"}) {
        Picture p(f);
        EXPECT_GT(channel_spread(p, 1), 6.0) << f << ": a texture, not a flat colour";
        EXPECT_TRUE(wraps(p, true)) << f << ": row 255 must meet row 0";
    }
}

TEST(DataPictures, GlowsFallOffFromTheirCentres)
{
    for (const char *f : {"flare_big.bmp", "flare_small.bmp"}) {
        Picture p(f);
        int cx = p.w() / 2, cy = p.h() / 2;
        EXPECT_GT(p.blue(cx, cy), 240) << f;
        EXPECT_GT(p.blue(cx, cy), p.blue(cx + p.w() / 8, cy + 1)) << f;
        EXPECT_GT(p.blue(cx + p.w() / 8, cy + 1), p.blue(cx + p.w() / 3, cy + 1)) << f;
        for (int i = 0; i < p.w(); i++) {   // no edge shows once blue becomes alpha / 4
            EXPECT_LT(p.blue(i, 0), 4) << f;
            EXPECT_LT(p.blue(i, p.h() - 1), 4) << f;
            EXPECT_LT(p.blue(0, i), 4) << f;
            EXPECT_LT(p.blue(p.w() - 1, i), 4) << f;
        }
    }
    Picture sun("sunflare.bmp");
    EXPECT_GT(sun.red(256, 153), 240);
    EXPECT_GT(sun.red(256, 153), sun.red(256 + 40, 153 + 13));
    EXPECT_GT(sun.red(256 + 40, 153 + 13), sun.red(256 + 170, 153 + 60));
    for (int x = 0; x < sun.w(); x++) {
        EXPECT_EQ(sun.red(x, 0), 0);
        EXPECT_EQ(sun.red(x, sun.h() - 1), 0);
    }
}

TEST(DataPictures, SpritesAreOpaqueInsideAndTransparentAtTheirEdges)
{
    const char *sprites[] = {"qfx_logo.bmp", "lanternfaylogo.bmp", "presents.bmp", "seed_1.bmp", "seed_2.bmp",
                             "greets.bmp", "end_clipfart_1.bmp", "end_clipfart_2.bmp", "5tide_title.bmp",
                             "vexmoor_title.bmp", "palundo_title.bmp", "kb_title.bmp", "hope.bmp", "visions.bmp",
                             "fun.bmp"};
    for (const char *f : sprites) {
        Picture p(f);
        int brightest = 0, border = 0;
        for (int y = 0; y < p.h(); y++)
            for (int x = 0; x < p.w(); x++) {
                brightest = std::max(brightest, p.green(x, y));
                if (x == 0 || y == 0 || x == p.w() - 1 || y == p.h() - 1)
                    border = std::max(border, p.green(x, y));
            }
        EXPECT_GE(brightest, f == std::string("seed_2.bmp") ? 150 : 230) << f;
        EXPECT_LE(border, 12) << f << ": the sprite's rectangle would show";
    }
    // The leaves repeat every 800 columns: column 799 runs on into column 0.
    Picture leaves("leaves.bmp");
    EXPECT_TRUE(wraps(leaves, false));
    EXPECT_GT(channel_spread(leaves, 1), 30.0);
}

TEST(DataPictures, ColumnTexturesWrapAroundAndBulgeSmoothly)
{
    for (const char *f : {"emerald.bmp", "emerald2.bmp"}) {
        Picture p(f);
        EXPECT_TRUE(wraps(p, false)) << f << ": column 359 must meet column 0";
        // Blue pushes the outline out by blue / 2 pixels: it must not jump.
        int steepest = 0;
        for (int y = 0; y < p.h(); y++)
            for (int x = 0; x < p.w(); x++) {
                int right = p.blue((x + 1) % p.w(), y), below = p.blue(x, std::min(y + 1, p.h() - 1));
                steepest = std::max({steepest, std::abs(right - p.blue(x, y)), std::abs(below - p.blue(x, y))});
            }
        EXPECT_LE(steepest, 6) << f;
        EXPECT_GT(channel_spread(p, 2), 5.0) << f << ": the outline should bulge somewhere";
        // The outline swells by blue / 2 pixels: the whole range of blue lets the
        // column fill its band at the bulges and narrow between them.
        int lowest = 255, highest = 0;
        double sum = 0;
        for (int y = 0; y < p.h(); y++)
            for (int x = 0; x < p.w(); x++) {
                lowest = std::min(lowest, p.blue(x, y));
                highest = std::max(highest, p.blue(x, y));
                sum += p.blue(x, y);
            }
        EXPECT_LE(lowest, 8) << f;
        EXPECT_GE(highest, 247) << f;
        double mean = sum / ((double)p.w() * p.h());
        EXPECT_GT(mean, 100.0) << f;
        EXPECT_LT(mean, 156.0) << f;
    }
    EXPECT_TRUE(wraps(Picture("strip.bmp"), true)) << "the strip scrolls without a seam";
}

TEST(DataPictures, FontSheetHoldsOneGlyphPerCellAndBlackElsewhere)
{
    Picture sheet("fonts64.bmp");
    std::vector<std::vector<bool>> in_cell(sheet.h(), std::vector<bool>(sheet.w(), false));
    for (int i = 0; FONT_GLYPH_RECTS[i]; i++) {
        const GlyphRect &r = *FONT_GLYPH_RECTS[i];
        ASSERT_LE(r.x + r.w, sheet.w());
        ASSERT_LE(r.y + r.h, sheet.h());
        int ink = 0;
        for (int y = r.y; y < r.y + r.h; y++)
            for (int x = r.x; x < r.x + r.w; x++) {
                in_cell[y][x] = true;
                if (sheet.blue(x, y) > 200)
                    ink++;
            }
        EXPECT_GT(ink, 30) << "glyph " << FONT_CHARACTERS[i];
        // The glyph stays within its width: its cell's outer columns are dark,
        // so neighbours never bleed into each other.
        for (int y = r.y; y < r.y + r.h; y++) {
            EXPECT_EQ(sheet.blue(r.x, y), 0) << "glyph " << FONT_CHARACTERS[i] << " row " << y;
            EXPECT_EQ(sheet.blue(r.x + r.w - 1, y), 0) << "glyph " << FONT_CHARACTERS[i] << " row " << y;
        }
    }
    int lit_outside = 0;
    for (int y = 0; y < sheet.h(); y++)
        for (int x = 0; x < sheet.w(); x++)
            if (!in_cell[y][x] && sheet.blue(x, y) != 0)
                lit_outside++;
    EXPECT_EQ(lit_outside, 0);
    // Cut as the show cuts it, 'i' is narrow and opaque in its middle.
    Font *font = font_new(sheet.s, FONT_CHARACTERS, FONT_GLYPH_RECTS);
    SDL_Surface *i = font_find_glyph(font, 'i');
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(i->w, 22);
    int opaque = 0;
    for (int y = 0; y < i->h; y++)
        if ((pixel_at(i, 11, y) >> 24) > 200)
            opaque++;
    EXPECT_GT(opaque, 25);
    font_free(font);
}

namespace {

// How a tinted word's alpha (its green) falls off at the rim: soft pixels
// far from any solid one (blur, glow), and soft pixels per pixel of rim.
struct Rim {
    int stray = 0;
    double width = 0;
};
const int EMPTY = 8, FULL = 247;

int green_clamped(const Picture &p, int x, int y)
{
    return p.green(std::clamp(x, 0, p.w() - 1), std::clamp(y, 0, p.h() - 1));
}

Rim rim_of(const Picture &p)
{
    auto g = [&](int x, int y) { return green_clamped(p, x, y); };
    int partial = 0, rim = 0;
    Rim r;
    for (int y = 0; y < p.h(); y++)
        for (int x = 0; x < p.w(); x++) {
            int v = g(x, y);
            if (v >= FULL && (g(x - 1, y) < FULL || g(x + 1, y) < FULL || g(x, y - 1) < FULL || g(x, y + 1) < FULL))
                rim++;
            if (v <= EMPTY || v >= FULL)
                continue;
            partial++;
            bool near_full = false;
            for (int dy = -3; dy <= 3; dy++)
                for (int dx = -3; dx <= 3; dx++)
                    near_full |= g(x + dx, y + dy) >= FULL;
            r.stray += !near_full;
        }
    r.width = rim ? (double)partial / rim : 1e9;
    return r;
}

// The number of 4-connected pieces of ink.
int pieces_of(const Picture &p)
{
    std::vector<bool> seen((size_t)p.w() * p.h(), false);
    int pieces = 0;
    for (int start = 0; start < (int)seen.size(); start++) {
        if (seen[start] || p.green(start % p.w(), start / p.w()) <= EMPTY)
            continue;
        pieces++;
        std::vector<int> stack = {start};
        seen[start] = true;
        while (!stack.empty()) {
            int i = stack.back(), x = i % p.w(), y = i / p.w();
            stack.pop_back();
            const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (auto &n : next) {
                if (n[0] < 0 || n[1] < 0 || n[0] >= p.w() || n[1] >= p.h())
                    continue;
                int j = n[1] * p.w() + n[0];
                if (!seen[j] && p.green(n[0], n[1]) > EMPTY) {
                    seen[j] = true;
                    stack.push_back(j);
                }
            }
        }
    }
    return pieces;
}

}  // namespace

TEST(DataPictures, TintedWordsAreSolidWithANarrowRim)
{
    // Scenes 5 and 6 tint these words dark, scene 1 its first card white
    // over a pale haze; each takes its alpha from green: letters at full
    // green, a rim of two or three anti-aliased pixels, no glow. "fun!" has
    // nothing else around it (f, u, n, and the two parts of '!').
    const struct {
        const char *file;
        int pieces;   // 0: not counted
    } words[] = {{"fun.bmp", 5}, {"hope.bmp", 0}, {"visions.bmp", 0}, {"qfx_logo.bmp", 0}};
    for (auto &word : words) {
        Picture p(word.file);
        Rim r = rim_of(p);
        EXPECT_EQ(r.stray, 0) << word.file << ": soft pixels away from a letter's rim";
        EXPECT_GE(r.width, 1.5) << word.file;
        EXPECT_LE(r.width, 3.5) << word.file;
        if (word.pieces) {
            EXPECT_EQ(pieces_of(p), word.pieces) << word.file;
        }
    }
}

namespace {

// Every ring colour that scene 2 lays under its text's rows (230 to 369),
// sampled every 2 position units through the scene with the scene's own
// warp, centre and colour offsets.
std::vector<uint32_t> ring_colours_under_the_text()
{
    std::vector<uint8_t> map(800 * 600);
    for (int y = 0; y < 600; y++)
        for (int x = 0; x < 800; x++) {
            double dx = 400 - x, dy = 300 - y;
            map[y * 800 + x] = (uint8_t)(int)(255.0 - (int)std::sqrt(dx * dx + dy * dy) / 500.0 * 255.0);
        }
    SDL_Surface *rings = argb_surface_new(800, 600);
    std::vector<bool> seen(1 << 24, false);
    std::vector<uint32_t> colours;
    int previous_row = 0, previous_column = 0;
    for (int step = 0; step <= 500; step++) {
        float p = 2.0f * step;
        double a3 = (double)(3.0f * p) * M_PI / 180.0, a2 = (double)(2.0f * p) * M_PI / 180.0;
        float A = (float)(std::pow(std::sin(a3), 3) + std::pow(std::cos(a3), 3));
        float B = (float)(std::pow(std::cos(a2), 2) - std::pow(std::sin(a2), 2));
        int cx = (int)(100.0f * A + 400.0f), cy = (int)(100.0f * B + 300.0f);
        auto offset = [](float v) { return (uint8_t)((int)(8.0f * v) & 0xFF); };
        ring_warp(rings, map.data(), (float)(cx / 400.0), (float)((799 - cx) / 400.0), (float)(cy / 300.0),
                  (float)((599 - cy) / 300.0), WarpChannel{offset(p + 250.0f), 0xFE},
                  WarpChannel{offset(p + 500.0f), 0xFE}, WarpChannel{offset(p), 0xFE}, previous_row, previous_column);
        for (int y = 230; y <= 369; y++)
            for (int x = 0; x < 800; x++) {
                uint32_t c = pixel_at(rings, x, y) & 0xFFFFFF;
                if (!seen[c]) {
                    seen[c] = true;
                    colours.push_back(c);
                }
            }
    }
    SDL_FreeSurface(rings);
    return colours;
}

}  // namespace

TEST(DataPictures, ScrollLettersStandCloseAndDarkenRingsAtFullStrength)
{
    // Scene 2 blits each glyph onto its black scroll buffer by the glyph's
    // alpha and darkens the rings under the buffer by its blue byte t: blue
    // towards 10, green towards 40, red by a quarter. At full strength that
    // parts a letter from every ring colour the scene lays under its rows by
    // at least 40 in RGB distance (the red rings whose green and blue lie near 40 and 10 set
    // that bound, and only the scene's rule could raise it); a soft letter
    // darkens less and sinks into them.
    const std::vector<uint32_t> rings = ring_colours_under_the_text();
    Picture sheet("fonts64.bmp");
    Font *font = font_new(sheet.s, FONT_CHARACTERS, FONT_GLYPH_RECTS);
    const std::string text = "marrowind 2o1o... lanternfay is upon us!";
    double gap_sum = 0;
    int letters = 0;
    for (char ch : text) {
        SDL_Surface *glyph = font_find_glyph(font, ch);
        if (!glyph)
            continue;
        SDL_Surface *buffer = argb_surface_new(glyph->w, glyph->h);
        SDL_FillRect(buffer, nullptr, 0xFF000000);
        SDL_BlitSurface(glyph, nullptr, buffer, nullptr);
        std::vector<int> strengths;
        int left = glyph->w, right = -1;
        for (int y = 0; y < glyph->h; y++)
            for (int x = 0; x < glyph->w; x++) {
                int t = pixel_at(buffer, x, y) & 0xFF;
                if (t < 16)
                    continue;
                strengths.push_back(t);
                left = std::min(left, x);
                right = std::max(right, x);
            }
        SDL_FreeSurface(buffer);
        ASSERT_FALSE(strengths.empty()) << ch;
        std::sort(strengths.begin(), strengths.end());
        int t = strengths[strengths.size() / 4];   // three quarters of the ink is at least this strong
        double weakest = 1e9;
        for (uint32_t c : rings) {
            int r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
            // the scene's byte arithmetic: below 10 or 40 the difference wraps, as it does there
            int red = r - (t * r / 255 >> 2), green = (g - (t * ((g - 40) & 0xFF) / 255)) & 0xFF,
                blue = (b - (t * ((b - 10) & 0xFF) / 255)) & 0xFF;
            double d = std::sqrt((double)(r - red) * (r - red) + (g - green) * (g - green) + (b - blue) * (b - blue));
            weakest = std::min(weakest, d);
        }
        EXPECT_GE(weakest, 40.0) << "glyph " << ch << ", lower quartile of strength " << t;
        gap_sum += glyph->w - (right - left + 1);
        letters++;
    }
    font_free(font);
    // The text advances by whole cells: glyphs that fill them read as words.
    EXPECT_LE(gap_sum / letters, 14.0) << "mean empty columns per cell";
}

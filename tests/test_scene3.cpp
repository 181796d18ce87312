// Scene 3 through its steps: the clock and its counters, the cross-fade
// windows, the column's spans and where they may land, and the strip.
#include <gtest/gtest.h>
#include <cmath>
#include <vector>
#include "scenes.h"
#include "shell.h"
#include "support.h"

namespace {

constexpr double PI = 3.14159265358979323846;

constexpr uint32_t EMERALD = 0xFF00C000;    // green 192, blue 0: the thinnest column
constexpr uint32_t EMERALD2 = 0xFFA0C0E0;
constexpr uint32_t ELF = 0xFF405060;
constexpr int STRIP_W = 78;

// A picture as SDL_LoadBMP gives it: 24 bits, or 32 bits whose fourth byte
// is not declared as alpha.
SDL_Surface *loaded_picture(int width, int height, int depth, uint32_t colour)
{
    SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, depth, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    SDL_FillRect(s, nullptr, colour);
    return s;
}

class Scene3Test : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        open_test_screen();
        backbuffer = argb_surface_new(800, 600);
    }
    static void TearDownTestSuite()
    {
        SDL_FreeSurface(backbuffer);
        backbuffer = nullptr;
        SDL_Quit();
    }

    void SetUp() override
    {
        show = new ShowState();
        show->running.store(1);
        show->flash.store(0.0f);
        transition_id = 4;   // no fade-in: frames are shown as drawn
        scene3 = new Scene3State();
        scene3->active.store(1);
        scene3->cos_table[0] = 1.0f;
        for (int k = 1; k < 180; ++k)
            scene3->cos_table[k] = (float)sin((90 + k) * PI / 180);
        for (int i = 0; i < 115; ++i)
            scene3->shade[i] = (int32_t)(pow(sin(i / 115.0 * 180 * PI / 180), 8) * 128 + 128);
        for (int y = 0; y < 600; ++y)
            for (int c = 0; c < 360; ++c) {
                scene3->twist[y][c] = (int32_t)(y * sin(c * PI / 180));
                scene3->radius[y][c] = (float)(sin((y + c) * PI / 180) * 20 + 60);
            }
        BitmapTable[BITMAP_EMERALD] = loaded_picture(360, 600, 24, EMERALD);
        BitmapTable[BITMAP_ELF] = loaded_picture(350, 600, 24, ELF);
        BitmapTable[BITMAP_EMERALD_2] = loaded_picture(360, 600, 24, EMERALD2);
        BitmapTable[BITMAP_STRIP] = loaded_picture(STRIP_W, 600, 32, 0x80FFFFFF);   // white, half opaque
        SDL_FillRect(screen, nullptr, 0);
    }
    void TearDown() override
    {
        scene3_finish();
        for (int i : {1, 2, 24, 25}) {
            SDL_FreeSurface(BitmapTable[i]);
            BitmapTable[i] = nullptr;
        }
        delete scene3;
        delete show;
        scene3 = nullptr;
        show = nullptr;
    }

    void frame_at(Scene3Render &r, float pos)
    {
        scene3->position.store(pos);
        scene3_draw_frame(r);
    }

    static std::vector<uint32_t> copy_of(SDL_Surface *s)
    {
        std::vector<uint32_t> out;
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x)
                out.push_back(pixel_at(s, x, y));
        return out;
    }
};

} // namespace

TEST_F(Scene3Test, ClockEndsAfter24999MillisecondsOrWhenTheShowStops)
{
    Scene3Clock c;
    scene3_clock_begin(c);
    scene3_clock_pass(c, 12500);
    EXPECT_FLOAT_EQ(scene3->position.load(), 500.0f);
    scene3_clock_pass(c, 24999);
    EXPECT_EQ(scene3->active.load(), 1);
    scene3_clock_pass(c, 25000);
    EXPECT_EQ(scene3->active.load(), 0);
    EXPECT_FLOAT_EQ(scene3->position.load(), 1000.0f);

    scene3->active.store(1);
    show->running.store(0);
    scene3_clock_pass(c, 10);
    EXPECT_EQ(scene3->active.load(), 0);
}

TEST_F(Scene3Test, CountersMoveOncePerPassAndPhaseWrapsAfter359)
{
    Scene3Clock c;
    scene3_clock_begin(c);
    scene3_clock_pass(c, 5);
    scene3_clock_pass(c, 5000);   // the elapsed time does not matter to them
    EXPECT_FLOAT_EQ(scene3->spin.load(), 0.2f);
    EXPECT_FLOAT_EQ(scene3->line_phase.load(), 0.6f);
    EXPECT_FLOAT_EQ(scene3->phase.load(), 0.2f);
    int passes = 2;
    while (scene3->phase.load() <= 359.0f && passes < 5000) {
        scene3_clock_pass(c, 10);
        ++passes;
    }
    ASSERT_LT(passes, 5000);
    EXPECT_GT(passes, 3580);
    float top = scene3->phase.load();
    EXPECT_LT(top, 360.0f) << "trunc(phase) stays within 0..359";
    scene3_clock_pass(c, 10);
    EXPECT_EQ(scene3->phase.load(), 0.0f);
    scene3_clock_pass(c, 10);
    EXPECT_FLOAT_EQ(scene3->phase.load(), 0.1f);
}

TEST_F(Scene3Test, CrossFadesOnlyInsideTheirWindows)
{
    scene3_prepare();
    Scene3Render r;
    scene3_render_begin(r);
    SDL_Surface *work = scene3->work_surface;
    auto colour_of = [&]() { return pixel_at(work, 17, 33) & 0x00FFFFFF; };

    std::vector<uint32_t> start = copy_of(work);
    frame_at(r, 199.9f);
    EXPECT_TRUE(copy_of(work) == start) << "before 200 nothing is blended";

    frame_at(r, 200.0f);   // a blend at opacity 0: colours stay, the alpha counts it
    EXPECT_EQ(colour_of(), EMERALD & 0x00FFFFFF);
    EXPECT_NE(copy_of(work), start);

    frame_at(r, 225.0f);   // opacity 127: about half way to emerald2
    uint32_t half = colour_of();
    EXPECT_NEAR((int)((half >> 16) & 0xFF), 0x50, 2);
    EXPECT_NEAR((int)((half >> 8) & 0xFF), 0xC0, 2);
    EXPECT_NEAR((int)(half & 0xFF), 0x70, 2);

    std::vector<uint32_t> middle = copy_of(work);
    frame_at(r, 250.0f);
    frame_at(r, 400.0f);
    frame_at(r, 499.9f);
    EXPECT_TRUE(copy_of(work) == middle) << "250 to 500 leaves the texture alone";

    frame_at(r, 500.0f);
    EXPECT_EQ(colour_of(), half) << "opacity 0 at exactly 500";
    frame_at(r, 549.0f);   // opacity 249: nearly back to emerald
    uint32_t back = colour_of();
    EXPECT_NEAR((int)((back >> 16) & 0xFF), 0x00, 3);
    EXPECT_NEAR((int)(back & 0xFF), 0x00, 3);

    std::vector<uint32_t> after = copy_of(work);
    frame_at(r, 550.0f);
    frame_at(r, 900.0f);
    EXPECT_TRUE(copy_of(work) == after) << "from 550 on nothing is blended";
}

TEST_F(Scene3Test, ColumnRowSpansTheHalfCylinder)
{
    scene3_prepare();
    Scene3Render r;
    scene3_render_begin(r);
    frame_at(r, 10.0f);
    // Row 0, phase 0, spin 0, blue 0: radius 60, so sample 0 sits at 188 and
    // sample 114 at trunc(60 cos 114 + 128) = 103. Sample 0 only starts the
    // span; the spans cover 187 down to 103.
    auto green = [](int x) { return (pixel_at(backbuffer, x, 0) >> 8) & 0xFF; };
    EXPECT_EQ(green(188), 0u);
    EXPECT_EQ(green(102), 0u);
    for (int x = 103; x <= 187; ++x)
        ASSERT_NE(green(x), 0u) << x;
    // Sample 1 is shaded by 128 (192 -> 96), then the band is dimmed by 5 (-> 94).
    EXPECT_EQ(green(187), 94u);
    // The column's pixels are opaque, whatever alpha the texture has come to.
    EXPECT_EQ(pixel_at(backbuffer, 150, 0) >> 24, 0xFFu);
}

TEST_F(Scene3Test, ColumnStaysOpaqueAfterACrossFade)
{
    scene3_prepare();
    Scene3Render r;
    scene3_render_begin(r);
    for (int i = 0; i < 40; ++i)   // each blend adds 255 to the texture's alpha (mod 256)
        frame_at(r, 200.0f + i);
    ASSERT_NE(pixel_at(scene3->work_surface, 0, 0) >> 24, 0xFFu);
    frame_at(r, 300.0f);
    for (int y = 0; y < 600; y += 50)
        EXPECT_EQ(pixel_at(backbuffer, 150, y) >> 24, 0xFFu) << y;
}

TEST_F(Scene3Test, NothingIsDrawnRightOfTheDimmedBand)
{
    // Blue 255 everywhere makes the widest column possible.
    SDL_FillRect(BitmapTable[BITMAP_EMERALD], nullptr, 0x0000FF);
    scene3_prepare();
    std::vector<uint32_t> start = copy_of(backbuffer);
    Scene3Render r;
    scene3_render_begin(r);
    int widest = -1;
    for (int phase = 0; phase < 360; phase += 7) {
        scene3->phase.store((float)phase);
        scene3->spin.store(phase * 1.3f);
        frame_at(r, 100.0f);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                uint32_t now = pixel_at(backbuffer, x, y);
                if (x >= 336)
                    ASSERT_EQ(now, start[y * 800 + x]) << x << "," << y << " phase " << phase;
                else if ((now & 0xFF) != 0)
                    widest = std::max(widest, x);
            }
    }
    EXPECT_GE(widest, 300) << "the column was drawn";
}

// Row y of the strip coded in its colour (blue y % 256, green y / 256), with
// the given fourth byte, which the strip never takes as alpha.
void code_strip_rows(SDL_Surface *strip, uint32_t fourth_byte)
{
    for (int y = 0; y < strip->h; ++y) {
        uint32_t *row = (uint32_t *)((uint8_t *)strip->pixels + y * strip->pitch);
        for (int x = 0; x < strip->w; ++x)
            row[x] = fourth_byte << 24 | (uint32_t)(y / 256) << 8 | (uint32_t)(y % 256);
    }
}

int strip_row_at(int x, int y) { return (int)(pixel_at(screen, x, y) & 0xFF) + 256 * (int)((pixel_at(screen, x, y) >> 8) & 0xFF); }

TEST_F(Scene3Test, StripCopiesScrollDownAndMeetAtZero)
{
    code_strip_rows(BitmapTable[25], 0x80);   // half a byte of "alpha": drawn opaque all the same
    scene3_prepare();
    Scene3Render r;
    scene3_render_begin(r);
    // Position 0: s = 0 and (0 - 600) % 600 = 0: both copies land on the same
    // rows, the strip exactly in place.
    frame_at(r, 0.0f);
    for (int y = 0; y < 600; y += 23) {
        EXPECT_EQ(strip_row_at(361, y), y) << y;
        EXPECT_EQ(strip_row_at(361 + STRIP_W - 1, y), y) << y;
        EXPECT_EQ(pixel_at(screen, 361, y) & 0x00FF0000, 0u) << y;   // not blended with anything
    }
    EXPECT_EQ(pixel_at(screen, 361 + STRIP_W, 0) & 0x00FFFFFF, 0u);
    // Position 100: s = 300; the copy at 300 covers the lower half, the one at
    // -300 the upper: the strip moved down by 300 rows, wrapping.
    SDL_FillRect(screen, nullptr, 0);
    frame_at(r, 100.0f);
    for (int y = 0; y < 600; y += 23)
        EXPECT_EQ(strip_row_at(400, y), (y + 300) % 600) << y;
}

TEST_F(Scene3Test, AThirtyTwoBitStripWithZeroFourthBytesIsDrawnOpaque)
{
    // As an image editor saves it: 32 bits per pixel, no alpha declared, and
    // every fourth byte 0. Loaded the way the show loads its pictures.
    const int height = 600;
    std::vector<uint8_t> file(54 + STRIP_W * height * 4, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = (uint8_t)(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, (uint32_t)file.size());
    put32(10, 54);
    put32(14, 40);
    put32(18, STRIP_W);
    put32(22, height);
    file[26] = 1;    // planes
    file[28] = 32;   // bits per pixel; compression 0: plain
    for (size_t i = 54; i < file.size(); i += 4) {
        file[i] = 0x30;       // blue
        file[i + 1] = 0x90;   // green
        file[i + 2] = 0xE0;   // red
    }
    SDL_Surface *loaded = SDL_LoadBMP_RW(SDL_RWFromMem(file.data(), (int)file.size()), 1);
    ASSERT_NE(loaded, nullptr) << SDL_GetError();
    ASSERT_EQ(loaded->format->BitsPerPixel, 32);
    SDL_FreeSurface(BitmapTable[25]);
    BitmapTable[25] = loaded;

    scene3_prepare();
    Scene3Render r;
    scene3_render_begin(r);
    frame_at(r, 10.0f);
    for (int y = 0; y < 600; y += 23)
        for (int x : {361, 400, 361 + STRIP_W - 1})
            EXPECT_EQ(pixel_at(screen, x, y) & 0x00FFFFFF, 0x00E09030u) << x << "," << y;
}

TEST_F(Scene3Test, AStripOfAnotherDepthIsDrawnOpaque)
{
    SDL_FreeSurface(BitmapTable[BITMAP_STRIP]);
    BitmapTable[BITMAP_STRIP] = loaded_picture(STRIP_W, 600, 24, 0x00FFFFFF);
    scene3_prepare();
    Scene3Render r;
    scene3_render_begin(r);
    frame_at(r, 10.0f);
    for (int y = 0; y < 600; y += 23)
        EXPECT_EQ(pixel_at(screen, 400, y) & 0x00FFFFFF, 0x00FFFFFFu) << y;
}

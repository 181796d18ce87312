// Loading the 33 pictures: their fixed order, and what a person sees when
// one is missing or the paths do not fit.
#include <gtest/gtest.h>
#include <filesystem>
#include <string>
#include "shell.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

// The scenes address the pictures by these indices.
const char *const NAMES[33] = {
    "bg_muddy",        "emerald",          "elf",           "bg_muddy_bumps", "bg_snow",
    "bg_grassy",       "bg_grassybumps",   "bg_introlandscape", "flare_big",  "flare_small",
    "sunflare",        "fonts64",          "BirdGnome",     "qfx_logo",       "lanternfaylogo",
    "presents",        "summerroad",       "cityscape",     "seed_1",         "seed_2",
    "greets",          "end_clipfart_1",   "end_clipfart_2", "leaves",        "emerald2",
    "strip",           "5tide_title",      "vexmoor_title", "palundo_title",  "kb_title",
    "hope",            "visions",          "fun",
};

// A folder with a data/ of 33 small BMPs, picture i being 10 + i pixels wide.
class BitmapsTest : public ::testing::Test {
protected:
    fs::path folder;

    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("lanternfay-bitmaps-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder / "data");
        for (int i = 0; i < 33; ++i) {
            SDL_Surface *s = test_surface(10 + i, 3, 0xFF000000u | (uint32_t)i);
            ASSERT_EQ(SDL_SaveBMP(s, path_of(i).c_str()), 0);
            SDL_FreeSurface(s);
        }
        for (SDL_Surface *&entry : BitmapTable)
            entry = nullptr;
    }
    void TearDown() override
    {
        free_bitmaps();
        fs::remove_all(folder);
    }
    std::string path_of(int i) const { return (folder / "data" / (std::string(NAMES[i]) + ".bmp")).string(); }
};

} // namespace

TEST_F(BitmapsTest, LoadsThe33PicturesInTheirOrder)
{
    ASSERT_TRUE(load_bitmaps(folder.string().c_str()));
    for (int i = 0; i < 33; ++i) {
        ASSERT_NE(BitmapTable[i], nullptr) << NAMES[i];
        EXPECT_EQ(BitmapTable[i]->w, 10 + i) << NAMES[i];
        EXPECT_EQ(pixel_at(BitmapTable[i], 0, 0) & 0xFF, (uint32_t)i) << NAMES[i];
    }
    EXPECT_EQ(BitmapTable[BITMAP_COUNT], nullptr);
}

TEST_F(BitmapsTest, AMissingPictureIsNamedAndNothingStaysLoaded)
{
    fs::remove(path_of(17));
    testing::internal::CaptureStdout();
    bool loaded = load_bitmaps(folder.string().c_str());
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(loaded);
    EXPECT_NE(said.find(path_of(17)), std::string::npos) << said;
    EXPECT_NE(said.find(SDL_GetError()), std::string::npos) << said;
    for (int i = 0; i < 34; ++i)
        EXPECT_EQ(BitmapTable[i], nullptr) << i;   // the 17 loaded before it were freed
}

// A copy of the data under a working directory of exactly `length` characters.
static fs::path directory_of_length(const fs::path &data, size_t length)
{
    fs::path deep = data.parent_path();
    while (deep.string().size() + 1 < length) {
        size_t room = length - deep.string().size() - 1;
        deep /= std::string(room > 60 ? 50 : room, 'd');
    }
    fs::create_directories(deep);
    fs::copy(data, deep / "data");
    return deep;
}

TEST_F(BitmapsTest, PathsLongerThanTheBufferAreRefusedNotOverflowed)
{
    EXPECT_EQ(longest_working_directory(), 228u);   // 256 - "/data/bg_introlandscape.bmp" - NUL
    fs::path fits = directory_of_length(folder / "data", 228);
    ASSERT_EQ(fits.string().size(), 228u);
    ASSERT_TRUE(load_bitmaps(fits.string().c_str()));
    free_bitmaps();

    // One more character: the first seven paths still fit, the eighth
    // (data/bg_introlandscape.bmp) would not.
    fs::path too_deep = directory_of_length(folder / "data", 229);
    ASSERT_EQ(too_deep.string().size(), 229u);
    testing::internal::CaptureStdout();
    bool loaded = load_bitmaps(too_deep.string().c_str());
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(loaded);
    EXPECT_NE(said.find("data/bg_introlandscape.bmp"), std::string::npos) << said;
    EXPECT_NE(said.find("too long"), std::string::npos) << said;
    for (int i = 0; i < 34; ++i)
        EXPECT_EQ(BitmapTable[i], nullptr) << i;   // the seven loaded before it were freed
}

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

// What load_bitmaps says (standard output) when it fails.
// Paths as the loader spells them: the working directory, then "/data/...".
static std::string spelled(const fs::path &folder, const std::string &rest) { return folder.string() + "/" + rest; }

static std::string failure_of(const fs::path &folder)
{
    testing::internal::CaptureStdout();
    bool loaded = load_bitmaps(folder.string().c_str());
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(loaded);
    for (int i = 0; i < 34; ++i)
        EXPECT_EQ(BitmapTable[i], nullptr) << i;
    return said;
}

TEST_F(BitmapsTest, ADamagedPictureIsNamedAsDamaged)
{
    // Cut inside its header: SDL alone would call it a compressed BMP.
    fs::resize_file(path_of(5), 30);
    std::string said = failure_of(folder);
    EXPECT_NE(said.find(spelled(folder, "data/bg_grassy.bmp")), std::string::npos) << said;
    EXPECT_NE(said.find("damaged (it ends inside its header, after 30 bytes)"), std::string::npos) << said;
    EXPECT_EQ(said.find("Compressed"), std::string::npos) << said;

    // Whole header, but cut before the pixels begin. (Written here rather
    // than by SDL_SaveBMP, whose header size depends on the SDL underneath.)
    const unsigned char header[54] = {
        'B', 'M', 0x36, 0x10, 0, 0, 0, 0, 0, 0, 0x00, 0x10, 0, 0,   // pixels said to begin at 4096
        40, 0, 0, 0, 15, 0, 0, 0, 3, 0, 0, 0, 1, 0, 24, 0,           // 15 x 3, 24 bits
    };
    FILE *file = std::fopen(path_of(5).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(header, 1, sizeof header, file);
    std::fclose(file);
    said = failure_of(folder);
    EXPECT_NE(said.find("damaged (it ends before its pixels, after 54 bytes)"), std::string::npos) << said;

    // Not a BMP at all.
    file = std::fopen(path_of(5).c_str(), "wb");
    std::fputs("GIF89a, or anything else", file);
    std::fclose(file);
    said = failure_of(folder);
    EXPECT_NE(said.find(spelled(folder, "data/bg_grassy.bmp") + ": the file is not a BMP picture."), std::string::npos)
        << said;

    // A height of -2^31 (rows from the top, of a height with no positive
    // counterpart): SDL 1.2 makes a surface of it with no pixels behind it.
    unsigned char lying[54 + 48] = {
        'B', 'M', 0x66, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,
        40, 0, 0, 0, 15, 0, 0, 0, 0, 0, 0, 0x80, 1, 0, 24, 0,   // 15 x -2^31, 24 bits
    };
    file = std::fopen(path_of(5).c_str(), "wb");
    std::fwrite(lying, 1, sizeof lying, file);
    std::fclose(file);
    said = failure_of(folder);
    EXPECT_NE(said.find(spelled(folder, "data/bg_grassy.bmp") + ": the picture is damaged"), std::string::npos) << said;
}

TEST_F(BitmapsTest, AMissingDataFolderOrAFileInItsPlaceIsNamed)
{
    fs::path data = folder / "data";
    fs::rename(data, folder / "elsewhere");
    std::string said = failure_of(folder);
    EXPECT_NE(said.find("there is no folder " + spelled(folder, "data")), std::string::npos) << said;
    EXPECT_NE(said.find("Run the show from the folder that holds data/"), std::string::npos) << said;

    std::FILE *file = std::fopen(data.string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    said = failure_of(folder);
    EXPECT_NE(said.find(spelled(folder, "data") + " is not a folder"), std::string::npos) << said;
    fs::remove(data);
    fs::rename(folder / "elsewhere", data);
}

TEST_F(BitmapsTest, AnUnreadableDataFolderSaysWhy)
{
    // Neither listed nor searched; listed but not searched (no x): either
    // way the folder is named, not its first picture.
    fs::path data = folder / "data";
    for (fs::perms perms : {fs::perms::none, fs::perms::owner_read}) {
        fs::permissions(data, perms);
        std::error_code probe;
        static_cast<void>(fs::status(path_of(0), probe));
        if (!probe) {
            fs::permissions(data, fs::perms::owner_all);
            GTEST_SKIP() << "permissions do not stop this user (root)";
        }
        std::string said = failure_of(folder);
        fs::permissions(data, fs::perms::owner_all);
        EXPECT_NE(said.find("the folder " + spelled(folder, "data") + " cannot be read (Permission denied)"),
                  std::string::npos)
            << said;
    }
}

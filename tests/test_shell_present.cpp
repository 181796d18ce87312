// The presenter: the fade-in over a scene's first 80 frames, the fade-out
// over its last 200 position units, ids that only flip, and the music fade
// of the last scene.
#include <gtest/gtest.h>
#include <SDL_mixer.h>
#include <cmath>
#include <limits>
#include <vector>
#include "shell.h"
#include "support.h"

namespace {

// A dummy 800 x 600 screen and bare scene records: all the presenter reads.
class PresentTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        open_test_screen();
    }
    static void TearDownTestSuite() { SDL_Quit(); }

    void SetUp() override
    {
        new_bare_records();
        transition_id = 0;
    }
    void TearDown() override { teardown_scenes(); }

    // Presents a white frame with id and gives the level that darkened it:
    // fade_rect caps red at 255 - level.
    static int present_white(int id)
    {
        SDL_FillRect(screen, nullptr, 0xFFFFFFFF);
        present_frame(id);
        return 255 - (int)((pixel_at(screen, 400, 300) >> 16) & 0xFF);
    }
};

} // namespace

TEST_F(PresentTest, FadesInOverTheFirst80FramesOfAScene)
{
    std::vector<int> levels;
    for (int frame = 0; frame < 84; ++frame) {
        levels.push_back(present_white(4));
        if (frame == 0) {   // the first frame is black all over
            for (auto [x, y] : {std::pair{0, 0}, {799, 0}, {0, 599}, {799, 599}})
                EXPECT_EQ(pixel_at(screen, x, y) & 0x00FFFFFF, 0u) << x << ", " << y;
        }
    }
    EXPECT_EQ(levels[0], 255);   // the first frame of a scene is black
    EXPECT_EQ(levels[1], 251);
    EXPECT_EQ(levels[2], 248);
    EXPECT_EQ(levels[3], 245);
    EXPECT_EQ(levels[79], 3);
    for (int frame = 0; frame < 80; ++frame)
        EXPECT_EQ(levels[frame], (int)((80 - frame) / 80.0 * 255.0)) << "frame " << frame;
    for (int frame = 80; frame < 84; ++frame)
        EXPECT_EQ(levels[frame], 0) << "frame " << frame;
    EXPECT_EQ(show->flash.load(), 0.0f);
    EXPECT_EQ(transition_id, 4);
}

TEST_F(PresentTest, EachNewIdStartsANewFadeIn)
{
    for (int frame = 0; frame < 100; ++frame)
        present_white(5);
    EXPECT_EQ(present_white(5), 0);
    EXPECT_EQ(present_white(6), 255);   // the next scene's first frame
    EXPECT_EQ(present_white(6), 251);
    EXPECT_EQ(present_white(5), 255);   // any change counts, even back
}

TEST_F(PresentTest, UnusedIdsOnlyFlipButStillCountAsAChange)
{
    transition_id = 4;
    show->flash.store(0.0f);
    EXPECT_EQ(present_white(2), 0);     // no fade at all
    EXPECT_EQ(show->flash.load(), 80.0f);
    EXPECT_EQ(transition_id, 2);
    EXPECT_EQ(present_white(0), 0);
    EXPECT_EQ(transition_id, 0);
    EXPECT_EQ(show->flash.load(), 80.0f);   // not counted down by an id that only flips
    scene8->position.store(1000.0f);
    EXPECT_EQ(present_white(10), 0);     // above 9: nothing, whatever the positions
    EXPECT_EQ(present_white(9), 255);    // a real scene again: fade-in
}

TEST_F(PresentTest, FadeOutLevelsFollowEachScenesRule)
{
    // Scenes 2 to 6 (ids 3..7) fade in whole position units.
    for (int id = 3; id <= 7; ++id) {
        EXPECT_EQ(fade_out_level(id, 799.9f), 0) << id;
        EXPECT_EQ(fade_out_level(id, 800.0f), 0) << id;
        EXPECT_EQ(fade_out_level(id, 800.9f), 0) << id;
        EXPECT_EQ(fade_out_level(id, 801.0f), 1) << id;
        EXPECT_EQ(fade_out_level(id, 900.0f), 127) << id;
        EXPECT_EQ(fade_out_level(id, 1000.0f), 255) << id;
    }
    // Scenes 7 and 8 (ids 8, 9) fade in fractions of a unit.
    for (int id = 8; id <= 9; ++id) {
        EXPECT_EQ(fade_out_level(id, 800.0f), 0) << id;
        EXPECT_EQ(fade_out_level(id, 800.5f), 0) << id;
        EXPECT_EQ(fade_out_level(id, 800.8f), 1) << id;
        EXPECT_EQ(fade_out_level(id, 950.0f), 191) << id;
    }
    // Scene 1 fades its last 200 of 1800 units.
    EXPECT_EQ(fade_out_level(1, 1599.0f), 0);
    EXPECT_EQ(fade_out_level(1, 1600.0f), 0);
    EXPECT_EQ(fade_out_level(1, 1700.0f), 127);
    EXPECT_EQ(fade_out_level(1, 1800.2f), 255);
    EXPECT_EQ(fade_out_level(1, 1000.0f), 0);
    // Ids without transitions never fade.
    for (int id : {0, 2, 10, -1})
        EXPECT_EQ(fade_out_level(id, 1000.0f), 0) << id;
}

TEST_F(PresentTest, OvershootingPositionsGiveBlackNotMore)
{
    EXPECT_EQ(fade_out_level(6, 1001.25f), 255);   // scene 5's last pass: 256 before the cap
    EXPECT_EQ(fade_out_level(1, 1801.0f), 255);
    const float huge = 1e30f, infinity = std::numeric_limits<float>::infinity();
    for (int id : {1, 3, 5, 7, 8, 9}) {
        EXPECT_EQ(fade_out_level(id, huge), 255) << id;
        EXPECT_EQ(fade_out_level(id, infinity), 255) << id;
        EXPECT_EQ(fade_out_level(id, std::nanf("")), 0) << id;
    }
}

TEST_F(PresentTest, SceneFiveFadesByItsPositionNotItsPath)
{
    for (int frame = 0; frame < 80; ++frame)
        present_white(6);
    scene5->path.store(780.0f);
    scene5->position.store(100.0f);
    EXPECT_EQ(present_white(6), 0);
    scene5->path.store(0.0f);
    scene5->position.store(900.0f);
    EXPECT_EQ(present_white(6), 127);
}

TEST_F(PresentTest, FadeInAndFadeOutMeetOnOneFrame)
{
    scene3->position.store(950.0f);   // fade-out level 191
    EXPECT_EQ(present_white(4), 255);
    for (int frame = 1; frame < 40; ++frame)
        present_white(4);
    EXPECT_EQ(present_white(4), 191);   // fade-in at 127 here, the deeper fade wins
    scene3->position.store(810.0f);     // fade-out level 12
    EXPECT_EQ(present_white(4), 124);   // fade-in (39 frames left) now the deeper
}

TEST_F(PresentTest, LastSceneFadesTheMusicOutOnceAndForAll)
{
    if (!SDL_getenv("SDL_AUDIODRIVER"))
        SDL_putenv(const_cast<char *>("SDL_AUDIODRIVER=dummy"));   // never a real sound device
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0);
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048), 0);
    Mix_Music *music = Mix_LoadMUS("data/lanternfay.ogg");
    if (!music) {
        Mix_CloseAudio();
        GTEST_SKIP() << "needs the generated data/lanternfay.ogg";
    }
    ASSERT_EQ(Mix_PlayMusic(music, 1), 0);
    set_show_music(music);

    scene8->position.store(799.9f);
    present_frame(9);
    EXPECT_EQ(Mix_FadingMusic(), MIX_NO_FADING);
    scene8->position.store(800.0f);
    present_frame(9);
    EXPECT_EQ(Mix_FadingMusic(), MIX_FADING_OUT);

    // Asked again on every frame, the fade still ends about 1.3 s after it began.
    Uint32 start = SDL_GetTicks();
    while (Mix_PlayingMusic() && SDL_GetTicks() - start < 3000) {
        scene8->position.store(800.0f + (SDL_GetTicks() - start) / 15.0f);
        present_frame(9);
        SDL_Delay(5);
    }
    Uint32 silent_after = SDL_GetTicks() - start;
    EXPECT_FALSE(Mix_PlayingMusic());
    EXPECT_GE(silent_after, 1100u);
    EXPECT_LE(silent_after, 1800u);

    set_show_music(nullptr);
    Mix_FreeMusic(music);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// The step-driven player that the frame and capture tools share: ticks, the
// frames each tick presents at a cadence, the scene's end and the tick at
// which a frame first asks the music to fade. Played on scene 8, which is
// cheap to draw. Runs in the build folder (data/).
#include <gtest/gtest.h>
#include <vector>
#include "player.h"

namespace {

class PlayerEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(frames_start_up()); }
    void TearDown() override { frames_shut_down(); }
};
const auto *environment = ::testing::AddGlobalTestEnvironment(new PlayerEnvironment);

}  // namespace

TEST(Player, PlaysToTheClocksEnd)
{
    Player player;
    player_open(player, 8, 1000);   // a frame a second keeps the test quick
    long long steps = 0, frames = 0;
    std::vector<double> costs;
    while (player_step(player, &costs)) {
        EXPECT_EQ(player.tick_frames, player_now_ms(player) % 1000 == 5 ? 1 : 0) << "after " << steps << " steps";
        frames += player.tick_frames;
        steps++;
    }
    // Ticks at 0, 5, ..., 15000 ms; the clock pass at 15005 ms ends the scene.
    EXPECT_TRUE(player.over);
    EXPECT_EQ(steps, 3001);
    EXPECT_EQ(frames, 16);
    EXPECT_EQ(costs.size(), 16u);
    // Position 800 of 1000 comes at 12 s: that frame asks the music to fade.
    EXPECT_EQ(player.music_fade_ms, 12000);
    // Over is over: no more frames.
    EXPECT_FALSE(player_step(player, nullptr));
    EXPECT_EQ(player.tick_frames, 0);
    player_close(player);
}

TEST(Player, SlowerCadenceSkipsTicksFasterDrawsSeveral)
{
    Player player;
    player_open(player, 8, 20);   // a frame every 20 ms, ticks every 5
    std::vector<int> pattern;
    for (int i = 0; i < 8; i++) {
        ASSERT_TRUE(player_step(player, nullptr));
        pattern.push_back(player.tick_frames);
    }
    EXPECT_EQ(pattern, (std::vector<int>{1, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(player.music_fade_ms, -1);
    player_close(player);

    player_open(player, 8, 2);   // frames due at 0, 2, 4, ...: all those up to each tick
    long long frames = 0;
    for (int i = 0; i < 10; i++) {   // ticks 0..45 ms
        ASSERT_TRUE(player_step(player, nullptr));
        frames += player.tick_frames;
    }
    EXPECT_EQ(frames, 23);   // 0, 2, ..., 44
    EXPECT_EQ(player_now_ms(player), 50);
    player_close(player);
}

TEST(Player, FallenBehindDrawsOnlyTheLastFrameDue)
{
    Player player;
    player_open(player, 8, 0);   // the scene's own pace: a frame every 5 ms
    player_skip_frames_before(player, 52);   // frames due at 0..50: only the one at 50 is kept
    std::vector<int> pattern;
    for (int i = 0; i < 12; i++) {   // ticks 0..55 ms
        ASSERT_TRUE(player_step(player, nullptr));
        pattern.push_back(player.tick_frames);
    }
    EXPECT_EQ(pattern, (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1}));
    player_skip_frames_before(player, 30);   // behind what was drawn already: changes nothing
    ASSERT_TRUE(player_step(player, nullptr));
    EXPECT_EQ(player.tick_frames, 1);
    player_close(player);
}

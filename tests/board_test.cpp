// Game state: the random generator and what emptying the board leaves.
#include <gtest/gtest.h>

#include "platform.h"
#include "protocol.h"
#include "testutil.h"

namespace {

TEST(Rnd, SequenceFromSeedZero) {
    seed = 0;
    EXPECT_EQ(rnd(100), 4u);
    EXPECT_EQ(seed, 174680251u);
    EXPECT_EQ(rnd(100), 25u);
    const std::uint32_t before = seed;
    EXPECT_EQ(rnd(0), 0u);
    EXPECT_EQ(seed, before * 367413989u + 174680251u);  // n = 0 still advances
    for (std::uint32_t n : {1u, 7u, 0xffffffffu}) EXPECT_LT(rnd(n), n);
}

TEST(BrainRestart, EmptiesOnlyThePlayingAreaAndKeepsSeed) {
    testutil::NewBoard(20, 20, 77);
    board[15][15] = CELL_MINE;
    board[2][2] = CELL_OPPONENT;
    g_MyLastMove = {15, 15};
    g_CountMove[3] = 9;
    width = height = 10;
    testing::internal::CaptureStdout();
    brain_restart();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "OK\n");
    EXPECT_EQ(board[2][2], CELL_EMPTY);
    EXPECT_EQ(board[15][15], CELL_MINE);  // outside the new area: left alone
    EXPECT_EQ(g_MyLastMove.x, -1);
    EXPECT_EQ(g_CountMove[3], 0);
    EXPECT_EQ(seed, 77u);
    // An old stone outside the area is never a place to play, take back or list.
    EXPECT_FALSE(isFree(15, 15));
    EXPECT_EQ(brain_takeback(15, 15), 2);
    GetAllMove({9, 9}, NO_MOVE);
    EXPECT_EQ(g_CountMove[0], 12);
}

// The injected clock fixes the seed of the default board, and so the whole game.
TEST(BrainInit, SeedComesFromTheInjectedClock) {
    plat::SetTickSource(+[]() -> std::uint32_t { return 31337; });
    width = 0;
    testing::internal::CaptureStdout();
    fce_Start();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "OK\n");
    EXPECT_TRUE(width == 20 && height == 20);
    EXPECT_EQ(seed, 31337u);
    plat::SetTickSource(nullptr);
}

}  // namespace

// Game state: board set-up and its refusals, placing and taking back stones,
// and the random generator.
#include <gtest/gtest.h>

#include "protocol.h"
#include "testutil.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// Runs brain_init on a w x h request and returns what it wrote.
std::string Init(int w, int h) {
    width = w;
    height = h;
    CaptureStdout();
    brain_init();
    return GetCapturedStdout();
}

TEST(Rnd, SequenceFromSeedZero) {
    seed = 0;
    EXPECT_EQ(rnd(100), 4u);
    EXPECT_EQ(seed, 174680251u);
    EXPECT_EQ(rnd(100), 25u);
    const std::uint32_t before = seed;
    EXPECT_EQ(rnd(0), 0u);
    EXPECT_EQ(seed, before * 367413989u + 174680251u);  // n = 0 still advances
    // The result is the high half of seed * n, so it stays below n.
    for (std::uint32_t n : {1u, 2u, 7u, 100u, 0xffffffffu}) EXPECT_LT(rnd(n), n);
}

TEST(BrainInit, AcceptsAndRefusesSizes) {
    start_time = 1234;
    EXPECT_EQ(Init(5, 5), "OK\n");
    EXPECT_EQ(seed, 1234u);
    EXPECT_EQ(Init(100, 100), "OK\n");
    EXPECT_EQ(Init(30, 20), "OK\n");
    EXPECT_EQ(width, 30);
    EXPECT_EQ(height, 20);
    EXPECT_EQ(Init(4, 20), "ERROR size of the board\n");
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(Init(101, 20), "ERROR Maximal board size is 100\n");
    EXPECT_EQ(width, 0);
    // The small test comes first.
    EXPECT_EQ(Init(3, 200), "ERROR size of the board\n");
}

TEST(BrainRestart, EmptiesOnlyThePlayingAreaAndKeepsSeed) {
    testutil::NewBoard(20, 20, 77);
    board[15][15] = CELL_MINE;
    board[2][2] = CELL_OPPONENT;
    g_MyLastMove = {15, 15};
    g_CountMove[3] = 9;
    width = height = 10;
    CaptureStdout();
    brain_restart();
    brain_restart();
    EXPECT_EQ(GetCapturedStdout(), "OK\nOK\n");
    EXPECT_EQ(board[2][2], CELL_EMPTY);
    EXPECT_EQ(board[15][15], CELL_MINE);  // outside the new area: left alone
    EXPECT_EQ(g_MyLastMove.x, -1);
    EXPECT_EQ(g_CountMove[3], 0);
    EXPECT_EQ(seed, 77u);
    // An old stone outside the area is never a place to play or take back.
    EXPECT_FALSE(isFree(15, 15));
    EXPECT_EQ(brain_takeback(15, 15), 2);
}

TEST(PlaceStone, RefusalsNameTheCellAndChangeNothing) {
    testutil::NewBoard(15, 15);
    CaptureStdout();
    brain_my(3, 4);
    brain_my(3, 4);
    brain_my(15, 0);
    brain_my(-1, 2);
    brain_block(6, 6);
    brain_opponents(6, 6);
    brain_block(6, 6);
    brain_opponents(7, 7);
    EXPECT_EQ(GetCapturedStdout(),
              "ERROR my move [3,4]\nERROR my move [15,0]\nERROR my move [-1,2]\n"
              "ERROR opponents's move [6,6]\nERROR winning move [6,6]\n");
    EXPECT_EQ(board[3][4], CELL_MINE);
    EXPECT_EQ(board[6][6], CELL_MINE_TRIAL);
    EXPECT_EQ(g_MyLastMove.x, 3);
    EXPECT_EQ(g_MyLastMove.y, 4);
    EXPECT_EQ(g_OpponentLastMove.x, 7);  // the block cell is no last move
}

TEST(BrainTakeback, EmptiesAnyCodeAndKeepsLastMoves) {
    testutil::NewBoard(15, 15);
    CaptureStdout();
    brain_my(3, 4);
    brain_opponents(5, 5);
    brain_block(6, 6);
    GetCapturedStdout();
    EXPECT_EQ(brain_takeback(3, 4), 0);
    EXPECT_EQ(brain_takeback(5, 5), 0);
    EXPECT_EQ(brain_takeback(6, 6), 0);
    EXPECT_EQ(brain_takeback(3, 4), 2);
    EXPECT_EQ(brain_takeback(-1, 0), 2);
    EXPECT_EQ(brain_takeback(0, 15), 2);
    EXPECT_TRUE(isFree(3, 4) && isFree(5, 5) && isFree(6, 6));
    EXPECT_EQ(g_MyLastMove.x, 3);
    EXPECT_EQ(g_OpponentLastMove.x, 5);
}

}  // namespace

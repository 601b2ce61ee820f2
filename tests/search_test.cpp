// The turn driver: candidate order, the positional score, the final choice
// and what a turn leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform.h"
#include "testutil.h"

namespace {

using Cells = std::vector<std::pair<int, int>>;

std::uint32_t g_ticks;

TEST(Candidates, RayOrderStopsAndSharedCells) {
    testutil::NewBoard(15, 15);
    board[5][5] = CELL_MINE;
    boardValue[4][4] = 77;
    g_BestMove = {3, 3};
    GetAllMove({5, 5}, NO_MOVE);
    const Cells expected = {{4, 4}, {3, 3}, {2, 2}, {1, 1}, {6, 6}, {7, 7}, {8, 8}, {9, 9},
                            {4, 6}, {3, 7}, {2, 8}, {1, 9}, {6, 4}, {7, 3}, {8, 2}, {9, 1},
                            {4, 5}, {3, 5}, {2, 5}, {1, 5}, {6, 5}, {7, 5}, {8, 5}, {9, 5},
                            {5, 4}, {5, 3}, {5, 2}, {5, 1}, {5, 6}, {5, 7}, {5, 8}, {5, 9}};
    EXPECT_EQ(testutil::ListAt(0), expected);
    EXPECT_EQ(boardValue[4][4], 0);
    EXPECT_EQ(g_BestMove.x, -1);
    EXPECT_EQ(std::count(&board[0][0], &board[0][0] + MAX_BOARD * MAX_BOARD, CELL_CANDIDATE), 0);

    // (6,5) lies on rays of both moves: listed once, where first reached; the
    // opponent's (-1,0) ray passes over its mark and ends at the engine stone.
    board[7][5] = CELL_OPPONENT;
    GetAllMove({5, 5}, {7, 5});
    Cells list = testutil::ListAt(0);
    EXPECT_EQ(std::count(list.begin(), list.end(), std::make_pair(6, 5)), 1);
    EXPECT_EQ(std::find(list.begin(), list.end(), std::make_pair(6, 5)) - list.begin(), 20);

    // An engine stone is passed over, an opponent stone ends the engine's ray.
    testutil::NewBoard(20, 20);
    testutil::Place({"XX.O."}, 10, 10);
    GetAllMove({10, 10}, NO_MOVE);
    list = testutil::ListAt(0);
    EXPECT_NE(std::find(list.begin(), list.end(), std::make_pair(12, 10)), list.end());
    EXPECT_EQ(std::find(list.begin(), list.end(), std::make_pair(14, 10)), list.end());
}

TEST(Positional, ScoresAndTheUniformChoice) {
    // The engine moves second: the opponent's lone stone in the middle.
    testutil::NewBoard(20, 20, 12345);
    board[10][10] = CELL_OPPONENT;
    GetAllMove(NO_MOVE, {10, 10});
    ASSERT_EQ(g_CountMove[0], 32);
    EvalMoves();
    const int byDistance[5] = {0, 1536, 1408, 1280, 1152};
    for (const auto& [x, y] : testutil::ListAt(0))
        EXPECT_EQ(boardValue[x][y], byDistance[std::max(std::abs(x - 10), std::abs(y - 10))]);
    // Ties are broken uniformly: each neighbour about 1000 times in 8000.
    std::map<std::pair<int, int>, int> chosen;
    for (int i = 0; i < 8000; i++) {
        const TMyMove m = DefenseMove();
        chosen[{m.x, m.y}]++;
    }
    ASSERT_EQ(chosen.size(), 8u);
    for (const auto& [cell, n] : chosen) {
        EXPECT_EQ(std::max(std::abs(cell.first - 10), std::abs(cell.second - 10)), 1);
        EXPECT_TRUE(n > 850 && n < 1150) << n;
    }

    // Engine stones all around: every ray is worth 1; a mark stays under the score.
    testutil::NewBoard(5, 5, 99);
    testutil::Place({"XXXXX", "XXXXX", "XXXXX", "XXXX.", "XXXXX"});
    GetAllMove({3, 2}, NO_MOVE);
    ASSERT_EQ(g_CountMove[0], 1);
    boardValue[4][3] = MARK_OPEN_FOUR;
    testutil::Place({"XXX", "X.X", "XXX"}, 1, 1);
    EvalMove({2, 2});
    EXPECT_EQ(boardValue[2][2], 4);
    // A single candidate is returned after exactly one draw.
    const TMyMove only = DefenseMove();
    EXPECT_TRUE(only.x == 4 && only.y == 3);
    EXPECT_EQ(seed, 99u * 367413989u + 174680251u);
}

TEST(Turn, WithoutCandidatesAndItsClock) {
    plat::SetTickSource(+[]() -> std::uint32_t { return g_ticks += 10; });
    g_ticks = 0xfffffff0u;  // the time statistic survives the wrap of the clock
    testutil::NewBoard(20, 15, 4242);
    const std::uint32_t x = rnd(20), y = rnd(15);
    seed = 4242;
    TMyMove m = brain_turn();  // empty board: a random cell, x drawn before y
    EXPECT_TRUE(m.x == static_cast<int>(x) && m.y == static_cast<int>(y));
    EXPECT_EQ(fce_GetStats().time, 10);
    const std::uint32_t afterTwoDraws = seed;

    seed = 4242;
    terminateAI = 1;  // a stop request: no move, and both draws are spent
    m = brain_turn();
    EXPECT_TRUE(m.x == -1 && m.y == -1);
    EXPECT_EQ(seed, afterTwoDraws);
    plat::SetTickSource(nullptr);
}

TEST(Turn, LeavesNoMarksAndPlaysFreeCells) {
    // A clock that advances one tick per read bounds every threat search by
    // its number of time checks, so the test is fast and repeatable.
    plat::SetTickSource(+[]() -> std::uint32_t { return ++g_ticks; });
    const int turnLimit = info_timeout_turn.exchange(400);
    for (std::uint32_t game = 1; game <= 30; game++) {
        testutil::NewBoard(10 + static_cast<int>(game % 7), 12, game);
        for (int turn = 0; turn < 25; turn++) {
            const testutil::BoardSnapshot before;
            const TMyMove mine = brain_turn();
            ASSERT_TRUE(before.SameAsBoard());
            ASSERT_EQ(g_AktualDepth, 0);
            ASSERT_TRUE(isFree(mine.x, mine.y));
            board[mine.x][mine.y] = CELL_MINE;
            g_MyLastMove = mine;
            do g_OpponentLastMove = {static_cast<int>(rnd(width)), static_cast<int>(rnd(height))};
            while (!isFree(g_OpponentLastMove.x, g_OpponentLastMove.y));
            board[g_OpponentLastMove.x][g_OpponentLastMove.y] = CELL_OPPONENT;
        }
    }
    info_timeout_turn = turnLimit;
    plat::SetTickSource(nullptr);
}

// Each turn takes the search's copy of the board afresh: a game on a larger
// board before, its stones left beyond the new playing area and a taken-back
// stone change nothing against the same position set up on a clean board.
TEST(Turn, SameAsOnACleanBoardAfterResizeAndTakeback) {
    plat::SetTickSource(+[]() -> std::uint32_t { return ++g_ticks; });
    const int turnLimit = info_timeout_turn.exchange(400);
    for (std::uint32_t game = 1; game <= 20; game++) {
        testutil::NewBoard(20, 20, game);
        for (int turn = 0; turn < 10; turn++) {
            const TMyMove mine = brain_turn();
            brain_my(mine.x, mine.y);
            TMyMove theirs;
            do theirs = {static_cast<int>(rnd(20)), static_cast<int>(rnd(20))};
            while (!isFree(theirs.x, theirs.y));
            brain_opponents(theirs.x, theirs.y);
        }
        width = height = 9 + static_cast<int>(game % 4);
        brain_init();
        for (int i = 0; i < 8; i++) {
            TMyMove cell;
            do cell = {static_cast<int>(rnd(width)), static_cast<int>(rnd(height))};
            while (!isFree(cell.x, cell.y));
            i % 2 ? brain_my(cell.x, cell.y) : brain_opponents(cell.x, cell.y);
        }
        brain_takeback(g_MyLastMove.x, g_MyLastMove.y);
        const testutil::BoardSnapshot position;
        const TMyMove myLast = g_MyLastMove, theirLast = g_OpponentLastMove;

        g_ticks = 0;
        seed = game;
        const TMyMove played = brain_turn();
        const TMoveStats stats = fce_GetStats();

        const int w = width, h = height;
        testutil::NewBoard(w, h, game);
        for (int x = 0; x < w; x++)
            for (int y = 0; y < h; y++) board[x][y] = position.cells[x][y];
        g_MyLastMove = myLast;
        g_OpponentLastMove = theirLast;
        SyncSearchBoard();  // the reference turn surely starts from a copy of this board
        g_ticks = 0;
        const TMyMove fresh = brain_turn();
        EXPECT_TRUE(played.x == fresh.x && played.y == fresh.y) << game;
        EXPECT_EQ(stats.nodes, fce_GetStats().nodes) << game;
        EXPECT_EQ(stats.depth, fce_GetStats().depth) << game;
        EXPECT_EQ(stats.eval, fce_GetStats().eval) << game;
    }
    info_timeout_turn = turnLimit;
    plat::SetTickSource(nullptr);
}

}  // namespace

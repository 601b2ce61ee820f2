// The turn driver: candidate order, the positional score, the final choice
// and the invariants of a turn.
#include <gtest/gtest.h>

#include <map>

#include "platform.h"
#include "testutil.h"

namespace {

using Cells = std::vector<std::pair<int, int>>;

std::uint32_t g_fakeTicks;
std::uint32_t FakeTicks() {
    return g_fakeTicks;
}

class SearchTest : public testing::Test {
protected:
    void SetUp() override {
        g_fakeTicks = 1000;
        plat::SetTickSource(FakeTicks);
        info_time_left = 1000000000;
        info_timeout_turn = 30000;
    }
    void TearDown() override { plat::SetTickSource(nullptr); }
};

// The cells around `origin` in ray order, each ray nearest first.
Cells RayOrder(int x, int y) {
    const int rays[8][2] = {{-1, -1}, {1, 1}, {-1, 1}, {1, -1}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    Cells cells;
    for (const auto& r : rays)
        for (int k = 1; k <= 4; k++) cells.emplace_back(x + k * r[0], y + k * r[1]);
    return cells;
}

TEST_F(SearchTest, CandidateOrderAroundOneMove) {
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
    for (int x = 0; x < 15; x++)
        for (int y = 0; y < 15; y++) EXPECT_NE(board[x][y], CELL_CANDIDATE);

    // 64 candidates: the engine's 32, then the opponent's 32.
    testutil::NewBoard(30, 30);
    GetAllMove({6, 6}, {20, 20});
    Cells both = RayOrder(6, 6);
    const Cells second = RayOrder(20, 20);
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(testutil::ListAt(0), both);

    // No move at all: nothing listed, and the first entry says so.
    GetAllMove(NO_MOVE, NO_MOVE);
    EXPECT_EQ(g_CountMove[0], 0);
    EXPECT_EQ(g_ListMove[0][0].x, -1);
}

TEST_F(SearchTest, RaysStopAtTheStopSideAndPassOverEverythingElse) {
    testutil::NewBoard(20, 20);
    testutil::Place({"X.O"}, 5, 5);  // engine (5,5), opponent (7,5)
    GetAllMove({5, 5}, {7, 5});
    // (6,5) lies on rays of both moves: listed once, where first reached.
    const Cells list = testutil::ListAt(0);
    EXPECT_EQ(std::count(list.begin(), list.end(), std::make_pair(6, 5)), 1);
    EXPECT_EQ(std::find(list.begin(), list.end(), std::make_pair(6, 5)) - list.begin(), 20);
    EXPECT_EQ(std::count(list.begin(), list.end(), std::make_pair(8, 5)), 1);

    testutil::NewBoard(20, 20);
    testutil::Place({"XX.O."}, 10, 10);
    GetAllMove({10, 10}, NO_MOVE);
    const Cells row = testutil::ListAt(0);
    EXPECT_NE(std::find(row.begin(), row.end(), std::make_pair(12, 10)), row.end());
    EXPECT_EQ(std::find(row.begin(), row.end(), std::make_pair(14, 10)), row.end());

    // A corner move reaches three rays only.
    testutil::NewBoard(20, 20);
    GetAllMove({0, 0}, NO_MOVE);
    EXPECT_EQ(g_CountMove[0], 12);
}

TEST_F(SearchTest, PositionalScores) {
    // The engine moves second: the opponent's lone stone in the middle.
    testutil::NewBoard(20, 20);
    board[10][10] = CELL_OPPONENT;
    GetAllMove(NO_MOVE, {10, 10});
    ASSERT_EQ(g_CountMove[0], 32);
    EvalMoves();
    const int byDistance[5] = {0, 1536, 1408, 1280, 1152};
    for (const auto& [x, y] : testutil::ListAt(0))
        EXPECT_EQ(boardValue[x][y], byDistance[std::max(std::abs(x - 10), std::abs(y - 10))]);

    // Engine stones all around: every ray is worth 1.
    testutil::NewBoard(20, 20);
    testutil::Place({"XXX", "X.X", "XXX"}, 4, 4);
    boardValue[5][5] = 0;
    EvalMove({5, 5});
    EXPECT_EQ(boardValue[5][5], 4);
    // A stage's mark stays under the score.
    boardValue[5][5] = MARK_OPEN_FOUR;
    EvalMove({5, 5});
    EXPECT_EQ(boardValue[5][5], MARK_OPEN_FOUR + 4);
}

TEST_F(SearchTest, DefenseMoveChoosesUniformlyAmongTheBest) {
    testutil::NewBoard(20, 20, 12345);
    board[10][10] = CELL_OPPONENT;
    GetAllMove(NO_MOVE, {10, 10});
    EvalMoves();
    std::map<std::pair<int, int>, int> chosen;
    for (int i = 0; i < 8000; i++) {
        const TMyMove m = DefenseMove();
        chosen[{m.x, m.y}]++;
    }
    ASSERT_EQ(chosen.size(), 8u);  // the eight neighbours, nothing else
    for (const auto& [cell, n] : chosen) {
        EXPECT_LE(std::max(std::abs(cell.first - 10), std::abs(cell.second - 10)), 1);
        EXPECT_GT(n, 850);
        EXPECT_LT(n, 1150);
    }

    // One candidate: exactly one draw.
    testutil::NewBoard(5, 5, 99);
    testutil::Place({"XXXXX", "XXXXX", "XXXXX", "XXXX.", "XXXXX"});
    GetAllMove({3, 2}, NO_MOVE);
    ASSERT_EQ(g_CountMove[0], 1);
    const TMyMove only = DefenseMove();
    EXPECT_EQ(only.x, 4);
    EXPECT_EQ(only.y, 3);
    EXPECT_EQ(seed, 99u * 367413989u + 174680251u);
}

TEST_F(SearchTest, TurnWithoutCandidates) {
    // Empty board: a random cell, x drawn before y.
    testutil::NewBoard(20, 15, 4242);
    seed = 4242;
    const std::uint32_t x = rnd(20), y = rnd(15);
    seed = 4242;
    TMyMove m = brain_turn();
    EXPECT_EQ(m.x, static_cast<int>(x));
    EXPECT_EQ(m.y, static_cast<int>(y));

    // A stop request: no move, and both draws are spent.
    seed = 4242;
    terminateAI = 1;
    m = brain_turn();
    EXPECT_EQ(m.x, -1);
    EXPECT_EQ(m.y, -1);
    const std::uint32_t afterTwo = seed;  // the draws advance seed whatever n is
    terminateAI = 0;

    // A full board never hangs: no move, evaluated 0.
    testutil::NewBoard(5, 5, 4242);
    for (int cx = 0; cx < 5; cx++)
        for (int cy = 0; cy < 5; cy++) board[cx][cy] = (cx + cy) % 2 ? CELL_MINE : CELL_OPPONENT;
    g_MyLastMove = {1, 0};
    g_OpponentLastMove = {0, 0};
    g_MoveStats.eval = 55;
    m = brain_turn();
    EXPECT_EQ(m.x, -1);
    EXPECT_EQ(fce_GetStats().eval, 0);
    EXPECT_EQ(seed, afterTwo);
}

TEST_F(SearchTest, BudgetAndTimeStatistic) {
    testutil::NewBoard(20, 20);
    info_time_left = 5000;
    brain_turn();
    EXPECT_EQ(g_Time4MyMove, 5000);
    info_time_left = 30000;
    brain_turn();
    EXPECT_EQ(g_Time4MyMove, 30000);
    // The time statistic survives the wrap of the 32-bit clock.
    g_fakeTicks = 0xfffffff0u;
    plat::SetTickSource(+[]() -> std::uint32_t { return g_fakeTicks += 10; });
    brain_turn();
    EXPECT_EQ(fce_GetStats().time, 10);
}

TEST_F(SearchTest, TurnsLeaveNoMarksAndPlayFreeCells) {
    // Random games: every turn returns a free cell and leaves board and depth as they were.
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
            TMyMove theirs;
            do {
                theirs = {static_cast<int>(rnd(width)), static_cast<int>(rnd(height))};
            } while (!isFree(theirs.x, theirs.y));
            board[theirs.x][theirs.y] = CELL_OPPONENT;
            g_OpponentLastMove = theirs;
        }
    }
}

}  // namespace

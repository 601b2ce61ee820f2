// Wins, open fours and double threats: what each stage finds, what it marks,
// and that it leaves board, depth and the caller's list as they were.
#include <gtest/gtest.h>

#include "testutil.h"

namespace {

// Lists depth 0 around the given last moves, as a turn does.
void ListRoot(TMyMove mine, TMyMove opponent) {
    g_AktualDepth = 0;
    GetAllMove(mine, opponent);
}

// Runs Is2Threat at depth 0 and checks that it changed nothing but the statistics.
bool DoubleThreat(int x, int y, int side) {
    const testutil::BoardSnapshot before;
    const auto list = testutil::ListAt(0);
    const int nodes = g_MoveStats.nodes;
    const bool result = Is2Threat(x, y, side);
    EXPECT_TRUE(before.SameAsBoard());
    EXPECT_EQ(g_AktualDepth, 0);
    EXPECT_EQ(testutil::ListAt(0), list);
    EXPECT_EQ(g_MoveStats.nodes, nodes + 1);
    EXPECT_EQ(g_MoveStats.depth, 1);
    return result;
}

TEST(Is2Threat, CountsDirectionsNotCells) {
    // An open three in the row and a four closed at one end in the column.
    testutil::NewBoard(20, 20);
    testutil::Place({"XX.", "..X", "..X", "..X", "..O"}, 8, 10);
    EXPECT_TRUE(DoubleThreat(10, 10, SIDE_MINE));

    // Two open threes.
    testutil::NewBoard(20, 20);
    testutil::Place({"XX.", "..X", "..X"}, 8, 10);
    EXPECT_TRUE(DoubleThreat(10, 10, SIDE_MINE));

    // One open three: both open-four cells lie in one direction.
    testutil::NewBoard(20, 20);
    testutil::Place({"XX"}, 8, 10);
    EXPECT_FALSE(DoubleThreat(10, 10, SIDE_MINE));

    // Two fours on one line, X . X c X . X: two five cells, one direction.
    testutil::NewBoard(20, 20);
    testutil::Place({"X.X.X.X"}, 6, 10);
    EXPECT_FALSE(DoubleThreat(9, 10, SIDE_MINE));

    // One cell completes a five in the row and an open four in the column.
    testutil::NewBoard(20, 20);
    testutil::Place({".....X", "OXXX..", ".....X", ".....X"}, 5, 9);
    EXPECT_TRUE(DoubleThreat(9, 10, SIDE_MINE));

    // The same for the opponent, with a trial stone of the engine closing the row.
    testutil::NewBoard(20, 20);
    testutil::Place({".....O", "xOOO..", ".....O", ".....O"}, 5, 9);
    EXPECT_TRUE(DoubleThreat(9, 10, SIDE_OPPONENT));
    board[10][11] = CELL_MINE_TRIAL;  // now the column four is closed
    EXPECT_FALSE(DoubleThreat(9, 10, SIDE_OPPONENT));

    // A threat that stands without the trial stone counts: an open three in
    // another column whose open-four cell lies on a ray of the stone.
    testutil::NewBoard(20, 20);
    // (8,6),(9,6) with c (10,6) make an open three in the row; column 8 holds
    // a three at rows 9-11 whose open-four cell (8,8) lies on the stone's (-1,+1) ray.
    testutil::Place({"XX", ".", ".", "X", "X", "X"}, 8, 6);
    EXPECT_TRUE(DoubleThreat(10, 6, SIDE_MINE));

    // No ray of the stone reaches an empty cell: nothing listed, false.
    testutil::NewBoard(20, 20);
    testutil::Place({".O", "OO"}, 0, 0);
    EXPECT_FALSE(DoubleThreat(0, 0, SIDE_MINE));
    EXPECT_EQ(g_CountMove[1], 0);
}

TEST(Stages, FivesAndOpenFours) {
    // Both sides have a four; the engine's five is found first and is the first in list order.
    testutil::NewBoard(20, 20);
    testutil::Place({".XXXX.", "......", ".OOOO."}, 5, 5);
    ListRoot({9, 5}, {9, 7});
    g_BestMove = {3, 3};
    ASSERT_TRUE(CanIWin());
    EXPECT_EQ(g_BestMove.x, 5);  // the (-1,0) ray of (9,5) comes before its (+1,0) ray
    EXPECT_EQ(g_BestMove.y, 5);
    ASSERT_TRUE(CanOpponentWin());
    EXPECT_EQ(g_BestMove.y, 7);

    // An opponent three . c1 O O O c2 . : both cells marked, by assignment.
    testutil::NewBoard(20, 20);
    testutil::Place({"..OOO.."}, 5, 5);
    boardValue[6][5] = 123;  // a listed cell starts from 0 whatever it held
    ListRoot(NO_MOVE, {8, 5});
    EXPECT_FALSE(CanI4Open(false));
    EXPECT_FALSE(CanIWin());
    EXPECT_EQ(g_BestMove.x, -1);  // a failed win stage leaves it alone
    EXPECT_TRUE(CanOpponent4Open(true));
    EXPECT_EQ(boardValue[6][5], 0);
    EXPECT_TRUE(CanOpponent4Open(false));
    EXPECT_EQ(boardValue[6][5], MARK_OPEN_FOUR);
    EXPECT_EQ(boardValue[10][5], MARK_OPEN_FOUR);
    EXPECT_EQ(boardValue[5][5], 0);

    // Empty list: nothing found, nothing written.
    g_AktualDepth = 3;
    g_CountMove[3] = 0;
    EXPECT_FALSE(CanIWin() || CanOpponentWin() || CanI4Open(false) || CanOpponent4Open(false) ||
                 CanI2Threat(false) || CanOpponent2Threat(false));
    EXPECT_EQ(g_MoveStats.nodes, 0);
    g_AktualDepth = 0;
}

TEST(Stages, DoubleThreatMarksTheFirstCandidateOnly) {
    // (7,8) and (10,8) both join the row pair to a column pair: two double threats.
    testutil::NewBoard(20, 20);
    testutil::Place({".XX.", "....", "X..X", "X..X"}, 7, 8);
    ListRoot({10, 11}, NO_MOVE);
    std::vector<std::pair<int, int>> doubles;
    for (const auto& [x, y] : testutil::ListAt(0)) {
        g_MoveStats = {};
        if (Is2Threat(x, y, SIDE_MINE)) doubles.emplace_back(x, y);
    }
    ASSERT_GE(doubles.size(), 2u);
    g_MoveStats = {};
    EXPECT_TRUE(CanI2Threat(true));
    for (const auto& [x, y] : testutil::ListAt(0)) EXPECT_EQ(boardValue[x][y], 0);
    const int nodesToFirst = g_MoveStats.nodes;
    g_MoveStats = {};
    EXPECT_TRUE(CanI2Threat(false));
    EXPECT_EQ(g_MoveStats.nodes, nodesToFirst);  // the stage stops at its first hit
    for (const auto& [x, y] : testutil::ListAt(0))
        EXPECT_EQ(boardValue[x][y], std::make_pair(x, y) == doubles[0] ? MARK_DOUBLE_THREAT : 0);
    EXPECT_FALSE(CanOpponent2Threat(false));
}

}  // namespace

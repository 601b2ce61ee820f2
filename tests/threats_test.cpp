// Wins, open fours, double threats and threat sequences: what each stage
// finds, what it marks, what it counts, and that it leaves board, depth and
// the caller's list as they were.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "platform.h"
#include "testutil.h"

namespace {

std::uint32_t g_now;

// Time stands still at g_now unless a test moves it.
void FreezeClock(std::uint32_t now) {
    g_now = now;
    plat::SetTickSource(+[]() -> std::uint32_t { return g_now; });
}

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

// Two opponent stones in column 7 and an engine stone at (10, 10), listed
// from the engine's (10, 10) and the opponent's (7, 6).
void ColumnTwo() {
    testutil::NewBoard(20, 20);
    board[7][5] = board[7][6] = CELL_OPPONENT;
    board[10][10] = CELL_MINE;
    ListRoot({10, 10}, {7, 6});
}

// A position where the opponent wins by a sequence starting on (7, 8).
void OpponentSequence() {
    testutil::NewBoard(20, 20);
    for (const auto& [x, y] : {std::pair{7, 7}, {8, 6}, {8, 7}, {9, 6}})
        board[x][y] = CELL_OPPONENT;
    for (const auto& [x, y] : {std::pair{8, 9}, {10, 8}, {11, 8}}) board[x][y] = CELL_MINE;
    ListRoot({11, 8}, {7, 7});
}

// The cells of the root list that carry the threat-sequence mark.
std::vector<std::pair<int, int>> Marked() {
    std::vector<std::pair<int, int>> cells;
    for (const auto& [x, y] : testutil::ListAt(0))
        if (boardValue[x][y] == MARK_THREAT_SEQUENCE) cells.emplace_back(x, y);
    return cells;
}

TEST(ThreatSequence, Is1ThreatAlongItsLinesOrAnywhere) {
    testutil::NewBoard(20, 20);
    board[7][5] = board[7][6] = CELL_MINE;
    const testutil::BoardSnapshot column;
    EXPECT_TRUE(Is1Threat(7, 7, SIDE_MINE, true));
    EXPECT_TRUE(column.SameAsBoard());
    EXPECT_EQ(g_AktualDepth, 0);
    EXPECT_EQ(g_MoveStats.nodes, 1);

    // A three in row 8 crosses a ray of (7, 7) at (6, 8) but no line through it.
    testutil::NewBoard(20, 20);
    board[3][8] = board[4][8] = board[5][8] = CELL_MINE;
    EXPECT_TRUE(Is1Threat(7, 7, SIDE_MINE, false));
    EXPECT_FALSE(Is1Threat(7, 7, SIDE_MINE, true));
    EXPECT_EQ(g_MoveStats.nodes, 2);
    EXPECT_EQ(g_AktualDepth, 0);
}

TEST(ThreatSequence, WorkedExamples) {
    // With no time, the first threat is taken as winning: (7, 7) is the
    // third candidate, three Is1Threat nodes plus one defender node.
    FreezeClock(1000);
    ColumnTwo();
    g_TickStart = 1000;
    g_Time4MyMove = 0;
    EXPECT_EQ(testutil::ListAt(0)[2], std::make_pair(7, 7));
    EXPECT_TRUE(CanOpponent1Threat(false, 3, false));
    EXPECT_EQ(Marked(), (std::vector<std::pair<int, int>>{{7, 7}}));
    EXPECT_EQ(g_MoveStats.nodes, 4);

    // With time, the engine can answer the three.
    ColumnTwo();
    g_Time4MyMove = INT_MAX;
    EXPECT_FALSE(CanOpponent1Threat(false, 3, false));
    EXPECT_TRUE(Marked().empty());
    EXPECT_EQ(g_MoveStats.nodes, 371);
    EXPECT_EQ(g_MoveStats.depth, 3);

    // A winning sequence: no stage before it finds anything.
    OpponentSequence();
    EXPECT_FALSE(CanIWin() || CanOpponentWin() || CanI4Open(true) || CanOpponent4Open(true) ||
                 CanI2Threat(true) || CanOpponent2Threat(true));
    g_MoveStats = {};
    EXPECT_TRUE(CanOpponent1Threat(true, 3, false));
    EXPECT_TRUE(Marked().empty());
    EXPECT_EQ(g_MoveStats.nodes, 115);
    g_MoveStats = {};
    const testutil::BoardSnapshot before;
    EXPECT_TRUE(CanOpponent1Threat(false, 3, false));
    EXPECT_EQ(Marked(), (std::vector<std::pair<int, int>>{{7, 8}}));
    EXPECT_EQ(g_MoveStats.nodes, 115);
    EXPECT_EQ(g_MoveStats.depth, 3);
    EXPECT_TRUE(before.SameAsBoard());

    // Limits: 1000 counts as 50 (a clock moving one tick per read ends both
    // searches at the same point); at 1 or 2 no answer is searched, so each
    // candidate costs one node and each threat one more.
    plat::SetTickSource(+[]() -> std::uint32_t { return ++g_now; });
    TMoveStats stats[2];
    for (const int limit : {50, 1000}) {
        OpponentSequence();
        g_now = 0;
        g_TickStart = 0;
        g_Time4MyMove = 20000;
        EXPECT_TRUE(CanOpponent1Threat(true, limit, true));
        stats[limit == 1000] = g_MoveStats;
    }
    EXPECT_EQ(stats[0].nodes, stats[1].nodes);
    EXPECT_EQ(stats[0].depth, stats[1].depth);
    EXPECT_GT(stats[0].depth, 19);
    FreezeClock(0);
    OpponentSequence();
    int threats = 0;
    for (const auto& [x, y] : testutil::ListAt(0)) threats += Is1Threat(x, y, SIDE_OPPONENT, false);
    ASSERT_GT(threats, 0);
    g_MoveStats = {};
    EXPECT_FALSE(CanOpponent1Threat(false, 2, false));
    EXPECT_EQ(g_MoveStats.nodes, g_CountMove[0] + threats);
    EXPECT_EQ(g_MoveStats.depth, 1);

    // Entered at a depth not below the limit: Is1Threat only.
    g_AktualDepth = 3;
    g_CountMove[3] = g_CountMove[0];
    for (int i = 0; i < g_CountMove[0]; i++) g_ListMove[i][3] = g_ListMove[i][0];
    g_MoveStats = {};
    EXPECT_FALSE(CanOpponent1Threat(false, 3, false));
    EXPECT_EQ(g_MoveStats.nodes, g_CountMove[0]);
    EXPECT_EQ(g_AktualDepth, 3);
    g_CountMove[3] = 0;
    EXPECT_FALSE(CanI1Threat(false, 9, false));
    g_AktualDepth = 0;
    plat::SetTickSource(nullptr);
}

TEST(ThreatSequence, TimeBudget) {
    // Each case: the defender level at depth 0 with limit 3, and whether it
    // gave up at its first time check (one node, no defence).
    struct Case {
        std::uint32_t start, now;
        int budget;
        bool givesUp;
    };
    const Case cases[] = {
        {1000, 1095, 100, true},  // 95% of the budget is the limit
        {1000, 1094, 100, false},
        {0xfffffff0u, 77, 100, false},    // 93 ms elapsed across the wrap of the clock
        {0xfffffff0u, 79, 100, true},     // 95 ms
        {5, 5, 0, true},                  // no time at all
        {5, 5, -20, true},                // overrun: a negative budget is no time
        {0, 5000000, 50000000, false},    // products above 32 bits do not wrap
        {0, 2000000000, INT_MAX, false},  // "no limit"
        {0, 50000000, 52000000, true},
    };
    for (const Case& c : cases) {
        ColumnTwo();
        FreezeClock(c.now);
        g_TickStart = static_cast<int>(c.start);
        g_Time4MyMove = c.budget;
        board[7][7] = CELL_OPPONENT_TRIAL;
        const bool defended = DefenseMove1Threat(7, 7, SIDE_MINE, 3, false);
        board[7][7] = CELL_EMPTY;
        EXPECT_EQ(g_MoveStats.nodes == 1 && !defended, c.givesUp) << c.now << " " << c.budget;
        EXPECT_EQ(defended, !c.givesUp) << c.now << " " << c.budget;
    }
    plat::SetTickSource(nullptr);
}

TEST(ThreatSequence, LeavesStateAsFoundOnRandomPositions) {
    // A clock that moves one tick per read keeps every search short.
    plat::SetTickSource(+[]() -> std::uint32_t { return ++g_now; });
    std::mt19937 random(7);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 200; round++) {
        testutil::NewBoard(25, 25);
        // Stones outside the playing area are left over from a larger board.
        for (int i = 0; i < 30; i++)
            board[pick(25)][pick(25)] = pick(2) ? CELL_MINE : CELL_OPPONENT;
        width = 6 + pick(15);
        height = 6 + pick(15);
        const TMyMove mine{pick(width), pick(height)}, theirs{pick(width), pick(height)};
        board[mine.x][mine.y] = CELL_MINE;
        board[theirs.x][theirs.y] = CELL_OPPONENT;
        ListRoot(mine, theirs);
        const auto list = testutil::ListAt(0);
        const testutil::BoardSnapshot before;
        g_TickStart = static_cast<int>(g_now);
        g_Time4MyMove = 3000;
        const int limit = std::vector{1, 3, 5, 9, 19}[static_cast<size_t>(pick(5))];
        const bool lineOnly = pick(2);
        const bool won = pick(2) ? CanI1Threat(true, limit, lineOnly)
                                 : CanOpponent1Threat(true, limit, lineOnly);
        ASSERT_TRUE(before.SameAsBoard()) << round;
        ASSERT_EQ(g_AktualDepth, 0);
        ASSERT_EQ(testutil::ListAt(0), list);
        ASSERT_LE(g_MoveStats.depth, limit);
        for (const auto& [x, y] : list) ASSERT_EQ(boardValue[x][y], 0);
        (void)won;
    }
    plat::SetTickSource(nullptr);
}

// Is2Threat and Is1Threat never put their stone on the board; they must
// answer, list and count exactly as if they had. The twin puts the stone and
// reads board cell by cell. Random positions hold stones, trial stones and
// candidate marks, and leftovers beyond the playing area.
TEST(TrialStone, MatchesPuttingItOnTheBoard) {
    std::mt19937 random(11);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 150; round++) {
        testutil::NewBoard(25, 25);
        const int stones = 20 + pick(150);
        // Every other round without candidate marks, where the search reads
        // the threats from line codes.
        for (int i = 0; i < stones; i++)
            board[pick(25)][pick(25)] = round % 2 ? 2 + pick(4) : 1 + pick(5);
        width = 5 + pick(20);
        height = 5 + pick(20);
        for (int tries = 0; tries < 20; tries++) {
            const int x = pick(width), y = pick(height);
            const int side = pick(2) ? SIDE_MINE : SIDE_OPPONENT;
            if (board[x][y] != CELL_EMPTY) continue;
            board[x][y] = side + 1;
            const auto cells = testutil::plain::Rays(x, y, side);
            int directions = 0;
            bool alongItsLine = false;
            for (const auto& [cx, cy] : cells)
                for (int d = 0; d < 4; d++)
                    if (testutil::plain::WinWay(cx, cy, side, d) ||
                        testutil::plain::OpenWay(cx, cy, side, d)) {
                        directions |= 1 << d;
                        const int line = cx == x ? 3 : cy == y ? 2 : (cx < x) == (cy < y) ? 1 : 0;
                        alongItsLine |= d == line;
                    }
            board[x][y] = CELL_EMPTY;
            const testutil::BoardSnapshot before;
            g_MoveStats = {};
            EXPECT_EQ(Is2Threat(x, y, side), (directions & (directions - 1)) != 0) << round;
            EXPECT_EQ(testutil::ListAt(1), cells) << round;
            EXPECT_EQ(Is1Threat(x, y, side, false), directions != 0) << round;
            EXPECT_EQ(Is1Threat(x, y, side, true), alongItsLine) << round;
            EXPECT_EQ(g_MoveStats.nodes, 3);
            EXPECT_EQ(g_MoveStats.depth, 1);
            EXPECT_EQ(g_AktualDepth, 0);
            EXPECT_TRUE(before.SameAsBoard());
        }
    }
}

}  // namespace

// Line patterns against pictures of single lines, and the patterns and the
// search's incremental line codes against plain twins on many random boards.
#include <gtest/gtest.h>

#include <random>

#include "testutil.h"

namespace {

struct Picture {
    const char* line;  // backward to forward; c examined, | the edge, + candidate mark
    bool win;
    bool open;
};

// Lays a picture along row 10 of an empty 20 x 20 board, against the left or
// right edge when it shows one, and returns the examined cell.
TMyMove Lay(const std::string& line) {
    testutil::NewBoard(20, 20);
    const int n = static_cast<int>(line.size());
    const int x0 = line.front() == '|' ? -1 : line.back() == '|' ? 21 - n : 5;
    TMyMove c = NO_MOVE;
    for (int i = 0; i < n; i++) {
        if (line[i] == 'c')
            c = {x0 + i, 10};
        else if (line[i] != '|')
            board[x0 + i][10] = testutil::CodeOf(line[i]);
    }
    return c;
}

TEST(LinePatterns, Pictures) {
    const Picture pictures[] = {
        {"XXXXc", true, false},   {"XXcXX", true, true},     {"OXXcXX.", true, false},
        {"XXXcXX", true, true},   {"OXXXcO", false, false},  {"OXXXc.", false, false},
        {"XXXXXc", true, false},  {"XX.cXX", false, false},  {"|XXXXc", true, false},
        {"cXXXX|", true, false},  {".cXXX.", false, true},   {"OcXXX.", false, false},
        {".cXXXO", false, false}, {"|cXXX.", false, false},  {".XcXX.", false, true},
        {".cXX.", false, false},  {".cXXX+", false, false},  {"XXocXX", false, false},
        {".xXcXx.", true, true},  {".XXXc.", false, true},   {"..XXXcXXX..", true, true},
        {".XXXXc.", true, false}, {".+cXXX.", false, false}, {"|XXcX.", false, false},
    };
    for (const Picture& p : pictures) {
        const TMyMove c = Lay(p.line);
        // The examined cell itself is never read.
        for (int code : {CELL_EMPTY, CELL_CANDIDATE, CELL_MINE_TRIAL, CELL_OPPONENT}) {
            board[c.x][c.y] = code;
            EXPECT_EQ(IsWinWay(c.x, c.y, SIDE_MINE, 2), p.win) << p.line;
            EXPECT_EQ(Is4OpenWay(c.x, c.y, SIDE_MINE, 2), p.open) << p.line;
            EXPECT_EQ(IsWin(c.x, c.y, SIDE_MINE), p.win) << p.line;
            EXPECT_EQ(Is4Open(c.x, c.y, SIDE_MINE), p.open) << p.line;
        }
    }
}

// Other directions, the other side, corners and stones beyond the playing
// area are covered here.
TEST(LinePatterns, MatchPlainTwinOnRandomBoards) {
    std::mt19937 random(20261206);
    for (int round = 0; round < 400; round++) {
        // Stones beyond the playing area too: a smaller board inside a used one.
        std::uniform_int_distribution<int> size(5, 24);
        testutil::NewBoard(size(random), size(random));
        const int density = static_cast<int>(random() % 90) + 5;
        for (int x = 0; x < MAX_BOARD; x++)
            for (int y = 0; y < MAX_BOARD; y++)
                board[x][y] = static_cast<int>(random() % 100) < density
                                  ? static_cast<int>(random() % 6)
                                  : CELL_EMPTY;
        for (int x = 0; x < width; x++)
            for (int y = 0; y < height; y++)
                for (int side : {SIDE_MINE, SIDE_OPPONENT}) {
                    bool anyWin = false, anyOpen = false;
                    for (int d = 0; d < 4; d++) {
                        const bool win = testutil::plain::WinWay(x, y, side, d),
                                   open = testutil::plain::OpenWay(x, y, side, d);
                        ASSERT_EQ(IsWinWay(x, y, side, d), win) << x << "," << y << " d" << d;
                        ASSERT_EQ(Is4OpenWay(x, y, side, d), open) << x << "," << y << " d" << d;
                        anyWin |= win;
                        anyOpen |= open;
                    }
                    ASSERT_EQ(IsWin(x, y, side), anyWin);
                    ASSERT_EQ(Is4Open(x, y, side), anyOpen);
                }
    }
}

// The line codes of the search's copy follow every change of a cell (stones,
// trial stones, candidate marks, empty cells) or are computed afresh, with
// leftover stones beyond the playing area that must read as off the board.
TEST(LineCodes, FollowEveryChangeOnRandomBoards) {
    std::mt19937 random(7);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 60; round++) {
        testutil::NewBoard(25, 25);
        for (int i = 0; i < 150; i++) board[pick(25)][pick(25)] = pick(6);
        width = 5 + pick(20);
        height = 5 + pick(20);
        SyncSearchBoard();
        // Half the cells follow the changes from the start; the others are
        // computed when first looked up, after the changes.
        for (int x = 0; x < width; x++)
            for (int y = x % 2; y < height; y += 2) EnsureLines(CellIndex(x, y));
        for (int change = 1; change <= 40; change++) {
            PutCell(pick(width), pick(height), pick(6));
            if (change % 10) continue;
            for (int x = 0; x < width; x++)
                for (int y = 0; y < height; y++) {
                    const int p = CellIndex(x, y);
                    ASSERT_EQ(g_Cells[p], board[x][y]);
                    EnsureLines(p);
                    for (int d = 0; d < 4; d++) {
                        const int flags =
                            static_cast<int>(g_LineFlags[p] >> FlagShift(d) & DIRECTION_FLAGS);
                        ASSERT_EQ(flags, LINE_FLAGS[g_LineCode[d][p]]);
                        for (int side : {SIDE_MINE, SIDE_OPPONENT}) {
                            ASSERT_EQ((flags & SideFlag(FLAG_FIVE, side)) != 0,
                                      testutil::plain::WinWay(x, y, side, d))
                                << round << ": " << x << "," << y;
                            ASSERT_EQ((flags & SideFlag(FLAG_OPEN4, side)) != 0,
                                      testutil::plain::OpenWay(x, y, side, d))
                                << round << ": " << x << "," << y;
                        }
                    }
                }
        }
    }
}

}  // namespace

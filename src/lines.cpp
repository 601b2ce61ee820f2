// Line patterns (what a stone on a cell would make along one line) and the
// stages built on them: fives and open fours among the candidates.
#include "search.h"

namespace {

// The four lines through a cell, directions 0 to 3.
constexpr Step DIRECTIONS[4] = {{+1, -1}, {+1, +1}, {+1, 0}, {0, +1}};
constexpr int SCAN = 4;  // no run is counted beyond four stones

// How many cells from (x, y) along (dx, dy) lie on the board, at most SCAN.
// Computing it once per scan keeps the cell loop free of bounds tests.
inline int Reach(int x, int y, int dx, int dy) {
    int reach = SCAN;
    if (dx > 0 && width - 1 - x < reach) reach = width - 1 - x;
    if (dx < 0 && x < reach) reach = x;
    if (dy > 0 && height - 1 - y < reach) reach = height - 1 - y;
    if (dy < 0 && y < reach) reach = y;
    return reach;
}

// Number of consecutive cells of the side next to (x, y) along (dx, dy),
// stopping at `reach` cells; the cell (x, y) itself is never read.
inline int Run(int x, int y, int dx, int dy, int reach, int side) {
    int n = 0;
    while (n < reach && (board[x + (n + 1) * dx][y + (n + 1) * dy] & SIDE_MASK) == side) n++;
    return n;
}

// One side of an open four: the run on that side, or -1 when the run is
// already four long or the cell after it is not an empty cell of the board.
inline int OpenRun(int x, int y, int dx, int dy, int side) {
    const int reach = Reach(x, y, dx, dy);
    const int run = Run(x, y, dx, dy, reach, side);
    if (run == SCAN || run == reach) return -1;
    return board[x + (run + 1) * dx][y + (run + 1) * dy] == CELL_EMPTY ? run : -1;
}

// Marks every candidate of the current depth on which `side` makes an open four.
bool Can4Open(int side, bool testOnly) {
    const int depth = g_AktualDepth;
    bool found = false;
    for (int i = 0; i < g_CountMove[depth]; i++) {
        const TMyMove c = g_ListMove[i][depth];
        if (Is4Open(c.x, c.y, side)) {
            found = true;
            if (!testOnly) boardValue[c.x][c.y] = MARK_OPEN_FOUR;
        }
    }
    return found;
}

// The first candidate of the current depth on which `side` completes a five.
bool CanWin(int side) {
    const int depth = g_AktualDepth;
    for (int i = 0; i < g_CountMove[depth]; i++) {
        const TMyMove c = g_ListMove[i][depth];
        if (IsWin(c.x, c.y, side)) {
            g_BestMove = c;
            return true;
        }
    }
    return false;
}

}  // namespace

// A stone of the side on (x, y) would stand in five or more in a row along
// the direction; overlines count.
bool IsWinWay(int x, int y, int side, int direction) {
    const Step s = DIRECTIONS[direction];
    const int backward = Run(x, y, -s.dx, -s.dy, Reach(x, y, -s.dx, -s.dy), side);
    const int forward = Run(x, y, s.dx, s.dy, Reach(x, y, s.dx, s.dy), side);
    return backward + forward >= 4;
}

bool IsWin(int x, int y, int side) {
    for (int direction = 0; direction < 4; direction++)
        if (IsWinWay(x, y, side, direction)) return true;
    return false;
}

// A stone of the side on (x, y) would stand in a run of at least four with an
// empty cell at each end; four or more on one side is a five, not a four.
bool Is4OpenWay(int x, int y, int side, int direction) {
    const Step s = DIRECTIONS[direction];
    const int backward = OpenRun(x, y, -s.dx, -s.dy, side);
    if (backward < 0) return false;
    const int forward = OpenRun(x, y, s.dx, s.dy, side);
    return forward >= 0 && backward + forward >= 3;
}

bool Is4Open(int x, int y, int side) {
    for (int direction = 0; direction < 4; direction++)
        if (Is4OpenWay(x, y, side, direction)) return true;
    return false;
}

bool CanIWin() {
    return CanWin(SIDE_MINE);
}

bool CanOpponentWin() {
    return CanWin(SIDE_OPPONENT);
}

bool CanI4Open(bool testOnly) {
    return Can4Open(SIDE_MINE, testOnly);
}

bool CanOpponent4Open(bool testOnly) {
    return Can4Open(SIDE_OPPONENT, testOnly);
}

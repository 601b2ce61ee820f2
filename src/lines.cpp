// Line patterns: the table of what a line code allows, and the five read
// from board.
#include "lines.h"

namespace {

constexpr int StateAt(int code, int offset) {
    return (code >> LineShift(offset)) & 3;
}

// Cells of `state` next to the code's cell going one way (sign -1 or +1), at most four.
constexpr int Run(int code, int sign, int state) {
    int n = 0;
    while (n < SCAN && StateAt(code, sign * (n + 1)) == state) n++;
    return n;
}

// How many cells from (x, y) along (dx, dy) lie on the board, at most SCAN.
// Computing it once per scan keeps the cell loop free of bounds tests.
int Reach(int x, int y, int dx, int dy) {
    int reach = SCAN;
    if (dx > 0 && width - 1 - x < reach) reach = width - 1 - x;
    if (dx < 0 && x < reach) reach = x;
    if (dy > 0 && height - 1 - y < reach) reach = height - 1 - y;
    if (dy < 0 && y < reach) reach = y;
    return reach;
}

// Number of consecutive cells of the side next to (x, y) along (dx, dy),
// on the board and at most four; the cell (x, y) itself is never read.
int BoardRun(int x, int y, int dx, int dy, int side) {
    const int reach = Reach(x, y, dx, dy);
    int n = 0;
    while (n < reach && (board[x + (n + 1) * dx][y + (n + 1) * dy] & SIDE_MASK) == side) n++;
    return n;
}

}  // namespace

// A five: four or more stones of the side around the cell (overlines count).
// An open four: a run of at least four once the cell is filled, at most three
// on either side, and an empty cell at each end.
int LineFlagsOf(int code) {
    int flags = 0;
    for (const int side : {SIDE_MINE, SIDE_OPPONENT}) {
        const int state = SideState(side);
        const int backward = Run(code, -1, state), forward = Run(code, +1, state);
        if (backward + forward >= SCAN) flags |= SideFlag(FLAG_FIVE, side);
        if (backward < SCAN && forward < SCAN && backward + forward >= SCAN - 1 &&
            StateAt(code, -(backward + 1)) == STATE_EMPTY &&
            StateAt(code, forward + 1) == STATE_EMPTY)
            flags |= SideFlag(FLAG_OPEN4, side);
    }
    return flags;
}

const std::array<std::uint8_t, LINE_CODES> LINE_FLAGS = [] {
    std::array<std::uint8_t, LINE_CODES> flags{};
    for (int code = 0; code < LINE_CODES; code++)
        flags[code] = static_cast<std::uint8_t>(LineFlagsOf(code));
    return flags;
}();

// A stone of the side on (x, y) would stand in five or more in a row along
// the direction; overlines count. The turn asks before the search's copy of
// the board is taken, so this reads board.
bool IsWinWay(int x, int y, int side, int direction) {
    const Step s = DIRECTIONS[direction];
    return BoardRun(x, y, -s.dx, -s.dy, side) + BoardRun(x, y, s.dx, s.dy, side) >= SCAN;
}

bool IsWin(int x, int y, int side) {
    for (int direction = 0; direction < 4; direction++)
        if (IsWinWay(x, y, side, direction)) return true;
    return false;
}

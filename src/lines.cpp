// Line patterns (what a stone on a cell would make along one line), the
// search's copy of the board whose line codes answer them in one look-up,
// and the stages built on them: fives and open fours among the candidates.
#include "lines.h"

#include <cstring>
#include <utility>

#include "search.h"

std::uint8_t g_Cells[PADDED * PADDED];
std::uint16_t g_LineCode[4][PADDED * PADDED];
std::uint16_t g_LineFlags[PADDED * PADDED];

namespace {

// The four lines through a cell, directions 0 to 3.
constexpr Step DIRECTIONS[4] = {{+1, -1}, {+1, +1}, {+1, 0}, {0, +1}};
constexpr int SCAN = 4;  // no run is counted beyond four stones

constexpr int OFFSETS[2 * SCAN] = {-4, -3, -2, -1, 1, 2, 3, 4};

constexpr int StateAt(int code, int offset) {
    return (code >> LineShift(offset)) & 3;
}

// Cells of `state` next to the code's cell going one way (sign -1 or +1), at most four.
constexpr int Run(int code, int sign, int state) {
    int n = 0;
    while (n < SCAN && StateAt(code, sign * (n + 1)) == state) n++;
    return n;
}

// A five: four or more stones of the side around the cell (overlines count).
// An open four: a run of at least four once the cell is filled, at most three
// on either side, and an empty cell at each end.
int FlagsOf(int code) {
    int flags = 0;
    for (const int side : {SIDE_MINE, SIDE_OPPONENT}) {
        const int state = side == SIDE_MINE ? STATE_MINE : STATE_OPPONENT;
        const int backward = Run(code, -1, state), forward = Run(code, +1, state);
        if (backward + forward >= SCAN) flags |= SideFlag(FLAG_FIVE, side);
        if (backward < SCAN && forward < SCAN && backward + forward >= SCAN - 1 &&
            StateAt(code, -(backward + 1)) == STATE_EMPTY && StateAt(code, forward + 1) == STATE_EMPTY)
            flags |= SideFlag(FLAG_OPEN4, side);
    }
    return flags;
}

bool OnBoard(int x, int y) {
    return x >= 0 && y >= 0 && x < width && y < height;
}

// The line code of (x, y) in one direction, read from board itself.
int BoardLineCode(int x, int y, int direction) {
    const Step s = DIRECTIONS[direction];
    int code = 0;
    for (const int offset : OFFSETS) {
        const int cx = x + offset * s.dx, cy = y + offset * s.dy;
        code |= (OnBoard(cx, cy) ? StateOf(board[cx][cy]) : STATE_CLOSED) << LineShift(offset);
    }
    return code;
}

// Marks every candidate of the current depth on which `side` makes an open four.
bool Can4Open(int side, bool testOnly) {
    const int depth = g_AktualDepth;
    const int flag = SideFlag(FLAG_OPEN4, side) * EVERY_DIRECTION;
    bool found = false;
    for (int i = 0; i < g_CountMove[depth]; i++) {
        const TMyMove c = g_ListMove[i][depth];
        if (g_LineFlags[CellIndex(c.x, c.y)] & flag) {
            found = true;
            if (!testOnly) boardValue[c.x][c.y] = MARK_OPEN_FOUR;
        }
    }
    return found;
}

// The first candidate of the current depth on which `side` completes a five.
bool CanWin(int side) {
    const int depth = g_AktualDepth;
    const int flag = SideFlag(FLAG_FIVE, side) * EVERY_DIRECTION;
    for (int i = 0; i < g_CountMove[depth]; i++) {
        const TMyMove c = g_ListMove[i][depth];
        if (g_LineFlags[CellIndex(c.x, c.y)] & flag) {
            g_BestMove = c;
            return true;
        }
    }
    return false;
}

}  // namespace

const std::array<std::uint8_t, LINE_CODES> LINE_FLAGS = [] {
    std::array<std::uint8_t, LINE_CODES> flags{};
    for (int code = 0; code < LINE_CODES; code++) flags[code] = static_cast<std::uint8_t>(FlagsOf(code));
    return flags;
}();

void SyncSearchBoard() {
    std::memset(g_Cells, CELL_OFF, sizeof g_Cells);
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++) g_Cells[CellIndex(x, y)] = static_cast<std::uint8_t>(board[x][y]);
    // Only cells of the playing area are ever looked up; the rest keep
    // whatever their neighbours' changes leave in them.
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++) {
            const int p = CellIndex(x, y);
            int flags = 0;
            for (int direction = 0; direction < 4; direction++) {
                int code = 0;
                for (const int offset : OFFSETS)
                    code |= CELL_STATE[g_Cells[p + offset * INDEX_STEP[direction]]] << LineShift(offset);
                g_LineCode[direction][p] = static_cast<std::uint16_t>(code);
                flags |= LINE_FLAGS[code] << 4 * direction;
            }
            g_LineFlags[p] = static_cast<std::uint16_t>(flags);
        }
}

namespace {

// A changed state (`change`, the old state xor the new) of cell index p
// reaches the line codes of the four cells on each side of it along one
// direction, each at a different offset, and their flags.
template <int DIRECTION, int... SLOT>
void ChangeLine(int p, int change, std::integer_sequence<int, SLOT...>) {
    constexpr int step = INDEX_STEP[DIRECTION], shift = 4 * DIRECTION;
    std::uint16_t* const codes = g_LineCode[DIRECTION] + p;
    std::uint16_t* const flags = g_LineFlags + p;
    const auto changeOne = [&](int offset) {
        const int q = -offset * step;
        const int line = codes[q] ^ change << LineShift(offset);
        codes[q] = static_cast<std::uint16_t>(line);
        flags[q] = static_cast<std::uint16_t>((flags[q] & ~(0xF << shift)) | LINE_FLAGS[line] << shift);
    };
    (changeOne(OFFSETS[SLOT]), ...);
}

}  // namespace

void PutCell(int x, int y, int code) {
    SetCell(x, y, code);
    const int p = CellIndex(x, y);
    const int change = CELL_STATE[g_Cells[p]] ^ CELL_STATE[code];
    g_Cells[p] = static_cast<std::uint8_t>(code);
    if (change == 0) return;
    constexpr auto slots = std::make_integer_sequence<int, 2 * SCAN>();
    ChangeLine<0>(p, change, slots);
    ChangeLine<1>(p, change, slots);
    ChangeLine<2>(p, change, slots);
    ChangeLine<3>(p, change, slots);
}

// A stone of the side on (x, y) would stand in five or more in a row along
// the direction; overlines count.
bool IsWinWay(int x, int y, int side, int direction) {
    return LINE_FLAGS[BoardLineCode(x, y, direction)] & SideFlag(FLAG_FIVE, side);
}

bool IsWin(int x, int y, int side) {
    for (int direction = 0; direction < 4; direction++)
        if (IsWinWay(x, y, side, direction)) return true;
    return false;
}

// A stone of the side on (x, y) would stand in a run of at least four with an
// empty cell at each end; four or more on one side is a five, not a four.
bool Is4OpenWay(int x, int y, int side, int direction) {
    return LINE_FLAGS[BoardLineCode(x, y, direction)] & SideFlag(FLAG_OPEN4, side);
}

bool Is4Open(int x, int y, int side) {
    for (int direction = 0; direction < 4; direction++)
        if (Is4OpenWay(x, y, side, direction)) return true;
    return false;
}

bool CanIWin() {
    const SearchScope scope;
    return CanWin(SIDE_MINE);
}

bool CanOpponentWin() {
    const SearchScope scope;
    return CanWin(SIDE_OPPONENT);
}

bool CanI4Open(bool testOnly) {
    const SearchScope scope;
    return Can4Open(SIDE_MINE, testOnly);
}

bool CanOpponent4Open(bool testOnly) {
    const SearchScope scope;
    return Can4Open(SIDE_OPPONENT, testOnly);
}

// Line patterns: what one stone would make along one line (a five, an open
// four), read from board, and the same answer as a table look-up on a code of
// the four cells on each side, which the search's copy of the board keeps.
#pragma once

#include <array>
#include <cstdint>

#include "board.h"

// One step along a ray or line of the board.
struct Step {
    int dx, dy;
};

// The four lines through a cell, directions 0 to 3.
inline constexpr Step DIRECTIONS[4] = {{+1, -1}, {+1, +1}, {+1, 0}, {0, +1}};
inline constexpr int SCAN = 4;  // no run is counted beyond four stones

// Code of a cell outside the playing area in the search's copy; no side.
inline constexpr int CELL_OFF = 8;

// How a line code sees a cell, two bits each. A candidate mark and a cell
// off the board are both closed: neither a stone nor an open end.
inline constexpr int STATE_EMPTY = 0;
inline constexpr int STATE_MINE = 1;
inline constexpr int STATE_OPPONENT = 2;
inline constexpr int STATE_CLOSED = 3;

inline constexpr int StateOf(int code) {
    if (code == CELL_EMPTY) return STATE_EMPTY;
    if (code == CELL_OFF) return STATE_CLOSED;
    if ((code & SIDE_MASK) == SIDE_MINE) return STATE_MINE;
    if ((code & SIDE_MASK) == SIDE_OPPONENT) return STATE_OPPONENT;
    return STATE_CLOSED;
}
// StateOf for every code the search's copy can hold.
inline constexpr auto CELL_STATE = [] {
    std::array<std::uint8_t, 256> states{};
    for (int code = 0; code < 256; code++) states[code] = static_cast<std::uint8_t>(StateOf(code));
    return states;
}();
// The state of a stone of the side, 2 or 4.
inline constexpr int SideState(int side) {
    return side == SIDE_MINE ? STATE_MINE : STATE_OPPONENT;
}

// A line code holds the states of the cells at the eight offsets of its
// slots, slot 0 in the lowest two bits; the cell itself is not part of it.
inline constexpr int SLOT_OFFSET[2 * SCAN] = {-4, -3, -2, -1, 1, 2, 3, 4};
inline constexpr int LineShift(int offset) {
    return 2 * (offset < 0 ? offset + SCAN : offset + SCAN - 1);
}
inline constexpr int LINE_CODES = 1 << 16;

// What a line code allows a stone of either side on its cell: a five, an
// open four. A stone is a threat where it makes either.
inline constexpr int FLAG_FIVE = 1;
inline constexpr int FLAG_OPEN4 = 4;
// The flag of `kind` for one side, 2 (engine) or 4 (opponent): the engine's
// is the lower bit of each pair.
inline constexpr int SideFlag(int kind, int side) {
    return side == SIDE_MINE ? kind : (kind << 1);
}
// What a line code allows, computed; a table built at start-up may call it,
// where LINE_FLAGS may not be filled yet.
int LineFlagsOf(int code);
// LineFlagsOf of every line code; filled at start-up, read-only afterwards.
extern const std::array<std::uint8_t, LINE_CODES> LINE_FLAGS;

// Line patterns: what a stone of `side` on (x, y) would make, read from board.
bool IsWinWay(int x, int y, int side, int direction);
bool IsWin(int x, int y, int side);

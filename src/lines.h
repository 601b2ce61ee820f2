// The search's own copy of the board. It has a border of off-board cells, so
// that rays and line windows need no bounds tests, and it keeps for every
// cell and line the pattern code of the four cells on each side, so that a
// five or an open four of either side is one table look-up.
#pragma once

#include <array>
#include <bit>
#include <cassert>
#include <cstdint>

#include "board.h"

inline constexpr int BORDER = 4;  // a ray or a line window reaches four cells
inline constexpr int PADDED = MAX_BOARD + 2 * BORDER;
// Code of a cell outside the playing area in the search's copy; no side.
inline constexpr int CELL_OFF = 8;

// Index of (x, y) in the search's copy; x and y may lie up to BORDER off the board.
inline int CellIndex(int x, int y) {
    assert(x >= -BORDER && y >= -BORDER && x < MAX_BOARD + BORDER && y < MAX_BOARD + BORDER);
    return (x + BORDER) * PADDED + y + BORDER;
}

// One step along a ray or line of the board.
struct Step {
    int dx, dy;
};

// The four lines through a cell, directions 0 to 3, as steps of the index.
inline constexpr int INDEX_STEP[4] = {PADDED - 1, PADDED + 1, PADDED, 1};

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

// A line code holds the states of the cells at offsets -4..-1 and +1..+4
// from its cell along the line, in that order from the lowest bits; the cell
// itself is not part of it.
inline constexpr int LineShift(int offset) {
    return 2 * (offset < 0 ? offset + BORDER : offset + BORDER - 1);
}
inline constexpr int LINE_CODES = 1 << 16;

// The search's copy of the board: the cell codes of the playing area, and
// CELL_OFF around it and on every cell beyond width x height.
extern std::uint8_t g_Cells[PADDED * PADDED];
// Line codes by direction and cell index, for cells of the playing area.
extern std::uint16_t g_LineCode[4][PADDED * PADDED];

// Takes the search's copy of the board from board, width and height. The
// line codes of a cell are computed when first looked up (EnsureLines) and
// kept up to date by PutCell from then on, until the next copy.
void SyncSearchBoard();
// Epoch of the current copy, 1 to 65535; stamped in g_LineStamp on every
// cell whose codes have been computed from it.
extern std::uint32_t g_LineEpoch;
inline constexpr std::uint32_t EPOCHS = 1u << 16;
// Computes the line codes and flags of cell index p of the playing area.
void RefreshLines(int p);
// Writes one cell during the search: the shared board, the copy and the line codes.
void PutCell(int x, int y, int code);

// A trial stone for the life of a scope: put on its empty cell on entry and
// taken off again on every way out.
class TrialStone {
public:
    TrialStone(int x, int y, int code) : x_(x), y_(y) { PutCell(x, y, code); }
    ~TrialStone() { PutCell(x_, y_, CELL_EMPTY); }
    TrialStone(const TrialStone&) = delete;
    TrialStone& operator=(const TrialStone&) = delete;

private:
    const int x_, y_;
};

// True when board may have changed since the search's copy was taken.
extern bool g_SearchBoardStale;
// True when the copy holds a code other than empty, a stone, a trial stone
// or off the board (a candidate mark, which a ray passes over although its
// line state is closed); the shortcuts that read rays from line codes are
// then not used.
extern bool g_CopyHasMarks;

// Every search operation may be entered from outside a turn (by tests, after
// writing board directly). The outermost entry marks the copy as stale;
// nested calls work on the copy as the search left it.
class SearchScope {
public:
    SearchScope() {
        if (depth_++ == 0) g_SearchBoardStale = true;
    }
    ~SearchScope() { depth_--; }
    SearchScope(const SearchScope&) = delete;
    SearchScope& operator=(const SearchScope&) = delete;
    // True while some search operation runs; the copy, once taken, then
    // matches board.
    static bool Open() { return depth_ > 0; }

private:
    static inline int depth_ = 0;
};

// Takes a fresh copy if it is stale. Called by the operations that read the
// copy before they do, so that a turn which never searches never copies.
inline void UseSearchBoard() {
    if (g_SearchBoardStale) SyncSearchBoard();
}

// What a line code allows a stone of either side on its cell: a five, an
// open four. A stone is a threat where it makes either.
inline constexpr int FLAG_FIVE = 1;
inline constexpr int FLAG_OPEN4 = 4;
// The flag of `kind` for one side, 2 (engine) or 4 (opponent): the engine's
// is the lower bit of each pair.
inline constexpr int SideFlag(int kind, int side) {
    return side == SIDE_MINE ? kind : kind << 1;
}
// Flags of every line code; filled at start-up, read-only afterwards.
extern const std::array<std::uint8_t, LINE_CODES> LINE_FLAGS;

// For each cell of the playing area, the LINE_FLAGS of its four line codes,
// direction d in byte d (bits 8d to 8d + 3), so that a change of one line
// writes one byte.
extern std::uint32_t g_LineFlags[PADDED * PADDED];
inline constexpr int FLAGS_MASK = 0x0F0F0F0F;
// The epoch whose copy each cell's line codes and flags were computed from.
extern std::uint16_t g_LineStamp[PADDED * PADDED];

// For each cell of the playing area, what the search has done around a trial
// stone there since the copy was taken: the epoch in the upper half, and
// below, one bit per cell on its rays (slot i of direction d in bit 8d + i,
// as in a line code) whose boardValue is already 0 and whose line codes are
// valid. Once the epoch matches, the cell's own line codes are valid too.
extern std::uint64_t g_TrialRays[PADDED * PADDED];

// Makes the line codes and flags of cell index p valid for the current copy.
inline void EnsureLines(int p) {
    if (g_LineStamp[p] != g_LineEpoch) RefreshLines(p);
}
// Each direction's flags take the low four bits of one byte of g_LineFlags.
inline constexpr int DIRECTION_FLAGS = 0xF;
inline constexpr int FlagShift(int direction) {
    return 8 * direction;
}
// Which byte of a g_LineFlags word holds bits 8d to 8d + 7.
inline constexpr int FlagByte(int direction) {
    return std::endian::native == std::endian::little ? direction : 3 - direction;
}
// A flag in all four directions of g_LineFlags.
inline constexpr int EVERY_DIRECTION = 0x01010101;

// Bit 8d set when the flags hold a threat of the side (a five or an open
// four) in direction d.
inline int ThreatDirections(int flags, int side) {
    return ((flags | flags >> 2) >> (side == SIDE_MINE ? 0 : 1)) & EVERY_DIRECTION;
}

// Line patterns: what a stone of `side` on (x, y) would make, read from board.
bool IsWinWay(int x, int y, int side, int direction);
bool IsWin(int x, int y, int side);
bool Is4OpenWay(int x, int y, int side, int direction);
bool Is4Open(int x, int y, int side);

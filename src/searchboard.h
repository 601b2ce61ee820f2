// SearchBoard: the search's own copy of the board, kept so that what a stone
// makes along a line is one table look-up and a trial stone's threats are
// read without putting it on the board.
//
// Invariants, all of them:
//  1. The copy is fresh inside a search operation (a SearchScope is open)
//     once Use() has run since the outermost scope began; until then it may
//     be the last turn's. While fresh, cells_ holds board's code for every
//     cell of the playing area and CELL_OFF on the border and on every cell
//     beyond width x height, and every change goes through Put, which writes
//     board and the copy together. Cell, Code and Flags assert freshness.
//  2. While fresh, the line codes and flags of every cell of the playing
//     area are valid: Take computes them all from the copy (a search reads
//     most of them; one pass costs less than asking each time whether a
//     cell's are current) and Put keeps them. Those of the border mean
//     nothing and are never read.
//  3. A trial record of cell p with the copy's epoch lists the cells that a
//     trial stone on p has reached since the copy was taken: their boardValue
//     was set to 0 as a listing would. A record of another epoch means
//     nothing.
//  4. hasMarks_ is set when the copy holds a code a ray treats otherwise
//     than its line state says (a candidate mark, which a ray passes over
//     although it is closed); a trial stone is then read by listing its rays.
//  5. Epochs run from 1 to 65535; at the wrap every record is cleared, and 0
//     never matches.
//
// Bit layouts:
//   line code, one per cell and direction (16 bits; at LineIndex), two bits a slot:
//     bits   15-14 13-12 11-10 9-8 | 7-6 5-4 3-2 1-0
//     slot     7     6     5    4  |  3   2   1   0
//     offset  +4    +3    +2   +1  | -1  -2  -3  -4   along the direction
//     state: 0 empty, 1 engine, 2 opponent, 3 closed (off the board, mark)
//   line flags, one per line code (4 bits):
//     bit 3 open four opponent | bit 2 open four engine | bit 1 five opponent | bit 0 five engine
//   cell flags, one per cell (32 bits): direction d's line flags in bits 8d to 8d + 3
//   ray set, a trial record's and a listing's (32 bits): bit 8d + i for slot i
//     of direction d, the cell at SLOT_OFFSET[i] along that direction
//   trial line, a constant table entry per side and line code (16 bits):
//     bits 15-8 threat: 0, or the side's five flag | bits 7-0 listed: bit i for slot i
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "board.h"
#include "lines.h"

inline constexpr int BORDER = SCAN;  // a ray or a line window reaches four cells
inline constexpr int PADDED = MAX_BOARD + 2 * BORDER;

// Index of (x, y) in the copy; x and y may lie up to BORDER off the board.
inline int CellIndex(int x, int y) {
    assert(x >= -BORDER && y >= -BORDER && x < MAX_BOARD + BORDER && y < MAX_BOARD + BORDER);
    return (x + BORDER) * PADDED + y + BORDER;
}

// The four lines through a cell as steps of the index.
inline constexpr int INDEX_STEP[4] = {PADDED - 1, PADDED + 1, PADDED, 1};
static_assert([] {
    for (int d = 0; d < 4; d++)
        if (INDEX_STEP[d] != DIRECTIONS[d].dx * PADDED + DIRECTIONS[d].dy) return false;
    return true;
}());

// The line codes of each direction lie in their own array, laid out so that
// the cells of one line follow each other: a cell's neighbours along the
// direction are the entries beside its own, and eight of them are one vector. A row holds one line
// (its cells by x, or by y for the vertical one), and the diagonals need a row for every sum or
// difference of x and y.
inline constexpr int LINE_ROWS = 2 * PADDED - 1;
constexpr int LineIndex(int direction, int x, int y) {
    const int column = x + BORDER, row = y + BORDER;
    assert(column >= 0 && row >= 0 && column < PADDED && row < PADDED);
    switch (direction) {
        case 0: return (column + row) * PADDED + column;
        case 1: return (row - column + PADDED - 1) * PADDED + column;
        case 2: return row * PADDED + column;
        default: return column * PADDED + row;
    }
}
// LineIndex of all four directions at once for (x, y), cell index p: from
// the cell index and one product more.
inline std::array<std::ptrdiff_t, 4> LineIndexes(int p, int x, int y) {
    assert(p == CellIndex(x, y));
    const std::ptrdiff_t row = y + BORDER, byColumn = p, byRow = row * PADDED + x + BORDER;
    const std::array<std::ptrdiff_t, 4> indexes = {
        byColumn + byRow - row, byRow - byColumn + row + (PADDED - 1) * PADDED, byRow, byColumn};
    assert(indexes[0] == LineIndex(0, x, y) && indexes[1] == LineIndex(1, x, y));
    return indexes;
}
static_assert([] {
    // One step along a direction is one entry further.
    for (int d = 0; d < 4; d++)
        for (const int x : {-BORDER, 0, MAX_BOARD - 1})
            for (const int y : {0, BORDER, MAX_BOARD - 1})
                if (LineIndex(d, x + DIRECTIONS[d].dx, y + DIRECTIONS[d].dy) !=
                    LineIndex(d, x, y) + 1)
                    return false;
    return true;
}());

// Eight line codes side by side, in a vector of the compiler's that needs no
// instruction set beyond the baseline (and is eight plain codes where a
// target has no vectors); lane i lies at the i-th code in memory.
using EightCodes = std::uint16_t __attribute__((vector_size(16)));

// The cell flags' layout.
inline constexpr int DIRECTION_FLAGS = 0xF;
inline constexpr int FLAGS_MASK = 0x0F0F0F0F;
inline constexpr int EVERY_DIRECTION = 0x01010101;  // a flag in all four directions
inline constexpr int FlagShift(int direction) {
    return 8 * direction;
}

// Bit 8d set when the cell flags hold a threat of the side (a five or an
// open four) in direction d.
inline int ThreatDirections(int flags, int side) {
    return ((flags | (flags >> 2)) >> (side == SIDE_MINE ? 0 : 1)) & EVERY_DIRECTION;
}

// What a trial stone of a side on a cell would give that side, from the
// cells on its rays: the directions in which one of them would make a five
// or an open four (as ThreatDirections gives them), and the line flags of
// each one's own line through the stone, or-ed (as cell flags, or all in the
// first direction's place), for AlongItsLine: only a search that counts a
// threat along the stone's lines alone asks for it.
struct TrialThreats {
    int directions;
    int ownLines;
};

// Whether one of the cells would give the side a five or an open four along
// its own line through the stone.
inline bool AlongItsLine(TrialThreats threats, int side) {
    return ThreatDirections(threats.ownLines, side) != 0;
}

namespace trial {

// All ones when `on`, else 0: a mask that keeps or drops a value.
constexpr int KeepIf(bool on) {
    return on ? ~0 : 0;
}

// What a trial stone of one side on a cell learns from one of the cell's
// line codes alone, as a trial line (its layout in the block above). Its
// listed cells: those its two rays along the line list (an empty cell is
// listed, a stone of the side is passed over, and the other side or the edge
// ends the ray). Its threat: whether the nearest listed cell on either side
// of the stone would give the side a five or an open four along this line
// with the stone in place. Only those two cells' own line changes with the
// stone (between them and the stone lie stones of the side alone), and what
// it gives them along the line lies within the stone's own four cells each
// way: a run through the stone that makes a five or an open four does.
inline constexpr int TRIAL_LISTED = 0xFF;
inline constexpr int TRIAL_THREAT_SHIFT = 8;
struct Lines {
    std::uint16_t of[2][LINE_CODES];  // [0 engine, 1 opponent][line code]
    Lines();                          // fills the table in place: it is too large for a stack
};
extern const Lines LINES;

// For each listing of one line (a slot bit set when the cell is listed), a
// mask per slot: all ones for a listed cell, 0 for the others.
alignas(32) constexpr auto SLOT_MASKS = [] {
    std::array<std::array<std::uint32_t, 2 * SCAN>, 256> masks{};
    for (int listed = 0; listed < 256; listed++)
        for (int slot = 0; slot < 2 * SCAN; slot++)
            masks[listed][slot] = static_cast<std::uint32_t>(KeepIf((listed >> slot) & 1));
    return masks;
}();

}  // namespace trial

class SearchBoard {
public:
    // Scopes of search operations: the outermost marks the copy stale.
    void Enter() {
        if (scopes_++ == 0) taken_ = false;
    }
    void Leave() { scopes_--; }
    // Invariant 1: the copy matches board.
    bool Fresh() const { return scopes_ > 0 && taken_; }
    // Takes a fresh copy if it is stale. The operations that read the copy
    // call it first, so that a turn which never searches never copies.
    void Use() {
        if (!taken_) Take();
    }
    // Takes the copy from board, width and height, in a new epoch.
    void Take();

    // The code of cell index p, and its line code and cell flags, which are
    // valid on the playing area (invariant 2).
    int Cell(int p) const {
        assert(Fresh());
        return cells_[p];
    }
    int Code(int direction, int x, int y) const {
        assert(Fresh());
        return lineCode_[direction][LineIndex(direction, x, y)];
    }
    int Flags(int p) const {
        assert(Fresh());
        return static_cast<int>(lineFlags_[p]);
    }
    // The same through a pointer to cell index p, for loops that read cells
    // at fixed distances from one cell.
    const std::uint8_t* CellsFrom(int p) const {
        assert(Fresh());
        return cells_ + p;
    }
    // The line codes along a direction follow each other (see LineIndex).
    const std::uint16_t* CodesFrom(int direction, int x, int y) const {
        assert(Fresh());
        return lineCode_[direction] + LineIndex(direction, x, y);
    }
    const std::uint32_t* FlagsFrom(int p) const {
        assert(Fresh());
        return lineFlags_ + p;
    }
    bool HasMarks() const { return hasMarks_; }
    // Writes one cell during the search: board, the copy and the line codes
    // around it (on the border as well: harmless, they are never read).
    void Put(int x, int y, int code);

    // Is4Open for (x, y) as it would stand once a stone of code `code` were
    // put on the empty (stoneX, stoneY): the stone changes at most the one
    // line of (x, y) it lies on, which is read with the stone in place.
    bool Is4OpenWith(int x, int y, int side, int stoneX, int stoneY, int code) const;

    // What a trial stone of `side` on (x, y) would give the side, from its
    // line codes; the copy holds no mark. Every cell its rays would list is
    // passed to firstReach(x, y) the first time a stone on (x, y) reaches it
    // in this copy (invariant 3).
    template <class FirstReach>
    TrialThreats ThreatsOfTrialStone(int x, int y, int side, FirstReach&& firstReach) {
        // One reading for each side, so that the side's table and flags are
        // constants in it.
        return side == SIDE_MINE ? ThreatsOfTrialStone<SIDE_MINE>(x, y, firstReach)
                                 : ThreatsOfTrialStone<SIDE_OPPONENT>(x, y, firstReach);
    }

private:
    // Computes the line codes and flags of (x, y) of the playing area.
    void Refresh(int x, int y);

    // Invariant 3: the cells a trial stone on a cell has reached, and when.
    struct TrialRecord {
        std::uint32_t epoch;
        std::uint32_t rays;  // a ray set
    };
    static constexpr std::uint32_t EPOCHS = 1u << 16;

    // One line each, inlined into their one caller as the speed needs.
    template <int DIRECTION>
    [[gnu::always_inline]] inline void ChangeLine(std::ptrdiff_t at, int p, EightCodes changes,
                                                  unsigned change);
    template <int SIDE, class FirstReach>
    TrialThreats ThreatsOfTrialStone(int x, int y, FirstReach& firstReach);
    template <int DIRECTION>
    [[gnu::always_inline]] inline void AddTrialLine(int p, std::uint32_t rays, std::uint32_t& flags,
                                                    std::uint32_t& own) const;

    std::uint8_t cells_[PADDED * PADDED];
    std::uint16_t lineCode_[4][LINE_ROWS * PADDED];  // by direction and LineIndex
    std::uint32_t lineFlags_[PADDED * PADDED];       // cell flags
    TrialRecord trial_[PADDED * PADDED];
    // All zero at start, so that the copy lies in zeroed memory.
    std::uint32_t epoch_ = 0;
    int scopes_ = 0;      // open SearchScopes
    bool taken_ = false;  // the copy was taken since the outermost scope began
    bool hasMarks_ = false;
};

// The one copy.
extern SearchBoard g_SearchBoard;

// Every search operation may be entered from outside a turn (by tests, after
// writing board directly). The outermost entry marks the copy as stale;
// nested calls work on the copy as the search left it.
class SearchScope {
public:
    SearchScope() { g_SearchBoard.Enter(); }
    ~SearchScope() { g_SearchBoard.Leave(); }
    SearchScope(const SearchScope&) = delete;
    SearchScope& operator=(const SearchScope&) = delete;
};

// A trial stone for the life of a scope: put on its empty cell on entry and
// taken off again on every way out.
class TrialStone {
public:
    TrialStone(int x, int y, int code) : x_(x), y_(y) { g_SearchBoard.Put(x, y, code); }
    ~TrialStone() { g_SearchBoard.Put(x_, y_, CELL_EMPTY); }
    TrialStone(const TrialStone&) = delete;
    TrialStone& operator=(const TrialStone&) = delete;

private:
    const int x_, y_;
};

// A stone of the side on (x, y) would stand in a run of at least four with an
// empty cell at each end along the direction; four or more on one side is a
// five, not a four. Read from the copy, which must be fresh.
inline bool Is4OpenWay(int x, int y, int side, int direction) {
    assert(x >= 0 && y >= 0 && x < width && y < height);
    return (g_SearchBoard.Flags(CellIndex(x, y)) >> FlagShift(direction)) &
           SideFlag(FLAG_OPEN4, side);
}

inline bool Is4Open(int x, int y, int side) {
    assert(x >= 0 && y >= 0 && x < width && y < height);
    return (g_SearchBoard.Flags(CellIndex(x, y)) &
            (SideFlag(FLAG_OPEN4, side) * EVERY_DIRECTION)) != 0;
}

inline bool SearchBoard::Is4OpenWith(int x, int y, int side, int stoneX, int stoneY,
                                     int code) const {
    assert(Fresh() && x >= 0 && y >= 0 && x < width && y < height);
    const int p = CellIndex(x, y);
    std::uint32_t flags = lineFlags_[p];
    const int dx = stoneX - x, dy = stoneY - y;
    const int reach = std::max(std::abs(dx), std::abs(dy));
    if (reach <= SCAN && (dx == 0 || dy == 0 || dx == dy || dx == -dy)) {
        assert(reach > 0 && cells_[CellIndex(stoneX, stoneY)] == CELL_EMPTY);
        // The direction, and the stone's offset along it.
        const int direction = dx == 0 ? 3 : dy == 0 ? 2 : dx == dy ? 1 : 0;
        const int offset = direction == 3 ? dy : dx;
        const unsigned line = lineCode_[direction][LineIndex(direction, x, y)] ^
                              (static_cast<unsigned>(CELL_STATE[code]) << LineShift(offset));
        flags = (flags & ~(static_cast<std::uint32_t>(DIRECTION_FLAGS) << FlagShift(direction))) |
                (static_cast<std::uint32_t>(LINE_FLAGS[line]) << FlagShift(direction));
    }
    return (flags & static_cast<std::uint32_t>(SideFlag(FLAG_OPEN4, side) * EVERY_DIRECTION)) != 0;
}

// The listed cells of one line through the stone: their cell flags into
// `flags`, and into `own` the flags of their own line, as they stand without
// the stone. What the stone adds to that line, for the nearest listed cell
// on each side alone, is the line's table entry, which the caller adds. Every
// slot is read and masked rather than branched on: which cells are listed
// varies too much to predict.
template <int DIRECTION>
void SearchBoard::AddTrialLine(int p, std::uint32_t rays, std::uint32_t& flags,
                               std::uint32_t& own) const {
    constexpr int step = INDEX_STEP[DIRECTION];
    // Read through a pointer to p, so that each slot is a fixed displacement.
    const std::uint32_t* const cellFlags = lineFlags_ + p;
    const std::array<std::uint32_t, 2 * SCAN>& masks =
        trial::SLOT_MASKS[(rays >> FlagShift(DIRECTION)) & trial::TRIAL_LISTED];
    std::uint32_t listed;
    if constexpr (step == 1) {
        // The line's cells lie side by side: four slots at once, in a
        // vector of the compiler's that needs no instruction set beyond
        // the baseline (and is four plain words where there is none).
        using Four = std::uint32_t __attribute__((vector_size(16)));
        Four back, ahead, backMasks, aheadMasks;
        std::memcpy(&back, cellFlags - SCAN, sizeof back);
        std::memcpy(&ahead, cellFlags + 1, sizeof ahead);
        std::memcpy(&backMasks, masks.data(), sizeof backMasks);
        std::memcpy(&aheadMasks, masks.data() + SCAN, sizeof aheadMasks);
        const Four both = (back & backMasks) | (ahead & aheadMasks);
        using Two = std::uint64_t __attribute__((vector_size(16)));
        Two pairs;
        std::memcpy(&pairs, &both, sizeof pairs);
        const std::uint64_t pair = pairs[0] | pairs[1];
        listed = static_cast<std::uint32_t>(pair | (pair >> 32));
    } else {
        listed = [&]<int... SLOT>(std::integer_sequence<int, SLOT...>) {
            return ((cellFlags[SLOT_OFFSET[SLOT] * step] & masks[SLOT]) | ...);
        }
        (std::make_integer_sequence<int, 2 * SCAN>());
    }
    flags |= listed;
    own |= listed & (DIRECTION_FLAGS << FlagShift(DIRECTION));
}

// A cell's own line flags, which lack the stone, are or-ed in whole: a stone
// of the side added to a line never takes away a five or an open four of
// that side elsewhere on it, so the flags with the stone cover them.
template <int SIDE, class FirstReach>
TrialThreats SearchBoard::ThreatsOfTrialStone(int x, int y, FirstReach& firstReach) {
    assert(Fresh() && !hasMarks_ && x >= 0 && y >= 0 && x < width && y < height);
    const int p = CellIndex(x, y);
    TrialRecord record = trial_[p];
    if (record.epoch != epoch_) record = {epoch_, 0};
    // The listed cells of the four lines as a ray set, and their threats as
    // cell flags.
    const std::uint16_t* const lines = trial::LINES.of[SIDE == SIDE_MINE ? 0 : 1];
    const std::array<std::ptrdiff_t, 4> at = LineIndexes(p, x, y);
    const std::uint32_t line0 = lines[lineCode_[0][at[0]]], line1 = lines[lineCode_[1][at[1]]],
                        line2 = lines[lineCode_[2][at[2]]], line3 = lines[lineCode_[3][at[3]]];
    constexpr std::uint32_t threat = static_cast<std::uint32_t>(~trial::TRIAL_LISTED);
    const std::uint32_t all = (line0 & trial::TRIAL_LISTED) |
                              ((line1 & trial::TRIAL_LISTED) << FlagShift(1)) |
                              ((line2 & trial::TRIAL_LISTED) << FlagShift(2)) |
                              ((line3 & trial::TRIAL_LISTED) << FlagShift(3));
    const std::uint32_t threats = ((line0 & threat) >> trial::TRIAL_THREAT_SHIFT) |
                                  ((line1 & threat) << (FlagShift(1) - trial::TRIAL_THREAT_SHIFT)) |
                                  ((line2 & threat) << (FlagShift(2) - trial::TRIAL_THREAT_SHIFT)) |
                                  ((line3 & threat) << (FlagShift(3) - trial::TRIAL_THREAT_SHIFT));
    std::uint32_t fresh = all & ~record.rays;
    if (fresh != 0) {
        trial_[p] = {epoch_, record.rays | all};
        while (fresh != 0) {
            const unsigned bit = static_cast<unsigned>(std::countr_zero(fresh));
            fresh &= fresh - 1;
            const int direction = static_cast<int>(bit / 8), offset = SLOT_OFFSET[bit % 8];
            firstReach(x + offset * DIRECTIONS[direction].dx,
                       y + offset * DIRECTIONS[direction].dy);
        }
    }
    std::uint32_t flags = 0, own = threats;
    AddTrialLine<0>(p, all, flags, own);
    AddTrialLine<1>(p, all, flags, own);
    AddTrialLine<2>(p, all, flags, own);
    AddTrialLine<3>(p, all, flags, own);
    // Flags words hold nothing beyond their four flags a direction.
    return {ThreatDirections(static_cast<int>(flags | own), SIDE), static_cast<int>(own)};
}

// The search's copy of the board: taking it, computing a cell's line codes,
// and keeping them up to date as trial stones come and go.
#include "searchboard.h"

#include <array>
#include <bit>
#include <cassert>
#include <cstring>

SearchBoard g_SearchBoard;

namespace {

// A line code's window stays inside the border.
static_assert(BORDER >= SCAN && SLOT_OFFSET[0] == -SCAN && SLOT_OFFSET[2 * SCAN - 1] == SCAN);

// Empty, a stone or a trial stone of either side: a code whose line state
// tells how a ray treats it.
constexpr bool IsPlainCode(int code) {
    return code == CELL_EMPTY || (code >= CELL_MINE && code <= CELL_OPPONENT_TRIAL);
}

// Which byte of a cell flags word holds direction d's flags.
constexpr int FlagByte(int direction) {
    return std::endian::native == std::endian::little ? direction : 3 - direction;
}

// The side's threat at the listed cell `offset` along a line whose code, for
// a stone of the side on the line's cell, is `code`: the listed cell's own
// code is read from the stone's, the stone in its place; its cells beyond the
// stone's four each way cannot change the answer and are read as closed.
bool NearestThreat(int code, int offset, int side) {
    int near = 0;
    for (const int slot : SLOT_OFFSET) {
        const int at = offset + slot;  // from the stone's cell
        const int state = at == 0                     ? SideState(side)
                          : at >= -SCAN && at <= SCAN ? (code >> LineShift(at)) & 3
                                                      : STATE_CLOSED;
        near |= state << LineShift(slot);
    }
    return (LineFlagsOf(near) & SideFlag(FLAG_FIVE | FLAG_OPEN4, side)) != 0;
}

}  // namespace

trial::Lines::Lines() {
    // The engine's entries; the opponent's are those of the code with the
    // two sides' stones exchanged, as the rules treat both alike.
    {
        const int side = SIDE_MINE;
        for (int code = 0; code < LINE_CODES; code++) {
            int listed = 0, threat = 0;
            for (const int sign : {-1, +1})
                for (int k = 1; k <= SCAN; k++) {
                    const int offset = sign * k, state = (code >> LineShift(offset)) & 3;
                    if (state == STATE_EMPTY) {
                        // The nearest listed cell of this ray is the first.
                        if ((listed & (sign < 0 ? 0x0F : 0xF0)) == 0 &&
                            NearestThreat(code, offset, side))
                            threat = SideFlag(FLAG_FIVE, side);
                        listed |= 1 << (LineShift(offset) / 2);
                    } else if (state != SideState(side)) {
                        break;
                    }
                }
            of[0][code] = static_cast<std::uint16_t>(listed | (threat << TRIAL_THREAT_SHIFT));
        }
    }
    static_assert((STATE_MINE ^ STATE_OPPONENT) == 3);
    for (int code = 0; code < LINE_CODES; code++) {
        const int exchanged = ((code & 0x5555) << 1) | ((code & 0xAAAA) >> 1);
        const int mine = of[0][exchanged];
        of[1][code] = static_cast<std::uint16_t>(
            (mine & TRIAL_LISTED) | ((mine >> TRIAL_THREAT_SHIFT) != 0
                                         ? SideFlag(FLAG_FIVE, SIDE_OPPONENT) << TRIAL_THREAT_SHIFT
                                         : 0));
    }
}

const trial::Lines trial::LINES;

void SearchBoard::Take() {
    taken_ = true;
    // A new epoch makes every trial record mean nothing.
    if (++epoch_ == EPOCHS) {
        std::memset(trial_, 0, sizeof trial_);
        epoch_ = 1;
    }
    // Only the playing area and the border around it are ever read.
    const int column = height + 2 * BORDER;
    std::uint8_t marks = 0;  // any code IsPlainCode refuses
    for (int x = -BORDER; x < width + BORDER; x++) {
        std::uint8_t* const cells = cells_ + CellIndex(x, -BORDER);
        if (x < 0 || x >= width) {
            std::memset(cells, CELL_OFF, static_cast<std::size_t>(column));
            continue;
        }
        std::memset(cells, CELL_OFF, BORDER);
        // The row's length is read once: a byte store could change height
        // as far as the compiler knows, which would keep it from
        // vectorising the copy.
        const int rows = height;
        for (int y = 0; y < rows; y++) {
            const std::uint8_t code = static_cast<std::uint8_t>(board[x][y]);
            cells[BORDER + y] = code;
            marks |=
                static_cast<std::uint8_t>((code == CELL_CANDIDATE) | (code > CELL_OPPONENT_TRIAL));
        }
        std::memset(cells + BORDER + height, CELL_OFF, BORDER);
    }
    hasMarks_ = marks != 0;
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++) Refresh(x, y);
}

void SearchBoard::Refresh(int x, int y) {
    const int p = CellIndex(x, y);
    int flags = 0;
    for (int direction = 0; direction < 4; direction++) {
        int code = 0;
        for (const int offset : SLOT_OFFSET)
            code |= CELL_STATE[cells_[p + offset * INDEX_STEP[direction]]] << LineShift(offset);
        lineCode_[direction][LineIndex(direction, x, y)] = static_cast<std::uint16_t>(code);
        flags |= LINE_FLAGS[code] << FlagShift(direction);
    }
    lineFlags_[p] = static_cast<std::uint32_t>(flags);
}

// The xor that a changed state of 1 on a cell makes in the line codes of the
// eight cells from four before it to three after it along a line, in the
// order they lie in memory (lane 4 is the cell itself, whose codes do not
// hold it); a change of 2 or 3 is that times the change.
constexpr EightCodes CHANGE_OF_EIGHT = {
    1 << LineShift(4),  1 << LineShift(3),  1 << LineShift(2), 1 << LineShift(1), 0,
    1 << LineShift(-1), 1 << LineShift(-2), 1 << LineShift(-3)};

// A changed state of cell index p, at `at` in the direction's codes, reaches
// the line codes of the four cells on each side of it along one direction,
// each at a different slot, and their flags: `changes` is CHANGE_OF_EIGHT
// times the change (the old state xor the new), `change` the change. The
// codes lie side by side: eight of them are read, changed and written as one
// vector, and their flags looked up from it.
template <int DIRECTION>
void SearchBoard::ChangeLine(std::ptrdiff_t at, int p, EightCodes changes, unsigned change) {
    constexpr int step = INDEX_STEP[DIRECTION];
    std::uint16_t* const codes = lineCode_[DIRECTION] + at;
    EightCodes eight;
    std::memcpy(&eight, codes - SCAN, sizeof eight);
    eight ^= changes;
    std::memcpy(codes - SCAN, &eight, sizeof eight);
    const unsigned last = codes[SCAN] ^ (change << LineShift(-SCAN));
    codes[SCAN] = static_cast<std::uint16_t>(last);
    // The direction's byte of each flags word; the other three stay as they are.
    unsigned char* const flags =
        reinterpret_cast<unsigned char*>(lineFlags_ + p) + FlagByte(DIRECTION);
    constexpr int flagsStep = step * static_cast<int>(sizeof(std::uint32_t));
    static_assert(sizeof *lineFlags_ == sizeof(std::uint32_t));
    // The cell at offset k along the line is lane k + 4 of the vector, or
    // the last code.
    static_assert(SCAN == 4);
    flags[-4 * flagsStep] = LINE_FLAGS[eight[0]];
    flags[-3 * flagsStep] = LINE_FLAGS[eight[1]];
    flags[-2 * flagsStep] = LINE_FLAGS[eight[2]];
    flags[-1 * flagsStep] = LINE_FLAGS[eight[3]];
    flags[1 * flagsStep] = LINE_FLAGS[eight[5]];
    flags[2 * flagsStep] = LINE_FLAGS[eight[6]];
    flags[3 * flagsStep] = LINE_FLAGS[eight[7]];
    flags[4 * flagsStep] = LINE_FLAGS[last];
}

void SearchBoard::Put(int x, int y, int code) {
    assert(Fresh());
    SetCell(x, y, code);
    if (!IsPlainCode(code)) hasMarks_ = true;
    const int p = CellIndex(x, y);
    const int change = CELL_STATE[cells_[p]] ^ CELL_STATE[code];
    cells_[p] = static_cast<std::uint8_t>(code);
    if (change == 0) return;
    const std::array<std::ptrdiff_t, 4> at = LineIndexes(p, x, y);
    const EightCodes changes = CHANGE_OF_EIGHT * static_cast<std::uint16_t>(change);
    ChangeLine<0>(at[0], p, changes, static_cast<unsigned>(change));
    ChangeLine<1>(at[1], p, changes, static_cast<unsigned>(change));
    ChangeLine<2>(at[2], p, changes, static_cast<unsigned>(change));
    ChangeLine<3>(at[3], p, changes, static_cast<unsigned>(change));
}

// The search's copy of the board: taking it, computing a cell's line codes,
// and keeping them up to date as trial stones come and go.
#include "searchboard.h"

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
    for (int s = 0; s < 2; s++) {
        const int side = s == 0 ? SIDE_MINE : SIDE_OPPONENT;
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
            of[s][code] = static_cast<std::uint16_t>(listed | (threat << TRIAL_THREAT_SHIFT));
        }
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
        for (int y = 0; y < height; y++) Refresh(CellIndex(x, y));
}

void SearchBoard::Refresh(int p) {
    int flags = 0;
    for (int direction = 0; direction < 4; direction++) {
        int code = 0;
        for (const int offset : SLOT_OFFSET)
            code |= CELL_STATE[cells_[p + offset * INDEX_STEP[direction]]] << LineShift(offset);
        lineCode_[direction][p] = static_cast<std::uint16_t>(code);
        flags |= LINE_FLAGS[code] << FlagShift(direction);
    }
    lineFlags_[p] = static_cast<std::uint32_t>(flags);
}

// A changed state (`change`, the old state xor the new) of cell index p
// reaches the line codes of the four cells on each side of it along one
// direction, each at a different slot, and their flags.
template <int DIRECTION>
void SearchBoard::ChangeLine(int p, int change) {
    constexpr int step = INDEX_STEP[DIRECTION];
    std::uint16_t* const codes = lineCode_[DIRECTION] + p;
    // The direction's byte of each flags word; the other three stay as they are.
    unsigned char* const flags =
        reinterpret_cast<unsigned char*>(lineFlags_ + p) + FlagByte(DIRECTION);
    // The cell -offset along the line from p holds p at +offset.
    // Unsigned, so that the code indexes the table without a sign extension.
    const auto changeOne = [&](int offset) {
        const int q = -offset * step;
        const unsigned line = codes[q] ^ (static_cast<unsigned>(change) << LineShift(offset));
        codes[q] = static_cast<std::uint16_t>(line);
        flags[q * static_cast<int>(sizeof *lineFlags_)] = LINE_FLAGS[line];
    };
    [&]<int... SLOT>(std::integer_sequence<int, SLOT...>) {
        (changeOne(SLOT_OFFSET[SLOT]), ...);
    }
    (std::make_integer_sequence<int, 2 * SCAN>());
}

void SearchBoard::Put(int x, int y, int code) {
    assert(Fresh());
    SetCell(x, y, code);
    if (!IsPlainCode(code)) hasMarks_ = true;
    const int p = CellIndex(x, y);
    const int change = CELL_STATE[cells_[p]] ^ CELL_STATE[code];
    cells_[p] = static_cast<std::uint8_t>(code);
    if (change == 0) return;
    ChangeLine<0>(p, change);
    ChangeLine<1>(p, change);
    ChangeLine<2>(p, change);
    ChangeLine<3>(p, change);
}

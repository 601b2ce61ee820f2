// Line patterns (what a stone on a cell would make along one line), read
// from board, and the search's copy of the board whose line codes answer
// them in one look-up.
#include "lines.h"

#include <cstring>
#include <utility>

#include "board.h"

std::uint8_t g_Cells[PADDED * PADDED];
std::uint16_t g_LineCode[4][PADDED * PADDED];
std::uint32_t g_LineFlags[PADDED * PADDED];
std::uint16_t g_LineStamp[PADDED * PADDED];
std::uint32_t g_LineEpoch;
bool g_SearchBoardStale = true;
bool g_CopyHasMarks;
std::uint64_t g_TrialRays[PADDED * PADDED];

namespace {

// The four lines through a cell, directions 0 to 3.
constexpr Step DIRECTIONS[4] = {{+1, -1}, {+1, +1}, {+1, 0}, {0, +1}};
constexpr int SCAN = 4;  // no run is counted beyond four stones

constexpr int OFFSETS[2 * SCAN] = {-4, -3, -2, -1, 1, 2, 3, 4};

// A line code's window stays inside the border, and each direction's index
// step is its step on the board.
static_assert(BORDER >= SCAN && OFFSETS[0] == -SCAN && OFFSETS[2 * SCAN - 1] == SCAN);
static_assert([] {
    for (int d = 0; d < 4; d++)
        if (INDEX_STEP[d] != DIRECTIONS[d].dx * PADDED + DIRECTIONS[d].dy) return false;
    return true;
}());

// Empty, a stone or a trial stone of either side: a code whose line state
// tells how a ray treats it.
constexpr bool IsPlainCode(int code) {
    return code == CELL_EMPTY || (code >= CELL_MINE && code <= CELL_OPPONENT_TRIAL);
}

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
            StateAt(code, -(backward + 1)) == STATE_EMPTY &&
            StateAt(code, forward + 1) == STATE_EMPTY)
            flags |= SideFlag(FLAG_OPEN4, side);
    }
    return flags;
}

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
inline int BoardRun(int x, int y, int dx, int dy, int reach, int side) {
    int n = 0;
    while (n < reach && (board[x + (n + 1) * dx][y + (n + 1) * dy] & SIDE_MASK) == side) n++;
    return n;
}

// One side of an open four: the run on that side, or -1 when the run is
// already four long or the cell after it is not an empty cell of the board.
inline int OpenRun(int x, int y, int dx, int dy, int side) {
    const int reach = Reach(x, y, dx, dy);
    const int run = BoardRun(x, y, dx, dy, reach, side);
    if (run == SCAN || run == reach) return -1;
    return board[x + (run + 1) * dx][y + (run + 1) * dy] == CELL_EMPTY ? run : -1;
}

}  // namespace

const std::array<std::uint8_t, LINE_CODES> LINE_FLAGS = [] {
    std::array<std::uint8_t, LINE_CODES> flags{};
    for (int code = 0; code < LINE_CODES; code++)
        flags[code] = static_cast<std::uint8_t>(FlagsOf(code));
    return flags;
}();

void SyncSearchBoard() {
    g_SearchBoardStale = false;
    // A new epoch makes every cell's line codes stale until it is looked up.
    if (++g_LineEpoch == EPOCHS) {
        std::memset(g_LineStamp, 0, sizeof g_LineStamp);
        std::memset(g_TrialRays, 0, sizeof g_TrialRays);
        g_LineEpoch = 1;
    }
    // Only the playing area and the border around it are ever read.
    const int column = height + 2 * BORDER;
    std::uint8_t marks = 0;  // any code IsPlainCode refuses
    for (int x = -BORDER; x < width + BORDER; x++) {
        std::uint8_t* const cells = g_Cells + CellIndex(x, -BORDER);
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
    g_CopyHasMarks = marks != 0;
}

void RefreshLines(int p) {
    int flags = 0;
    for (int direction = 0; direction < 4; direction++) {
        int code = 0;
        for (const int offset : OFFSETS)
            code |= CELL_STATE[g_Cells[p + offset * INDEX_STEP[direction]]] << LineShift(offset);
        g_LineCode[direction][p] = static_cast<std::uint16_t>(code);
        flags |= LINE_FLAGS[code] << FlagShift(direction);
    }
    g_LineFlags[p] = static_cast<std::uint32_t>(flags);
    g_LineStamp[p] = static_cast<std::uint16_t>(g_LineEpoch);
}

namespace {

// A changed state (`change`, the old state xor the new) of cell index p
// reaches the line codes of the four cells on each side of it along one
// direction, each at a different offset, and their flags.
template <int DIRECTION, int... SLOT>
void ChangeLine(int p, int change, std::integer_sequence<int, SLOT...>) {
    constexpr int step = INDEX_STEP[DIRECTION];
    std::uint16_t* const codes = g_LineCode[DIRECTION] + p;
    // The direction's byte of each flags word; the other three stay as they are.
    unsigned char* const flags =
        reinterpret_cast<unsigned char*>(g_LineFlags + p) + FlagByte(DIRECTION);
    const auto changeOne = [&](int offset) {
        const int q = -offset * step;
        const int line = codes[q] ^ change << LineShift(offset);
        codes[q] = static_cast<std::uint16_t>(line);
        flags[q * static_cast<int>(sizeof *g_LineFlags)] = LINE_FLAGS[line];
    };
    (changeOne(OFFSETS[SLOT]), ...);
}

}  // namespace

// Stale neighbours are changed as well: harmless, they are computed afresh
// from the cells when first looked up.
void PutCell(int x, int y, int code) {
    SetCell(x, y, code);
    if (!IsPlainCode(code)) g_CopyHasMarks = true;
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
    const Step s = DIRECTIONS[direction];
    const int backward = BoardRun(x, y, -s.dx, -s.dy, Reach(x, y, -s.dx, -s.dy), side);
    const int forward = BoardRun(x, y, s.dx, s.dy, Reach(x, y, s.dx, s.dy), side);
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

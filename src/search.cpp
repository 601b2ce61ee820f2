// The search stack, candidate generation, the positional score and the final
// choice.
#include "search.h"

#include <cassert>
#include <iterator>
#include <type_traits>
#include <utility>

int g_AktualDepth;
int g_CountMove[MAX_DEPTH];
TMyMove g_ListMove[MAX_CANDIDATES][LIST_DEPTHS];
TMoveStats g_MoveStats;
TMyMove g_BestMove = NO_MOVE;
int g_TickStart;
int g_Time4MyMove;
int boardValue[MAX_BOARD][MAX_BOARD];
std::atomic<int> terminateAI{0};

// A ray ends at the border of the search's copy without a bounds test. Each
// ray's index step is its step on the board; rays 2k and 2k + 1 run along
// line RAY_DIRECTION, the odd one forward (as the line's own step), the even
// one backward.
static_assert(BORDER >= RAY_LENGTH);
static_assert([] {
    for (int r = 0; r < 8; r++) {
        const int forward = INDEX_STEP[RAY_DIRECTION[r]];
        if (RAY_INDEX_STEP[r] != RAYS[r].dx * PADDED + RAYS[r].dy ||
            RAY_INDEX_STEP[r] != (r % 2 == 1 ? forward : -forward) ||
            RAY_DIRECTION[r] != RAY_DIRECTION[r ^ 1])
            return false;
    }
    return true;
}());
// One depth lists at most the cells on the rays of two origins.
static_assert(std::extent_v<decltype(g_ListMove), 0> >= 2 * std::size(RAYS) * RAY_LENGTH);

namespace {

void ClearCandidateCounts() {
    for (int& count : g_CountMove) count = 0;
}

// Set before main runs, and in every program that can read the counts, since
// they are defined here.
[[maybe_unused]] const bool g_restartHookSet = (SetRestartHook(ClearCandidateCounts), true);

bool AnyFreeCell() {
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++)
            if (board[x][y] == CELL_EMPTY) return true;
    return false;
}

bool OnBoard(int x, int y) {
    return x >= 0 && y >= 0 && x < width && y < height;
}

// Walks the eight rays of one origin, listing empty cells until stopSide ends a ray.
void AddRays(TMyMove origin, int stopSide) {
    for (const Step& ray : RAYS)
        for (int k = 1; k <= RAY_LENGTH; k++)
            if (BreakAddMove(origin.x + k * ray.dx, origin.y + k * ray.dy, stopSide)) break;
}

}  // namespace

void fce_SetAktualDepth(int depth) {
    g_AktualDepth = depth;
}

TMoveStats fce_GetStats() {
    return g_MoveStats;
}

// Examines one cell of a ray; true when the ray ends there. A cell already
// marked as a candidate, or a stone of the other side, is passed over so that
// the ray reaches the cells behind it.
bool BreakAddMove(int x, int y, int stopSide) {
    if (!OnBoard(x, y)) return true;
    const int code = board[x][y];
    if (code == CELL_EMPTY) {
        const int depth = g_AktualDepth;
        assert(depth >= 0 && depth < MAX_DEPTH && g_CountMove[depth] < MAX_CANDIDATES);
        SetCell(x, y, CELL_CANDIDATE);
        g_ListMove[g_CountMove[depth]][depth] = {x, y};
        g_CountMove[depth]++;
        boardValue[x][y] = 0;
        return false;
    }
    return (code & SIDE_MASK) == stopSide;
}

// Lists, at the current depth, the empty cells on the rays of both moves:
// first the engine's move, then the opponent's; a move with negative x is
// absent. The turn driver lists its root here, on board itself; the search
// lists around its stones on its own copy (ListRays).
void GetAllMove(TMyMove mine, TMyMove opponent) {
    const int depth = g_AktualDepth;
    assert(depth >= 0 && depth < MAX_DEPTH);
    g_BestMove = NO_MOVE;
    g_CountMove[depth] = 0;
    if (mine.x < 0 && opponent.x < 0) {
        g_ListMove[0][depth] = NO_MOVE;
        return;
    }
    if (mine.x >= 0) AddRays(mine, SIDE_OPPONENT);
    if (opponent.x >= 0) AddRays(opponent, SIDE_MINE);
    // The marks only kept a cell from being listed twice.
    for (int i = 0; i < g_CountMove[depth]; i++) {
        const TMyMove c = g_ListMove[i][depth];
        if (board[c.x][c.y] == CELL_CANDIDATE) SetCell(c.x, c.y, CELL_EMPTY);
    }
}

namespace {

// One ray of ListRays, with the ray's constants known when compiling. The
// border of off-board cells around the search's copy of the board ends every
// ray, so no cell needs a bounds test.
template <int RAY>
void WalkRay(TMyMove origin, int originIndex, int stopSide, int depth,
             TMyMove (*&next)[LIST_DEPTHS]) {
    constexpr Step ray = RAYS[RAY];
    constexpr int step = RAY_INDEX_STEP[RAY];
    const std::uint8_t* const cells = g_SearchBoard.CellsFrom(originIndex);
    int(*const values)[MAX_BOARD] = boardValue + origin.x;
    for (int k = 1; k <= RAY_LENGTH; k++) {
        const int code = cells[k * step];
        if (code == CELL_EMPTY) {
            assert(next - g_ListMove < MAX_CANDIDATES);
            (*next)[depth] = {origin.x + k * ray.dx, origin.y + k * ray.dy};
            next++;
            values[k * ray.dx][origin.y + k * ray.dy] = 0;
        } else if (code == CELL_OFF || (code & SIDE_MASK) == stopSide) {
            return;
        }
    }
}

template <int... RAY>
void WalkRays(TMyMove origin, int stopSide, int* rayEnds, std::integer_sequence<int, RAY...>) {
    const int depth = g_AktualDepth;
    assert(depth >= 0 && depth < MAX_DEPTH);
    TMyMove(*next)[LIST_DEPTHS] = g_ListMove + g_CountMove[depth];
    const int originIndex = CellIndex(origin.x, origin.y);
    ((WalkRay<RAY>(origin, originIndex, stopSide, depth, next),
      rayEnds[RAY] = static_cast<int>(next - g_ListMove)),
     ...);
    g_CountMove[depth] = static_cast<int>(next - g_ListMove);
}

}  // namespace

void ListRays(TMyMove origin, int stopSide, int (&rayEnds)[8]) {
    WalkRays(origin, stopSide, rayEnds, std::make_integer_sequence<int, 8>());
}

// Product of one ray: opponent stones close to the cell weigh most, open
// cells double, a candidate mark counts 1, and an engine stone or the edge
// ends the ray. Read from the search's copy, which must be fresh; its border
// ends every ray.
int EvalMoveWay(TMyMove cell, int dx, int dy) {
    const int p = CellIndex(cell.x, cell.y), step = dx * PADDED + dy;
    int result = 1;
    for (int k = 1; k <= RAY_LENGTH; k++) {
        const int code = g_SearchBoard.Cell(p + k * step);
        if (code == CELL_OFF || (code & SIDE_MASK) == SIDE_MINE) break;
        if ((code & SIDE_MASK) == SIDE_OPPONENT)
            result *= 7 - k;
        else if (code == CELL_EMPTY)
            result *= 2;
    }
    return result;
}

// Adds the positional score (sum over the four lines of the products of
// their two opposite rays) to the cell's boardValue.
void EvalMove(TMyMove cell) {
    int ray[8];
    for (int r = 0; r < 8; r++) ray[r] = EvalMoveWay(cell, RAYS[r].dx, RAYS[r].dy);
    boardValue[cell.x][cell.y] +=
        ray[0] * ray[1] + ray[2] * ray[3] + ray[4] * ray[5] + ray[6] * ray[7];
}

// Inside a turn the stages have taken the search's copy already.
void EvalMoves() {
    const SearchScope scope;
    const int depth = g_AktualDepth;
    if (g_CountMove[depth] > 0) g_SearchBoard.Use();
    for (int i = 0; i < g_CountMove[depth]; i++) EvalMove(g_ListMove[i][depth]);
}
// Uniform random choice among the candidates of the current depth with the
// highest boardValue, by drawing indexes until one holds the maximum.
TMyMove DefenseMove() {
    const int depth = g_AktualDepth;
    const int count = g_CountMove[depth];
    int best = 0;
    for (int i = 0; i < count; i++) {
        const TMyMove c = g_ListMove[i][depth];
        if (boardValue[c.x][c.y] > best) best = boardValue[c.x][c.y];
    }
    for (;;) {
        const TMyMove c = g_ListMove[rnd(static_cast<std::uint32_t>(count))][depth];
        if (boardValue[c.x][c.y] == best) return c;
    }
}

// A random free cell, x drawn before y; (-1, -1) when a stop was requested
// or the playing area has no free cell left, where drawing would never end.
TMyMove RandomMove() {
    int x = static_cast<int>(rnd(static_cast<std::uint32_t>(width)));
    int y = static_cast<int>(rnd(static_cast<std::uint32_t>(height)));
    if (terminateAI.load(std::memory_order_relaxed)) return NO_MOVE;
    // Only when the first draw misses is the board searched for a free cell.
    if (board[x][y] != CELL_EMPTY && !AnyFreeCell()) return NO_MOVE;
    while (board[x][y] != CELL_EMPTY) {
        x = static_cast<int>(rnd(static_cast<std::uint32_t>(width)));
        y = static_cast<int>(rnd(static_cast<std::uint32_t>(height)));
    }
    return {x, y};
}

// The search stack, candidate generation, the positional score and the final
// choice.
#pragma once

#include <atomic>
#include <cassert>

#include "board.h"
#include "searchboard.h"

inline constexpr int MAX_DEPTH = 50;
inline constexpr int MAX_CANDIDATES = 64;
// Rows of depth in the candidate lists; more than the deepest listing needs.
inline constexpr int LIST_DEPTHS = 52;

// Marks that the stages assign in boardValue; each is above every mark below
// it, and MARK_OPEN_FOUR is above every positional score (4 * 360 * 360).
inline constexpr int MARK_OPEN_FOUR = 1000000;
inline constexpr int MARK_DOUBLE_THREAT = 100000;
inline constexpr int MARK_THREAT_SEQUENCE = 10000;

// The eight rays in the order candidates are discovered; rays 2k and 2k+1
// are opposite, so pairs form the four lines of the positional score.
inline constexpr Step RAYS[8] = {{-1, -1}, {+1, +1}, {-1, +1}, {+1, -1},
                                 {-1, 0},  {+1, 0},  {0, -1},  {0, +1}};
inline constexpr int RAY_LENGTH = 4;
// The line direction (0 to 3) each ray runs along, and the ray as a step of
// the index in the search's copy of the board.
inline constexpr int RAY_DIRECTION[8] = {1, 1, 0, 0, 2, 2, 3, 3};
inline constexpr int RAY_INDEX_STEP[8] = {-PADDED - 1, PADDED + 1, -PADDED + 1, PADDED - 1,
                                          -PADDED,     PADDED,     -1,          1};

// Raised by the front end to ask a running turn to give up; read by the search.
extern std::atomic<int> terminateAI;

// Statistics of one turn.
struct TMoveStats {
    int time;   // milliseconds the turn took
    int eval;   // boardValue of the chosen cell
    int depth;  // deepest g_AktualDepth reached
    int nodes;  // number of pops
};

// Current depth of the search; 0 at the root of a turn.
extern int g_AktualDepth;
// Number of candidates listed at each depth.
extern int g_CountMove[MAX_DEPTH];
// Candidate lists, indexed [position][depth], in the order they were listed.
extern TMyMove g_ListMove[MAX_CANDIDATES][LIST_DEPTHS];
// Statistics of the current or last turn.
extern TMoveStats g_MoveStats;
// The cell found by CanIWin or CanOpponentWin; (-1, -1) when none.
extern TMyMove g_BestMove;
// Tick count at the start of the current turn.
extern int g_TickStart;
// Time budget of the current turn in milliseconds.
extern int g_Time4MyMove;
// Score of each cell for the final choice, indexed [x][y].
extern int boardValue[MAX_BOARD][MAX_BOARD];

// Search stack. Push: one level down, remembering the deepest level of the turn.
inline void fce_DepthInc() {
    g_AktualDepth++;
    assert(g_AktualDepth < MAX_DEPTH);
    if (g_AktualDepth > g_MoveStats.depth) g_MoveStats.depth = g_AktualDepth;
}

// Pop: one level up; every pop is one node of the statistics.
inline void fce_DepthDec() {
    assert(g_AktualDepth > 0);
    g_AktualDepth--;
    g_MoveStats.nodes++;
}

// One level down the search stack for the life of a scope: a push on entry,
// the pop on every way out.
class DepthScope {
public:
    DepthScope() { fce_DepthInc(); }
    ~DepthScope() { fce_DepthDec(); }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;
};

// A push and its pop with nothing between them that reads the depth: one
// node, and the level below the current one reached.
inline void CountNode() {
    assert(g_AktualDepth + 1 < MAX_DEPTH);
    if (g_AktualDepth + 1 > g_MoveStats.depth) g_MoveStats.depth = g_AktualDepth + 1;
    g_MoveStats.nodes++;
}

void fce_SetAktualDepth(int depth);
TMoveStats fce_GetStats();

// Candidate generation and the positional choice.
void GetAllMove(TMyMove mine, TMyMove opponent);
// GetAllMove for one origin, a cell of the playing area, on the search's copy
// of the board, which must be fresh: lists its rays at the current depth, after the cells already
// listed there, until stopSide ends a ray. One origin never reaches a cell
// twice, so no cell is marked. rayEnds[r] is where the list stands after ray r.
void ListRays(TMyMove origin, int stopSide, int (&rayEnds)[8]);
bool BreakAddMove(int x, int y, int stopSide);
// The positional score, read from the search's copy of the board: EvalMoves
// takes the copy, EvalMoveWay and EvalMove need it fresh.
int EvalMoveWay(TMyMove cell, int dx, int dy);
void EvalMove(TMyMove cell);
void EvalMoves();
TMyMove DefenseMove();
TMyMove RandomMove();

// Double threats, and the threat-sequence search: forced sequences of single
// threats, each answered by any defence, that end in an open four or a double
// threat whatever the defender did.
#include <algorithm>
#include <cstdint>

#include "platform.h"
#include "search.h"

namespace {

int OtherSide(int side) {
    return side == SIDE_MINE ? SIDE_OPPONENT : SIDE_MINE;
}

// Lists, at the current depth, the empty cells on the rays of one stone of
// `side`: the rays pass over the side's own stones and end at the other's.
void ListAroundStone(int x, int y, int side) {
    const TMyMove stone{x, y};
    if (side == SIDE_MINE)
        GetAllMove(stone, NO_MOVE);
    else
        GetAllMove(NO_MOVE, stone);
}

// The direction of the line joining candidate (cx, cy) to the stone on (x, y);
// every candidate lies on one of the stone's eight rays.
int LineClass(int cx, int cy, int x, int y) {
    if (cx == x) return 3;
    if (cy == y) return 2;
    return (cx < x) == (cy < y) ? 1 : 0;
}

// True once 95% of the turn's budget has gone. Both sides are multiplied by
// 100 so the 95% needs no division; the products are 64-bit so a budget of
// "no limit" (2147483647 ms) cannot wrap, and a negative budget, reported by
// a manager after an overrun, counts as no time at all.
bool TimeIsUp() {
    const std::uint64_t elapsed = plat::GetTickCount() - static_cast<std::uint32_t>(g_TickStart);
    const std::uint64_t budget = g_Time4MyMove > 0 ? static_cast<std::uint64_t>(g_Time4MyMove) : 0;
    return elapsed * 100 >= budget * 95;
}

bool Can4Open(int side) {
    return side == SIDE_MINE ? CanI4Open(true) : CanOpponent4Open(true);
}

// The first candidate of the current depth on which `side` makes a double
// threat; marked unless testOnly.
bool Can2Threat(int side, bool testOnly) {
    const int depth = g_AktualDepth;
    for (int i = 0; i < g_CountMove[depth]; i++) {
        const TMyMove c = g_ListMove[i][depth];
        if (Is2Threat(c.x, c.y, side)) {
            if (!testOnly) boardValue[c.x][c.y] = MARK_DOUBLE_THREAT;
            return true;
        }
    }
    return false;
}

// The attacker level: the first candidate of the current depth from which
// `side` starts a threat sequence that every defence loses; marked unless
// testOnly. Each examined candidate starts from 0 in boardValue.
bool Can1Threat(int side, bool testOnly, int depthLimit, bool lineOnly) {
    const int limit = std::min(depthLimit, MAX_DEPTH);
    const int depth = g_AktualDepth;
    for (int i = 0; i < g_CountMove[depth]; i++) {
        const TMyMove c = g_ListMove[i][depth];
        boardValue[c.x][c.y] = 0;
        if (!Is1Threat(c.x, c.y, side, lineOnly)) continue;
        if (depth >= limit) continue;
        SetCell(c.x, c.y, side + 1);
        const bool defended = DefenseMove1Threat(c.x, c.y, OtherSide(side), limit, lineOnly);
        SetCell(c.x, c.y, CELL_EMPTY);
        if (!defended) {
            if (!testOnly) boardValue[c.x][c.y] = MARK_THREAT_SEQUENCE;
            return true;
        }
    }
    return false;
}

}  // namespace

// Puts a trial stone of the side on (x, y), lists the cells around it one
// level deeper, and counts the directions in which one of them would give the
// side a five or an open four. A threat need not pass through the trial
// stone, and one cell can supply threats in two directions.
bool Is2Threat(int x, int y, int side) {
    SetCell(x, y, side + 1);
    fce_DepthInc();
    const int depth = g_AktualDepth;
    ListAroundStone(x, y, side);
    int threats = 0;
    for (int direction = 0; direction < 4 && threats < 2; direction++) {
        for (int i = 0; i < g_CountMove[depth]; i++) {
            const TMyMove c = g_ListMove[i][depth];
            if (IsWinWay(c.x, c.y, side, direction) || Is4OpenWay(c.x, c.y, side, direction)) {
                threats++;
                break;
            }
        }
    }
    fce_DepthDec();
    SetCell(x, y, CELL_EMPTY);
    return threats >= 2;
}

bool CanI2Threat(bool testOnly) {
    return Can2Threat(SIDE_MINE, testOnly);
}

bool CanOpponent2Threat(bool testOnly) {
    return Can2Threat(SIDE_OPPONENT, testOnly);
}

// Puts a trial stone of the side on (x, y) and tells whether one of the cells
// on its rays would then give the side a five or an open four. With lineOnly
// a cell counts only along its own line through the stone; without it, any
// direction counts, so a threat elsewhere that crosses a ray counts too.
bool Is1Threat(int x, int y, int side, bool lineOnly) {
    SetCell(x, y, side + 1);
    fce_DepthInc();
    const int depth = g_AktualDepth;
    ListAroundStone(x, y, side);
    bool threat = false;
    for (int direction = 0; direction < 4 && !threat; direction++) {
        for (int i = 0; i < g_CountMove[depth]; i++) {
            const TMyMove c = g_ListMove[i][depth];
            if (lineOnly && LineClass(c.x, c.y, x, y) != direction) continue;
            if (IsWinWay(c.x, c.y, side, direction) || Is4OpenWay(c.x, c.y, side, direction)) {
                threat = true;
                break;
            }
        }
    }
    fce_DepthDec();
    SetCell(x, y, CELL_EMPTY);
    return threat;
}

// The defender level, with the attacker's trial stone already on (x, y):
// true when some answer holds. An answer is refuted when the attacker then
// has an open four, a double threat or another winning threat sequence. The
// answers are the cells on the rays of the threat stone, tried in list order.
bool DefenseMove1Threat(int x, int y, int defender, int depthLimit, bool lineOnly) {
    const int attacker = OtherSide(defender);
    fce_DepthInc();
    const int limit = std::min(depthLimit, MAX_DEPTH);
    const int depth = g_AktualDepth;
    bool defended = true;
    // Past the depth bound the threat counts as answered, and so does a
    // threat with nothing to answer it on.
    if (depth + 1 < limit) {
        ListAroundStone(x, y, attacker);
        for (int i = 0; i < g_CountMove[depth]; i++) {
            // Out of time: no defence found, which makes every enclosing
            // answer refuted and ends the search quickly.
            if (TimeIsUp()) {
                defended = false;
                break;
            }
            const TMyMove a = g_ListMove[i][depth];
            fce_DepthInc();
            SetCell(a.x, a.y, defender + 1);
            // The continuations start again from the threat stone; the
            // answer ends the ray it stands on.
            ListAroundStone(x, y, attacker);
            const bool refuted = Can4Open(attacker) || Can2Threat(attacker, true) ||
                                 Can1Threat(attacker, true, limit, lineOnly);
            fce_DepthDec();
            SetCell(a.x, a.y, CELL_EMPTY);
            defended = !refuted;
            if (defended) break;
        }
    }
    fce_DepthDec();
    return defended;
}

bool CanI1Threat(bool testOnly, int depthLimit, bool lineOnly) {
    return Can1Threat(SIDE_MINE, testOnly, depthLimit, lineOnly);
}

bool CanOpponent1Threat(bool testOnly, int depthLimit, bool lineOnly) {
    return Can1Threat(SIDE_OPPONENT, testOnly, depthLimit, lineOnly);
}

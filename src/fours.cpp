// Wins and open fours: the stages that look for a five or an open four among
// the candidates of the current depth.
#include "fours.h"

#include "lines.h"
#include "search.h"
#include "searchboard.h"

namespace {

// Marks every candidate of the current depth on which `side` makes an open four.
bool Can4Open(int side, bool testOnly) {
    const int depth = g_AktualDepth;
    if (g_CountMove[depth] > 0) g_SearchBoard.Use();
    bool found = false;
    for (int i = 0; i < g_CountMove[depth]; i++) {
        const TMyMove c = g_ListMove[i][depth];
        if (Is4Open(c.x, c.y, side)) {
            // Only marking needs the rest of the list.
            if (testOnly) return true;
            found = true;
            boardValue[c.x][c.y] = MARK_OPEN_FOUR;
        }
    }
    return found;
}

// The first candidate of the current depth on which `side` completes a five.
// Only the turn driver asks, once a turn, before the search's copy of the
// board is needed, so this reads board itself.
bool CanWin(int side) {
    const int depth = g_AktualDepth;
    for (int i = 0; i < g_CountMove[depth]; i++) {
        const TMyMove c = g_ListMove[i][depth];
        if (IsWin(c.x, c.y, side)) {
            g_BestMove = c;
            return true;
        }
    }
    return false;
}

}  // namespace

bool CanIWin() {
    return CanWin(SIDE_MINE);
}

bool CanOpponentWin() {
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

// Double threats: one stone that leaves its side a five or open-four cell in
// two different directions at once.
#include "search.h"

namespace {

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

}  // namespace

// Puts a trial stone of the side on (x, y), lists the cells around it one
// level deeper, and counts the directions in which one of them would give the
// side a five or an open four. A threat need not pass through the trial
// stone, and one cell can supply threats in two directions.
bool Is2Threat(int x, int y, int side) {
    SetCell(x, y, side + 1);
    fce_DepthInc();
    const int depth = g_AktualDepth;
    const TMyMove stone{x, y};
    if (side == SIDE_MINE)
        GetAllMove(stone, NO_MOVE);
    else
        GetAllMove(NO_MOVE, stone);
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

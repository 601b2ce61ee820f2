// Helpers for unit tests: positions from ASCII diagrams and the invariants
// every stage and turn must keep.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "search.h"

namespace testutil {

// A fresh, empty w x h board with no last moves, an empty search stack and
// a fixed random seed. The whole 100 x 100 array is cleared.
inline void NewBoard(int w, int h, std::uint32_t randomSeed = 0) {
    std::memset(board, 0, sizeof board);
    std::memset(boardValue, 0, sizeof boardValue);
    width = w;
    height = h;
    seed = randomSeed;
    g_MyLastMove = g_OpponentLastMove = NO_MOVE;
    for (int& count : g_CountMove) count = 0;
    g_AktualDepth = 0;
    g_MoveStats = {};
    g_BestMove = NO_MOVE;
    g_TickStart = 0;
    g_Time4MyMove = 30000;
    terminateAI = 0;
}

// Code of a diagram character: '.' empty, 'X' engine stone, 'x' engine trial
// stone, 'O' opponent stone, 'o' opponent trial stone, '+' candidate mark.
inline int CodeOf(char c) {
    switch (c) {
        case 'X': return CELL_MINE;
        case 'x': return CELL_MINE_TRIAL;
        case 'O': return CELL_OPPONENT;
        case 'o': return CELL_OPPONENT_TRIAL;
        case '+': return CELL_CANDIDATE;
        default: return CELL_EMPTY;
    }
}

// Places the cells of a diagram whose top-left character is (left, top); one
// string per row, characters are columns. Blanks and '.' leave cells empty.
inline void Place(const std::vector<std::string>& rows, int left = 0, int top = 0) {
    for (int r = 0; r < static_cast<int>(rows.size()); r++)
        for (int c = 0; c < static_cast<int>(rows[r].size()); c++)
            board[left + c][top + r] = CodeOf(rows[r][c]);
}

// The candidate list of a depth as a vector, in list order.
inline std::vector<std::pair<int, int>> ListAt(int depth) {
    std::vector<std::pair<int, int>> list;
    for (int i = 0; i < g_CountMove[depth]; i++)
        list.emplace_back(g_ListMove[i][depth].x, g_ListMove[i][depth].y);
    return list;
}

// A copy of the whole board, to compare before and after a search.
struct BoardSnapshot {
    int cells[MAX_BOARD][MAX_BOARD];
    BoardSnapshot() { std::memcpy(cells, board, sizeof cells); }
    bool SameAsBoard() const { return std::memcmp(cells, board, sizeof cells) == 0; }
};

}  // namespace testutil

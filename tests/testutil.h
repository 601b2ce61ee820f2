// Helpers for unit tests: positions from ASCII diagrams and board snapshots.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "search.h"

namespace testutil {

// A fresh, empty w x h board (the whole array cleared), no last moves, an
// empty search stack and a fixed random seed.
inline void NewBoard(int w, int h, std::uint32_t randomSeed = 0) {
    std::memset(board, 0, sizeof board);
    std::memset(boardValue, 0, sizeof boardValue);
    width = w;
    height = h;
    seed = randomSeed;
    g_MyLastMove = g_OpponentLastMove = g_BestMove = NO_MOVE;
    for (int& count : g_CountMove) count = 0;
    g_AktualDepth = 0;
    g_MoveStats = {};
    terminateAI = 0;
}

// '.' empty, 'X'/'x' engine stone/trial stone, 'O'/'o' opponent's, '+' candidate mark.
inline int CodeOf(char c) {
    const std::string codes = ".+Xx" "Oo";
    const int code[] = {CELL_EMPTY, CELL_CANDIDATE, CELL_MINE, CELL_MINE_TRIAL,
                        CELL_OPPONENT, CELL_OPPONENT_TRIAL};
    const auto at = codes.find(c);
    return at == std::string::npos ? CELL_EMPTY : code[at];
}

// Places a diagram whose top-left character is (left, top): one string per
// row, characters are columns.
inline void Place(const std::vector<std::string>& rows, int left = 0, int top = 0) {
    for (size_t r = 0; r < rows.size(); r++)
        for (size_t c = 0; c < rows[r].size(); c++) board[left + c][top + r] = CodeOf(rows[r][c]);
}

// The candidate list of a depth, in list order.
inline std::vector<std::pair<int, int>> ListAt(int depth) {
    std::vector<std::pair<int, int>> list;
    for (int i = 0; i < g_CountMove[depth]; i++) list.emplace_back(g_ListMove[i][depth].x, g_ListMove[i][depth].y);
    return list;
}

// A copy of the whole board, to compare before and after a search.
struct BoardSnapshot {
    int cells[MAX_BOARD][MAX_BOARD];
    BoardSnapshot() { std::memcpy(cells, board, sizeof cells); }
    bool SameAsBoard() const { return std::memcmp(cells, board, sizeof cells) == 0; }
};

}  // namespace testutil

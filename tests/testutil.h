// Helpers for unit tests: positions from ASCII diagrams and board snapshots.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fours.h"
#include "lines.h"
#include "search.h"
#include "threats.h"
#include "turn.h"

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
    const std::string codes =
        ".+Xx"
        "Oo";
    const int code[] = {CELL_EMPTY,      CELL_CANDIDATE, CELL_MINE,
                        CELL_MINE_TRIAL, CELL_OPPONENT,  CELL_OPPONENT_TRIAL};
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
    for (int i = 0; i < g_CountMove[depth]; i++)
        list.emplace_back(g_ListMove[i][depth].x, g_ListMove[i][depth].y);
    return list;
}

// Plain, obviously correct twins of the line patterns and of the listing
// around one stone: they read board cell by cell with a bounds test on every
// read. The engine's fast versions are cross-checked against them.
namespace plain {

inline constexpr int STEPS[4][2] = {{1, -1}, {1, 1}, {1, 0}, {0, 1}};

inline bool OnBoard(int x, int y) {
    return x >= 0 && y >= 0 && x < width && y < height;
}
inline bool Mine(int x, int y, int side) {
    return OnBoard(x, y) && (board[x][y] & SIDE_MASK) == side;
}
inline int Run(int x, int y, int dx, int dy, int side) {
    int n = 0;
    while (n < 4 && Mine(x + (n + 1) * dx, y + (n + 1) * dy, side)) n++;
    return n;
}
inline bool OpenEnd(int x, int y) {
    return OnBoard(x, y) && board[x][y] == CELL_EMPTY;
}
inline bool WinWay(int x, int y, int side, int d) {
    const int dx = STEPS[d][0], dy = STEPS[d][1];
    return Run(x, y, -dx, -dy, side) + Run(x, y, dx, dy, side) >= 4;
}
inline bool OpenWay(int x, int y, int side, int d) {
    const int dx = STEPS[d][0], dy = STEPS[d][1];
    const int b = Run(x, y, -dx, -dy, side), f = Run(x, y, dx, dy, side);
    return b < 4 && f < 4 && OpenEnd(x - (b + 1) * dx, y - (b + 1) * dy) &&
           OpenEnd(x + (f + 1) * dx, y + (f + 1) * dy) && b + f >= 3;
}

// The empty cells on the eight rays of a stone of `side` on (x, y), in the
// engine's ray order; a ray ends at the edge or at the other side's stone.
inline std::vector<std::pair<int, int>> Rays(int x, int y, int side) {
    const int rays[8][2] = {{-1, -1}, {1, 1}, {-1, 1}, {1, -1}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    std::vector<std::pair<int, int>> cells;
    for (const auto& ray : rays)
        for (int k = 1; k <= 4; k++) {
            const int cx = x + k * ray[0], cy = y + k * ray[1];
            if (!OnBoard(cx, cy) ||
                (board[cx][cy] & SIDE_MASK) == (SIDE_MINE + SIDE_OPPONENT - side))
                break;
            if (board[cx][cy] == CELL_EMPTY) cells.emplace_back(cx, cy);
        }
    return cells;
}

}  // namespace plain

// A copy of the whole board, to compare before and after a search.
struct BoardSnapshot {
    int cells[MAX_BOARD][MAX_BOARD];
    BoardSnapshot() { std::memcpy(cells, board, sizeof cells); }
    bool SameAsBoard() const { return std::memcmp(cells, board, sizeof cells) == 0; }
};

}  // namespace testutil

// The game state: board, size, last moves and the random generator.
#include "board.h"

#include "reply.h"

int board[MAX_BOARD][MAX_BOARD];
int width, height;
TMyMove g_MyLastMove = NO_MOVE, g_OpponentLastMove = NO_MOVE;
std::uint32_t seed;
std::uint32_t start_time;

namespace {

RestartHook g_restartHook = nullptr;

}  // namespace

// Tests the size, seeds the generator and sets up an empty board.
void brain_init() {
    if (width < MIN_BOARD || height < MIN_BOARD) {
        fce_WriteToPipe("ERROR size of the board");
        width = height = 0;
        return;
    }
    if (width > MAX_BOARD || height > MAX_BOARD) {
        fce_WriteToPipe("ERROR Maximal board size is %d", MAX_BOARD);
        width = height = 0;
        return;
    }
    seed = start_time;
    brain_restart();
}

// Empties the playing area (cells beyond it are left alone) and the last moves.
void brain_restart() {
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++) SetCell(x, y, CELL_EMPTY);
    g_OpponentLastMove = NO_MOVE;
    g_MyLastMove = NO_MOVE;
    if (g_restartHook) g_restartHook();
    fce_WriteToPipe("OK");
}

void SetRestartHook(RestartHook hook) {
    g_restartHook = hook;
}

bool isFree(int x, int y) {
    return x >= 0 && y >= 0 && x < width && y < height && board[x][y] == CELL_EMPTY;
}

namespace {

// Puts code on an empty cell of the playing area, or writes the refusal line.
bool PlaceStone(int x, int y, int code, const char* refusal) {
    if (!isFree(x, y)) {
        fce_WriteToPipe(refusal, x, y);
        return false;
    }
    SetCell(x, y, code);
    return true;
}

}  // namespace

void brain_my(int x, int y) {
    if (PlaceStone(x, y, CELL_MINE, "ERROR my move [%d,%d]")) g_MyLastMove = {x, y};
}

void brain_opponents(int x, int y) {
    if (PlaceStone(x, y, CELL_OPPONENT, "ERROR opponents's move [%d,%d]"))
        g_OpponentLastMove = {x, y};
}

void brain_block(int x, int y) {
    PlaceStone(x, y, CELL_MINE_TRIAL, "ERROR winning move [%d,%d]");
}

// Last moves are deliberately left alone: the next turn's rays still start there.
int brain_takeback(int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height || board[x][y] == CELL_EMPTY) return 2;
    SetCell(x, y, CELL_EMPTY);
    return 0;
}

void brain_end() {}

std::uint32_t rnd(std::uint32_t n) {
    seed = seed * 367413989u + 174680251u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed) * n) >> 32);
}

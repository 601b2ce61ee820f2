// The game state: the board and its size, the last moves, the random
// generator, and the operations the front end calls on them.
#pragma once

#include <atomic>
#include <cassert>
#include <cstdint>

// A cell or move: column x, row y; (-1, -1) means no move.
struct TMyMove {
    int x;
    int y;
};

inline constexpr TMyMove NO_MOVE{-1, -1};

inline constexpr int MAX_BOARD = 100;
inline constexpr int MIN_BOARD = 5;

// Cell codes of the board. A trial stone is its side's code plus one.
inline constexpr int CELL_EMPTY = 0;
inline constexpr int CELL_CANDIDATE = 1;
inline constexpr int CELL_MINE = 2;
inline constexpr int CELL_MINE_TRIAL = 3;
inline constexpr int CELL_OPPONENT = 4;
inline constexpr int CELL_OPPONENT_TRIAL = 5;
// code & SIDE_MASK gives the side of a cell: 2 engine, 4 opponent, 0 none.
inline constexpr int SIDE_MASK = 6;
inline constexpr int SIDE_MINE = CELL_MINE;
inline constexpr int SIDE_OPPONENT = CELL_OPPONENT;

// The board, indexed [x][y]. Cells outside width x height may hold stones of
// an earlier, larger board and are never read as part of the game.
extern int board[MAX_BOARD][MAX_BOARD];
// Board size; width 0 means no board has been set up.
extern int width, height;
// The last stone each side placed, or (-1, -1).
extern TMyMove g_MyLastMove, g_OpponentLastMove;
// State of the engine's random generator.
extern std::uint32_t seed;
// Tick count taken when the command that set up the board arrived; seeds rnd.
extern std::uint32_t start_time;

// Every change of a cell goes through here. The board listing reads cells
// from the other thread while a turn runs, so writes are relaxed atomic
// stores (a plain store on common hardware); the worker's own reads stay plain.
// This store and the load of fce_GetBoard are the compiler's atomic builtins on
// the plain int: they do what std::atomic_ref does and build with every C++
// library we target, the browser's included.
inline void SetCell(int x, int y, int code) {
    assert(x >= 0 && y >= 0 && x < MAX_BOARD && y < MAX_BOARD);
    __atomic_store_n(&board[x][y], code, __ATOMIC_RELAXED);
}

// Reads one cell without a bounds test; safe while the worker changes cells.
inline int fce_GetBoard(int x, int y) {
    assert(x >= 0 && y >= 0 && x < MAX_BOARD && y < MAX_BOARD);
    return __atomic_load_n(&board[x][y], __ATOMIC_RELAXED);
}

void brain_init();
// Empties the board and the last moves, runs the restart hook, replies "OK".
void brain_restart();
// The restart hook is how the search, a layer above, clears its candidate
// counts whenever the board is emptied; nullptr calls nothing.
using RestartHook = void (*)();
void SetRestartHook(RestartHook hook);
void brain_my(int x, int y);
void brain_opponents(int x, int y);
void brain_block(int x, int y);
// 0 when a cell was emptied, 2 when it was off the board or already empty.
int brain_takeback(int x, int y);
void brain_end();

// True when the cell lies in the playing area and is empty.
bool isFree(int x, int y);
// One step of the linear congruential generator; a number below n (0 for n 0).
std::uint32_t rnd(std::uint32_t n);

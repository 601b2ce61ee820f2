// The command loop: line reader, command table, replies and the hand-off of
// a turn to the worker thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "board.h"
#include "reply.h"

inline constexpr int CMD_SIZE = 256;  // at most 255 characters and the zero

// The current command line.
extern char cmd[CMD_SIZE];

// INFO values that nothing in the engine reads; stored for completeness.
extern int info_max_memory;
extern int info_timeout_match;
extern int info_game_type;
extern int info_exact5, info_continuous, info_renju;
extern char dataFolder[CMD_SIZE];

// Start-up: greeting on a console, then the worker thread.
void fce_StartUp();
// Reads one line into cmd; ends the process at end of input.
void fce_GetLine();
// Carries out the command in cmd.
void fce_DoCommand();
// Position just after `keyword` (any letter case) and the white space that
// follows it, or nullptr when the line does not begin with the keyword.
const char* fce_GetCmdParam(const char* keyword, const char* line);
// Reads "x,y" and tests it against the board; 1 when good, 0 otherwise.
int parse_coord(const char* text, int* x, int* y);
void Get_Info();
void fce_PrintBoard();
void fce_Start();
void fce_Stop();
void fce_Turn();
void threadLoop(void* unused);
void fce_DoMyMove(int x, int y);
void fce_PritStatistic();

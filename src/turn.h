// The turn driver: computes the engine's move for one turn.
#pragma once

#include <atomic>

#include "board.h"
#include "search.h"

// INFO time values that the worker reads at the start of every turn.
extern std::atomic<int> info_timeout_turn;
extern std::atomic<int> info_time_left;

// What ended the last turn's chain of stages, in the order the chain tries
// them. Nothing in the engine reads it; the benchmark reports it so that its
// suite can show that every stage decides some position.
enum class TurnStage {
    OwnFive,
    BlockFive,
    MyOpenFour,
    OpponentOpenFour,
    MyDoubleThreat,
    OpponentDoubleThreat,
    OpponentSequence3,
    OpponentSequence5,
    OpponentSequence9,
    MySequence3,
    MySequence5,
    MySequence9,
    OpponentLine19,
    MyLine19,
    Positional,
    Random,
    NoMove,
};
extern TurnStage g_TurnStage;
// The stage's name as the benchmark prints it, for example "opp-4open".
const char* TurnStageName(TurnStage stage);

// What the stages marked in the last turn: for each candidate of depth 0, in
// list order, its boardValue before the positional score was added (a mark
// or 0). Valid for g_CountMove[0] candidates when the last turn chose among
// its candidates. Like g_TurnStage, nothing in the engine reads it; the
// browser page shows it.
extern int g_TurnMarks[MAX_CANDIDATES];

// Computes the engine's move for one turn and leaves its statistics in g_MoveStats.
TMyMove brain_turn();

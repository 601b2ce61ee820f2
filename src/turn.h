// The turn driver: computes the engine's move for one turn.
#pragma once

#include <atomic>

#include "board.h"

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

// Computes the engine's move for one turn and leaves its statistics in g_MoveStats.
TMyMove brain_turn();

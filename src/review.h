// The reviewer: for each move of a game, the engine's own turn on the position
// before it, with the mover as the engine, and the verdict on the move played.
// Like the record readers it allocates and clobbers the engine's game state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "record.h"
#include "turn.h"

// What the engine's chain found that the move played did not do.
enum class Verdict { None, MissedWin, MissedBlock };

// "missed-win", "missed-block" (or "none").
const char* VerdictName(Verdict verdict);

// The engine's turn on the position before a move.
struct TurnAnalysis {
    TurnStage stage = TurnStage::NoMove;  ///< the stage that ended the chain
    bool cut = false;                     ///< the threat-sequence search ran out of time
    TMyMove move = NO_MOVE;               ///< what the engine would play
    std::vector<TMyMove> cells;           ///< the cells the deciding stage found
};

// One reviewed move.
struct MoveReview {
    int index = 0;  ///< 0-based; the move's number is index + 1
    Player player = Player::None;
    TMyMove move = NO_MOVE;
    Verdict verdict = Verdict::None;
    std::vector<TMyMove> cells;  ///< the cells the engine found, with a verdict
    std::string text;            ///< the verdict in words; empty without one
};

// Sets up the position before move `index` of a game checked by PlayOut, the
// stones in order of play with the mover as the engine, as a manager's BOARD
// block would, and runs one turn with turnMs as its budget.
TurnAnalysis AnalyseBefore(const RecordGame& game, int index, int turnMs);

// The verdict on move `index`, from the analysis of the position before it;
// the board must still hold that position. May search again, within turnMs.
MoveReview JudgeMove(const RecordGame& game, int index, const TurnAnalysis& analysis, int turnMs);

// AnalyseBefore and JudgeMove.
MoveReview ReviewMove(const RecordGame& game, int index, int turnMs);

// A string as JSON text, quotes included.
std::string JsonString(std::string_view text);
// A list of cells as JSON, [[x,y],...].
std::string CellsJson(const std::vector<TMyMove>& cells);
// A reviewed move as JSON: {"move":n,"player":..,"x":..,"y":..,"verdict":..,"cells":..,"text":..}.
std::string MoveJson(const MoveReview& review);

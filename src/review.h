// The reviewer: for each move of a game, the facts of the whole board before
// it (fives and wins by fours, from the exact solver) and the engine's own turn
// on that position, with the mover as the engine, and the verdict on the move
// played. Like the record readers it allocates and clobbers the engine's game
// state.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "record.h"
#include "solver.h"
#include "turn.h"

// What the move played did not do that the board or the engine's chain shows.
enum class Verdict { None, MissedWin, MissedBlock, AllowedWin };

// What a verdict rests on: a five on the board, a win by fours found by the
// solver, or the engine's chain of stages.
enum class VerdictKind { None, Five, Fours, Chain };

// "missed-win", "missed-block", "allowed-win" (or "none").
const char* VerdictName(Verdict verdict);
// "five", "fours", "chain" (or "none").
const char* VerdictKindName(VerdictKind kind);

// A win by fours of one side, proven by the solver: its moves in order,
// winner first, ending in the five (a five at once is a line of one cell).
struct ForcedWin {
    Player side = Player::None;  ///< None: no win by fours (or none proven)
    std::vector<TMyMove> line;
};

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
    VerdictKind kind = VerdictKind::None;
    std::vector<TMyMove> cells;  ///< the cells of the verdict
    std::vector<TMyMove> line;   ///< kind Fours: the win the verdict names
    ForcedWin forced;            ///< the mover's win by fours in the position before the move
    bool cut = false;            ///< a solver search was cut: no whole-board verdict
    std::string text;            ///< the verdict in words; empty without one
    std::string engine;          ///< what the engine's own turn would have played, where it differs
};

// The position after a game's last move, when no five ended it.
struct FinalReview {
    bool analysed = false;  ///< false when a five ended the game
    Player toMove = Player::None;
    ForcedWin forced;
    bool cut = false;
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

// The side to move after the last move of a game, and whether it wins by fours.
FinalReview ReviewFinal(const RecordGame& game);

// The solver on the position after the first `moves` moves of a game, for
// the side to move.
FoursResult SolveAfter(const RecordGame& game, int moves);

// The JSON the reviewer writes. Fields keep the order they are documented in.
using Json = nlohmann::ordered_json;
// A list of cells, [[x,y],...].
Json CellsToJson(const std::vector<TMyMove>& cells);
// null, or {"side": "black"|"white", "line": [[x,y],...]}.
Json ForcedToJson(const ForcedWin& forced);
// {"move":n,"player":..,"x":..,"y":..,"verdict":..,"kind":..,"cells":..,"line":..,"forced":..,
//  "cut":..,"text":..,"engine":..}.
Json MoveToJson(const MoveReview& review);
// null when a five ended the game, or {"to_move": ..., "forced": ..., "cut": ...}.
Json FinalToJson(const FinalReview& final);
// JSON text on one line; text that is not UTF-8 is written with replacement characters.
std::string JsonText(const Json& json);

// A string as JSON text, quotes included.
std::string JsonString(std::string_view text);
// A list of cells as JSON text, [[x,y],...].
std::string CellsJson(const std::vector<TMyMove>& cells);
// A reviewed move as JSON text (MoveToJson).
std::string MoveJson(const MoveReview& review);

// The reviewer's verdicts. The whole board comes first: the exact solver
// says where each side makes five and whether the mover wins by fours, before
// and after the move, and a verdict drawn from it is a proven fact (see
// WholeBoardVerdict). Where it gives none, the move is judged against the
// engine's own turn on the position before it: a missed win when the chain ended in one of the
// mover's wins (a five, an open four, a double threat, a threat sequence
// searched to its end), a missed block when it ended in a block of the
// opponent's five or open four, and the move played is none of the cells the
// stage found. A verdict must never be false, so the move played is then
// checked with the same stages: a five, a block of the same threat in
// another way, or a threat it adds that the opponent must answer first (a
// four, or a threat that makes a double threat or starts a sequence the
// search wins) leaves the move without a verdict. Neither is given where the
// stage's finding does not stand on the whole board (the chain looks only
// around the last stones) or where time cut the threat-sequence search.
#include "review.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>

#include "fours.h"
#include "lines.h"
#include "platform.h"
#include "search.h"
#include "searchboard.h"
#include "threats.h"

namespace {

// The threat-sequence stages as the turn's chain calls them: depth limit and
// whether only the threat's own lines count.
struct SequenceStage {
    int depthLimit;
    bool lineOnly;
};
constexpr SequenceStage SEQUENCE_STAGES[] = {{3, false}, {5, false}, {9, false}, {19, true}};

// Sets up the position before move `index`, the mover as the engine.
void SetUpPosition(const RecordGame& game, int index) {
    ClearBoard(game.width, game.height);
    const Player mover = Mover(index);
    for (int i = 0; i < index; i++) {
        const TMyMove m = game.moves[i];
        if (Mover(i) == mover)
            brain_my(m.x, m.y);
        else
            brain_opponents(m.x, m.y);
    }
}

// The cells the deciding stage of the last turn found.
std::vector<TMyMove> FoundCells(TurnStage stage) {
    if (stage == TurnStage::OwnFive || stage == TurnStage::BlockFive) return {g_BestMove};
    std::vector<TMyMove> cells;
    if (stage >= TurnStage::Positional) return cells;
    for (int i = 0; i < g_CountMove[0]; i++)
        if (g_TurnMarks[i] != 0) cells.push_back(g_ListMove[i][0]);
    return cells;
}

bool IsSequence(TurnStage stage) {
    using enum TurnStage;
    return stage == MySequence3 || stage == MySequence5 || stage == MySequence9 ||
           stage == MyLine19;
}

// The verdict a deciding stage can give, before the move played is looked at.
Verdict KindOf(TurnStage stage) {
    using enum TurnStage;
    if (stage == OwnFive || stage == MyOpenFour || stage == MyDoubleThreat || IsSequence(stage))
        return Verdict::MissedWin;
    if (stage == BlockFive || stage == OpponentOpenFour) return Verdict::MissedBlock;
    return Verdict::None;
}

bool Contains(const std::vector<TMyMove>& cells, TMyMove m) {
    return std::any_of(cells.begin(), cells.end(),
                       [m](TMyMove c) { return c.x == m.x && c.y == m.y; });
}

// Whether a stone of the side on the empty cell (x, y) makes an open four.
bool OpenFourAt(int x, int y, int side) {
    const SearchScope scope;
    g_SearchBoard.Use();
    return Is4Open(x, y, side);
}

// Whether the side can make five on some empty cell of the board, anywhere.
bool AnyFive(int side) {
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++)
            if (isFree(x, y) && IsWin(x, y, side)) return true;
    return false;
}

// Whether the side can make an open four on some empty cell, anywhere.
bool AnyOpenFour(int side) {
    const SearchScope scope;
    g_SearchBoard.Use();
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++)
            if (isFree(x, y) && Is4Open(x, y, side)) return true;
    return false;
}

// A stone of the engine on a cell of the board for the life of a scope.
class PlacedStone {
public:
    explicit PlacedStone(TMyMove m) : m_(m) { SetCell(m.x, m.y, CELL_MINE); }
    ~PlacedStone() { SetCell(m_.x, m_.y, CELL_EMPTY); }
    PlacedStone(const PlacedStone&) = delete;
    PlacedStone& operator=(const PlacedStone&) = delete;

private:
    const TMyMove m_;
};

// What each empty cell would give the engine: THREAT_FIVE, THREAT_OPEN_FOUR.
constexpr char THREAT_FIVE = 1, THREAT_OPEN_FOUR = 2;
std::vector<char> ThreatMap() {
    std::vector<char> threats(static_cast<size_t>(width) * height);
    const SearchScope scope;
    g_SearchBoard.Use();
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++)
            if (isFree(x, y))
                threats[x * height + y] =
                    static_cast<char>((IsWin(x, y, SIDE_MINE) ? THREAT_FIVE : 0) |
                                      (Is4Open(x, y, SIDE_MINE) ? THREAT_OPEN_FOUR : 0));
    return threats;
}

// The threats the engine's stone on m adds: a five or an open four that some
// other cell gives only with the stone there. Threats it had before count
// for nothing on their own: the opponent, to move, answers them.
char AddedThreats(TMyMove m) {
    const std::vector<char> before = ThreatMap();
    const PlacedStone stone(m);
    const std::vector<char> after = ThreatMap();
    char added = 0;
    for (size_t i = 0; i < after.size(); i++) added |= after[i] & ~before[i];
    return added;
}

// Whether the engine's stone on m is the first threat of a sequence that the
// search wins, at the depths the turn searches, within turnMs. A search cut
// by time counts as won: it keeps a verdict back, never gives one.
bool StartsSequence(TMyMove m, int turnMs) {
    g_TickStart = static_cast<int>(plat::GetTickCount());
    g_Time4MyMove = turnMs;
    for (const SequenceStage& stage : SEQUENCE_STAGES) {
        if (!Is1Threat(m.x, m.y, SIDE_MINE, stage.lineOnly)) continue;
        SetCell(m.x, m.y, CELL_MINE_TRIAL);
        const bool defended =
            DefenseMove1Threat(m.x, m.y, SIDE_OPPONENT, stage.depthLimit, stage.lineOnly);
        SetCell(m.x, m.y, CELL_EMPTY);
        if (!defended) return true;
    }
    return false;
}

// Whether the move makes a threat of its own that the opponent must answer
// before it carries out its own: a four (an open four is one too), or a new
// threat that is part of a double threat or starts a sequence the search
// wins. None counts when the opponent can make five.
bool ThreatensFirst(TMyMove m, int turnMs) {
    {
        const PlacedStone stone(m);
        if (AnyFive(SIDE_OPPONENT)) return false;
    }
    const char added = AddedThreats(m);
    if (added & THREAT_FIVE) return true;
    return added != 0 && (Is2Threat(m.x, m.y, SIDE_MINE) || StartsSequence(m, turnMs));
}

// Whether the move answers the opponent's five or open four that the stage
// found otherwise than on the found cells: on another cell of the same
// threat, or so that no found cell gives the threat any more.
bool BlocksOtherwise(TurnStage stage, const std::vector<TMyMove>& cells, TMyMove m) {
    const bool five = stage == TurnStage::BlockFive;
    if (five ? IsWin(m.x, m.y, SIDE_OPPONENT) : OpenFourAt(m.x, m.y, SIDE_OPPONENT)) return true;
    const PlacedStone stone(m);
    return std::none_of(cells.begin(), cells.end(), [five](TMyMove c) {
        return IsWin(c.x, c.y, SIDE_OPPONENT) || (!five && OpenFourAt(c.x, c.y, SIDE_OPPONENT));
    });
}

// Whether the position lets the stage's finding stand as a win or a forced
// block wherever it lies on the board: a five of the opponent's anywhere
// comes first, and only an open four outruns an open four of the opponent's.
bool FindingStands(TurnStage stage) {
    using enum TurnStage;
    if (stage == OwnFive || stage == BlockFive) return true;
    if (AnyFive(SIDE_OPPONENT)) return false;
    return stage == MyOpenFour || stage == OpponentOpenFour || !AnyOpenFour(SIDE_OPPONENT);
}

// "a", "a or b", "a, b or c".
std::string CellList(const std::vector<TMyMove>& cells) {
    std::string text;
    for (size_t i = 0; i < cells.size(); i++) {
        if (i > 0) text += i + 1 == cells.size() ? " or " : ", ";
        text += std::to_string(cells[i].x) + "," + std::to_string(cells[i].y);
    }
    return text;
}

// The verdict in words, from the engine's point of view.
std::string Sentence(TurnStage stage, Player mover, const std::vector<TMyMove>& cells) {
    using enum TurnStage;
    const std::string at = CellList(cells);
    const std::string other = mover == Player::Black ? "White" : "Black";
    switch (stage) {
        case OwnFive: return "Zelto would have made five at " + at + ".";
        case MyOpenFour: return "Zelto would have made an open four at " + at + ".";
        case MyDoubleThreat: return "Zelto would have made a double threat at " + at + ".";
        case BlockFive:
            return "Zelto would have blocked at " + at + ", where " + other + " would make five.";
        case OpponentOpenFour:
            return "Zelto would have blocked at " + at + ", where " + other +
                   " would make an open four.";
        default: return "Zelto found a winning sequence of threats starting at " + at + ".";
    }
}

// The solver the reviewer uses, made on first use: its tables are large.
FoursSolver& Solver() {
    static const std::unique_ptr<FoursSolver> solver = std::make_unique<FoursSolver>();
    return *solver;
}

Color ColorOf(Player player) {
    return player == Player::Black ? Color::Black : Color::White;
}

Player PlayerOf(Color color) {
    return color == Color::Black ? Player::Black : Player::White;
}

// "Black" or "White".
std::string Named(Player player) {
    return player == Player::Black ? "Black" : "White";
}

// Sets up the solver's position after the first `moves` moves of a game.
void SetUpSolver(const RecordGame& game, int moves) {
    FoursSolver& solver = Solver();
    solver.SetUp(game.width, game.height);
    for (int i = 0; i < moves; i++) solver.Place(game.moves[i], ColorOf(Mover(i)));
}

// A win in words: "3,2 (4,3) 6,6 (10,6) five at 6,9", each forced block in
// brackets.
std::string LineText(const std::vector<TMyMove>& line) {
    std::string text;
    for (size_t i = 0; i + 1 < line.size(); i++) {
        const std::string cell = std::to_string(line[i].x) + "," + std::to_string(line[i].y);
        text += (i % 2 ? "(" + cell + ")" : cell) + " ";
    }
    return text + "five at " + CellList({line.back()});
}

// Whether the solver's position, the mover to play, is won by fours from
// the mover's stone on m: a four whose block (if one can be made) leaves a
// win. Outcome::Cut when a search was cut.
Outcome WinsFrom(TMyMove m, Color mover) {
    FoursSolver& solver = Solver();
    solver.Place(m, mover);
    const std::vector<TMyMove> fives = solver.Fives(mover);
    Outcome outcome = Outcome::NoWin;
    if (fives.size() >= 2 || solver.HasFive(mover)) {
        outcome = Outcome::Win;
    } else if (fives.size() == 1 && solver.Fives(Other(mover)).empty()) {
        solver.Place(fives[0], Other(mover));
        outcome = solver.Solve(mover).outcome;
        solver.Remove(fives[0]);
    }
    solver.Remove(m);
    return outcome;
}

// The whole board's verdict on move `index`, in this order, the first that
// applies: a five missed, a five of the opponent's not blocked, a win by
// fours missed, a win by fours (or a five) allowed that another move would
// have stopped. Sets review.forced and review.cut on the way; leaves
// review.verdict None where none applies or a search was cut.
void WholeBoardVerdict(const RecordGame& game, int index, MoveReview& review) {
    FoursSolver& solver = Solver();
    const Player mover = Mover(index);
    const Color me = ColorOf(mover), them = Other(me);
    const TMyMove played = game.moves[index];
    const std::string myName = Named(mover), theirName = Named(PlayerOf(them));
    SetUpSolver(game, index);
    const std::vector<TMyMove> myFives = solver.Fives(me), theirFives = solver.Fives(them);
    const FoursResult before = solver.Solve(me);
    if (before.outcome == Outcome::Win) review.forced = {mover, before.line};
    review.cut = before.outcome == Outcome::Cut;

    // 1. A five the move did not make.
    if (!myFives.empty()) {
        if (!Contains(myFives, played)) {
            review.verdict = Verdict::MissedWin;
            review.kind = VerdictKind::Five;
            review.cells = myFives;
            review.text = myName + " could make five at " + CellList(myFives) + ".";
        }
        return;
    }
    // 2. The opponent's one five, not blocked. Two cannot both be blocked.
    if (theirFives.size() == 1 && !Contains(theirFives, played)) {
        review.verdict = Verdict::MissedBlock;
        review.kind = VerdictKind::Five;
        review.cells = theirFives;
        review.text = theirName + " would make five at " + CellList(theirFives) + "; " + myName +
                      " had to block there.";
        return;
    }
    // 3. A win by fours the move did not start.
    if (theirFives.empty() && before.outcome == Outcome::Win) {
        const Outcome fromPlayed = WinsFrom(played, me);
        if (fromPlayed != Outcome::NoWin) {
            review.cut = review.cut || fromPlayed == Outcome::Cut;
            return;
        }
        std::vector<TMyMove> starts;
        for (const TMyMove m : solver.Fours(me)) {
            const Outcome from = WinsFrom(m, me);
            if (from == Outcome::Cut) {
                review.cut = true;
                return;
            }
            if (from == Outcome::Win) starts.push_back(m);
        }
        review.verdict = Verdict::MissedWin;
        review.kind = VerdictKind::Fours;
        review.cells = starts;
        review.line = before.line;
        review.text = myName + " could have won by fours from " + CellList(starts) + ": " +
                      LineText(before.line) + ".";
        return;
    }
    // 4. A win of the opponent's that the move allowed and another move stops.
    if (review.cut) return;
    solver.Place(played, me);
    if (solver.HasFive(me)) return;
    const FoursResult after = solver.Solve(them);
    solver.Remove(played);
    if (after.outcome == Outcome::Cut) review.cut = true;
    if (after.outcome != Outcome::Win) return;
    std::vector<TMyMove> defences;
    for (int x = 0; x < game.width; x++) {
        for (int y = 0; y < game.height; y++) {
            const TMyMove c{x, y};
            if (solver.StoneAt(x, y) >= 0 || (c.x == played.x && c.y == played.y)) continue;
            solver.Place(c, me);
            // A stone that leaves the opponent's line standing stops nothing.
            Outcome outcome = Outcome::Win;
            if (solver.Fives(them).empty() && !solver.LineHolds(them, after.line))
                outcome = solver.Solve(them).outcome;
            solver.Remove(c);
            if (outcome == Outcome::Cut) {
                review.cut = true;
                return;
            }
            if (outcome == Outcome::NoWin) defences.push_back(c);
        }
    }
    if (defences.empty()) return;
    review.verdict = Verdict::AllowedWin;
    review.kind = VerdictKind::Fours;
    review.cells = defences;
    review.line = after.line;
    const std::string win = after.line.size() == 1
                                ? theirName + " makes five at " + CellList(after.line)
                                : theirName + " wins by fours: " + LineText(after.line);
    review.text = "After this move " + win + "; a " + myName + " stone at " + CellList(defences) +
                  " would have stopped it.";
}

}  // namespace

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::MissedWin: return "missed-win";
        case Verdict::MissedBlock: return "missed-block";
        case Verdict::AllowedWin: return "allowed-win";
        default: return "none";
    }
}

const char* VerdictKindName(VerdictKind kind) {
    switch (kind) {
        case VerdictKind::Five: return "five";
        case VerdictKind::Fours: return "fours";
        case VerdictKind::Chain: return "chain";
        default: return "none";
    }
}

TurnAnalysis AnalyseBefore(const RecordGame& game, int index, int turnMs) {
    SetUpPosition(game, index);
    // The budget of this turn only: a manager's INFO values stay as they were.
    const int timeoutTurn = info_timeout_turn.exchange(turnMs);
    const int timeLeft = info_time_left.exchange(INT_MAX);
    terminateAI.store(0);
    TurnAnalysis analysis;
    analysis.move = brain_turn();
    analysis.stage = g_TurnStage;
    analysis.cut = g_ThreatSearchCut;
    analysis.cells = FoundCells(analysis.stage);
    info_timeout_turn.store(timeoutTurn);
    info_time_left.store(timeLeft);
    return analysis;
}

MoveReview JudgeMove(const RecordGame& game, int index, const TurnAnalysis& analysis, int turnMs) {
    MoveReview review;
    review.index = index;
    review.player = Mover(index);
    review.move = game.moves[index];
    const TMyMove m = review.move;
    WholeBoardVerdict(game, index, review);
    if (review.verdict != Verdict::None) {
        if (analysis.move.x >= 0 && !Contains(review.cells, analysis.move))
            review.engine =
                "Zelto's own turn, which looks only near the last stones, would have "
                "played " +
                CellList({analysis.move}) + ".";
        return review;
    }
    const Verdict kind = analysis.cut ? Verdict::None : KindOf(analysis.stage);
    if (kind == Verdict::None || Contains(analysis.cells, m) || IsWin(m.x, m.y, SIDE_MINE) ||
        !FindingStands(analysis.stage))
        return review;
    if (kind == Verdict::MissedBlock && BlocksOtherwise(analysis.stage, analysis.cells, m))
        return review;
    if (ThreatensFirst(m, turnMs)) return review;
    review.verdict = kind;
    review.kind = VerdictKind::Chain;
    review.cells = analysis.cells;
    review.text = Sentence(analysis.stage, review.player, analysis.cells);
    return review;
}

MoveReview ReviewMove(const RecordGame& game, int index, int turnMs) {
    const TurnAnalysis analysis = AnalyseBefore(game, index, turnMs);
    return JudgeMove(game, index, analysis, turnMs);
}

FinalReview ReviewFinal(const RecordGame& game) {
    FinalReview final;
    if (game.winner != Player::None) return final;
    const int moves = static_cast<int>(game.moves.size());
    final.analysed = true;
    final.toMove = Mover(moves);
    const FoursResult result = SolveAfter(game, moves);
    if (result.outcome == Outcome::Win) final.forced = {final.toMove, result.line};
    final.cut = result.outcome == Outcome::Cut;
    return final;
}

FoursResult SolveAfter(const RecordGame& game, int moves) {
    SetUpSolver(game, moves);
    return Solver().Solve(ColorOf(Mover(moves)));
}

Json CellsToJson(const std::vector<TMyMove>& cells) {
    Json json = Json::array();
    for (const TMyMove c : cells) json.push_back({c.x, c.y});
    return json;
}

Json ForcedToJson(const ForcedWin& forced) {
    if (forced.side == Player::None) return nullptr;
    return {{"side", PlayerName(forced.side)}, {"line", CellsToJson(forced.line)}};
}

Json MoveToJson(const MoveReview& review) {
    const bool judged = review.verdict != Verdict::None;
    Json json;
    json["move"] = review.index + 1;
    json["player"] = PlayerName(review.player);
    json["x"] = review.move.x;
    json["y"] = review.move.y;
    json["verdict"] = judged ? Json(VerdictName(review.verdict)) : Json(nullptr);
    json["kind"] = judged ? Json(VerdictKindName(review.kind)) : Json(nullptr);
    json["cells"] = CellsToJson(review.cells);
    json["line"] = CellsToJson(review.line);
    json["forced"] = ForcedToJson(review.forced);
    json["cut"] = review.cut;
    json["text"] = review.text;
    json["engine"] = review.engine;
    return json;
}

Json FinalToJson(const FinalReview& final) {
    if (!final.analysed) return nullptr;
    Json json;
    json["to_move"] = PlayerName(final.toMove);
    json["forced"] = ForcedToJson(final.forced);
    json["cut"] = final.cut;
    return json;
}

std::string JsonText(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string JsonString(std::string_view text) {
    return JsonText(Json(std::string(text)));
}

std::string CellsJson(const std::vector<TMyMove>& cells) {
    return JsonText(CellsToJson(cells));
}

std::string MoveJson(const MoveReview& review) {
    return JsonText(MoveToJson(review));
}

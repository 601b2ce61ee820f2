// The reviewer's verdicts. A move is judged against the engine's own turn on
// the position before it: a missed win when the chain ended in one of the
// mover's wins (a five, an open four, a double threat, a threat sequence
// searched to its end), a missed block when it ended in a block of the
// opponent's five or open four, and the move played is none of the cells the
// stage found. A verdict must never be false, so the move played is then
// checked with the same stages: a five, a block of the same threat in
// another way, or a threat of its own that the opponent must answer first
// (a four, an open four, a double threat, the first threat of a sequence the
// search wins) leaves the move without a verdict.
#include "review.h"

#include <algorithm>
#include <climits>
#include <cstdio>

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

}  // namespace

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::MissedWin: return "missed-win";
        case Verdict::MissedBlock: return "missed-block";
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
    const Verdict kind = analysis.cut ? Verdict::None : KindOf(analysis.stage);
    if (kind == Verdict::None || Contains(analysis.cells, m) || IsWin(m.x, m.y, SIDE_MINE) ||
        !FindingStands(analysis.stage))
        return review;
    if (kind == Verdict::MissedBlock && BlocksOtherwise(analysis.stage, analysis.cells, m))
        return review;
    if (ThreatensFirst(m, turnMs)) return review;
    review.verdict = kind;
    review.cells = analysis.cells;
    review.text = Sentence(analysis.stage, review.player, analysis.cells);
    return review;
}

MoveReview ReviewMove(const RecordGame& game, int index, int turnMs) {
    const TurnAnalysis analysis = AnalyseBefore(game, index, turnMs);
    return JudgeMove(game, index, analysis, turnMs);
}

std::string JsonString(std::string_view text) {
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string CellsJson(const std::vector<TMyMove>& cells) {
    std::string json = "[";
    for (size_t i = 0; i < cells.size(); i++)
        json +=
            (i ? ",[" : "[") + std::to_string(cells[i].x) + "," + std::to_string(cells[i].y) + "]";
    return json + "]";
}

std::string MoveJson(const MoveReview& review) {
    const bool judged = review.verdict != Verdict::None;
    return "{\"move\":" + std::to_string(review.index + 1) + ",\"player\":\"" +
           PlayerName(review.player) + "\",\"x\":" + std::to_string(review.move.x) +
           ",\"y\":" + std::to_string(review.move.y) +
           ",\"verdict\":" + (judged ? JsonString(VerdictName(review.verdict)) : "null") +
           ",\"cells\":" + CellsJson(review.cells) + ",\"text\":" + JsonString(review.text) + "}";
}

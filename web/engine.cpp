// The engine's entry for the browser, built with emscripten into the module
// that engine-worker.js loads. The Web Worker queues the page's protocol text
// as standard input and calls zelto_command once for every whole line it has
// queued. No worker thread is started, so each turn runs inline on the Web
// Worker's one thread while the page stays responsive, and the replies leave
// through standard output a line at a time. After a command that ran a turn,
// zelto_reasoning describes that turn for the page, outside the protocol.
// zelto_record_read and zelto_review_move are the reviewer's entries: they
// read a record and judge one move of it, as zelto-review does; zelto_solve
// asks the reviewer's solver whether the side to move in a position wins by
// fours. All three check their moves on the engine's board and so clobber the
// game state; the page starts a new game (START, then BOARD) before it plays
// again.
// Records can be megabytes: the page passes their text through the heap
// (allocateUTF8, then _free), not through ccall's small stack.
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "board.h"
#include "platform.h"
#include "protocol.h"
#include "record.h"
#include "review.h"
#include "search.h"
#include "solver.h"
#include "threats.h"
#include "turn.h"

extern "C" {
// Reads one command line (a BOARD block reads on to its DONE) and carries it out.
void zelto_command();
// The last turn as JSON text, to be read right after the command that ran it
// (later commands change what it describes) and valid until the next call:
//   {"stage": name, "cut": bool, "move": [x, y], "candidates": [[x, y, value, mark], ...]}
// stage is TurnStageName's; cut tells that the threat-sequence search ran out
// of time; move is the engine's last move; the candidates are those of depth
// 0 in list order, with their final boardValue and the stages' mark in it.
const char* zelto_reasoning();
// Reads a record (SGF or PSQ text; name is the file's name, used in messages).
// Returns JSON {"games":[{"game":1,"size":[w,h],"moves":[[x,y],...],"winner":"black"|"white"|null},
// ...]} or {"error":"<the same message zelto-review prints>"}.
const char* zelto_record_read(const char* name, const char* text);
// Reviews move `index` (0-based) of `moves` ("x,y;x,y;..." in order of play, black first, as in the
// page's #moves= links) on a width x height board with turnMs per position. Returns the move's
// object as in zelto-review --json
// {"move":n,"player":..,"x":..,"y":..,"verdict":..,"kind":..,"cells":..,"line":..,"forced":..,
//  "cut":..,"text":..,"engine":..} (docs/review.md)
// plus "reasoning": the same object zelto_reasoning() gives, for the analysis turn of the position
// before the move (the mover as the engine). Or {"error":"..."}. The returned text stays valid
// until the next call.
const char* zelto_review_move(int width, int height, const char* moves, int index, int turnMs);
// Solves the position after `moves` (as above) for the side to move: whether it wins by fours on
// the whole board, with a shortest win. Returns
// {"side":"black"|"white","outcome":"win"|"no-win"|"cut"|"finished","line":[[x,y],...],"nodes":n},
// line empty unless the outcome is a win (a five at once is a line of one cell), or
// {"error":"..."}. The returned text stays valid until the next call.
const char* zelto_solve(int width, int height, const char* moves);
}

namespace {

// The text the last reviewer entry returned.
std::string g_reviewText;

// The reasoning object of the turn that just ran, whose move was `move`.
std::string ReasoningJson(TMyMove move) {
    const bool five = g_TurnStage == TurnStage::OwnFive || g_TurnStage == TurnStage::BlockFive;
    char head[128];
    std::snprintf(head, sizeof head, R"({"stage":"%s","cut":%s,"move":[%d,%d],"candidates":[)",
                  TurnStageName(g_TurnStage), g_ThreatSearchCut ? "true" : "false", move.x, move.y);
    std::string json = head;
    for (int i = 0; i < g_CountMove[0]; i++) {
        const TMyMove c = g_ListMove[i][0];
        char entry[48];
        // A five is played before any stage marks or scores a candidate.
        std::snprintf(entry, sizeof entry, "%s[%d,%d,%d,%d]", i ? "," : "", c.x, c.y,
                      boardValue[c.x][c.y], five ? 0 : g_TurnMarks[i]);
        json += entry;
    }
    return json + "]}";
}

const char* Returned(std::string text) {
    g_reviewText = std::move(text);
    return g_reviewText.c_str();
}

const char* ErrorJson(const std::string& message) {
    return Returned("{\"error\":" + JsonString(message) + "}");
}

// Reads "x,y;x,y;..." into moves; false at the first entry that is not a cell.
// An empty text is a game of no moves.
bool ParseMoves(const char* text, std::vector<TMyMove>& moves, std::string& error) {
    const std::string s = text;
    size_t pos = 0;
    while (pos < s.size()) {
        const size_t end = std::min(s.find(';', pos), s.size());
        const std::string entry = s.substr(pos, end - pos);
        int x, y, used = 0;
        if (std::sscanf(entry.c_str(), "%d,%d%n", &x, &y, &used) != 2 ||
            used != static_cast<int>(entry.size())) {
            error = "move " + std::to_string(moves.size() + 1) + ": \"" + entry + "\" is not x,y";
            return false;
        }
        moves.push_back({x, y});
        pos = end + 1;
    }
    return true;
}

// The game of an entry's arguments, checked by playing it out; false with
// `error` set when the size or a move is wrong.
bool ReadGame(int boardWidth, int boardHeight, const char* moves, RecordGame& game,
              std::string& error) {
    game.number = 1;
    game.width = boardWidth;
    game.height = boardHeight;
    if (!PlayableSize(boardWidth, boardHeight)) {
        error = "the engine cannot play this board size";
        return false;
    }
    if (!ParseMoves(moves, game.moves, error)) return false;
    std::string reason;
    const int bad = PlayOut(game, reason);
    if (bad >= 0) error = "move " + std::to_string(bad + 1) + ": " + reason;
    return bad < 0;
}

}  // namespace

EMSCRIPTEN_KEEPALIVE void zelto_command() {
    fce_GetLine();
    fce_DoCommand();
}

EMSCRIPTEN_KEEPALIVE const char* zelto_reasoning() {
    static std::string text;
    text = ReasoningJson(g_MyLastMove);
    return text.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* zelto_record_read(const char* name, const char* text) {
    const Record record = ReadRecord(name, text);
    if (!record.error.empty()) return ErrorJson(record.error);
    std::string json = "{\"games\":[";
    for (const RecordGame& game : record.games) {
        json += (game.number > 1 ? ",{\"game\":" : "{\"game\":") + std::to_string(game.number) +
                ",\"size\":[" + std::to_string(game.width) + "," + std::to_string(game.height) +
                "],\"moves\":" + CellsJson(game.moves) + ",\"winner\":" +
                (game.winner == Player::None ? "null" : JsonString(PlayerName(game.winner))) + "}";
    }
    return Returned(json + "]}");
}

EMSCRIPTEN_KEEPALIVE const char* zelto_review_move(int boardWidth, int boardHeight,
                                                   const char* moves, int index, int turnMs) {
    RecordGame game;
    std::string error;
    if (!ReadGame(boardWidth, boardHeight, moves, game, error)) return ErrorJson(error);
    if (index < 0 || index >= static_cast<int>(game.moves.size()))
        return ErrorJson("no move " + std::to_string(index + 1) + " in the game");
    if (turnMs < 1) return ErrorJson("the time per position must be at least 1 ms");
    const TurnAnalysis analysis = AnalyseBefore(game, index, turnMs);
    // Read before JudgeMove, whose searches change the candidates' values.
    const std::string reasoning = ReasoningJson(analysis.move);
    std::string json = MoveJson(JudgeMove(game, index, analysis, turnMs));
    json.pop_back();
    return Returned(json + ",\"reasoning\":" + reasoning + "}");
}

EMSCRIPTEN_KEEPALIVE const char* zelto_solve(int boardWidth, int boardHeight, const char* moves) {
    RecordGame game;
    std::string error;
    if (!ReadGame(boardWidth, boardHeight, moves, game, error)) return ErrorJson(error);
    const int count = static_cast<int>(game.moves.size());
    // The reviewer's solver: one set of its large tables serves both entries.
    const FoursResult result = SolveAfter(game, count);
    Json json;
    json["side"] = PlayerName(Mover(count));
    json["outcome"] = OutcomeName(result.outcome);
    json["line"] =
        CellsToJson(result.outcome == Outcome::Win ? result.line : std::vector<TMyMove>{});
    json["nodes"] = result.nodes;
    return Returned(JsonText(json));
}

int main() {
    plat::SetUpStdio();
    return 0;
}

// libFuzzer target: each input is the text of a game record. The readers must
// refuse it with one message naming the file, or give games that play out on
// their boards again as read, each with its source and two players' names that
// fit on one line (from PB and PW, or a PSQ's trailer); the last move of the first game is then
// reviewed under a clock that moves 10 ms at every read, so that every
// search ends within a few answers, and its verdict must be well formed.
// The solver's win for the side to move after the last move of each game, if
// it finds one, must hold when replayed, and the position must be left as it
// was.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform.h"
#include "record.h"
#include "review.h"
#include "solver.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::uint32_t g_clock;

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "zelto-record-fuzz: %s: %s\n", what, detail.c_str());
    std::abort();
}

// A name that a summary can print on one line: not empty, no control
// character, no space at either end.
bool OneLine(const std::string& name) {
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    return !name.empty() && name.front() != ' ' && name.back() != ' ';
}

// A game as read: on a board the engine plays, named, and the same when played
// out again.
void CheckGame(const RecordGame& game) {
    if (!PlayableSize(game.width, game.height)) Fail("board size", std::to_string(game.width));
    if (!OneLine(game.black) || !OneLine(game.white))
        Fail("a player's name", game.black + " / " + game.white);
    const std::string sgfSource = "f.sgf#" + std::to_string(game.number);
    if (game.source != "f.sgf" && game.source != sgfSource) Fail("source", game.source);
    RecordGame again = game;
    std::string reason;
    if (PlayOut(again, reason) >= 0 || again.winner != game.winner)
        Fail("the game does not play out again", reason);
}

// The last move's review: a verdict names cells, which the move is not one of.
void CheckReview(const RecordGame& game) {
    if (game.moves.empty() || game.width * game.height > 400) return;
    const MoveReview review = ReviewMove(game, static_cast<int>(game.moves.size()) - 1, 100);
    const bool judged = review.verdict != Verdict::None;
    if (judged == review.cells.empty() || judged == review.text.empty())
        Fail("verdict without cells or text", MoveJson(review));
    for (const TMyMove c : review.cells)
        if (c.x == review.move.x && c.y == review.move.y)
            Fail("verdict on a found cell", MoveJson(review));
    if ((review.kind == VerdictKind::None) != !judged ||
        (review.kind == VerdictKind::Fours) == review.line.empty())
        Fail("verdict of the wrong kind", MoveJson(review));
    if (review.forced.side != Player::None && review.forced.side != review.player)
        Fail("a forced win of the side not to move", MoveJson(review));
}

// The solver on the final position: a win replays, the position is kept.
void CheckSolver(const RecordGame& game) {
    static FoursSolver solver;
    solver.SetUp(game.width, game.height);
    const int count = static_cast<int>(game.moves.size());
    for (int i = 0; i < count; i++)
        solver.Place(game.moves[i], i % 2 == 0 ? Color::Black : Color::White);
    const Color toMove = count % 2 == 0 ? Color::Black : Color::White;
    const FoursResult result = solver.Solve(toMove, 100000);
    if ((result.outcome == Outcome::Finished) != (game.winner != Player::None))
        Fail("a five the solver does not see", std::to_string(count));
    if (result.outcome == Outcome::Win && !solver.LineHolds(toMove, result.line))
        Fail("a win that does not replay", std::to_string(result.line.size()));
    for (int i = 0; i < count; i++)
        if (solver.StoneAt(game.moves[i].x, game.moves[i].y) != i % 2)
            Fail("the solver changed the position", std::to_string(i));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    plat::SetTickSource(+[]() -> std::uint32_t { return g_clock += 10; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Record record = ReadRecord("f.sgf", text);
    if (!record.error.empty()) {
        if (!record.games.empty() || record.error.rfind("f.sgf: ", 0) != 0 ||
            record.error.find('\n') != std::string::npos)
            Fail("bad message", record.error);
        return 0;
    }
    if (record.games.empty()) Fail("no game and no message", std::string(text));
    for (const RecordGame& game : record.games) {
        CheckGame(game);
        CheckSolver(game);
    }
    CheckReview(record.games[0]);
    return 0;
}

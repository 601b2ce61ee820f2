// The exact solver of wins by fours against a plain twin: a straightforward
// recursion over the rules of src/solver.h on a board of its own (a vector of
// cells, read cell by cell, nothing kept between moves, no table), and a plain
// checker that replays a line move by move under the same rules. Random
// positions from a fixed seed, biased towards clusters and lines of stones so
// that many have real wins of several fours or real proofs of no win with
// fours to play, and a table of positions made by hand.
//
// ZELTO_SOLVER_POSITIONS in the environment sets the number of random
// positions; without it the Release build runs 100000 and a build with
// sanitizers or asserts fewer (ZELTO_SOLVER_DEFAULT_POSITIONS, set in
// CMakeLists.txt).
#include <gtest/gtest.h>

#include <array>
#include <cassert>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "solver.h"

#ifndef ZELTO_SOLVER_DEFAULT_POSITIONS
#define ZELTO_SOLVER_DEFAULT_POSITIONS 100000
#endif

// Found by argument-dependent lookup, so beside TMyMove in the global namespace.
static bool operator==(TMyMove a, TMyMove b) {
    return a.x == b.x && a.y == b.y;
}

namespace {

constexpr int EMPTY = -1, OFF = -2;
constexpr int BLACK = 0, WHITE = 1;
// The four directions of a line: row, column, both diagonals.
constexpr int LINE_STEPS[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};

// The twin's board: every cell EMPTY, BLACK or WHITE, in a frame of OFF
// cells five wide, so that a walk from a cell of the board, or up to four
// cells beyond it, stops at the frame.
struct PlainBoard {
    static constexpr int FRAME = 5;
    int width = 0, height = 0;
    std::vector<int> cells;

    PlainBoard(int w, int h)
        : width(w), height(h), cells(static_cast<size_t>((w + 2 * FRAME) * (h + 2 * FRAME)), OFF) {
        for (int x = 0; x < w; x++)
            for (int y = 0; y < h; y++) Set(x, y, EMPTY);
    }
    bool On(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // Any cell of the board or of its frame.
    int At(int x, int y) const {
        assert(x >= -FRAME && y >= -FRAME && x < width + FRAME && y < height + FRAME);
        return cells[static_cast<size_t>((x + FRAME) * (height + 2 * FRAME) + y + FRAME)];
    }
    void Set(int x, int y, int stone) {
        assert(On(x, y));
        cells[static_cast<size_t>((x + FRAME) * (height + 2 * FRAME) + y + FRAME)] = stone;
    }
    void Set(TMyMove m, int stone) { Set(m.x, m.y, stone); }
    bool Empty(TMyMove m) const { return On(m.x, m.y) && At(m.x, m.y) == EMPTY; }
};

std::string CellText(TMyMove m) {
    return std::to_string(m.x) + "," + std::to_string(m.y);
}

std::string LineText(const std::vector<TMyMove>& line) {
    std::string text;
    for (const TMyMove m : line) {
        if (!text.empty()) text += ' ';
        text += CellText(m);
    }
    return text.empty() ? "(empty)" : text;
}

// The stones of c in a row through (x, y) along direction d, the cell itself
// counted as one of them.
int RunThrough(const PlainBoard& b, int x, int y, int d, int c) {
    int run = 1;
    for (const int sign : {-1, +1}) {
        int cx = x + sign * LINE_STEPS[d][0], cy = y + sign * LINE_STEPS[d][1];
        while (b.At(cx, cy) == c) {
            run++;
            cx += sign * LINE_STEPS[d][0];
            cy += sign * LINE_STEPS[d][1];
        }
    }
    return run;
}

// Whether a stone of c on the empty (x, y) makes five or more in a row.
bool PlainMakesFive(const PlainBoard& b, int x, int y, int c) {
    for (int d = 0; d < 4; d++)
        if (RunThrough(b, x, y, d, c) >= 5) return true;
    return false;
}

// Whether five or more stones of c stand in a row anywhere.
bool PlainHasFive(const PlainBoard& b, int c) {
    for (int x = 0; x < b.width; x++)
        for (int y = 0; y < b.height; y++)
            if (b.At(x, y) == c)
                for (int d = 0; d < 4; d++)
                    if (RunThrough(b, x, y, d, c) >= 5) return true;
    return false;
}

// Every empty cell where a stone of c makes five, x then y.
std::vector<TMyMove> PlainFives(const PlainBoard& b, int c) {
    std::vector<TMyMove> fives;
    for (int x = 0; x < b.width; x++)
        for (int y = 0; y < b.height; y++)
            if (b.At(x, y) == EMPTY && PlainMakesFive(b, x, y, c)) fives.push_back({x, y});
    return fives;
}

// The same just after c played m, when c had no five cell before it: then a
// five cell's five must hold m, so it lies on one of m's four lines within
// four cells, with three more stones of c among m's eight neighbours along
// that line. The twin checks this shortcut against PlainFives on a share of
// its positions (fullScan).
std::vector<TMyMove> PlainFivesAfter(const PlainBoard& b, TMyMove m, int c) {
    std::vector<TMyMove> fives;
    for (int d = 0; d < 4; d++) {
        int own = 0;
        for (int k = -4; k <= 4; k++) {
            const int x = m.x + k * LINE_STEPS[d][0], y = m.y + k * LINE_STEPS[d][1];
            own += k != 0 && b.At(x, y) == c;
        }
        if (own < 3) continue;
        for (int k = -4; k <= 4; k++) {
            const TMyMove cell{m.x + k * LINE_STEPS[d][0], m.y + k * LINE_STEPS[d][1]};
            if (k == 0 || !b.Empty(cell) || !PlainMakesFive(b, cell.x, cell.y, c)) continue;
            bool seen = false;
            for (const TMyMove f : fives) seen = seen || f == cell;
            if (!seen) fives.push_back(cell);
        }
    }
    return fives;
}

// The empty cells where a stone of c leaves c a cell that makes five, when
// c has none before it; fullScan looks for the fives on the whole board.
std::vector<TMyMove> PlainFours(PlainBoard b, int c, bool fullScan) {
    std::vector<TMyMove> fours;
    for (int x = 0; x < b.width; x++)
        for (int y = 0; y < b.height; y++) {
            if (b.At(x, y) != EMPTY) continue;
            b.Set(x, y, c);
            if (!(fullScan ? PlainFives(b, c) : PlainFivesAfter(b, {x, y}, c)).empty())
                fours.push_back({x, y});
            b.Set(x, y, EMPTY);
        }
    return fours;
}

// What the twin found: for Win, a shortest line.
struct TwinAnswer {
    enum Kind { Win, NoWin, Unknown, Finished } kind = Unknown;
    std::vector<TMyMove> line;
    long nodes = 0;
};

// The plain twin of the search: "A wins by fours within n of its own moves"
// by recursion over the rules, n raised one by one from 1 until a win, a
// search that no bound stopped anywhere (no win at all), or its node budget.
class PlainTwin {
public:
    PlainTwin(const PlainBoard& b, int attacker, long budget, bool fullScan)
        : b_(b), a_(attacker), d_(1 - attacker), budget_(budget), fullScan_(fullScan) {}

    TwinAnswer Solve() {
        TwinAnswer answer;
        if (PlainHasFive(b_, BLACK) || PlainHasFive(b_, WHITE)) {
            answer.kind = TwinAnswer::Finished;
            return answer;
        }
        for (int n = 1;; n++) {
            boundStopped_ = false;
            std::vector<TMyMove> line;
            const bool win = Wins(n, line);
            if (nodes_ > budget_) break;
            if (win) {
                answer.kind = TwinAnswer::Win;
                answer.line = line;
                break;
            }
            if (!boundStopped_) {
                answer.kind = TwinAnswer::NoWin;
                break;
            }
        }
        answer.nodes = nodes_;
        return answer;
    }

private:
    std::vector<TMyMove> FivesAfter(TMyMove m) const {
        return fullScan_ ? PlainFives(b_, a_) : PlainFivesAfter(b_, m, a_);
    }

    // Whether A, to move, wins within n of its moves; the line when it does.
    bool Wins(int n, std::vector<TMyMove>& line) {
        if (++nodes_ > budget_) return false;
        const std::vector<TMyMove> own = PlainFives(b_, a_);
        if (!own.empty()) {
            line = {own[0]};
            return true;
        }
        const std::vector<TMyMove> theirs = PlainFives(b_, d_);
        if (theirs.size() >= 2) return false;
        std::vector<TMyMove> moves = theirs;
        if (moves.empty())
            for (int x = 0; x < b_.width; x++)
                for (int y = 0; y < b_.height; y++)
                    if (b_.At(x, y) == EMPTY) moves.push_back({x, y});
        for (const TMyMove m : moves) {
            b_.Set(m, a_);
            const std::vector<TMyMove> fives = FivesAfter(m);
            bool win = false;
            if (!fives.empty() && n < 2) {
                boundStopped_ = true;  // a four, but no move left to make its five
            } else if (fives.size() >= 2) {
                line = {m, fives[0], fives[1]};
                win = true;
            } else if (fives.size() == 1) {
                b_.Set(fives[0], d_);
                std::vector<TMyMove> rest;
                if (Wins(n - 1, rest)) {
                    line = {m, fives[0]};
                    line.insert(line.end(), rest.begin(), rest.end());
                    win = true;
                }
                b_.Set(fives[0], EMPTY);
            }
            b_.Set(m, EMPTY);
            if (win) return true;
            if (nodes_ > budget_) return false;
        }
        return false;
    }

    PlainBoard b_;
    int a_, d_;
    long budget_;
    bool fullScan_;
    long nodes_ = 0;
    bool boundStopped_ = false;
};

// The plain line checker: replays `line` for the winner on a copy of the
// board and returns what rule it breaks first, or "" when it holds. Cells
// empty, winner first, moves alternating; each winner's move but the last is
// a four, made where the winner has no five to take, on the defender's five
// cell if it has one and never with two; each defender's move blocks one of
// the winner's fives when the defender has no five of its own; the last
// move makes five.
std::string CheckLine(PlainBoard b, int winner, const std::vector<TMyMove>& line) {
    const int defender = 1 - winner;
    if (line.empty()) return "an empty line";
    if (line.size() % 2 == 0) return "the line ends with the defender's move";
    for (size_t i = 0; i < line.size(); i++) {
        const TMyMove m = line[i];
        const std::string at = "move " + std::to_string(i + 1) + " " + CellText(m) + ": ";
        if (!b.Empty(m)) return at + "not an empty cell of the board";
        if (i % 2 == 0) {
            if (i + 1 == line.size())
                return PlainMakesFive(b, m.x, m.y, winner) ? "" : at + "the last move makes no five";
            if (!PlainFives(b, winner).empty()) return at + "a four where the winner had a five";
            const std::vector<TMyMove> theirs = PlainFives(b, defender);
            if (theirs.size() >= 2) return at + "the defender has two fives";
            if (theirs.size() == 1 && !(theirs[0] == m))
                return at + "does not take the defender's five at " + CellText(theirs[0]);
            b.Set(m, winner);
            if (PlainFives(b, winner).empty()) return at + "not a four";
        } else {
            if (!PlainFives(b, defender).empty()) return at + "the defender had a five";
            if (!PlainMakesFive(b, m.x, m.y, winner)) return at + "blocks none of the fives";
            b.Set(m, defender);
        }
    }
    return "";  // not reached: the last move returns
}

// A position to solve: stones with their colours, and the side to move.
struct Stone {
    TMyMove cell;
    int color;
};
struct Position {
    int width = 0, height = 0;
    std::vector<Stone> stones;
    int toMove = BLACK;
};

std::string Describe(const Position& p) {
    std::string text = std::to_string(p.width) + "x" + std::to_string(p.height) + ", " +
                       (p.toMove == BLACK ? "black" : "white") + " to move;";
    for (const Stone& s : p.stones) {
        text += s.color == BLACK ? " b" : " w";
        text += CellText(s.cell);
    }
    return text;
}

PlainBoard BoardOf(const Position& p) {
    PlainBoard b(p.width, p.height);
    for (const Stone& s : p.stones) b.Set(s.cell, s.color);
    return b;
}

void SetUpSolver(FoursSolver& solver, const Position& p) {
    solver.SetUp(p.width, p.height);
    for (const Stone& s : p.stones) solver.Place(s.cell, static_cast<Color>(s.color));
}

// Whether, in a position without fours, a stone of c near the stone it has
// just played on m would leave it two cells that make five.
bool MakesDoubleFour(PlainBoard& b, TMyMove m, int c) {
    for (int d = 0; d < 4; d++)
        for (int k = -4; k <= 4; k++) {
            const TMyMove e{m.x + k * LINE_STEPS[d][0], m.y + k * LINE_STEPS[d][1]};
            if (!b.Empty(e)) continue;
            b.Set(e, c);
            const bool two = PlainFivesAfter(b, e, c).size() >= 2;
            b.Set(e, EMPTY);
            if (two) return true;
        }
    return false;
}

// Random positions from a fixed seed. Stones go mostly into a small box of
// the board, half of them extending a line of their own colour by one or two
// cells, so that lines of two and three stones and fours to play abound; the
// side to move gets a little more than half of them. No stone makes a five,
// except in one position of a hundred, which Solve must call finished, and
// in most positions no stone makes a four either, and in some the side to
// move has no open four nor double four to make.
class PositionGenerator {
public:
    explicit PositionGenerator(std::uint64_t rngSeed) : rng_(rngSeed) {}

    Position Next() {
        Position p;
        const int kind = Pick(100);
        if (kind < 40) {  // small boards, rectangles among them
            p.width = 6 + Pick(4);
            p.height = 6 + Pick(4);
        } else if (kind < 50) {  // narrow boards from the smallest size
            p.width = 5 + Pick(3);
            p.height = 5 + Pick(12);
            if (Pick(2)) std::swap(p.width, p.height);
        } else if (kind < 88) {
            p.width = p.height = 15;
        } else {  // larger rectangles
            p.width = 10 + Pick(21);
            p.height = 10 + Pick(21);
        }
        p.toMove = Pick(2);
        const bool allowFive = Pick(100) == 0;
        // A quiet position has no four on the board (no cell where a stone
        // makes five): a win there takes fours that the search must find.
        const bool quiet = !allowFive && Pick(100) < 60;
        // And in half of them the side to move has no move that makes two
        // fives at once: a win there takes three fours or more.
        const bool hard = quiet && Pick(2);
        // The box the stones cluster in, and how full it gets.
        const int boxW = std::min(p.width, 5 + Pick(6)), boxH = std::min(p.height, 5 + Pick(6));
        const int boxX = Pick(p.width - boxW + 1), boxY = Pick(p.height - boxH + 1);
        const int density = 10 + Pick(50);  // percent of the box
        const int stones = std::max(2, boxW * boxH * density / 100);
        const int attackerShare = 48 + Pick(quiet ? 16 : 10);  // percent of the stones
        PlainBoard b(p.width, p.height);
        for (int tries = 0; static_cast<int>(p.stones.size()) < stones && tries < 20 * stones;
             tries++) {
            const int color = Pick(100) < attackerShare ? p.toMove : 1 - p.toMove;
            TMyMove m{boxX + Pick(boxW), boxY + Pick(boxH)};
            const int how = Pick(100);
            if (how < 50 && !p.stones.empty()) {  // extend a stone of the colour along a line
                const Stone& s = p.stones[static_cast<size_t>(Pick(static_cast<int>(p.stones.size())))];
                if (s.color != color) continue;
                const int d = Pick(4), k = (1 + Pick(2)) * (Pick(2) ? 1 : -1);
                m = {s.cell.x + k * LINE_STEPS[d][0], s.cell.y + k * LINE_STEPS[d][1]};
            } else if (how < 60) {
                m = {Pick(p.width), Pick(p.height)};
            }
            if (!b.Empty(m)) continue;
            if (!allowFive && PlainMakesFive(b, m.x, m.y, color)) continue;
            b.Set(m, color);
            if ((quiet && !PlainFivesAfter(b, m, color).empty()) ||
                (hard && color == p.toMove && MakesDoubleFour(b, m, color))) {
                b.Set(m, EMPTY);
                continue;
            }
            p.stones.push_back({m, color});
        }
        return p;
    }

    int Pick(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }

private:
    std::mt19937_64 rng_;
};

int PositionCount() {
    if (const char* text = std::getenv("ZELTO_SOLVER_POSITIONS")) return std::atoi(text);
    return ZELTO_SOLVER_DEFAULT_POSITIONS;
}

// The twin's node budget: the positions it cannot settle within it are skipped.
constexpr long TWIN_BUDGET = 4000;

// What the random test saw.
struct Mix {
    int positions = 0, wins = 0, noWins = 0, noWinsWithFours = 0, finished = 0, skipped = 0;
    int lengths[12] = {};  // wins by their winner's moves, the last slot for 11 and more
    int mutations = 0, mutationsHolding = 0;
};

// The failures of the running test so far.
int FailureCount() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

// Everything one position must satisfy; returns false after a failure.
bool CheckPosition(FoursSolver& solver, const Position& p, bool fullScan, bool deep, Mix& mix) {
    const PlainBoard b = BoardOf(p);
    SetUpSolver(solver, p);
    const Color side = static_cast<Color>(p.toMove);
    const std::string where = Describe(p);
    const int before = FailureCount();
    const auto failed = [&] { return FailureCount() > before; };

    for (const int c : {BLACK, WHITE}) {
        EXPECT_EQ(solver.HasFive(static_cast<Color>(c)), PlainHasFive(b, c)) << where;
        const std::vector<TMyMove> fives = PlainFives(b, c);
        EXPECT_EQ(solver.Fives(static_cast<Color>(c)), fives) << where << " colour " << c;
        if (deep) {
            for (int x = 0; x < p.width; x++)
                for (int y = 0; y < p.height; y++)
                    if (b.At(x, y) == EMPTY) {
                        EXPECT_EQ(solver.MakesFive({x, y}, static_cast<Color>(c)),
                                  PlainMakesFive(b, x, y, c))
                            << where << " at " << x << "," << y;
                    }
            // Where c has a five, every stone leaves it one: Fours means new fours.
            if (fives.empty()) {
                EXPECT_EQ(solver.Fours(static_cast<Color>(c)), PlainFours(b, c, fullScan))
                    << where << " colour " << c;
            }
        }
    }
    if (failed()) return false;

    const TwinAnswer twin = PlainTwin(b, p.toMove, TWIN_BUDGET, fullScan).Solve();
    const FoursResult got = solver.Solve(side);
    mix.positions++;

    // The position is as it was.
    for (int x = 0; x < p.width; x++)
        for (int y = 0; y < p.height; y++)
            if (solver.StoneAt(x, y) != b.At(x, y)) {
                ADD_FAILURE() << where << ": Solve changed " << x << "," << y;
                return false;
            }

    if (twin.kind == TwinAnswer::Finished) {
        mix.finished++;
        EXPECT_EQ(got.outcome, Outcome::Finished) << where;
        return !failed();
    }
    if (twin.kind == TwinAnswer::Win) {
        const std::string problem = CheckLine(b, p.toMove, twin.line);
        EXPECT_EQ(problem, "") << where << ": the twin's own line " << LineText(twin.line);
    }
    if (got.outcome == Outcome::Win) {
        const std::string problem = CheckLine(b, p.toMove, got.line);
        EXPECT_EQ(problem, "") << where << ": line " << LineText(got.line);
        EXPECT_TRUE(solver.LineHolds(side, got.line)) << where << ": " << LineText(got.line);
    }
    if (twin.kind == TwinAnswer::Unknown) {
        mix.skipped++;
        EXPECT_NE(got.outcome, Outcome::Finished) << where;
    } else if (twin.kind == TwinAnswer::Win) {
        EXPECT_EQ(got.outcome, Outcome::Win) << where << ": the twin wins by "
                                             << LineText(twin.line);
        EXPECT_EQ((got.line.size() + 1) / 2, (twin.line.size() + 1) / 2)
            << where << ": solver " << LineText(got.line) << ", twin " << LineText(twin.line);
        mix.wins++;
        mix.lengths[std::min<size_t>(11, (twin.line.size() + 1) / 2)]++;
    } else {
        EXPECT_EQ(got.outcome, Outcome::NoWin)
            << where << (got.outcome == Outcome::Win ? ": solver wins by " + LineText(got.line)
                                                     : std::string(": ") + OutcomeName(got.outcome));
        mix.noWins++;
        mix.noWinsWithFours += !PlainFours(b, p.toMove, false).empty();
    }
    if (failed()) return false;

    if (got.outcome == Outcome::Win && deep) {
        // Broken lines: LineHolds says what the plain checker says, and leaves
        // the position as it was.
        std::vector<std::vector<TMyMove>> mutated;
        std::vector<TMyMove> line = got.line;
        line.pop_back();
        mutated.push_back(line);  // ends on the defender's block
        if (line.size() >= 2) {
            line.pop_back();
            mutated.push_back(line);  // ends on a four
        }
        mutated.push_back({});
        for (size_t i = 0; i < got.line.size(); i++) {
            line = got.line;
            line[i] = {static_cast<int>(i * 7 + mix.positions) % p.width,
                       static_cast<int>(i * 3 + mix.positions / 3) % p.height};
            mutated.push_back(line);  // one move changed
            line = got.line;
            line[i].x = line[i].x + 1 < p.width ? line[i].x + 1 : 0;
            mutated.push_back(line);  // one move shifted by a column
            if (i % 2 == 1) {
                line = got.line;
                std::swap(line[i], line[i + 1]);
                mutated.push_back(line);  // a block swapped with the next move
            }
        }
        line = got.line;
        line.push_back(line.back());
        mutated.push_back(line);  // a move after the five
        for (const auto& m : mutated) {
            const bool holds = CheckLine(b, p.toMove, m).empty();
            EXPECT_EQ(solver.LineHolds(side, m), holds)
                << where << ": line " << LineText(m) << ": " << CheckLine(b, p.toMove, m);
            mix.mutations++;
            mix.mutationsHolding += holds;
        }
        for (int x = 0; x < p.width; x++)
            for (int y = 0; y < p.height; y++)
                if (solver.StoneAt(x, y) != b.At(x, y)) {
                    ADD_FAILURE() << where << ": LineHolds changed " << x << "," << y;
                    return false;
                }
    }
    if (deep && got.outcome != Outcome::Cut) {
        // The same search again, then with one node too few: the node limit
        // cuts it exactly, and a cut search changes nothing either.
        const FoursResult again = solver.Solve(side, got.nodes);
        EXPECT_EQ(again.outcome, got.outcome) << where;
        EXPECT_EQ(again.line, got.line) << where;
        EXPECT_EQ(again.nodes, got.nodes) << where;
        if (got.nodes > 1) {
            const FoursResult cut = solver.Solve(side, got.nodes - 1);
            EXPECT_EQ(cut.outcome, Outcome::Cut) << where;
            EXPECT_TRUE(cut.line.empty()) << where;
        }
        for (int x = 0; x < p.width; x++)
            for (int y = 0; y < p.height; y++)
                if (solver.StoneAt(x, y) != b.At(x, y)) {
                    ADD_FAILURE() << where << ": a cut Solve changed " << x << "," << y;
                    return false;
                }
    }
    return !failed();
}

// Positions are written "x,y x,y ...", black's and white's stones apart.
std::vector<Stone> Stones(const char* black, const char* white) {
    std::vector<Stone> stones;
    for (const auto& [text, color] : {std::pair{black, BLACK}, std::pair{white, WHITE}}) {
        int x, y, used;
        for (const char* s = text; std::sscanf(s, " %d,%d%n", &x, &y, &used) == 2; s += used)
            stones.push_back({{x, y}, color});
    }
    return stones;
}

// Shifts every stone by (dx, dy), for a position moved on a larger board.
std::string Shifted(const char* cells, int dx, int dy) {
    std::string text;
    int x, y, used;
    for (const char* s = cells; std::sscanf(s, " %d,%d%n", &x, &y, &used) == 2; s += used)
        text += CellText({x + dx, y + dy}) + " ";
    return text;
}

// A win by three fours on 15x15, black to move: 9,10 makes a four in column
// 9 (white's 9,14 leaves it the one five 9,9), then 10,10 makes fours in row
// 10 and column 10 at once (or the same two moves the other way round).
constexpr const char* THREE_BLACK = "10,7 10,8 10,9 7,10 8,10 9,11 9,12 9,13";
constexpr const char* THREE_WHITE = "10,6 6,10 9,14 0,0 14,0 0,14 14,14 1,13";

// Each hand-made position: the solver's and the twin's answers, and for a
// win the line's length and, where only one line is shortest, its first move.
TEST(SolverHandMade, KnownAnswers) {
    const std::string three100Black = Shifted(THREE_BLACK, 60, 80);
    const std::string three100White = Shifted(THREE_WHITE, 60, 80);
    const struct {
        const char* name;
        int width, height;
        std::string black, white;
        int toMove;
        Outcome outcome;
        int length;        // the winner's moves in a shortest win
        TMyMove first;     // NO_MOVE: several shortest wins start differently
    } cases[] = {
        {"five at once", 15, 15, "7,7 8,7 9,7 10,7", "0,0 0,1 0,2 1,5", BLACK, Outcome::Win, 1,
         NO_MOVE},
        {"five at once on the edge", 15, 15, "14,3 14,4 14,6 14,7", "3,3 4,4 5,5", BLACK,
         Outcome::Win, 1, {14, 5}},
        {"an overline is a five", 15, 15, "1,7 2,7 3,7 5,7 6,7", "0,0 1,1 2,2 3,3", BLACK,
         Outcome::Win, 1, {4, 7}},
        {"an open four wins in two", 15, 15, "5,5 6,5 7,5", "0,0 1,1", BLACK, Outcome::Win, 2,
         NO_MOVE},
        {"the defender's five on two cells", 15, 15, "7,8 8,8 9,8 7,10 8,10",
         "3,3 4,3 5,3 6,3 12,12", BLACK, Outcome::NoWin, 0, NO_MOVE},
        {"the defender's single five, blocked by a four", 15, 15, "2,5 7,6 7,7 7,8",
         "3,5 4,5 5,5 6,5 0,0", BLACK, Outcome::Win, 2, {7, 5}},
        {"the defender's single five, the block no four", 15, 15, "2,5 10,10 11,10 12,10",
         "3,5 4,5 5,5 6,5 0,0", BLACK, Outcome::NoWin, 0, NO_MOVE},
        {"the defender's overline on one cell", 15, 15, "0,1 4,2 4,3 4,4",
         "1,1 2,1 3,1 5,1 6,1 14,14", BLACK, Outcome::Win, 2, {4, 1}},
        {"white to move with the same stones", 15, 15, "0,1 4,2 4,3 4,4",
         "1,1 2,1 3,1 5,1 6,1 14,14", WHITE, Outcome::Win, 1, {4, 1}},
        {"a five on the board", 15, 15, "3,3 4,4 5,5 6,6 7,7", "0,0 0,1 0,2 0,3", WHITE,
         Outcome::Finished, 0, NO_MOVE},
        {"no stones", 15, 15, "", "", BLACK, Outcome::NoWin, 0, NO_MOVE},
        {"a three with no four to make", 15, 15, "6,6 7,7 8,8", "5,5 9,9", BLACK, Outcome::NoWin,
         0, NO_MOVE},
        {"three fours", 15, 15, THREE_BLACK, THREE_WHITE, BLACK, Outcome::Win, 3, NO_MOVE},
        {"three fours, white to move", 15, 15, THREE_BLACK, THREE_WHITE, WHITE, Outcome::NoWin,
         0, NO_MOVE},
        {"three fours on 100x100", 100, 100, three100Black, three100White, BLACK, Outcome::Win,
         3, NO_MOVE},
        {"a diagonal five on 5x5", 5, 5, "0,0 1,1 2,2 3,3", "0,4 1,4 2,4", BLACK, Outcome::Win,
         1, {4, 4}},
        {"an anti-diagonal four on 5x5", 5, 5, "0,4 1,3 2,2 4,0", "0,0 1,0 2,0", BLACK,
         Outcome::Win, 1, {3, 1}},
        {"a double four in the corner of 5x5", 5, 5, "1,0 2,0 3,0 0,1 0,2 0,3", "4,4 2,4 4,2",
         BLACK, Outcome::Win, 2, {0, 0}},
        {"a lone four on 5x5 is no win", 5, 5, "0,4 1,3 3,1", "0,0 1,0 2,0", BLACK,
         Outcome::NoWin, 0, NO_MOVE},
        {"nothing to make on 5x5", 5, 5, "0,0 1,0 2,0", "3,0 0,1", BLACK, Outcome::NoWin, 0,
         NO_MOVE},
        {"an open three at the foot of 7x20", 7, 20, "3,15 3,16 3,17", "0,0 6,0", BLACK,
         Outcome::Win, 2, NO_MOVE},
        {"a four along the long side of 20x7", 20, 7, "16,6 17,6 18,6 19,6", "0,0", BLACK,
         Outcome::Win, 1, {15, 6}},
    };
    FoursSolver solver;
    for (const auto& c : cases) {
        Position p;
        p.width = c.width;
        p.height = c.height;
        p.stones = Stones(c.black.c_str(), c.white.c_str());
        p.toMove = c.toMove;
        SetUpSolver(solver, p);
        const FoursResult got = solver.Solve(static_cast<Color>(c.toMove));
        EXPECT_EQ(got.outcome, c.outcome) << c.name << ": " << OutcomeName(got.outcome) << " "
                                          << LineText(got.line);
        const TwinAnswer twin =
            PlainTwin(BoardOf(p), c.toMove, 1000000, c.width * c.height <= 400).Solve();
        const TwinAnswer::Kind want = c.outcome == Outcome::Win        ? TwinAnswer::Win
                                      : c.outcome == Outcome::NoWin    ? TwinAnswer::NoWin
                                      : c.outcome == Outcome::Finished ? TwinAnswer::Finished
                                                                       : TwinAnswer::Unknown;
        EXPECT_EQ(twin.kind, want) << c.name << ": twin " << LineText(twin.line);
        if (c.outcome != Outcome::Win) continue;
        EXPECT_EQ(static_cast<int>(got.line.size() + 1) / 2, c.length)
            << c.name << ": " << LineText(got.line);
        EXPECT_EQ(static_cast<int>(twin.line.size() + 1) / 2, c.length)
            << c.name << ": twin " << LineText(twin.line);
        EXPECT_EQ(CheckLine(BoardOf(p), c.toMove, got.line), "") << c.name;
        EXPECT_TRUE(solver.LineHolds(static_cast<Color>(c.toMove), got.line)) << c.name;
        if (!(c.first == NO_MOVE) && !got.line.empty()) {
            EXPECT_EQ(got.line[0], c.first) << c.name << ": " << LineText(got.line);
        }
    }
}

// The checker itself, on lines of the three-four position that break one rule each.
TEST(SolverHandMade, PlainCheckerRefusesBrokenLines) {
    Position p;
    p.width = p.height = 15;
    p.stones = Stones(THREE_BLACK, THREE_WHITE);
    const PlainBoard b = BoardOf(p);
    const std::vector<TMyMove> good = {{9, 10}, {9, 9}, {10, 10}, {10, 11}, {11, 10}};
    EXPECT_EQ(CheckLine(b, BLACK, good), "");
    const struct {
        std::vector<TMyMove> line;
        const char* problem;
    } cases[] = {
        {{}, "an empty line"},
        {{{9, 10}, {9, 9}}, "the line ends with the defender's move"},
        {{{9, 10}, {9, 9}, {10, 10}}, "move 3 10,10: the last move makes no five"},
        {{{9, 10}, {9, 8}, {10, 10}, {10, 11}, {11, 10}}, "move 2 9,8: blocks none of the fives"},
        {{{9, 11}, {9, 9}, {10, 10}, {10, 11}, {11, 10}},
         "move 1 9,11: not an empty cell of the board"},
        {{{5, 5}, {9, 9}, {10, 10}, {10, 11}, {11, 10}}, "move 1 5,5: not a four"},
        {{{9, 10}, {9, 9}, {10, 10}, {11, 10}, {11, 10}},
         "move 5 11,10: not an empty cell of the board"},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckLine(b, BLACK, c.line), c.problem);
    // White's open four on two cells: black's four elsewhere breaks the rule.
    Position q;
    q.width = q.height = 15;
    q.stones = Stones("7,8 8,8 9,8 10,8", "3,3 4,3 5,3 6,3");
    EXPECT_EQ(CheckLine(BoardOf(q), BLACK, {{6, 8}, {11, 8}, {5, 8}}),
              "move 1 6,8: a four where the winner had a five");
    q.stones = Stones("7,8 8,8 9,8 1,1", "3,3 4,3 5,3 6,3");
    EXPECT_EQ(CheckLine(BoardOf(q), BLACK, {{6, 8}, {5, 8}, {10, 8}}),
              "move 1 6,8: the defender has two fives");
    q.stones = Stones("7,8 8,8 9,8 2,3", "3,3 4,3 5,3 6,3");
    EXPECT_EQ(CheckLine(BoardOf(q), BLACK, {{6, 8}, {5, 8}, {10, 8}}),
              "move 1 6,8: does not take the defender's five at 7,3");
}

// Random positions against the twin: outcome, shortest length, the line
// under the plain checker, fives, LineHolds on broken lines, and the position
// left as it was.
TEST(SolverTwin, RandomPositionsMatchPlainTwin) {
    const int count = PositionCount();
    PositionGenerator generator(0x5EED50F7E2026ull);
    FoursSolver solver;
    Mix mix;
    const auto start = std::chrono::steady_clock::now();
    int failures = 0;
    for (int i = 0; i < count && failures < 5; i++) {
        const Position p = generator.Next();
        const int before = FailureCount();
        // The twin's shortcut against whole-board scans on a share of the
        // positions, most of them small.
        const bool fullScan = i % 40 == 0 && (p.width * p.height <= 100 || i % 400 == 0);
        CheckPosition(solver, p, fullScan, i % 4 == 0, mix);
        failures += FailureCount() > before;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string lengths;
    for (int n = 1; n < 12; n++) {
        char item[32];
        std::snprintf(item, sizeof item, " %d%s:%d", n, n == 11 ? "+" : "", mix.lengths[n]);
        lengths += item;
    }
    std::printf(
        "[ solver   ] %d positions in %.1f s: %d wins (by length%s), %d no-wins (%d with fours "
        "to play), %d finished, %d skipped; %d broken lines, %d of them holding\n",
        mix.positions, seconds, mix.wins, lengths.c_str(), mix.noWins, mix.noWinsWithFours,
        mix.finished, mix.skipped, mix.mutations, mix.mutationsHolding);
    EXPECT_EQ(mix.positions, count);
    // The twin settles nearly every position, and the mix has real work in it.
    EXPECT_LE(mix.skipped, count / 50);
    EXPECT_GE(mix.wins - mix.lengths[1] - mix.lengths[2], count / 20);
    EXPECT_GE(mix.noWinsWithFours, count / 10);
}

}  // namespace

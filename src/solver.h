// FoursSolver: an exact search of wins by fours on the whole board, for the
// reviewer. It keeps a position of its own (it never reads or writes the
// engine's board) and answers, for the side to move, whether it wins by
// fours: a sequence of its fours, each answered by the cell that stops the
// five, ending in a five. Five or more in a row wins for both sides.
//
// The rules the search proves, for the attacker A to move and the defender D:
//  - A wins at once on a cell where its stone makes five.
//  - Otherwise, where D could make five on two cells, A has lost; on one,
//    A's move must be that cell and must make a four.
//  - A four is a move after which A can make five. With two or more such
//    cells D blocks one and A makes five on another; with one, D's block
//    there is forced, and A goes on from the position after it (where D's
//    block may have made a four of D's own).
// "No win" means that no such sequence exists; a search stopped by the node
// limit or by the depth cap is reported as cut and proves nothing.
//
// Invariants, all of them:
//  1. cells_ holds every stone of the position, at CellAt(x, y); cells off the
//     width x height area are never read.
//  2. A window is five cells in a row on the board: WINDOWS lists them by
//     direction (row, column, the two diagonals), then start cell. For each
//     window, mask_[c][w] has bit k set when its k-th cell holds a stone of
//     colour c. Place and Remove keep both masks of the up to 20 windows of
//     the cell they change, and nothing else writes them.
//  3. A window is a colour's "four window" when it holds four of its stones
//     and none of the other's (its empty cell makes five), and its "three
//     window" with three and none (either empty cell makes a four).
//     lists_[c][FOURS] and lists_[c][THREES] hold exactly those windows, in no
//     particular order, with slot_ giving each one's place (or NONE).
//  4. hash_ is the Zobrist hash of the stones (a random key per cell and
//     colour, fixed at start-up), kept by Place and Remove.
//  5. A transposition entry counts only when its epoch is the current
//     search's: every Solve starts a new epoch, so no result of an earlier
//     search, with its attacker and limits, is ever reused. An entry of a
//     position (the attacker to move) states: no win within `bound` moves of
//     the attacker, or none at all when bound is NO_WIN_AT_ALL. A hit may
//     only prune; a win is never taken from the table, so every line comes
//     from the search itself. Keys are 64 bits, stored whole: positions that
//     share a key (one chance in 2^64 a look-up) are the only way a hit can
//     be wrong.
//  6. Move lists of the search's levels live one after another in moves_;
//     each level pops what it pushed.
//  7. Solve looks for wins of 1 to SHORT_WINS moves one length at a time,
//     then searches as deep as MAX_WIN_MOVES allows (a failure there that no
//     cap cut refutes the position at every depth), then, below the length
//     of a win found so, one length at a time again: the first win found at
//     a length where every shorter one failed is a shortest. Cut below a win
//     found is cut: it proves nothing about the shortest.
// Solve, Fives and LineHolds leave the position as they found it. Nothing is
// allocated after construction.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "board.h"

// The two colours of a game; Black moves first.
enum class Color : std::uint8_t { Black = 0, White = 1 };

inline constexpr Color Other(Color c) {
    return c == Color::Black ? Color::White : Color::Black;
}

// What a search proved.
enum class Outcome : std::uint8_t {
    Win,       ///< the side to move wins by fours (or makes five at once)
    NoWin,     ///< no win by fours exists
    Cut,       ///< the node limit or the depth cap stopped the search: nothing proved
    Finished,  ///< a five already stands on the board: nothing to solve
};

// "win", "no-win", "cut", "finished".
const char* OutcomeName(Outcome outcome);

// A search's answer.
struct FoursResult {
    Outcome outcome = Outcome::Cut;
    std::vector<TMyMove> line;  ///< with Win: the moves in order, winner first, ending in the five
    std::uint64_t nodes = 0;    ///< positions searched (attacker to move)
};

class FoursSolver {
public:
    /// Nodes one Solve may search before it reports a cut. A typical 15x15
    /// position needs a few hundred; the hardest seen in game records, some
    /// tens of thousands.
    static constexpr std::uint64_t DEFAULT_NODE_LIMIT = 2000000;
    /// The longest win searched for, in moves of the winner.
    static constexpr int MAX_WIN_MOVES = 200;

    FoursSolver();
    ~FoursSolver();
    FoursSolver(const FoursSolver&) = delete;
    FoursSolver& operator=(const FoursSolver&) = delete;

    // Empties the position and sets its size (MIN_BOARD to MAX_BOARD a side).
    void SetUp(int boardWidth, int boardHeight);
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The stone on a cell of the board, or none (-1).
    int StoneAt(int x, int y) const;
    // Puts a stone of c on an empty cell of the board.
    void Place(TMyMove m, Color c);
    // Takes the stone off a cell that holds one.
    void Remove(TMyMove m);

    // Whether five or more of c stand in a row.
    bool HasFive(Color c) const;
    // The empty cells where a stone of c makes five, in cell order (x, then y).
    std::vector<TMyMove> Fives(Color c) const;
    // Whether a stone of c on the empty cell m makes five.
    bool MakesFive(TMyMove m, Color c) const;
    // The empty cells where a stone of c makes a four (after it, c can make
    // five), in cell order.
    std::vector<TMyMove> Fours(Color c) const;

    // Whether the side to move wins by fours, with a shortest win (fewest
    // moves of its own), within nodeLimit nodes.
    FoursResult Solve(Color toMove, std::uint64_t nodeLimit = DEFAULT_NODE_LIMIT);

    // Whether `line` (winner first, as Solve returns it) is a valid win by
    // fours for toMove in the position: every cell empty when played, each
    // of the winner's moves a four that obeys the rules above (the last a
    // five), and each answer a block of one of its fives.
    bool LineHolds(Color toMove, const std::vector<TMyMove>& line);

private:
    struct Tables;
    struct Entry;
    enum class Result : std::uint8_t { Win, Fail, FailAtAll };

    Result SearchAttacker(int budget);
    int FiveCell(Color c, int skip) const;
    int CountFives(Color c, int& first, int& second) const;
    void PlaceIndex(int cell, Color c);
    void RemoveIndex(int cell);
    void Attach(int c, int list, int w);
    void Detach(int c, int list, int w);

    std::unique_ptr<Tables> t_;
    int width_ = 0, height_ = 0;
    Color attacker_ = Color::Black;
    std::uint64_t hash_ = 0;
    std::uint64_t nodes_ = 0, nodeLimit_ = 0;
    bool aborted_ = false;
    int moveTop_ = 0;
    std::uint16_t epoch_ = 0;
    std::vector<TMyMove> line_;   ///< the win found, built from its end as the search returns
    std::vector<TMyMove> found_;  ///< a longer win, while a shorter one is looked for
};

// The exact search of wins by fours. Index of what is here:
//   Tables            every array of the solver, allocated once
//   SetUp             the windows of a board size, an empty position
//   PlaceIndex/RemoveIndex  a stone on or off, with its windows' masks and lists
//   CountFives        the distinct cells where a colour makes five
//   SearchAttacker    one position of the search, the attacker to move
//   Solve             iterative deepening on the number of the attacker's moves
//   LineHolds         a line replayed under the rules
#include "solver.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

namespace {

constexpr int MAX_CELLS = MAX_BOARD * MAX_BOARD;
// Rows and columns of 96 windows each on 100 lines, and two diagonals of 96 x 96.
constexpr int MAX_WINDOWS = 2 * MAX_BOARD * (MAX_BOARD - 4) + 2 * (MAX_BOARD - 4) * (MAX_BOARD - 4);
// A cell lies in at most five windows of each of the four directions.
constexpr int WINDOWS_PER_CELL = 20;
constexpr int DIRECTIONS[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
constexpr int FOURS = 0, THREES = 1;
constexpr int NONE = -1;
constexpr std::int8_t EMPTY = -1;
// The transposition table: 2^19 entries of 16 bytes.
constexpr int TT_BITS = 19;
constexpr std::size_t TT_SIZE = std::size_t{1} << TT_BITS;
// Room for the move lists of every level at once: a level lists each empty
// cell at most once, and the levels of a search are few.
constexpr int MOVE_STACK = 1 << 20;
constexpr std::uint16_t NO_WIN_AT_ALL = 0xFFFF;
// Wins of up to this many moves are looked for one length at a time before
// the search goes deep: most wins in games are short.
constexpr int SHORT_WINS = 4;
static_assert(FoursSolver::MAX_WIN_MOVES < NO_WIN_AT_ALL);
static_assert(MAX_CELLS <= 0x10000, "a cell index fits 16 bits in the move stack");

// One step of splitmix64: the fixed keys of the hash.
std::uint64_t SplitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

struct FoursSolver::Entry {
    std::uint64_t key;    ///< the position's whole hash
    std::uint16_t epoch;  ///< the search that wrote it; 0 never matches
    std::uint16_t bound;  ///< no win within this many moves, or NO_WIN_AT_ALL
};

struct FoursSolver::Tables {
    std::int8_t stone[MAX_CELLS];               ///< colour 0/1 or EMPTY, at x * height + y
    std::uint16_t windowCells[MAX_WINDOWS][5];  ///< a window's cells in order along it
    std::uint32_t cellWindows[MAX_CELLS][WINDOWS_PER_CELL];  ///< (window << 3) | place in it
    std::uint8_t cellWindowCount[MAX_CELLS];
    std::uint8_t mask[2][MAX_WINDOWS];      ///< bit k: the window's k-th cell holds the colour
    std::uint32_t list[2][2][MAX_WINDOWS];  ///< [colour][FOURS/THREES]: the windows in that state
    std::int32_t slot[2][2][MAX_WINDOWS];   ///< a window's place in that list, or NONE
    int listCount[2][2];
    int fiveWindows[2];  ///< windows all of the colour: a five stands
    std::uint64_t zobrist[2][MAX_CELLS];
    std::uint32_t stamp[MAX_CELLS];  ///< a cell listed once per level
    std::uint32_t stampNow;
    std::uint16_t moves[MOVE_STACK];
    Entry table[TT_SIZE];
    int windows;
};

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Win: return "win";
        case Outcome::NoWin: return "no-win";
        case Outcome::Finished: return "finished";
        default: return "cut";
    }
}

FoursSolver::FoursSolver() : t_(std::make_unique<Tables>()) {
    std::uint64_t state = 0x5A17E0F0C5ull;
    for (auto& side : t_->zobrist)
        for (std::uint64_t& key : side) key = SplitMix(state);
    std::memset(t_->table, 0, sizeof t_->table);
    std::memset(t_->stamp, 0, sizeof t_->stamp);
    t_->stampNow = 0;
    line_.reserve(2 * MAX_WIN_MOVES + 1);
    found_.reserve(2 * MAX_WIN_MOVES + 1);
    SetUp(MIN_BOARD, MIN_BOARD);
}

FoursSolver::~FoursSolver() = default;

void FoursSolver::SetUp(int boardWidth, int boardHeight) {
    assert(boardWidth >= MIN_BOARD && boardWidth <= MAX_BOARD);
    assert(boardHeight >= MIN_BOARD && boardHeight <= MAX_BOARD);
    Tables& t = *t_;
    width_ = boardWidth;
    height_ = boardHeight;
    const int cells = width_ * height_;
    std::memset(t.stone, EMPTY, static_cast<std::size_t>(cells));
    std::memset(t.cellWindowCount, 0, static_cast<std::size_t>(cells));
    int w = 0;
    for (const auto& d : DIRECTIONS) {
        for (int x = 0; x < width_; x++) {
            for (int y = 0; y < height_; y++) {
                const int endX = x + 4 * d[0], endY = y + 4 * d[1];
                if (endX >= width_ || endY < 0 || endY >= height_) continue;
                for (int k = 0; k < 5; k++) {
                    const int cell = (x + k * d[0]) * height_ + y + k * d[1];
                    t.windowCells[w][k] = static_cast<std::uint16_t>(cell);
                    t.cellWindows[cell][t.cellWindowCount[cell]++] =
                        (static_cast<std::uint32_t>(w) << 3) | static_cast<std::uint32_t>(k);
                }
                w++;
            }
        }
    }
    t.windows = w;
    for (int c = 0; c < 2; c++) {
        std::memset(t.mask[c], 0, static_cast<std::size_t>(w));
        t.fiveWindows[c] = 0;
        for (int l = 0; l < 2; l++) {
            t.listCount[c][l] = 0;
            std::fill_n(t.slot[c][l], w, NONE);
        }
    }
    hash_ = 0;
}

int FoursSolver::StoneAt(int x, int y) const {
    assert(x >= 0 && y >= 0 && x < width_ && y < height_);
    return t_->stone[x * height_ + y];
}

void FoursSolver::Attach(int c, int list, int w) {
    Tables& t = *t_;
    assert(t.slot[c][list][w] == NONE);
    t.slot[c][list][w] = t.listCount[c][list];
    t.list[c][list][t.listCount[c][list]++] = static_cast<std::uint32_t>(w);
}

void FoursSolver::Detach(int c, int list, int w) {
    Tables& t = *t_;
    const int at = t.slot[c][list][w];
    assert(at != NONE);
    const std::uint32_t last = t.list[c][list][--t.listCount[c][list]];
    t.list[c][list][at] = last;
    t.slot[c][list][last] = at;
    t.slot[c][list][w] = NONE;
}

// The list a window's masks put it in for colour c, or NONE.
static int ListOf(std::uint8_t own, std::uint8_t other) {
    if (other != 0) return NONE;
    const int n = std::popcount(own);
    return n == 4 ? FOURS : n == 3 ? THREES : NONE;
}

void FoursSolver::PlaceIndex(int cell, Color color) {
    Tables& t = *t_;
    const int c = static_cast<int>(color), o = 1 - c;
    assert(t.stone[cell] == EMPTY);
    t.stone[cell] = static_cast<std::int8_t>(c);
    hash_ ^= t.zobrist[c][cell];
    for (int i = 0; i < t.cellWindowCount[cell]; i++) {
        const int w = static_cast<int>(t.cellWindows[cell][i] >> 3);
        const std::uint8_t bit = static_cast<std::uint8_t>(1u << (t.cellWindows[cell][i] & 7));
        std::uint8_t& own = t.mask[c][w];
        const std::uint8_t other = t.mask[o][w];
        const int before = ListOf(own, other), otherBefore = ListOf(other, own);
        own |= bit;
        const int after = ListOf(own, other);
        if (before != NONE) Detach(c, before, w);
        if (after != NONE) Attach(c, after, w);
        if (otherBefore != NONE) Detach(o, otherBefore, w);
        t.fiveWindows[c] += own == 0x1F;
    }
}

void FoursSolver::RemoveIndex(int cell) {
    Tables& t = *t_;
    const int c = t.stone[cell], o = 1 - c;
    assert(c == 0 || c == 1);
    t.stone[cell] = EMPTY;
    hash_ ^= t.zobrist[c][cell];
    for (int i = 0; i < t.cellWindowCount[cell]; i++) {
        const int w = static_cast<int>(t.cellWindows[cell][i] >> 3);
        const std::uint8_t bit = static_cast<std::uint8_t>(1u << (t.cellWindows[cell][i] & 7));
        std::uint8_t& own = t.mask[c][w];
        const std::uint8_t other = t.mask[o][w];
        t.fiveWindows[c] -= own == 0x1F;
        const int before = ListOf(own, other);
        own = static_cast<std::uint8_t>(own & ~bit);
        const int after = ListOf(own, other), otherAfter = ListOf(other, own);
        if (before != NONE) Detach(c, before, w);
        if (after != NONE) Attach(c, after, w);
        if (otherAfter != NONE) Attach(o, otherAfter, w);
    }
}

void FoursSolver::Place(TMyMove m, Color c) {
    assert(m.x >= 0 && m.y >= 0 && m.x < width_ && m.y < height_);
    PlaceIndex(m.x * height_ + m.y, c);
}

void FoursSolver::Remove(TMyMove m) {
    assert(m.x >= 0 && m.y >= 0 && m.x < width_ && m.y < height_);
    RemoveIndex(m.x * height_ + m.y);
}

bool FoursSolver::HasFive(Color c) const {
    return t_->fiveWindows[static_cast<int>(c)] > 0;
}

// The distinct cells where c makes five: how many (0, 1 or 2 for two or
// more), the lowest in `first` and the next in `second`.
int FoursSolver::CountFives(Color color, int& first, int& second) const {
    const Tables& t = *t_;
    const int c = static_cast<int>(color);
    first = second = MAX_CELLS;
    for (int i = 0; i < t.listCount[c][FOURS]; i++) {
        const std::uint32_t w = t.list[c][FOURS][i];
        // Four stones of the colour and none of the other: one empty cell.
        const int k = std::countr_zero(static_cast<unsigned>(t.mask[c][w] ^ 0x1F));
        const int cell = t.windowCells[w][k];
        if (cell < first) {
            if (first != MAX_CELLS) second = first;
            first = cell;
        } else if (cell != first && cell < second) {
            second = cell;
        }
    }
    return first == MAX_CELLS ? 0 : second == MAX_CELLS ? 1 : 2;
}

std::vector<TMyMove> FoursSolver::Fives(Color color) const {
    const Tables& t = *t_;
    const int c = static_cast<int>(color);
    std::vector<int> cells;
    for (int i = 0; i < t.listCount[c][FOURS]; i++) {
        const std::uint32_t w = t.list[c][FOURS][i];
        cells.push_back(
            t.windowCells[w][std::countr_zero(static_cast<unsigned>(t.mask[c][w] ^ 0x1F))]);
    }
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    std::vector<TMyMove> fives;
    for (const int cell : cells) fives.push_back({cell / height_, cell % height_});
    return fives;
}

bool FoursSolver::MakesFive(TMyMove m, Color color) const {
    const Tables& t = *t_;
    const int cell = m.x * height_ + m.y;
    assert(t.stone[cell] == EMPTY);
    for (int i = 0; i < t.cellWindowCount[cell]; i++)
        if (t.slot[static_cast<int>(color)][FOURS][t.cellWindows[cell][i] >> 3] != NONE)
            return true;
    return false;
}

std::vector<TMyMove> FoursSolver::Fours(Color color) const {
    const Tables& t = *t_;
    const int c = static_cast<int>(color);
    std::vector<int> cells;
    for (int i = 0; i < t.listCount[c][THREES]; i++) {
        const std::uint32_t w = t.list[c][THREES][i];
        for (unsigned e = static_cast<unsigned>(t.mask[c][w] ^ 0x1F); e != 0; e &= e - 1)
            cells.push_back(t.windowCells[w][std::countr_zero(e)]);
    }
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    std::vector<TMyMove> fours;
    for (const int cell : cells) fours.push_back({cell / height_, cell % height_});
    return fours;
}

// Whether a stone of c on the empty cell makes a four: some window through it
// then holds four of c and none of the other's.
static bool MakesFour(const std::uint32_t* windows, int count, const std::int32_t* threeSlots) {
    for (int i = 0; i < count; i++)
        if (threeSlots[windows[i] >> 3] != -1) return true;
    return false;
}

FoursSolver::Result FoursSolver::SearchAttacker(int budget) {
    Tables& t = *t_;
    if (++nodes_ > nodeLimit_) {
        aborted_ = true;
        return Result::Fail;
    }
    const Color a = attacker_, d = Other(a);
    const int ac = static_cast<int>(a);
    int first, second;
    // 1. A five of the attacker's ends the search.
    if (CountFives(a, first, second) > 0) {
        line_.push_back({first / height_, first % height_});
        return Result::Win;
    }
    // 2. The defender's fives: two win for it, one must be blocked by a four.
    const int defenderFives = CountFives(d, first, second);
    if (defenderFives == 2) return Result::FailAtAll;
    const int forced = defenderFives == 1 ? first : NONE;

    // 3. What an earlier visit proved of this position.
    Entry& entry = t.table[hash_ & (TT_SIZE - 1)];
    const bool hit = entry.key == hash_ && entry.epoch == epoch_;
    if (hit && entry.bound == NO_WIN_AT_ALL) return Result::FailAtAll;
    if (hit && entry.bound >= budget) return Result::Fail;

    // 4. The attacker's fours, each cell once, in cell order.
    const int base = moveTop_;
    if (forced != NONE) {
        if (MakesFour(t.cellWindows[forced], t.cellWindowCount[forced], t.slot[ac][THREES]))
            t.moves[moveTop_++] = static_cast<std::uint16_t>(forced);
    } else {
        const int threes = t.listCount[ac][THREES];
        if (moveTop_ + 2 * threes > MOVE_STACK) {
            aborted_ = true;
            return Result::Fail;
        }
        t.stampNow++;
        for (int i = 0; i < threes; i++) {
            const std::uint32_t w = t.list[ac][THREES][i];
            unsigned empties = static_cast<unsigned>(t.mask[ac][w] ^ 0x1F);
            for (; empties != 0; empties &= empties - 1) {
                const int cell = t.windowCells[w][std::countr_zero(empties)];
                if (t.stamp[cell] == t.stampNow) continue;
                t.stamp[cell] = t.stampNow;
                t.moves[moveTop_++] = static_cast<std::uint16_t>(cell);
            }
        }
        std::sort(t.moves + base, t.moves + moveTop_);
    }
    const int count = moveTop_ - base;
    if (count == 0) return Result::FailAtAll;
    if (budget <= 1) {
        moveTop_ = base;
        return Result::Fail;
    }

    // 5. Each four, answered by its block; two fives cannot both be blocked.
    bool atAll = true;
    Result result = Result::Fail;
    for (int i = 0; i < count; i++) {
        const int m = t.moves[base + i];
        PlaceIndex(m, a);
        if (CountFives(a, first, second) == 2) {
            RemoveIndex(m);
            line_.push_back({second / height_, second % height_});
            line_.push_back({first / height_, first % height_});
            line_.push_back({m / height_, m % height_});
            result = Result::Win;
            break;
        }
        const int block = first;
        PlaceIndex(block, d);
        const Result below = SearchAttacker(budget - 1);
        RemoveIndex(block);
        RemoveIndex(m);
        if (below == Result::Win) {
            line_.push_back({block / height_, block % height_});
            line_.push_back({m / height_, m % height_});
            result = Result::Win;
            break;
        }
        if (aborted_) break;
        atAll = atAll && below == Result::FailAtAll;
    }
    moveTop_ = base;
    if (result == Result::Win || aborted_) return result;

    // 6. What this visit proved, kept unless the entry already says more.
    const std::uint16_t bound = atAll ? NO_WIN_AT_ALL : static_cast<std::uint16_t>(budget);
    if (!hit || bound > entry.bound) entry = {hash_, epoch_, bound};
    return atAll ? Result::FailAtAll : Result::Fail;
}

FoursResult FoursSolver::Solve(Color toMove, std::uint64_t nodeLimit) {
    FoursResult result;
    if (HasFive(Color::Black) || HasFive(Color::White)) {
        result.outcome = Outcome::Finished;
        return result;
    }
    attacker_ = toMove;
    nodes_ = 0;
    nodeLimit_ = nodeLimit;
    aborted_ = false;
    moveTop_ = 0;
    line_.clear();
    if (++epoch_ == 0) {
        std::memset(t_->table, 0, sizeof t_->table);
        epoch_ = 1;
    }
    // Short wins first, deepening one move at a time; then any win, or the
    // proof that there is none, searched as deep as the cap allows, where a
    // failed position is refuted at every depth and its entry prunes every
    // later visit; then, below the length of a win found so, deepening again
    // for a shortest.
    result.outcome = Outcome::Cut;
    int budget = 1;
    Result r = Result::Fail;
    for (; budget <= SHORT_WINS && r == Result::Fail && !aborted_; budget++)
        r = SearchAttacker(budget);
    if (r == Result::Fail && !aborted_) {
        r = SearchAttacker(MAX_WIN_MOVES);
        if (r == Result::Win) {
            const int length = static_cast<int>(line_.size() + 1) / 2;
            for (; budget < length && !aborted_; budget++) {
                found_.swap(line_);
                line_.clear();
                if (SearchAttacker(budget) == Result::Win) break;
                found_.swap(line_);
            }
        }
    }
    if (aborted_) {
        // Whether a win, or a shorter one, exists is not known.
    } else if (r == Result::Win) {
        result.outcome = Outcome::Win;
        result.line.assign(line_.rbegin(), line_.rend());
    } else if (r == Result::FailAtAll) {
        result.outcome = Outcome::NoWin;
    }
    result.nodes = nodes_;
    return result;
}

bool FoursSolver::LineHolds(Color toMove, const std::vector<TMyMove>& line) {
    if (line.size() % 2 == 0) return false;
    const Color a = toMove, d = Other(toMove);
    std::vector<int> placed;
    bool holds = true;
    int first, second;
    for (std::size_t i = 0; i < line.size() && holds; i++) {
        const TMyMove m = line[i];
        if (m.x < 0 || m.y < 0 || m.x >= width_ || m.y >= height_ ||
            t_->stone[m.x * height_ + m.y] != EMPTY) {
            holds = false;
            break;
        }
        const int cell = m.x * height_ + m.y;
        const bool last = i + 1 == line.size();
        const bool isFive = MakesFive(m, a);
        if (i % 2 == 0) {
            if (last) {
                holds = isFive;
                break;
            }
            const int defenderFives = CountFives(d, first, second);
            if (defenderFives == 2 || (defenderFives == 1 && cell != first)) {
                holds = false;
                break;
            }
            PlaceIndex(cell, a);
            placed.push_back(cell);
            holds = CountFives(a, first, second) > 0;
        } else {
            // The defender, who cannot make five, blocks one of the attacker's.
            holds = CountFives(d, first, second) == 0 && isFive;
            if (holds) {
                PlaceIndex(cell, d);
                placed.push_back(cell);
            }
        }
    }
    for (auto it = placed.rbegin(); it != placed.rend(); ++it) RemoveIndex(*it);
    return holds;
}

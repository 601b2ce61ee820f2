// What neither the benchmark signature nor the protocol tests can see: the
// search's line codes and trial stones against a plain twin, the threat
// search's time check, what a turn leaves behind when the clock cuts its
// search, and what it records of its decision.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "lines.h"
#include "platform.h"
#include "search.h"
#include "searchboard.h"
#include "threats.h"
#include "turn.h"

namespace {

std::mt19937 g_random;
std::uint32_t g_now;

int Pick(int n) {
    return static_cast<int>(g_random() % static_cast<unsigned>(n));
}

// An empty w x h board, no last moves, an empty search stack, a fixed seed.
void NewBoard(int w, int h, std::uint32_t randomSeed = 0) {
    std::memset(board, 0, sizeof board);
    width = w;
    height = h;
    seed = randomSeed;
    g_MyLastMove = g_OpponentLastMove = NO_MOVE;
    for (int& count : g_CountMove) count = 0;
    g_AktualDepth = 0;
    g_MoveStats = {};
}

// A random code, a candidate mark only when `marks`.
int RandomCode(bool marks) {
    const int code = Pick(6);
    return code == CELL_CANDIDATE && !marks ? CELL_EMPTY : code;
}

// A random board of a random density inside a 25 x 25 area of random cells,
// as a larger earlier game leaves it.
void RandomBoard(bool marks) {
    NewBoard(25, 25);
    const int density = 5 + Pick(90);
    for (int x = 0; x < 25; x++)
        for (int y = 0; y < 25; y++)
            board[x][y] = Pick(100) < density ? RandomCode(marks) : CELL_EMPTY;
    width = 5 + Pick(20);
    height = 5 + Pick(20);
}

// The plain twin of the line patterns: board read cell by cell, bounds tested
// on every read. The five and open-four flags of both sides in direction d,
// as the line flags hold them.
int PlainFlags(int x, int y, int d) {
    constexpr int STEPS[4][2] = {{1, -1}, {1, 1}, {1, 0}, {0, 1}};
    const auto at = [&](int k) {  // the cell k steps along the line; -1 off the board
        const int cx = x + k * STEPS[d][0], cy = y + k * STEPS[d][1];
        return cx >= 0 && cy >= 0 && cx < width && cy < height ? board[cx][cy] : -1;
    };
    int flags = 0;
    for (const int side : {SIDE_MINE, SIDE_OPPONENT}) {
        int b = 0, f = 0;
        while (b < 4 && at(-b - 1) >= 0 && (at(-b - 1) & SIDE_MASK) == side) b++;
        while (f < 4 && at(f + 1) >= 0 && (at(f + 1) & SIDE_MASK) == side) f++;
        if (b + f >= 4) flags |= SideFlag(FLAG_FIVE, side);
        if (b < 4 && f < 4 && b + f >= 3 && at(-b - 1) == CELL_EMPTY && at(f + 1) == CELL_EMPTY)
            flags |= SideFlag(FLAG_OPEN4, side);
    }
    return flags;
}

// Every cell of the playing area: its line flags in the search's copy, its
// line codes, and the line patterns agree with the twin.
void CheckLines(int round) {
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++) {
            const int p = CellIndex(x, y);
            ASSERT_EQ(g_SearchBoard.Cell(p), board[x][y]);
            const int all = g_SearchBoard.Flags(p);
            int open = 0;  // the open fours of both sides in any direction
            for (int d = 0; d < 4; d++) {
                const int flags = (all >> FlagShift(d)) & DIRECTION_FLAGS;
                ASSERT_EQ(flags, LINE_FLAGS[g_SearchBoard.Code(d, x, y)]);
                ASSERT_EQ(flags, PlainFlags(x, y, d)) << round << ": " << x << "," << y << "," << d;
                for (const int side : {SIDE_MINE, SIDE_OPPONENT}) {
                    ASSERT_EQ(IsWinWay(x, y, side, d), (flags & SideFlag(FLAG_FIVE, side)) != 0);
                    ASSERT_EQ(Is4OpenWay(x, y, side, d), (flags & SideFlag(FLAG_OPEN4, side)) != 0);
                }
                open |= PlainFlags(x, y, d) &
                        (SideFlag(FLAG_OPEN4, SIDE_MINE) | SideFlag(FLAG_OPEN4, SIDE_OPPONENT));
            }
            for (const int side : {SIDE_MINE, SIDE_OPPONENT})
                ASSERT_EQ(Is4Open(x, y, side), (open & SideFlag(FLAG_OPEN4, side)) != 0);
        }
}

// Random boards, with leftovers of a larger one beyond the playing area,
// changed cell by cell: every cell's line codes follow every change.
TEST(LineCodes, MatchPlainTwinOnRandomBoards) {
    g_random.seed(20261206);
    for (int round = 0; round < 200; round++) {
        RandomBoard(true);
        const SearchScope scope;
        g_SearchBoard.Use();
        for (int change = 0; change < 20; change++) {
            if (change % 10 == 0) {
                ASSERT_NO_FATAL_FAILURE(CheckLines(round));
            }
            g_SearchBoard.Put(Pick(width), Pick(height), Pick(6));
        }
        ASSERT_NO_FATAL_FAILURE(CheckLines(round));
    }
}

// The same on the largest and the narrowest boards, changed on their edges
// and corners, where the line codes lie at the ends of their rows.
TEST(LineCodes, MatchPlainTwinOnExtremeBoards) {
    g_random.seed(99);
    const struct {
        int width, height;
    } sizes[] = {{MAX_BOARD, MAX_BOARD}, {MAX_BOARD, MIN_BOARD}, {MIN_BOARD, MAX_BOARD}};
    for (const auto& size : sizes) {
        NewBoard(size.width, size.height);
        for (int x = 0; x < width; x++)
            for (int y = 0; y < height; y++) board[x][y] = Pick(3) ? CELL_EMPTY : RandomCode(false);
        const SearchScope scope;
        g_SearchBoard.Use();
        for (int change = 0; change < 40; change++) {
            const int x = Pick(2) ? Pick(2) * (width - 1) : Pick(width);
            const int y = Pick(2) ? Pick(2) * (height - 1) : Pick(height);
            g_SearchBoard.Put(x, y, RandomCode(false));
        }
        ASSERT_NO_FATAL_FAILURE(CheckLines(size.width));
    }
}

// The plain twin of a trial stone of the side on an empty (x, y): the
// directions (bit d) in which a cell that its rays list would give the side a
// five or an open four, and whether one would along its own line.
std::pair<int, bool> PlainThreats(int x, int y, int side) {
    board[x][y] = side + 1;
    int directions = 0;
    bool along = false;
    for (int dx = -1; dx <= 1; dx++)
        for (int dy = -1; dy <= 1; dy++)
            for (int k = 1; k <= 4 && (dx || dy); k++) {
                const int cx = x + k * dx, cy = y + k * dy;
                if (cx < 0 || cy < 0 || cx >= width || cy >= height) break;
                if ((board[cx][cy] & SIDE_MASK) == SIDE_MINE + SIDE_OPPONENT - side) break;
                if (board[cx][cy] != CELL_EMPTY) continue;
                const int line = dx == 0 ? 3 : dy == 0 ? 2 : dx == dy ? 1 : 0;
                for (int d = 0; d < 4; d++)
                    if (PlainFlags(cx, cy, d) & SideFlag(FLAG_FIVE | FLAG_OPEN4, side)) {
                        directions |= 1 << d;
                        along |= d == line;
                    }
            }
    board[x][y] = CELL_EMPTY;
    return {directions, along};
}

// The search never puts a trial stone on the board. A stone examined again
// and again on one copy while cells around it change, by the double-threat
// stage on a one-cell list (which remembers what it read for the stone) and
// by Is2Threat and Is1Threat, must find what the twin finds with the stone
// on the board. Boards without candidate marks read from line codes alone.
TEST(TrialStones, MatchPlainTwinOnOneCopy) {
    g_random.seed(11);
    for (int round = 0; round < 300; round++) {
        RandomBoard(round % 2);
        const int x = Pick(width), y = Pick(height), side = Pick(2) ? SIDE_MINE : SIDE_OPPONENT;
        board[x][y] = CELL_EMPTY;
        const SearchScope scope;
        g_SearchBoard.Use();
        for (int change = 0; change < 10; change++) {
            const auto [directions, along] = PlainThreats(x, y, side);
            const bool two = (directions & (directions - 1)) != 0;
            g_CountMove[0] = 1;
            g_ListMove[0][0] = {x, y};
            ASSERT_EQ(side == SIDE_MINE ? CanI2Threat(true) : CanOpponent2Threat(true), two)
                << round;
            ASSERT_EQ(Is2Threat(x, y, side), two) << round;
            ASSERT_EQ(Is1Threat(x, y, side, false), directions != 0) << round;
            ASSERT_EQ(Is1Threat(x, y, side, true), along) << round;
            const int cx = x + Pick(9) - 4, cy = y + Pick(9) - 4;
            if ((cx != x || cy != y) && cx >= 0 && cy >= 0 && cx < width && cy < height)
                g_SearchBoard.Put(cx, cy, RandomCode(false));
        }
    }
}

// The table a trial stone reads its lines from, against a plain walk along
// one line of 17 cells, the stone in the middle: for every code of the
// stone's own eight cells and either side, with random cells beyond them,
// which must not change the answer.
TEST(TrialStones, LineTableMatchesPlainWalk) {
    g_random.seed(3);
    for (const int side : {SIDE_MINE, SIDE_OPPONENT}) {
        const int own = SideState(side);
        for (int code = 0; code < LINE_CODES; code++) {
            const int entry = trial::LINES.of[side == SIDE_MINE ? 0 : 1][code];
            for (int beyond = 0; beyond < 4; beyond++) {
                int line[17];  // states, line[8 + k] k cells from the stone
                for (int k = -8; k <= 8; k++)
                    line[8 + k] = k == 0                    ? own
                                  : k >= -SCAN && k <= SCAN ? (code >> LineShift(k)) & 3
                                                            : Pick(4);
                int listed = 0;
                bool threat = false;
                for (const int sign : {-1, +1}) {
                    bool nearest = true;
                    for (int k = 1; k <= SCAN && line[8 + sign * k] != STATE_CLOSED &&
                                    line[8 + sign * k] != (STATE_MINE ^ STATE_OPPONENT ^ own);
                         k++) {
                        const int q = 8 + sign * k;
                        if (line[q] != STATE_EMPTY) continue;
                        listed |= 1 << (sign < 0 ? SCAN - k : SCAN - 1 + k);
                        if (!std::exchange(nearest, false)) continue;
                        int b = 0, f = 0;
                        while (b < SCAN && line[q - b - 1] == own) b++;
                        while (f < SCAN && line[q + f + 1] == own) f++;
                        threat |=
                            b + f >= SCAN || (b + f == SCAN - 1 && line[q - b - 1] == STATE_EMPTY &&
                                              line[q + f + 1] == STATE_EMPTY);
                    }
                }
                ASSERT_EQ(entry & trial::TRIAL_LISTED, listed) << code;
                ASSERT_EQ(entry >> trial::TRIAL_THREAT_SHIFT,
                          threat ? SideFlag(FLAG_FIVE, side) : 0)
                    << code << " " << side;
            }
        }
    }
}

// The plain twin of one ray of the positional score, read from board: an
// opponent stone k steps away multiplies by 7 - k, an empty cell by 2, a
// candidate mark by 1, and an engine stone or the edge ends the ray.
int PlainRay(int x, int y, int dx, int dy) {
    int result = 1;
    for (int k = 1; k <= 4; k++) {
        const int cx = x + k * dx, cy = y + k * dy;
        if (cx < 0 || cy < 0 || cx >= width || cy >= height) break;
        const int side = board[cx][cy] & SIDE_MASK;
        if (side == SIDE_MINE) break;
        result *= side == SIDE_OPPONENT ? 7 - k : board[cx][cy] == CELL_EMPTY ? 2 : 1;
    }
    return result;
}

// The positional score, read from the search's copy, on random boards with
// leftovers beyond the playing area and candidate marks.
TEST(PositionalScore, MatchesPlainTwinOnRandomBoards) {
    g_random.seed(5);
    for (int round = 0; round < 100; round++) {
        RandomBoard(true);
        const SearchScope scope;
        g_SearchBoard.Use();
        for (int x = 0; x < width; x++)
            for (int y = 0; y < height; y++) {
                int expected = 0;
                for (int d = 0; d < 4; d++) {
                    const Step s = DIRECTIONS[d];
                    const int back = PlainRay(x, y, -s.dx, -s.dy),
                              ahead = PlainRay(x, y, s.dx, s.dy);
                    ASSERT_EQ(EvalMoveWay({x, y}, s.dx, s.dy), ahead) << round;
                    expected += back * ahead;
                }
                boardValue[x][y] = 7;
                EvalMove({x, y});
                ASSERT_EQ(boardValue[x][y], 7 + expected) << round << ": " << x << "," << y;
            }
    }
}

// The defender level of the threat search gives up at its first time check
// (one node, no defence) once 95% of the budget has gone: across the wrap of
// the clock, with no budget or a negative one (an overrun), and with products
// beyond 32 bits up to "no limit".
TEST(ThreatSearch, GivesUpAt95PercentOfTheBudget) {
    const struct {
        std::uint32_t start, now;
        int budget;
        bool givesUp;
    } cases[] = {
        {1000, 1095, 100, true},
        {1000, 1094, 100, false},
        {0xfffffff0u, 77, 100, false},
        {0xfffffff0u, 79, 100, true},
        {5, 5, 0, true},
        {5, 5, -20, true},
        {0, 5000000, 50000000, false},
        {0, 50000000, 52000000, true},
        {0, 2000000000, INT_MAX, false},
    };
    plat::SetTickSource(+[]() -> std::uint32_t { return g_now; });
    for (const auto& c : cases) {
        NewBoard(20, 20);
        board[7][5] = board[7][6] = CELL_OPPONENT;
        board[7][7] = CELL_OPPONENT_TRIAL;
        g_now = c.now;
        g_TickStart = static_cast<int>(c.start);
        g_Time4MyMove = c.budget;
        const bool defended = DefenseMove1Threat(7, 7, SIDE_MINE, 3, false);
        EXPECT_EQ(!defended && g_MoveStats.nodes == 1, c.givesUp) << c.now << " " << c.budget;
        EXPECT_EQ(defended, !c.givesUp) << c.now << " " << c.budget;
    }
    plat::SetTickSource(nullptr);
}

// Random games on boards with leftovers of a larger one, under a clock that
// moves one tick per read, so time cuts threat searches at every depth: each
// turn plays a free cell and leaves the board (no mark, no trial stone) and
// the search stack as it found them.
TEST(Turn, LeavesBoardAndStackAsFound) {
    g_random.seed(7);
    plat::SetTickSource(+[]() -> std::uint32_t { return ++g_now; });
    const int turnLimit = info_timeout_turn.exchange(400);
    for (std::uint32_t game = 1; game <= 30; game++) {
        NewBoard(25, 25, game);
        for (int i = 0; i < 30; i++) board[Pick(25)][Pick(25)] = CELL_MINE + 2 * Pick(2);
        width = 10 + Pick(10);
        height = 10 + Pick(10);
        for (int x = 0; x < width; x++)
            for (int y = 0; y < height; y++) board[x][y] = CELL_EMPTY;
        for (int turn = 0; turn < 25; turn++) {
            int before[MAX_BOARD][MAX_BOARD];
            std::memcpy(before, board, sizeof board);
            const TMyMove mine = brain_turn();
            ASSERT_EQ(std::memcmp(before, board, sizeof board), 0) << game << ": " << turn;
            ASSERT_EQ(g_AktualDepth, 0);
            ASSERT_TRUE(isFree(mine.x, mine.y));
            brain_my(mine.x, mine.y);
            TMyMove theirs;
            do theirs = {Pick(width), Pick(height)};
            while (!isFree(theirs.x, theirs.y));
            brain_opponents(theirs.x, theirs.y);
        }
    }
    info_timeout_turn = turnLimit;
    plat::SetTickSource(nullptr);
}

// What a turn records for readers outside the engine: the deciding stage,
// whether the clock cut the threat search (cleared by the next turn), and the
// stages' marks, which are each candidate's value less its positional score.
TEST(Turn, RecordsStageMarksAndCut) {
    const std::vector<TMyMove> block = {{7, 7}, {0, 0}, {8, 7}, {0, 1}, {9, 7}};
    const std::vector<TMyMove> sequence = {{8, 6}, {8, 9},  {8, 7}, {10, 8},
                                           {9, 6}, {11, 8}, {7, 7}};
    const struct {
        const std::vector<TMyMove>* moves;
        int budget;
        TurnStage stage;
        bool cut;
        std::vector<std::pair<TMyMove, int>> marks;
    } cases[] = {
        {&block,
         INT_MAX,
         TurnStage::OpponentOpenFour,
         false,
         {{{6, 7}, MARK_OPEN_FOUR}, {{10, 7}, MARK_OPEN_FOUR}}},
        {&sequence, INT_MAX, TurnStage::OpponentSequence3, false, {{{7, 8}, MARK_THREAT_SEQUENCE}}},
        // No time: the first candidate that makes the opponent a threat.
        {&sequence, 0, TurnStage::OpponentSequence3, true, {{{10, 7}, MARK_THREAT_SEQUENCE}}},
        {&block,
         0,
         TurnStage::OpponentOpenFour,
         false,
         {{{6, 7}, MARK_OPEN_FOUR}, {{10, 7}, MARK_OPEN_FOUR}}},
    };
    const int turnLimit = info_timeout_turn.load();
    for (const auto& c : cases) {
        NewBoard(20, 20);
        const auto& moves = *c.moves;
        // The last stone is the opponent's, the one before it the engine's, and so on.
        for (size_t i = 0; i < moves.size(); i++) {
            if ((moves.size() - i) % 2)
                brain_opponents(moves[i].x, moves[i].y);
            else
                brain_my(moves[i].x, moves[i].y);
        }
        info_timeout_turn = c.budget;
        brain_turn();
        const auto name = TurnStageName(c.stage);
        EXPECT_EQ(g_TurnStage, c.stage) << name;
        EXPECT_EQ(g_ThreatSearchCut, c.cut) << name;
        int marked = 0;
        for (int i = 0; i < g_CountMove[0]; i++) {
            const TMyMove m = g_ListMove[i][0];
            int expected = 0;
            for (const auto& [cell, mark] : c.marks)
                if (cell.x == m.x && cell.y == m.y) expected = mark;
            marked += expected != 0;
            EXPECT_EQ(g_TurnMarks[i], expected) << name << " " << m.x << "," << m.y;
            const int positional = boardValue[m.x][m.y] - g_TurnMarks[i];
            EXPECT_TRUE(positional > 0 && positional < MARK_OPEN_FOUR) << m.x << "," << m.y;
        }
        EXPECT_EQ(marked, static_cast<int>(c.marks.size())) << name;
    }
    info_timeout_turn = turnLimit;
}

}  // namespace

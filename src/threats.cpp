// Double threats, and the threat-sequence search: forced sequences of single
// threats, each answered by any defence, that end in an open four or a double
// threat whatever the defender did.
#include "threats.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

#include "fours.h"
#include "platform.h"
#include "search.h"
#include "searchboard.h"

// The threat search clamps its depth limit to MAX_DEPTH. From the root its
// attacker levels lie at even depths below the limit and list one level
// deeper, so no listing lies deeper than MAX_DEPTH - 1.
constexpr int DEEPEST_LISTING = MAX_DEPTH - 1;
static_assert(DEEPEST_LISTING < std::extent_v<decltype(g_CountMove)> &&
              DEEPEST_LISTING < std::extent_v<decltype(g_ListMove), 1>);

bool g_ThreatSearchCut = false;

namespace {

int OtherSide(int side) {
    return side == SIDE_MINE ? SIDE_OPPONENT : SIDE_MINE;
}

// GetAllMove for one stone of `side` on a cell of the playing area: lists, at
// the current depth, the empty cells on its rays, which pass over the side's
// own stones and end at the other's; rayEnds[r] is where ray r ends in the list.
void ListAroundStone(int x, int y, int side, int (&rayEnds)[8]) {
    g_BestMove = NO_MOVE;
    g_CountMove[g_AktualDepth] = 0;
    ListRays({x, y}, OtherSide(side), rayEnds);
}

// Where a stone on the origin of a ray sits in the line code of the cell k
// steps along the ray: k cells back along the line for a ray that runs
// forward (odd rays), k cells ahead for one that runs backward.
constexpr auto STONE_SHIFT = [] {
    std::array<std::array<int, RAY_LENGTH + 1>, 8> shifts{};
    for (int ray = 0; ray < 8; ray++)
        for (int k = 1; k <= RAY_LENGTH; k++) shifts[ray][k] = LineShift(ray % 2 == 1 ? -k : k);
    return shifts;
}();

// A walk of the rays of a trial stone that is never put on the board.
struct TrialWalk {
    int x, y, origin;  // the stone's cell and its index
    int depth;
    int stops;                     // bit c set when a cell of code c ends a ray
    int change;                    // turns the state of the stone's cell into the stone's
    TMyMove (*next)[LIST_DEPTHS];  // the row of g_ListMove that the next cell goes to
    int flags;
};

// One ray of ListAroundTrialStone, with the ray's constants known when
// compiling, so that every cell of it is a fixed distance from the origin.
template <int RAY, bool LINE_ONLY>
void WalkTrialRay(TrialWalk& walk) {
    constexpr Step ray = RAYS[RAY];
    constexpr int step = RAY_INDEX_STEP[RAY], direction = RAY_DIRECTION[RAY],
                  shift = FlagShift(direction);
    const SearchBoard& copy = g_SearchBoard;
    const std::uint8_t* const cells = copy.CellsFrom(walk.origin);
    // The codes along the line follow each other: the ray steps forward or back.
    const std::uint16_t* const codes = copy.CodesFrom(direction, walk.x, walk.y);
    constexpr int codeStep = RAY % 2 == 1 ? 1 : -1;
    const std::uint32_t* const lineFlags = copy.FlagsFrom(walk.origin);
    int(*const values)[MAX_BOARD] = boardValue + walk.x;
    for (int k = 1; k <= RAY_LENGTH; k++) {
        const int code = cells[k * step];
        if (code == CELL_EMPTY) {
            assert(walk.next - g_ListMove < MAX_CANDIDATES);
            (*walk.next)[walk.depth] = {walk.x + k * ray.dx, walk.y + k * ray.dy};
            walk.next++;
            values[k * ray.dx][walk.y + k * ray.dy] = 0;
            const int own = LINE_FLAGS[codes[k * codeStep] ^ (walk.change << STONE_SHIFT[RAY][k])];
            if constexpr (LINE_ONLY)
                walk.flags |= own;
            else
                walk.flags |= (static_cast<int>(lineFlags[k * step]) &
                               (FLAGS_MASK & ~(DIRECTION_FLAGS << shift))) |
                              (own << shift);
        } else if ((walk.stops >> code) & 1) {
            return;
        }
    }
}

template <bool LINE_ONLY, int... RAY>
int WalkTrialRays(TrialWalk walk, std::integer_sequence<int, RAY...>) {
    (WalkTrialRay<RAY, LINE_ONLY>(walk), ...);
    g_CountMove[walk.depth] = static_cast<int>(walk.next - g_ListMove);
    return walk.flags;
}

// ListAroundStone for a trial stone of `side` on (x, y), and what the listed
// cells would give the side with that stone in place: the line flags of all
// listed cells or-ed together, as cell flags, or with lineOnly only the
// flags of each cell's own line through the stone (the line of its ray),
// unshifted. The stone is never put on the board: it lies on one line of
// each listed cell only, and that one line code is read with it.
int ListAroundTrialStone(int x, int y, int side, bool lineOnly) {
    assert(g_AktualDepth >= 0 && g_AktualDepth < MAX_DEPTH);
    const int origin = CellIndex(x, y);
    // The other side's stones and trial stones, and the border, end a ray.
    const int stopSide = OtherSide(side);
    const TrialWalk walk{x,
                         y,
                         origin,
                         g_AktualDepth,
                         (1 << CELL_OFF) | (1 << stopSide) | (1 << (stopSide + 1)),
                         CELL_STATE[g_SearchBoard.Cell(origin)] ^ SideState(side),
                         g_ListMove,
                         0};
    g_BestMove = NO_MOVE;
    constexpr auto rays = std::make_integer_sequence<int, 8>();
    return lineOnly ? WalkTrialRays<true>(walk, rays) : WalkTrialRays<false>(walk, rays);
}

// ListAroundTrialStone without the list, for the search's own use: the list
// a trial stone makes is never read by its callers, only the threats it
// holds. The boardValue of every cell it would list is still 0 afterwards.
// A copy with candidate marks is read by listing.
TrialThreats ThreatsOfTrialStone(int x, int y, int side) {
    if (g_SearchBoard.HasMarks()) {
        const int flags = ListAroundTrialStone(x, y, side, false);
        const int line = ListAroundTrialStone(x, y, side, true);
        return {ThreatDirections(flags, side), line};
    }
    g_BestMove = NO_MOVE;
    return g_SearchBoard.ThreatsOfTrialStone(x, y, side,
                                             [](int cx, int cy) { boardValue[cx][cy] = 0; });
}

// A trial stone's node one level below the current depth: what the stone
// gives the side (ThreatsOfTrialStone at that level), and the node counted.
// Without candidate marks nothing reads the depth, so the level is not
// entered. The listing it stands for would clear g_BestMove: its callers do
// that once, before their first trial stone.
[[gnu::always_inline]] inline TrialThreats TrialNode(int x, int y, int side) {
    if (g_SearchBoard.HasMarks()) {
        const DepthScope level;
        return ThreatsOfTrialStone(x, y, side);
    }
    CountNode();
    return g_SearchBoard.ThreatsOfTrialStone(x, y, side,
                                             [](int cx, int cy) { boardValue[cx][cy] = 0; });
}

#ifndef NDEBUG
// The cells ListAroundStone would list afresh for a stone on (x, y) whose rays
// stopSide and a stone of that side on `end` end, on the copy as it stands,
// into `cells`; their number.
int FreshListing(int x, int y, int stopSide, TMyMove end, TMyMove* cells) {
    const int origin = CellIndex(x, y);
    int n = 0;
    for (int r = 0; r < 8; r++)
        for (int k = 1; k <= RAY_LENGTH; k++) {
            const int code = g_SearchBoard.Cell(origin + k * RAY_INDEX_STEP[r]);
            if (x + k * RAYS[r].dx == end.x && y + k * RAYS[r].dy == end.y)
                break;
            else if (code == CELL_EMPTY)
                cells[n++] = {x + k * RAYS[r].dx, y + k * RAYS[r].dy};
            else if (code == CELL_OFF || (code & SIDE_MASK) == stopSide)
                break;
        }
    return n;
}
#endif

// ListAroundStone for the threat stone on (x, y) one level below `depth`,
// where it was listed, for the answer number `answer` of that list, whose
// ray ends at `behind`: the same cells, in the same order, less the answer
// and the cells behind it on its ray, which the answer ends. Nothing else on
// the board has changed since, and every listed cell's boardValue is 0
// already. The answers come in list order and nothing deeper writes this
// level's list, so the cells before an earlier answer, `head` of them, still
// stand at the head of the level below: the head grows to this answer.
void ListContinuations([[maybe_unused]] int x, [[maybe_unused]] int y, int depth, int answer,
                       int behind, int& head) {
    assert(depth + 1 < MAX_DEPTH && answer < g_CountMove[depth] && head <= answer);
    const int count = g_CountMove[depth];
    g_BestMove = NO_MOVE;
    for (; head < answer; head++) g_ListMove[head][depth + 1] = g_ListMove[head][depth];
    int n = answer;
    for (int i = behind; i < count; i++) g_ListMove[n++][depth + 1] = g_ListMove[i][depth];
    g_CountMove[depth + 1] = n;
#ifndef NDEBUG
    // The same as listing the rays afresh, with the answer ending its ray.
    TMyMove fresh[MAX_CANDIDATES];
    const int answerSide = OtherSide(g_SearchBoard.Cell(CellIndex(x, y)) & SIDE_MASK);
    assert(FreshListing(x, y, answerSide, g_ListMove[answer][depth], fresh) == n);
    for (int i = 0; i < n; i++)
        assert(fresh[i].x == g_ListMove[i][depth + 1].x &&
               fresh[i].y == g_ListMove[i][depth + 1].y);
#endif
}

// True once 95% of the turn's budget has gone. Both sides are multiplied by
// 100 so the 95% needs no division; the products are 64-bit so a budget of
// "no limit" (2147483647 ms) cannot wrap, and a negative budget, reported by
// a manager after an overrun, counts as no time at all.
bool TimeIsUp() {
    const std::uint64_t elapsed = plat::GetTickCount() - static_cast<std::uint32_t>(g_TickStart);
    const std::uint64_t budget = g_Time4MyMove > 0 ? static_cast<std::uint64_t>(g_Time4MyMove) : 0;
    return elapsed * 100 >= budget * 95;
}

// The defender level at `depth` answers a threat only above the depth bound;
// past it the threat counts as answered, without a look at the board.
bool DefenderAnswers(int depth, int limit) {
    return depth + 1 < limit;
}

bool TwoOrMore(int directions) {
    return (directions & (directions - 1)) != 0;
}

// The list positions below `count` as bits.
std::uint64_t Below(int count) {
    static_assert(MAX_CANDIDATES <= 64);
    return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

// CanI4Open(true) or CanOpponent4Open(true) by side, for the continuations of
// the other side's answer `answer`, of code `code`, as they would stand with
// it on the board: `continuations` holds them as bits of their positions in
// the list at `depth`, and `openFours` those that make the side an open four
// without it. A stone of the other side never makes one (it changes no run of
// the side and can only close an end), so no other continuation can.
bool Any4Open(int side, int depth, std::uint64_t continuations, std::uint64_t openFours,
              TMyMove answer, int code) {
    bool found = false;
    for (std::uint64_t cells = continuations & openFours; cells != 0 && !found;
         cells &= cells - 1) {
        const TMyMove c = g_ListMove[std::countr_zero(cells)][depth];
        found = g_SearchBoard.Is4OpenWith(c.x, c.y, side, answer.x, answer.y, code);
    }
#ifndef NDEBUG
    // The same as every continuation read with the answer on the board.
    const TrialStone put(answer.x, answer.y, code);
    bool any = false;
    for (std::uint64_t cells = continuations; cells != 0; cells &= cells - 1) {
        const TMyMove c = g_ListMove[std::countr_zero(cells)][depth];
        any |= Is4Open(c.x, c.y, side);
    }
    assert(found == any);
#endif
    return found;
}

// The first candidate of the current depth on which `side` makes a double
// threat; marked unless testOnly. Is2Threat's node is counted here, and its
// answer read without the list. With `seen`, what each examined candidate's
// stone gave goes into seen[i], for i in list order: every candidate of the
// depth when the result is false.
bool Can2Threat(int side, bool testOnly, TrialThreats* seen = nullptr) {
    // Nothing below this level changes its count.
    const int depth = g_AktualDepth, count = g_CountMove[depth];
    if (count > 0) {
        g_SearchBoard.Use();
        g_BestMove = NO_MOVE;
    }
    for (int i = 0; i < count; i++) {
        const TMyMove c = g_ListMove[i][depth];
        const TrialThreats threats = TrialNode(c.x, c.y, side);
        if (seen != nullptr) seen[i] = threats;
        if (TwoOrMore(threats.directions)) {
            if (!testOnly) boardValue[c.x][c.y] = MARK_DOUBLE_THREAT;
            return true;
        }
    }
    return false;
}

// The attacker level: the first candidate of the current depth from which
// `side` starts a threat sequence that every defence loses; marked unless
// testOnly. Each examined candidate starts from 0 in boardValue. `seen`, when
// given, is what Can2Threat(side, ..., seen) found for every candidate of
// this depth on this very board (it returned false), and answers Is1Threat:
// the same stone lists the same cells, whose boardValue is 0 already.
bool Can1Threat(int side, bool testOnly, int depthLimit, bool lineOnly,
                const TrialThreats* seen = nullptr) {
    const int limit = std::min(depthLimit, MAX_DEPTH);
    // Nothing below this level changes its count.
    const int depth = g_AktualDepth, count = g_CountMove[depth];
    if (count > 0) {
        g_SearchBoard.Use();
        g_BestMove = NO_MOVE;
    }
    for (int i = 0; i < count; i++) {
        const TMyMove c = g_ListMove[i][depth];
        boardValue[c.x][c.y] = 0;
        // Is1Threat's node, and its answer read without the list.
        TrialThreats threats;
        if (seen != nullptr) {
            CountNode();
            threats = seen[i];
        } else {
            threats = TrialNode(c.x, c.y, side);
        }
        if (!(lineOnly ? AlongItsLine(threats, side) : threats.directions != 0)) continue;
        if (depth >= limit) continue;
        // A defender that will not answer does not look at the stone either.
        std::optional<TrialStone> stone;
        if (DefenderAnswers(depth + 1, limit)) stone.emplace(c.x, c.y, side + 1);
        if (!DefenseMove1Threat(c.x, c.y, OtherSide(side), limit, lineOnly)) {
            if (!testOnly) boardValue[c.x][c.y] = MARK_THREAT_SEQUENCE;
            return true;
        }
    }
    return false;
}

}  // namespace

// With a trial stone of the side on (x, y), lists the cells around it one
// level deeper and counts the directions in which one of them would give the
// side a five or an open four. A threat need not pass through the trial
// stone, and one cell can supply threats in two directions. The stone is read
// into the line codes of the listed cells rather than put on the board.
// This one lists those cells too; the search itself reads the same answer
// from ThreatsOfTrialStone without the list.
bool Is2Threat(int x, int y, int side) {
    const SearchScope scope;
    g_SearchBoard.Use();
    const DepthScope level;
    ListAroundTrialStone(x, y, side, false);
    return TwoOrMore(ThreatsOfTrialStone(x, y, side).directions);
}

bool CanI2Threat(bool testOnly) {
    const SearchScope scope;
    return Can2Threat(SIDE_MINE, testOnly);
}

bool CanOpponent2Threat(bool testOnly) {
    const SearchScope scope;
    return Can2Threat(SIDE_OPPONENT, testOnly);
}

// With a trial stone of the side on (x, y) (read into the line codes, not put
// on the board), tells whether one of the cells on its rays would give the
// side a five or an open four. With lineOnly
// a cell counts only along its own line through the stone; without it, any
// direction counts, so a threat elsewhere that crosses a ray counts too.
// Like Is2Threat, it lists the cells; the search reads the answer without.
bool Is1Threat(int x, int y, int side, bool lineOnly) {
    const SearchScope scope;
    g_SearchBoard.Use();
    const DepthScope level;
    ListAroundTrialStone(x, y, side, lineOnly);
    const TrialThreats threats = ThreatsOfTrialStone(x, y, side);
    return lineOnly ? AlongItsLine(threats, side) : threats.directions != 0;
}

// The defender level, with the attacker's trial stone already on (x, y):
// true when some answer holds. An answer is refuted when the attacker then
// has an open four, a double threat or another winning threat sequence. The
// answers are the cells on the rays of the threat stone, tried in list order.
bool DefenseMove1Threat(int x, int y, int defender, int depthLimit, bool lineOnly) {
    const SearchScope scope;
    g_SearchBoard.Use();
    const int attacker = OtherSide(defender);
    const DepthScope level;
    const int limit = std::min(depthLimit, MAX_DEPTH);
    const int depth = g_AktualDepth;
    bool defended = true;
    // Past the depth bound the threat counts as answered, and so does a
    // threat with nothing to answer it on.
    if (DefenderAnswers(depth, limit)) {
        int rayEnds[8];
        ListAroundStone(x, y, attacker, rayEnds);
        // The listed cells that make the attacker an open four now: after
        // any answer, only those can.
        std::uint64_t openFours = 0;
        for (int i = 0; i < g_CountMove[depth]; i++) {
            const TMyMove c = g_ListMove[i][depth];
            if (Is4Open(c.x, c.y, attacker)) openFours |= std::uint64_t{1} << i;
        }
        const int count = g_CountMove[depth];
        int ray = 0, head = 0;
        for (int i = 0; i < count; i++) {
            // Out of time: no defence found, which makes every enclosing
            // answer refuted and ends the search quickly.
            if (TimeIsUp()) {
                g_ThreatSearchCut = true;
                defended = false;
                break;
            }
            const TMyMove a = g_ListMove[i][depth];
            const DepthScope answerLevel;
            // The continuations start again from the threat stone; the
            // answer ends the ray it stands on.
            while (rayEnds[ray] <= i) ray++;
            const int rayEnd = rayEnds[ray];
            const std::uint64_t continuations = Below(i) | (Below(count) & ~Below(rayEnd));
            // An answer that leaves the attacker an open four is refuted
            // before it is put on the board or its continuations listed.
            defended = !Any4Open(attacker, depth, continuations, openFours, a, defender + 1);
            if (!defended) continue;
            const TrialStone answer(a.x, a.y, defender + 1);
            ListContinuations(x, y, depth, i, rayEnd, head);
            // The double-threat test looks at every continuation before
            // the threat-sequence test runs, which reuses what it saw.
            TrialThreats seen[MAX_CANDIDATES];
            defended = !(Can2Threat(attacker, true, seen) ||
                         Can1Threat(attacker, true, limit, lineOnly, seen));
            if (defended) break;
        }
    }
    return defended;
}

bool CanI1Threat(bool testOnly, int depthLimit, bool lineOnly) {
    const SearchScope scope;
    return Can1Threat(SIDE_MINE, testOnly, depthLimit, lineOnly);
}

bool CanOpponent1Threat(bool testOnly, int depthLimit, bool lineOnly) {
    const SearchScope scope;
    return Can1Threat(SIDE_OPPONENT, testOnly, depthLimit, lineOnly);
}

// Double threats, and the threat-sequence search: forced sequences of single
// threats, each answered by any defence, that end in an open four or a double
// threat whatever the defender did.
#include "threats.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "fours.h"
#include "platform.h"
#include "search.h"

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
// own stones and end at the other's.
void ListAroundStone(int x, int y, int side) {
    g_BestMove = NO_MOVE;
    g_CountMove[g_AktualDepth] = 0;
    ListRays({x, y}, OtherSide(side));
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
    std::uint32_t epoch;           // of the search's copy: line codes stamped so are valid
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
    const std::uint8_t* const cells = g_Cells + walk.origin;
    const std::uint16_t* const codes = g_LineCode[direction] + walk.origin;
    const std::uint32_t* const lineFlags = g_LineFlags + walk.origin;
    int(*const values)[MAX_BOARD] = boardValue + walk.x;
    for (int k = 1; k <= RAY_LENGTH; k++) {
        const int code = cells[k * step];
        if (code == CELL_EMPTY) {
            if (g_LineStamp[walk.origin + k * step] != walk.epoch)
                RefreshLines(walk.origin + k * step);
            assert(walk.next - g_ListMove < MAX_CANDIDATES);
            (*walk.next)[walk.depth] = {walk.x + k * ray.dx, walk.y + k * ray.dy};
            walk.next++;
            values[k * ray.dx][walk.y + k * ray.dy] = 0;
            const int own = LINE_FLAGS[codes[k * step] ^ walk.change << STONE_SHIFT[RAY][k]];
            if constexpr (LINE_ONLY)
                walk.flags |= own;
            else
                walk.flags |= static_cast<int>(lineFlags[k * step] &
                                               (FLAGS_MASK & ~(DIRECTION_FLAGS << shift))) |
                              own << shift;
        } else if (walk.stops >> code & 1) {
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
// listed cells or-ed together, as in g_LineFlags, or with lineOnly only the
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
                         1 << CELL_OFF | 1 << stopSide | 1 << (stopSide + 1),
                         CELL_STATE[g_Cells[origin]] ^ SideState(side),
                         g_LineEpoch,
                         g_ListMove,
                         0};
    g_BestMove = NO_MOVE;
    constexpr auto rays = std::make_integer_sequence<int, 8>();
    return lineOnly ? WalkTrialRays<true>(walk, rays) : WalkTrialRays<false>(walk, rays);
}

// What a trial stone of a side on a cell would give that side, from the
// cells on its rays: the directions in which one of them would make a five
// or an open four (as ThreatDirections gives them), and whether one of them
// would along its own line through the stone.
struct TrialThreats {
    int directions;
    bool alongItsLine;
};

// The cells a ray from a stone of the side lists, from the four slots of a
// line code on one side of the stone: an empty cell is listed, a stone of the
// side is passed over, and the other side or the edge ends the ray. Bit i
// stands for slot i of the half (slots 0-3 hold offsets -4..-1, so the
// backward ray walks them from slot 3 down; slots 4-7 offsets +1..+4).
template <bool BACKWARD>
constexpr auto RAY_LISTED = [] {
    std::array<std::array<std::uint8_t, 256>, 2> listed{};
    for (int s = 0; s < 2; s++)
        for (int half = 0; half < 256; half++) {
            const int own = s == 0 ? STATE_MINE : STATE_OPPONENT;
            int bits = 0;
            for (int k = 0; k < RAY_LENGTH; k++) {
                const int slot = BACKWARD ? RAY_LENGTH - 1 - k : k;
                const int state = half >> (2 * slot) & 3;
                if (state == STATE_EMPTY)
                    bits |= 1 << slot;
                else if (state != own)
                    break;
            }
            listed[s][half] = static_cast<std::uint8_t>(bits);
        }
    return listed;
}();

// Offsets of the eight slots of a line code, and where a stone at the centre
// stands in the line code of the cell in each slot.
constexpr int SLOT_OFFSET[8] = {-4, -3, -2, -1, 1, 2, 3, 4};
constexpr auto SLOT_STONE_SHIFT = [] {
    std::array<int, 8> shifts{};
    for (int slot = 0; slot < 8; slot++) shifts[slot] = LineShift(-SLOT_OFFSET[slot]);
    return shifts;
}();
constexpr Step LINE_STEP[4] = {{+1, -1}, {+1, +1}, {+1, 0}, {0, +1}};

// For each listing of one line (a slot bit set when the cell is listed), a
// mask per slot: all ones for a listed cell, 0 for the others.
constexpr auto SLOT_MASKS = [] {
    std::array<std::array<int, 8>, 256> masks{};
    for (int listed = 0; listed < 256; listed++)
        for (int slot = 0; slot < 8; slot++) masks[listed][slot] = listed >> slot & 1 ? -1 : 0;
    return masks;
}();

// The nearest listed cell on one side of a line, by the four listing bits of
// that side (slots 0-3 backward, 4-7 forward, shifted down): its slot's index
// step along the line and where the stone stands in its line code. A side
// with nothing listed gives the cell next to the stone, and is masked.
struct Nearest {
    int offset;
    int stoneShift;
};
template <int DIRECTION, bool FORWARD>
constexpr auto NEAREST = [] {
    std::array<Nearest, 16> nearest{};
    for (int half = 0; half < 16; half++) {
        const unsigned bits = static_cast<unsigned>(half);
        const int slot = FORWARD ? (half == 0 ? 4 : 4 + std::countr_zero(bits))
                                 : (half == 0 ? 3 : std::bit_width(bits) - 1);
        nearest[half] = {SLOT_OFFSET[slot] * INDEX_STEP[DIRECTION], SLOT_STONE_SHIFT[slot]};
    }
    return nearest;
}();

// The line flags, in every direction, of the cells listed on one line
// through the stone. Every slot is read and masked rather than branched on:
// which cells are listed varies too much to predict.
template <int DIRECTION, int... SLOT>
int ListedFlags(int p, unsigned listed, std::integer_sequence<int, SLOT...>) {
    constexpr int step = INDEX_STEP[DIRECTION];
    const std::uint32_t* const flags = g_LineFlags + p;
    const std::array<int, 8>& masks = SLOT_MASKS[listed];
    return ((static_cast<int>(flags[SLOT_OFFSET[SLOT] * step]) & masks[SLOT]) | ...);
}

// The listed cells of one line through the stone: their line flags in every
// direction into `flags`, and into `own` the flags of their own line with the
// stone read into it. The stone changes what a cell's own line holds only
// when nothing but stones of its side lie between them, which is true of the
// nearest listed cell on each side alone: the others keep their flags.
template <int DIRECTION>
void AddTrialLine(int p, unsigned listed, int change, int& flags, int& own) {
    const std::uint16_t* const codes = g_LineCode[DIRECTION] + p;
    const int line = ListedFlags<DIRECTION>(p, listed, std::make_integer_sequence<int, 8>());
    const unsigned backward = listed & 0x0F, forward = listed >> 4;
    const Nearest back = NEAREST<DIRECTION, false>[backward],
                  ahead = NEAREST<DIRECTION, true>[forward];
    const int nearest = (LINE_FLAGS[codes[back.offset] ^ change << back.stoneShift] &
                         -static_cast<int>(backward != 0)) |
                        (LINE_FLAGS[codes[ahead.offset] ^ change << ahead.stoneShift] &
                         -static_cast<int>(forward != 0));
    flags |= line;
    own |= (line & DIRECTION_FLAGS << FlagShift(DIRECTION)) | nearest << FlagShift(DIRECTION);
}

// ListAroundTrialStone without the list, for the search's own use: the list
// a trial stone makes is never read by its callers, only the threats it
// holds. The boardValue of every cell it would list is still 0 afterwards;
// g_TrialRays remembers which cells already are, so that a stone examined
// again on the same copy writes (and brings up to date the line codes of)
// only cells it did not reach before.
// A cell's own line flags, which lack the stone, are or-ed in whole: a stone
// of the side added to a line never takes away a five or an open four of
// that side elsewhere on it, so the flags with the stone cover them.
TrialThreats ThreatsOfTrialStone(int x, int y, int side) {
    if (g_CopyHasMarks) {
        const int flags = ListAroundTrialStone(x, y, side, false);
        const int line = ListAroundTrialStone(x, y, side, true);
        return {ThreatDirections(flags, side), ThreatDirections(line, side) != 0};
    }
    g_BestMove = NO_MOVE;
    const int p = CellIndex(x, y);
    const std::uint64_t epoch = static_cast<std::uint64_t>(g_LineEpoch) << 32;
    std::uint64_t record = g_TrialRays[p];
    if ((record & ~0xFFFFFFFFull) != epoch) {
        EnsureLines(p);
        record = epoch;
    }
    const int s = side == SIDE_MINE ? 0 : 1;
    unsigned listed[4];
    std::uint32_t all = 0;
    for (int direction = 0; direction < 4; direction++) {
        const int code = g_LineCode[direction][p];
        listed[direction] = RAY_LISTED<true>[s][code & 0xFF] | RAY_LISTED<false>[s][code >> 8] << 4;
        all |= listed[direction] << (8 * direction);
    }
    std::uint32_t fresh = all & ~static_cast<std::uint32_t>(record);
    if (fresh != 0) {
        g_TrialRays[p] = record | all;
        while (fresh != 0) {
            const int bit = std::countr_zero(fresh);
            fresh &= fresh - 1;
            const Step step = LINE_STEP[bit >> 3];
            const int offset = SLOT_OFFSET[bit & 7];
            boardValue[x + offset * step.dx][y + offset * step.dy] = 0;
            EnsureLines(p + offset * INDEX_STEP[bit >> 3]);
        }
    }
    const int change = CELL_STATE[g_Cells[p]] ^ SideState(side);
    int flags = 0, own = 0;
    AddTrialLine<0>(p, listed[0], change, flags, own);
    AddTrialLine<1>(p, listed[1], change, flags, own);
    AddTrialLine<2>(p, listed[2], change, flags, own);
    AddTrialLine<3>(p, listed[3], change, flags, own);
    return {ThreatDirections((flags & FLAGS_MASK) | own, side), ThreatDirections(own, side) != 0};
}

// ListAroundStone for the threat stone on (x, y) one level below `depth`,
// where it was listed, now that the answer number `answer` of that list
// stands on the board: the same cells, in the same order, less the answer
// and the cells behind it on its ray. Nothing else on the board has changed
// since, and every listed cell's boardValue is 0 already.
void ListContinuations(int x, int y, int depth, int answer) {
    assert(depth + 1 < MAX_DEPTH && answer < g_CountMove[depth]);
    const int count = g_CountMove[depth];
    const TMyMove a = g_ListMove[answer][depth];
    const auto sign = [](int d) { return (d > 0) - (d < 0); };
    const int dx = sign(a.x - x), dy = sign(a.y - y);
    int behind = answer + 1;  // the ray's cells come one after the other, nearest first
    while (behind < count && sign(g_ListMove[behind][depth].x - x) == dx &&
           sign(g_ListMove[behind][depth].y - y) == dy)
        behind++;
    g_BestMove = NO_MOVE;
    int n = 0;
    for (int i = 0; i < answer; i++) g_ListMove[n++][depth + 1] = g_ListMove[i][depth];
    for (int i = behind; i < count; i++) g_ListMove[n++][depth + 1] = g_ListMove[i][depth];
    g_CountMove[depth + 1] = n;
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

bool TwoOrMore(int directions) {
    return (directions & (directions - 1)) != 0;
}

bool Can4Open(int side) {
    return side == SIDE_MINE ? CanI4Open(true) : CanOpponent4Open(true);
}

// What each candidate's trial stone gave when the double threats of its
// depth were last looked for, by depth and list position.
TrialThreats g_CandidateThreats[LIST_DEPTHS][MAX_CANDIDATES];

// The first candidate of the current depth on which `side` makes a double
// threat; marked unless testOnly. Is2Threat's node is counted here, and its
// answer read without the list; what each stone gave is kept in
// g_CandidateThreats.
bool Can2Threat(int side, bool testOnly) {
    const int depth = g_AktualDepth;
    if (g_CountMove[depth] > 0) UseSearchBoard();
    for (int i = 0; i < g_CountMove[depth]; i++) {
        const TMyMove c = g_ListMove[i][depth];
        TrialThreats& threats = g_CandidateThreats[depth][i];
        {
            const DepthScope level;
            threats = ThreatsOfTrialStone(c.x, c.y, side);
        }
        if (TwoOrMore(threats.directions)) {
            if (!testOnly) boardValue[c.x][c.y] = MARK_DOUBLE_THREAT;
            return true;
        }
    }
    return false;
}

// The attacker level: the first candidate of the current depth from which
// `side` starts a threat sequence that every defence loses; marked unless
// testOnly. Each examined candidate starts from 0 in boardValue. With
// `known`, Can2Threat has just examined every candidate for the side on this
// very board, and what it kept answers Is1Threat: the same stone lists the
// same cells, whose boardValue is 0 already.
bool Can1Threat(int side, bool testOnly, int depthLimit, bool lineOnly, bool known = false) {
    const int limit = std::min(depthLimit, MAX_DEPTH);
    const int depth = g_AktualDepth;
    if (g_CountMove[depth] > 0) UseSearchBoard();
    for (int i = 0; i < g_CountMove[depth]; i++) {
        const TMyMove c = g_ListMove[i][depth];
        boardValue[c.x][c.y] = 0;
        // Is1Threat's node, and its answer read without the list.
        TrialThreats threats;
        {
            const DepthScope level;
            threats = known ? g_CandidateThreats[depth][i] : ThreatsOfTrialStone(c.x, c.y, side);
        }
        if (!(lineOnly ? threats.alongItsLine : threats.directions != 0)) continue;
        if (depth >= limit) continue;
        const TrialStone stone(c.x, c.y, side + 1);
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
    UseSearchBoard();
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
    UseSearchBoard();
    const DepthScope level;
    ListAroundTrialStone(x, y, side, lineOnly);
    const TrialThreats threats = ThreatsOfTrialStone(x, y, side);
    return lineOnly ? threats.alongItsLine : threats.directions != 0;
}

// The defender level, with the attacker's trial stone already on (x, y):
// true when some answer holds. An answer is refuted when the attacker then
// has an open four, a double threat or another winning threat sequence. The
// answers are the cells on the rays of the threat stone, tried in list order.
bool DefenseMove1Threat(int x, int y, int defender, int depthLimit, bool lineOnly) {
    const SearchScope scope;
    UseSearchBoard();
    const int attacker = OtherSide(defender);
    const DepthScope level;
    const int limit = std::min(depthLimit, MAX_DEPTH);
    const int depth = g_AktualDepth;
    bool defended = true;
    // Past the depth bound the threat counts as answered, and so does a
    // threat with nothing to answer it on.
    if (depth + 1 < limit) {
        ListAroundStone(x, y, attacker);
        for (int i = 0; i < g_CountMove[depth]; i++) {
            // Out of time: no defence found, which makes every enclosing
            // answer refuted and ends the search quickly.
            if (TimeIsUp()) {
                g_ThreatSearchCut = true;
                defended = false;
                break;
            }
            const TMyMove a = g_ListMove[i][depth];
            const DepthScope answerLevel;
            const TrialStone answer(a.x, a.y, defender + 1);
            // The continuations start again from the threat stone; the
            // answer ends the ray it stands on.
            ListContinuations(x, y, depth, i);
            defended = !(Can4Open(attacker) || Can2Threat(attacker, true) ||
                         Can1Threat(attacker, true, limit, lineOnly, true));
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

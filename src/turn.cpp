// The turn driver: one turn from the candidates around the last moves through
// the chain of tactical stages to the final choice.
#include "turn.h"

#include <algorithm>
#include <iterator>

#include "fours.h"
#include "platform.h"
#include "search.h"
#include "threats.h"

std::atomic<int> info_timeout_turn{30000};
std::atomic<int> info_time_left{1000000000};
TurnStage g_TurnStage = TurnStage::NoMove;
int g_TurnMarks[MAX_CANDIDATES];

const char* TurnStageName(TurnStage stage) {
    static constexpr const char* NAMES[] = {
        "own-five",   "block-five", "my-4open",   "opp-4open", "my-2threat", "opp-2threat",
        "opp-seq3",   "opp-seq5",   "opp-seq9",   "my-seq3",   "my-seq5",    "my-seq9",
        "opp-line19", "my-line19",  "positional", "random",    "no-move",
    };
    static_assert(std::size(NAMES) == static_cast<size_t>(TurnStage::NoMove) + 1);
    return NAMES[static_cast<int>(stage)];
}

// Computes the engine's move for one turn and leaves its statistics in g_MoveStats.
TMyMove brain_turn() {
    // 1-3. Start the clock, clear the statistics, take the budget.
    g_TickStart = static_cast<int>(plat::GetTickCount());
    g_MoveStats.depth = 0;
    g_MoveStats.nodes = 0;
    fce_SetAktualDepth(0);
    g_ThreatSearchCut = false;
    g_Time4MyMove = std::min(info_time_left.load(std::memory_order_relaxed),
                             info_timeout_turn.load(std::memory_order_relaxed));
    // 4. Candidates around both last moves.
    GetAllMove(g_MyLastMove, g_OpponentLastMove);
    TMyMove move;
    // 5. A five for either side is played at once, the engine's own first.
    const bool ownFive = CanIWin();
    if (ownFive || CanOpponentWin()) {
        g_TurnStage = ownFive ? TurnStage::OwnFive : TurnStage::BlockFive;
        move = g_BestMove;
    } else {
        // 6. The tactical stages mark what they find; the first success ends the
        // chain. From here on they work on the search's copy of the board.
        const SearchScope scope;
        auto ends = [](TurnStage stage, bool found) {
            if (found) g_TurnStage = stage;
            return found;
        };
        // Threat sequences are searched ever deeper, the opponent's first;
        // the last two calls look further but only along the threat's lines.
        using enum TurnStage;
        const bool marked = ends(MyOpenFour, CanI4Open(false)) ||
                            ends(OpponentOpenFour, CanOpponent4Open(false)) ||
                            ends(MyDoubleThreat, CanI2Threat(false)) ||
                            ends(OpponentDoubleThreat, CanOpponent2Threat(false)) ||
                            ends(OpponentSequence3, CanOpponent1Threat(false, 3, false)) ||
                            ends(OpponentSequence5, CanOpponent1Threat(false, 5, false)) ||
                            ends(OpponentSequence9, CanOpponent1Threat(false, 9, false)) ||
                            ends(MySequence3, CanI1Threat(false, 3, false)) ||
                            ends(MySequence5, CanI1Threat(false, 5, false)) ||
                            ends(MySequence9, CanI1Threat(false, 9, false)) ||
                            ends(OpponentLine19, CanOpponent1Threat(false, 19, true)) ||
                            ends(MyLine19, CanI1Threat(false, 19, true));
        // 7. The positional score on top of the marks, then the best candidate.
        if (g_CountMove[g_AktualDepth] <= 0) {
            move = RandomMove();
            g_TurnStage = move.x < 0 ? NoMove : Random;
        } else {
            // What the stages marked, kept before the positional score goes on top.
            for (int i = 0; i < g_CountMove[0]; i++)
                g_TurnMarks[i] = boardValue[g_ListMove[i][0].x][g_ListMove[i][0].y];
            EvalMoves();
            move = DefenseMove();
            if (!marked) g_TurnStage = Positional;
        }
    }
    // 8-9. Statistics; a turn without a move evaluates to 0.
    g_MoveStats.eval = move.x >= 0 ? boardValue[move.x][move.y] : 0;
    g_MoveStats.time =
        static_cast<int>(plat::GetTickCount() - static_cast<std::uint32_t>(g_TickStart));
    return move;
}

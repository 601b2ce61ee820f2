// The engine's entry for the browser, built with emscripten into the module
// that engine-worker.js loads. The Web Worker queues the page's protocol text
// as standard input and calls zelto_command once for every whole line it has
// queued. No worker thread is started, so each turn runs inline on the Web
// Worker's one thread while the page stays responsive, and the replies leave
// through standard output a line at a time. After a command that ran a turn,
// zelto_reasoning describes that turn for the page, outside the protocol.
#include <emscripten.h>

#include <cstdio>

#include "board.h"
#include "platform.h"
#include "protocol.h"
#include "search.h"
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
}

EMSCRIPTEN_KEEPALIVE void zelto_command() {
    fce_GetLine();
    fce_DoCommand();
}

EMSCRIPTEN_KEEPALIVE const char* zelto_reasoning() {
    // 64 candidates of at most 34 characters each, and the rest.
    static char text[MAX_CANDIDATES * 34 + 128];
    const bool five = g_TurnStage == TurnStage::OwnFive || g_TurnStage == TurnStage::BlockFive;
    int n =
        std::snprintf(text, sizeof text, R"({"stage":"%s","cut":%s,"move":[%d,%d],"candidates":[)",
                      TurnStageName(g_TurnStage), g_ThreatSearchCut ? "true" : "false",
                      g_MyLastMove.x, g_MyLastMove.y);
    for (int i = 0; i < g_CountMove[0]; i++) {
        const TMyMove c = g_ListMove[i][0];
        // A five is played before any stage marks or scores a candidate.
        n += std::snprintf(text + n, sizeof text - n, "%s[%d,%d,%d,%d]", i ? "," : "", c.x, c.y,
                           boardValue[c.x][c.y], five ? 0 : g_TurnMarks[i]);
    }
    std::snprintf(text + n, sizeof text - n, "]}");
    return text;
}

int main() {
    plat::SetUpStdio();
    return 0;
}

// libFuzzer target: each input is one whole session of protocol input. The
// engine's own line reader, command table and search carry it out, with the
// turns run inline (no worker is started), so a run is deterministic. Replies
// go to a sink that checks their shape and the legality of every move.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/types.h>

#include "platform.h"
#include "protocol.h"
#include "search.h"
#include "turn.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// Thrown by the exit hook: END or end of input closes the session.
struct SessionEnd {};

[[noreturn]] void EndSession(int) {
    throw SessionEnd{};
}

// The clock moves CLOCK_STEP ms at every read, and budgets are kept within
// [0, MAX_BUDGET]: the threat search reads the clock once per defender answer
// and gives up at 95% of the budget, so no turn examines more than about
// MAX_BUDGET / CLOCK_STEP answers. A manager's largest budgets would let one
// turn search for weeks of this clock's time.
constexpr std::uint32_t CLOCK_STEP = 10;
constexpr int MAX_BUDGET = 500;
std::uint32_t g_clock;

std::uint32_t FuzzClock() {
    return g_clock += CLOCK_STEP;
}

void ClampBudget(std::atomic<int>& value) {
    const int v = value.load();
    if (v < 0) value.store(0);
    if (v > MAX_BUDGET) value.store(MAX_BUDGET);
}

[[noreturn]] void Fail(const char* what, const char* line) {
    std::fprintf(stderr, "zelto-fuzz: %s: \"%s\"\n", what, line);
    std::abort();
}

bool AnyFreeCell() {
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++)
            if (board[x][y] == CELL_EMPTY) return true;
    return false;
}

bool StartsWith(const char* line, const char* prefix) {
    return std::strncmp(line, prefix, std::strlen(prefix)) == 0;
}

// Checks a turn's lines: statistics, an "ERROR my move" only when the engine
// found no free cell, and a move line naming its new stone or (-1,-1).
struct TurnCheck {
    bool inTurn = false;   // the statistics line came, the move line not yet
    bool refused = false;  // the turn's "ERROR my move" line came
    int turns = 0;         // move lines of turns in this input

    void Line(const char* line) {
        int a, b, c;
        if (StartsWith(line, "message time=")) {
            if (std::sscanf(line, "message time=%*f s, eval=%d, depth=%d, nodes=%d", &a, &b, &c) !=
                    3 ||
                b < 0 || b > MAX_DEPTH || c < 0)
                Fail("bad statistics line", line);
            inTurn = true;
            refused = false;
            return;
        }
        if (!inTurn) return;
        if (std::sscanf(line, "ERROR my move [%d,%d]", &a, &b) == 2) {
            if (refused || a != -1 || b != -1) Fail("turn chose a taken cell", line);
            refused = true;
            return;
        }
        if (std::sscanf(line, "%d,%d", &a, &b) != 2) Fail("move line expected", line);
        if (refused) {
            if (a != -1 || b != -1) Fail("refused move changed", line);
            if (AnyFreeCell()) Fail("no move although a cell is free", line);
        } else if (a < 0 || b < 0 || a >= width || b >= height || board[a][b] != CELL_MINE) {
            Fail("move is not the engine's new stone", line);
        }
        inTurn = false;
        turns++;
    }
};

TurnCheck g_turn;

// Set from ZELTO_FUZZ_ECHO: replies are copied to stderr, to read what an
// input (a crash, say) makes the engine answer.
bool g_echo;

// Every reply line has one of the known shapes.
void CheckLine(const char* line, std::size_t length) {
    if (g_echo) std::fprintf(stderr, "> %s\n", line);
    if (std::strcmp(line, "OK") == 0 || std::strcmp(line, "UNKNOWN command") == 0 ||
        StartsWith(line, "ERROR ") || StartsWith(line, "message time=") ||
        StartsWith(line, "name=\"Zelto\"")) {
    } else if (int a, b; std::sscanf(line, "%d,%d", &a, &b) == 2) {
    } else if (static_cast<int>(length) == width &&
               std::strspn(line, "-+XxOo") == length) {  // a row of the board listing
    } else {
        Fail("reply of unknown shape", line);
    }
    g_turn.Line(line);
}

// Standard output: collects lines, checks them, and throws them away.
char g_line[512];
std::size_t g_lineLength;

ssize_t SinkWrite(void*, const char* buffer, std::size_t size) {
    for (std::size_t i = 0; i < size; i++) {
        if (buffer[i] == '\n') {
            g_line[g_lineLength] = '\0';
            CheckLine(g_line, g_lineLength);
            g_lineLength = 0;
        } else if (g_lineLength + 1 < sizeof g_line) {
            g_line[g_lineLength++] = buffer[i];
        } else {
            g_line[g_lineLength] = '\0';
            Fail("over-long reply", g_line);
        }
    }
    return static_cast<ssize_t>(size);
}

// A turn leaves no candidate mark, no opponent trial stone and the search
// stack at depth 0. (Engine trial stones may stand: BOARD places them.)
void CheckAfterTurn() {
    if (g_AktualDepth != 0) Fail("search depth left above 0", cmd);
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++)
            if (board[x][y] == CELL_CANDIDATE || board[x][y] == CELL_OPPONENT_TRIAL)
                Fail("turn left a mark on the board", cmd);
}

// The engine's globals as the process starts, restored before every input.
struct Globals {
    int timeoutTurn, timeLeft, maxMemory, timeoutMatch, gameType;
    int exact5, continuous, renju;
};
Globals g_initial;

void ResetEngine() {
    std::memset(board, 0, sizeof board);
    std::memset(boardValue, 0, sizeof boardValue);
    std::memset(g_CountMove, 0, sizeof g_CountMove);
    width = height = 0;
    g_MyLastMove = g_OpponentLastMove = g_BestMove = NO_MOVE;
    g_AktualDepth = 0;
    g_MoveStats = {};
    seed = start_time = 0;
    terminateAI = 0;
    info_timeout_turn = g_initial.timeoutTurn;
    info_time_left = g_initial.timeLeft;
    info_max_memory = g_initial.maxMemory;
    info_timeout_match = g_initial.timeoutMatch;
    info_game_type = g_initial.gameType;
    info_exact5 = g_initial.exact5;
    info_continuous = g_initial.continuous;
    info_renju = g_initial.renju;
    dataFolder[0] = cmd[0] = '\0';
    g_clock = 0;
    g_turn = {};
    g_lineLength = 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_initial = {info_timeout_turn, info_time_left, info_max_memory, info_timeout_match,
                 info_game_type,    info_exact5,    info_continuous, info_renju};
    g_echo = std::getenv("ZELTO_FUZZ_ECHO") != nullptr;
    plat::SetTickSource(FuzzClock);
    plat::SetExitHook(EndSession);
    static cookie_io_functions_t sink{nullptr, SinkWrite, nullptr, nullptr};
    stdout = fopencookie(nullptr, "w", sink);
    if (!stdout) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;  // end of input at once: nothing runs
    ResetEngine();
    FILE* input = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
    if (!input) std::abort();
    FILE* const console = stdin;
    stdin = input;
    try {
        for (;;) {
            fce_GetLine();
            const int turns = g_turn.turns;
            fce_DoCommand();
            if (g_turn.turns != turns) CheckAfterTurn();
            ClampBudget(info_timeout_turn);
            ClampBudget(info_time_left);
        }
    } catch (const SessionEnd&) {
    }
    stdin = console;
    std::fclose(input);
    return 0;
}

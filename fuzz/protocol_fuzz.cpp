// libFuzzer target: each input is one whole session of protocol input, carried
// out by the engine's own line reader, command table and search with every
// turn run inline (no worker is started), so a run repeats exactly. Replies
// go to a sink that checks their shape, that every move line names the
// engine's new stone (or -1,-1 when no cell is free), and that a turn leaves
// no candidate mark, no opponent trial stone and the search stack at depth 0.
#include <algorithm>
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

struct SessionEnd {};  // thrown by the exit hook: END or end of input

// The clock moves 10 ms at every read and budgets stay within 0 to 500 ms:
// the threat search reads the clock once per defender answer and gives up at
// 95% of the budget, so no turn examines more than about 50 answers.
std::uint32_t g_clock;
bool g_echo;    // ZELTO_FUZZ_ECHO: replies are copied to stderr
bool g_inTurn;  // the statistics line came, the move line not yet
char g_line[512];
std::size_t g_length;

[[noreturn]] void Fail(const char* what, const char* line) {
    std::fprintf(stderr, "zelto-fuzz: %s: \"%s\"\n", what, line);
    std::abort();
}

// Whether a cell of the playing area holds one of the codes (a bit for each).
bool AnyCell(int codes) {
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++)
            if (codes >> board[x][y] & 1) return true;
    return false;
}
constexpr int EMPTY = 1 << CELL_EMPTY, MARKS = 1 << CELL_CANDIDATE | 1 << CELL_OPPONENT_TRIAL;

void CheckLine(const char* line) {
    if (g_echo) std::fprintf(stderr, "> %s\n", line);
    int a, b, c;
    if (std::sscanf(line, "message time=%*f s, eval=%*d, depth=%d, nodes=%d%n", &a, &b, &c) == 2) {
        if (a < 0 || a > MAX_DEPTH || b < 0 || line[c]) Fail("bad statistics line", line);
        g_inTurn = true;
    } else if (g_inTurn && std::sscanf(line, "ERROR my move [%d,%d]", &a, &b) == 2) {
        if (a != -1 || b != -1 || AnyCell(EMPTY)) Fail("turn chose a taken cell", line);
    } else if (g_inTurn) {
        if (std::sscanf(line, "%d,%d", &a, &b) != 2) Fail("move line expected", line);
        const bool none = a == -1 && b == -1 && !AnyCell(EMPTY);
        if (!none && (a < 0 || b < 0 || a >= width || b >= height || board[a][b] != CELL_MINE))
            Fail("move is not the engine's new stone", line);
        g_inTurn = false;
    } else if (std::strcmp(line, "OK") && std::strcmp(line, "UNKNOWN command") &&
               std::strncmp(line, "ERROR ", 6) && std::strncmp(line, "name=\"Zelto\"", 12) &&
               std::sscanf(line, "%d,%d", &a, &b) != 2 &&
               (g_length != static_cast<std::size_t>(width) ||
                std::strspn(line, "-+XxOo") != g_length)) {
        Fail("reply of unknown shape", line);
    }
}

// Standard output: collects lines, checks them, and throws them away.
ssize_t SinkWrite(void*, const char* buffer, std::size_t size) {
    for (std::size_t i = 0; i < size; i++) {
        if (buffer[i] == '\n') {
            CheckLine(g_line);
            g_line[g_length = 0] = '\0';
        } else if (g_length + 1 < sizeof g_line) {
            g_line[g_length++] = buffer[i];
            g_line[g_length] = '\0';
        } else {
            Fail("over-long reply", g_line);
        }
    }
    return static_cast<ssize_t>(size);
}

void ClampBudget(std::atomic<int>& value) {
    value = std::clamp(value.load(), 0, 500);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_echo = std::getenv("ZELTO_FUZZ_ECHO") != nullptr;
    plat::SetTickSource(+[]() -> std::uint32_t { return g_clock += 10; });
    plat::SetExitHook(+[](int) { throw SessionEnd{}; });
    static cookie_io_functions_t sink{nullptr, SinkWrite, nullptr, nullptr};
    stdout = fopencookie(nullptr, "w", sink);
    return stdout ? 0 : -1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;  // end of input at once: nothing runs
    // The engine's state as the process starts; the INFO values that nothing reads stay.
    std::memset(board, 0, sizeof board);
    width = height = 0;
    g_MyLastMove = g_OpponentLastMove = NO_MOVE;
    g_clock = 0;
    g_inTurn = false;
    g_line[g_length = 0] = '\0';
    info_timeout_turn = 500;
    info_time_left = 500;
    FILE* const console = stdin;
    stdin = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
    if (!stdin) std::abort();
    try {
        for (;;) {
            fce_GetLine();
            fce_DoCommand();
            if (g_AktualDepth != 0 || AnyCell(MARKS))
                Fail("a turn left the search stack or a mark behind", cmd);
            ClampBudget(info_timeout_turn);
            ClampBudget(info_time_left);
        }
    } catch (const SessionEnd&) {
    }
    std::fclose(stdin);
    stdin = console;
    return 0;
}

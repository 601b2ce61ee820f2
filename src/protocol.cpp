// The protocol front end: reads commands, answers them, and hands turns to
// the worker thread.
#include "protocol.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"
#include "search.h"
#include "turn.h"

char cmd[CMD_SIZE];

int info_max_memory = 0;
int info_timeout_match = 1000000000;
int info_game_type = 1;
int info_exact5 = 0, info_continuous = 0, info_renju = 0;
char dataFolder[CMD_SIZE];

namespace {

// Signalled: a turn is requested. Auto-reset, so each signal is one turn.
plat::Event event1(false, false);
// Signalled: the worker is idle. Manual-reset.
plat::Event event2(true, true);

constexpr const char* infotext =
    "name=\"Zelto\", author=\"Morlan Quist\", version=\"%d.%d\", country=\"Norway\", "
    "www=\"https://zelto.example.org\"";
constexpr int VERSION_MAJOR = 1;
constexpr int VERSION_MINOR = 6;
constexpr int DEFAULT_BOARD = 20;

// Set once fce_StartUp has started the worker. A program that drives the
// command loop without it (the fuzzer, the browser build) gets each turn run inline,
// on the thread that asked for it, and the worker counts as idle throughout.
bool g_workerStarted = false;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

const char* SkipSpace(const char* p) {
    while (IsSpace(*p)) p++;
    return p;
}

// One %d conversion of the C scan functions: white space, an optional sign,
// digits. Values beyond 32 bits saturate, so that an oversized number is
// refused by every range test instead of wrapping onto the board.
bool ScanInt(const char*& p, int& out) {
    char* end;
    const long long value = std::strtoll(p, &end, 10);
    if (end == p) return false;
    out = static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
    p = end;
    return true;
}

// Reads `count` numbers separated by commas; a comma must follow a number at
// once unless spaceBeforeComma allows white space before it.
int ScanList(const char* p, int* values, int count, bool spaceBeforeComma) {
    for (int i = 0; i < count; i++) {
        if (i > 0) {
            if (spaceBeforeComma) p = SkipSpace(p);
            if (*p != ',') return i;
            p++;
        }
        if (!ScanInt(p, values[i])) return i;
    }
    return count;
}

// The value of an INFO key: like atoi, no digits give 0.
int InfoValue(const char* text) {
    int value = 0;
    ScanInt(text, value);
    return value;
}

void DoInfo(const char* param) {
    const char* value;
    if ((value = fce_GetCmdParam("max_memory", param))) {
        info_max_memory = InfoValue(value);
    } else if ((value = fce_GetCmdParam("timeout_match", param))) {
        info_timeout_match = InfoValue(value);
    } else if ((value = fce_GetCmdParam("timeout_turn", param))) {
        info_timeout_turn.store(InfoValue(value));
    } else if ((value = fce_GetCmdParam("time_left", param))) {
        info_time_left.store(InfoValue(value));
    } else if ((value = fce_GetCmdParam("game_type", param))) {
        info_game_type = InfoValue(value);
    } else if ((value = fce_GetCmdParam("rule", param))) {
        const int rule = InfoValue(value);
        info_exact5 = rule & 1;
        info_continuous = (rule >> 1) & 1;
        info_renju = (rule >> 2) & 1;
    } else if ((value = fce_GetCmdParam("folder", param))) {
        std::snprintf(dataFolder, sizeof dataFolder, "%s", value);
    }
}

void DoStart(const char* param) {
    int size = 0;
    const bool read = ScanInt(param, size);
    fce_Stop();
    if (!read || size < MIN_BOARD) {
        width = 0;
        fce_WriteToPipe("ERROR bad START parameter");
        return;
    }
    width = height = size;
    fce_Start();
    brain_init();
}

void DoRectStart(const char* param) {
    int size[2] = {0, 0};
    const int read = ScanList(param, size, 2, true);
    fce_Stop();
    if (read < 2 || size[0] < MIN_BOARD || size[1] < MIN_BOARD) {
        width = height = 0;
        fce_WriteToPipe("ERROR bad RECTSTART parameters");
        return;
    }
    width = size[0];
    height = size[1];
    fce_Start();
    brain_init();
}

void DoRestart(const char*) {
    fce_Start();
    brain_restart();
}

// Waits for the worker (setting up the default board if needed), then reads
// the coordinates; bad ones are answered here.
bool StartAndParseCoord(const char* param, int& x, int& y) {
    fce_Start();
    if (parse_coord(param, &x, &y)) return true;
    fce_WriteToPipe("ERROR bad coordinates");
    return false;
}

void DoTurn(const char* param) {
    int x, y;
    if (!StartAndParseCoord(param, x, y)) return;
    brain_opponents(x, y);
    fce_Turn();
}

void DoPlay(const char* param) {
    int x, y;
    if (StartAndParseCoord(param, x, y)) fce_DoMyMove(x, y);
}

void DoBegin(const char*) {
    fce_Start();
    fce_Turn();
}

void DoAbout(const char*) {
    Get_Info();
}

void DoEnd(const char*) {
    fce_Stop();
    brain_end();
    plat::Exit(0);
}

// Adds the listed stones to the current position until a line that is not a
// stone; the block is always answered by a turn.
void DoBoard(const char*) {
    fce_Start();
    for (;;) {
        fce_GetLine();
        int v[3];
        if (ScanList(cmd, v, 3, false) < 3 || v[0] < 0 || v[1] < 0 || v[0] >= width ||
            v[1] >= height || v[2] < 1 || v[2] > 3)
            break;
        if (v[2] == 1)
            brain_my(v[0], v[1]);
        else if (v[2] == 2)
            brain_opponents(v[0], v[1]);
        else
            brain_block(v[0], v[1]);
    }
    const char* done = "done";
    bool isDone = std::strlen(cmd) == std::strlen(done);
    for (int i = 0; isDone && done[i]; i++) isDone = LowerAscii(cmd[i]) == done[i];
    if (!isDone) fce_WriteToPipe("ERROR x,y,who or DONE expected after BOARD");
    fce_Turn();
}

// Taking back an empty cell is answered like bad coordinates.
void DoTakeback(const char* param) {
    int x, y;
    if (!StartAndParseCoord(param, x, y)) return;
    if (brain_takeback(x, y) == 0)
        fce_WriteToPipe("OK");
    else
        fce_WriteToPipe("ERROR bad coordinates");
}

void DoPrintBoard(const char*) {
    fce_PrintBoard();
}

struct Command {
    const char* keyword;
    void (*run)(const char* param);
};

// Tried in this order; the first keyword that begins the line wins.
// clang-format off
constexpr Command COMMANDS[] = {
    {"info",       DoInfo},
    {"start",      DoStart},
    {"rectstart",  DoRectStart},
    {"restart",    DoRestart},
    {"turn",       DoTurn},
    {"play",       DoPlay},
    {"begin",      DoBegin},
    {"about",      DoAbout},
    {"end",        DoEnd},
    {"board",      DoBoard},
    {"takeback",   DoTakeback},
    {"printboard", DoPrintBoard},
};
// clang-format on

// One turn: the search, its statistics line, then the engine's stone and move line.
void RunTurn() {
    const TMyMove move = brain_turn();
    fce_PritStatistic();
    fce_DoMyMove(move.x, move.y);
}

char CellChar(int code) {
    switch (code) {
        case CELL_EMPTY: return '-';
        case CELL_CANDIDATE: return '+';
        case CELL_MINE: return 'X';
        case CELL_MINE_TRIAL: return 'x';
        case CELL_OPPONENT: return 'O';
        case CELL_OPPONENT_TRIAL: return 'o';
        default: return '?';
    }
}

}  // namespace

void fce_StartUp() {
    plat::SetUpStdio();
    if (plat::StdinIsConsole()) std::printf("MESSAGE Gomoku AI (Zelto) by Tibo\n");
    g_workerStarted = true;
    plat::StartThread(threadLoop, nullptr);
}

void fce_GetLine() {
    int stored = 0;
    for (;;) {
        const int c = std::getchar();
        if (c == EOF) plat::Exit(0);
        if (stored < CMD_SIZE) cmd[stored++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    // The last stored character is the line feed, or the 256th of a longer line.
    cmd[stored - 1] = '\0';
    if (stored >= 2 && cmd[stored - 2] == '\r') cmd[stored - 2] = '\0';
}

void fce_DoCommand() {
    for (const Command& command : COMMANDS) {
        if (const char* param = fce_GetCmdParam(command.keyword, cmd)) {
            command.run(param);
            return;
        }
    }
    fce_WriteToPipe("UNKNOWN command");
}

const char* fce_GetCmdParam(const char* keyword, const char* line) {
    for (; *keyword; keyword++, line++)
        if (LowerAscii(*line) != *keyword) return nullptr;
    return SkipSpace(line);
}

int parse_coord(const char* text, int* x, int* y) {
    int v[2];
    if (ScanList(text, v, 2, false) < 2) return 0;
    *x = v[0];
    *y = v[1];
    return v[0] >= 0 && v[1] >= 0 && v[0] < width && v[1] < height;
}

void Get_Info() {
    char line[CMD_SIZE];
    std::snprintf(line, sizeof line, infotext, VERSION_MAJOR, VERSION_MINOR);
    fce_WriteToPipe("%s", line);
}

// Lists the board row by row under the stdout lock. It may run while the
// worker searches, and then shows its trial stones and candidate marks.
void fce_PrintBoard() {
    std::lock_guard<std::mutex> lock(plat::StdoutLock());
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) std::putchar(CellChar(fce_GetBoard(x, y)));
        std::putchar('\n');
    }
    // Flushed at once: a manager behind a pipe must not wait for the next reply.
    std::fflush(stdout);
}

void fce_Stop() {
    terminateAI.store(1);
    event2.Wait();
}

void fce_Start() {
    start_time = plat::GetTickCount();
    fce_Stop();
    if (width == 0) {
        width = height = DEFAULT_BOARD;
        brain_init();
    }
}

void fce_Turn() {
    terminateAI.store(0);
    if (!g_workerStarted) {
        RunTurn();
        return;
    }
    event2.Reset();
    event1.Set();
}

void threadLoop(void*) {
    for (;;) {
        event1.Wait();
        RunTurn();
        event2.Set();
    }
}

void fce_DoMyMove(int x, int y) {
    brain_my(x, y);
    fce_WriteToPipe("%d,%d", x, y);
}

void fce_PritStatistic() {
    const TMoveStats stats = fce_GetStats();
    fce_WriteToPipe("message time=%f s, eval=%d, depth=%d, nodes=%d",
                    static_cast<std::uint32_t>(stats.time) / 1000.0, stats.eval, stats.depth,
                    stats.nodes);
}

// The command loop without its worker thread, and INFO values, which no reply shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform.h"
#include "protocol.h"
#include "testutil.h"

namespace {

struct SessionEnd {};

// Feeds `input` to the engine's own read/dispatch loop until END or end of
// input (the exit hook unwinds instead of ending the process); returns
// everything written. No worker is started, so each turn runs inline.
std::string Session(std::string input) {
    FILE* in = fmemopen(input.data(), input.size(), "r");
    FILE* const console = stdin;
    stdin = in;
    plat::SetExitHook(+[](int) { throw SessionEnd{}; });
    testing::internal::CaptureStdout();
    try {
        for (;;) {
            fce_GetLine();
            fce_DoCommand();
        }
    } catch (const SessionEnd&) {
    }
    plat::SetExitHook(nullptr);
    stdin = console;
    std::fclose(in);
    return testing::internal::GetCapturedStdout();
}

int CountCells(int code) {
    return static_cast<int>(std::count(&board[0][0], &board[0][0] + MAX_BOARD * MAX_BOARD, code));
}

void Command(const char* line) {
    std::strcpy(cmd, line);
    fce_DoCommand();
}

TEST(Info, StoresValuesAndRuleBits) {
    Command("INFO timeout_turn 99999999999");  // saturates instead of wrapping
    EXPECT_EQ(info_timeout_turn, INT_MAX);
    Command("info TIME_LEFT -7x");
    EXPECT_EQ(info_time_left, -7);
    Command("INFO rule 5");
    EXPECT_TRUE(info_exact5 == 1 && info_continuous == 0 && info_renju == 1);
    Command("INFO rules 6");  // the key "rule" with the value "s 6", which reads as 0
    EXPECT_TRUE(info_exact5 == 0 && info_continuous == 0 && info_renju == 0);
    Command("INFO folder  C:\\my dir\\ ");
    EXPECT_STREQ(dataFolder, "C:\\my dir\\ ");
    info_timeout_turn = 30000;
    info_time_left = 1000000000;
}

TEST(CommandLoop, TurnsRunInlineWithoutTheWorker) {
    testutil::NewBoard(0, 0);
    const std::string out = Session("START 10\nTURN 5,5\nBOARD\n1,1,1\nDONE\nEND\nABOUT\n");
    // Each turn's statistics line is followed by its move, and END ends the session.
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 5) << out;
    EXPECT_EQ(out.rfind("OK\nmessage time=", 0), 0u) << out;
    EXPECT_EQ(board[5][5], CELL_OPPONENT);
    EXPECT_EQ(board[1][1], CELL_MINE);
    EXPECT_EQ(CountCells(CELL_MINE), 3);
}

}  // namespace

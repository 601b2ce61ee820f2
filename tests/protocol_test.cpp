// INFO values, which no reply shows.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "protocol.h"

namespace {

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

}  // namespace

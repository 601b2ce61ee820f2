// The names the archive reader gives and reads: which files are records, and
// how a name that is no clean UTF-8 shows in a message.
#include <gtest/gtest.h>

#include <string>

#include "archive.h"

namespace {

TEST(Archive, ShowsNamesAsUtf8AndMarksEverythingElse) {
    const struct {
        const char* name;
        const char* shown;
    } cases[] = {
        {"Freestyle15_1/3_12_7_1.psq", "Freestyle15_1/3_12_7_1.psq"},
        {"ñandú 2.psq", "ñandú 2.psq"},
        {"\xf0\x9f\x98\x80.sgf", "\xf0\x9f\x98\x80.sgf"},
        {"a\nb\x1b[31m\x7f.psq", "a?b?[31m?.psq"},
        {"\xff\xfe.sgf", "??.sgf"},
        {"cut \xc3", "cut ?"},
        {"\xc3(", "?("},               // a lead byte without its continuation
        {"\xc0\xaf", "??"},            // overlong '/'
        {"\xe0\x80\xaf", "???"},       // overlong '/' in three bytes
        {"\xed\xa0\x80", "???"},       // a surrogate
        {"\xf4\x90\x80\x80", "????"},  // beyond U+10FFFF
        {"\x80z", "?z"},               // a stray continuation
    };
    for (const auto& c : cases) EXPECT_EQ(ShownName(c.name), c.shown) << c.name;
}

TEST(Archive, RecordsAndZipsByTheirNameInAnyCase) {
    for (const char* name : {"a.psq", "b/C.PSQ", "x.Sgf", ".sgf"})
        EXPECT_TRUE(IsRecordName(name)) << name;
    for (const char* name : {"a.psq.txt", "psq", "a.sg", "b.zip", "sgf/"})
        EXPECT_FALSE(IsRecordName(name)) << name;
    EXPECT_TRUE(IsZipName("results2026.ZIP"));
    EXPECT_FALSE(IsZipName("results2026.zip.psq"));
}

}  // namespace

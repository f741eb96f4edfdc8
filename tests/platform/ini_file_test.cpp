// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ini_file.h"

#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using namespace qlm::platform;

namespace {

// A fresh folder for one test; `ini` is a file name in it.
struct TempFolder : qlm::test::TempFolder {
    const std::string ini = *this / "QLM.ini";
};

struct ReadCase {
    const char* name;
    std::string content;
    const char* key; // of section "Settings"
    std::string expected;
};

class IniRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsTheValue) {
    TempFolder folder;
    qlm::test::WriteFile(folder.ini, GetParam().content);
    EXPECT_EQ(GetPrivateProfileString("Settings", GetParam().key, "<none>", folder.ini), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniRead,
    testing::Values(
        ReadCase{"NamesIgnoreCase", "[sETTINGS]\nDIR=/x/\n", "dir", "/x/"},
        ReadCase{"BlanksAroundNamesAndValue", "  [ Settings ]  \n  Dir  =  /a b/  \t\n", "Dir", "/a b/"},
        ReadCase{"EmptyValueIsAValue", "[Settings]\nWarn=\n", "Warn", ""},
        ReadCase{"QuotesTakenOff", "[Settings]\nDir=\"/x/\"\n", "Dir", "/x/"},
        ReadCase{"LoneQuoteKept", "[Settings]\nDir=\"\n", "Dir", "\""},
        ReadCase{"ValueKeepsItsEqualsSigns", "[Settings]\nDir=a=b\n", "Dir", "a=b"},
        ReadCase{"CrLfLines", "[Settings]\r\nAlt=false\r\nWarn=true\r\n", "Alt", "false"},
        ReadCase{"ByteOrderMark", "\xEF\xBB\xBF[Settings]\nAlt=no\n", "Alt", "no"},
        ReadCase{"LastLineWithoutBreak", "[Settings]\nAlt=yes", "Alt", "yes"},
        ReadCase{"KeyOfAnotherSection", "[Other]\nDir=/o/\n[Settings]\nAlt=1\n", "Dir", "<none>"},
        ReadCase{"KeyBeforeEverySection", "Dir=/o/\n[Settings]\n", "Dir", "<none>"},
        ReadCase{"FirstOfTwice", "[Settings]\nDir=/1/\nDir=/2/\n[Settings]\nDir=/3/\n", "Dir", "/1/"},
        ReadCase{"BytesAbove127Pass", "[Settings]\nDir= /M\xFCll\xA0/\xFF\n", "Dir", "/M\xFCll\xA0/\xFF"},
        ReadCase{"PrefixIsNotTheKey", "[Settings]\nDirectory=/x/\n", "Dir", "<none>"},
        ReadCase{"LongValueCutTo2047", "[Settings]\nDir=" + std::string(3000, 'x') + "\n", "Dir",
                 std::string(2047, 'x')}),
    [](const testing::TestParamInfo<ReadCase>& row) { return row.param.name; });

struct WriteCase {
    const char* name;
    std::string before; // "<missing>": no file
    const char* key;    // of section "Settings"
    const char* value;
    std::string after;
};

class IniWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyItsKey) {
    TempFolder folder;
    if (GetParam().before != "<missing>")
        qlm::test::WriteFile(folder.ini, GetParam().before);
    ASSERT_EQ(WritePrivateProfileString("Settings", GetParam().key, GetParam().value, folder.ini), 0);
    EXPECT_EQ(qlm::test::ReadFile(folder.ini), GetParam().after);
    EXPECT_EQ(GetPrivateProfileString("Settings", GetParam().key, "<none>", folder.ini), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniWrite,
    testing::Values(
        WriteCase{"FileCreated", "<missing>", "Dir", "/x/", "[Settings]\nDir=/x/\n"},
        WriteCase{"ValueReplaced", "[Settings]\nDir=/old/\nWarn=true\n", "Dir", "/new/",
                  "[Settings]\nDir=/new/\nWarn=true\n"},
        WriteCase{"NamesMatchedWithoutCase", "[settings]\ndir=/old/\n", "Dir", "/new/",
                  "[settings]\ndir=/new/\n"},
        WriteCase{"KeyAddedAtTheEndOfItsSection", "[Settings]\nDir=/a/\n\n[Other]\nWarn=x\n", "Warn", "false",
                  "[Settings]\nDir=/a/\nWarn=false\n\n[Other]\nWarn=x\n"},
        WriteCase{"SectionAdded", "[Other]\nA=1\n", "Dir", "/x/", "[Other]\nA=1\n\n[Settings]\nDir=/x/\n"},
        WriteCase{"SectionAddedAfterABlankLine", "[Other]\nA=1\n\n", "Dir", "/x/",
                  "[Other]\nA=1\n\n[Settings]\nDir=/x/\n"},
        WriteCase{"CrLfKept", "[Settings]\r\nA=1\r\n", "B", "2", "[Settings]\r\nA=1\r\nB=2\r\n"},
        WriteCase{"CrLfValueReplaced", "[Settings]\r\nA=1\r\nB=2\r\n", "A", "9",
                  "[Settings]\r\nA=9\r\nB=2\r\n"},
        WriteCase{"LastLineClosed", "[Settings]\nA=1", "B", "2", "[Settings]\nA=1\nB=2\n"},
        WriteCase{"OtherLinesUntouched", "; note\n[Settings]\n  Dir = /old/ \nodd line\n[X]\nDir=keep\n",
                  "Dir", "/new/", "; note\n[Settings]\n  Dir =/new/\nodd line\n[X]\nDir=keep\n"},
        WriteCase{"SameKeyOfAnotherSectionUntouched", "[Other]\nDir=keep\n[Settings]\n", "Dir", "/x/",
                  "[Other]\nDir=keep\n[Settings]\nDir=/x/\n"}),
    [](const testing::TestParamInfo<WriteCase>& row) { return row.param.name; });

TEST(IniFile, RefusesLineBreaksThatWouldAddLines) {
    TempFolder folder;
    const std::string before = "[Settings]\nDir=/x/\n";
    qlm::test::WriteFile(folder.ini, before);
    EXPECT_EQ(WritePrivateProfileString("Settings", "Dir", "/a\nWarn=false\n", folder.ini), EINVAL);
    EXPECT_EQ(WritePrivateProfileString("Settings", "Di\rr", "x", folder.ini), EINVAL);
    EXPECT_EQ(WritePrivateProfileString("Set]tings", "Dir", "x", folder.ini), EINVAL);
    EXPECT_EQ(WritePrivateProfileString("Settings", "", "x", folder.ini), EINVAL);
    EXPECT_EQ(qlm::test::ReadFile(folder.ini), before);
}

TEST(IniFile, AFileThatCannotBeReadOrWrittenStaysAsItIs) {
    TempFolder folder;
    EXPECT_EQ(GetPrivateProfileString("Settings", "Dir", "fallback", folder / "none.ini"), "fallback");
    EXPECT_EQ(WritePrivateProfileString("Settings", "Dir", "/x/", folder / "missing/QLM.ini"), ENOENT);
    EXPECT_FALSE(fs::exists(folder / "missing"));
    fs::create_directory(folder.ini);
    EXPECT_EQ(WritePrivateProfileString("Settings", "Dir", "/x/", folder.ini), EISDIR);
    EXPECT_TRUE(fs::is_directory(folder.ini));
}

} // namespace

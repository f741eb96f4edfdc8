#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace qlm::platform;

namespace {

// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "qlm-ini-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct ReadCase {
    const char* name;
    std::string content;
    const char* key; // of section "Settings"
    std::string expected;
};

class IniRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsTheValue) {
    TempFolder folder;
    std::string file = folder.File("QLM.ini");
    WriteBytes(file, GetParam().content);
    EXPECT_EQ(GetPrivateProfileString("Settings", GetParam().key, "<none>", file), GetParam().expected);
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
    std::string file = folder.File("QLM.ini");
    if (GetParam().before != "<missing>")
        WriteBytes(file, GetParam().before);
    ASSERT_EQ(WritePrivateProfileString("Settings", GetParam().key, GetParam().value, file), 0);
    EXPECT_EQ(ReadBytes(file), GetParam().after);
    EXPECT_EQ(GetPrivateProfileString("Settings", GetParam().key, "<none>", file), GetParam().value);
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
    std::string file = folder.File("QLM.ini");
    const std::string before = "[Settings]\nDir=/x/\n";
    WriteBytes(file, before);
    EXPECT_EQ(WritePrivateProfileString("Settings", "Dir", "/a\nWarn=false\n", file), EINVAL);
    EXPECT_EQ(WritePrivateProfileString("Settings", "Di\rr", "x", file), EINVAL);
    EXPECT_EQ(WritePrivateProfileString("Set]tings", "Dir", "x", file), EINVAL);
    EXPECT_EQ(WritePrivateProfileString("Settings", "", "x", file), EINVAL);
    EXPECT_EQ(ReadBytes(file), before);
}

TEST(IniFile, AFileThatCannotBeReadOrWrittenStaysAsItIs) {
    TempFolder folder;
    EXPECT_EQ(GetPrivateProfileString("Settings", "Dir", "fallback", folder.File("none.ini")), "fallback");
    EXPECT_EQ(WritePrivateProfileString("Settings", "Dir", "/x/", folder.File("missing/QLM.ini")), ENOENT);
    EXPECT_FALSE(fs::exists(folder.File("missing")));
    std::string file = folder.File("QLM.ini");
    fs::create_directory(file);
    EXPECT_EQ(WritePrivateProfileString("Settings", "Dir", "/x/", file), EISDIR);
    EXPECT_TRUE(fs::is_directory(file));
}

} // namespace

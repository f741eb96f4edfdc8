#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
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

// A test name from a case's description: its letters and digits, each word capitalised.
std::string CaseName(const char* what) {
    std::string name;
    bool word_start = true;
    for (const char* c = what; *c != '\0'; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c))) {
            name += word_start ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
            word_start = false;
        } else {
            word_start = true;
        }
    }
    return name;
}

struct ReadCase {
    const char* what;
    std::string content;
    const char* section;
    const char* key;
    std::string expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.what;
}

class IniRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsTheValue) {
    TempFolder folder;
    std::string file = folder.File("QLM.ini");
    WriteBytes(file, GetParam().content);
    EXPECT_EQ(GetPrivateProfileString(GetParam().section, GetParam().key, "<none>", file),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniRead,
    testing::Values(
        ReadCase{"plain", "[Settings]\nDir=/home/u/\n", "Settings", "Dir", "/home/u/"},
        ReadCase{"names ignore case", "[sETTINGS]\nDIR=/x/\n", "Settings", "dir", "/x/"},
        ReadCase{"blanks around names and value", "  [ Settings ]  \n  Dir  =  /a b/  \t\n", "Settings",
                 "Dir", "/a b/"},
        ReadCase{"empty value is a value", "[Settings]\nWarn=\n", "Settings", "Warn", ""},
        ReadCase{"quotes taken off", "[Settings]\nDir=\"/x/\"\n", "Settings", "Dir", "/x/"},
        ReadCase{"lone quote kept", "[Settings]\nDir=\"\n", "Settings", "Dir", "\""},
        ReadCase{"inner quotes kept", "[Settings]\nDir=a\"b\"c\n", "Settings", "Dir", "a\"b\"c"},
        ReadCase{"value keeps its equals signs", "[Settings]\nDir=a=b\n", "Settings", "Dir", "a=b"},
        ReadCase{"CR LF lines", "[Settings]\r\nAlt=false\r\nWarn=true\r\n", "Settings", "Alt", "false"},
        ReadCase{"byte order mark", "\xEF\xBB\xBF[Settings]\nAlt=no\n", "Settings", "Alt", "no"},
        ReadCase{"last line without break", "[Settings]\nAlt=yes", "Settings", "Alt", "yes"},
        ReadCase{"key of another section", "[Other]\nDir=/o/\n[Settings]\nAlt=1\n", "Settings", "Dir",
                 "<none>"},
        ReadCase{"key before every section", "Dir=/o/\n[Settings]\n", "Settings", "Dir", "<none>"},
        ReadCase{"missing section", "[Other]\nDir=/o/\n", "Settings", "Dir", "<none>"},
        ReadCase{"first of twice", "[Settings]\nDir=/1/\nDir=/2/\n[Settings]\nDir=/3/\n", "Settings", "Dir",
                 "/1/"},
        ReadCase{"prefix is not the key", "[Settings]\nDirectory=/x/\n", "Settings", "Dir", "<none>"},
        ReadCase{"bytes above 127 pass", "[Settings]\nDir=/M\xFCll/\n", "Settings", "Dir", "/M\xFCll/"},
        ReadCase{"long value cut to 2047", "[Settings]\nDir=" + std::string(3000, 'x') + "\n", "Settings",
                 "Dir", std::string(2047, 'x')}),
    [](const testing::TestParamInfo<ReadCase>& row) { return CaseName(row.param.what); });

TEST(IniReadFile, AMissingFileGivesTheFallback) {
    TempFolder folder;
    EXPECT_EQ(GetPrivateProfileString("Settings", "Dir", "fallback", folder.File("none.ini")), "fallback");
}

struct WriteCase {
    const char* what;
    std::string before; // "<missing>": no file
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.what;
}

class IniWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyItsKey) {
    TempFolder folder;
    std::string file = folder.File("QLM.ini");
    if (GetParam().before != "<missing>")
        WriteBytes(file, GetParam().before);
    ASSERT_EQ(WritePrivateProfileString(GetParam().section, GetParam().key, GetParam().value, file), 0);
    EXPECT_EQ(ReadBytes(file), GetParam().after);
    EXPECT_EQ(GetPrivateProfileString(GetParam().section, GetParam().key, "<none>", file), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniWrite,
    testing::Values(
        WriteCase{"file created", "<missing>", "Settings", "Dir", "/x/", "[Settings]\nDir=/x/\n"},
        WriteCase{"empty file", "", "Settings", "Dir", "/x/", "[Settings]\nDir=/x/\n"},
        WriteCase{"value replaced", "[Settings]\nDir=/old/\nWarn=true\n", "Settings", "Dir", "/new/",
                  "[Settings]\nDir=/new/\nWarn=true\n"},
        WriteCase{"names matched without case", "[settings]\ndir=/old/\n", "Settings", "Dir", "/new/",
                  "[settings]\ndir=/new/\n"},
        WriteCase{"key added at the end of its section", "[Settings]\nDir=/a/\n\n[Other]\nWarn=x\n",
                  "Settings", "Warn", "false", "[Settings]\nDir=/a/\nWarn=false\n\n[Other]\nWarn=x\n"},
        WriteCase{"key added to an empty section", "[Settings]\n[Other]\nA=1\n", "Settings", "Alt", "true",
                  "[Settings]\nAlt=true\n[Other]\nA=1\n"},
        WriteCase{"section added", "[Other]\nA=1\n", "Settings", "Dir", "/x/",
                  "[Other]\nA=1\n\n[Settings]\nDir=/x/\n"},
        WriteCase{"section added after a blank line", "[Other]\nA=1\n\n", "Settings", "Dir", "/x/",
                  "[Other]\nA=1\n\n[Settings]\nDir=/x/\n"},
        WriteCase{"CR LF kept", "[Settings]\r\nA=1\r\n", "Settings", "B", "2",
                  "[Settings]\r\nA=1\r\nB=2\r\n"},
        WriteCase{"CR LF value replaced", "[Settings]\r\nA=1\r\nB=2\r\n", "Settings", "A", "9",
                  "[Settings]\r\nA=9\r\nB=2\r\n"},
        WriteCase{"last line closed", "[Settings]\nA=1", "Settings", "B", "2", "[Settings]\nA=1\nB=2\n"},
        WriteCase{"last line without break replaced", "[Settings]\nA=1", "Settings", "A", "2",
                  "[Settings]\nA=2"},
        WriteCase{"other lines untouched", "; note\n[Settings]\n  Dir = /old/ \nodd line\n[X]\nDir=keep\n",
                  "Settings", "Dir", "/new/", "; note\n[Settings]\n  Dir =/new/\nodd line\n[X]\nDir=keep\n"},
        WriteCase{"same key of another section untouched", "[Other]\nDir=keep\n[Settings]\n", "Settings",
                  "Dir", "/x/", "[Other]\nDir=keep\n[Settings]\nDir=/x/\n"},
        WriteCase{"empty value", "[Settings]\nDir=/x/\n", "Settings", "Dir", "", "[Settings]\nDir=\n"}),
    [](const testing::TestParamInfo<WriteCase>& row) { return CaseName(row.param.what); });

TEST(IniWriteFile, RefusesLineBreaksThatWouldAddLines) {
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

TEST(IniWriteFile, GivesTheErrorOfAFileThatCannotBeWritten) {
    TempFolder folder;
    EXPECT_EQ(WritePrivateProfileString("Settings", "Dir", "/x/", folder.File("missing/QLM.ini")), ENOENT);
    EXPECT_FALSE(fs::exists(folder.File("missing")));
}

TEST(IniWriteFile, DoesNotReplaceAFileItCannotRead) {
    TempFolder folder;
    std::string file = folder.File("QLM.ini");
    fs::create_directory(file);
    EXPECT_EQ(WritePrivateProfileString("Settings", "Dir", "/x/", file), EISDIR);
    EXPECT_TRUE(fs::is_directory(file));
}

} // namespace

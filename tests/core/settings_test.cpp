#include "core/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace qlm;

namespace {

// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "qlm-settings-XXXXXX").string();
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

struct BoolCase {
    const char* text;
    bool value;
};

void PrintTo(const BoolCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class MyStrToBoolTest : public testing::TestWithParam<BoolCase> {};

TEST_P(MyStrToBoolTest, OnlyTrueAndYesAreTrue) {
    EXPECT_EQ(MyStrToBool(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, MyStrToBoolTest,
                         testing::Values(BoolCase{"TRUE", true}, BoolCase{"true", true},
                                         BoolCase{"tRuE", true}, BoolCase{"YES", true}, BoolCase{"Yes", true},
                                         BoolCase{"yes", true}, BoolCase{"false", false}, BoolCase{"", false},
                                         BoolCase{"1", false}, BoolCase{"on", false}, BoolCase{"ja", false},
                                         BoolCase{"y", false}, BoolCase{"tru", false},
                                         BoolCase{"truee", false}, BoolCase{"yes ", false},
                                         BoolCase{"no", false}));

TEST(MyBoolToStr, ReadsBackAsTheSameState) {
    for (bool value : {true, false})
        EXPECT_EQ(MyStrToBool(MyBoolToStr(value)), value);
    EXPECT_STREQ(MyBoolToStr(true), "true");
    EXPECT_STREQ(MyBoolToStr(false), "false");
}

void ExpectFlags(const OptionFlags& flags, bool keywords, bool description, bool alt, bool warn,
                 bool img_wo_alt, bool thumbs_jpg) {
    EXPECT_EQ(flags.keywords, keywords);
    EXPECT_EQ(flags.description, description);
    EXPECT_EQ(flags.alt, alt);
    EXPECT_EQ(flags.warn, warn);
    EXPECT_EQ(flags.img_wo_alt, img_wo_alt);
    EXPECT_EQ(flags.thumbs_jpg, thumbs_jpg);
}

TEST(LoadSettings, AMissingFileGivesTheDefaults) {
    TempFolder folder;
    Settings settings = LoadSettings(folder.File(kSettingsFileName));
    EXPECT_EQ(settings.dir, "");
    ExpectFlags(settings.flags, true, true, true, true, true, false);
}

TEST(LoadSettings, OddValuesCountAsFalse) {
    TempFolder folder;
    std::string file = folder.File(kSettingsFileName);
    WriteBytes(file, "[Settings]\r\nKeywords=yes\r\nAlt=1\r\nWarn=\r\nThumbsJPG=TRUE\r\n");
    Settings settings = LoadSettings(file);
    EXPECT_EQ(settings.dir, "");
    ExpectFlags(settings.flags, true, true, false, false, true, true);
}

TEST(LoadSettings, TakesTheFolderUnchanged) {
    TempFolder folder;
    std::string file = folder.File(kSettingsFileName);
    WriteBytes(file, "[settings]\ndir=/gone/B\xE4ume\n");
    EXPECT_EQ(LoadSettings(file).dir, "/gone/B\xE4ume");
}

TEST(SaveSettings, WritesTheSevenKeysThatReadBack) {
    TempFolder folder;
    std::string file = folder.File(kSettingsFileName);
    Settings saved;
    saved.dir = "/home/u/B\xC3\xA4ume und Str\xC3\xA4ucher/";
    saved.flags = OptionFlags{false, true, false, true, false, true};
    ASSERT_TRUE(SaveSettings(file, saved));
    EXPECT_EQ(ReadBytes(file),
              "[Settings]\nDir=" + saved.dir +
                  "\nKeywords=false\nDescription=true\nAlt=false\nWarn=true\nImgWoAlt=false\n"
                  "ThumbsJPG=true\n");

    Settings loaded = LoadSettings(file);
    EXPECT_EQ(loaded.dir, saved.dir);
    ExpectFlags(loaded.flags, false, true, false, true, false, true);

    // Saving again changes the values in place.
    saved.flags = OptionFlags{};
    saved.dir = "/";
    ASSERT_TRUE(SaveSettings(file, saved));
    loaded = LoadSettings(file);
    EXPECT_EQ(loaded.dir, "/");
    ExpectFlags(loaded.flags, true, true, true, true, true, false);
}

TEST(SaveSettings, KeepsWhatElseTheFileHolds) {
    TempFolder folder;
    std::string file = folder.File(kSettingsFileName);
    WriteBytes(file, "[Window]\nLeft=225\n\n[Settings]\nWarn=yes\nExtra=kept\n");
    ASSERT_TRUE(SaveSettings(file, Settings{}));
    EXPECT_EQ(ReadBytes(file),
              "[Window]\nLeft=225\n\n[Settings]\nWarn=true\nExtra=kept\nDir=\nKeywords=true\n"
              "Description=true\nAlt=true\nImgWoAlt=true\nThumbsJPG=false\n");
}

TEST(SaveSettings, ReportsAFileThatCannotBeWritten) {
    TempFolder folder;
    std::string file = folder.File("missing/" + std::string(kSettingsFileName));
    EXPECT_FALSE(SaveSettings(file, Settings{}));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(SettingsWriteFailureText("/opt/qlm/QLM.ini"),
              "nach /opt/qlm/QLM.ini kann nicht geschrieben werden");
}

TEST(SaveSettings, RefusesAFolderThatWouldBreakTheFile) {
    TempFolder folder;
    std::string file = folder.File(kSettingsFileName);
    Settings odd;
    odd.dir = "/home/u/two\nlines/";
    odd.flags.keywords = false;
    EXPECT_FALSE(SaveSettings(file, odd));
    // Nothing after the failing key is written.
    EXPECT_TRUE(LoadSettings(file).flags.keywords);
}

} // namespace

#include "core/settings.h"

#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

namespace fs = std::filesystem;
using namespace qlm;

namespace {

// A fresh folder for one test; `ini` is the settings file in it.
struct TempFolder : test::TempFolder {
    const std::string ini = *this / kSettingsFileName;
};

// The six flags in their file order: Keywords, Description, Alt, Warn, ImgWoAlt, ThumbsJPG.
auto Flags(const OptionFlags& f) {
    return std::tuple(f.keywords, f.description, f.alt, f.warn, f.img_wo_alt, f.thumbs_jpg);
}

TEST(MyStrToBool, OnlyTrueAndYesInAnyCaseAreTrue) {
    for (const auto& [text, value] :
         {std::pair{"tRuE", true}, std::pair{"YES", true}, std::pair{"yes", true}, std::pair{"false", false},
          std::pair{"", false}, std::pair{"1", false}, std::pair{"y", false}, std::pair{"truee", false},
          std::pair{"yes ", false}})
        EXPECT_EQ(MyStrToBool(text), value) << '"' << text << '"';
}

TEST(LoadSettings, MissingKeysGiveTheDefaultsAndOddValuesCountAsFalse) {
    TempFolder folder;
    Settings defaults = LoadSettings(folder.ini);
    EXPECT_EQ(defaults.dir, "");
    EXPECT_EQ(Flags(defaults.flags), std::tuple(true, true, true, true, true, false));

    // The folder is taken as it is, even when it no longer exists or is no UTF-8.
    test::WriteFile(
        folder.ini,
        "[settings]\r\nKeywords=yes\r\nAlt=1\r\nWarn=\r\nThumbsJPG=TRUE\r\ndir=/gone/B\xE4ume\r\n");
    Settings odd = LoadSettings(folder.ini);
    EXPECT_EQ(odd.dir, "/gone/B\xE4ume");
    EXPECT_EQ(Flags(odd.flags), std::tuple(true, true, false, false, true, true));
}

TEST(SaveSettings, WritesTheSevenKeysThatReadBack) {
    TempFolder folder;
    Settings saved;
    saved.dir = "/home/u/B\xC3\xA4ume und Str\xC3\xA4ucher/";
    saved.flags = OptionFlags{false, true, false, true, false, true};
    ASSERT_TRUE(SaveSettings(folder.ini, saved));
    EXPECT_EQ(test::ReadFile(folder.ini),
              "[Settings]\nDir=" + saved.dir +
                  "\nKeywords=false\nDescription=true\nAlt=false\nWarn=true\nImgWoAlt=false\n"
                  "ThumbsJPG=true\n");
    Settings loaded = LoadSettings(folder.ini);
    EXPECT_EQ(loaded.dir, saved.dir);
    EXPECT_EQ(Flags(loaded.flags), Flags(saved.flags));
}

TEST(SaveSettings, KeepsWhatElseTheFileHolds) {
    TempFolder folder;
    test::WriteFile(folder.ini, "[Window]\nLeft=225\n\n[Settings]\nWarn=yes\nExtra=kept\n");
    ASSERT_TRUE(SaveSettings(folder.ini, Settings{}));
    EXPECT_EQ(test::ReadFile(folder.ini),
              "[Window]\nLeft=225\n\n[Settings]\nWarn=true\nExtra=kept\nDir=\nKeywords=true\n"
              "Description=true\nAlt=true\nImgWoAlt=true\nThumbsJPG=false\n");
}

TEST(SaveSettings, ReportsAFileThatCannotBeWritten) {
    TempFolder folder;
    std::string file = folder / ("missing/" + std::string(kSettingsFileName));
    EXPECT_FALSE(SaveSettings(file, Settings{}));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(SettingsWriteFailureText("/opt/qlm/QLM.ini"),
              "nach /opt/qlm/QLM.ini kann nicht geschrieben werden");
}

TEST(SaveSettings, RefusesAFolderThatWouldBreakTheFile) {
    TempFolder folder;
    Settings odd;
    odd.dir = "/home/u/two\nlines/";
    odd.flags.keywords = false;
    EXPECT_FALSE(SaveSettings(folder.ini, odd));
    // Nothing after the failing key is written.
    EXPECT_TRUE(LoadSettings(folder.ini).flags.keywords);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"

#include "platform/ini_file.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

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

// Every kind of line ending, also a mixture and a last line ending in a lone CR, must survive a
// save, give back the saved folder, and come out as writing key by key would have left it.
struct EndingCase {
    const char* name;
    std::string before;
};

class SettingsEndings : public testing::TestWithParam<EndingCase> {};

TEST_P(SettingsEndings, RoundTripAndMatchWritingKeyByKey) {
    TempFolder folder;
    const std::string key_by_key = folder / "key_by_key.ini";
    Settings saved;
    saved.dir = "/neu/";
    saved.flags.warn = false;
    test::WriteFile(folder.ini, GetParam().before);
    test::WriteFile(key_by_key, GetParam().before);

    ASSERT_TRUE(SaveSettings(folder.ini, saved));
    ASSERT_EQ(platform::WritePrivateProfileString(kSettingsSection, "Dir", saved.dir, key_by_key), 0);
    const std::pair<const char*, bool> flags[] = {{"Keywords", true}, {"Description", true},
                                                  {"Alt", true},      {"Warn", false},
                                                  {"ImgWoAlt", true}, {"ThumbsJPG", false}};
    for (const auto& [key, value] : flags)
        ASSERT_EQ(platform::WritePrivateProfileString(kSettingsSection, key, MyBoolToStr(value), key_by_key),
                  0);
    const std::string after = test::ReadFile(folder.ini);
    EXPECT_EQ(after, test::ReadFile(key_by_key));
    EXPECT_EQ(LoadSettings(folder.ini).dir, "/neu/");
    EXPECT_EQ(Flags(LoadSettings(folder.ini).flags), Flags(saved.flags));
    EXPECT_EQ(platform::GetPrivateProfileString("Other", "Left", "", folder.ini), "225");
    // The lines before the settings stay byte for byte, and a second save changes nothing.
    EXPECT_EQ(after.substr(0, GetParam().before.find("[Settings]")),
              GetParam().before.substr(0, GetParam().before.find("[Settings]")));
    ASSERT_TRUE(SaveSettings(folder.ini, saved));
    EXPECT_EQ(test::ReadFile(folder.ini), after);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, SettingsEndings,
    testing::Values(EndingCase{"CrLf", "[Other]\r\nLeft=225\r\n[Settings]\r\nDir=/alt/\r\n"},
                    EndingCase{"Lf", "[Other]\nLeft=225\n[Settings]\nDir=/alt/\n"},
                    EndingCase{"LoneCr", "[Other]\rLeft=225\r[Settings]\rDir=/alt/\r"},
                    EndingCase{"None", "[Other]\nLeft=225\n[Settings]\nDir=/alt/"},
                    EndingCase{"LastLineLoneCr", "[Other]\nLeft=225\n[Settings]\nWarn=true\nDir=/alt/\r"},
                    EndingCase{"LoneCrAfterTheSection", "[Other]\nLeft=225\n[Settings]\r"}),
    kRowName);

TEST(SaveSettings, AFiftyMegabyteFileKeepsEveryOtherByte) {
    TempFolder folder;
    std::string other = "[Window]\n";
    for (int i = 0; other.size() < (std::size_t{50} << 20); ++i)
        other += "Zeile" + std::to_string(i) + "=" + std::string(60, 'x') + "\n";
    test::WriteFile(folder.ini, other + "[Settings]\nDir=/alt/\n");
    Settings saved;
    saved.dir = "/neu/";
    ASSERT_TRUE(SaveSettings(folder.ini, saved));
    EXPECT_EQ(LoadSettings(folder.ini).dir, "/neu/");
    const std::string after = test::ReadFile(folder.ini);
    EXPECT_EQ(after.substr(0, other.size()), other);
    EXPECT_EQ(after.substr(other.size()), "[Settings]\nDir=/neu/\nKeywords=true\nDescription=true\nAlt=true\n"
                                          "Warn=true\nImgWoAlt=true\nThumbsJPG=false\n");
}

// A FIFO in the settings file's place is never waited for: the defaults, and nothing written.
TEST(Settings, AFifoIsNeitherWaitedForNorReplaced) {
    TempFolder folder;
    ASSERT_EQ(::mkfifo(folder.ini.c_str(), 0644), 0);
    ::alarm(20); // a hang ends the test program instead of the whole run
    const Settings loaded = LoadSettings(folder.ini);
    Settings saved;
    saved.dir = "/x/";
    const bool left_alone = SaveSettings(folder.ini, saved);
    ::alarm(0);
    EXPECT_EQ(loaded.dir, "");
    EXPECT_EQ(Flags(loaded.flags), std::tuple(true, true, true, true, true, false));
    EXPECT_TRUE(left_alone);
    struct stat state {};
    ASSERT_EQ(::lstat(folder.ini.c_str(), &state), 0);
    EXPECT_TRUE(S_ISFIFO(state.st_mode));
    EXPECT_EQ(folder.Listing(), kSettingsFileName);
}

// The settings file is the user's own to place: a link to it is followed, and a writable file in
// a read-only folder is written.
TEST(SaveSettings, FollowsALinkAndWritesAWritableFileInAReadOnlyFolder) {
    TempFolder folder, elsewhere;
    test::WriteFile(elsewhere / "real.ini", "[Settings]\nDir=/alt/\n");
    ASSERT_EQ(::symlink((elsewhere / "real.ini").c_str(), folder.ini.c_str()), 0);
    Settings saved;
    saved.dir = "/neu/";
    ASSERT_TRUE(SaveSettings(folder.ini, saved));
    EXPECT_TRUE(fs::is_symlink(folder.ini));
    EXPECT_EQ(LoadSettings(elsewhere / "real.ini").dir, "/neu/");

    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    uid_t nobody = 0;
    gid_t nogroup = 0;
    if (!test::NobodyIds(nobody, nogroup))
        GTEST_SKIP() << "no user nobody";
    const std::string locked = folder.MakeFolder("locked");
    test::WriteFile(locked + kSettingsFileName, "[Settings]\nDir=/alt/\n");
    ASSERT_EQ(::chmod(folder.Root().c_str(), 0755), 0);
    ASSERT_EQ(::chown((locked + kSettingsFileName).c_str(), nobody, nogroup), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    EXPECT_EQ(test::RunAsNobody([&] { return SaveSettings(locked + kSettingsFileName, saved) ? 0 : 1; }), 0);
    EXPECT_EQ(LoadSettings(locked + kSettingsFileName).dir, "/neu/");
    ::chmod(locked.c_str(), 0755);
}

} // namespace

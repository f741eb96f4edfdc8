// SPDX-License-Identifier: GPL-3.0-or-later
// The publishing targets remembered in the settings file: any folder name reads back as it was,
// folders whose names differ only in case keep their own targets, and the rest of the file stays.

#include "core/publish_targets.h"

#include "core/settings.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

using namespace qlm;

namespace {

struct TempFolder : test::TempFolder {
    const std::string ini = *this / kSettingsFileName;
};

TEST(PublishTargets, AnyFolderNameReadsBackAsItWas) {
    TempFolder folder;
    const std::string names[] = {
        "/home/anna/Bilder/",
        "/home/anna/a=b/",
        "/home/anna/100%25 echt/",
        "/home/anna/\"zitiert\"/",
        "/home/anna/zwei\nZeilen/",
        "/home/anna/Leer am Ende /",
        "/home/anna/Stra\xC3\x9F"
        "e/",
        "/home/anna/[Settings]/",
    };
    for (const std::string& name : names)
        ASSERT_EQ(RememberPublishTarget(folder.ini, name, name + "www/"), 0) << name;
    for (const std::string& name : names)
        EXPECT_EQ(RememberedPublishTarget(folder.ini, name), name + "www/") << name;
    // No line of the file was broken up or taken for a section.
    EXPECT_EQ(LoadSettings(folder.ini).dir, "");
}

TEST(PublishTargets, FoldersDifferingInCaseKeepTheirOwnTargets) {
    TempFolder folder;
    ASSERT_EQ(RememberPublishTarget(folder.ini, "/bilder/", "/www/klein/"), 0);
    ASSERT_EQ(RememberPublishTarget(folder.ini, "/Bilder/", "/www/gross/"), 0);
    EXPECT_EQ(RememberedPublishTarget(folder.ini, "/bilder/"), "/www/klein/");
    EXPECT_EQ(RememberedPublishTarget(folder.ini, "/Bilder/"), "/www/gross/");
    EXPECT_EQ(RememberedPublishTarget(folder.ini, "/BILDER/"), "");
    // A new target replaces the folder's old one in place.
    ASSERT_EQ(RememberPublishTarget(folder.ini, "/bilder/", "/www/neu/"), 0);
    EXPECT_EQ(test::ReadFile(folder.ini), "[Ver\xC3\xB6"
                                          "ffentlichen]\nOrdner1=/bilder/\nZiel1=/www/neu/\n"
                                          "Ordner2=/Bilder/\nZiel2=/www/gross/\n");
}

TEST(PublishTargets, TheSettingsStayByteForByte) {
    TempFolder folder;
    const std::string settings = "[Settings]\r\nDir=/bilder/\r\nKeywords=false\r\n";
    test::WriteFile(folder.ini, settings);
    ASSERT_EQ(RememberPublishTarget(folder.ini, "/bilder/", "/www/"), 0);
    EXPECT_EQ(test::ReadFile(folder.ini), settings + "\r\n[Ver\xC3\xB6"
                                                     "ffentlichen]\r\nOrdner1=/bilder/\r\nZiel1=/www/\r\n");
    // Saving the settings afterwards keeps the target.
    Settings changed = LoadSettings(folder.ini);
    changed.flags.keywords = true;
    ASSERT_TRUE(SaveSettings(folder.ini, changed));
    EXPECT_EQ(RememberedPublishTarget(folder.ini, "/bilder/"), "/www/");
}

TEST(PublishTargets, NamesTooLongForAValueAreNotRemembered) {
    TempFolder folder;
    const std::string long_name = "/" + std::string(2100, 'x') + "/";
    EXPECT_EQ(RememberPublishTarget(folder.ini, long_name, "/www/"), ENAMETOOLONG);
    EXPECT_EQ(RememberedPublishTarget(folder.ini, long_name), "");
    EXPECT_EQ(test::ReadFile(folder.ini), "");
}

} // namespace

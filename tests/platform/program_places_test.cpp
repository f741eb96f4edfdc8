// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/program_places.h"

#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qlm::platform;
using qlm::test::TempFolder;

namespace {

TEST(ChooseSettingsFile, KeepsTheFileBesideAWritableProgramAndOtherwiseInTheConfigFolder) {
    struct Case {
        const char* what;
        bool installed, folder_writable, file_writable;
        const char* config_home;
        const char* expected;
    };
    const Case cases[] = {
        {"build tree", false, true, false, "/home/u/.config/", "/opt/q/QLM.ini"},
        {"build tree, file present", false, true, true, "/home/u/.config/", "/opt/q/QLM.ini"},
        {"read-only folder, writable file kept", false, false, true, "/home/u/.config/", "/opt/q/QLM.ini"},
        {"read-only folder, no writable file", false, false, false, "/home/u/.config/",
         "/home/u/.config/quillmoor/QLM.ini"},
        // Root may write the installed binary folder, yet its settings belong to the user too.
        {"installed, folder writable", true, true, true, "/home/r/.config/",
         "/home/r/.config/quillmoor/QLM.ini"},
        {"installed, read-only", true, false, false, "/home/u/.config/", "/home/u/.config/quillmoor/QLM.ini"},
        {"no config folder known", true, false, false, "", "/opt/q/QLM.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettingsPlaceFacts facts;
        facts.executable_folder = "/opt/q/";
        facts.runs_from_installed_folder = c.installed;
        facts.folder_writable = c.folder_writable;
        facts.file_writable = c.file_writable;
        facts.config_home = c.config_home;
        EXPECT_EQ(ChooseSettingsFile(facts, "QLM.ini", "quillmoor"), c.expected);
    }
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(ConfigHome, TakesAnAbsoluteXdgConfigHomeElseTheHomeFolder) {
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/x/conf");
        ScopedEnv home("HOME", "/home/u");
        EXPECT_EQ(ConfigHome(), "/x/conf/");
    }
    {
        // A relative or empty XDG_CONFIG_HOME is not valid and is ignored.
        ScopedEnv xdg("XDG_CONFIG_HOME", "conf");
        ScopedEnv home("HOME", "/home/u/");
        EXPECT_EQ(ConfigHome(), "/home/u/.config/");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "");
        ScopedEnv home("HOME", nullptr);
        // The password database still knows a home folder for the user, if it knows the user.
        const std::string home_from_system = ConfigHome();
        if (::getpwuid(::geteuid()) == nullptr) {
            EXPECT_EQ(home_from_system, "");
            return;
        }
        ASSERT_FALSE(home_from_system.empty());
        EXPECT_EQ(home_from_system.front(), '/');
        EXPECT_TRUE(home_from_system.ends_with("/.config/")) << home_from_system;
    }
}

TEST(MakeFolderOf, CreatesMissingParentsOpenToTheUserAlone) {
    TempFolder dir;
    const std::string file = dir / "a/b/quillmoor/QLM.ini";
    ASSERT_EQ(MakeFolderOf(file), 0);
    struct stat state {};
    ASSERT_EQ(::stat((dir / "a/b/quillmoor").c_str(), &state), 0);
    EXPECT_TRUE(S_ISDIR(state.st_mode));
    EXPECT_EQ(state.st_mode & 0777, 0700u);
    EXPECT_FALSE(std::filesystem::exists(file)) << "only the folder is made";
    // Existing folders are fine; a file in the way is reported.
    EXPECT_EQ(MakeFolderOf(file), 0);
    dir.Put("plain");
    EXPECT_EQ(MakeFolderOf(dir / "plain/QLM.ini"), ENOTDIR);
    EXPECT_EQ(MakeFolderOf(dir / "plain/deeper/QLM.ini"), ENOTDIR);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Where the templates are looked for, what a failed search names, and the copy of the samples
// into the user's own folder.

#include "core/template_places.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <optional>

namespace qlm {
namespace {

using test::TempFolder;

void PutRequired(const TempFolder& folder, const std::string& sub, const std::string& mark) {
    for (const char* name : {"MainHead.html", "MainRep.html", "MainTail.html", "Pic.html"})
        folder.Put(sub + name, mark + name);
}

// Runs the test in a working directory and data home of its own, restoring both afterwards.
class TemplatePlacesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        old_dir_ = std::filesystem::current_path();
        if (const char* data = std::getenv("XDG_DATA_HOME"))
            old_data_ = data;
        wd_ = root_.MakeFolder("wd");
        data_ = root_.MakeFolder("data");
        std::filesystem::current_path(wd_);
        ::setenv("XDG_DATA_HOME", data_.c_str(), 1);
    }
    void TearDown() override {
        std::filesystem::current_path(old_dir_);
        if (old_data_)
            ::setenv("XDG_DATA_HOME", old_data_->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

    TempFolder root_;
    std::string wd_, data_;
    std::filesystem::path old_dir_;
    std::optional<std::string> old_data_;
};

TEST_F(TemplatePlacesTest, UserFolderFollowsTheDataHome) {
    EXPECT_EQ(UserTemplatesFolder(), data_ + "quillmoor/templates/");
    // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
    ::setenv("XDG_DATA_HOME", "relative", 1);
    const std::string home = root_.MakeFolder("home");
    const char* old_home = std::getenv("HOME");
    const std::string saved = old_home ? old_home : "";
    ::setenv("HOME", (root_.Root() + "/home").c_str(), 1);
    EXPECT_EQ(UserTemplatesFolder(), home + ".local/share/quillmoor/templates/");
    ::setenv("HOME", saved.c_str(), 1);
}

TEST_F(TemplatePlacesTest, SearchOrderIsWorkingDirectoryThenUserFolder) {
    const std::vector<std::string> folders = TemplateSearchFolders();
    ASSERT_GE(folders.size(), 2u);
    EXPECT_EQ(folders[0], "");
    EXPECT_EQ(folders[1], UserTemplatesFolder());
}

TEST_F(TemplatePlacesTest, TheFirstFolderHoldingAnyTemplateIsChosen) {
    const std::string user = root_.MakeFolder("data/quillmoor/templates");
    const std::string samples = root_.MakeFolder("samples");
    PutRequired(root_, "samples/", "sample ");
    const std::vector<std::string> folders{"", user, samples};
    // Nothing in the working directory or the user's folder: the samples.
    EXPECT_EQ(ChooseTemplateFolder(folders), samples);
    // The user's own set wins over the samples.
    PutRequired(root_, "data/quillmoor/templates/", "own ");
    EXPECT_EQ(ChooseTemplateFolder(folders), user);
    // A working directory with a single template is taken, so that the missing ones are named.
    root_.Put("wd/Pic.html", "");
    EXPECT_EQ(ChooseTemplateFolder(folders), "");
    // A folder of other files does not count.
    EXPECT_EQ(ChooseTemplateFolder({root_.MakeFolder("empty"), samples}), samples);
    // None at all: the first, whose loading then fails.
    EXPECT_EQ(ChooseTemplateFolder({root_.MakeFolder("none"), root_.MakeFolder("none2")}), root_ / "none/");
}

TEST_F(TemplatePlacesTest, AFailedSearchNamesEachFolderAndWhatIsMissing) {
    root_.Put("wd/MainHead.html", "");
    root_.Put("wd/Pic.html", "");
    const std::string missing = root_ / "gone/";
    // The search ends at the working directory, which has some: the folder after it is not named.
    const auto report = TemplateSearchReport({missing, "", root_.MakeFolder("after")});
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0].folder, missing);
    EXPECT_EQ(report[0].missing, "MainHead.html, MainRep.html, MainTail.html, Pic.html");
    EXPECT_EQ(report[1].folder, std::filesystem::canonical(wd_).string() + "/");
    EXPECT_EQ(report[1].missing, "MainRep.html, MainTail.html");
    // All there but unreadable names the folder alone.
    root_.MakeFolder("complete");
    PutRequired(root_, "complete/", "");
    const auto complete = TemplateSearchReport({root_ / "complete/"});
    ASSERT_EQ(complete.size(), 1u);
    EXPECT_EQ(complete[0].missing, "");
}

TEST_F(TemplatePlacesTest, TheSamplesAreCopiedIntoANewFolder) {
    PutRequired(root_, "", "sample ");
    root_.Put("InfoHead.html", "info");
    root_.Put("notes.txt", "not a template");
    const std::string own = data_ + "quillmoor/templates/";
    ASSERT_EQ(CopySampleTemplates(root_.Path(), own), 0);
    EXPECT_EQ(test::ReadFile(own + "MainHead.html"), "sample MainHead.html");
    EXPECT_EQ(test::ReadFile(own + "Pic.html"), "sample Pic.html");
    EXPECT_EQ(test::ReadFile(own + "InfoHead.html"), "info");
    EXPECT_FALSE(std::filesystem::exists(own + "notes.txt"));
    // Nothing of the copy's making is left beside it.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(data_ + "quillmoor"))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(TemplatePlacesTest, AnExistingOwnFolderIsNeverTouched) {
    PutRequired(root_, "", "sample ");
    const std::string own = root_.MakeFolder("data/quillmoor/templates");
    root_.Put("data/quillmoor/templates/MainHead.html", "edited by the user");
    ASSERT_EQ(CopySampleTemplates(root_.Path(), own), 0);
    EXPECT_EQ(test::ReadFile(own + "MainHead.html"), "edited by the user");
    EXPECT_FALSE(std::filesystem::exists(own + "Pic.html"));
    // An existing file of that name is not replaced either.
    const std::string file = root_.Put("data/plain", "keep");
    EXPECT_EQ(CopySampleTemplates(root_.Path(), file), 0);
    EXPECT_EQ(test::ReadFile(file), "keep");
}

TEST_F(TemplatePlacesTest, NoSamplesMakeNoFolder) {
    const std::string own = data_ + "quillmoor/templates/";
    EXPECT_EQ(CopySampleTemplates(root_.MakeFolder("nothing"), own), ENOENT);
    EXPECT_FALSE(std::filesystem::exists(own));
}

TEST_F(TemplatePlacesTest, AFailedCopyLeavesNoFolder) {
    PutRequired(root_, "", "sample ");
    // Far larger than any template (a sparse file, so it costs no space): refused on reading.
    std::filesystem::resize_file(root_ / "Pic.html", std::uintmax_t{1} << 30);
    const std::string own = data_ + "quillmoor/templates/";
    EXPECT_EQ(CopySampleTemplates(root_.Path(), own), EFBIG);
    EXPECT_FALSE(std::filesystem::exists(own));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(data_ + "quillmoor"))
        ++entries;
    EXPECT_EQ(entries, 0);
}

} // namespace
} // namespace qlm

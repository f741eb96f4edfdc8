// SPDX-License-Identifier: GPL-3.0-or-later
// Where the templates are looked for, which ones the user's own folder takes from a later folder,
// what a failed search names, and the copy of the samples into the user's own folder.

#include "core/template_places.h"
#include "core/templates.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <array>
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

TEST_F(TemplatePlacesTest, AnOwnFolderLackingTemplatesTakesEachFromTheFirstLaterFolderHoldingIt) {
    const std::string user = root_.MakeFolder("data/quillmoor/templates");
    const std::string more = root_.MakeFolder("more");
    const std::string samples = root_.MakeFolder("samples");
    PutRequired(root_, "data/quillmoor/templates/", "own ");
    PutRequired(root_, "samples/", "sample ");
    // A file renamed by hand: only that one comes from the samples.
    std::filesystem::rename(user + "Pic.html", user + "Pic.html.old");
    TemplateChoice choice = ChooseTemplates({"", user, samples});
    EXPECT_EQ(choice.sources.folder, user);
    EXPECT_EQ(choice.sources.required, (std::array<std::string, 4>{user, user, user, samples}));
    ASSERT_EQ(choice.borrowed.size(), 1u);
    EXPECT_EQ(choice.borrowed[0].name, "Pic.html");
    EXPECT_EQ(choice.borrowed[0].folder, samples);
    TemplateSet set;
    ASSERT_EQ(LoadTemplates(set, choice.sources, false), TemplateLoad::Ok);
    EXPECT_EQ(set.main_head, "own MainHead.html");
    EXPECT_EQ(set.main_tail, "own MainTail.html");
    EXPECT_EQ(set.pic, "sample Pic.html");
    EXPECT_EQ(BorrowedTemplatesWarning(choice), "Es fehlen Definitionsdatei(en) in " + user +
                                                    ": Pic.html\nErsatzweise genommen aus " + samples +
                                                    ": Pic.html");

    // Each missing one comes from the first later folder that holds it, and the warning says
    // which from where.
    std::filesystem::remove(user + "MainRep.html");
    root_.Put("more/MainRep.html", "more MainRep.html");
    choice = ChooseTemplates({"", user, more, samples});
    EXPECT_EQ(choice.sources.required, (std::array<std::string, 4>{user, more, user, samples}));
    ASSERT_EQ(LoadTemplates(set, choice.sources, false), TemplateLoad::Ok);
    EXPECT_EQ(set.main_rep, "more MainRep.html");
    EXPECT_EQ(set.pic, "sample Pic.html");
    EXPECT_EQ(BorrowedTemplatesWarning(choice), "Es fehlen Definitionsdatei(en) in " + user +
                                                    ": MainRep.html, Pic.html\nErsatzweise genommen aus " +
                                                    more + ": MainRep.html\nErsatzweise genommen aus " +
                                                    samples + ": Pic.html");

    // A complete folder borrows nothing and has nothing to say.
    const TemplateChoice complete = ChooseTemplates({"", samples});
    EXPECT_EQ(complete.sources.required, (std::array<std::string, 4>{samples, samples, samples, samples}));
    EXPECT_TRUE(complete.borrowed.empty());
    EXPECT_EQ(BorrowedTemplatesWarning(complete), "");
}

TEST_F(TemplatePlacesTest, TheWorkingDirectoryGivesItsWholeSetOrNone) {
    const std::string user = root_.MakeFolder("data/quillmoor/templates");
    const std::string samples = root_.MakeFolder("samples");
    PutRequired(root_, "data/quillmoor/templates/", "own ");
    PutRequired(root_, "samples/", "sample ");
    root_.Put("wd/MainHead.html", "wd head");
    const TemplateChoice choice = ChooseTemplates({"", user, samples});
    EXPECT_EQ(choice.sources.folder, "");
    EXPECT_EQ(choice.sources.required, (std::array<std::string, 4>{"", "", "", ""}));
    EXPECT_TRUE(choice.borrowed.empty());
    TemplateSet set;
    EXPECT_EQ(LoadTemplates(set, choice.sources, false), TemplateLoad::RequiredMissing);
    EXPECT_EQ(set.main_head, "wd head");
    EXPECT_EQ(set.main_rep, "");
}

TEST_F(TemplatePlacesTest, ATemplateNoLaterFolderHoldsFailsAndEveryFolderLookedInIsNamed) {
    const std::string user = root_.MakeFolder("data/quillmoor/templates");
    const std::string samples = root_.MakeFolder("samples");
    PutRequired(root_, "data/quillmoor/templates/", "own ");
    std::filesystem::remove(user + "Pic.html");
    root_.Put("samples/MainHead.html", "sample head");
    const std::vector<std::string> folders{"", user, samples};
    const TemplateChoice choice = ChooseTemplates(folders);
    EXPECT_EQ(choice.sources.required[3], user);
    EXPECT_TRUE(choice.borrowed.empty());
    TemplateSet set;
    EXPECT_EQ(LoadTemplates(set, choice.sources, false), TemplateLoad::RequiredMissing);
    // The samples were looked in for what the user's folder lacks, so they are named too.
    const auto report = TemplateSearchReport(folders);
    ASSERT_EQ(report.size(), 3u);
    EXPECT_EQ(report[0].missing, "MainHead.html, MainRep.html, MainTail.html, Pic.html");
    EXPECT_EQ(report[1].folder, user);
    EXPECT_EQ(report[1].missing, "Pic.html");
    EXPECT_EQ(report[2].folder, samples);
    EXPECT_EQ(report[2].missing, "MainRep.html, MainTail.html, Pic.html");
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

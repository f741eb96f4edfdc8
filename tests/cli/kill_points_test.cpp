// SPDX-License-Identifier: GPL-3.0-or-later
// quillmoor-make killed at every call that changes a file, on the kinds of folder where pages
// cannot simply be renamed into place: no hard links and no O_TMPFILE (FAT and exFAT sticks),
// hard-linked pages (a snapshot made with cp -al), on a file system with extended attributes and on
// one without, and a folder that allows no new files. After each kill the last complete version of
// every page is still whole in the folder, and the next run leaves each page with its new content
// and its previous one as the ".bak", and nothing else.

#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using qlm::test::ReadFile;
using qlm::test::TempFolder;
using qlm::test::WriteFile;

const std::vector<std::string> kPictures = {"checker.png", "exif_orientation_6.jpg"};
const std::vector<std::string> kPages = {"checker.html", "exif_orientation_6.html", "index.html"};

enum class Medium { Plain, NoLinks, HardLinks, HardLinksWithoutMarks, NoNewFiles };

struct Shim {
    Medium medium = Medium::NoLinks;
    std::string folder;     // the picture folder
    long kill_at = -1;      // the call to die at, or none
    std::string count_file; // where the number of calls goes, or nowhere
    std::string picture;    // the one picture to make the page of, or all
};

// Templates of version `v`: each version's pages are longer than the one before and made of a
// letter of their own, so that a page mixed of two versions is never taken for either.
void WriteTemplates(const fs::path& folder, int v) {
    fs::create_directories(folder);
    const std::string fill(30000 + 25000 * static_cast<std::size_t>(v), static_cast<char>('a' + v));
    WriteFile(folder / "MainHead.html", "<html>" + fill);
    WriteFile(folder / "MainRep.html", "<mypicfile>;");
    WriteFile(folder / "MainTail.html", "</html>");
    WriteFile(folder / "Pic.html", "<html><mypicfile>" + fill + "</html>");
}

// Runs quillmoor-make over `folder` with the templates of version `v` under the shim; gives the
// exit status as waitpid tells it.
int RunMake(const fs::path& templates, const Shim& shim) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("LD_PRELOAD", QLM_FS_SHIM, 1);
        ::setenv("QLM_SHIM_FOLDER", shim.folder.c_str(), 1);
        if (shim.medium == Medium::NoLinks)
            ::setenv("QLM_SHIM_NO_LINKS", "1", 1);
        if (shim.medium == Medium::HardLinksWithoutMarks)
            ::setenv("QLM_SHIM_NO_MARKS", "1", 1);
        if (shim.medium == Medium::NoNewFiles)
            ::setenv("QLM_SHIM_NO_NEW_FILES", "1", 1);
        if (shim.kill_at > 0)
            ::setenv("QLM_SHIM_KILL_AT", std::to_string(shim.kill_at).c_str(), 1);
        if (!shim.count_file.empty())
            ::setenv("QLM_SHIM_COUNT_FILE", shim.count_file.c_str(), 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        const char* picture = shim.picture.empty() ? nullptr : shim.picture.c_str();
        ::execl(QLM_MAKE_BINARY, QLM_MAKE_BINARY, "--no-ask", "--templates", templates.c_str(),
                shim.folder.c_str(), picture, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    return status;
}

using Versions = std::vector<std::map<std::string, std::string>>; // [v][page] = content

class KillPoints : public ::testing::TestWithParam<Medium> {
  protected:
    void SetUp() override {
        for (int v = 0; v < 3; ++v)
            WriteTemplates(root_ / ("templates" + std::to_string(v)), v);
        // What each version's pages hold, from a plain run.
        const fs::path reference = root_ / "reference";
        MakeFolder(reference);
        for (int v = 0; v < 3; ++v) {
            ASSERT_EQ(::system(("'" + std::string(QLM_MAKE_BINARY) + "' --no-ask --templates '" +
                                Templates(v).string() + "' '" + reference.string() + "' >/dev/null 2>&1")
                                   .c_str()),
                      0);
            versions_.emplace_back();
            for (const std::string& page : kPages)
                versions_.back()[page] = ReadFile(reference / page);
        }
    }

    fs::path Templates(int v) const { return root_ / ("templates" + std::to_string(v)); }

    static void MakeFolder(const fs::path& folder) {
        fs::create_directories(folder);
        for (const std::string& picture : kPictures)
            fs::copy_file(fs::path(QLM_TEST_DATA_DIR) / "pictures" / picture, folder / picture);
    }

    // A folder whose pages hold version 1 and their backups version 0, as the medium has them.
    fs::path Prepared(const std::string& name) {
        const fs::path folder = root_ / name;
        MakeFolder(folder);
        for (int v = 0; v < 2; ++v)
            EXPECT_EQ(RunMake(Templates(v), {Medium::Plain, folder.string() + "/", -1, "", ""}), 0);
        if (GetParam() == Medium::HardLinks || GetParam() == Medium::HardLinksWithoutMarks) {
            const fs::path snapshot = root_ / (name + "-snapshot");
            fs::create_directory(snapshot);
            for (const fs::directory_entry& entry : fs::directory_iterator(folder))
                fs::create_hard_link(entry.path(), snapshot / entry.path().filename());
        }
        return folder;
    }

    // True when `content` is whole somewhere in `folder`: as a file, or hidden as a temporary.
    static bool WholeIn(const fs::path& folder, const std::string& content) {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file() && ReadFile(entry.path()) == content)
                return true;
        return false;
    }

    // Which version `content` is of `page`, for the messages: "v0" to "v2", or what else it is.
    std::string Version(const std::string& page, const std::string& content) const {
        for (std::size_t v = 0; v < versions_.size(); ++v)
            if (content == versions_[v].at(page))
                return "v" + std::to_string(v);
        return content.empty() ? "empty" : "another " + std::to_string(content.size()) + " bytes";
    }

    // After a kill: version 1 of each page is whole somewhere; the page is version 1 or 2 unless
    // it is being rewritten in place with version 1 safe in its backup; the backup is version 0 or
    // 1 unless it is being rewritten with version 1 still in the page.
    void ExpectSafeAfterKill(const fs::path& folder, long at) {
        for (const std::string& page : kPages) {
            const std::string now = Version(page, ReadFile(folder / page));
            const std::string backup = Version(page, ReadFile(folder / (page + ".bak")));
            const std::string state =
                page + " " + now + ", backup " + backup + ", killed at " + std::to_string(at);
            EXPECT_TRUE(WholeIn(folder, versions_[1][page])) << state;
            EXPECT_TRUE(now == "v1" || now == "v2" || backup == "v1") << state;
            EXPECT_TRUE(backup == "v0" || backup == "v1" || now == "v1") << state;
        }
    }

    // After a run that cleaned up but did not write `page`: the page and its backup are two whole
    // versions in their order (or, for a page a killed rewrite left half new, the backup is the
    // version it had). A page rewritten in place takes its backup first, so a kill before the
    // page changed leaves both the same. In a folder that allows no new files the backup itself
    // can only be rewritten in place: a kill then may leave it half new while the page still holds
    // that version whole, until a run writes the page again.
    void ExpectUntouched(const fs::path& folder, const std::string& page, long at) {
        const std::string now = Version(page, ReadFile(folder / page));
        const std::string backup = Version(page, ReadFile(folder / (page + ".bak")));
        const std::string state =
            page + " " + now + ", backup " + backup + ", killed at " + std::to_string(at);
        if (GetParam() != Medium::NoLinks && now == "v1" && backup == "v1")
            return;
        if (GetParam() == Medium::NoNewFiles && now == "v1" && backup.starts_with("another"))
            return;
        EXPECT_EQ(backup, now == "v1" ? "v0" : "v1") << state;
    }

    // After the run that follows: the new version, the previous as the backup, nothing more.
    void ExpectFinished(const fs::path& folder, long at, const std::string& overview_before = {}) {
        std::size_t files = 0;
        for ([[maybe_unused]] const fs::directory_entry& entry : fs::directory_iterator(folder))
            ++files;
        EXPECT_EQ(files, kPictures.size() + 2 * kPages.size()) << "killed at " << at;
        for (const std::string& page : kPages) {
            const std::string backup = ReadFile(folder / (page + ".bak"));
            const std::string state = page + " " + Version(page, ReadFile(folder / page)) + ", backup " +
                                      Version(page, backup) + ", killed at " + std::to_string(at);
            EXPECT_TRUE(ReadFile(folder / page) == versions_[2][page]) << state;
            if (page == "index.html" && !overview_before.empty())
                EXPECT_TRUE(backup == overview_before) << state;
            else
                EXPECT_TRUE(backup == versions_[1][page]) << state;
        }
    }

    TempFolder root_;
    Versions versions_;
};

TEST_P(KillPoints, EveryPageKeepsAWholePreviousVersion) {
    ASSERT_EQ(versions_.size(), 3u);
    // How many calls a whole run makes.
    const fs::path counted = Prepared("counted");
    const std::string count_file = root_ / "count";
    ASSERT_EQ(RunMake(Templates(2), {GetParam(), counted.string() + "/", -1, count_file, ""}), 0);
    ExpectFinished(counted, 0);
    const long calls = std::atol(ReadFile(count_file).c_str());
    ASSERT_GT(calls, 10);
    RecordProperty("kill_points", static_cast<int>(calls));
    std::printf("%ld kill points\n", calls);

    for (long at = 1; at <= calls; ++at) {
        const fs::path folder = Prepared("run" + std::to_string(at));
        const int killed = RunMake(Templates(2), {GetParam(), folder.string() + "/", at, "", ""});
        ASSERT_TRUE(WIFEXITED(killed) && WEXITSTATUS(killed) == 137) << "not killed at " << at;
        ExpectSafeAfterKill(folder, at);
        // A run over the first picture alone clears what the kill left and leaves the second page.
        EXPECT_EQ(RunMake(Templates(2), {GetParam(), folder.string() + "/", -1, "", kPictures[0]}), 0) << at;
        ExpectUntouched(folder, kPages[1], at);
        const std::string partial_overview = ReadFile(folder / "index.html");
        EXPECT_EQ(RunMake(Templates(2), {GetParam(), folder.string() + "/", -1, "", ""}), 0)
            << "after " << at;
        ExpectFinished(folder, at, partial_overview);
        fs::remove_all(folder);
        if (HasFailure())
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Media, KillPoints,
                         ::testing::Values(Medium::NoLinks, Medium::HardLinks, Medium::HardLinksWithoutMarks,
                                           Medium::NoNewFiles),
                         [](const ::testing::TestParamInfo<Medium>& info) {
                             switch (info.param) {
                             case Medium::NoLinks:
                                 return "NoLinksNorUnnamedFiles";
                             case Medium::HardLinks:
                                 return "HardLinkedPages";
                             case Medium::HardLinksWithoutMarks:
                                 return "HardLinkedPagesWithoutMarks";
                             case Medium::NoNewFiles:
                                 return "FolderWithoutNewFiles";
                             case Medium::Plain:
                                 break;
                             }
                             return "";
                         });

} // namespace

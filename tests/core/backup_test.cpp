// SPDX-License-Identifier: GPL-3.0-or-later
// A ".bak" changes only together with its page; killed runs leave nothing that the next run keeps.

#include "core/picture_loader.h"
#include "core/text_file.h"
#include "core/thumbnail_maker.h"
#include "platform/file_marks.h"
#include "platform/file_ops.h"
#include "platform/globals.h"
#include "platform/temporary_files.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qlm {
namespace {

using test::TempFolder;

std::size_t CountIn(const std::string& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// Runs `body` as a user for whom a read-only file is read-only (root is not), or -1.
int AsPlainUser(const TempFolder& folder, const std::function<int()>& body) {
    if (::geteuid() != 0)
        return body();
    uid_t nobody = 0;
    gid_t nogroup = 0;
    if (!test::NobodyIds(nobody, nogroup))
        return -1;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Root()))
        if (::chown(entry.path().c_str(), nobody, nogroup) != 0)
            return -1;
    if (::chown(folder.Root().c_str(), nobody, nogroup) != 0)
        return -1;
    return test::RunAsNobody(body);
}

// The page the user edited by hand went to the ".bak" on the last run; the page is now read-only:
// the write fails, and the ".bak" keeps the edit, alone or in a batch.
TEST(Backup, APageThatCannotBeWrittenKeepsItsBackup) {
    for (const bool batched : {false, true}) {
        TempFolder folder;
        folder.Put("wald.html", "generiert");
        folder.Put("wald.html.bak", "von Hand bearbeitet");
        ASSERT_EQ(::chmod((folder / "wald.html").c_str(), 0444), 0);
        const int written = AsPlainUser(folder, [&] {
            if (!batched)
                return MyWriteFile(folder / "wald.html", "neu") ? 1 : 0;
            platform::WriteBatch batch;
            const bool started = MyWriteFile(folder / "wald.html", "neu", batch);
            return started && batch.Commit() ? 1 : 0;
        });
        if (written < 0)
            GTEST_SKIP() << "no user nobody";
        EXPECT_EQ(written, 0) << batched;
        EXPECT_EQ(folder.Listing(true), "wald.html=generiert|wald.html.bak=von Hand bearbeitet") << batched;
    }
}

// The page fails only when the batch puts it in place: its ".bak" stays as it was.
TEST(Backup, APageFailingAtTheCommitKeepsItsBackup) {
    TempFolder folder;
    folder.Put("a.html", "alt a");
    folder.Put("a.html.bak", "aelter a");
    folder.Put("b.html", "alt b");
    platform::WriteBatch batch;
    ASSERT_TRUE(MyWriteFile(folder / "a.html", "neu a", batch));
    ASSERT_TRUE(MyWriteFile(folder / "b.html", "neu b", batch));
    // Something else takes the name of the page meanwhile.
    ASSERT_EQ(::unlink((folder / "a.html").c_str()), 0);
    ASSERT_EQ(::mkdir((folder / "a.html").c_str(), 0755), 0);
    EXPECT_FALSE(batch.Commit());
    const std::vector<platform::WriteFailure> failures = batch.TakeFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].name, folder / "a.html");
    EXPECT_EQ(failures[0].part, platform::WriteFailure::Part::File);
    EXPECT_EQ(failures[0].error, EISDIR);
    EXPECT_EQ(folder.Get("a.html.bak"), "aelter a");
    EXPECT_EQ(folder.Get("b.html"), "neu b");
    EXPECT_EQ(folder.Get("b.html.bak"), "alt b");
    EXPECT_EQ(CountIn(folder.Root()), 4u);
}

// The page takes its new content, but its old version cannot become the backup: the failure names
// the backup, with its reason, and the old version waits under its temporary name for the next run.
TEST(Backup, ABackupFailingAtTheCommitIsToldFromItsPage) {
    TempFolder folder;
    folder.Put("a.html", "alt a");
    platform::WriteBatch batch;
    ASSERT_TRUE(MyWriteFile(folder / "a.html", "neu a", batch));
    // Something else takes the backup's name meanwhile.
    folder.MakeFolder("a.html.bak/x");
    EXPECT_FALSE(batch.Commit());
    const std::vector<platform::WriteFailure> failures = batch.TakeFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].name, folder / "a.html");
    EXPECT_EQ(failures[0].part, platform::WriteFailure::Part::Backup);
    EXPECT_NE(failures[0].error, 0);
    EXPECT_EQ(folder.Get("a.html"), "neu a");
    EXPECT_EQ(CountIn(folder.Root()), 3u);
    EXPECT_TRUE(batch.TakeFailures().empty());
}

// A batch flushed file by file (as while the machine holds much unwritten data of other programs)
// flushes on several threads: a result given to the wrong file would put an unflushed page in
// place or name one that was written. The file whose flush fails is named with its own error,
// keeps its old content and gets no backup, and its temporary goes.
TEST(Backup, FlushedFileByFileEachPageGetsItsOwnContentAndError) {
    constexpr int kPages = 40;
    constexpr int kUnflushable = 17;
    const auto page = [](int n) { return "p" + std::to_string(n) + ".html"; };
    TempFolder folder;
    for (int n = 0; n < kPages; ++n)
        folder.Put(page(n), "alt " + std::to_string(n));
    int pipe_ends[2] = {-1, -1};
    ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);

    platform::WriteBatch batch;
    batch.FlushEachFile();
    for (int n = 0; n < kPages; ++n) {
        const std::string path = folder / page(n);
        if (n != kUnflushable) {
            ASSERT_EQ(
                platform::ReplaceKeepingBackupIn(batch, path, "neu " + std::to_string(n), path + ".bak"), 0);
            continue;
        }
        // A descriptor that cannot be flushed (fsync of a pipe fails with EINVAL) in front of a
        // complete temporary: the batch closes the descriptor at its commit.
        const std::string temporary = folder.Put(".qlm-unflushable", "neu " + std::to_string(n));
        batch.Add({pipe_ends[0], path, temporary, path, path + ".bak", false, 6});
    }
    EXPECT_FALSE(batch.Commit());
    ::close(pipe_ends[1]);

    const std::vector<platform::WriteFailure> failures = batch.TakeFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].name, folder / page(kUnflushable));
    EXPECT_EQ(failures[0].part, platform::WriteFailure::Part::File);
    EXPECT_EQ(failures[0].error, EINVAL);
    for (int n = 0; n < kPages; ++n) {
        const std::string old_text = "alt " + std::to_string(n);
        if (n == kUnflushable) {
            EXPECT_EQ(folder.Get(page(n)), old_text);
            EXPECT_FALSE(platform::NameExists(folder / (page(n) + ".bak")));
        } else {
            EXPECT_EQ(folder.Get(page(n)), "neu " + std::to_string(n));
            EXPECT_EQ(folder.Get(page(n) + ".bak"), old_text);
        }
    }
    EXPECT_EQ(folder.Listing().find(".qlm-"), std::string::npos) << folder.Listing();
}

// The content of page `page` in generation `generation`.
std::string Generation(int generation, int page) {
    return "gen " + std::to_string(generation) + " page " + std::to_string(page);
}

// Runs killed at any moment while they write generation after generation of 64 pages in batches
// (60 trials): once the next run has begun, no ".bak" holds what its page holds (the version before
// the last change is never lost), and after one complete run the folder holds only pages and their
// backups.
TEST(Backup, KilledRunsNeverMakeABackupEqualToItsPage) {
    constexpr int kPages = 64;
    TempFolder folder;
    auto page_name = [&](int page) { return folder / ("p" + std::to_string(page) + ".html"); };
    for (int page = 0; page < kPages; ++page) {
        ASSERT_TRUE(MyWriteFile(page_name(page), Generation(0, page)));
        ASSERT_TRUE(MyWriteFile(page_name(page), Generation(1, page)));
    }
    std::srand(20261207);
    for (int trial = 0; trial < 60; ++trial) {
        int progress[2];
        ASSERT_EQ(::pipe(progress), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(progress[0]);
            platform::FolderRun run;
            run.Begin(folder.Path());
            for (int generation = 2 + trial * 1000;; ++generation) {
                platform::WriteBatch batch;
                for (int page = 0; page < kPages; ++page)
                    MyWriteFile(page_name(page), Generation(generation, page), batch);
                [[maybe_unused]] const ssize_t sent = ::write(progress[1], "c", 1);
                batch.Commit();
            }
        }
        ::close(progress[1]);
        char step;
        const int commits = 1 + std::rand() % 3;
        for (int i = 0; i < commits && ::read(progress[0], &step, 1) == 1; ++i) {
        }
        // Lands somewhere in the commit that follows, or in the writes after it.
        for (int spin = std::rand() % 20000; spin > 0; --spin)
            ::getppid();
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(progress[0]);
        platform::FolderRun next;
        ASSERT_EQ(next.Begin(folder.Path()), 0);
        for (int page = 0; page < kPages; ++page)
            ASSERT_NE(test::ReadFile(page_name(page) + ".bak"), test::ReadFile(page_name(page)))
                << "page " << page << " trial " << trial;
    }
    platform::FolderRun last;
    ASSERT_EQ(last.Begin(folder.Path()), 0);
    platform::WriteBatch batch;
    for (int page = 0; page < kPages; ++page)
        ASSERT_TRUE(MyWriteFile(page_name(page), Generation(0, page), batch));
    ASSERT_TRUE(batch.Commit());
    for (const std::string& name : test::Split(folder.Listing()))
        EXPECT_TRUE(name.ends_with(".html") || name.ends_with(".html.bak")) << name;
    EXPECT_EQ(CountIn(folder.Root()), 2u * kPages);
}

// Leftovers of killed runs go at the start of the next run, whether or not their files are written
// again: new names and the names of earlier versions, in the folder and among its web copies. Files
// of the user and the temporaries of a live write stay.
TEST(Backup, TheNextRunRemovesWhatKilledRunsLeft) {
    TempFolder folder;
    ASSERT_EQ(::mkdir((folder / "qlm-web").c_str(), 0755), 0);
    folder.Put("wald.html", "fertig");
    const auto temporary = [&](const std::string& target, platform::TemporaryKind kind, int n) {
        return platform::TemporaryName(folder / target, kind, n).substr(folder.Path().size());
    };
    for (const std::string& leftover :
         {temporary("wald.html", platform::TemporaryKind::NewContent, 0),
          temporary("t_wald.jpg", platform::TemporaryKind::NewContent, 2),
          temporary("qlm-web/wald_800.jpg", platform::TemporaryKind::NewContent, 0),
          std::string(".t_wald.jpg.qlm-new-4711-3"), std::string("..t_wald.jpg.qlm-new-4711-3.qlm-0"),
          std::string(".wald.html.qlm-2")})
        folder.Put(leftover, "Rest");
    const std::string live = temporary("index.html", platform::TemporaryKind::NewContent, 1);
    folder.Put(live, "laufend");
    const platform::FileDescriptor held(::open((folder / live).c_str(), O_RDONLY));
    ASSERT_EQ(::flock(held.get(), LOCK_EX), 0);
    for (const char* own :
         {".versteckt", "notiz.qlm-1", ".qlm-eigenes", ".notes.qlm-new-draft.txt", ".thesis.qlm-2024"})
        folder.Put(own, "vom Benutzer");

    platform::FolderRun run;
    ASSERT_EQ(run.Begin(folder.Path()), 0);
    EXPECT_EQ(folder.Listing(), ".notes.qlm-new-draft.txt|.qlm-eigenes|" + live +
                                    "|.thesis.qlm-2024|.versteckt|notiz.qlm-1|qlm-web|wald.html");
    EXPECT_EQ(CountIn(folder / "qlm-web"), 0u);
}

// An old version as the writer leaves it: under its name, marked for its page.
void PutOldVersion(TempFolder& folder, const std::string& page, int slot, const std::string& content,
                   const std::string& marked_for) {
    const std::string name =
        platform::TemporaryName(folder / page, platform::TemporaryKind::OldVersion, slot);
    folder.Put(name.substr(folder.Path().size()), content);
    if (!marked_for.empty()) {
        const platform::FileDescriptor fd(::open(name.c_str(), O_RDONLY));
        platform::MarkTemporary(fd.get(), marked_for);
    }
}

// A run killed after the new page took its place but before the old one became the ".bak": the
// next run makes it the ".bak"; killed before the page changed, the old version is dropped. An old
// version the program cannot tell for its own (not marked for that page where files carry marks)
// never replaces a ".bak": the user's own backup of a picture stays.
TEST(Backup, TheNextRunFinishesABackupThatWasOnItsWay) {
    TempFolder folder;
    folder.Put("neu.html", "neue Seite");
    folder.Put("neu.html.bak", "vorletzte");
    PutOldVersion(folder, "neu.html", 0, "letzte", "neu.html");
    folder.Put("IMG_0002.jpg", "Foto");
    folder.Put("IMG_0002.jpg.bak", "Sicherung des Nutzers");
    PutOldVersion(folder, "IMG_0002.jpg", 1, "fremd", "");
    PutOldVersion(folder, "IMG_0002.jpg", 2, "fremd", "anderes.html");
    const bool marks =
        platform::MarkedFor(platform::FileDescriptor(::open((folder / "neu.html").c_str(), O_RDONLY)).get(),
                            "") != platform::Mark::Unsupported;
    folder.Put("alt.html", "Seite");
    folder.Put("alt.html.bak", "vorige");
    ASSERT_EQ(
        ::link((folder / "alt.html").c_str(),
               platform::TemporaryName(folder / "alt.html", platform::TemporaryKind::OldVersion, 3).c_str()),
        0);
    platform::FolderRun run;
    ASSERT_EQ(run.Begin(folder.Path()), 0);
    const std::string strays =
        platform::TemporaryName("IMG_0002.jpg", platform::TemporaryKind::OldVersion, 1) + "=fremd|" +
        platform::TemporaryName("IMG_0002.jpg", platform::TemporaryKind::OldVersion, 2) + "=fremd|";
    ASSERT_TRUE(marks) << "the test folder's file system keeps no extended attributes";
    EXPECT_EQ(folder.Listing(true),
              strays + "IMG_0002.jpg=Foto|IMG_0002.jpg.bak=Sicherung des Nutzers|alt.html=Seite|"
                       "alt.html.bak=vorige|neu.html=neue Seite|neu.html.bak=letzte");
}

// Temporary names have a fixed length: a picture whose name is near the limit gets its thumbnail.
TEST(Backup, APictureWithALongNameGetsItsThumbnail) {
    TempFolder folder;
    for (const std::size_t length : {232u, 245u, 253u}) {
        const std::string name = std::string(length - 4, 'b') + ".png";
        folder.Put(name, test::ReadFile(std::string(QLM_TEST_DATA_DIR) + "/pictures/quadrants.png"));
        const ThumbnailResult made = MakeThumbnail(folder.Path(), name, false, 20);
        EXPECT_EQ(made.outcome, ThumbnailOutcome::Made) << length << " " << made.message;
        EXPECT_TRUE(platform::IsRegularFile(folder / ("t_" + name))) << length;
    }
    EXPECT_EQ(CountIn(folder.Root()), 6u);
}

// One run over a folder at a time: a second one is told the folder is in use until the first ends.
TEST(Backup, OneRunPerFolder) {
    TempFolder folder;
    platform::FolderRun first, second;
    ASSERT_EQ(first.Begin(folder.Path()), 0);
    EXPECT_EQ(second.Begin(folder.Path()), EBUSY);
    const pid_t child = ::fork();
    if (child == 0) {
        platform::FolderRun other;
        ::_exit(other.Begin(folder.Path()) == EBUSY ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    first.End();
    EXPECT_EQ(second.Begin(folder.Path()), 0);
}

// With a hard limit of 16 open files a run of 300 pages writes every one of them.
TEST(Backup, AFewDescriptorsStillWriteEveryPage) {
    TempFolder folder;
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{16, 16};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
            ::_exit(2);
        platform::WriteBatch batch;
        int failed = 0;
        for (int page = 0; page < 300; ++page)
            failed += MyWriteFile(folder / ("p" + std::to_string(page) + ".html"), "Seite", batch) ? 0 : 1;
        ::_exit(failed == 0 && batch.Commit() ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(CountIn(folder.Root()), 300u);
}

// A picture that cannot be opened because the program is out of descriptors is no missing picture:
// the failure says what it is.
TEST(Backup, RunningOutOfDescriptorsIsReportedAsSuch) {
    const std::string picture = std::string(QLM_TEST_DATA_DIR) + "/pictures/quadrants.png";
    const pid_t child = ::fork();
    if (child == 0) {
        // Asked first, so that the system's messages are loaded while files can still be opened.
        const std::string expected = platform::GetErrorText(EMFILE);
        const rlimit limit{64, 64};
        ::setrlimit(RLIMIT_NOFILE, &limit);
        while (::dup(0) >= 0) {
        }
        try {
            LoadPicture(picture, 0);
        } catch (const DecodeError& error) {
            // Descriptors back before anything else: a sanitizer's checks open files of their own.
            for (int fd = 3; fd < 65536; ++fd)
                ::close(fd);
            ::_exit(error.what() == expected ? 0 : 1);
        }
        ::_exit(2);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Backup, TheBatchSizesItselfFromTheFreeDescriptors) {
    EXPECT_EQ(platform::WriteBatch::WritesForLimit(16, 10), 1u);
    EXPECT_EQ(platform::WriteBatch::WritesForLimit(16, 20), 1u);
    EXPECT_EQ(platform::WriteBatch::WritesForLimit(1024, 24), 250u);
    EXPECT_EQ(platform::WriteBatch::WritesForLimit(1 << 20, 24), platform::WriteBatch::kMaxWrites);
}

} // namespace
} // namespace qlm

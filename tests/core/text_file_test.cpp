// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file reading and the crash-safe writing with its ".bak" copy.

#include "core/text_file.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qlm {
namespace {

using test::TempFolder;

// A zero byte does not end the text: what follows it is the user's text too.
TEST(ReadFile, GivesEveryByteZerosIncluded) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"eins\r\nzwei\r\n", "eins\r\nzwei\r\n"},
        {"Gr\xFC\xDF\x65 \x80", "Gr\xFC\xDF\x65 \x80"},
        {std::string("vor\0nach", 8), std::string("vor\0nach", 8)},
        {std::string("\0x", 2), std::string("\0x", 2)}};
    TempFolder folder;
    for (const auto& [content, expected] : cases) {
        folder.Put("f.txt", content);
        std::string text = "stale";
        ASSERT_TRUE(MyReadFile(folder / "f.txt", text)) << expected;
        EXPECT_EQ(text, expected);
    }
}

TEST(ReadFile, UnreadableNamesFailWithAnEmptyText) {
    TempFolder folder;
    ::mkdir((folder / "sub").c_str(), 0755);
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
    for (const char* name : {"missing.txt", "sub", "pipe"}) {
        std::string text = "stale";
        EXPECT_FALSE(MyReadFile(folder / name, text)) << name;
        EXPECT_EQ(text, "") << name;
    }
}

// Only a file that is not there is missing; one that is there but cannot be read must not be
// taken for missing, or its text would be replaced.
TEST(ReadFile, TellsAMissingFileFromOneThatCannotBeRead) {
    TempFolder folder;
    ::mkdir((folder / "sub.txt").c_str(), 0755);
    ASSERT_EQ(::mkfifo((folder / "pipe.txt").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("gone.txt", (folder / "dangling.txt").c_str()), 0);
    // Far larger than any text, and sparse, so it costs no disk space.
    const int huge = ::open((folder / "huge.txt").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::ftruncate(huge, off_t{300} << 20), 0);
    ::close(huge);
    folder.Put("locked.txt", "Text");
    ::chmod((folder / "locked.txt").c_str(), 0);
    const bool root_reads_all = ::geteuid() == 0;

    const std::pair<const char*, TextRead> cases[] = {
        {"missing.txt", TextRead::Missing},
        {"no-folder/a.txt", TextRead::Missing},
        {"dangling.txt", TextRead::Missing},
        {"sub.txt", TextRead::Unreadable},
        {"pipe.txt", TextRead::Unreadable},
        {"huge.txt", TextRead::Unreadable},
        {"locked.txt", root_reads_all ? TextRead::Read : TextRead::Unreadable}};
    for (const auto& [name, expected] : cases) {
        std::string text = "stale";
        EXPECT_EQ(ReadTextFile(folder / name, text), expected) << name;
        EXPECT_EQ(text, expected == TextRead::Read ? "Text" : "") << name;
    }
}

// A text that cannot be opened for want of descriptors is there all the same: it is neither
// missing (which a run would ask for and store) nor one of the unreadable files whose pages go
// without them, and the run stops at it.
TEST(ReadFile, RunningOutOfDescriptorsIsToldApart) {
    TempFolder folder;
    folder.Put("a.txt", "Text");
    const int outcome = test::RunOutOfDescriptors([&] {
        std::string text = "old";
        int error = 0;
        const TextRead read = ReadTextFile(folder / "a.txt", text, &error);
        return read == TextRead::OutOfDescriptors && error == EMFILE && text.empty() ? 0 : 1;
    });
    EXPECT_EQ(outcome, 0);
}

TEST(WriteFile, WritesExactlyTheBytesAndBacksUpOnlyAnExistingFile) {
    TempFolder folder;
    const std::string with_zero("a\r\nb\0c", 6);
    ASSERT_TRUE(MyWriteFile(folder / "title.txt", "ohne Zeilenende"));
    EXPECT_EQ(folder.Listing(true), "title.txt=ohne Zeilenende");
    ASSERT_TRUE(MyWriteFile(folder / "title.txt", with_zero));
    EXPECT_EQ(folder.Listing(true), "title.txt=" + with_zero + "|title.txt.bak=ohne Zeilenende");
    // A newer backup replaces the older one; an empty text leaves an empty file.
    ASSERT_TRUE(MyWriteFile(folder / "title.txt", ""));
    EXPECT_EQ(folder.Listing(true), "title.txt=|title.txt.bak=" + with_zero);
}

// Writing what a file already holds changes nothing: no write, no new time, no new backup, so the
// backup keeps the version before the last real change.
TEST(WriteFile, TheSameTextIsNotWrittenAgain) {
    TempFolder folder;
    const std::string page = folder / "index.html";
    ASSERT_TRUE(MyWriteFile(page, "erste"));
    ASSERT_TRUE(MyWriteFile(page, "zweite"));
    const timespec long_ago[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, page.c_str(), long_ago, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, (page + ".bak").c_str(), long_ago, 0), 0);

    ASSERT_TRUE(MyWriteFile(page, "zweite"));
    EXPECT_EQ(folder.Listing(true), "index.html=zweite|index.html.bak=erste");
    for (const std::string name : {"index.html", "index.html.bak"}) {
        struct stat state {};
        ASSERT_EQ(::stat((folder / name).c_str(), &state), 0);
        EXPECT_EQ(state.st_mtim.tv_sec, 1'000'000'000) << name;
    }
    // Any other text is written, one of the same length included.
    ASSERT_TRUE(MyWriteFile(page, "zweitE"));
    EXPECT_EQ(folder.Listing(true), "index.html=zweitE|index.html.bak=zweite");

    // A link is refused even where its target holds the text already.
    TempFolder outside;
    const std::string target = outside.Put("ziel", "gleich");
    ASSERT_EQ(::symlink(target.c_str(), (folder / "title.txt").c_str()), 0);
    EXPECT_FALSE(MyWriteFile(folder / "title.txt", "gleich"));
}

TEST(WriteFile, FailsWithoutTrace) {
    TempFolder folder;
    EXPECT_FALSE(MyWriteFile(folder / "no-such-folder/index.html", "x"));
    ::mkdir((folder / "page.html").c_str(), 0755);
    EXPECT_FALSE(MyWriteFile(folder / "page.html", "x"));
    EXPECT_EQ(folder.Listing(), "page.html");
}

TEST(WriteFile, NeverWritesOrCopiesThroughALink) {
    TempFolder outside, folder;
    const std::string key = outside.Put("key", "geheim");
    ASSERT_EQ(::symlink(key.c_str(), (folder / "bild.html").c_str()), 0);
    folder.Put("index.html", "alt");
    ASSERT_EQ(::symlink(key.c_str(), (folder / "index.html.bak").c_str()), 0);
    ASSERT_EQ(::symlink((outside / "new").c_str(), (folder / "title.txt").c_str()), 0);

    EXPECT_FALSE(MyWriteFile(folder / "bild.html", "neu"));
    EXPECT_FALSE(MyWriteFile(folder / "index.html", "neu"));
    EXPECT_FALSE(MyWriteFile(folder / "title.txt", "neu"));
    EXPECT_EQ(outside.Listing(true), "key=geheim");
    EXPECT_EQ(folder.Get("index.html"), "alt");
    EXPECT_EQ(folder.Listing(), "bild.html|index.html|index.html.bak|title.txt");
}

// A page linked under a second name stays one file with it; a backup that is a link of its own
// page must become a file of its own, or it would change with the page.
TEST(WriteFile, KeepsHardLinksAndGivesTheBackupAFileOfItsOwn) {
    TempFolder folder;
    folder.Put("a.html", "alt a");
    ASSERT_EQ(::link((folder / "a.html").c_str(), (folder / "a-zweit.html").c_str()), 0);
    folder.Put("b.html", "alt b");
    ASSERT_EQ(::link((folder / "b.html").c_str(), (folder / "b.html.bak").c_str()), 0);

    ASSERT_TRUE(MyWriteFile(folder / "a.html", "neu"));
    ASSERT_TRUE(MyWriteFile(folder / "b.html", "neu b"));
    EXPECT_EQ(folder.Listing(true),
              "a-zweit.html=neu|a.html=neu|a.html.bak=alt a|b.html=neu b|b.html.bak=alt b");
}

// A folder that allows no new files: a page and its backup that may be written are rewritten in
// place; without a backup that could be made, the page stays as it is.
TEST(WriteFile, InAReadOnlyFolderRewritesOnlyWhatItCanBackUp) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    uid_t nobody = 0;
    gid_t nogroup = 0;
    if (!test::NobodyIds(nobody, nogroup))
        GTEST_SKIP() << "no user nobody";
    TempFolder folder;
    ASSERT_EQ(::chmod(folder.Root().c_str(), 0755), 0);
    for (const char* name : {"a.html", "a.html.bak", "b.html"}) {
        folder.Put(name, std::string("alt ") + name);
        ASSERT_EQ(::chown((folder / name).c_str(), nobody, nogroup), 0);
    }
    ASSERT_EQ(::chown(folder.Root().c_str(), nobody, nogroup), 0);
    ASSERT_EQ(::chmod(folder.Root().c_str(), 0555), 0);

    EXPECT_EQ(test::RunAsNobody([&] { return MyWriteFile(folder / "a.html", "neu") ? 0 : 1; }), 0);
    EXPECT_EQ(test::RunAsNobody([&] { return MyWriteFile(folder / "b.html", "neu") ? 0 : 1; }), 1);
    EXPECT_EQ(folder.Listing(true), "a.html=neu|a.html.bak=alt a.html|b.html=alt b.html");
}

// A file system of 64 KB mounted at `folder` for one test, unmounted at its end.
struct SmallDisk {
    explicit SmallDisk(const std::string& folder) : path(folder) {
        ::mkdir(path.c_str(), 0755);
        ok = ::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallDisk() {
        if (ok)
            ::umount(path.c_str());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    std::string path;
    bool ok = false;
};

// Fills the file system of `folder` with the file "filler", block by block and then, with
// `to_the_last_byte`, byte by byte.
void FillUp(const std::string& folder, bool to_the_last_byte) {
    const int fd = ::open((folder + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    char block[4096] = {};
    while (::write(fd, block, sizeof block) > 0) {
    }
    while (to_the_last_byte && ::write(fd, block, 1) > 0) {
    }
    ::close(fd);
}

TEST(WriteFile, AFullDiskLeavesTheOldFileWhole) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    TempFolder folder;
    const std::string disk = folder / "disk";
    const SmallDisk mounted(disk);
    if (!mounted.ok)
        GTEST_SKIP() << "mount refused: " << std::strerror(errno);
    const std::string old_page(10000, 'o');
    ASSERT_TRUE(MyWriteFile(disk + "/index.html", old_page));
    FillUp(disk, true);

    EXPECT_FALSE(MyWriteFile(disk + "/index.html", std::string(100000, 'n')));
    EXPECT_EQ(folder.Get("disk/index.html"), old_page);
    // Neither the failed page nor a failed backup leaves anything behind but the files themselves.
    for (const auto& entry : std::filesystem::directory_iterator(disk))
        EXPECT_TRUE(entry.path().filename() == "index.html" || entry.path().filename() == "index.html.bak" ||
                    entry.path().filename() == "filler")
            << entry.path();
}

// Room enough for a small new page but not for the backup of the old one: the old page must not
// be replaced without its backup.
TEST(WriteFile, NoBackupNoReplacement) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    TempFolder folder;
    const std::string disk = folder / "disk";
    const SmallDisk mounted(disk);
    if (!mounted.ok)
        GTEST_SKIP() << "mount refused: " << std::strerror(errno);
    const std::string old_page(20000, 'o');
    ASSERT_TRUE(MyWriteFile(disk + "/index.html", old_page));
    test::WriteFile(disk + "/spare", std::string(4096, 's'));
    FillUp(disk, false);
    ::unlink((disk + "/spare").c_str()); // one page of room again

    // The old page becomes the backup without a copy (a second link), so a page of room is enough;
    // either way the page is never replaced without its backup.
    if (MyWriteFile(disk + "/index.html", "neu")) {
        EXPECT_EQ(folder.Get("disk/index.html"), "neu");
        EXPECT_EQ(folder.Get("disk/index.html.bak"), old_page);
    } else {
        EXPECT_EQ(folder.Get("disk/index.html"), old_page);
        EXPECT_EQ(folder.Get("disk/index.html.bak"), "<missing disk/index.html.bak>");
    }
}

// A page rewritten in place cannot wait for the batch; its backup, waiting there, goes first.
TEST(WriteFile, InABatchTheBackupOfAPageRewrittenInPlaceGoesFirst) {
    TempFolder folder;
    folder.Put("a.html", "alt a");
    ASSERT_EQ(::link((folder / "a.html").c_str(), (folder / "a-zweit.html").c_str()), 0);
    platform::WriteBatch batch;
    ASSERT_TRUE(MyWriteFile(folder / "a.html", "neu", batch));
    EXPECT_EQ(batch.Size(), 0u);
    EXPECT_EQ(folder.Listing(true), "a-zweit.html=neu|a.html=neu|a.html.bak=alt a");
}

// A run of more pages than a batch may hold open commits on the way and leaves every page in
// place, none with a backup it does not need, and no temporary file behind.
TEST(WriteFile, ALargeRunCommitsBatchesOnTheWay) {
    TempFolder folder;
    const std::size_t pages = platform::WriteBatch::MaxWrites() + 5;
    platform::WriteBatch batch;
    for (std::size_t page = 0; page < pages; ++page) {
        ASSERT_TRUE(MyWriteFile(folder / ("p" + std::to_string(page) + ".html"),
                                "Seite " + std::to_string(page), batch));
        ASSERT_LE(batch.Size(), platform::WriteBatch::MaxWrites());
    }
    ASSERT_TRUE(batch.Commit());
    const std::string listing = folder.Listing(true);
    EXPECT_EQ(listing.find(".bak"), std::string::npos);
    EXPECT_EQ(listing.find(".qlm-"), std::string::npos);
    EXPECT_EQ(folder.Get("p0.html"), "Seite 0");
    EXPECT_EQ(folder.Get("p" + std::to_string(pages - 1) + ".html"), "Seite " + std::to_string(pages - 1));
}

// New pages wait in their batch without a name: a file that another program gives that name
// meanwhile keeps its content (the page is reported instead), a new page gets the usual mode, and
// a writer killed before the commit leaves nothing behind that a later run must clear up.
TEST(WriteFile, NewPagesInABatchNeitherReplaceAFileMadeMeanwhileNorLeaveAnythingWhenKilled) {
    TempFolder folder;
    platform::WriteBatch batch;
    ASSERT_TRUE(MyWriteFile(folder / "a.html", "neu a", batch));
    ASSERT_TRUE(MyWriteFile(folder / "b.html", "neu b", batch));
    folder.Put("a.html", "vom Nutzer");
    EXPECT_FALSE(batch.Commit());
    const std::vector<platform::WriteFailure> failures = batch.TakeFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].name, folder / "a.html");
    EXPECT_EQ(failures[0].error, EEXIST);
    EXPECT_EQ(folder.Listing(true), "a.html=vom Nutzer|b.html=neu b");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat state {};
    ASSERT_EQ(::stat((folder / "b.html").c_str(), &state), 0);
    EXPECT_EQ(state.st_mode & 0777, 0666 & ~mask);

    TempFolder killed;
    const pid_t child = ::fork();
    if (child == 0) {
        platform::WriteBatch open_batch;
        for (int page = 0; page < 20; ++page)
            MyWriteFile(killed / ("p" + std::to_string(page) + ".html"), "Seite", open_batch);
        ::raise(SIGKILL);
    }
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(killed.Listing(), "");
}

// The content of page `page` in generation `generation`: lengths differ from one generation to the
// next, and the closing mark shows that a file is whole.
std::string PageContent(int generation, int page) {
    return "gen " + std::to_string(generation) + " page " + std::to_string(page) + " " +
           std::string(static_cast<std::size_t>((generation * 7919 + page * 104729) % 20000), 'x') + "|end";
}

// Whole when it is the content of that page in some generation.
bool IsWholePage(const std::string& content, int page) {
    const std::size_t space = content.find(' ', 4);
    if (!content.starts_with("gen ") || space == std::string::npos)
        return false;
    return content == PageContent(std::stoi(content.substr(4, space - 4)), page);
}

// Killed at random moments while it writes generation after generation of pages in batches, with
// their backups, a run leaves every page and every backup whole, and the next write clears the
// temporary files it left.
TEST(WriteFile, ABatchKilledAtAnyMomentLeavesEveryFileWhole) {
    constexpr int kPages = 12;
    TempFolder folder;
    auto page_name = [&](int page) { return folder / ("p" + std::to_string(page) + ".html"); };
    for (int page = 0; page < kPages; ++page)
        ASSERT_TRUE(MyWriteFile(page_name(page), PageContent(0, page)));
    std::srand(20261207);
    for (int kill = 0; kill < 20; ++kill) {
        int progress[2];
        ASSERT_EQ(::pipe(progress), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(progress[0]);
            for (int generation = 1 + kill * 1000;; ++generation) {
                platform::WriteBatch batch;
                for (int page = 0; page < kPages; ++page) {
                    MyWriteFile(page_name(page), PageContent(generation, page), batch);
                    [[maybe_unused]] const ssize_t sent = ::write(progress[1], "w", 1);
                }
                batch.Commit();
                [[maybe_unused]] const ssize_t sent = ::write(progress[1], "c", 1);
            }
        }
        ::close(progress[1]);
        // The kill lands wherever the writer is after a random number of steps.
        const int steps = 1 + std::rand() % (3 * kPages);
        char step;
        for (int i = 0; i < steps && ::read(progress[0], &step, 1) == 1; ++i) {
        }
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(progress[0]);
        for (int page = 0; page < kPages; ++page) {
            EXPECT_TRUE(IsWholePage(test::ReadFile(page_name(page)), page))
                << "page " << page << " kill " << kill;
            const std::string backup = test::ReadFile(page_name(page) + ".bak");
            EXPECT_TRUE(backup.empty() || IsWholePage(backup, page)) << "backup " << page << " kill " << kill;
        }
    }
    platform::WriteBatch batch;
    for (int page = 0; page < kPages; ++page)
        ASSERT_TRUE(MyWriteFile(page_name(page), PageContent(0, page), batch));
    ASSERT_TRUE(batch.Commit());
    EXPECT_EQ(folder.Listing().find(".qlm-"), std::string::npos) << folder.Listing();
}

} // namespace
} // namespace qlm

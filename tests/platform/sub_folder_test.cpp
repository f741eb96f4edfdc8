// SPDX-License-Identifier: GPL-3.0-or-later
// A sub-folder opened for a run: only a folder of its own is opened (a link of its name, to any
// folder, and a file are refused), and what is written through it stays in the folder opened when
// a link takes its name meanwhile; the clean-up of temporaries does not reach through a link.

#include "platform/file_ops.h"
#include "platform/sub_folder.h"
#include "platform/temporary_files.h"

#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

namespace qlm::platform {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

TEST(SubFolder, OnlyAFolderOfItsOwnIsOpenedOrMade) {
    TempFolder folder, outside;
    fs::create_directory_symlink(outside.Root(), folder / "link");
    folder.Put("file", "mine");
    SubFolder sub;
    EXPECT_TRUE(IsNotAFolder(sub.Open(folder.Path(), "link", true)));
    EXPECT_TRUE(sub.Path().empty());
    EXPECT_FALSE(sub.StillThere());
    EXPECT_TRUE(IsNotAFolder(sub.Open(folder.Path(), "file", true)));
    EXPECT_EQ(folder.Get("file"), "mine");
    EXPECT_EQ(sub.Open(folder.Path(), "new", false), ENOENT);
    EXPECT_FALSE(fs::exists(folder / "new"));
    EXPECT_EQ(sub.Open(folder.Path(), "new", true), 0);
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(folder / "new")));
    EXPECT_EQ(outside.Listing(), "");
}

// The folder is moved away and a link to another folder takes its name, as a swap during a run
// would: a new file written through the folder opened (a file without a name, named at the commit)
// lands in the folder opened, and nothing reaches the other.
TEST(SubFolder, WritesStayInTheFolderOpenedWhenALinkTakesItsName) {
    TempFolder folder, outside;
    folder.MakeFolder("web");
    SubFolder sub;
    ASSERT_EQ(sub.Open(folder.Path(), "web", false), 0);
    fs::rename(folder / "web", folder / "moved");
    fs::create_directory_symlink(outside.Root(), folder / "web");
    // Through /proc/self/fd the descriptor reaches the folder opened whatever its name.
    ASSERT_TRUE(sub.StillThere()) << sub.Path();
    WriteBatch batch;
    ASSERT_EQ(WriteNewFileIn(batch, sub.Path() + "a_800.jpg", "copy"), 0);
    EXPECT_TRUE(batch.Commit());
    EXPECT_EQ(folder.Get("moved/a_800.jpg"), "copy");
    EXPECT_EQ(outside.Listing(), "");
}

// A killed run's temporary behind a link of the copies' folder's name is another folder's file.
TEST(SubFolder, TheCleanUpDoesNotReachThroughALinkOfTheCopiesFolder) {
    TempFolder folder, outside;
    const std::string stale = TemporaryName(outside / "a_800.jpg", TemporaryKind::NewContent, 0);
    test::WriteFile(stale, "left");
    fs::create_directory_symlink(outside.Root(), folder / "qlm-web");
    CleanUpTemporaries(folder.Path());
    EXPECT_EQ(test::ReadFile(stale), "left");
    fs::remove(folder / "qlm-web");
    fs::rename(outside.Root(), folder / "qlm-web");
    CleanUpTemporaries(folder.Path());
    EXPECT_EQ(folder.Listing(), "qlm-web");
    EXPECT_TRUE(fs::is_empty(folder / "qlm-web"));
    fs::create_directory(outside.Root()); // for its clean-up
}

} // namespace
} // namespace qlm::platform

// SPDX-License-Identifier: GPL-3.0-or-later
// The makers' batch of new files: what a report may rely on when it runs, and that a file that
// appeared meanwhile is never replaced.
#include "core/new_file_batch.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace qlm {
namespace {

using test::TempFolder;

TEST(NewFileBatch, NothingIsInPlaceBeforeTheCommitAndEverythingAfterIt) {
    TempFolder folder;
    NewFileBatch batch;
    ASSERT_EQ(batch.Write(folder / "t_a.jpg", "thumb a"), 0);
    ASSERT_EQ(batch.Write(folder / "t_b.jpg", "thumb b"), 0);
    // Only temporaries exist until the commit: a reader never sees a half-made thumbnail.
    EXPECT_EQ(folder.Get("t_a.jpg"), "<missing t_a.jpg>");
    batch.Finish();
    EXPECT_EQ(folder.Listing(true), "t_a.jpg=thumb a|t_b.jpg=thumb b");
    EXPECT_EQ(batch.Outcome(folder / "t_a.jpg"), 0);
}

TEST(NewFileBatch, ReportsRunAfterTheirFilesAreInPlaceAndInTheirOrder) {
    TempFolder folder;
    NewFileBatch batch;
    std::vector<std::string> seen;
    for (const std::string name : {"t_1.jpg", "t_2.jpg", "t_3.jpg"}) {
        ASSERT_EQ(batch.Write(folder / name, name), 0);
        batch.Then([&seen, &folder, name] { seen.push_back(name + ":" + folder.Get(name)); });
    }
    EXPECT_TRUE(seen.empty());
    batch.Finish();
    EXPECT_EQ(seen, (std::vector<std::string>{"t_1.jpg:t_1.jpg", "t_2.jpg:t_2.jpg", "t_3.jpg:t_3.jpg"}));
}

TEST(NewFileBatch, AFileThatAppearedMeanwhileKeepsItsContentAndIsReportedTaken) {
    TempFolder folder;
    NewFileBatch batch;
    ASSERT_EQ(batch.Write(folder / "t_a.jpg", "made by the batch"), 0);
    ASSERT_EQ(batch.Write(folder / "t_b.jpg", "b"), 0);
    folder.Put("t_a.jpg", "the user's own");
    int outcome = -1;
    batch.Then([&] { outcome = batch.Outcome(folder / "t_a.jpg"); });
    batch.Finish();
    EXPECT_EQ(outcome, EEXIST);
    EXPECT_EQ(batch.Outcome(folder / "t_b.jpg"), 0);
    // The user's file stays, and no temporary of the dropped one is left behind.
    EXPECT_EQ(folder.Listing(true), "t_a.jpg=the user's own|t_b.jpg=b");
}

TEST(NewFileBatch, AFolderThatCannotBeWrittenGivesItsErrorAtOnce) {
    TempFolder folder;
    NewFileBatch batch;
    EXPECT_EQ(batch.Write(folder / "missing/t_a.jpg", "a"), ENOENT);
    batch.Finish();
    EXPECT_EQ(folder.Listing(), "");
}

} // namespace
} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
// The commit of a batch that flushes its files one by one on several threads, as it does while
// the machine holds much unwritten data of other programs.

#include "platform/file_ops.h"

#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace qlm::platform {
namespace {

std::string Page(int n) {
    return "p" + std::to_string(n) + ".html";
}

// Each page of a batch flushed file by file takes its own new content and keeps its old one as
// its backup; a file whose flush fails is named with its own error, keeps its old content and
// gets no backup, and its temporary goes. The flushes run on several threads, so a result given
// to the wrong file would put an unflushed file in place or name a page that was written.
TEST(WriteBatch, FlushedFileByFileEachFileGetsItsOwnContentAndError) {
    constexpr int kPages = 40;
    constexpr int kUnflushable = 17;
    test::TempFolder folder;
    for (int n = 0; n < kPages; ++n)
        folder.Put(Page(n), "alt " + std::to_string(n));
    int pipe_ends[2] = {-1, -1};
    ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);

    WriteBatch batch;
    batch.FlushEachFile();
    for (int n = 0; n < kPages; ++n) {
        const std::string path = folder / Page(n);
        if (n != kUnflushable) {
            ASSERT_EQ(ReplaceKeepingBackupIn(batch, path, "neu " + std::to_string(n), path + ".bak"), 0);
            continue;
        }
        // A descriptor that cannot be flushed (fsync of a pipe fails with EINVAL) in front of a
        // complete temporary: the batch closes the descriptor at its commit.
        const std::string temporary = folder.Put(".qlm-unflushable", "neu " + std::to_string(n));
        batch.Add({pipe_ends[0], path, temporary, path, path + ".bak", false, 6});
    }
    EXPECT_FALSE(batch.Commit());
    ::close(pipe_ends[1]);

    const std::vector<WriteFailure> failures = batch.TakeFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].name, folder / Page(kUnflushable));
    EXPECT_EQ(failures[0].part, WriteFailure::Part::File);
    EXPECT_EQ(failures[0].error, EINVAL);
    for (int n = 0; n < kPages; ++n) {
        const std::string old_text = "alt " + std::to_string(n);
        if (n == kUnflushable) {
            EXPECT_EQ(folder.Get(Page(n)), old_text);
            EXPECT_FALSE(NameExists(folder / (Page(n) + ".bak")));
        } else {
            EXPECT_EQ(folder.Get(Page(n)), "neu " + std::to_string(n));
            EXPECT_EQ(folder.Get(Page(n) + ".bak"), old_text);
        }
    }
    EXPECT_EQ(folder.Listing().find(".qlm-"), std::string::npos) << folder.Listing();
}

} // namespace
} // namespace qlm::platform

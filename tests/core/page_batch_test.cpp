// SPDX-License-Identifier: GPL-3.0-or-later
// A full batch of pages is committed on a second thread while the next one fills: the pages still
// go in place in the order of the writes, and what failed there is reported.

#include "core/text_file.h"
#include "platform/file_ops.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace qlm {
namespace {

using test::TempFolder;

// A batch that takes one page at a time: each further write commits the one before in the
// background.
void WriteOneByOne(platform::WriteBatch& batch) {
    batch.Full();
    batch.Shrink();
}

TEST(PageBatch, AFailureInTheBackgroundFailsTheNextCommitAndIsReported) {
    TempFolder folder;
    platform::WriteBatch batch;
    WriteOneByOne(batch);
    ASSERT_TRUE(MyWriteFile(folder / "a.html", "neu a", batch));
    folder.Put("a.html", "vom Nutzer");
    ASSERT_TRUE(MyWriteFile(folder / "b.html", "neu b", batch));
    ASSERT_TRUE(MyWriteFile(folder / "c.html", "neu c", batch));
    EXPECT_FALSE(batch.Commit());
    const std::vector<platform::WriteFailure> failures = batch.TakeFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].name, folder / "a.html");
    EXPECT_EQ(failures[0].error, EEXIST);
    EXPECT_EQ(folder.Listing(true), "a.html=vom Nutzer|b.html=neu b|c.html=neu c");
    EXPECT_TRUE(batch.Commit());
}

// A page written again while its first content is being committed waits for that commit, and its
// ".bak" is then the first content; many pages through many background commits all arrive.
TEST(PageBatch, ASecondWriteWaitsForTheCommitOfTheFirst) {
    TempFolder folder;
    {
        platform::WriteBatch batch;
        WriteOneByOne(batch);
        ASSERT_TRUE(MyWriteFile(folder / "a.html", "erste", batch));
        ASSERT_TRUE(MyWriteFile(folder / "b.html", "b", batch));
        EXPECT_TRUE(batch.Holds(folder / "a.html"));
        ASSERT_TRUE(MyWriteFile(folder / "a.html", "zweite", batch));
        ASSERT_TRUE(batch.Commit());
    }
    EXPECT_EQ(folder.Listing(true), "a.html=zweite|a.html.bak=erste|b.html=b");

    TempFolder many;
    std::string expected;
    {
        platform::WriteBatch batch;
        WriteOneByOne(batch);
        for (int page = 0; page < 200; ++page) {
            const std::string name = "p" + std::to_string(1000 + page) + ".html";
            ASSERT_TRUE(MyWriteFile(many / name, "Seite " + std::to_string(page), batch));
            expected += (page > 0 ? "|" : "") + name + "=Seite " + std::to_string(page);
        }
        // Dropped without a last commit: what went to the background is in place all the same.
    }
    const std::string listing = many.Listing(true);
    EXPECT_EQ(listing, expected.substr(0, listing.size()));
    EXPECT_GE(listing.size(), expected.size() - std::string("|p1199.html=Seite 199").size());
}

} // namespace
} // namespace qlm

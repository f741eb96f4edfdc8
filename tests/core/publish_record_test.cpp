// SPDX-License-Identifier: GPL-3.0-or-later
// The record of a publishing: names with "%", line breaks and DEL read back as written, and a text
// whose escapes no record writes is not taken for one.

#include "core/publish_record.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace qlm;

TEST(PublishRecord, OddNamesReadBackAsWritten) {
    const std::set<std::string> names{"100% echt.jpg", "zwei\nZeilen.html", "a\rb\x7F.png", "t_a b.jpg"};
    const std::string text = PublishRecordText(names);
    EXPECT_EQ(text, "# Quillmoor: files published here\n100%25 echt.jpg\na%0Db%7F.png\nt_a b.jpg\n"
                    "zwei%0AZeilen.html\n");
    std::set<std::string> read;
    ASSERT_TRUE(ParsePublishRecord(text, read));
    EXPECT_EQ(read, names);
}

TEST(PublishRecord, EscapesNoRecordWritesAreNoRecord) {
    std::set<std::string> read;
    for (const char* line : {"a%0", "a%0a", "a%G1", "%"})
        EXPECT_FALSE(
            ParsePublishRecord(std::string("# Quillmoor: files published here\n") + line + "\n", read))
            << line;
}

// Stamps follow their name after a tab (escaped within names), and a record of names alone, as
// the first publishings wrote it, still reads.
TEST(PublishRecord, StampsReadBackAndRecordsWithoutThemStillRead) {
    const std::set<std::string> names{"a\tb.jpg", "index.html", "neu.png"};
    const PublishStamps stamps{{"a\tb.jpg", "1 10 2 3 4 5 6 7 8"}, {"index.html", "1 9 9 9 9 9 9 9 9"}};
    const std::string text = PublishRecordText(names, &stamps);
    EXPECT_EQ(text, "# Quillmoor: files published here\na%09b.jpg\t1 10 2 3 4 5 6 7 8\n"
                    "index.html\t1 9 9 9 9 9 9 9 9\nneu.png\n");
    std::set<std::string> read;
    PublishStamps read_stamps;
    ASSERT_TRUE(ParsePublishRecord(text, read, &read_stamps));
    EXPECT_EQ(read, names);
    EXPECT_EQ(read_stamps, stamps);
    ASSERT_TRUE(ParsePublishRecord(PublishRecordText(names), read, &read_stamps));
    EXPECT_EQ(read, names);
    EXPECT_TRUE(read_stamps.empty());
}

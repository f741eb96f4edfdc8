// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding ahead on a second thread: a result is only given out for the file as it is now, a
// decoder's failure shows where the picture is asked for, and only a few results are kept.

#include "core/picture_prefetcher.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>

namespace qlm {
namespace {

using test::TempFolder;

constexpr int kBox = 273;

std::string DataPicture(const std::string& name) {
    return std::string(QLM_TEST_DATA_DIR) + "/pictures/" + name;
}

// Puts a copy of a test picture under `name`, through a new file renamed over the old one, as a
// program saving a picture does.
void PutPicture(const TempFolder& folder, const std::string& data_name, const std::string& name) {
    const std::string temporary = folder / ("." + name + ".new");
    std::filesystem::copy_file(DataPicture(data_name), temporary,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::rename(temporary, folder / name);
}

std::string SizeText(const Picture& picture) {
    return std::to_string(picture.width) + "x" + std::to_string(picture.height);
}

// A prefetcher whose decodings can be awaited one by one.
struct Awaited {
    std::mutex mutex;
    std::condition_variable finished;
    int count = 0;
    PicturePrefetcher prefetcher{3, [this](const std::string&, int) {
                                     const std::lock_guard lock(mutex);
                                     ++count;
                                     finished.notify_all();
                                 }};
    void WaitFor(int decodings) {
        std::unique_lock lock(mutex);
        finished.wait(lock, [&] { return count >= decodings; });
    }
};

TEST(PicturePrefetcherTest, FileChangedOrRemovedAfterDecodingIsNotGivenOut) {
    TempFolder folder;
    PutPicture(folder, "quadrants.png", "a.png");
    PutPicture(folder, "quadrants.png", "b.png");
    Awaited ahead;
    ahead.prefetcher.Prefetch(folder / "a.png", kBox);
    ahead.prefetcher.Prefetch(folder / "b.png", kBox);
    ahead.WaitFor(2);
    ASSERT_NE(ahead.prefetcher.ReadyNow(folder / "a.png", kBox), nullptr);

    PutPicture(folder, "checker.png", "a.png");
    std::filesystem::remove(folder / "b.png");
    EXPECT_EQ(ahead.prefetcher.ReadyNow(folder / "a.png", kBox), nullptr);
    EXPECT_EQ(SizeText(*ahead.prefetcher.Load(folder / "a.png", kBox, true)), "256x256");
    EXPECT_FALSE(ahead.prefetcher.Load(folder / "b.png", kBox, true)->opened);
}

TEST(PicturePrefetcherTest, DecoderFailureIsThrownWhereThePictureIsAskedFor) {
    TempFolder folder;
    PutPicture(folder, "png_truncated.png", "kaputt.png");
    Awaited ahead;
    ahead.prefetcher.Prefetch(folder / "kaputt.png", kBox);
    ahead.WaitFor(1);
    // Kept, so that every look at the picture fails as decoding it would.
    EXPECT_THROW(ahead.prefetcher.ReadyNow(folder / "kaputt.png", kBox), DecodeError);
    EXPECT_THROW(ahead.prefetcher.Load(folder / "kaputt.png", kBox, true), DecodeError);
    // Handed over, it is gone: the next look decodes again.
    EXPECT_THROW(ahead.prefetcher.Load(folder / "kaputt.png", kBox, false), DecodeError);
    EXPECT_EQ(ahead.prefetcher.ReadyNow(folder / "kaputt.png", kBox), nullptr);
}

TEST(PicturePrefetcherTest, KeepsFewResultsAndStopsWithWorkWaiting) {
    TempFolder folder;
    std::vector<std::string> names;
    for (int i = 0; i < 5; ++i) {
        names.push_back("p" + std::to_string(i) + ".gif");
        PutPicture(folder, "quadrants.gif", names.back());
    }
    {
        Awaited ahead;
        for (const std::string& name : names)
            ahead.prefetcher.Prefetch(folder / name, kBox);
        ahead.WaitFor(5);
        int kept = 0;
        for (const std::string& name : names)
            kept += ahead.prefetcher.ReadyNow(folder / name, kBox) != nullptr;
        EXPECT_EQ(kept, 3);
        // The most recent ones stay.
        EXPECT_NE(ahead.prefetcher.ReadyNow(folder / names[4], kBox), nullptr);
    }
    // Going with work still waiting joins both threads without decoding it all.
    PicturePrefetcher ahead(2, PicturePrefetcher::Finished(), 2);
    for (int round = 0; round < 50; ++round)
        for (const std::string& name : names)
            ahead.Prefetch(folder / name, round);
    // Asked for meanwhile, waiting, being decoded or done: it comes, decoded for its box.
    for (int round = 49; round >= 45; --round)
        EXPECT_TRUE(ahead.Load(folder / names[0], round, false)->opened);
}

} // namespace
} // namespace qlm

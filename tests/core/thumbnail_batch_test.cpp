// SPDX-License-Identifier: GPL-3.0-or-later
// Thumbnails written in batches: the same files and results on one thread and on several, a name
// taken while its file waits in the batch left to the file that took it, and runs killed at any
// moment leaving each thumbnail whole or absent.

#include "core/new_file_batch.h"
#include "core/thumbnail_maker.h"
#include "platform/temporary_files.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qlm {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

const fs::path kPictures = fs::path(QLM_TEST_DATA_DIR) / "pictures";

// `count` pictures of every format in `folder`, one of them damaged, and their names.
std::vector<std::string> PutPictures(const TempFolder& folder, int count) {
    const char* corpus[] = {"quadrants.jpg",       "quadrants.png",          "quadrants.gif",
                            "checker.png",         "exif_orientation_6.jpg", "checker_interlaced.gif",
                            "truncated_header.jpg"};
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        const fs::path from = kPictures / corpus[i % std::size(corpus)];
        names.push_back("p" + std::to_string(i) + from.extension().string());
        fs::copy_file(from, folder / names.back());
    }
    return names;
}

TEST(ThumbnailBatch, ManyPicturesGiveTheSameFilesAndResultsOnOneThreadAndOnSeveral) {
    TempFolder one, several;
    const std::vector<std::string> pictures = PutPictures(one, 60);
    PutPictures(several, 60);
    std::vector<std::vector<ThumbnailResult>> results;
    for (const auto& [folder, threads] : {std::pair{&one, 1}, std::pair{&several, 4}}) {
        std::vector<std::string> reported;
        results.push_back(MakeMissingThumbnails(
            folder->Path(), pictures, false, 24,
            [&](const ThumbnailResult& r) { reported.push_back(r.picture); }, threads));
        std::sort(reported.begin(), reported.end());
        std::vector<std::string> sorted = pictures;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(reported, sorted) << threads;
    }
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(results[0][i].outcome, results[1][i].outcome) << pictures[i];
        EXPECT_EQ(results[0][i].width, results[1][i].width) << pictures[i];
        EXPECT_EQ(results[0][i].message, results[1][i].message) << pictures[i];
        const std::string thumbnail = results[0][i].thumbnail;
        EXPECT_EQ(one.Get(thumbnail), several.Get(thumbnail)) << thumbnail;
    }
    EXPECT_EQ(results[0][6].outcome, ThumbnailOutcome::Damaged);
    EXPECT_EQ(one.Listing(), several.Listing());
    // A second run finds every thumbnail made and writes nothing.
    for (const ThumbnailResult& again : MakeMissingThumbnails(one.Path(), pictures, false, 24, nullptr, 2))
        EXPECT_TRUE(again.outcome == ThumbnailOutcome::Existing ||
                    again.outcome == ThumbnailOutcome::Damaged);
}

// A file that takes the name while the new one waits in the batch stays; the new one is dropped
// and reported as EEXIST, and every report comes after the commit, in the order given.
TEST(ThumbnailBatch, ANameTakenMeanwhileKeepsItsFile) {
    TempFolder folder;
    std::string order;
    {
        NewFileBatch batch;
        ASSERT_EQ(batch.Write(folder / "t_a.jpg", "neu a"), 0);
        batch.Then([&] { order += "a" + std::to_string(batch.Outcome(folder / "t_a.jpg")); });
        ASSERT_EQ(batch.Write(folder / "t_b.jpg", "neu b"), 0);
        batch.Then([&] { order += "b" + std::to_string(batch.Outcome(folder / "t_b.jpg")); });
        folder.Put("t_a.jpg", "vom Nutzer");
        EXPECT_EQ(order, "");
        batch.Finish();
    }
    EXPECT_EQ(order, "a" + std::to_string(EEXIST) + "b0");
    EXPECT_EQ(folder.Listing(true), "t_a.jpg=vom Nutzer|t_b.jpg=neu b");
}

// Runs killed at any moment while they make the thumbnails of 40 pictures again and again (40
// trials): every thumbnail is then whole (as a complete run makes it) or absent, and the next run
// over the folder leaves nothing else behind.
TEST(ThumbnailBatch, KilledRunsLeaveEachThumbnailWholeOrAbsent) {
    TempFolder reference, folder;
    const std::vector<std::string> pictures = PutPictures(reference, 40);
    PutPictures(folder, 40);
    const std::vector<ThumbnailResult> made =
        MakeMissingThumbnails(reference.Path(), pictures, false, 24, nullptr);
    std::srand(20261208);
    for (int trial = 0; trial < 40; ++trial) {
        int progress[2];
        ASSERT_EQ(::pipe(progress), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(progress[0]);
            for (;;) {
                for (const ThumbnailResult& result : made)
                    ::unlink((folder / result.thumbnail).c_str());
                [[maybe_unused]] const ssize_t sent = ::write(progress[1], "r", 1);
                MakeMissingThumbnails(folder.Path(), pictures, false, 24, nullptr, 2);
            }
        }
        ::close(progress[1]);
        char step;
        const int runs = 1 + std::rand() % 2;
        for (int i = 0; i < runs && ::read(progress[0], &step, 1) == 1; ++i) {
        }
        for (int spin = std::rand() % 200000; spin > 0; --spin)
            ::getppid();
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(progress[0]);
        for (const ThumbnailResult& result : made) {
            if (fs::exists(folder / result.thumbnail)) {
                ASSERT_EQ(folder.Get(result.thumbnail), reference.Get(result.thumbnail))
                    << result.thumbnail << " trial " << trial;
            }
        }
    }
    platform::FolderRun next;
    ASSERT_EQ(next.Begin(folder.Path()), 0);
    for (const std::string& name : test::Split(folder.Listing()))
        EXPECT_NE(name.rfind(".qlm-", 0), 0u) << name;
}

} // namespace
} // namespace qlm

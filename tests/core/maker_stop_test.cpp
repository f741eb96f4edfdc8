// SPDX-License-Identifier: GPL-3.0-or-later
// The thumbnail and web copy makers stopped between pictures: the files of the pictures before
// the stop are those a whole run makes, the others are reported Stopped, and no temporary stays,
// on one thread and on several.

#include "core/thumbnail_maker.h"
#include "core/web_copy_maker.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace qlm {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

const fs::path kPictures = fs::path(QLM_TEST_DATA_DIR) / "pictures";

std::vector<std::string> PutPictures(const TempFolder& folder, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back("p" + std::to_string(10 + i) + ".png");
        fs::copy_file(kPictures / "quadrants.png", folder / names.back());
    }
    return names;
}

// Every file under `folder` but the pictures, with its content.
std::map<std::string, std::string> MadeFiles(const TempFolder& folder,
                                             const std::vector<std::string>& pictures) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder.Root())) {
        const std::string name = fs::relative(entry.path(), folder.Root()).string();
        if (entry.is_regular_file() && std::find(pictures.begin(), pictures.end(), name) == pictures.end())
            files[name] = test::ReadFile(entry.path().string());
    }
    return files;
}

// Stops when asked for the `at`-th time.
struct StopAt {
    int at;
    int asked = 0;
    bool operator()() { return ++asked == at; }
};

class MakerStop : public ::testing::TestWithParam<int> {};

TEST_P(MakerStop, ThumbnailsBeforeTheStopAreWholeTheOthersStopped) {
    TempFolder whole, stopped;
    const std::vector<std::string> pictures = PutPictures(whole, 12);
    PutPictures(stopped, 12);
    MakeMissingThumbnails(whole.Path(), pictures, false, 24, nullptr, GetParam());
    StopAt stop{4};
    const std::vector<ThumbnailResult> results =
        MakeMissingThumbnails(stopped.Path(), pictures, false, 24, nullptr, GetParam(), std::ref(stop));

    const std::map<std::string, std::string> made = MadeFiles(stopped, pictures);
    const std::map<std::string, std::string> all = MadeFiles(whole, pictures);
    EXPECT_EQ(made.size(), 3U) << "the three pictures before the stop, and no temporary";
    for (const auto& [name, bytes] : made)
        EXPECT_EQ(bytes, all.at(name)) << name;
    for (const ThumbnailResult& result : results)
        EXPECT_EQ(result.outcome == ThumbnailOutcome::Stopped, !made.contains(result.thumbnail))
            << result.picture;
}

TEST_P(MakerStop, WebCopiesBeforeTheStopAreWholeTheOthersStopped) {
    TempFolder whole, stopped;
    const std::vector<std::string> pictures = PutPictures(whole, 12);
    PutPictures(stopped, 12);
    MakeMissingWebCopies(whole.Path(), pictures, {16}, nullptr, GetParam());
    StopAt stop{4};
    const std::vector<WebCopyResult> results =
        MakeMissingWebCopies(stopped.Path(), pictures, {16}, nullptr, GetParam(), std::ref(stop));

    const std::map<std::string, std::string> made = MadeFiles(stopped, pictures);
    const std::map<std::string, std::string> all = MadeFiles(whole, pictures);
    ASSERT_EQ(all.size(), 12U);
    EXPECT_EQ(made.size(), 3U) << "the copies of the three pictures before the stop, and no temporary";
    for (const auto& [name, bytes] : made)
        EXPECT_EQ(bytes, all.at(name)) << name;
    int stopped_results = 0;
    for (const WebCopyResult& result : results) {
        if (result.outcome == WebCopyOutcome::Stopped) {
            ++stopped_results;
            EXPECT_TRUE(result.made.empty()) << result.picture;
        }
    }
    EXPECT_EQ(stopped_results, 9);
}

INSTANTIATE_TEST_SUITE_P(Threads, MakerStop, ::testing::Values(1, 3));

} // namespace
} // namespace qlm

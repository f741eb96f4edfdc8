// SPDX-License-Identifier: GPL-3.0-or-later
// A run the host asks to stop: it ends before a picture or before the overview, with the pages of
// the pictures before the stop whole and in place, no overview and no temporaries, and says how
// far it got.

#include "core/generator.h"
#include "core/run_cancelled.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qlm {
namespace {

using test::TempFolder;

// Asks the run to stop when it asks for the `stop_at`-th time (from 1); answers every question
// with `answer`, or stops the run while asking when `stop_while_asking`.
class StoppingHost : public GenerationHost {
  public:
    std::string AskUser(const std::string&, AskKind) override {
        if (stop_while_asking)
            throw RunCancelled(steps);
        return "Antwort";
    }
    std::optional<PictureSize> MyLoadPic(const std::string&) override { return PictureSize{400, 300}; }
    std::optional<PictureSize> LoadThumbnail(const std::string&) override { return PictureSize{160, 120}; }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    void ShowDecodeFailure(const std::string&, const std::string&) override {}
    void SetProgressLabel(const std::string&) override {}
    void SetProgressMaximum(int) override {}
    void SetProgressPosition(int) override {}
    void StepProgress() override { ++steps; }
    void SetWorkingDisplay(bool on) override { working = on; }
    bool StopRequested() override { return ++questions == stop_at; }

    int stop_at = 0;
    int questions = 0;
    std::size_t steps = 0;
    bool stop_while_asking = false;
    bool working = false;
    std::vector<std::string> warnings;
};

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class GeneratorStop : public ::testing::Test {
  protected:
    GeneratorStop() {
        input.folder = folder.Path();
        input.ask = false;
        input.pictures = {"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
        input.selected_entries = 4;
        input.templates = {"<mytitle>", "[<mynumber>]", "", "<myname> <mynumber>/<mycount> <mytext>", "", ""};
    }

    TempFolder folder;
    StoppingHost host;
    GenerationInput input;
};

// Before picture k (the k+1-th question), or before the overview (the fifth). The pages kept are
// those a whole run writes, byte for byte.
TEST_F(GeneratorStop, EachStopPointKeepsThePagesBeforeItAndNoOverview) {
    const GenerationResult whole = MakeGallery(input, host);
    ASSERT_FALSE(whole.cancelled);
    ASSERT_EQ(folder.Get("index.html"), "[1][2][3][4]");
    const std::vector<std::string> pages = {"a.html", "b.html", "c.html", "d.html"};
    for (int stop_at = 1; stop_at <= 5; ++stop_at) {
        SCOPED_TRACE(stop_at);
        TempFolder each;
        input.folder = each.Path();
        StoppingHost stopping;
        stopping.stop_at = stop_at;
        const GenerationResult result = MakeGallery(input, stopping);
        EXPECT_TRUE(result.cancelled);
        EXPECT_FALSE(result.stopped) << "that is a picture that cannot be decoded";
        EXPECT_EQ(result.pictures_done, static_cast<std::size_t>(stop_at - 1));
        EXPECT_FALSE(stopping.working) << "the normal display is back";
        EXPECT_TRUE(stopping.warnings.empty());
        const std::vector<std::string> expected(pages.begin(), pages.begin() + stop_at - 1);
        EXPECT_EQ(FolderEntries(each.Path()), expected) << "no overview, no temporary";
        for (const std::string& page : expected)
            EXPECT_EQ(each.Get(page), folder.Get(page)) << page;
    }
}

// A host that gives up a question (the user stopped while it waited) ends the run there: the
// answer is not stored, the pages before stay.
TEST_F(GeneratorStop, AStopWhileAskingStoresNoAnswer) {
    input.ask = true;
    input.flags.alt = true;
    folder.Put("title.txt", "T");
    host.stop_while_asking = true;
    const GenerationResult result = MakeGallery(input, host);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.pictures_done, 0U);
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"title.txt"});
    EXPECT_FALSE(host.working);
}

} // namespace
} // namespace qlm

// Decoding ahead on a second thread: a run that decodes its next picture ahead sees exactly what a
// run that decodes each picture when it reaches it sees, and a result is only given out for the
// file as it is now.

#include "core/generator.h"
#include "core/picture_prefetcher.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <future>
#include <map>

namespace qlm {
namespace {

using test::TempFolder;
using Calls = std::vector<std::string>;

constexpr int kBox = 273;
constexpr int kThumbBox = 25;

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

// Decodes as the window does, each picture when the run loads it or, with `ahead`, on a second
// thread from the run's hints. Records every call but the hints, with what the run got back, and
// answers the questions; `on_question` runs before the answer, as a user may change files then.
class DecodingHost : public GenerationHost {
  public:
    DecodingHost(std::string folder, bool ahead) : folder_(std::move(folder)) {
        if (ahead)
            ahead_ = std::make_unique<PicturePrefetcher>(4, PicturePrefetcher::Finished(), 2);
    }

    Calls calls;
    std::deque<std::string> answers;
    std::function<void(AskKind)> on_question;

    std::string AskUser(const std::string& initial_text, AskKind kind) override {
        calls.push_back("ask " + std::to_string(static_cast<int>(kind)) + " [" + initial_text + "]");
        if (on_question)
            on_question(kind);
        std::string answer = answers.empty() ? "<notext>" : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return answer;
    }
    PictureSize MyLoadPic(const std::string& path) override {
        const Picture picture = Load("pic ", path, kBox);
        if (picture.opened)
            held_picture_ = {picture.width, picture.height};
        calls.back() +=
            " " + std::to_string(held_picture_.width) + "x" + std::to_string(held_picture_.height);
        return held_picture_;
    }
    PictureSize LoadThumbnail(const std::string& path, bool& opened) override {
        const Picture thumbnail = Load("thumb ", path, kThumbBox);
        opened = thumbnail.opened;
        if (opened)
            held_thumbnail_ = {thumbnail.width, thumbnail.height};
        calls.back() += opened ? " " + SizeText(thumbnail) : " not opened";
        return held_thumbnail_;
    }
    void ShowWarning(const std::string& text) override { calls.push_back("warn " + text); }
    void ShowDecodeFailure(const std::string& path, const std::string& message) override {
        calls.push_back("failure " + path.substr(folder_.size()) + ": " + message);
    }
    void SetProgressLabel(const std::string& text) override { calls.push_back("label " + text); }
    void SetProgressMaximum(int maximum) override { calls.push_back("max " + std::to_string(maximum)); }
    void SetProgressPosition(int position) override { calls.push_back("pos " + std::to_string(position)); }
    void StepProgress() override { calls.push_back("step"); }
    void SetWorkingDisplay(bool working) override {
        calls.push_back(working ? "working" : "normal");
        if (!working)
            ahead_.reset();
    }
    void ComingNext(const std::string& thumbnail_path, const std::string& picture_path) override {
        if (!ahead_)
            return;
        ahead_->Prefetch(thumbnail_path, kThumbBox);
        ahead_->Prefetch(picture_path, kBox);
    }

  private:
    Picture Load(const std::string& call, const std::string& path, int box) {
        calls.push_back(call + path.substr(folder_.size()));
        try {
            return ahead_ ? *ahead_->Load(path, box, false) : LoadPicture(path, box);
        } catch (const DecodeError& error) {
            calls.back() += " throws";
            throw;
        }
    }

    std::string folder_;
    std::unique_ptr<PicturePrefetcher> ahead_;
    PictureSize held_picture_, held_thumbnail_;
};

struct Outcome {
    Calls calls;
    std::string files;
};

// One run over a folder with good pictures, a missing thumbnail, a missing picture, a picture
// replaced on disk while the run asks about the one before it, and a damaged picture followed by
// more: everything the run did and the folder it left.
Outcome RunOverTroubledFolder(bool ahead) {
    TempFolder folder;
    PutPicture(folder, "quadrants.jpg", "a.jpg");
    PutPicture(folder, "quadrants.jpg", "t_a.jpg");
    PutPicture(folder, "quadrants.png", "b.png");
    PutPicture(folder, "quadrants.gif", "t_c.gif");
    PutPicture(folder, "quadrants.gif", "d.gif");
    PutPicture(folder, "checker.gif", "t_d.gif");
    PutPicture(folder, "quadrants.jpg", "e.jpg");
    PutPicture(folder, "exif_orientation_6.jpg", "t_e.jpg");
    PutPicture(folder, "truncated_header.jpg", "kaputt.jpg");
    PutPicture(folder, "quadrants.jpg", "t_kaputt.jpg");
    PutPicture(folder, "quadrants.png", "z.png");

    GenerationInput input;
    input.folder = folder.Path();
    input.pictures = {"a.jpg", "b.png", "c.gif", "d.gif", "e.jpg", "kaputt.jpg", "z.png"};
    input.selected_entries = static_cast<int>(input.pictures.size());
    input.flags.keywords = input.flags.description = input.flags.alt = input.flags.warn = true;
    input.flags.img_wo_alt = input.flags.thumbs_jpg = false;
    input.templates = {"<mytitle>", "[<mypic><mytinypic>]", "", "<mypic><mytinypic><mytext>", "", ""};

    DecodingHost host(folder.Path(), ahead);
    host.answers = {"Titel", "Meer", "", "Bild a", "Bild b"};
    int alt_questions = 0;
    host.on_question = [&](AskKind kind) {
        if (kind != AskKind::Alt)
            return;
        // While d.gif is asked about, e.jpg (already decoded ahead) is saved over with a picture
        // of another size; the page must say the new size.
        if (++alt_questions == 4)
            PutPicture(folder, "cmyk_adobe.jpg", "e.jpg");
    };
    const GenerationResult result = MakeGallery(input, host);
    EXPECT_TRUE(result.stopped);
    return {host.calls, folder.Listing(true)};
}

TEST(DecodingAheadTest, RunSeesWhatItSeesDecodingEachPictureItself) {
    const Outcome alone = RunOverTroubledFolder(false);
    // The run stopped at the damaged picture, named in the failure, after e.jpg's page with the
    // size of the picture saved over it.
    ASSERT_FALSE(alone.calls.empty());
    EXPECT_EQ(alone.calls[alone.calls.size() - 2].rfind("failure kaputt.jpg: ", 0), 0u)
        << alone.calls[alone.calls.size() - 2];
    EXPECT_NE(alone.files.find("e.html=<img src=\"e.jpg\" width=\"16\" height=\"16\""), std::string::npos);
    EXPECT_EQ(alone.files.find("index.html"), std::string::npos);
    // Repeated, since the second thread's timing differs from run to run.
    for (int round = 0; round < 3; ++round) {
        const Outcome ahead = RunOverTroubledFolder(true);
        EXPECT_EQ(ahead.calls, alone.calls);
        EXPECT_EQ(ahead.files, alone.files);
    }
}

// --- The prefetcher on its own ---------------------------------------------------------------

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
    // Going with work still waiting joins the thread without decoding it all.
    PicturePrefetcher ahead(2);
    for (int round = 0; round < 50; ++round)
        for (const std::string& name : names)
            ahead.Prefetch(folder / name, round);
}

} // namespace
} // namespace qlm

#pragma once
// A generation host for the tests: it records every call as one line of text, answers questions
// from a prepared list and knows picture sizes by bare file name instead of decoding files.

#include "core/generator.h"
#include "core/picture.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace qlm::test {

class RecordingHost : public GenerationHost {
  public:
    explicit RecordingHost(std::string folder) : folder_(std::move(folder)) {}

    std::vector<std::string> calls;
    std::deque<std::string> answers;
    std::map<std::string, PictureSize> sizes; // files that can be opened
    std::set<std::string> undecodable;        // files that throw DecodeError

    std::string AskUser(const std::string& initial_text, int kind) override {
        calls.push_back("ask " + std::to_string(kind) + " [" + initial_text + "]");
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question of kind " << kind;
            return "";
        }
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
    PictureSize MyLoadPic(const std::string& path) override {
        calls.push_back("pic " + Bare(path));
        return Load(path, held_picture_);
    }
    PictureSize LoadThumbnail(const std::string& path, bool& opened) override {
        calls.push_back("thumb " + Bare(path));
        opened = sizes.count(Bare(path)) > 0;
        return Load(path, held_thumbnail_);
    }
    void ShowWarning(const std::string& text) override { calls.push_back("warn " + text); }
    void SetProgressLabel(const std::string& text) override { calls.push_back("label " + text); }
    void SetProgressMaximum(int maximum) override { calls.push_back("max " + std::to_string(maximum)); }
    void SetProgressPosition(int position) override { calls.push_back("pos " + std::to_string(position)); }
    void StepProgress() override { calls.push_back("step"); }
    void SetWorkingDisplay(bool working) override { calls.push_back(working ? "working" : "normal"); }

    // The recorded calls that begin with `prefix`.
    std::vector<std::string> Calls(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const auto& call : calls)
            if (call.rfind(prefix, 0) == 0)
                found.push_back(call);
        return found;
    }

  private:
    std::string Bare(const std::string& path) const {
        EXPECT_EQ(path.rfind(folder_, 0), 0u) << path;
        return path.substr(folder_.size());
    }
    // Like the window: a file that cannot be opened leaves the size of the one held before.
    PictureSize Load(const std::string& path, PictureSize& held) {
        std::string name = Bare(path);
        if (undecodable.count(name) > 0)
            throw DecodeError("Kaputt: " + name);
        auto found = sizes.find(name);
        if (found != sizes.end())
            held = found->second;
        return held;
    }

    std::string folder_;
    PictureSize held_picture_;
    PictureSize held_thumbnail_;
};

} // namespace qlm::test

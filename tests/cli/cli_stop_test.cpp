// SPDX-License-Identifier: GPL-3.0-or-later
// Stops quillmoor-make with SIGINT and SIGTERM in the middle of a run and checks what it leaves:
// whole pages, no overview page, no temporaries, its last line and exit status 130.

#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kBinary = QLM_MAKE_BINARY;
const fs::path kDemo = QLM_DEMO_DIR;
const fs::path kTemplates = QLM_TEMPLATES_DIR;

constexpr const char* kAltPrompt = "Bitte geben Sie einen ALT-Text für das nebenstehende Bild ein:";

using qlm::test::ReadFile;
using qlm::test::TempFolder;
using qlm::test::WriteFile;

// A running quillmoor-make whose standard input is a pipe the test writes and whose standard
// error goes to a file or a terminal the test reads.
class RunningMake {
  public:
    // Standard error goes to `err_path`, or when it is empty, to the descriptor `err_to`.
    RunningMake(const std::vector<std::string>& args, const std::string& err_path, int err_to = -1) {
        int pipe_ends[2];
        if (pipe(pipe_ends) != 0)
            throw std::runtime_error("no pipe");
        std::vector<std::string> argv_text{kBinary.string()};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : argv_text)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        child_ = fork();
        if (child_ == 0) {
            const int err =
                err_path.empty() ? err_to : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (err < 0 || dup2(pipe_ends[0], 0) < 0 || dup2(err, 2) < 0)
                _exit(127);
            close(pipe_ends[1]);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(pipe_ends[0]);
        input_ = pipe_ends[1];
    }
    ~RunningMake() {
        if (input_ >= 0)
            close(input_);
        if (child_ > 0 && !waited_) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
    }
    RunningMake(const RunningMake&) = delete;
    RunningMake& operator=(const RunningMake&) = delete;

    void Answer(const std::string& line) {
        const std::string text = line + "\n";
        ASSERT_EQ(write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void Signal(int signal) { kill(child_, signal); }
    // The exit status, -1 when the program did not exit by itself.
    int Wait() {
        int status = 0;
        waited_ = waitpid(child_, &status, 0) == child_;
        return waited_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t child_ = -1;
    int input_ = -1;
    bool waited_ = false;
};

// Waits up to a minute for `condition`, looking every millisecond.
bool WaitFor(const std::function<bool()>& condition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// `count` copies of a demo picture and its thumbnail, named p000.jpg, p001.jpg, ...
std::vector<std::string> CopiesOfOnePicture(const std::string& folder, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "p%03d.jpg", i);
        fs::copy_file(kDemo / "bergsee.jpg", folder + name);
        fs::copy_file(kDemo / "t_bergsee.jpg", folder + "t_" + name);
        names.emplace_back(name);
    }
    return names;
}

// The folder's pages, and whether it holds a temporary of the program.
std::vector<std::string> Pages(const std::string& folder, bool* temporaries = nullptr) {
    std::vector<std::string> pages;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (temporaries != nullptr && name.find(".qlm-") != std::string::npos)
            *temporaries = true;
        if (entry.path().extension() == ".html")
            pages.push_back(name);
    }
    return pages;
}

std::string StoppedLine(const std::string& folder, std::size_t done, std::size_t of) {
    return "quillmoor-make: stopped after " + std::to_string(done) + " of " + std::to_string(of) +
           " pictures; " + folder + "index.html was not written\n";
}

// SIGINT and SIGTERM alike stop a run that asks nothing between pictures: the pages before the
// stop are those of a whole run, byte for byte, and nothing else is left.
class CliStop : public ::testing::TestWithParam<int> {};

TEST_P(CliStop, ARunWithoutQuestionsKeepsItsWholePagesAndNoOverview) {
    TempFolder dir, whole, io;
    const std::vector<std::string> pictures = CopiesOfOnePicture(dir.Path(), 300);
    CopiesOfOnePicture(whole.Path(), 300);
    // Decoding every picture makes the run long enough to be caught in the middle.
    const std::vector<std::string> args{"--no-ask", "--verify", "--templates", kTemplates.string()};
    {
        std::vector<std::string> whole_args = args;
        whole_args.push_back(whole.Root());
        RunningMake full(whole_args, io / "whole-err");
        ASSERT_EQ(full.Wait(), 0) << ReadFile(io / "whole-err");
    }
    // On a terminal the tool shows its progress; the signal comes once it is a few pictures in.
    int terminal = -1, terminal_side = -1;
    ASSERT_EQ(openpty(&terminal, &terminal_side, nullptr, nullptr, nullptr), 0);
    std::vector<std::string> stop_args = args;
    stop_args.push_back(dir.Root());
    RunningMake run(stop_args, "", terminal_side);
    close(terminal_side);
    std::string err;
    const auto read_some = [&] {
        char bytes[4096];
        const ssize_t got = read(terminal, bytes, sizeof bytes);
        if (got > 0)
            err.append(bytes, static_cast<std::size_t>(got));
        return got > 0;
    };
    while (err.find("[5/300]") == std::string::npos && read_some()) {
    }
    run.Signal(GetParam());
    while (read_some()) { // until the tool has closed the terminal
    }
    close(terminal);
    ASSERT_EQ(run.Wait(), 130) << err;

    bool temporaries = false;
    const std::vector<std::string> pages = Pages(dir.Path(), &temporaries);
    EXPECT_FALSE(temporaries);
    EXPECT_FALSE(fs::exists(dir / "index.html"));
    ASSERT_LT(pages.size(), pictures.size()) << "the run ended before the signal came";
    EXPECT_GE(pages.size(), 4U);
    std::string line = StoppedLine(dir.Path(), pages.size(), pictures.size());
    line.pop_back(); // the terminal ends it with "\r\n"
    EXPECT_NE(err.find(line), std::string::npos) << err;
    // The pages are those of the first pictures, each whole.
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string page = pictures[i].substr(0, 4) + ".html";
        EXPECT_EQ(ReadFile(dir / page), ReadFile(whole / page)) << page;
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, CliStop, ::testing::Values(SIGINT, SIGTERM));

// A signal while a question waits for its answer ends the run there: the answer is not stored,
// and the pages of the pictures answered before are written.
TEST(CliStopWhileAsking, TheWaitingQuestionIsGivenUp) {
    TempFolder dir, io;
    CopiesOfOnePicture(dir.Path(), 3);
    for (const char* text : {"title.txt", "keywords.txt", "description.txt"})
        WriteFile(dir / text, "x");
    RunningMake run({"--alt", "--templates", kTemplates.string(), dir.Root()}, io / "err");
    run.Answer("Erstes Bild");
    const std::string second_question = "p001.jpg: " + std::string(kAltPrompt) + "\n";
    ASSERT_TRUE(WaitFor([&] { return ReadFile(io / "err").find(second_question) != std::string::npos; }));
    run.Signal(SIGINT);
    ASSERT_EQ(run.Wait(), 130) << ReadFile(io / "err");

    const std::string err = ReadFile(io / "err");
    EXPECT_TRUE(err.ends_with(second_question + StoppedLine(dir.Path(), 1, 3))) << err;
    EXPECT_EQ(ReadFile(dir / "p000.txt"), "Erstes Bild");
    EXPECT_FALSE(fs::exists(dir / "p001.txt"));
    bool temporaries = false;
    EXPECT_EQ(Pages(dir.Path(), &temporaries), std::vector<std::string>{"p000.html"});
    EXPECT_FALSE(temporaries);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Times one "Make HTML" run in the real main window over a folder, as a user starts it: the window
// lists the folder, every picture is selected, and the run shows its progress and each picture.
// The folder's texts must all be there, since nobody answers questions here. Used by
// window_vs_make.sh.
//
//   window_run_timing [--one-thread] <folder> <templates folder>    prints the run's milliseconds
//
// --one-thread: every picture is decoded on the user-interface thread when the run reaches it,
// instead of the next one being decoded ahead on a second thread.

#include "bench/bench_window.h"
#include "ui/commands.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/window_host.h"
#include "ui/window_style.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const bool one_thread = argc == 4 && std::string(argv[1]) == "--one-thread";
    if (argc != 3 && !one_thread) {
        std::fprintf(stderr, "usage: window_run_timing [--one-thread] <folder> <templates folder>\n");
        return 2;
    }
    const char* folder = argv[argc - 2];
    const char* templates = argv[argc - 1];
    QApplication app(argc, argv);
    qlm::bench::BenchWindow bench(QFile::decodeName(folder), QFile::decodeName(templates));
    if (bench.window() == nullptr)
        return 1;
    qlm::ui::TMain& window = *bench.window();
    if (one_thread)
        dynamic_cast<qlm::ui::WindowHost&>(window.Host()).SetDecodeAhead(false);
    window.show();
    QApplication::processEvents();
    window.MarkAllClick();
    const std::size_t pictures = window.SelectedPictures().size();

    const auto start = std::chrono::steady_clock::now();
    const qlm::GenerationResult result = qlm::ui::MakeItSoClick(window);
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    if (result.stopped || !result.unwritten.empty()) {
        std::fprintf(stderr, "the run did not complete\n");
        return 1;
    }
    std::printf("%.1f\n", spent.count());
    std::fprintf(stderr, "%zu pictures\n", pictures);
    return 0;
}

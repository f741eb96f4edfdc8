// SPDX-License-Identifier: GPL-3.0-or-later
// Times the cursor keys in the window's folder list over a folder of photos: each step presses
// Down once the pictures beside the focused one are decoded, and lasts until the preview has
// painted the new picture. Used by browse_vs_djpeg.sh and preview_memory.sh.
//
//   browse_timing <folder> <templates folder> <steps>
//       prints the best and the mean milliseconds of one step
//   browse_timing <folder> <templates folder> 0
//       only shows the folder's first picture, waits until it is on view and prints the process's
//       peak resident size in kilobytes

#include "bench/bench_window.h"
#include "ui/folder_browser.h"
#include "ui/main_window.h"
#include "ui/window_style.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/resource.h>

namespace {

// Lets the window work until `done` holds; the decoding thread's results arrive as events.
template <typename Condition> void WaitUntil(Condition done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: browse_timing <folder> <templates folder> <steps>\n");
        return 2;
    }
    const QString folder = QDir(QFile::decodeName(argv[1])).absolutePath();
    const QString templates = QFile::decodeName(argv[2]);
    const int steps = std::atoi(argv[3]);
    QApplication app(argc, argv);
    qlm::bench::BenchWindow bench(folder, templates);
    if (bench.window() == nullptr)
        return 1;
    qlm::ui::TMain& window = *bench.window();
    window.show();
    QApplication::processEvents();
    auto* list = window.findChild<QListWidget*>(QStringLiteral("MainList"));
    int row = 0;
    while (row < list->count() && qlm::ui::FolderBrowser::KindOf(list->item(row)) != qlm::EntryKind::Picture)
        ++row;
    if (row + steps >= list->count()) {
        std::fprintf(stderr, "the folder holds fewer than %d pictures\n", steps + 1);
        return 1;
    }
    list->setFocus();
    list->setCurrentRow(row);
    WaitUntil([&] { return !window.PreviewPending(); });
    if (steps == 0) {
        QApplication::processEvents();
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        std::printf("%ld\n", usage.ru_maxrss);
        return 0;
    }

    double best = 1e9;
    double sum = 0;
    for (int step = 0; step < steps; ++step, ++row) {
        const std::string next = window.CurrentFolder() + qlm::ui::FolderBrowser::NameOf(list->item(row + 1));
        WaitUntil([&] { return window.PreviewReady(next); });
        const auto start = std::chrono::steady_clock::now();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(list, &press);
        QApplication::sendEvent(list, &release);
        WaitUntil([&] { return !window.PreviewPending(); });
        // The preview paints its new picture.
        QApplication::processEvents();
        const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
        best = std::min(best, spent.count());
        sum += spent.count();
    }
    std::printf("%.3f %.3f\n", best, sum / steps);
    return 0;
}

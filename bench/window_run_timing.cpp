// Times one "Make HTML" run in the real main window over a folder, as a user starts it: the window
// lists the folder, every picture is selected, and the run shows its progress and each picture.
// The folder's texts must all be there, since nobody answers questions here. Used by
// window_vs_make.sh.
//
//   window_run_timing <folder> <templates folder>    prints the run's milliseconds

#include "ui/commands.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/window_style.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_run_timing <folder> <templates folder>\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setStyle(qlm::ui::CreateWindowStyle());
    QApplication::setFont(qlm::ui::WindowFont());
    qlm::ui::InitResources();

    QTemporaryDir settings_folder;
    const QString settings = settings_folder.filePath(QStringLiteral("QLM.ini"));
    QFile file(settings);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write("[Settings]\r\nDir=" + QFile::encodeName(QDir(QFile::decodeName(argv[1])).absolutePath()) +
               "/\r\n");
    file.close();
    QDir::setCurrent(QFile::decodeName(argv[2]));

    qlm::ui::TMain window(QFile::encodeName(settings).toStdString());
    if (!window.TemplatesLoaded())
        return 1;
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

// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start: the application, its main window and the event loop.

#include "app/start_options.h"
#include "help/help_trace.h"
#include "help/viewer_loader.h"
#include "platform/file_ops.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/window_style.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    // Answered before Qt starts, since Qt aborts without a display.
    if (const auto early =
            qlm::app::CheckStart(std::vector<std::string>(argv + 1, argv + argc),
                                 [](const char* name) -> const char* { return std::getenv(name); })) {
        std::fputs(early->out.c_str(), stdout);
        std::fputs(early->err.c_str(), stderr);
        return early->status;
    }
    // Pages are made durable in large batches, each holding its files open.
    qlm::platform::RaiseOpenFileLimit();
    QApplication app(argc, argv);
    // The title of the program's button on the task bar and of the standard error box.
    QApplication::setApplicationName(QStringLiteral("QLM 2"));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QLM_APP_ID));
    // The help file, opened by the help viewer from the main window.
    app.setProperty("helpFile", QStringLiteral("QLM.chm"));
    QApplication::setStyle(qlm::ui::CreateWindowStyle());
    QApplication::setFont(qlm::ui::WindowFont());
    qlm::ui::InitResources();
    // The help viewer is found once, before any window exists ("/debug" traces the help).
    qlm::help::HHTraceStart(QCoreApplication::arguments(), QCoreApplication::applicationDirPath());
    qlm::help::HHLoadViewer();

    int status = 0;
    {
        qlm::ui::TMain main_window;
        // After a template failure the program ends as soon as the event loop runs.
        if (qlm::ui::StartProgram(main_window)) {
            main_window.show();
        }
        status = QApplication::exec();
    } // the window closes every help viewer window as it goes
    qlm::help::HHUnloadViewer();
    return status;
}

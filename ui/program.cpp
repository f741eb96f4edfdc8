// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/program.h"

#include "ui/main_window.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace qlm::ui {
namespace {

void EndAfterTemplateFailure(TMain& window) {
    window.SetSaveSettingsOnClose(false);
    // Posted, so that the program ends only once every box of the current action is answered; a
    // request made inside a box's own loop would be taken by that loop and lost.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
}

} // namespace

bool StartProgram(TMain& window) {
    QObject::connect(&window, &TMain::TemplatesFailed, &window,
                     [&window] { EndAfterTemplateFailure(window); });
    if (!window.TemplatesLoaded()) {
        EndAfterTemplateFailure(window);
        return false;
    }
    return true;
}

} // namespace qlm::ui

// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_hook.h"

#include "help/help_trace.h"
#include "help/viewer_loader.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWidget>

#include <vector>

namespace qlm::help {

// The text of the warning when there is no viewer.
static constexpr char kNoViewerText[] = "MS Html Help is not installed on this PC.";

int HelpContextOf(const QWidget* widget) {
    for (; widget != nullptr; widget = widget->isWindow() ? nullptr : widget->parentWidget()) {
        const int context = widget->property(kHelpContextProperty).toInt();
        if (context != 0) {
            return context;
        }
    }
    return 0;
}

HelpHandler& ApplicationHelpHandler() {
    static HelpHandler handler;
    return handler;
}

namespace {

// The handlers of the living hooks, the newest last. Each hook takes its own entry out when it
// goes, wherever that entry stands, so that hooks destroyed in any order never leave the
// application with the handler of a hook that is gone.
struct HookHandler {
    const THookHelpSystem* hook;
    HelpHandler handler;
};

std::vector<HookHandler>& HookHandlers() {
    static std::vector<HookHandler> handlers;
    return handlers;
}

} // namespace

bool ApplicationHelpCommand(unsigned command, std::uintptr_t data) {
    const HelpHandler& handler =
        HookHandlers().empty() ? ApplicationHelpHandler() : HookHandlers().back().handler;
    if (!handler) {
        return false; // the toolkit has no help processing of its own
    }
    const HelpResult result = handler(command, data);
    return result.handled && !result.pass_on;
}

THookHelpSystem::THookHelpSystem(QString help_file, QString window_name, int viewer_choice,
                                 ShowWarningFn show_warning)
    : help_file_(std::move(help_file)), window_name_(std::move(window_name)), viewer_choice_(viewer_choice),
      show_warning_(std::move(show_warning)) {
    if (!show_warning_) {
        show_warning_ = [](const QString& text) {
            QMessageBox::warning(nullptr, QStringLiteral("Warnung"), text, QMessageBox::Ok);
        };
    }
    HookHandlers().push_back(
        {this, [this](unsigned command, std::uintptr_t data) { return HelpHook(command, data); }});
    qApp->installEventFilter(this);
    HHTrace(QStringLiteral("hook created: help file \"%1\", window \"%2\", viewer choice %3")
                .arg(help_file_, window_name_)
                .arg(viewer_choice_));
}

THookHelpSystem::~THookHelpSystem() {
    HHTrace(QStringLiteral("hook destroyed"));
    qApp->removeEventFilter(this);
    if (viewer_choice_ == 0) {
        HtmlHelp(nullptr, QString(), HH_CLOSE_ALL, 0);
    }
    std::erase_if(HookHandlers(), [this](const HookHandler& entry) { return entry.hook == this; });
}

HelpResult THookHelpSystem::HelpHook(unsigned command, std::uintptr_t data) {
    const HelpAction action = HelpRequestAction(command);
    static constexpr const char* kActionNames[] = {"show context", "nothing", "passed on"};
    HHTrace(QStringLiteral("help request: command %1, data %2: %3")
                .arg(command)
                .arg(data)
                .arg(QLatin1String(kActionNames[static_cast<int>(action)])));
    switch (action) {
    case HelpAction::ShowContext:
        ShowContext(data);
        return {true, false};
    case HelpAction::Nothing:
        return {true, false};
    case HelpAction::PassOn:
        break;
    }
    return {true, true};
}

void THookHelpSystem::ShowContext(std::uintptr_t context) {
    const QString path = QString::fromStdString(HelpFilePath(help_file_.toStdString()));
    if (!HHViewerInstalled()) {
        HHTrace(QStringLiteral("no viewer: warning shown"));
        show_warning_(QString::fromLatin1(kNoViewerText));
        return;
    }
    // The desktop owns the viewer window: it is no child of any of the program's windows.
    if (QWidget* viewer = HtmlHelp(nullptr, path, HH_HELP_CONTEXT, context)) {
        viewer->raise();
        viewer->activateWindow();
    }
}

// F1 (without modifiers; Shift+F1 is "What's This?") in a widget of a window with a help context.
bool THookHelpSystem::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier) {
        return false;
    }
    const int context = HelpContextOf(static_cast<QWidget*>(watched));
    if (context == 0) {
        return false;
    }
    ApplicationHelpCommand(HELP_CONTEXT, static_cast<std::uintptr_t>(context));
    return true;
}

} // namespace qlm::help

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The help hook: while it lives, the application's help requests go to it instead of the default
// handler. It turns F1 into a context request carrying the help context of the window the key was
// pressed in (the "helpContext" property of the focused widget, else of its parents up to their
// window), and shows the context in the help viewer (viewer_loader.h). A window without a context, such
// as a dialog, answers F1 with nothing.

#include "help/help_request.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class QWidget;

namespace qlm::help {

// The name of the widget property that carries a help context number.
inline constexpr char kHelpContextProperty[] = "helpContext";

// The help context of `widget`: its own, else the nearest of its parents up to its window; 0 when
// none of them carries one.
int HelpContextOf(const QWidget* widget);

struct HelpResult {
    bool handled = false;
    bool pass_on = false; // the default processing takes the request after all
};

// The application's own help handler. While a hook lives, the newest hook takes the requests in
// its place; once the last hook is gone, this handler has them again.
using HelpHandler = std::function<HelpResult(unsigned command, std::uintptr_t data)>;
HelpHandler& ApplicationHelpHandler();
// Hands a help request to the newest hook, else to the application's handler; gives whether
// anything took it and kept it from the default processing.
bool ApplicationHelpCommand(unsigned command, std::uintptr_t data);

class THookHelpSystem : public QObject {
  public:
    using ShowWarningFn = std::function<void(const QString& text)>;

    // The window passes "QLM.chm", an empty window name and 0 (the only viewer there is).
    // `show_warning` shows the warning when there is no viewer; by default a warning box.
    THookHelpSystem(QString help_file, QString window_name, int viewer_choice,
                    ShowWarningFn show_warning = nullptr);
    // Closes every viewer window and hands the requests back to the hook or handler before it.
    ~THookHelpSystem() override;
    THookHelpSystem(const THookHelpSystem&) = delete;
    THookHelpSystem& operator=(const THookHelpSystem&) = delete;

    HelpResult HelpHook(unsigned command, std::uintptr_t data);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowContext(std::uintptr_t context);

    QString help_file_;
    QString window_name_;
    int viewer_choice_;
    ShowWarningFn show_warning_;
};

} // namespace qlm::help

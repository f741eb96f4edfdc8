// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop's dialog that picks a folder. It only collects the choice; tests preset the answers
// (SetNextAnswer), so that no dialog waits for a click, and read what was asked.

#include <QList>
#include <QString>

#include <optional>
#include <string>

class QWidget;

namespace qlm::ui {

class FolderDialog {
  public:
    // Shows the dialog at `start` (the file system's bytes) and gives the chosen folder as the file
    // system's bytes, ending in "/"; nothing when the user cancels.
    static std::optional<std::string> Choose(QWidget* parent, const QString& title, const std::string& start);

    // Tests: the next Choose gives `answer` (a folder, or nothing as if cancelled) without showing
    // the dialog (first in, first out); the dialogs answered that way are recorded.
    struct Asked {
        QString title;
        QString start;
    };
    static void SetNextAnswer(std::optional<QString> answer);
    static QList<Asked> Recorded();
    static void ClearRecorded();
};

} // namespace qlm::ui

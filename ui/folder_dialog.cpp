// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/folder_dialog.h"

#include "platform/globals.h"

#include <QFile>
#include <QFileDialog>
#include <QQueue>

namespace qlm::ui {
namespace {

QQueue<std::optional<QString>>& PresetFolders() {
    static QQueue<std::optional<QString>> answers;
    return answers;
}

QList<FolderDialog::Asked>& RecordedDialogs() {
    static QList<FolderDialog::Asked> asked;
    return asked;
}

std::optional<std::string> AsFolderBytes(const QString& chosen) {
    if (chosen.isEmpty())
        return std::nullopt;
    return platform::AddBackslash(QFile::encodeName(chosen).toStdString());
}

} // namespace

std::optional<std::string> FolderDialog::Choose(QWidget* parent, const QString& title,
                                                const std::string& start) {
    const QString start_name = QFile::decodeName(QByteArray::fromStdString(start));
    if (!PresetFolders().isEmpty()) {
        RecordedDialogs().append(Asked{title, start_name});
        const std::optional<QString> answer = PresetFolders().dequeue();
        return answer ? AsFolderBytes(*answer) : std::nullopt;
    }
    return AsFolderBytes(QFileDialog::getExistingDirectory(parent, title, start_name));
}

void FolderDialog::SetNextAnswer(std::optional<QString> answer) {
    PresetFolders().enqueue(std::move(answer));
}

QList<FolderDialog::Asked> FolderDialog::Recorded() {
    return RecordedDialogs();
}

void FolderDialog::ClearRecorded() {
    RecordedDialogs().clear();
}

} // namespace qlm::ui

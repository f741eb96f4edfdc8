// SPDX-License-Identifier: GPL-3.0-or-later
// The entry points of the help viewer module, looked up by name when the program loads it:
// `HtmlHelpA` (open a help file at a context number or its start page, close every viewer window)
// and `QlmHelpViewerVersion`. One viewer window per help file, reused by every later call. A help
// file or topic that is not there gives a note saying so, so that F1 never does nothing silently.

#include "help/help_request.h"
#include "help/viewer/help_viewer_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

#include <cstdint>
#include <map>
#include <memory>

namespace {

using qlm::help::ChmFile;
using qlm::help::HelpViewerWindow;

std::map<QString, HelpViewerWindow*>& Windows() {
    static std::map<QString, HelpViewerWindow*> windows;
    return windows;
}

// A bare or relative name is looked for beside the program first, then in its installed data folder.
QString FindHelpFile(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    if (QDir::isAbsolutePath(path)) {
        return QFileInfo(path).isFile() ? QFileInfo(path).canonicalFilePath() : QString();
    }
    for (const QString& folder :
         {QCoreApplication::applicationDirPath(), QStringLiteral(QLM_HELP_INSTALLED_DATA_DIR)}) {
        const QFileInfo file(QDir(folder).filePath(path));
        if (file.isFile()) {
            return file.canonicalFilePath();
        }
    }
    return {};
}

// The window of the help file, made when there is none yet; nullptr when the file cannot be read.
HelpViewerWindow* WindowFor(const QString& file, bool& made) {
    made = false;
    const auto found = Windows().find(file);
    if (found != Windows().end()) {
        return found->second;
    }
    auto chm = ChmFile::Open(QFile::encodeName(file).toStdString());
    if (!chm) {
        return nullptr;
    }
    made = true;
    auto* window = new HelpViewerWindow(std::move(chm));
    Windows().emplace(file, window);
    return window;
}

// Why a call showed nothing, in a note of its own that does not hold up the program; a newer note
// replaces an older one.
QPointer<QMessageBox>& Note() {
    static QPointer<QMessageBox> note;
    return note;
}

void ShowNote(const QString& text) {
    delete Note().data();
    auto* note = new QMessageBox(QMessageBox::Warning, QStringLiteral("Hilfe"), text, QMessageBox::Ok);
    note->setObjectName(QStringLiteral("HelpViewerNote"));
    note->setAttribute(Qt::WA_DeleteOnClose);
    note->setAttribute(Qt::WA_QuitOnClose, false);
    note->setModal(false);
    Note() = note;
    note->show();
}

QString Quoted(const QString& name) {
    return QStringLiteral("„%1“").arg(name);
}

void CloseAll() {
    delete Note().data();
    // Deleted here and now: the module may be unloaded right after this call.
    auto windows = std::move(Windows());
    Windows().clear();
    for (auto& [file, window] : windows) {
        delete window;
    }
}

QWidget* Show(const char* path, unsigned command, std::uintptr_t data) {
    const QString name = QFile::decodeName(path != nullptr ? path : "");
    const QString file = FindHelpFile(name);
    if (file.isEmpty()) {
        ShowNote(QStringLiteral("Die Hilfedatei %1 wurde nicht gefunden.").arg(Quoted(name)));
        return nullptr;
    }
    bool made = false;
    HelpViewerWindow* window = WindowFor(file, made);
    if (window == nullptr) {
        ShowNote(QStringLiteral("Die Hilfedatei %1 kann nicht gelesen werden.").arg(Quoted(file)));
        return nullptr;
    }
    bool shown = false;
    if (command == qlm::help::HH_HELP_CONTEXT) {
        const auto topic = window->File().TopicOfContext(static_cast<std::uint32_t>(data));
        shown = topic && window->ShowTopic(*topic);
    } else {
        window->ShowStartPage();
        shown = !window->CurrentTopic().isEmpty();
    }
    if (!shown) {
        ShowNote(command == qlm::help::HH_HELP_CONTEXT
                     ? QStringLiteral("Die Hilfedatei %1 enthält kein Thema zur Hilfenummer %2.")
                           .arg(Quoted(file))
                           .arg(data)
                     : QStringLiteral("Die Hilfedatei %1 enthält keine Startseite.").arg(Quoted(file)));
        if (made) {
            Windows().erase(file);
            delete window;
        }
        return nullptr;
    }
    window->showNormal();
    return window;
}

} // namespace

extern "C" Q_DECL_EXPORT QWidget* HtmlHelpA(QWidget* /*owner: the viewer windows are the desktop's*/,
                                            const char* path, unsigned command, std::uintptr_t data) {
    switch (command) {
    case qlm::help::HH_DISPLAY_TOPIC:
    case qlm::help::HH_HELP_CONTEXT:
        return Show(path, command, data);
    case qlm::help::HH_CLOSE_ALL:
        CloseAll();
        return nullptr;
    default:
        return nullptr;
    }
}

extern "C" Q_DECL_EXPORT const char* QlmHelpViewerVersion() {
    return QLM_HELP_VIEWER_VERSION;
}

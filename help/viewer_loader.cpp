// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/viewer_loader.h"

#include "help/help_trace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QWidget>

#include <memory>

namespace qlm::help {
namespace {

using HtmlHelpFn = QWidget* (*)(QWidget*, const char*, unsigned, std::uintptr_t);
using VersionFn = const char* (*)();

struct Viewer {
    std::unique_ptr<QLibrary> library;
    HtmlHelpFn html_help = nullptr;
    QString version;
};

Viewer& TheViewer() {
    static Viewer viewer;
    return viewer;
}

// A version of four numbers joined by ".", the way the module reports it.
bool IsVersion(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) {
        return false;
    }
    for (const QString& part : parts) {
        bool number = false;
        part.toUInt(&number);
        if (!number) {
            return false;
        }
    }
    return true;
}

} // namespace

QStringList ViewerModuleFolders() {
    return {QCoreApplication::applicationDirPath(), QStringLiteral(QLM_HELP_VIEWER_INSTALLED_DIR)};
}

bool HHLoadViewer(const QStringList& folders) {
    Viewer& viewer = TheViewer();
    if (viewer.library) {
        return HHViewerInstalled();
    }
    for (const QString& folder : folders) {
        const QString file = QDir(folder).filePath(QStringLiteral(QLM_HELP_VIEWER_MODULE));
        if (!QFileInfo(file).isFile()) {
            HHTrace(QStringLiteral("viewer module %1: not there").arg(file));
            continue;
        }
        auto library = std::make_unique<QLibrary>(file);
        if (!library->load()) {
            HHTrace(QStringLiteral("viewer module %1: not loaded: %2").arg(file, library->errorString()));
            continue;
        }
        viewer.html_help = reinterpret_cast<HtmlHelpFn>(library->resolve("HtmlHelpA"));
        const auto version = reinterpret_cast<VersionFn>(library->resolve("QlmHelpViewerVersion"));
        const char* text = version != nullptr ? version() : nullptr;
        viewer.version = text != nullptr ? QString::fromLatin1(text) : QString();
        if (!IsVersion(viewer.version)) {
            viewer.version.clear();
        }
        HHTrace(QStringLiteral("viewer module %1: loaded, entry point HtmlHelpA %2, version \"%3\"")
                    .arg(file,
                         viewer.html_help != nullptr ? QStringLiteral("found") : QStringLiteral("missing"),
                         viewer.version));
        viewer.library = std::move(library);
        break;
    }
    HHTrace(QStringLiteral("viewer installed: %1")
                .arg(HHViewerInstalled() ? QStringLiteral("yes") : QStringLiteral("no")));
    return HHViewerInstalled();
}

void HHUnloadViewer() {
    Viewer& viewer = TheViewer();
    if (viewer.library) {
        viewer.library->unload();
        HHTrace(QStringLiteral("viewer module unloaded"));
    }
    viewer = Viewer{};
}

bool HHViewerInstalled() {
    return !TheViewer().version.isEmpty();
}

QString HHViewerVersion() {
    return TheViewer().version;
}

QWidget* HtmlHelp(QWidget* owner, const QString& path, unsigned command, std::uintptr_t data) {
    const Viewer& viewer = TheViewer();
    if (viewer.html_help == nullptr) {
        HHTrace(
            QStringLiteral("no viewer call (no entry point): command %1, data %2").arg(command).arg(data));
        return nullptr;
    }
    const QByteArray local_path = QFile::encodeName(path);
    QWidget* window = viewer.html_help(owner, local_path.constData(), command, data);
    HHTrace(QStringLiteral("HtmlHelpA(owner %1, \"%2\", command %3, data %4) gives %5")
                .arg(QString::number(reinterpret_cast<quintptr>(owner), 16), path)
                .arg(command)
                .arg(data)
                .arg(window != nullptr ? QStringLiteral("window %1").arg(window->windowTitle())
                                       : QStringLiteral("nothing")));
    return window;
}

} // namespace qlm::help

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers shared by the main window tests: a temporary working folder that holds the templates,
// files and pictures made on the spot, and a look at the window's widgets by name.

#include "ui/ask_dialog.h"
#include "ui/desktop_actions.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/window_style.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>

namespace qlm::ui::test {

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A picture of the test data copied under a new name.
inline void CopyPicture(const char* data_name, const QString& target) {
    const QString source = QStringLiteral(QLM_TEST_DATA_DIR "/pictures/") + QLatin1String(data_name);
    QFile::remove(target);
    QVERIFY2(QFile::copy(source, target), qPrintable(source));
}

// Fills `folder` (made if missing) from entries "name=test picture" (a picture of the test data,
// by its .jpg or .png name) and "name=bytes" (a file of those bytes).
inline void FillFolder(const QString& folder, const QStringList& entries) {
    QDir().mkpath(folder);
    for (const QString& entry : entries) {
        const QString name = entry.section(u'=', 0, 0);
        const QString value = entry.section(u'=', 1);
        if (value.endsWith(QStringLiteral(".jpg")) || value.endsWith(QStringLiteral(".png")))
            CopyPicture(qPrintable(value), folder + u'/' + name);
        else
            WriteBytes(folder + u'/' + name, value.toUtf8());
    }
}

// A folder path as the program holds it: the file system's bytes, ending in "/".
inline std::string FolderBytes(const QString& path) {
    return QFile::encodeName(QDir::cleanPath(path)).toStdString() + "/";
}

inline QStringList Captions(const QListWidget* list) {
    QStringList captions;
    for (int row = 0; row < list->count(); ++row)
        captions << list->item(row)->text();
    return captions;
}

inline QListWidgetItem* ItemNamed(const QListWidget* list, const QString& caption) {
    const QList<QListWidgetItem*> found = list->findItems(caption, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

// The style and font of the program, and message boxes answered without being shown.
inline void SetUpApplication() {
    QApplication::setStyle(CreateWindowStyle());
    QApplication::setFont(WindowFont());
    InitResources();
    MessageBoxes::SetAutoAnswer(true);
}

// A working folder with the four templates (the process's working directory while it lives) and a
// settings path inside it.
class WorkFolder {
  public:
    WorkFolder() {
        for (const char* name : {"MainHead.html", "MainRep.html", "MainTail.html", "Pic.html"})
            WriteBytes(Path(QLatin1String(name)), QByteArray("<p>") + name + "</p>");
        QDir::setCurrent(dir_.path());
    }
    QString Path(const QString& name = QString()) const {
        return name.isEmpty() ? dir_.path() : dir_.filePath(name);
    }
    std::string SettingsPath() const {
        return QFile::encodeName(Path(QStringLiteral("QLM.ini"))).toStdString();
    }
    void WriteSettings(const QByteArray& lines) const { WriteBytes(Path(QStringLiteral("QLM.ini")), lines); }
    std::unique_ptr<TMain> OpenWindow() const { return std::make_unique<TMain>(SettingsPath()); }
    // A window that lists `folder` at start.
    std::unique_ptr<TMain> OpenWindowAt(const QString& folder) const {
        WriteSettings("[Settings]\r\nDir=" + QByteArray::fromStdString(FolderBytes(folder)) + "\r\n");
        return OpenWindow();
    }

  private:
    QTemporaryDir dir_;
};

template <typename Widget> Widget* Child(const TMain& window, const char* name) {
    return window.findChild<Widget*>(QLatin1String(name));
}

// A window listing the folder "bilder" with the given pictures ("name=test picture") and files
// ("name=bytes" for names without a picture extension), all pictures selected.
struct Gallery {
    WorkFolder work;
    QString folder = QDir::cleanPath(work.Path(QStringLiteral("bilder")));
    std::unique_ptr<TMain> window;

    explicit Gallery(const QStringList& entries) {
        FillFolder(folder, entries);
        window = work.OpenWindowAt(folder);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // The list takes the focus once the window is up; its first entry becomes the focused one.
        QTRY_COMPARE(QApplication::focusWidget(), Part("MainList"));
        window->MarkAllClick();
        TFAskUser::ClearRecorded();
        MessageBoxes::ClearRecorded();
    }
    QString File(const QString& name) const { return folder + u'/' + name; }
    QByteArray Read(const QString& name) const { return ReadBytes(File(name)); }
    template <typename Widget = QWidget> Widget* Part(const char* name) const {
        return Child<Widget>(*window, name);
    }
    // The normal display: the list in view, the three command buttons usable.
    bool NormalDisplay() const {
        return Part("MainPanel")->isVisible() && !Part("WorkPanel")->isVisible() &&
               Part("MakeItSo")->isEnabled() && Part("RenameFiles")->isEnabled() &&
               Part("ReloadHTML")->isEnabled();
    }
};

// A stand-in for the desktop's opener: each path it is given goes on a line of its record.
class FakeOpener {
  public:
    void Install() const { DesktopActions::SetOpener(dir_.filePath(QStringLiteral("opener"))); }
    // The opener ends with `status` from now on (3: xdg-open found no program for the file).
    void EndWith(int status) const {
        const QString script = dir_.filePath(QStringLiteral("opener"));
        WriteBytes(script, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$0.record\"\nexit " +
                               QByteArray::number(status) + "\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QStringList Opened() const {
        const QString record = QString::fromUtf8(ReadBytes(dir_.filePath(QStringLiteral("opener.record"))));
        return record.split(u'\n', Qt::SkipEmptyParts);
    }
    void Forget() const { QFile::remove(dir_.filePath(QStringLiteral("opener.record"))); }
    // Installed, opening everything, with an empty record: how each test starts.
    void Restart() const {
        Install();
        EndWith(0);
        Forget();
    }

  private:
    QTemporaryDir dir_;
};

// Waits until the opener started by the last hand-off has ended.
inline bool HandOffEnds(QSignalSpy& ended) {
    return !ended.isEmpty() || ended.wait(10000);
}

} // namespace qlm::ui::test

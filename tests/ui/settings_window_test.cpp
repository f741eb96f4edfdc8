// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and closing of the main window: the settings file read at start and written on close,
// the templates loaded from the working directory, and the end of the program when they fail.

#include "ui/program.h"
#include "window_test_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

using namespace qlm::ui;
using namespace qlm::ui::test;

namespace {

const char* const kBoxes[] = {"CKeywords", "CDescription", "CAlt", "CWarn", "CImgwoAlt", "CThumbJPG"};

// The checked states of the six option boxes, in the order of kBoxes.
QList<bool> BoxStates(const TMain& window) {
    QList<bool> states;
    for (const char* name : kBoxes) {
        states << Child<QCheckBox>(window, name)->isChecked();
    }
    return states;
}

// Runs the application's event loop as the program does after start-up and gives its exit code;
// a loop that nobody ends is ended after a while with 99.
int RunEventLoop() {
    QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });
    return QApplication::exec();
}

} // namespace

class SettingsWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetUpApplication(); }
    void init() { MessageBoxes::ClearRecorded(); }

    void option_values_data();
    void option_values();
    void closing_writes_and_next_start_restores();
    void settings_that_cannot_be_written();
    void settings_fifo_neither_waited_for_nor_written();
    void templates_come_from_working_directory();
    void missing_template_ends_program_without_saving_data();
    void missing_template_ends_program_without_saving();
};

void SettingsWindowTest::option_values_data() {
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QList<bool>>("states");
    QTest::newRow("no settings file") << QByteArray() << QList<bool>{true, true, true, true, true, false};
    QTest::newRow("yes, 1 and empty") << QByteArray("Keywords=yes\r\nAlt=1\r\nWarn=\r\n")
                                      << QList<bool>{true, true, false, false, true, false};
    QTest::newRow("other words are false, keys in any case")
        << QByteArray(
               "KEYWORDS=ja\r\nDescription=on\r\nAlt=false\r\nWarn=0\r\nImgWoAlt=no\r\nthumbsjpg=TRUE\r\n")
        << QList<bool>{false, false, false, false, false, true};
}

void SettingsWindowTest::option_values() {
    QFETCH(QByteArray, lines);
    QFETCH(QList<bool>, states);
    WorkFolder work;
    if (!lines.isNull()) {
        work.WriteSettings("[Other]\r\nKeywords=false\r\n[Settings]\r\n" + lines);
    }
    const auto window = work.OpenWindow();
    QCOMPARE(BoxStates(*window), states);
}

void SettingsWindowTest::closing_writes_and_next_start_restores() {
    WorkFolder work;
    const QString folder = work.Path(QStringLiteral("bilder"));
    QVERIFY(QDir().mkpath(folder));
    const QList<bool> states{false, true, false, true, false, true};
    {
        const auto window = work.OpenWindowAt(folder);
        for (int i = 0; i < states.size(); ++i) {
            Child<QCheckBox>(*window, kBoxes[i])->setChecked(states[i]);
        }
        window->show();
        QVERIFY(window->close());
    }
    QVERIFY(ReadBytes(work.Path(QStringLiteral("QLM.ini"))).contains("ThumbsJPG=true"));
    const auto again = work.OpenWindow();
    QCOMPARE(BoxStates(*again), states);
    QCOMPARE(again->CurrentFolder(), FolderBytes(folder));
    QCOMPARE(Child<QLabel>(*again, "MyDir")->text(), QDir::cleanPath(folder) + u'/');
    QVERIFY(MessageBoxes::Recorded().isEmpty());
}

void SettingsWindowTest::settings_that_cannot_be_written() {
    WorkFolder work;
    // A folder in place of the settings file: nothing can be written there.
    const QString path = work.Path(QStringLiteral("QLM.ini"));
    QVERIFY(QDir().mkpath(path));
    const auto window = work.OpenWindow();
    window->show();
    QVERIFY(window->close());
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("QLM 2"));
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes[0].text, QStringLiteral("nach %1 kann nicht geschrieben werden.").arg(path));
}

// A FIFO in place of the settings file: the window starts with the defaults instead of waiting for
// a writer, and closing it leaves the FIFO alone without a box.
void SettingsWindowTest::settings_fifo_neither_waited_for_nor_written() {
    WorkFolder work;
    const std::string path = work.SettingsPath();
    QCOMPARE(::mkfifo(path.c_str(), 0644), 0);
    ::alarm(20); // a hang ends the test program instead of stalling the run
    const auto window = work.OpenWindow();
    window->show();
    QCOMPARE(BoxStates(*window), (QList<bool>{true, true, true, true, true, false}));
    QCOMPARE(window->CurrentFolder(), std::string());
    QVERIFY(window->close());
    ::alarm(0);
    QVERIFY(MessageBoxes::Recorded().isEmpty());
    struct stat state {};
    QCOMPARE(::lstat(path.c_str(), &state), 0);
    QVERIFY(S_ISFIFO(state.st_mode));
}

// The templates are read from the working directory at start and again on "Reload Defs".
void SettingsWindowTest::templates_come_from_working_directory() {
    WorkFolder work;
    WriteBytes(work.Path(QStringLiteral("Pic.html")), "<h1><mytitle></h1>");
    WriteBytes(work.Path(QStringLiteral("InfoHead.html")), "info head");
    const auto window = work.OpenWindow();
    QCOMPARE(window->Templates().pic, std::string("<h1><mytitle></h1>"));
    QCOMPARE(window->Templates().main_head, std::string("<p>MainHead.html</p>"));
    // "Correct Infofile" is not offered, so its templates are not read.
    QCOMPARE(window->Templates().info_head, std::string());
    WriteBytes(work.Path(QStringLiteral("Pic.html")), "neu");
    QTest::mouseClick(Child<QPushButton>(*window, "ReloadHTML"), Qt::LeftButton);
    QCOMPARE(window->Templates().pic, std::string("neu"));
    QVERIFY(window->TemplatesLoaded());
    QVERIFY(MessageBoxes::Recorded().isEmpty());
}

void SettingsWindowTest::missing_template_ends_program_without_saving_data() {
    QTest::addColumn<QString>("missing");
    QTest::addColumn<bool>("at_start"); // false: removed before a press of "Reload Defs"
    QTest::newRow("Pic.html at start") << "Pic.html" << true;
    QTest::newRow("MainTail.html on Reload Defs") << "MainTail.html" << false;
    QTest::newRow("with a saved folder that is gone") << "Pic.html" << true;
}

void SettingsWindowTest::missing_template_ends_program_without_saving() {
    QFETCH(QString, missing);
    QFETCH(bool, at_start);
    WorkFolder work;
    const QString folder = work.Path(QStringLiteral("bilder"));
    const bool folder_gone = QByteArray(QTest::currentDataTag()).contains("gone");
    if (!folder_gone) {
        QVERIFY(QDir().mkpath(folder));
    }
    const QByteArray settings =
        "[Settings]\r\nDir=" + QByteArray::fromStdString(FolderBytes(folder)) + "\r\nKeywords=false\r\n";
    work.WriteSettings(settings);
    if (at_start) {
        QVERIFY(QFile::remove(work.Path(missing)));
    }
    const auto window = work.OpenWindow();
    QCOMPARE(StartProgram(*window), !at_start);
    if (!at_start) {
        QVERIFY(window->TemplatesLoaded());
        QVERIFY(QFile::remove(work.Path(missing)));
        window->ReloadHTMLClick();
    }
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), folder_gone ? 2 : 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Fehler"));
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    // The sentence, then the folder looked in (the working directory, which has some of the
    // templates, so the search ends there) with what it lacks.
    QCOMPARE(boxes[0].text, QStringLiteral("Kann die Definitionsdatei(en) nicht laden! Das Programm wird "
                                           "beendet.\n\nGesucht in:\n") +
                                QDir(work.Path()).canonicalPath() + QStringLiteral("/ (es fehlt: ") +
                                missing + QStringLiteral(")"));
    QVERIFY(!window->TemplatesLoaded());
    // The rest of the start-up still ran: the settings were read and the folder listed (or,
    // when it is gone, the warning shown after the error box).
    if (folder_gone) {
        QCOMPARE(boxes[1].title, QStringLiteral("Warnung"));
    } else {
        QCOMPARE(Child<QLabel>(*window, "MyDir")->text(), QDir::cleanPath(folder) + u'/');
    }

    // The program ends as soon as the event loop runs, with a failure code.
    QSignalSpy about_to_quit(qApp, &QCoreApplication::aboutToQuit);
    QCOMPARE(RunEventLoop(), 1);
    QCOMPARE(about_to_quit.count(), 1);
    // Even a close of the window writes no settings on this path.
    Child<QCheckBox>(*window, "CThumbJPG")->setChecked(true);
    window->close();
    QCOMPARE(ReadBytes(work.Path(QStringLiteral("QLM.ini"))), settings);
}

QTEST_MAIN(SettingsWindowTest)
#include "settings_window_test.moc"

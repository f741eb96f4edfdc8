// SPDX-License-Identifier: GPL-3.0-or-later
// The help hook in windows of its own: F1 from the widgets of a window with a help context, none
// from a dialog without one, the warning without a viewer, and with the real viewer module and
// the real help file: the window at the topic, its contents, Back, Forward and the start page,
// reuse on a second F1, and every viewer window closed with the hook.

#include "help/help_hook.h"
#include "help/help_trace.h"
#include "help/manual/help_context.h"
#include "help/viewer_loader.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include <memory>

namespace qlm::help {

class HelpHookTest : public QObject {
    Q_OBJECT

  private:
    QStringList warnings_;

    std::unique_ptr<THookHelpSystem> MakeHook(const QString& file) {
        return std::make_unique<THookHelpSystem>(file, QString(), 0,
                                                 [this](const QString& text) { warnings_ << text; });
    }

    // A window like the main window: context 1 on the window only, a list and a check box in it.
    struct MainLike {
        QWidget window;
        QListWidget* list = new QListWidget(&window);
        QCheckBox* box = new QCheckBox(QStringLiteral("ask Keywords"), &window);
        MainLike() {
            window.setProperty(kHelpContextProperty, IDH_MAIN_WINDOW);
            box->move(0, 200);
            window.show();
        }
    };

    static QList<QWidget*> ViewerWindows() {
        QList<QWidget*> found;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QLatin1String("HelpViewer")) {
                found << widget;
            }
        }
        return found;
    }

    // The text of the viewer's visible note, a null string without one.
    static QString NoteText() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QLatin1String("HelpViewerNote") && widget->isVisible()) {
                return static_cast<QMessageBox*>(widget)->text();
            }
        }
        return {};
    }

    static void Click(QWidget* viewer, const QString& text) {
        for (auto* button : viewer->findChildren<QPushButton*>()) {
            if (button->text() == text) {
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no button ") + text));
    }

  private slots:
    void init() { warnings_.clear(); }

    void context_comes_from_the_window_only() {
        MainLike main;
        QDialog dialog(&main.window); // a child window: the context of its parent does not count
        auto* edit = new QLineEdit(&dialog);
        QCOMPARE(HelpContextOf(main.list), IDH_MAIN_WINDOW);
        QCOMPARE(HelpContextOf(main.box), IDH_MAIN_WINDOW);
        QCOMPARE(HelpContextOf(edit), 0);
        QCOMPARE(HelpContextOf(&dialog), 0);
        QCOMPARE(HelpContextOf(nullptr), 0);
        edit->setProperty(kHelpContextProperty, 7);
        QCOMPARE(HelpContextOf(edit), 7);
    }

    void without_viewer_each_f1_warns() {
        QVERIFY(!HHViewerInstalled());
        MainLike main;
        auto hook = MakeHook(QStringLiteral("QLM.chm"));
        QTest::keyClick(main.list, Qt::Key_F1);
        QTest::keyClick(main.box, Qt::Key_F1);
        const QString text = QStringLiteral("MS Html Help is not installed on this PC.");
        QCOMPARE(warnings_, QStringList({text, text}));
        // Shift+F1 is no help request, and a dialog without a context answers with nothing.
        QTest::keyClick(main.box, Qt::Key_F1, Qt::ShiftModifier);
        QDialog dialog(&main.window);
        auto* edit = new QLineEdit(&dialog);
        dialog.show();
        QTest::keyClick(edit, Qt::Key_F1);
        QTest::keyClick(&dialog, Qt::Key_F1);
        QCOMPARE(warnings_.size(), 2);
    }

    void request_table_and_saved_handler() {
        QList<unsigned> earlier;
        ApplicationHelpHandler() = [&earlier](unsigned command, std::uintptr_t) {
            earlier << command;
            return HelpResult{true, false};
        };
        {
            auto hook = MakeHook(QStringLiteral("QLM.chm"));
            QVERIFY(ApplicationHelpCommand(HELP_SETPOPUP_POS, 0x00640064));
            QCOMPARE(warnings_.size(), 0);
            QVERIFY(ApplicationHelpCommand(HELP_CONTEXTPOPUP, 1));
            QCOMPARE(warnings_.size(), 1);
            const HelpResult other = hook->HelpHook(3, 0);
            QVERIFY(other.handled && other.pass_on);
            QVERIFY(!ApplicationHelpCommand(3, 0));
            QVERIFY(earlier.isEmpty());
        }
        QVERIFY(ApplicationHelpCommand(HELP_CONTEXT, 1));
        QCOMPARE(earlier, QList<unsigned>({HELP_CONTEXT}));

        // Two hooks that go in the order they came: the requests go to the one left, then back to
        // the application's handler, never to a hook that is gone.
        auto first = MakeHook(QStringLiteral("QLM.chm"));
        auto second = MakeHook(QStringLiteral("QLM.chm"));
        first.reset();
        QVERIFY(ApplicationHelpCommand(HELP_CONTEXT, 1));
        QCOMPARE(warnings_.size(), 2);
        second.reset();
        QVERIFY(ApplicationHelpCommand(HELP_CONTEXT, 1));
        QCOMPARE(warnings_.size(), 2);
        QCOMPARE(earlier.size(), 2);
        ApplicationHelpHandler() = nullptr;
    }

    void trace_switches_and_place_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("switch_file");
        QTest::addColumn<bool>("on");
        const QString program = QStringLiteral("quillmoor");
        QTest::newRow("plain start") << QStringList{program} << false << false;
        QTest::newRow("/DEBUG") << QStringList{program, QStringLiteral("/DEBUG")} << false << true;
        QTest::newRow("-Debug") << QStringList{program, QStringLiteral("x"), QStringLiteral("-Debug")}
                                << false << true;
        QTest::newRow("debug without a switch sign")
            << QStringList{program, QStringLiteral("debug")} << false << false;
        QTest::newRow("program name is no switch") << QStringList{QStringLiteral("/debug")} << false << false;
        QTest::newRow("debug.debug") << QStringList{program} << true << true;
    }

    void trace_switches_and_place() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, switch_file);
        QFETCH(bool, on);
        QTemporaryDir folder;
        const QString trace = folder.filePath(QStringLiteral("HHDebug.txt"));
        QFile old(trace);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("an earlier run\n") > 0);
        old.close();
        if (switch_file) {
            QFile(folder.filePath(QStringLiteral("debug.debug"))).open(QIODevice::WriteOnly);
        }
        QCOMPARE(HHTraceStart(arguments, folder.path()), on);
        QCOMPARE(QFile::exists(trace), on); // the earlier trace is gone either way
        if (on) {
            MainLike main;
            auto hook = MakeHook(QStringLiteral("QLM.chm"));
            QTest::keyClick(main.list, Qt::Key_F1);
            hook.reset();
            QFile in(trace);
            QVERIFY(in.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(in.readAll());
            QVERIFY(text.startsWith(QStringLiteral("Quillmoor help trace")));
            QVERIFY(!text.contains(QStringLiteral("an earlier run")));
            for (const char* line : {"hook created: help file \"QLM.chm\", window \"\", viewer choice 0",
                                     "help request: command 1, data 1: show context",
                                     "no viewer: warning shown", "hook destroyed"}) {
                QVERIFY2(text.contains(QLatin1String(line)), line);
            }
        }
        HHTraceStop();
    }

    void trace_goes_to_the_temporary_folder_when_the_program_folder_is_closed() {
        QTemporaryDir temp;
        const QByteArray saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        const bool on = HHTraceStart({QStringLiteral("quillmoor"), QStringLiteral("/debug")},
                                     temp.filePath(QStringLiteral("no-such-folder")));
        HHTrace(QStringLiteral("a line"));
        const QString file = HHTraceFile();
        HHTraceStop();
        qputenv("TMPDIR", saved);
        QVERIFY(on);
        QCOMPARE(file, temp.filePath(QStringLiteral("HHDebug.txt")));
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QVERIFY(in.readAll().contains(" a line\n"));
    }

    void viewer_opens_the_topic_and_closes_with_the_hook() {
        QVERIFY(HHLoadViewer({QStringLiteral("/nonexistent-folder"), QStringLiteral(QLM_PROGRAM_DIR)}));
        QVERIFY(HHViewerInstalled());
        QCOMPARE(HHViewerVersion().count(QLatin1Char('.')), 3);
        MainLike main;
        {
            auto hook = MakeHook(QStringLiteral(QLM_PROGRAM_DIR "/QLM.chm"));
            QTest::keyClick(main.list, Qt::Key_F1);
            QCOMPARE(ViewerWindows().size(), 1);
            QWidget* viewer = ViewerWindows().first();
            QVERIFY(viewer->isVisible());
            QCOMPARE(viewer->windowTitle(), QStringLiteral("Quillmoor-Hilfe: Das Hauptfenster"));
            auto* browser = viewer->findChild<QTextBrowser*>();
            QVERIFY(browser != nullptr);
            QCOMPARE(browser->source().path(), QStringLiteral("/hauptfenster.html"));
            QVERIFY(browser->toPlainText().contains(QStringLiteral("Unten rechts: die Befehle")));
            // Pictures and the style sheet come out of the help file, relative to the page.
            QVERIFY(!browser
                         ->loadResource(QTextDocument::ImageResource,
                                        QUrl(QStringLiteral("bilder/make_html.png")))
                         .toByteArray()
                         .isEmpty());
            QVERIFY(
                browser->loadResource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("hilfe.css")))
                    .toString()
                    .contains(QStringLiteral("h1")));

            // The contents, decoded from Windows-1252.
            auto* tree = viewer->findChild<QTreeWidget*>();
            QVERIFY(tree != nullptr);
            QCOMPARE(tree->topLevelItemCount(), 1);
            QCOMPARE(tree->topLevelItem(0)->childCount(), 9);
            QCOMPARE(tree->topLevelItem(0)->child(1)->text(0),
                     QStringLiteral("Ordner wechseln und Bilder auswählen"));
            QCOMPARE(tree->currentItem(), tree->topLevelItem(0)->child(0));
            // The pane shows its longest entry whole, indentation included.
            QVERIFY(QTest::qWaitForWindowExposed(viewer));
            const QAbstractItemView* view = tree;
            QVERIFY2(tree->viewport()->width() >= view->sizeHintForColumn(0),
                     qPrintable(QStringLiteral("%1 < %2")
                                    .arg(tree->viewport()->width())
                                    .arg(view->sizeHintForColumn(0))));

            Click(viewer, QStringLiteral("Startseite"));
            QCOMPARE(browser->source().path(), QStringLiteral("/index.html"));
            Click(viewer, QStringLiteral("Zurück"));
            QCOMPARE(browser->source().path(), QStringLiteral("/hauptfenster.html"));
            Click(viewer, QStringLiteral("Vorwärts"));
            QCOMPARE(browser->source().path(), QStringLiteral("/index.html"));
            emit browser->anchorClicked(QUrl(QStringLiteral("chm:/namen.html")));
            QCOMPARE(browser->source().path(), QStringLiteral("/namen.html"));
            QCOMPARE(viewer->windowTitle(),
                     QStringLiteral("Quillmoor-Hilfe: „Correct Names“: Dateinamen für das Web"));

            // Escape closes the viewer; a second F1 brings the same window back, at the topic.
            viewer->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(viewer));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QTRY_VERIFY(!viewer->isVisible());
            QTest::keyClick(main.box, Qt::Key_F1);
            QCOMPARE(ViewerWindows(), QList<QWidget*>({viewer}));
            QVERIFY(viewer->isVisible());
            QCOMPARE(browser->source().path(), QStringLiteral("/hauptfenster.html"));
            QVERIFY(warnings_.isEmpty());
        }
        QVERIFY(ViewerWindows().isEmpty());

        // A help file that is not there, a context it lacks: no viewer window and nothing from the
        // program, but the viewer's note says why; it goes with the hook like the viewer windows.
        {
            auto hook = MakeHook(QStringLiteral("Fehlt.chm"));
            QTest::keyClick(main.list, Qt::Key_F1);
            QVERIFY(ViewerWindows().isEmpty());
            QVERIFY(warnings_.isEmpty());
            QCOMPARE(NoteText(), QStringLiteral("Die Hilfedatei „Fehlt.chm“ wurde nicht gefunden."));
            QVERIFY(HtmlHelp(nullptr, QStringLiteral(QLM_PROGRAM_DIR "/QLM.chm"), HH_HELP_CONTEXT, 2) ==
                    nullptr);
            QVERIFY(ViewerWindows().isEmpty());
            QVERIFY(NoteText().endsWith(QStringLiteral("QLM.chm“ enthält kein Thema zur Hilfenummer 2.")));
        }
        QVERIFY(NoteText().isNull());
        HHUnloadViewer();
        QVERIFY(!HHViewerInstalled());
    }
};

} // namespace qlm::help

QTEST_MAIN(qlm::help::HelpHookTest)
#include "help_hook_test.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The ask-user dialog: the prompt for each kind, the answers of its two buttons and keys, the text
// kept exactly as typed, and the description question that starts with the keywords.

#include "ui/ask_dialog.h"
#include "window_test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace qlm::ui;
using namespace qlm::ui::test;
using qlm::AskKind;

namespace {

// A shown dialog for one question; the test types and closes it, then reads the answer.
struct OpenQuestion {
    TFAskUser dialog;
    QLineEdit* edit = nullptr;

    OpenQuestion(AskKind kind, const std::string& initial) {
        dialog.Prepare(kind, initial);
        dialog.show();
        edit = dialog.findChild<QLineEdit*>(QStringLiteral("Entertext"));
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTRY_VERIFY(edit->hasFocus());
    }
    QString Prompt() const { return dialog.findChild<QLabel*>(QStringLiteral("AskText"))->text(); }
};

// Types the text key by key, umlauts included (QTest::keyClicks knows ASCII keys only).
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

} // namespace

class AskDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetUpApplication(); }

    void looks_as_designed();
    void prompt_by_kind_data();
    void prompt_by_kind();
    void answers_data();
    void answers();
    void initial_text_is_selected_and_typing_replaces_it();
    void description_question_starts_with_the_keywords();
};

void AskDialogTest::looks_as_designed() {
    TFAskUser dialog;
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(dialog.isModal());
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.size(), QSize(369, 185));
    const auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("OKText"));
    const auto* no = dialog.findChild<QPushButton*>(QStringLiteral("NoText"));
    QCOMPARE(ok->text(), QStringLiteral("übernehmen"));
    QCOMPARE(no->text(), QStringLiteral("kein Text"));
    QCOMPARE(ok->geometry(), QRect(32, 136, 113, 36));
    QCOMPARE(no->geometry(), QRect(216, 136, 121, 36));
    QVERIFY(ok->isDefault());
    QVERIFY(!ok->icon().isNull() && !no->icon().isNull());
    QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("Entertext"))->geometry(), QRect(8, 96, 353, 21));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("AskPic"))->pixmap().size(), QSize(52, 77));
}

void AskDialogTest::prompt_by_kind_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("1 keywords") << 1
                                << "Bitte geben Sie keywords (durch Kommas getrennt) für diese Seite ein:";
    QTest::newRow("2 description") << 2 << "Bitte geben Sie eine description für diese Bilder ein:";
    QTest::newRow("3 alt text") << 3 << "Bitte geben Sie einen ALT-Text für das nebenstehende Bild ein:";
    QTest::newRow("4 title") << 4 << "Bitte geben Sie einen Title für diese Seite ein:";
    QTest::newRow("0 unknown") << 0 << "?!?!?";
    QTest::newRow("5 unknown") << 5 << "?!?!?";
}

void AskDialogTest::prompt_by_kind() {
    QFETCH(int, kind);
    OpenQuestion question(static_cast<AskKind>(kind), "");
    QTEST(question.Prompt(), "prompt");
    // Any kind answers like the others.
    QTest::keyClicks(question.edit, QStringLiteral("x"));
    QTest::keyClick(question.edit, Qt::Key_Return);
    QCOMPARE(question.dialog.Answer(), std::string("x"));
}

void AskDialogTest::answers_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("close"); // "enter", "escape", "ok button", "no button", "f1 then enter"
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("Enter with an empty field") << ""
                                               << "enter" << QByteArray("");
    QTest::newRow("Escape declines whatever was typed") << "Meer"
                                                        << "escape" << QByteArray("<notext>");
    QTest::newRow("kein Text declines") << "Meer"
                                        << "no button" << QByteArray("<notext>");
    QTest::newRow("übernehmen accepts") << "Meer"
                                        << "ok button" << QByteArray("Meer");
    QTest::newRow("typed <notext> comes back unchanged") << "<notext>"
                                                         << "enter" << QByteArray("<notext>");
    QTest::newRow("blanks kept") << "  Am Strand  "
                                 << "enter" << QByteArray("  Am Strand  ");
    QTest::newRow("umlauts as UTF-8") << "Größe über Ähren"
                                      << "enter"
                                      << QByteArray("Gr\xC3\xB6\xC3\x9F"
                                                    "e \xC3\xBC"
                                                    "ber \xC3\x84hren");
    QTest::newRow("F1 opens nothing and leaves the question open") << "See"
                                                                   << "f1 then enter" << QByteArray("See");
    // Return presses the button that has the focus.
    QTest::newRow("Return on a focused kein Text declines") << "XYZ"
                                                            << "tab tab return" << QByteArray("<notext>");
    QTest::newRow("Return on a focused übernehmen accepts") << "XYZ"
                                                            << "tab return" << QByteArray("XYZ");
    QTest::newRow("back in the field Return accepts again")
        << "XYZ"
        << "tab tab back back return" << QByteArray("XYZ");
}

void AskDialogTest::answers() {
    QFETCH(QString, typed);
    QFETCH(QString, close);
    OpenQuestion question(AskKind::Title, "");
    Type(question.edit, typed);
    if (close == "enter") {
        QTest::keyClick(question.edit, Qt::Key_Return);
    } else if (close == "escape") {
        QTest::keyClick(question.edit, Qt::Key_Escape);
    } else if (close == "ok button") {
        QTest::mouseClick(question.dialog.findChild<QPushButton*>(QStringLiteral("OKText")), Qt::LeftButton);
    } else if (close == "no button") {
        QTest::mouseClick(question.dialog.findChild<QPushButton*>(QStringLiteral("NoText")), Qt::LeftButton);
    } else if (close.startsWith("tab")) {
        for (const QString& key : close.split(' ')) {
            QWidget* focused = QApplication::focusWidget();
            QVERIFY(focused != nullptr);
            if (key == "tab")
                QTest::keyClick(focused, Qt::Key_Tab);
            else if (key == "back")
                QTest::keyClick(focused, Qt::Key_Backtab, Qt::ShiftModifier);
            else
                QTest::keyClick(focused, Qt::Key_Return);
        }
    } else {
        QTest::keyClick(question.edit, Qt::Key_F1);
        QVERIFY(question.dialog.isVisible());
        QCOMPARE(QApplication::topLevelWidgets().count(), 1);
        QTest::keyClick(question.edit, Qt::Key_Return);
    }
    QVERIFY(!question.dialog.isVisible());
    QTEST(QByteArray::fromStdString(question.dialog.Answer()), "answer");
}

void AskDialogTest::initial_text_is_selected_and_typing_replaces_it() {
    OpenQuestion question(AskKind::Alt, "alter Text");
    QCOMPARE(question.edit->text(), QStringLiteral("alter Text"));
    QCOMPARE(question.edit->selectedText(), QStringLiteral("alter Text"));
    QTest::keyClicks(question.edit, QStringLiteral("neu"));
    QTest::keyClick(question.edit, Qt::Key_Enter);
    QCOMPARE(question.dialog.Answer(), std::string("neu"));

    // A text from a file made on Windows shows its umlauts rather than replacement characters.
    OpenQuestion windows(AskKind::Description, "Gr\xF6\xDF"
                                               "e");
    QCOMPARE(windows.edit->text(), QStringLiteral("Größe"));
}

// Through the window: the questions of a run come in order, the description's with the keywords
// as they stand after the keywords question, "<notext>" included.
void AskDialogTest::description_question_starts_with_the_keywords() {
    WorkFolder work;
    const QString folder = work.Path(QStringLiteral("bilder"));
    QVERIFY(QDir().mkpath(folder));
    CopyPicture("quadrants.png", folder + QStringLiteral("/a.png"));
    const auto window = work.OpenWindowAt(folder);
    window->show();
    window->MarkAllClick();
    TFAskUser::ClearRecorded();
    TFAskUser::SetNextAnswer(QStringLiteral("Titel"));
    TFAskUser::SetNextAnswer(std::nullopt);
    TFAskUser::SetNextAnswer(QStringLiteral("Beschreibung"));
    TFAskUser::SetNextAnswer(QStringLiteral("Text"));
    MessageBoxes::ClearRecorded();
    window->MakeItSoClick();
    const QList<TFAskUser::Asked> asked = TFAskUser::Recorded();
    QCOMPARE(asked.size(), 4);
    QCOMPARE(asked[0].prompt, QStringLiteral("Bitte geben Sie einen Title für diese Seite ein:"));
    QCOMPARE(asked[1].prompt,
             QStringLiteral("Bitte geben Sie keywords (durch Kommas getrennt) für diese Seite ein:"));
    QCOMPARE(asked[2].initial_text, QStringLiteral("<notext>"));
    QCOMPARE(asked[3].prompt,
             QStringLiteral("Bitte geben Sie einen ALT-Text für das nebenstehende Bild ein:"));
    QCOMPARE(ReadBytes(folder + QStringLiteral("/keywords.txt")), QByteArray("<notext>"));
    QCOMPARE(ReadBytes(folder + QStringLiteral("/description.txt")), QByteArray("Beschreibung"));
}

QTEST_MAIN(AskDialogTest)
#include "ask_dialog_test.moc"

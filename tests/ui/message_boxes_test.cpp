// SPDX-License-Identifier: GPL-3.0-or-later
// The message boxes: their titles and icons, the full stop of the standard error box, and the
// seam through which tests answer them.

#include "ui/message_boxes.h"

#include <QApplication>
#include <QTest>

using namespace qlm::ui;

class MessageBoxesTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { MessageBoxes::SetAutoAnswer(true); }
    void cleanup() {
        MessageBoxes::SetAutoAnswer(false);
        MessageBoxes::ClearRecorded();
    }

    void full_stop_rule_data();
    void full_stop_rule();
    void kinds_of_box_data();
    void kinds_of_box();
    void preset_answers_are_used_in_order();
    void a_choice_gives_its_escape_button_to_escape_and_to_closing();
};

// A full stop is added after a last character above "." only.
void MessageBoxesTest::full_stop_rule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("adds_stop");
    QTest::newRow("letter") << "Datei fehlt" << true;
    QTest::newRow("full stop") << "Schon zu Ende." << false;
    QTest::newRow("exclamation mark") << "Achtung!" << false;
    QTest::newRow("slash lies above the full stop") << "Bilder/" << true;
    QTest::newRow("umlaut") << QString::fromUtf8("Größe") << true;
    QTest::newRow("empty") << "" << false;
}

void MessageBoxesTest::full_stop_rule() {
    QFETCH(QString, text);
    QFETCH(bool, adds_stop);
    const QString shown = adds_stop ? text + u'.' : text;
    QCOMPARE(WithFullStop(text), shown);
    MessageBoxes::ShowStandardError(nullptr, text);
    QCOMPARE(MessageBoxes::Recorded().size(), 1);
    QCOMPARE(MessageBoxes::Recorded()[0].text, shown);
}

void MessageBoxesTest::kinds_of_box_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");
    QTest::newRow("standard error") << 0 << "QLM 2" << int(QMessageBox::Critical);
    QTest::newRow("warning") << 1 << "Warnung" << int(QMessageBox::Warning);
    QTest::newRow("error") << 2 << "Fehler" << int(QMessageBox::Critical);
}

void MessageBoxesTest::kinds_of_box() {
    QFETCH(int, kind);
    const QString text = QStringLiteral("Kein Zugriff");
    if (kind == 0) {
        MessageBoxes::ShowStandardError(nullptr, text);
    } else if (kind == 1) {
        MessageBoxes::ShowWarning(nullptr, text);
    } else {
        MessageBoxes::ShowError(nullptr, text);
    }
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QTEST(boxes[0].title, "title");
    QTEST(int(boxes[0].icon), "icon");
    // Only the standard error box adds a full stop.
    QCOMPARE(boxes[0].text, kind == 0 ? text + u'.' : text);
}

void MessageBoxesTest::preset_answers_are_used_in_order() {
    MessageBoxes::SetAutoAnswer(false);
    MessageBoxes::SetNextAnswer(QMessageBox::Ok);
    MessageBoxes::SetNextAnswer(QMessageBox::Ok);
    MessageBoxes::ShowWarning(nullptr, QStringLiteral("eins"));
    MessageBoxes::ShowError(nullptr, QStringLiteral("zwei"));
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0].text, QStringLiteral("eins"));
    QCOMPARE(boxes[1].text, QStringLiteral("zwei"));
}

// Escape and closing the box both give the escape button, which is also the default.
void MessageBoxesTest::a_choice_gives_its_escape_button_to_escape_and_to_closing() {
    MessageBoxes::SetAutoAnswer(false);
    const QList<BoxChoice> choices = {{QMessageBox::Retry, QStringLiteral("Fragen")},
                                      {QMessageBox::Cancel, QStringLiteral("Abbrechen")}};
    for (const bool escape : {true, false}) {
        // Runs inside the box's own event loop, once it is up.
        QMetaObject::invokeMethod(
            qApp,
            [escape] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box != nullptr);
                QCOMPARE(box->defaultButton(), box->button(QMessageBox::Cancel));
                if (escape)
                    QTest::keyClick(box, Qt::Key_Escape);
                else
                    box->close();
            },
            Qt::QueuedConnection);
        QCOMPARE(MessageBoxes::ShowChoice(nullptr, QMessageBox::Question, QStringLiteral("Make HTML"),
                                          QStringLiteral("?"), choices, QMessageBox::Cancel),
                 QMessageBox::Cancel);
    }
    // A preset answer is taken as it is, and the box is recorded with its buttons.
    MessageBoxes::SetNextAnswer(QMessageBox::Retry);
    QCOMPARE(MessageBoxes::ShowChoice(nullptr, QMessageBox::Question, QStringLiteral("Make HTML"),
                                      QStringLiteral("?"), choices, QMessageBox::Cancel),
             QMessageBox::Retry);
    QCOMPARE(MessageBoxes::Recorded().last().choices, (QStringList{"Fragen", "Abbrechen"}));
}

QTEST_MAIN(MessageBoxesTest)
#include "message_boxes_test.moc"

// The message boxes: their titles and icons, the full stop of the standard error box, and the
// seam through which tests answer them.

#include "ui/message_boxes.h"

#include <QTest>

using namespace qlm::ui;

class MessageBoxesTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() {
        MessageBoxes::SetAutoAnswer(false);
        MessageBoxes::ClearRecorded();
    }

    void full_stop_rule_data();
    void full_stop_rule();
    void kinds_of_box_data();
    void kinds_of_box();
    void preset_answers_are_used_in_order();
};

void MessageBoxesTest::full_stop_rule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Datei fehlt"
                            << "Datei fehlt.";
    QTest::newRow("digit") << "Fehler 5"
                           << "Fehler 5.";
    QTest::newRow("full stop") << "Schon zu Ende."
                               << "Schon zu Ende.";
    QTest::newRow("exclamation mark") << "Achtung!"
                                      << "Achtung!";
    QTest::newRow("closing parenthesis") << "(leer)"
                                         << "(leer)";
    QTest::newRow("blank") << "offen "
                           << "offen ";
    QTest::newRow("comma") << "und,"
                           << "und,";
    QTest::newRow("slash lies above the full stop") << "Bilder/"
                                                    << "Bilder/.";
    QTest::newRow("colon") << "Grund:"
                           << "Grund:.";
    QTest::newRow("umlaut") << QString::fromUtf8("Größe") << QString::fromUtf8("Größe.");
    QTest::newRow("empty") << ""
                           << "";
}

void MessageBoxesTest::full_stop_rule() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(WithFullStop(text), shown);
    MessageBoxes::SetAutoAnswer(true);
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
    QFETCH(QString, title);
    QFETCH(int, icon);
    MessageBoxes::SetAutoAnswer(true);
    // Only the standard error box adds a full stop.
    const QString text = QStringLiteral("Kein Zugriff");
    switch (kind) {
    case 0:
        MessageBoxes::ShowStandardError(nullptr, text);
        break;
    case 1:
        MessageBoxes::ShowWarning(nullptr, text);
        break;
    default:
        MessageBoxes::ShowError(nullptr, text);
        break;
    }
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, title);
    QCOMPARE(int(boxes[0].icon), icon);
    QCOMPARE(boxes[0].text, kind == 0 ? text + u'.' : text);
}

void MessageBoxesTest::preset_answers_are_used_in_order() {
    MessageBoxes::SetNextAnswer(QMessageBox::Ok);
    MessageBoxes::SetNextAnswer(QMessageBox::Ok);
    MessageBoxes::ShowWarning(nullptr, QStringLiteral("eins"));
    MessageBoxes::ShowError(nullptr, QStringLiteral("zwei"));
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0].text, QStringLiteral("eins"));
    QCOMPARE(boxes[1].text, QStringLiteral("zwei"));
    MessageBoxes::ClearRecorded();
    QVERIFY(MessageBoxes::Recorded().isEmpty());
}

QTEST_MAIN(MessageBoxesTest)
#include "message_boxes_test.moc"

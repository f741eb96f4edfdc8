// SPDX-License-Identifier: GPL-3.0-or-later
// "Make HTML" over a folder where many texts and thumbnails are missing: one box first offers
// another way, and each of its buttons does what it says; a folder with few missing goes as always.

#include "ui/ask_dialog.h"
#include "ui/prompts_offer_box.h"
#include "window_test_support.h"

#include <QCheckBox>

using namespace qlm::ui;
using namespace qlm::ui::test;

namespace {

// `count` pictures "p0.png" ... without text or thumbnail, and the folder's own texts.
QStringList BarePictures(int count) {
    QStringList entries{"title.txt=T", "keywords.txt=K", "description.txt=D"};
    for (int index = 0; index < count; ++index)
        entries << QStringLiteral("p%1.png=quadrants.png").arg(index);
    return entries;
}

QStringList TextFiles(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
}

const QStringList kFolderTexts{"description.txt", "keywords.txt", "title.txt"};

} // namespace

class PromptsOfferTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetUpApplication(); }

    void ten_boxes_go_as_always();
    void without_questions_writes_the_pages_and_no_text();
    void cancel_and_escape_write_nothing();
    void questions_come_as_always();
    void thumbnails_are_made_and_the_offer_returns_without_that_button();
};

void PromptsOfferTest::ten_boxes_go_as_always() {
    Gallery gallery(BarePictures(5));
    for (int index = 0; index < 5; ++index)
        TFAskUser::SetNextAnswer(QStringLiteral("Text"));
    gallery.window->MakeItSoClick();
    // Five questions and five warnings, no offer.
    QCOMPARE(TFAskUser::Recorded().size(), 5);
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 5);
    for (const ShownBox& box : boxes)
        QVERIFY2(box.text.startsWith(QStringLiteral("Der Thumbnail ")), qPrintable(box.text));
    QVERIFY(QFile::exists(gallery.File("index.html")));
}

void PromptsOfferTest::without_questions_writes_the_pages_and_no_text() {
    Gallery gallery(BarePictures(6)); // 6 texts + 6 thumbnails
    MessageBoxes::SetNextAnswer(kAskNothingAnswer);
    gallery.window->MakeItSoClick();

    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Make HTML"));
    QCOMPARE(boxes[0].choices, (QStringList{"Thumbnails erzeugen", "Fragen", "Ohne Fragen", "Abbrechen"}));
    QVERIFY2(boxes[0].text.contains(QStringLiteral("12 Fragen und Warnungen")), qPrintable(boxes[0].text));
    QVERIFY2(boxes[0].text.contains(QStringLiteral("Thumbnails fehlen zu 6 Bildern.")),
             qPrintable(boxes[0].text));
    QVERIFY2(boxes[0].text.contains(QStringLiteral("Texte fehlen: 6.")), qPrintable(boxes[0].text));
    QVERIFY(!boxes[0].text.contains(QStringLiteral("Webbilder")));
    // Nothing asked, no text file written, every page and the overview there.
    QVERIFY(TFAskUser::Recorded().isEmpty());
    QCOMPARE(TextFiles(gallery.folder), kFolderTexts);
    for (int index = 0; index < 6; ++index)
        QVERIFY(QFile::exists(gallery.File(QStringLiteral("p%1.html").arg(index))));
    QVERIFY(QFile::exists(gallery.File("index.html")));
    QVERIFY(gallery.NormalDisplay());
}

void PromptsOfferTest::cancel_and_escape_write_nothing() {
    Gallery gallery(BarePictures(11));
    const QStringList before = QDir(gallery.folder).entryList(QDir::Files, QDir::Name);
    MessageBoxes::SetNextAnswer(kCancelAnswer);
    gallery.window->MakeItSoClick();
    // Without a preset answer the box takes its default, as Escape and closing it would.
    gallery.window->MakeItSoClick();
    QCOMPARE(MessageBoxes::Recorded().size(), 2);
    QVERIFY(TFAskUser::Recorded().isEmpty());
    QCOMPARE(QDir(gallery.folder).entryList(QDir::Files, QDir::Name), before);
    QVERIFY(gallery.window->StatusText().isEmpty());
    QVERIFY(gallery.NormalDisplay());
}

void PromptsOfferTest::questions_come_as_always() {
    Gallery gallery(BarePictures(6));
    MessageBoxes::SetNextAnswer(kAskAnswer);
    for (int index = 0; index < 6; ++index)
        TFAskUser::SetNextAnswer(QStringLiteral("Text %1").arg(index));
    gallery.window->MakeItSoClick();
    QCOMPARE(TFAskUser::Recorded().size(), 6);
    QCOMPARE(gallery.Read("p5.txt"), QByteArray("Text 5"));
    // The offer, then a warning for each thumbnail.
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 7);
    QCOMPARE(boxes[6].text, QStringLiteral("Der Thumbnail t_p5.png fehlt!"));
}

void PromptsOfferTest::thumbnails_are_made_and_the_offer_returns_without_that_button() {
    Gallery gallery(BarePictures(11)); // 11 texts + 11 thumbnails; 11 texts left after making
    MessageBoxes::SetNextAnswer(kMakeThumbnailsAnswer);
    MessageBoxes::SetNextAnswer(kAskNothingAnswer);
    gallery.window->MakeItSoClick();
    for (int index = 0; index < 11; ++index)
        QVERIFY(QFile::exists(gallery.File(QStringLiteral("t_p%1.png").arg(index))));
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[1].choices, (QStringList{"Fragen", "Ohne Fragen", "Abbrechen"}));
    QVERIFY2(boxes[1].text.contains(QStringLiteral("11 Fragen und Warnungen")), qPrintable(boxes[1].text));
    QVERIFY(TFAskUser::Recorded().isEmpty());
    QCOMPARE(TextFiles(gallery.folder), kFolderTexts);
    QVERIFY(QFile::exists(gallery.File("index.html")));

    // Eleven texts alone still bring the offer, and "Fragen" then asks for each.
    MessageBoxes::ClearRecorded();
    MessageBoxes::SetNextAnswer(kAskAnswer);
    for (int index = 0; index < 11; ++index)
        TFAskUser::SetNextAnswer(QStringLiteral("T"));
    gallery.window->MakeItSoClick();
    QCOMPARE(MessageBoxes::Recorded().size(), 1);
    QCOMPARE(TFAskUser::Recorded().size(), 11);
}

QTEST_MAIN(PromptsOfferTest)
#include "prompts_offer_test.moc"

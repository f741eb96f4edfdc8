// SPDX-License-Identifier: GPL-3.0-or-later
// Stopping a "Make HTML" run in the window: "Abbrechen" on the progress display, and closing the
// window during the run. The run ends before its next picture with the pages before it whole, no
// overview, the normal display back and a box that says how far it got.

#include "ui/publish_command.h"
#include "ui/stopped_runs.h"
#include "window_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

using namespace qlm::ui;
using namespace qlm::ui::test;

namespace {

const QStringList kFivePictures{"a.png=quadrants.png", "b.png=quadrants.png", "c.png=quadrants.png",
                                "d.png=quadrants.png", "e.png=quadrants.png", "title.txt=T"};

// A gallery whose run asks and warns nothing.
void Quiet(const Gallery& gallery) {
    for (const char* box : {"CKeywords", "CDescription", "CAlt", "CWarn"})
        gallery.Part<QCheckBox>(box)->setChecked(false);
}

// Runs `action` once the run has counted `pictures` pictures, while it lets the window paint.
void WhenCounted(const Gallery& gallery, int pictures, const std::function<void()>& action) {
    auto* watch = new QTimer(gallery.window.get());
    QObject::connect(watch, &QTimer::timeout, [&gallery, pictures, action, watch] {
        if (gallery.Part<QProgressBar>("TheProgress")->value() < pictures)
            return;
        watch->stop();
        watch->deleteLater();
        action();
    });
    watch->start(0);
}

} // namespace

class StopRunTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetUpApplication(); }
    void init() { MessageBoxes::ClearRecorded(); }

    void stopped_texts_data();
    void stopped_texts();
    void abbrechen_stops_the_run_before_its_next_picture();
    void closing_during_a_run_asks_and_stops_it_when_confirmed();
    void abbrechen_stops_making_thumbnails();
    void abbrechen_stops_correct_names_between_pictures();
    void a_stopped_publishing_says_how_far_it_got();
};

void StopRunTest::stopped_texts_data() {
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("pictures");
    QTest::addColumn<QString>("text");
    QTest::newRow("some") << 3 << 10
                          << QStringLiteral(
                                 "Abgebrochen nach 3 von 10 Bildern; index.html wurde nicht geschrieben.");
    QTest::newRow("one picture") << 0 << 1
                                 << QStringLiteral(
                                        "Abgebrochen nach 0 von 1 Bild; index.html wurde nicht geschrieben.");
}

void StopRunTest::stopped_texts() {
    QFETCH(int, done);
    QFETCH(int, pictures);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(StoppedGalleryText(done, pictures)), text);
}

void StopRunTest::abbrechen_stops_the_run_before_its_next_picture() {
    Gallery gallery(kFivePictures);
    Quiet(gallery);
    auto* stop = gallery.Part<QPushButton>("StopRun");
    QVERIFY(!stop->isVisible());
    bool usable = false;
    // A click as the user gives it: through the filter that keeps other input from the window.
    WhenCounted(gallery, 2, [&] {
        usable = stop->isVisible() && stop->isEnabled();
        QTest::mouseClick(stop, Qt::LeftButton);
    });
    gallery.window->MakeItSoClick();

    QVERIFY(usable);
    QVERIFY(!QFile::exists(gallery.File("index.html")));
    QVERIFY(!QFile::exists(gallery.File("c.html")));
    const QByteArray a = gallery.Read("a.html"), b = gallery.Read("b.html");
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text,
             QStringLiteral("Abgebrochen nach 2 von 5 Bildern; index.html wurde nicht geschrieben."));
    QVERIFY(gallery.NormalDisplay());
    QVERIFY2(gallery.window->StatusText().isEmpty(), "no note of a gallery that was not made");

    // The next run is not stopped by the click before, and writes the same pages whole.
    gallery.window->MakeItSoClick();
    QVERIFY(QFile::exists(gallery.File("index.html")));
    QCOMPARE(gallery.Read("a.html"), a);
    QCOMPARE(gallery.Read("b.html"), b);
    QVERIFY(!a.isEmpty());
    const QStringList left = QDir(gallery.folder).entryList(QDir::Hidden | QDir::Files);
    QVERIFY2(left.filter(QStringLiteral(".qlm-")).isEmpty(), qPrintable(left.join(u' ')));
}

void StopRunTest::closing_during_a_run_asks_and_stops_it_when_confirmed() {
    Gallery gallery(kFivePictures);
    Quiet(gallery);
    MessageBoxes::SetNextAnswer(QMessageBox::Yes);
    std::optional<bool> closed;
    WhenCounted(gallery, 1, [&] { closed = gallery.window->close(); });
    gallery.window->MakeItSoClick();

    QVERIFY(closed.has_value());
    QVERIFY2(!*closed, "the window waits for the run to end");
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0].icon, QMessageBox::Question);
    QCOMPARE(boxes[0].text, QString::fromUtf8(kStopRunQuestion));
    QCOMPARE(boxes[1].text,
             QStringLiteral("Abgebrochen nach 1 von 5 Bildern; index.html wurde nicht geschrieben."));
    QVERIFY(!QFile::exists(gallery.File("index.html")));
    QVERIFY(!gallery.Read("a.html").isEmpty());
    QVERIFY(!QFile::exists(gallery.File("b.html")));
    // Then the window closes.
    QVERIFY(!gallery.window->isVisible());
}

void StopRunTest::abbrechen_stops_making_thumbnails() {
    QStringList pictures;
    for (int i = 0; i < 40; ++i)
        pictures << QStringLiteral("p%1.png=quadrants.png").arg(10 + i);
    Gallery gallery(pictures);
    // The maker lets the window take input after each picture; the click comes after a few.
    int pumped = 0;
    auto* watch = new QTimer(gallery.window.get());
    QObject::connect(watch, &QTimer::timeout, [&] {
        if (++pumped == 6)
            QTest::mouseClick(gallery.Part<QPushButton>("StopRun"), Qt::LeftButton);
    });
    watch->start(0);
    gallery.window->findChild<QAction*>(QStringLiteral("MakeThumbs"))->trigger();

    const QStringList made = QDir(gallery.folder).entryList({QStringLiteral("t_*")}, QDir::Files);
    QVERIFY2(made.size() < 40, "the run ended before the click");
    QVERIFY(made.size() > 0);
    watch->stop();
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, QString::fromStdString(StoppedMakerText(made.size(), 40)));
    // Each thumbnail made is whole: it decodes to its full size.
    for (const QString& name : made)
        QCOMPARE(QImage(gallery.File(name)).isNull(), false);
    const QStringList left = QDir(gallery.folder).entryList(QDir::Hidden | QDir::Files);
    QVERIFY2(left.filter(QStringLiteral(".qlm-")).isEmpty(), qPrintable(left.join(u' ')));
    QVERIFY(gallery.NormalDisplay());
}

void StopRunTest::abbrechen_stops_correct_names_between_pictures() {
    Gallery gallery({"a 1.png=quadrants.png", "t_a 1.png=quadrants.png", "a 1.txt=A", "a 2.png=quadrants.png",
                     "t_a 2.png=quadrants.png", "a 2.txt=A", "a 3.png=quadrants.png",
                     "t_a 3.png=quadrants.png", "a 3.txt=A"});
    // The run lets the window take input before each picture; the click comes before the second.
    int pumped = 0;
    auto* watch = new QTimer(gallery.window.get());
    QObject::connect(watch, &QTimer::timeout, [&] {
        if (gallery.Part<QProgressBar>("TheProgress")->value() == 1 && ++pumped == 1)
            QTest::mouseClick(gallery.Part<QPushButton>("StopRun"), Qt::LeftButton);
    });
    watch->start(0);
    gallery.window->RenameFilesClick();
    watch->stop();

    const QStringList files = QDir(gallery.folder).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files, (QStringList{"a 2.png", "a 2.txt", "a 3.png", "a 3.txt", "a1.png", "a1.txt", "t_a 2.png",
                                 "t_a 3.png", "t_a1.png"}));
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, QStringLiteral("Abgebrochen nach 1 von 3 Bildern."));
    QVERIFY(!gallery.Part("WorkPanel")->isVisible());
}

void StopRunTest::a_stopped_publishing_says_how_far_it_got() {
    qlm::PublishResult result;
    result.target = "/ziel/";
    result.files.push_back({"index.html", qlm::FileOutcome::Written, qlm::NotPublishedReason::None, 0, {}});
    result.cancelled = true;
    result.files_done = 1;
    result.files_found = 7;
    QCOMPARE(
        QString::fromStdString(PublishReportText(result)),
        QStringLiteral("Abgebrochen nach 1 von 7 Dateien; nichts wurde entfernt.\n\n"
                       "Veröffentlicht nach\n/ziel/\n\nDateien: 1 geschrieben, 0 unverändert, 0 entfernt."));
    QVERIFY(!result.Complete());
}

QTEST_MAIN(StopRunTest)
#include "stop_run_test.moc"

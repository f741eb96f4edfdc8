// SPDX-License-Identifier: GPL-3.0-or-later
// "Galerie veröffentlichen…" from the list's pop-up menu on real folders: the target asked for
// once and remembered beside "[Settings]", the box that reports what went where and shows the
// gallery in the browser, a new target through "Veröffentlichungsordner ändern…", and the targets
// and folders that are refused. The folder dialog and the boxes are answered by preset; the
// desktop's handler of file URLs is replaced by a recorder.

#include "ui/folder_dialog.h"
#include "ui/publish_command.h"
#include "window_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QProgressBar>

using namespace qlm::ui;
using namespace qlm::ui::test;

namespace {

// A window on the folder "bilder" holding a gallery made by "Make HTML" from two pictures, both
// selected, and a text no page links; the settings file as it was before any publishing.
struct PublishedGallery {
    WorkFolder work;
    QString folder = QDir::cleanPath(work.Path(QStringLiteral("bilder")));
    std::unique_ptr<TMain> window;
    QByteArray settings;

    PublishedGallery() {
        // Templates that link the thumbnails and the pictures, which publishing follows.
        WriteBytes(work.Path(QStringLiteral("MainRep.html")),
                   "<a href=\"<myhtmlfile>\"><img src=\"<mytinypicfile>\"></a>");
        WriteBytes(work.Path(QStringLiteral("Pic.html")), "<img src=\"<mypicfile>\">");
        FillFolder(folder, {"a.png=quadrants.png", "b.jpg=quadrants.jpg", "t_a.png=quadrants.png",
                            "t_b.jpg=quadrants.jpg", "title.txt=Urlaub", "notizen.txt=privat"});
        window = work.OpenWindowAt(folder);
        for (const char* box : {"CKeywords", "CDescription", "CAlt", "CWarn"})
            Child<QCheckBox>(*window, box)->setChecked(false);
        window->MarkAllClick();
        window->MakeItSoClick();
        QVERIFY(QFile::exists(folder + QStringLiteral("/index.html")));
        settings = ReadBytes(work.Path(QStringLiteral("QLM.ini")));
        MessageBoxes::ClearRecorded();
        FolderDialog::ClearRecorded();
    }
    QAction* Entry(const char* name) const { return Child<QAction>(*window, name); }
    QByteArray Settings() const { return ReadBytes(work.Path(QStringLiteral("QLM.ini"))); }
    // The section that remembers the target, as it follows "[Settings]".
    QByteArray Remembered(const QString& target) const {
        return "\r\n[Ver\xC3\xB6"
               "ffentlichen]\r\nOrdner1=" +
               QByteArray::fromStdString(FolderBytes(folder)) +
               "\r\nZiel1=" + QByteArray::fromStdString(FolderBytes(target)) + "\r\n";
    }
};

QString Canonical(const QString& folder) {
    return QDir(folder).canonicalPath() + u'/';
}

} // namespace

class PublishCommandTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetUpApplication(); }
    void init() {
        opener_.Restart();
        MessageBoxes::ClearRecorded();
        FolderDialog::ClearRecorded();
    }
    void cleanupTestCase() { DesktopActions::SetOpener(QStringLiteral("xdg-open")); }

    void first_publishing_asks_and_remembers_the_second_asks_nothing();
    void show_in_browser_opens_the_published_overview();
    void changing_the_target_asks_again_at_the_remembered_one();
    void refused_target_gives_the_error_box_and_writes_nothing_data();
    void refused_target_gives_the_error_box_and_writes_nothing();
    void without_a_gallery_nothing_is_asked();

  private:
    FakeOpener opener_;
};

void PublishCommandTest::first_publishing_asks_and_remembers_the_second_asks_nothing() {
    PublishedGallery gallery;
    QAction* entry = gallery.Entry("PublishGallery");
    QCOMPARE(entry->text(), QStringLiteral("Galerie veröffentlichen…"));
    QVERIFY(Child<QMenu>(*gallery.window, "MainPopUp")->actions().contains(entry));
    QVERIFY(entry->isEnabled());
    const QString target = gallery.work.Path(QStringLiteral("www"));
    FolderDialog::SetNextAnswer(target);
    entry->trigger();

    // Asked once, starting beside the picture folder; the target was made and holds the gallery,
    // not the text no page links (the record is hidden).
    QCOMPARE(FolderDialog::Recorded().size(), 1);
    QCOMPARE(FolderDialog::Recorded()[0].start, QDir::cleanPath(gallery.work.Path()) + u'/');
    const QStringList published{"a.html", "a.png", "b.html", "b.jpg", "index.html", "t_a.png", "t_b.jpg"};
    QCOMPARE(QDir(target).entryList(QDir::Files, QDir::Name), published);
    const int written = int(published.size());
    // "[Settings]" byte for byte, the target in a section of its own after it.
    QCOMPARE(gallery.Settings(), gallery.settings + gallery.Remembered(target));
    QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Galerie veröffentlichen"));
    QCOMPARE(boxes[0].icon, QMessageBox::Information);
    QCOMPARE(boxes[0].open_text, QStringLiteral("Im Browser zeigen"));
    QCOMPARE(boxes[0].text,
             QStringLiteral("Veröffentlicht nach\n%1\n\nDateien: %2 geschrieben, 0 unverändert, "
                            "0 entfernt.")
                 .arg(Canonical(target))
                 .arg(written));
    // The working display counted the files and has made way for the list again.
    const auto* progress = Child<QProgressBar>(*gallery.window, "TheProgress");
    QCOMPARE(progress->maximum(), written);
    QCOMPARE(progress->value(), written);
    QVERIFY(!Child<QWidget>(*gallery.window, "MainPanel")->isHidden());
    QVERIFY(Child<QWidget>(*gallery.window, "WorkPanel")->isHidden());
    QCOMPARE(gallery.window->SelectedPictures().size(), std::size_t(2));

    // The second publishing asks nothing and finds the same target up to date.
    MessageBoxes::ClearRecorded();
    entry->trigger();
    QVERIFY(FolderDialog::Recorded().size() == 1);
    boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].text.endsWith(
                 QStringLiteral("Dateien: 0 geschrieben, %1 unverändert, 0 entfernt.").arg(written)),
             qPrintable(boxes[0].text));

    // Closing the window writes "[Settings]" and keeps the remembered target.
    gallery.window->close();
    QVERIFY(gallery.Settings().endsWith(gallery.Remembered(target)));
}

void PublishCommandTest::show_in_browser_opens_the_published_overview() {
    PublishedGallery gallery;
    const QString target = gallery.work.Path(QStringLiteral("www"));
    FolderDialog::SetNextAnswer(target);
    MessageBoxes::SetNextAnswer(QMessageBox::Open);
    QSignalSpy ended(gallery.window->Desktop(), &DesktopActions::HandOffEnded);
    gallery.Entry("PublishGallery")->trigger();
    QVERIFY(HandOffEnds(ended));
    QCOMPARE(opener_.Opened(), QStringList{Canonical(target) + QStringLiteral("index.html")});

    // "OK" opens nothing.
    gallery.Entry("PublishGallery")->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(opener_.Opened().size(), 1);
}

void PublishCommandTest::changing_the_target_asks_again_at_the_remembered_one() {
    PublishedGallery gallery;
    const QString first = gallery.work.Path(QStringLiteral("www"));
    const QString second = gallery.work.Path(QStringLiteral("neu"));
    FolderDialog::SetNextAnswer(first);
    gallery.Entry("PublishGallery")->trigger();

    QAction* change = gallery.Entry("ChangePublishTarget");
    QCOMPARE(change->text(), QStringLiteral("Veröffentlichungsordner ändern…"));
    // Cancelled: nothing is published and the remembered target stays.
    FolderDialog::SetNextAnswer(std::nullopt);
    MessageBoxes::ClearRecorded();
    change->trigger();
    QVERIFY(MessageBoxes::Recorded().isEmpty());
    QCOMPARE(gallery.Settings(), gallery.settings + gallery.Remembered(first));

    FolderDialog::SetNextAnswer(second);
    change->trigger();
    QCOMPARE(FolderDialog::Recorded().size(), 3);
    QCOMPARE(FolderDialog::Recorded()[2].start, first + u'/');
    QVERIFY(QFile::exists(second + QStringLiteral("/index.html")));
    // The pair of the folder now names the new target; there is no second pair.
    QCOMPARE(gallery.Settings(), gallery.settings + gallery.Remembered(second));

    // From now on the new target is used without asking.
    QVERIFY(QFile::remove(second + QStringLiteral("/a.html")));
    gallery.Entry("PublishGallery")->trigger();
    QCOMPARE(FolderDialog::Recorded().size(), 3);
    QVERIFY(QFile::exists(second + QStringLiteral("/a.html")));

    // A remembered target that has become unusable is refused with the way to another one.
    QVERIFY(QDir(second).removeRecursively());
    WriteBytes(second, "kein Ordner");
    MessageBoxes::ClearRecorded();
    gallery.Entry("PublishGallery")->trigger();
    QCOMPARE(FolderDialog::Recorded().size(), 3);
    QVERIFY2(MessageBoxes::Recorded().value(0).text.endsWith(QStringLiteral(
                 "Einen anderen Zielordner wählen Sie mit „Veröffentlichungsordner ändern…“.")),
             qPrintable(MessageBoxes::Recorded().value(0).text));
}

void PublishCommandTest::refused_target_gives_the_error_box_and_writes_nothing_data() {
    QTest::addColumn<QString>("target"); // inside the work folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("inside the picture folder") << "bilder/web"
                                               << "Der Zielordner liegt im Bilderordner.";
    QTest::newRow("the picture folder") << "bilder"
                                        << "Der Zielordner ist der Bilderordner selbst.";
    QTest::newRow("a file") << "bilder.zip"
                            << "Das Ziel ist eine Datei, kein Ordner.";
    QTest::newRow("no parent") << "fehlt/www"
                               << "Der Zielordner kann nicht benutzt werden: ";
}

void PublishCommandTest::refused_target_gives_the_error_box_and_writes_nothing() {
    QFETCH(QString, target);
    QFETCH(QString, reason);
    PublishedGallery gallery;
    WriteBytes(gallery.work.Path(QStringLiteral("bilder.zip")), "zip");
    const QStringList before =
        QDir(gallery.folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    const QString path = gallery.work.Path(target);
    FolderDialog::SetNextAnswer(path);
    gallery.Entry("PublishGallery")->trigger();

    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Fehler"));
    QVERIFY2(boxes[0].text.startsWith(QStringLiteral("Die Galerie wurde nicht veröffentlicht.\n\n") + path +
                                      QStringLiteral("/\n") + reason),
             qPrintable(boxes[0].text));
    // Nothing written or remembered: the next publishing asks again.
    QCOMPARE(QDir(gallery.folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot), before);
    QCOMPARE(ReadBytes(gallery.work.Path(QStringLiteral("bilder.zip"))), QByteArray("zip"));
    QVERIFY(!QFile::exists(gallery.work.Path(QStringLiteral("fehlt"))));
    QCOMPARE(gallery.Settings(), gallery.settings);
    FolderDialog::SetNextAnswer(std::nullopt);
    gallery.Entry("PublishGallery")->trigger();
    QCOMPARE(FolderDialog::Recorded().size(), 2);
}

void PublishCommandTest::without_a_gallery_nothing_is_asked() {
    PublishedGallery gallery;
    QVERIFY(QFile::remove(gallery.folder + QStringLiteral("/index.html")));
    gallery.Entry("PublishGallery")->trigger();
    QVERIFY(FolderDialog::Recorded().isEmpty());
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Fehler"));
    QVERIFY2(boxes[0].text.contains(QStringLiteral("index.html fehlt")), qPrintable(boxes[0].text));
    QVERIFY2(boxes[0].text.contains(QStringLiteral("„Make HTML“")), qPrintable(boxes[0].text));
}

QTEST_MAIN(PublishCommandTest)
#include "publish_command_test.moc"

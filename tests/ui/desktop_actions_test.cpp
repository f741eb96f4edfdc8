// SPDX-License-Identifier: GPL-3.0-or-later
// The pop-up entries that hand over to the desktop: the user's own templates, made from the
// samples once and opened in the file manager, and the current gallery opened in the browser.
// The desktop's opener is replaced by a script that records what it is given and ends with the
// status the test chooses.

#include "ui/desktop_actions.h"
#include "window_test_support.h"

#include <QAction>
#include <QClipboard>

using namespace qlm::ui;
using namespace qlm::ui::test;

class DesktopActionsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        SetUpApplication();
        QVERIFY(data_.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(data_.path()));
    }
    void init() {
        QDir(OwnFolder()).removeRecursively();
        opener_.Restart();
        MessageBoxes::ClearRecorded();
    }
    void cleanupTestCase() { DesktopActions::SetOpener(QStringLiteral("xdg-open")); }

    void own_templates_are_made_opened_and_then_used();
    void own_templates_already_there_are_left_alone();
    void gallery_entry_follows_index_html();
    void failed_template_search_names_folders_and_files();
    void failed_hand_off_names_the_path_and_copies_it_data();
    void failed_hand_off_names_the_path_and_copies_it();

  private:
    QString OwnFolder() const { return data_.path() + QStringLiteral("/quillmoor/templates"); }

    QTemporaryDir data_;
    FakeOpener opener_;
};

void DesktopActionsTest::own_templates_are_made_opened_and_then_used() {
    WorkFolder work;
    const auto window = work.OpenWindowAt(work.Path());
    QVERIFY(window->TemplatesLoaded());
    QAction* entry = window->Desktop()->OwnTemplatesEntry();
    QCOMPARE(entry->text(), QStringLiteral("Eigene Vorlagen bearbeiten"));
    QSignalSpy ended(window->Desktop(), &DesktopActions::HandOffEnded);
    entry->trigger();

    // Made from the templates in use (a build tree has no installed samples) and opened; the
    // status line names the folder, so that the user can find it again without a file manager.
    QCOMPARE(ReadBytes(OwnFolder() + QStringLiteral("/MainHead.html")), QByteArray("<p>MainHead.html</p>"));
    QCOMPARE(ReadBytes(OwnFolder() + QStringLiteral("/Pic.html")), QByteArray("<p>Pic.html</p>"));
    QVERIFY(HandOffEnds(ended));
    QCOMPARE(opener_.Opened(), QStringList{OwnFolder() + u'/'});
    QCOMPARE(window->StatusText(), QStringLiteral("Eigene Vorlagen: ") + OwnFolder() + u'/');
    QVERIFY(MessageBoxes::Recorded().isEmpty());

    // Without templates in the working directory, "Reload Defs" takes the user's edited ones.
    WriteBytes(OwnFolder() + QStringLiteral("/MainHead.html"), "<h1>own</h1>");
    for (const char* name : {"MainHead.html", "MainRep.html", "MainTail.html", "Pic.html"})
        QVERIFY(QFile::remove(work.Path(QLatin1String(name))));
    window->ReloadHTMLClick();
    QVERIFY(window->TemplatesLoaded());
    QCOMPARE(window->Templates().main_head, std::string("<h1>own</h1>"));
    QCOMPARE(window->Templates().pic, std::string("<p>Pic.html</p>"));
}

void DesktopActionsTest::own_templates_already_there_are_left_alone() {
    WorkFolder work;
    FillFolder(OwnFolder(), {QStringLiteral("MainHead.html=mine")});
    const auto window = work.OpenWindowAt(work.Path());
    QSignalSpy ended(window->Desktop(), &DesktopActions::HandOffEnded);
    window->Desktop()->OwnTemplatesEntry()->trigger();
    QCOMPARE(ReadBytes(OwnFolder() + QStringLiteral("/MainHead.html")), QByteArray("mine"));
    QVERIFY(!QFile::exists(OwnFolder() + QStringLiteral("/Pic.html")));
    QVERIFY(HandOffEnds(ended));
    QCOMPARE(opener_.Opened().size(), 1);
    // The working directory's templates stay in use.
    QCOMPARE(window->Templates().main_head, std::string("<p>MainHead.html</p>"));
}

void DesktopActionsTest::gallery_entry_follows_index_html() {
    WorkFolder work;
    const QString folder = work.Path(QStringLiteral("bilder"));
    FillFolder(folder, {QStringLiteral("a.jpg=quadrants.jpg")});
    const auto window = work.OpenWindowAt(folder);
    DesktopActions* actions = window->Desktop();
    QCOMPARE(actions->GalleryEntry()->text(), QStringLiteral("Galerie im Browser zeigen"));
    actions->UpdateEntries();
    QVERIFY(!actions->GalleryEntry()->isEnabled());

    WriteBytes(folder + QStringLiteral("/index.html"), "<html></html>");
    actions->UpdateEntries();
    QVERIFY(actions->GalleryEntry()->isEnabled());
    QSignalSpy ended(actions, &DesktopActions::HandOffEnded);
    actions->GalleryEntry()->trigger();
    QVERIFY(HandOffEnds(ended));
    QCOMPARE(opener_.Opened(), QStringList{folder + QStringLiteral("/index.html")});

    // Gone meanwhile: nothing is opened and the entry turns off.
    QVERIFY(QFile::remove(folder + QStringLiteral("/index.html")));
    actions->ShowGallery();
    QCoreApplication::processEvents();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(opener_.Opened().size(), 1);
    QVERIFY(!actions->GalleryEntry()->isEnabled());
}

void DesktopActionsTest::failed_template_search_names_folders_and_files() {
    WorkFolder work;
    const auto window = work.OpenWindowAt(work.Path());
    for (const char* name : {"MainRep.html", "Pic.html"})
        QVERIFY(QFile::remove(work.Path(QLatin1String(name))));
    window->ReloadHTMLClick();
    QVERIFY(!window->TemplatesLoaded());
    const auto boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    const QString sentence = QStringLiteral(
        "Kann die Definitionsdatei(en) nicht laden! Das Programm wird beendet.\n\nGesucht in:\n");
    const QString wd = QDir(work.Path()).canonicalPath() + u'/';
    // The working directory holds some, so the search ended there.
    QCOMPARE(boxes.first().text, sentence + wd + QStringLiteral(" (es fehlt: MainRep.html, Pic.html)"));

    // With none anywhere, every folder looked in is named, in the order of the search.
    for (const char* name : {"MainHead.html", "MainTail.html"})
        QVERIFY(QFile::remove(work.Path(QLatin1String(name))));
    MessageBoxes::ClearRecorded();
    window->ReloadHTMLClick();
    const QString all = QStringLiteral(" (es fehlt: MainHead.html, MainRep.html, MainTail.html, Pic.html)");
    const QString text = MessageBoxes::Recorded().value(0).text;
    QVERIFY2(text.startsWith(sentence + wd + all + u'\n' + OwnFolder() + u'/' + all), qPrintable(text));
}

void DesktopActionsTest::failed_hand_off_names_the_path_and_copies_it_data() {
    QTest::addColumn<bool>("gallery");
    QTest::addColumn<bool>("opener_missing");
    QTest::newRow("no browser") << true << false;
    QTest::newRow("no file manager") << false << false;
    QTest::newRow("no opener at all") << true << true;
}

// The opener's failure (no browser or file manager found, exit status 3; or no opener installed)
// reaches the user as a box that names the path, which is also on the clipboard.
void DesktopActionsTest::failed_hand_off_names_the_path_and_copies_it() {
    QFETCH(bool, gallery);
    QFETCH(bool, opener_missing);
    WorkFolder work;
    const QString folder = work.Path(QStringLiteral("bilder"));
    FillFolder(folder, {QStringLiteral("a.jpg=quadrants.jpg"), QStringLiteral("index.html=<html></html>")});
    const auto window = work.OpenWindowAt(folder);
    opener_.EndWith(3);
    if (opener_missing)
        DesktopActions::SetOpener(work.Path(QStringLiteral("kein-opener")));
    QGuiApplication::clipboard()->clear();
    QSignalSpy ended(window->Desktop(), &DesktopActions::HandOffEnded);
    if (gallery) {
        window->Desktop()->UpdateEntries();
        window->Desktop()->GalleryEntry()->trigger();
    } else {
        window->Desktop()->OwnTemplatesEntry()->trigger();
    }
    QVERIFY(HandOffEnds(ended));

    const QString path = gallery ? folder + QStringLiteral("/index.html") : OwnFolder() + u'/';
    QCOMPARE(ended.first().at(0).toString(), path);
    QCOMPARE(ended.first().at(1).toBool(), false);
    QCOMPARE(QGuiApplication::clipboard()->text(), path);
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Warnung"));
    const QString first =
        gallery
            ? QStringLiteral("Kann ") + path + QStringLiteral(" nicht im Browser öffnen.")
            : QStringLiteral("Kann den Ordner ") + path + QStringLiteral(" nicht im Dateimanager öffnen.");
    QCOMPARE(boxes[0].text, first + QStringLiteral("\nDer Pfad steht in der Zwischenablage:\n") + path);
    // Nothing said in the status line that did not happen.
    QVERIFY(!window->StatusText().startsWith(QStringLiteral("Eigene Vorlagen")));
}

QTEST_MAIN(DesktopActionsTest)
#include "desktop_actions_test.moc"

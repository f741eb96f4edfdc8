// SPDX-License-Identifier: GPL-3.0-or-later
// The pop-up entries that hand over to the desktop: the user's own templates, made from the
// samples once and opened in the file manager, and the current gallery opened in the browser.
// The desktop's handler of file URLs is replaced by a recorder.

#include "ui/desktop_actions.h"
#include "window_test_support.h"

#include <QAction>
#include <QDesktopServices>
#include <QUrl>

using namespace qlm::ui;
using namespace qlm::ui::test;

// Takes the URLs the program hands to the desktop.
class UrlRecorder : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> opened;

  public slots:
    void record(const QUrl& url) { opened << url; }
};

class DesktopActionsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        SetUpApplication();
        QVERIFY(data_.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(data_.path()));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder_, "record");
    }
    void init() {
        QDir(OwnFolder()).removeRecursively();
        recorder_.opened.clear();
        MessageBoxes::ClearRecorded();
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void own_templates_are_made_opened_and_then_used();
    void own_templates_already_there_are_left_alone();
    void gallery_entry_follows_index_html();
    void failed_template_search_names_folders_and_files();

  private:
    QString OwnFolder() const { return data_.path() + QStringLiteral("/quillmoor/templates"); }

    QTemporaryDir data_;
    UrlRecorder recorder_;
};

void DesktopActionsTest::own_templates_are_made_opened_and_then_used() {
    WorkFolder work;
    const auto window = work.OpenWindowAt(work.Path());
    QVERIFY(window->TemplatesLoaded());
    QAction* entry = window->Desktop()->OwnTemplatesEntry();
    QCOMPARE(entry->text(), QStringLiteral("Eigene Vorlagen bearbeiten"));
    entry->trigger();

    // Made from the templates in use (a build tree has no installed samples) and opened.
    QCOMPARE(ReadBytes(OwnFolder() + QStringLiteral("/MainHead.html")), QByteArray("<p>MainHead.html</p>"));
    QCOMPARE(ReadBytes(OwnFolder() + QStringLiteral("/Pic.html")), QByteArray("<p>Pic.html</p>"));
    QCOMPARE(recorder_.opened, QList<QUrl>{QUrl::fromLocalFile(OwnFolder() + u'/')});
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
    window->Desktop()->OwnTemplatesEntry()->trigger();
    QCOMPARE(ReadBytes(OwnFolder() + QStringLiteral("/MainHead.html")), QByteArray("mine"));
    QVERIFY(!QFile::exists(OwnFolder() + QStringLiteral("/Pic.html")));
    QCOMPARE(recorder_.opened.size(), 1);
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
    actions->GalleryEntry()->trigger();
    QCOMPARE(recorder_.opened, QList<QUrl>{QUrl::fromLocalFile(folder + QStringLiteral("/index.html"))});

    // Gone meanwhile: nothing is opened and the entry turns off.
    QVERIFY(QFile::remove(folder + QStringLiteral("/index.html")));
    actions->ShowGallery();
    QCOMPARE(recorder_.opened.size(), 1);
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

QTEST_MAIN(DesktopActionsTest)
#include "desktop_actions_test.moc"

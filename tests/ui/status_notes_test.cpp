// SPDX-License-Identifier: GPL-3.0-or-later
// The status line after each command: what it made, where the gallery is (with its button to the
// browser), that renamed pictures need their pages made again, and where the templates came from.

#include "window_test_support.h"

#include <QCheckBox>
#include <QPushButton>

using namespace qlm::ui;
using namespace qlm::ui::test;

class StatusNotesTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetUpApplication(); }
    void init() { opener_.Restart(); }
    void cleanupTestCase() { DesktopActions::SetOpener(QStringLiteral("xdg-open")); }

    void make_html_names_the_overview_and_opens_it();
    void web_pictures_are_counted_and_the_selection_stays();
    void correct_names_without_a_change_says_so();
    void reload_defs_names_the_templates_folder();
    void another_folder_clears_the_note();

  private:
    FakeOpener opener_;
};

namespace {

// No questions: the folder texts are there and the pictures' texts are not asked for.
void AskNothing(const Gallery& gallery) {
    for (const char* name : {"CKeywords", "CDescription", "CAlt", "CWarn"})
        gallery.Part<QCheckBox>(name)->setChecked(false);
}

} // namespace

void StatusNotesTest::make_html_names_the_overview_and_opens_it() {
    Gallery gallery({"a.png=quadrants.png", "title.txt=T"});
    AskNothing(gallery);
    auto* button = gallery.Part<QPushButton>("ShowInBrowser");
    QVERIFY(!button->isVisible());
    gallery.window->MakeItSoClick();

    const QString page = gallery.File(QStringLiteral("index.html"));
    QCOMPARE(gallery.window->StatusText(), QStringLiteral("Galerie erzeugt: ") + page);
    QCOMPARE(button->text(), QStringLiteral("Im Browser zeigen"));
    QVERIFY(button->isVisible());
    // The note adds no box to the run.
    QVERIFY(MessageBoxes::Recorded().isEmpty());

    QSignalSpy ended(gallery.window->Desktop(), &DesktopActions::HandOffEnded);
    button->click();
    QVERIFY(HandOffEnds(ended));
    QCOMPARE(opener_.Opened(), QStringList{page});
}

void StatusNotesTest::web_pictures_are_counted_and_the_selection_stays() {
    Gallery gallery({"a.png=quadrants.png", "b.jpg=quadrants.jpg", "c.jpg=quadrants.jpg"});
    gallery.Part<QListWidget>("MainList")->item(1)->setSelected(false); // a.png
    gallery.window->MakeWebPicsClick();
    // The test pictures are smaller than every web size, so none needs a copy.
    QCOMPARE(gallery.window->StatusText(), QStringLiteral("Webbilder für 0 Bilder erzeugt"));
    QCOMPARE(gallery.window->SelectedPictures(), (std::vector<std::string>{"b.jpg", "c.jpg"}));
    QVERIFY(gallery.Part("MakeItSo")->isEnabled());

    QCOMPARE(MadeWebPicturesNote(1), std::string("Webbilder für 1 Bild erzeugt"));
    QCOMPARE(MadeThumbnailsNote(12), std::string("12 Thumbnails erzeugt"));
    QCOMPARE(MadeThumbnailsNote(0), std::string("0 Thumbnails erzeugt"));
}

void StatusNotesTest::correct_names_without_a_change_says_so() {
    Gallery gallery({"bild_01.png=quadrants.png"});
    gallery.window->RenameFilesClick();
    QCOMPARE(gallery.window->StatusText(), QStringLiteral("Keine Namen geändert"));
}

void StatusNotesTest::reload_defs_names_the_templates_folder() {
    Gallery gallery({"a.png=quadrants.png"});
    gallery.Part<QPushButton>("ReloadHTML")->click();
    QVERIFY(gallery.window->TemplatesLoaded());
    QCOMPARE(gallery.window->StatusText(),
             QStringLiteral("Vorlagen geladen aus ") + QDir(gallery.work.Path()).canonicalPath() + u'/');
}

void StatusNotesTest::another_folder_clears_the_note() {
    Gallery gallery({"a.png=quadrants.png", "title.txt=T"});
    AskNothing(gallery);
    gallery.window->MakeItSoClick();
    QVERIFY(gallery.Part("ShowInBrowser")->isVisible());
    auto* list = gallery.Part<QListWidget>("MainList");
    list->setCurrentItem(ItemNamed(list, QStringLiteral("..")));
    gallery.window->MainListDblClick();
    QVERIFY(gallery.window->StatusText().isEmpty());
    QVERIFY(!gallery.Part("ShowInBrowser")->isVisible());
}

QTEST_MAIN(StatusNotesTest)
#include "status_notes_test.moc"

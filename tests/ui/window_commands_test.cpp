// SPDX-License-Identifier: GPL-3.0-or-later
// The window's commands on real folders: "Make HTML" with its questions, warnings and the display
// it leaves, a damaged picture that stops the run, "Correct Names" and "Correct Infofile".

#include "ui/ask_dialog.h"
#include "window_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace qlm::ui;
using namespace qlm::ui::test;

class WindowCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetUpApplication(); }

    void make_html_writes_the_gallery();
    void damaged_picture_stops_the_run_and_the_window_is_usable_again();
    void correct_names_renames_companions_and_reloads();
    void correct_infofile_writes_the_info_page();
    void a_folder_in_use_by_another_run_is_left_alone();
    void missing_thumbnails_are_made_from_the_pop_up_menu();
    void return_presses_the_focused_button_and_the_list_takes_the_focus_back();
    void close_during_a_run_is_refused_and_the_progress_says_so();
};

void WindowCommandsTest::make_html_writes_the_gallery() {
    Gallery gallery(
        {"a.png=quadrants.png", "b.jpg=quadrants.jpg", "t_a.png=quadrants.png", "title.txt=Urlaub"});
    gallery.Part<QCheckBox>("CImgwoAlt")->setChecked(false);
    TFAskUser::SetNextAnswer(QStringLiteral("Meer"));           // keywords
    TFAskUser::SetNextAnswer(std::nullopt);                     // description declined
    TFAskUser::SetNextAnswer(QStringLiteral(" Bild \"eins\"")); // text of a.png
    TFAskUser::SetNextAnswer(QStringLiteral("Straße"));         // text of b.jpg
    QVERIFY(!MakeItSoClick(*gallery.window).stopped);

    QCOMPARE(TFAskUser::Recorded().size(), 4);
    QCOMPARE(gallery.Read("keywords.txt"), QByteArray("Meer"));
    QCOMPARE(gallery.Read("description.txt"), QByteArray("<notext>"));
    QCOMPARE(gallery.Read("a.txt"), QByteArray(" Bild \"eins\""));
    QCOMPARE(gallery.Read("b.txt"), QByteArray("Stra\xC3\x9F"
                                               "e"));
    // Sizes from the decoded pictures; the missing thumbnail was reported by its name.
    QCOMPARE(MessageBoxes::Recorded().size(), 1);
    QCOMPARE(MessageBoxes::Recorded()[0].text, QStringLiteral("Der Thumbnail t_b.jpg fehlt!"));
    QVERIFY(gallery.Read("a.html").contains("Pic.html"));
    QVERIFY(!gallery.Read("index.html").isEmpty());
    QVERIFY(!gallery.Part<QLabel>("TinyPic")->pixmap().isNull());
    // The progress counted both pictures, and the window is back in its normal display with the
    // last picture in the preview and the selection kept.
    const auto* progress = gallery.Part<QProgressBar>("TheProgress");
    QCOMPARE(progress->maximum(), 2);
    QCOMPARE(progress->value(), 2);
    QCOMPARE(gallery.Part<QLabel>("TheProgressInfo")->text(), QStringLiteral("b.jpg"));
    QVERIFY(gallery.NormalDisplay());
    QVERIFY(gallery.Part("Preview")->isVisible());
    QCOMPARE(gallery.window->SelectedPictures(), (std::vector<std::string>{"a.png", "b.jpg"}));

    // A second run asks nothing and writes only what changed: the pages it would write again as
    // they are stay untouched without a ".bak", while the overview, edited by hand since, is
    // written and keeps the edited version as ".bak".
    const QByteArray first_index = gallery.Read("index.html");
    const QByteArray first_page = gallery.Read("a.html");
    WriteBytes(gallery.File("index.html"), "von Hand");
    MessageBoxes::ClearRecorded();
    gallery.window->MakeItSoClick();
    QCOMPARE(TFAskUser::Recorded().size(), 4);
    QCOMPARE(gallery.Read("index.html"), first_index);
    QCOMPARE(gallery.Read("index.html.bak"), QByteArray("von Hand"));
    QCOMPARE(gallery.Read("a.html"), first_page);
    QVERIFY(!QFile::exists(gallery.File("a.html.bak")));
    QVERIFY(gallery.NormalDisplay());
}

void WindowCommandsTest::damaged_picture_stops_the_run_and_the_window_is_usable_again() {
    Gallery gallery(
        {"a.png=quadrants.png", "b.jpg=truncated_header.jpg", "c.png=quadrants.png", "title.txt=T"});
    gallery.Part<QCheckBox>("CAlt")->setChecked(false);
    gallery.Part<QCheckBox>("CWarn")->setChecked(false);
    gallery.Part<QCheckBox>("CKeywords")->setChecked(false);
    gallery.Part<QCheckBox>("CDescription")->setChecked(false);
    gallery.window->MakeItSoClick();

    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("QLM 2"));
    QVERIFY2(boxes[0].text.startsWith(QStringLiteral("b.jpg: ")), qPrintable(boxes[0].text));
    // What was written before stays; the overview is not written.
    QVERIFY(!gallery.Read("a.html").isEmpty());
    QVERIFY(!QFile::exists(gallery.File("c.html")));
    QVERIFY(!QFile::exists(gallery.File("index.html")));
    QVERIFY(gallery.NormalDisplay());
    // No note of a gallery that was not made.
    QVERIFY(gallery.window->StatusText().isEmpty());
    QVERIFY(!gallery.Part("ShowInBrowser")->isVisible());
}

void WindowCommandsTest::correct_names_renames_companions_and_reloads() {
    Gallery gallery({"Über Straße 1.jpg=quadrants.jpg", "t_Über Straße 1.JPG=quadrants.jpg",
                     "Über Straße 1.txt=Text", "Über Straße 1.html=Seite", "bild_01.png=quadrants.png"});
    gallery.Part<QCheckBox>("CThumbJPG")->setChecked(true);
    gallery.window->RenameFilesClick();
    const QStringList files = QDir(gallery.folder).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files, (QStringList{"UeberStrasse1.html", "UeberStrasse1.jpg", "UeberStrasse1.txt",
                                 "bild_01.png", "t_UeberStrasse1.jpg"}));
    // The list was read again: the new name shows, nothing is selected, both commands are off.
    QCOMPARE(Captions(gallery.Part<QListWidget>("MainList")),
             (QStringList{"..", "bild_01.png", "UeberStrasse1.jpg"}));
    QVERIFY(gallery.window->SelectedPictures().empty());
    QVERIFY(!gallery.Part("MakeItSo")->isEnabled());
    QVERIFY(!gallery.Part("RenameFiles")->isEnabled());
    // The pages made before still link the old names.
    QCOMPARE(gallery.window->StatusText(), QString::fromUtf8(kNamesChangedNote));
}

void WindowCommandsTest::correct_infofile_writes_the_info_page() {
    Gallery gallery({"info.txt=Erster Absatz\r\n\r\nZweiter  ( Absatz )"});
    QVERIFY(TransFileClick(*gallery.window));
    QCOMPARE(gallery.Read("info.html"), QByteArray("Erster Absatz<P>\nZweiter (Absatz)"));
}

// While another run holds the folder, a command says so and writes nothing; then it works.
void WindowCommandsTest::a_folder_in_use_by_another_run_is_left_alone() {
    Gallery gallery({"info.txt=Absatz"});
    const int held = ::open(QFile::encodeName(gallery.folder).constData(), O_RDONLY | O_DIRECTORY);
    QVERIFY(held >= 0);
    QCOMPARE(::flock(held, LOCK_EX), 0);
    QVERIFY(!TransFileClick(*gallery.window));
    QVERIFY(!QFile::exists(gallery.File("info.html")));
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QVERIFY(!boxes.isEmpty());
    QVERIFY2(boxes.back().text.startsWith(QString::fromUtf8(qlm::kFolderInUseWarning)),
             qPrintable(boxes.back().text));
    ::close(held);
    QVERIFY(TransFileClick(*gallery.window));
}

void WindowCommandsTest::missing_thumbnails_are_made_from_the_pop_up_menu() {
    Gallery gallery({"a.png=quadrants.png", "b.jpg=quadrants.jpg", "c.jpg=truncated_header.jpg",
                     "d.png=quadrants.png", "t_a.png=schon da"});
    auto* make_thumbs = gallery.Part<QAction>("MakeThumbs");
    QVERIFY(make_thumbs != nullptr);
    QCOMPARE(make_thumbs->text(), QStringLiteral("Fehlende Thumbnails erzeugen"));
    QVERIFY(gallery.Part<QMenu>("MainPopUp")->actions().contains(make_thumbs));
    // Only for the selected pictures.
    gallery.Part<QListWidget>("MainList")->item(4)->setSelected(false); // d.png
    QVERIFY(make_thumbs->isEnabled());
    make_thumbs->trigger();

    QCOMPARE(gallery.Read("t_a.png"), QByteArray("schon da"));
    const QImage made(gallery.File("t_b.jpg"));
    QCOMPARE(made.size(), QSize(64, 48));
    QVERIFY(!QFile::exists(gallery.File("t_c.jpg")));
    QVERIFY(!QFile::exists(gallery.File("t_d.png")));
    // The damaged picture is named with the decoder's reason.
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Warnung"));
    QVERIFY2(
        boxes[0].text.startsWith(QString::fromUtf8(kThumbnailsNotMadeWarning) + QStringLiteral("\nc.jpg: ")),
        qPrintable(boxes[0].text));
    // The progress counted the three pictures; then the list was read again, thumbnails hidden as
    // always, the same pictures selected for the next step, and the status line counts the one made.
    QCOMPARE(gallery.Part<QProgressBar>("TheProgress")->maximum(), 3);
    QCOMPARE(gallery.Part<QProgressBar>("TheProgress")->value(), 3);
    QVERIFY(gallery.Part("MainPanel")->isVisible());
    QVERIFY(!gallery.Part("WorkPanel")->isVisible());
    QCOMPARE(Captions(gallery.Part<QListWidget>("MainList")),
             (QStringList{"..", "a.png", "b.jpg", "c.jpg", "d.png"}));
    QCOMPARE(gallery.window->SelectedPictures(), (std::vector<std::string>{"a.png", "b.jpg", "c.jpg"}));
    QVERIFY(make_thumbs->isEnabled());
    QVERIFY(gallery.Part("MakeItSo")->isEnabled());
    QCOMPARE(gallery.window->StatusText(), QStringLiteral("1 Thumbnail erzeugt"));
}

void WindowCommandsTest::return_presses_the_focused_button_and_the_list_takes_the_focus_back() {
    Gallery gallery({"a b.png=quadrants.png"});
    auto* correct_names = gallery.Part<QPushButton>("RenameFiles");
    correct_names->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(correct_names->hasFocus());
    QTest::keyClick(correct_names, Qt::Key_Return);
    QVERIFY(QFile::exists(gallery.File("ab.png")));
    // The command disabled its own button: the focus is back in the list, not on a check box that
    // the next Space would change.
    QCOMPARE(QApplication::focusWidget(), gallery.Part("MainList"));
}

void WindowCommandsTest::close_during_a_run_is_refused_and_the_progress_says_so() {
    Gallery gallery({"a.png=quadrants.png", "title.txt=T"});
    for (const char* box : {"CKeywords", "CDescription", "CAlt", "CWarn"})
        gallery.Part<QCheckBox>(box)->setChecked(false);
    auto* progress = gallery.Part<QProgressBar>("TheProgress");
    std::optional<bool> closed;
    QString said;
    // Comes while the run lets the window paint.
    QTimer::singleShot(0, gallery.window.get(), [&] {
        closed = gallery.window->close();
        said = progress->text();
    });
    gallery.window->MakeItSoClick();
    QVERIFY(closed.has_value());
    QVERIFY(!*closed);
    QVERIFY2(said.startsWith(QStringLiteral("Schließen erst nach dem Lauf")), qPrintable(said));
    QVERIFY(QFile::exists(gallery.File("index.html")));
    QVERIFY(gallery.window->isVisible());
    // The question whether to stop the run was answered with its default, "Nein".
    QCOMPARE(MessageBoxes::Recorded().size(), 1);
    QCOMPARE(MessageBoxes::Recorded()[0].icon, QMessageBox::Question);
    // The next run starts without the note.
    QCOMPARE(progress->format(), QStringLiteral("%p%"));
}

QTEST_MAIN(WindowCommandsTest)
#include "window_commands_test.moc"

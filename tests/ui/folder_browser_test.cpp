// SPDX-License-Identifier: GPL-3.0-or-later
// The folder browser in the main window: which entries a real folder shows and in which order,
// the selection that only ever holds pictures, the command buttons that follow it, entering
// folders, and the folders that cannot be listed.

#include "core/folder_listing.h"
#include "platform/globals.h"
#include "ui/borderless_button.h"
#include "ui/folder_browser.h"
#include "window_test_support.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>

#include <cerrno>
#include <cstdio>

#include <unistd.h>

using namespace qlm::ui;
using namespace qlm::ui::test;

namespace {

// Makes the folder `base` with the entries named: folders where the name ends in "/", a copy of a
// test picture for "name=picture", small files otherwise.
void MakeEntries(const QString& base, const QStringList& names) {
    QVERIFY(QDir().mkpath(base));
    for (const QString& name : names) {
        if (name.endsWith(u'/')) {
            QVERIFY(QDir(base).mkpath(name));
        } else if (name.contains(u'=')) {
            CopyPicture(qPrintable(name.section(u'=', 1)), base + u'/' + name.section(u'=', 0, 0));
        } else {
            WriteBytes(base + u'/' + name, "x");
        }
    }
}

// A shown main window listing the folder "bilder" made with the given entries, or the drive list.
struct Browser {
    WorkFolder work;
    QString folder = QDir::cleanPath(work.Path(QStringLiteral("bilder")));
    std::unique_ptr<TMain> window;
    QListWidget* list = nullptr;

    static constexpr bool kDrives = true;
    explicit Browser(const QStringList& entries, bool drives = false) {
        MakeEntries(folder, entries);
        window = drives ? work.OpenWindow() : work.OpenWindowAt(folder);
        list = Child<QListWidget>(*window, "MainList");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    QPoint RowCentre(const QString& caption) const {
        QListWidgetItem* item = ItemNamed(list, caption);
        return item == nullptr ? QPoint(-1, -1) : list->visualItemRect(item).center();
    }
    void Click(const QString& caption, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, RowCentre(caption));
    }
    // What the window system delivers for a double-click: press, release, double-click, release.
    void DoubleClick(const QString& caption) const {
        const QPoint centre = RowCentre(caption);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    }
    void FocusOn(const QString& caption) const {
        list->setFocus();
        list->setCurrentItem(ItemNamed(list, caption), QItemSelectionModel::NoUpdate);
    }
    bool Selected(const QString& caption) const { return ItemNamed(list, caption)->isSelected(); }
    QString Focused() const {
        return list->currentItem() == nullptr ? QString() : list->currentItem()->text();
    }
    // "on" or "off" when "Make HTML" and "Correct Names" agree, "mixed" otherwise.
    QString Commands() const {
        const bool make = Child<QPushButton>(*window, "MakeItSo")->isEnabled();
        const bool rename = Child<QPushButton>(*window, "RenameFiles")->isEnabled();
        return make != rename ? "mixed" : make ? "on" : "off";
    }
    QLabel* Preview() const { return Child<QLabel>(*window, "Preview"); }
    QString DirText() const { return Child<QLabel>(*window, "MyDir")->text(); }
    QString Current() const { return QFile::decodeName(QByteArray::fromStdString(window->CurrentFolder())); }
    bool ShowsDrives() const {
        return list->count() > 0 && FolderBrowser::KindOf(list->item(0)) == qlm::EntryKind::Drive;
    }
};

} // namespace

class FolderBrowserTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetUpApplication(); }
    void init() { MessageBoxes::ClearRecorded(); }

    void listing_filters_and_orders_data();
    void listing_filters_and_orders();
    void entry_kinds_and_raw_names();
    void selection_holds_only_pictures();
    void mark_all_selects_every_picture();
    void preview_follows_focused_entry();
    void entering_folders_and_parent_data();
    void entering_folders_and_parent();
    void return_key_enters_focused_folder();
    void drive_list();
    void folder_that_cannot_be_listed();
    void read_drives_keeps_folder_and_reload_lists_it_again();
    void correct_infofile_follows_info_txt_data();
    void correct_infofile_follows_info_txt();
};

// The listing rules themselves are checked with the core's listing; here the window shows them.
void FolderBrowserTest::listing_filters_and_orders_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("folders then pictures by name") << QStringList{"b/", "A/", "c/", "z.jpg", "B.GIF"}
                                                   << QStringList{"..", "A", "b", "c", "B.GIF", "z.jpg"};
    QTest::newRow("filters") << QStringList{"t_alt/",     ".versteckt/", "urlaub.jpg/",
                                            "t_bild.jpg", "T_BILD.JPG",  "bild.jpeg",
                                            "Bild.Png",   "bild.bmp",    "info.txt"}
                             << QStringList{"..", ".versteckt", "urlaub.jpg", "bild.jpeg", "Bild.Png"};
    QTest::newRow("empty folder shows its parent") << QStringList{} << QStringList{".."};
}

void FolderBrowserTest::listing_filters_and_orders() {
    QFETCH(QStringList, entries);
    Browser browser(entries);
    QTEST(Captions(browser.list), "shown");
    QCOMPARE(browser.DirText(), browser.folder + u'/');
    QVERIFY(Child<TBorderLessButton>(*browser.window, "Reload")->EnabledEx());
    QVERIFY(MessageBoxes::Recorded().isEmpty());
}

void FolderBrowserTest::entry_kinds_and_raw_names() {
    Browser browser({"urlaub.jpg/"});
    // A name that is not valid UTF-8 must survive from the listing to the path the browser forms.
    const QByteArray odd_name("gr\xfc\xdf.jpg");
    const QByteArray odd_path = QFile::encodeName(browser.folder) + '/' + odd_name;
    std::FILE* file = std::fopen(odd_path.constData(), "wb");
    QVERIFY(file != nullptr);
    std::fclose(file);
    // QTemporaryDir cannot remove a name that is not UTF-8.
    const auto remove_odd = qScopeGuard([&odd_path] { ::unlink(odd_path.constData()); });
    browser.window->ReloadClick();
    const QListWidget* list = browser.list;
    QCOMPARE(list->count(), 3);
    QCOMPARE(FolderBrowser::KindOf(list->item(0)), (qlm::EntryKind::Parent));
    QCOMPARE(FolderBrowser::KindOf(list->item(1)), (qlm::EntryKind::Folder));
    QCOMPARE(FolderBrowser::KindOf(list->item(2)), (qlm::EntryKind::Picture));
    QVERIFY(list->item(2)->icon().isNull());
    QCOMPARE(QByteArray::fromStdString(FolderBrowser::NameOf(list->item(2))), odd_name);
    QCOMPARE(::access((browser.window->CurrentFolder() + FolderBrowser::NameOf(list->item(2))).c_str(), F_OK),
             0);
}

void FolderBrowserTest::selection_holds_only_pictures() {
    Browser browser({"sub/", "a.jpg=quadrants.jpg", "b.png=quadrants.png"});
    QCOMPARE(browser.Commands(), "off");
    browser.Click("a.jpg");
    QVERIFY(browser.Selected("a.jpg"));
    QCOMPARE(browser.Commands(), "on");

    // Ctrl-click on a folder: focused, not selected; the picture stays selected.
    browser.Click("sub", Qt::ControlModifier);
    QCOMPARE(browser.Focused(), QStringLiteral("sub"));
    QVERIFY(!browser.Selected("sub"));
    QVERIFY(browser.Selected("a.jpg"));
    QCOMPARE(browser.Commands(), "on");

    // Deselecting the one picture disables the commands again.
    browser.Click("a.jpg", Qt::ControlModifier);
    QVERIFY(!browser.Selected("a.jpg"));
    QCOMPARE(browser.Commands(), "off");

    // A range over folders and pictures keeps only the pictures.
    browser.Click("..");
    browser.Click("b.png", Qt::ShiftModifier);
    QCOMPARE(browser.list->selectedItems().size(), 2);
    QVERIFY(!browser.Selected("..") && !browser.Selected("sub"));
    QCOMPARE(browser.Commands(), "on");
    QVERIFY(MessageBoxes::Recorded().isEmpty());
}

void FolderBrowserTest::mark_all_selects_every_picture() {
    Browser browser({"sub/", "a.jpg", "b.gif", "c.png"});
    browser.FocusOn("sub");
    // Ctrl+A is the shortcut of the pop-up menu's first entry; the second and third make
    // thumbnails and web copies of the selected pictures, so they wait for a selection.
    const auto* popup = browser.window->findChild<QMenu*>(QStringLiteral("MainPopUp"));
    QVERIFY(popup != nullptr);
    // The menu shows the shortcut as a German keyboard labels it; the two entries after the makers
    // hand over to the desktop, the last two publish.
    QStringList texts;
    for (const QAction* action : popup->actions())
        texts << action->text();
    QCOMPARE(texts,
             QStringList(
                 {QStringLiteral("markiere alles\tStrg+A"), QStringLiteral("Fehlende Thumbnails erzeugen"),
                  QStringLiteral("Fehlende Webbilder erzeugen"), QStringLiteral("Eigene Vorlagen bearbeiten"),
                  QStringLiteral("Galerie im Browser zeigen"), QStringLiteral("Galerie veröffentlichen…"),
                  QStringLiteral("Veröffentlichungsordner ändern…")}));
    QAction* make_thumbs = popup->actions().at(1);
    QAction* make_web = popup->actions().at(2);
    QVERIFY(!make_thumbs->isEnabled() && !make_web->isEnabled());
    QTest::keyClick(browser.list, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(make_thumbs->isEnabled() && make_web->isEnabled());
    QCOMPARE(browser.list->selectedItems().size(), 3);
    QVERIFY(browser.Selected("a.jpg") && browser.Selected("b.gif") && browser.Selected("c.png"));
    QCOMPARE(browser.Focused(), QStringLiteral("sub"));
    QCOMPARE(browser.Commands(), "on");
}

// The preview shows the focused picture and hides for other entries; a picture deleted after the
// listing leaves the previous picture on view without a message, a damaged one shows the decoder's
// text in the standard error box and leaves it too. Pictures are decoded on a second thread, so
// each step waits until the preview has settled.
void FolderBrowserTest::preview_follows_focused_entry() {
    Browser browser(
        {"sub/", "a.png=quadrants.png", "gone.jpg=quadrants.jpg", "kaputt.jpg=truncated_header.jpg"});
    browser.Click("a.png");
    QTRY_VERIFY(!browser.window->PreviewPending());
    QVERIFY(browser.Preview()->isVisible());
    const QRect shown = browser.Preview()->geometry();
    const QImage picture = browser.Preview()->pixmap().toImage();
    QVERIFY(!picture.isNull());

    QVERIFY(QFile::remove(browser.folder + "/gone.jpg"));
    browser.Click("gone.jpg");
    QTRY_VERIFY(!browser.window->PreviewPending());
    QVERIFY(browser.Preview()->isVisible());
    QCOMPARE(browser.Preview()->geometry(), shown);
    QCOMPARE(browser.Preview()->pixmap().toImage(), picture);
    QVERIFY(MessageBoxes::Recorded().isEmpty());

    browser.Click("kaputt.jpg");
    QTRY_VERIFY(!browser.window->PreviewPending());
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("QLM 2"));
    QVERIFY(!boxes[0].text.isEmpty());
    // The action ends there; the window goes on with the previous picture on view.
    QVERIFY(browser.Selected("kaputt.jpg"));
    QCOMPARE(browser.Commands(), "on");
    QCOMPARE(browser.Preview()->pixmap().toImage(), picture);

    browser.Click("sub");
    QVERIFY(!browser.Preview()->isVisible());
    browser.Click("a.png");
    QTRY_VERIFY(browser.Preview()->isVisible());
}

void FolderBrowserTest::entering_folders_and_parent_data() {
    QTest::addColumn<QStringList>("path"); // entries double-clicked one after the other
    QTest::addColumn<QString>("folder");   // the current folder afterwards, below the listed one
    QTest::newRow("down and up") << QStringList{"a", "b", ".."} << "/a/";
    QTest::newRow("up to the start") << QStringList{"a", "..", "a", ".."} << "/";
    // ".." leads back along the path as shown, not to the real parent of a linked folder.
    QTest::newRow("across a symbolic link") << QStringList{"link", ".."} << "/";
    QTest::newRow("folder named like a picture") << QStringList{"urlaub.jpg"} << "/urlaub.jpg/";
}

void FolderBrowserTest::entering_folders_and_parent() {
    QFETCH(QStringList, path);
    Browser browser({"a/b/", "real/deep/inner/", "urlaub.jpg/"});
    QVERIFY(QFile::link(browser.folder + "/real/deep/inner", browser.folder + "/link"));
    browser.window->ReloadClick();
    for (const QString& caption : path) {
        QVERIFY2(ItemNamed(browser.list, caption) != nullptr, qPrintable(caption));
        const std::string before = browser.window->CurrentFolder();
        browser.DoubleClick(caption);
        QVERIFY2(browser.window->CurrentFolder() != before, qPrintable(caption));
    }
    QFETCH(QString, folder);
    QCOMPARE(browser.Current(), browser.folder + folder);
    QCOMPARE(browser.DirText(), browser.folder + folder);
    QVERIFY(MessageBoxes::Recorded().isEmpty());
}

// Return enters the focused folder; a double-click on a picture changes nothing.
void FolderBrowserTest::return_key_enters_focused_folder() {
    Browser browser({"a/drin/", "b.gif"});
    browser.DoubleClick("b.gif");
    QCOMPARE(Captions(browser.list), (QStringList{"..", "a", "b.gif"}));
    browser.FocusOn("a");
    QTest::keyClick(browser.list, Qt::Key_Return);
    QCOMPARE(browser.DirText(), browser.folder + "/a/");
    QCOMPARE(Captions(browser.list), (QStringList{"..", "drin"}));
}

// In the drive list Ctrl+A marks nothing, and a drive entry sets the folder to its caption.
void FolderBrowserTest::drive_list() {
    Browser browser({}, Browser::kDrives);
    QVERIFY(browser.ShowsDrives());
    browser.list->setFocus();
    QTest::keyClick(browser.list, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(browser.list->selectedItems().isEmpty());
    QCOMPARE(browser.Commands(), "off");
    browser.DoubleClick("/");
    QCOMPARE(browser.window->CurrentFolder(), std::string("/"));
    QCOMPARE(browser.DirText(), QStringLiteral("/"));
    // The root has no parent entry.
    QVERIFY(browser.list->count() > 0 && ItemNamed(browser.list, "..") == nullptr);
}

void FolderBrowserTest::folder_that_cannot_be_listed() {
    Browser browser({"weg/"});
    browser.DoubleClick("weg");
    const QString gone = browser.folder + "/weg/";
    QCOMPARE(browser.DirText(), gone);
    QVERIFY(QDir(gone).removeRecursively());

    browser.window->ReloadClick();
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Warnung"));
    // The box names the folder and the reason.
    QCOMPARE(boxes[0].text, gone + u'\n' + QString::fromUtf8(qlm::platform::GetErrorText(ENOENT)));
    // Then the drives; the folder that failed stays the current folder and on show.
    QVERIFY(browser.ShowsDrives());
    QCOMPARE(browser.Current(), gone);
    QCOMPARE(browser.DirText(), gone);
    QVERIFY(Child<TBorderLessButton>(*browser.window, "Reload")->EnabledEx());
    QCOMPARE(browser.Commands(), "off");
}

void FolderBrowserTest::read_drives_keeps_folder_and_reload_lists_it_again() {
    Browser browser({"sub/"});
    QTest::mouseClick(Child<QWidget>(*browser.window, "ReadDrives"), Qt::LeftButton);
    QVERIFY(browser.ShowsDrives());
    QCOMPARE(browser.Current(), browser.folder + u'/');
    QCOMPARE(browser.DirText(), browser.folder + u'/');

    // A file that appeared meanwhile is there after the next listing.
    MakeEntries(browser.folder, {"neu.jpg"});
    QTest::mouseClick(Child<QWidget>(*browser.window, "Reload"), Qt::LeftButton);
    QCOMPARE(Captions(browser.list), (QStringList{"..", "sub", "neu.jpg"}));
}

void FolderBrowserTest::correct_infofile_follows_info_txt_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("info.txt present") << "info.txt" << true;
    QTest::newRow("info.txt is a folder") << "info.txt/" << false;
}

void FolderBrowserTest::correct_infofile_follows_info_txt() {
    QFETCH(QString, entry);
    Browser browser({entry});
    const QPushButton* button = Child<QPushButton>(*browser.window, "TransFile");
    QTEST(button->isEnabled(), "enabled");
    QVERIFY(button->isHidden());
}

QTEST_MAIN(FolderBrowserTest)
#include "folder_browser_test.moc"

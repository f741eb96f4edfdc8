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
#include <QSignalSpy>

#include <cerrno>
#include <cstdio>

#include <unistd.h>

using namespace qlm::ui;
using namespace qlm::ui::test;

namespace {

struct Browser {
    std::unique_ptr<TMain> window;
    QListWidget* list = nullptr;

    explicit Browser(std::unique_ptr<TMain> opened) : window(std::move(opened)) {
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
    bool Selected(const QString& caption) const { return ItemNamed(list, caption)->isSelected(); }
    QString Focused() const {
        return list->currentItem() == nullptr ? QString() : list->currentItem()->text();
    }
    bool CommandsEnabled() const {
        const bool make = Child<QPushButton>(*window, "MakeItSo")->isEnabled();
        const bool rename = Child<QPushButton>(*window, "RenameFiles")->isEnabled();
        return make && rename;
    }
    bool CommandsDisabled() const {
        return !Child<QPushButton>(*window, "MakeItSo")->isEnabled() &&
               !Child<QPushButton>(*window, "RenameFiles")->isEnabled();
    }
    QLabel* Preview() const { return Child<QLabel>(*window, "Preview"); }
    QString DirText() const { return Child<QLabel>(*window, "MyDir")->text(); }
    bool ShowsDrives() const {
        return list->count() > 0 && FolderBrowser::KindOf(list->item(0)) == qlm::kEntryDrive;
    }
};

void MakeFolders(const QString& base, const QStringList& names) {
    QVERIFY(QDir().mkpath(base));
    for (const QString& name : names) {
        QVERIFY(QDir(base).mkpath(name));
    }
}

void MakeFiles(const QString& base, const QStringList& names) {
    QVERIFY(QDir().mkpath(base));
    for (const QString& name : names) {
        WriteBytes(base + u'/' + name, "x");
    }
}

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
    void mark_all_in_drive_list_does_nothing();
    void preview_follows_focused_entry();
    void damaged_picture_shows_standard_error_box();
    void entering_folders_and_parent_data();
    void entering_folders_and_parent();
    void return_key_enters_focused_folder();
    void double_click_on_picture_changes_nothing();
    void drive_entry_sets_folder_to_its_caption();
    void folder_that_cannot_be_listed();
    void read_drives_keeps_folder_and_reload_lists_it_again();
    void correct_infofile_follows_info_txt_data();
    void correct_infofile_follows_info_txt();
};

void FolderBrowserTest::listing_filters_and_orders_data() {
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("folders then pictures by name")
        << QStringList{"b", "A", "c"} << QStringList{"z.jpg", "B.GIF"}
        << QStringList{"..", "A", "b", "c", "B.GIF", "z.jpg"};
    QTest::newRow("thumbnails and t_ folders hidden")
        << QStringList{"t_alt", "T_ALT2", "tx"} << QStringList{"t_bild.jpg", "T_BILD.JPG", "bild.JPG"}
        << QStringList{"..", "tx", "bild.JPG"};
    QTest::newRow("only picture extensions")
        << QStringList{} << QStringList{"bild.jpeg", "Bild.Png", "bild.jpe", "bild.bmp", "info.txt", "x.gif"}
        << QStringList{"..", "bild.jpeg", "Bild.Png", "x.gif"};
    QTest::newRow("folder named like a picture is a folder")
        << QStringList{"urlaub.jpg", "zoo"} << QStringList{"a.png"}
        << QStringList{"..", "urlaub.jpg", "zoo", "a.png"};
    QTest::newRow("hidden entries are listed") << QStringList{".versteckt"} << QStringList{".geheim.jpg"}
                                               << QStringList{"..", ".versteckt", ".geheim.jpg"};
    QTest::newRow("empty folder shows its parent") << QStringList{} << QStringList{} << QStringList{".."};
}

void FolderBrowserTest::listing_filters_and_orders() {
    QFETCH(QStringList, folders);
    QFETCH(QStringList, files);
    QFETCH(QStringList, shown);
    WorkFolder work;
    const QString folder = work.Path(QStringLiteral("bilder"));
    MakeFolders(folder, folders);
    MakeFiles(folder, files);
    const auto window = work.OpenWindowAt(folder);
    const QListWidget* list = Child<QListWidget>(*window, "MainList");
    QCOMPARE(Captions(list), shown);
    QCOMPARE(Child<QLabel>(*window, "MyDir")->text(), QDir::cleanPath(folder) + u'/');
    QVERIFY(Child<TBorderLessButton>(*window, "Reload")->EnabledEx());
    QVERIFY(MessageBoxes::Recorded().isEmpty());
}

void FolderBrowserTest::entry_kinds_and_raw_names() {
    WorkFolder work;
    const QString folder = work.Path(QStringLiteral("bilder"));
    MakeFolders(folder, {"urlaub.jpg"});
    // A name that is not valid UTF-8 must survive from the listing to the path the browser forms.
    const QByteArray odd_name("gr\xfc\xdf.jpg");
    const QByteArray odd_path = QFile::encodeName(folder) + '/' + odd_name;
    std::FILE* file = std::fopen(odd_path.constData(), "wb");
    QVERIFY(file != nullptr);
    std::fclose(file);
    // QTemporaryDir cannot remove a name that is not UTF-8.
    const auto remove_odd = qScopeGuard([&odd_path] { ::unlink(odd_path.constData()); });
    const auto window = work.OpenWindowAt(folder);
    const QListWidget* list = Child<QListWidget>(*window, "MainList");
    QCOMPARE(list->count(), 3);
    QCOMPARE(FolderBrowser::KindOf(list->item(0)), int(qlm::kEntryParent));
    QCOMPARE(FolderBrowser::KindOf(list->item(1)), int(qlm::kEntryFolder));
    QCOMPARE(FolderBrowser::KindOf(list->item(2)), int(qlm::kEntryPicture));
    QVERIFY(list->item(2)->icon().isNull());
    QCOMPARE(QByteArray::fromStdString(FolderBrowser::NameOf(list->item(2))), odd_name);
    QCOMPARE(::access((window->CurrentFolder() + FolderBrowser::NameOf(list->item(2))).c_str(), F_OK), 0);
}

void FolderBrowserTest::selection_holds_only_pictures() {
    WorkFolder work;
    const QString folder = work.Path(QStringLiteral("bilder"));
    MakeFolders(folder, {"sub"});
    CopyPicture("quadrants.jpg", folder + "/a.jpg");
    CopyPicture("quadrants.png", folder + "/b.png");
    Browser browser(work.OpenWindowAt(folder));
    QVERIFY(browser.CommandsDisabled());

    browser.Click("a.jpg");
    QVERIFY(browser.Selected("a.jpg"));
    QVERIFY(browser.CommandsEnabled());

    // Ctrl-click on a folder: focused, not selected; the picture stays selected.
    browser.Click("sub", Qt::ControlModifier);
    QCOMPARE(browser.Focused(), QStringLiteral("sub"));
    QVERIFY(!browser.Selected("sub"));
    QVERIFY(browser.Selected("a.jpg"));
    QVERIFY(browser.CommandsEnabled());
    QVERIFY(!browser.Preview()->isVisible());

    // Deselecting the one picture disables the commands again.
    browser.Click("a.jpg", Qt::ControlModifier);
    QVERIFY(!browser.Selected("a.jpg"));
    QVERIFY(browser.CommandsDisabled());

    // A range over folders and pictures keeps only the pictures.
    browser.Click("..");
    browser.Click("b.png", Qt::ShiftModifier);
    QCOMPARE(browser.list->selectedItems().size(), 2);
    QVERIFY(!browser.Selected(".."));
    QVERIFY(!browser.Selected("sub"));
    QVERIFY(browser.CommandsEnabled());
    QVERIFY(MessageBoxes::Recorded().isEmpty());
}

void FolderBrowserTest::mark_all_selects_every_picture() {
    WorkFolder work;
    const QString folder = work.Path(QStringLiteral("bilder"));
    MakeFolders(folder, {"sub"});
    MakeFiles(folder, {"a.jpg", "b.gif", "c.png"});
    Browser browser(work.OpenWindowAt(folder));
    browser.list->setFocus();
    browser.list->setCurrentItem(ItemNamed(browser.list, "sub"), QItemSelectionModel::NoUpdate);
    // Ctrl+A is the shortcut of the pop-up menu's one entry.
    const auto* popup = browser.window->findChild<QMenu*>(QStringLiteral("MainPopUp"));
    QVERIFY(popup != nullptr);
    QCOMPARE(popup->actions().size(), 1);
    QAction* mark_all = popup->actions().first();
    QCOMPARE(mark_all->text(), QStringLiteral("markiere alles"));
    QSignalSpy triggered(mark_all, &QAction::triggered);
    QTest::keyClick(browser.list, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(triggered.count(), 1);
    QStringList selected;
    for (const QListWidgetItem* item : browser.list->selectedItems()) {
        selected << item->text();
    }
    selected.sort();
    QCOMPARE(selected, (QStringList{"a.jpg", "b.gif", "c.png"}));
    QCOMPARE(browser.Focused(), QStringLiteral("sub"));
    QVERIFY(browser.CommandsEnabled());
}

void FolderBrowserTest::mark_all_in_drive_list_does_nothing() {
    WorkFolder work;
    Browser browser(work.OpenWindow());
    QVERIFY(browser.ShowsDrives());
    browser.list->setFocus();
    QTest::keyClick(browser.list, Qt::Key_A, Qt::ControlModifier);
    browser.window->MarkAllClick();
    QVERIFY(browser.list->selectedItems().isEmpty());
    QVERIFY(browser.CommandsDisabled());

    // Likewise in a folder without pictures.
    const QString folder = work.Path(QStringLiteral("leer"));
    MakeFolders(folder, {"sub"});
    Browser empty(work.OpenWindowAt(folder));
    empty.window->MarkAllClick();
    QVERIFY(empty.list->selectedItems().isEmpty());
    QVERIFY(empty.CommandsDisabled());
}

void FolderBrowserTest::preview_follows_focused_entry() {
    WorkFolder work;
    const QString folder = work.Path(QStringLiteral("bilder"));
    MakeFolders(folder, {"sub"});
    CopyPicture("quadrants.png", folder + "/a.png");
    CopyPicture("quadrants.jpg", folder + "/gone.jpg");
    Browser browser(work.OpenWindowAt(folder));
    browser.Click("a.png");
    QVERIFY(browser.Preview()->isVisible());
    QVERIFY(!browser.Preview()->pixmap().isNull());
    const QRect shown = browser.Preview()->geometry();
    const QImage picture = browser.Preview()->pixmap().toImage();

    // A picture deleted after the listing leaves the previous picture on view, without a message.
    QVERIFY(QFile::remove(folder + "/gone.jpg"));
    browser.Click("gone.jpg");
    QVERIFY(browser.Preview()->isVisible());
    QCOMPARE(browser.Preview()->geometry(), shown);
    QCOMPARE(browser.Preview()->pixmap().toImage(), picture);

    browser.Click("sub");
    QVERIFY(!browser.Preview()->isVisible());
    browser.Click("a.png");
    QVERIFY(browser.Preview()->isVisible());
    QVERIFY(MessageBoxes::Recorded().isEmpty());
}

void FolderBrowserTest::damaged_picture_shows_standard_error_box() {
    WorkFolder work;
    const QString folder = work.Path(QStringLiteral("bilder"));
    QVERIFY(QDir().mkpath(folder));
    CopyPicture("quadrants.png", folder + "/a.png");
    CopyPicture("truncated_header.jpg", folder + "/kaputt.jpg");
    Browser browser(work.OpenWindowAt(folder));
    browser.Click("a.png");
    const QImage picture = browser.Preview()->pixmap().toImage();
    browser.Click("kaputt.jpg");
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("QLM 2"));
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QVERIFY(!boxes[0].text.isEmpty());
    QVERIFY(boxes[0].text.back().unicode() <= u'.');
    // The action ends there; the window goes on with the previous picture on view.
    QVERIFY(browser.Selected("kaputt.jpg"));
    QVERIFY(browser.CommandsEnabled());
    QCOMPARE(browser.Preview()->pixmap().toImage(), picture);
}

void FolderBrowserTest::entering_folders_and_parent_data() {
    QTest::addColumn<QStringList>("path"); // entries double-clicked one after the other
    QTest::addColumn<QString>("folder");   // the current folder afterwards, below the work folder
    QTest::newRow("into a folder") << QStringList{"a"} << "/a/";
    QTest::newRow("two down") << QStringList{"a", "b"} << "/a/b/";
    QTest::newRow("down and up") << QStringList{"a", "b", ".."} << "/a/";
    QTest::newRow("up to the start") << QStringList{"a", "..", "a", ".."} << "/";
    // ".." leads back along the path as shown, not to the real parent of a linked folder.
    QTest::newRow("across a symbolic link") << QStringList{"link", ".."} << "/";
    QTest::newRow("inside a symbolic link") << QStringList{"link"} << "/link/";
    QTest::newRow("folder named like a picture") << QStringList{"urlaub.jpg"} << "/urlaub.jpg/";
}

void FolderBrowserTest::entering_folders_and_parent() {
    QFETCH(QStringList, path);
    QFETCH(QString, folder);
    WorkFolder work;
    const QString base = work.Path(QStringLiteral("bilder"));
    MakeFolders(base, {"a/b", "real/deep/inner", "urlaub.jpg"});
    QVERIFY(QFile::link(base + "/real/deep/inner", base + "/link"));
    Browser browser(work.OpenWindowAt(base));
    for (const QString& caption : path) {
        QVERIFY2(ItemNamed(browser.list, caption) != nullptr, qPrintable(caption));
        const std::string before = browser.window->CurrentFolder();
        browser.DoubleClick(caption);
        QVERIFY2(browser.window->CurrentFolder() != before, qPrintable(caption));
    }
    const QString expected = QDir::cleanPath(base) + folder;
    QCOMPARE(QFile::decodeName(QByteArray::fromStdString(browser.window->CurrentFolder())), expected);
    QCOMPARE(browser.DirText(), expected);
    QVERIFY(MessageBoxes::Recorded().isEmpty());
}

void FolderBrowserTest::return_key_enters_focused_folder() {
    WorkFolder work;
    const QString base = work.Path(QStringLiteral("bilder"));
    MakeFolders(base, {"a/drin", "b"});
    Browser browser(work.OpenWindowAt(base));
    browser.list->setFocus();
    browser.list->setCurrentItem(ItemNamed(browser.list, "a"), QItemSelectionModel::NoUpdate);
    QTest::keyClick(browser.list, Qt::Key_Return);
    QCOMPARE(browser.DirText(), QDir::cleanPath(base) + "/a/");
    QCOMPARE(Captions(browser.list), (QStringList{"..", "drin"}));
}

void FolderBrowserTest::double_click_on_picture_changes_nothing() {
    WorkFolder work;
    const QString base = work.Path(QStringLiteral("bilder"));
    MakeFolders(base, {"sub"});
    CopyPicture("quadrants.gif", base + "/a.gif");
    Browser browser(work.OpenWindowAt(base));
    const std::string before = browser.window->CurrentFolder();
    browser.DoubleClick("a.gif");
    QCOMPARE(browser.window->CurrentFolder(), before);
    QCOMPARE(Captions(browser.list), (QStringList{"..", "sub", "a.gif"}));
}

void FolderBrowserTest::drive_entry_sets_folder_to_its_caption() {
    WorkFolder work;
    Browser browser(work.OpenWindow());
    QVERIFY(browser.ShowsDrives());
    QCOMPARE(browser.list->item(0)->text(), QStringLiteral("/"));
    browser.DoubleClick("/");
    QCOMPARE(browser.window->CurrentFolder(), std::string("/"));
    QCOMPARE(browser.DirText(), QStringLiteral("/"));
    // The root has no parent entry.
    QVERIFY(ItemNamed(browser.list, "..") == nullptr);
    QVERIFY(browser.list->count() > 0);
}

void FolderBrowserTest::folder_that_cannot_be_listed() {
    WorkFolder work;
    const QString base = work.Path(QStringLiteral("bilder"));
    MakeFolders(base, {"weg"});
    Browser browser(work.OpenWindowAt(base));
    browser.DoubleClick("weg");
    const QString gone = QDir::cleanPath(base) + "/weg/";
    QCOMPARE(browser.DirText(), gone);
    QVERIFY(QDir(gone).removeRecursively());

    browser.window->ReloadClick();
    const QList<ShownBox> boxes = MessageBoxes::Recorded();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Warnung"));
    QCOMPARE(boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(boxes[0].text, QString::fromUtf8(qlm::platform::GetErrorText(ENOENT)));
    // Then the drives; the folder that failed stays the current folder and on show.
    QVERIFY(browser.ShowsDrives());
    QCOMPARE(QFile::decodeName(QByteArray::fromStdString(browser.window->CurrentFolder())), gone);
    QCOMPARE(browser.DirText(), gone);
    QVERIFY(Child<TBorderLessButton>(*browser.window, "Reload")->EnabledEx());
    QVERIFY(browser.CommandsDisabled());
}

void FolderBrowserTest::read_drives_keeps_folder_and_reload_lists_it_again() {
    WorkFolder work;
    const QString base = work.Path(QStringLiteral("bilder"));
    MakeFolders(base, {"sub"});
    Browser browser(work.OpenWindowAt(base));
    const std::string folder = browser.window->CurrentFolder();
    const QString shown = browser.DirText();

    QTest::mouseClick(Child<QWidget>(*browser.window, "ReadDrives"), Qt::LeftButton);
    QVERIFY(browser.ShowsDrives());
    QCOMPARE(browser.window->CurrentFolder(), folder);
    QCOMPARE(browser.DirText(), shown);
    QVERIFY(Child<TBorderLessButton>(*browser.window, "ReadDrives")->EnabledEx());

    // A file that appeared meanwhile is there after the next listing.
    MakeFiles(base, {"neu.jpg"});
    QTest::mouseClick(Child<QWidget>(*browser.window, "Reload"), Qt::LeftButton);
    QCOMPARE(Captions(browser.list), (QStringList{"..", "sub", "neu.jpg"}));
    QVERIFY(Child<TBorderLessButton>(*browser.window, "Reload")->EnabledEx());
}

void FolderBrowserTest::correct_infofile_follows_info_txt_data() {
    QTest::addColumn<bool>("as_file");
    QTest::addColumn<bool>("as_folder");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("info.txt present") << true << false << true;
    QTest::newRow("no info.txt") << false << false << false;
    QTest::newRow("info.txt is a folder") << false << true << false;
}

void FolderBrowserTest::correct_infofile_follows_info_txt() {
    QFETCH(bool, as_file);
    QFETCH(bool, as_folder);
    QFETCH(bool, enabled);
    WorkFolder work;
    const QString base = work.Path(QStringLiteral("bilder"));
    MakeFolders(base, as_folder ? QStringList{"info.txt"} : QStringList{"x"});
    if (as_file) {
        MakeFiles(base, {"info.txt"});
    }
    const auto window = work.OpenWindowAt(base);
    const QPushButton* button = Child<QPushButton>(*window, "TransFile");
    QCOMPARE(button->isEnabled(), enabled);
    QVERIFY(button->isHidden());
}

QTEST_MAIN(FolderBrowserTest)
#include "folder_browser_test.moc"

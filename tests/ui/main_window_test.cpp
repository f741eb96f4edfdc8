// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as built: where every widget sits, its texts and hints, the tab order, the
// states at start and the rows of the folder list.

#include "platform/module_version.h"
#include "ui/borderless_button.h"
#include "window_test_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

using namespace qlm::ui;
using namespace qlm::ui::test;

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetUpApplication(); }
    void init() { MessageBoxes::ClearRecorded(); }

    void widget_sits_at_its_place_data();
    void widget_sits_at_its_place();
    void window_at_start();
    void caption_without_version();
    void buttons_and_boxes_data();
    void buttons_and_boxes();
    void tab_order_follows_the_design();
    void list_rows_are_uniform_below_the_frame();
};

// Rows are named after the widget.
void MainWindowTest::widget_sits_at_its_place_data() {
    QTest::addColumn<QRect>("place"); // relative to the widget's parent
    QTest::newRow("MyDir") << QRect(8, 8, 689, 17);
    QTest::newRow("MainPanel") << QRect(8, 32, 400, 273);
    QTest::newRow("ReadDrives") << QRect(8, 8, 20, 16);
    QTest::newRow("Reload") << QRect(32, 8, 20, 16);
    QTest::newRow("MainList") << QRect(8, 24, 385, 241);
    QTest::newRow("WorkPanel") << QRect(8, 32, 400, 273);
    QTest::newRow("TheProgress") << QRect(31, 24, 330, 17);
    QTest::newRow("TheProgressInfo") << QRect(31, 48, 330, 17);
    QTest::newRow("Preview") << QRect(424, 32, 273, 273);
    // The logo is moved to the bottom-left corner at start.
    QTest::newRow("Kennung") << QRect(0, 405 - 87, 108, 87);
    QTest::newRow("TinyPic") << QRect(672, 344, 25, 25);
    QTest::newRow("MakeItSo") << QRect(424, 312, 113, 38);
    QTest::newRow("ReloadHTML") << QRect(544, 312, 113, 38);
    QTest::newRow("RenameFiles") << QRect(424, 360, 113, 38);
    QTest::newRow("TransFile") << QRect(544, 360, 113, 38);
    QTest::newRow("CKeywords") << QRect(128, 312, 97, 17);
    QTest::newRow("CDescription") << QRect(128, 336, 97, 17);
    QTest::newRow("CAlt") << QRect(128, 360, 97, 17);
    QTest::newRow("CWarn") << QRect(128, 384, 137, 17);
    QTest::newRow("CImgwoAlt") << QRect(288, 312, 121, 17);
    QTest::newRow("CThumbJPG") << QRect(288, 336, 97, 17);
}

void MainWindowTest::widget_sits_at_its_place() {
    const QString name = QTest::currentDataTag();
    WorkFolder work;
    const auto window = work.OpenWindow();
    const QWidget* widget = Child<QWidget>(*window, QTest::currentDataTag());
    QVERIFY(widget != nullptr);
    QTEST(widget->geometry(), "place");
    // The panels' widgets lie in their panel, everything else directly in the window.
    const QString parent = QStringList{"ReadDrives", "Reload", "MainList"}.contains(name) ? "MainPanel"
                           : name.startsWith("TheProgress")                               ? "WorkPanel"
                                                                                          : "Main";
    QCOMPARE(widget->parentWidget()->objectName(), parent);
}

void MainWindowTest::window_at_start() {
    WorkFolder work;
    const auto window = work.OpenWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->size(), QSize(716, 405));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QCOMPARE(window->windowTitle(), "Quillmoor V" + QString::fromStdString(qlm::platform::VersionString()));
    QVERIFY(!window->windowIcon().isNull());
    QVERIFY(Child<QWidget>(*window, "MainPanel")->isVisible());
    QVERIFY(!Child<QWidget>(*window, "WorkPanel")->isVisible());
    QVERIFY(!Child<QWidget>(*window, "TinyPic")->isVisible());
    // The list has the keyboard focus, so Space cannot toggle an option box unnoticed; its first
    // entry, a drive, is focused, so the preview shows nothing.
    QTRY_COMPARE(QApplication::focusWidget(), Child<QWidget>(*window, "MainList"));
    QVERIFY(!Child<QWidget>(*window, "Preview")->isVisible());
    QVERIFY(Child<QLabel>(*window, "Preview")->pixmap().isNull());
    QVERIFY(!Child<QLabel>(*window, "Kennung")->pixmap().isNull());
    // Without a settings file no folder is current: the drives are listed, ReadDrives is enabled,
    // Reload not yet.
    QCOMPARE(window->CurrentFolder(), std::string());
    QCOMPARE(Child<QLabel>(*window, "MyDir")->text(), QString());
    QVERIFY(Child<TBorderLessButton>(*window, "ReadDrives")->EnabledEx());
    QVERIFY(!Child<TBorderLessButton>(*window, "Reload")->EnabledEx());
    // The list browses with icons and without editing, and keeps its selection colour unfocused.
    const QListWidget* list = Child<QListWidget>(*window, "MainList");
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(list->item(0)->text(), QStringLiteral("/"));
    for (int row = 0; row < list->count(); ++row) {
        QVERIFY(!list->item(row)->icon().isNull());
        QVERIFY(!(list->item(row)->flags() & Qt::ItemIsEditable));
    }
    QCOMPARE(list->palette().color(QPalette::Inactive, QPalette::Highlight),
             list->palette().color(QPalette::Active, QPalette::Highlight));
    QVERIFY(MessageBoxes::Recorded().isEmpty());
}

void MainWindowTest::caption_without_version() {
    QCOMPARE(MainCaption("?.?.?.?"), QStringLiteral("Quillmoor V?.?.?.?"));
}

// Rows are named after the widget. At start the drive list is shown and no picture is selected.
void MainWindowTest::buttons_and_boxes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("MakeItSo") << "Make HTML" << QString() << false << false;
    QTest::newRow("ReloadHTML") << "Reload Defs" << QString() << true << false;
    QTest::newRow("RenameFiles") << "Correct Names" << QString() << false << false;
    QTest::newRow("TransFile") << "Correct Infofile" << QString() << false << true;
    QTest::newRow("CKeywords") << QStringLiteral("ask Keywords") << "fehlende keywords werden erfragt" << true
                               << false;
    QTest::newRow("CDescription") << QStringLiteral("ask Description")
                                  << "fehlende descriptions werden erfragt" << true << false;
    QTest::newRow("CAlt") << QStringLiteral("ask Alt Text") << "fehlende alt-Texte werden erfragt" << true
                          << false;
    QTest::newRow("CWarn") << QStringLiteral("Melde fehlenden Thumb")
                           << "wenn Tumbnails nicht gefunden werden, erscheint ein entsprechender Requester"
                           << true << false;
    QTest::newRow("CImgwoAlt") << QStringLiteral("Images without Alt")
                               << "die Thumbnails erhalten keinen Alt-Text" << true << false;
    QTest::newRow("CThumbJPG") << "all thumbs JPG" << QString() << true << false;
}

void MainWindowTest::buttons_and_boxes() {
    QFETCH(QString, text);
    WorkFolder work;
    const auto window = work.OpenWindow();
    const QAbstractButton* button = Child<QAbstractButton>(*window, QTest::currentDataTag());
    QVERIFY(button != nullptr);
    QCOMPARE(button->text(), text);
    QTEST(button->toolTip(), "hint");
    QTEST(button->isEnabled(), "enabled");
    QTEST(button->isHidden(), "hidden");
    if (qobject_cast<const QCheckBox*>(button) != nullptr) {
        // The longest text must not be cut by the box's fixed width.
        const int room = button->width() - button->style()->pixelMetric(QStyle::PM_IndicatorWidth) -
                         button->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
        QVERIFY2(button->fontMetrics().horizontalAdvance(text) <= room, qPrintable(text));
    } else {
        // A picture of its own for each state, not one greyed out by the style.
        const QIcon icon = button->icon();
        QVERIFY(!icon.pixmap(24, QIcon::Normal).isNull());
        QVERIFY(icon.pixmap(24, QIcon::Normal).toImage() != icon.pixmap(24, QIcon::Disabled).toImage());
        QCOMPARE(icon.availableSizes(QIcon::Disabled).size(), 1);
    }
}

void MainWindowTest::tab_order_follows_the_design() {
    WorkFolder work;
    const auto window = work.OpenWindow();
    // The keyboard stops from MakeItSo round the chain; the panels stop at their list.
    const QStringList expected{"MakeItSo",    "MainList",  "CKeywords", "CDescription", "CAlt",     "CWarn",
                               "RenameFiles", "CImgwoAlt", "TransFile", "ReloadHTML",   "CThumbJPG"};
    QStringList chain;
    QWidget* start = Child<QWidget>(*window, "MakeItSo");
    QWidget* widget = start;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->window() == window.get()) {
            chain << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != start && chain.size() <= expected.size());
    QCOMPARE(chain, expected);
}

void MainWindowTest::list_rows_are_uniform_below_the_frame() {
    WorkFolder work;
    for (const char* name : {"a", "b", "c", "d"}) {
        QVERIFY(QDir(work.Path()).mkdir(QLatin1String(name)));
    }
    const auto window = work.OpenWindowAt(work.Path());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QListWidget* list = Child<QListWidget>(*window, "MainList");
    QCOMPARE(list->count(), 5); // "..", a, b, c, d
    for (int row = 0; row < list->count(); ++row) {
        const QRect rect = list->visualItemRect(list->item(row));
        const QPoint top_left = list->viewport()->mapTo(window.get(), rect.topLeft());
        QCOMPARE(top_left.y(), 56 + 2 + 17 * row);
        QCOMPARE(top_left.x(), 16 + 2);
        QCOMPARE(rect.height(), 17);
        // The row's centre, where a click lands, hits this row.
        const QPoint centre =
            list->viewport()->mapFrom(window.get(), QPoint(16 + 100, 56 + 2 + 17 * row + 8));
        QCOMPARE(list->itemAt(centre), list->item(row));
    }
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"

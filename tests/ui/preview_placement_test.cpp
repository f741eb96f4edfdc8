// SPDX-License-Identifier: GPL-3.0-or-later
// Placement of the preview in its 273 x 273 box: scaled to fit, never enlarged, centred.

#include "ui/preview_placement.h"

#include <QTest>

using qlm::ui::PreviewPlacement;
using qlm::ui::PreviewRect;

class PreviewPlacementTest : public QObject {
    Q_OBJECT

  private slots:
    void placement_data();
    void placement();
    void scaled_picture_stays_inside_box_data();
    void scaled_picture_stays_inside_box();
    void ask_dialog_opens_below_the_progress_label();
};

void PreviewPlacementTest::placement_data() {
    QTest::addColumn<int>("picture_width");
    QTest::addColumn<int>("picture_height");
    QTest::addColumn<int>("box_top");
    QTest::addColumn<QRect>("expected"); // left, top, width, height

    // The longer side becomes 273, the shorter one follows; small pictures are shown one to one.
    QTest::newRow("1024x768 wide") << 1024 << 768 << 32 << QRect(424, 66, 273, 205);
    QTest::newRow("768x1024 upright") << 768 << 1024 << 32 << QRect(458, 32, 205, 273);
    QTest::newRow("300x300 square fills the box") << 300 << 300 << 32 << QRect(424, 32, 273, 273);
    QTest::newRow("200x100 small, odd gap drops the half") << 200 << 100 << 32 << QRect(460, 118, 200, 100);
    QTest::newRow("274x10 one pixel too wide") << 274 << 10 << 32 << QRect(424, 163, 273, 10);
    QTest::newRow("273x273 exactly the box") << 273 << 273 << 32 << QRect(424, 32, 273, 273);
    QTest::newRow("274x274 just too large") << 274 << 274 << 32 << QRect(424, 32, 273, 273);
    // Halves round to the even neighbour: 2.5 and 1.5 both give 2, 3.5 gives 4.
    QTest::newRow("5x546 half rounds down to even") << 5 << 546 << 32 << QRect(559, 32, 2, 273);
    QTest::newRow("3x546 half rounds up to even") << 3 << 546 << 32 << QRect(559, 32, 2, 273);
    QTest::newRow("546x7 3.5 rounds to 4") << 546 << 7 << 32 << QRect(424, 166, 273, 4);
    QTest::newRow("box follows the panel's top") << 1024 << 768 << 100 << QRect(424, 134, 273, 205);
    // A needle-thin picture keeps a visible pixel; products beyond 32 bits must not overflow.
    QTest::newRow("5000x1 keeps one pixel") << 5000 << 1 << 32 << QRect(424, 168, 273, 1);
    QTest::newRow("huge panorama") << 2000000000 << 1000000000 << 32 << QRect(424, 100, 273, 136);
}

void PreviewPlacementTest::placement() {
    QFETCH(int, picture_width);
    QFETCH(int, picture_height);
    QFETCH(int, box_top);
    const PreviewRect rect = PreviewPlacement(picture_width, picture_height, box_top);
    QTEST(QRect(rect.left, rect.top, rect.width, rect.height), "expected");
}

void PreviewPlacementTest::scaled_picture_stays_inside_box_data() {
    QTest::addColumn<int>("picture_width");
    QTest::addColumn<int>("picture_height");
    for (int w : {1, 272, 273, 274, 547, 6000})
        for (int h : {1, 3, 273, 274, 999, 4000})
            QTest::addRow("%dx%d", w, h) << w << h;
}

// Whatever the size, the picture lies wholly inside the box, centred to within half a pixel, and
// is shown one to one when it fits.
void PreviewPlacementTest::scaled_picture_stays_inside_box() {
    QFETCH(int, picture_width);
    QFETCH(int, picture_height);
    const PreviewRect rect = PreviewPlacement(picture_width, picture_height, 32);
    QVERIFY(rect.width >= 1 && rect.height >= 1);
    QVERIFY(rect.left >= 424 && rect.left + rect.width <= 424 + 273);
    QVERIFY(rect.top >= 32 && rect.top + rect.height <= 32 + 273);
    QVERIFY(qAbs(2 * (rect.left - 424) + rect.width - 273) <= 1);
    QVERIFY(qAbs(2 * (rect.top - 32) + rect.height - 273) <= 1);
    if (picture_width <= 273 && picture_height <= 273) {
        QCOMPARE(QSize(rect.width, rect.height), QSize(picture_width, picture_height));
    } else {
        QCOMPARE(qMax(rect.width, rect.height), 273);
    }
}

// The window at (100, 50) with a frame 29 pixels higher than its client area: the dialog's left
// edge 16 pixels in, its top 72 pixels below the progress panel's top. With the window's 716 x 405
// client area the 369 x 185 dialog lies wholly inside the window, left of the preview.
void PreviewPlacementTest::ask_dialog_opens_below_the_progress_label() {
    const qlm::ui::DialogPlace place = qlm::ui::AskDialogPlacement(100, 50, 29, 32);
    QCOMPARE(QPoint(place.left, place.top), QPoint(116, 183));
    const QRect client(100 + 4, 50 + 25, 716, 405);
    const QRect dialog(place.left, place.top, 369, 185);
    QVERIFY(client.contains(dialog));
    QVERIFY(dialog.right() < client.left() + 424);
    // Off the screen it goes along with the window, uncorrected.
    const qlm::ui::DialogPlace off = qlm::ui::AskDialogPlacement(-500, -300, 29, 32);
    QCOMPARE(QPoint(off.left, off.top), QPoint(-484, -167));
}

QTEST_APPLESS_MAIN(PreviewPlacementTest)
#include "preview_placement_test.moc"

// Placement of the preview in its 273 x 273 box: scaled to fit, never enlarged, centred.

#include "ui/preview_placement.h"

#include <QTest>

using qlm::ui::PreviewPlacement;
using qlm::ui::PreviewRect;

class PreviewPlacementTest : public QObject {
    Q_OBJECT

  private slots:
    void Placement_data();
    void Placement();
    void ScaledPictureStaysInsideBox_data();
    void ScaledPictureStaysInsideBox();
};

void PreviewPlacementTest::Placement_data() {
    QTest::addColumn<int>("picture_width");
    QTest::addColumn<int>("picture_height");
    QTest::addColumn<int>("box_top");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");

    // Wide and upright photos: the longer side becomes 273, the shorter one follows.
    QTest::newRow("1024x768 wide") << 1024 << 768 << 32 << 273 << 205 << 424 << 66;
    QTest::newRow("768x1024 upright") << 768 << 1024 << 32 << 205 << 273 << 458 << 32;
    QTest::newRow("300x300 square fills the box") << 300 << 300 << 32 << 273 << 273 << 424 << 32;
    QTest::newRow("274x274 just too large") << 274 << 274 << 32 << 273 << 273 << 424 << 32;
    QTest::newRow("274x10 one pixel too wide") << 274 << 10 << 32 << 273 << 10 << 424 << 163;
    // Small pictures are shown one to one and centred; odd gaps drop the half pixel.
    QTest::newRow("200x100 small") << 200 << 100 << 32 << 200 << 100 << 460 << 118;
    QTest::newRow("273x273 exactly the box") << 273 << 273 << 32 << 273 << 273 << 424 << 32;
    QTest::newRow("273x100 as wide as the box") << 273 << 100 << 32 << 273 << 100 << 424 << 118;
    QTest::newRow("1x1") << 1 << 1 << 32 << 1 << 1 << 560 << 168;
    // Halves round to the even neighbour: 5 * 273 / 546 = 2.5 and 3 * 273 / 546 = 1.5 both give 2.
    QTest::newRow("5x546 half rounds down to even") << 5 << 546 << 32 << 2 << 273 << 559 << 32;
    QTest::newRow("3x546 half rounds up to even") << 3 << 546 << 32 << 2 << 273 << 559 << 32;
    QTest::newRow("546x7 3.5 rounds to 4") << 546 << 7 << 32 << 273 << 4 << 424 << 166;
    QTest::newRow("1000x999 rounds up to the full box") << 1000 << 999 << 32 << 273 << 273 << 424 << 32;
    // The box follows the panel's top.
    QTest::newRow("box moved down") << 1024 << 768 << 100 << 273 << 205 << 424 << 134;
    QTest::newRow("box at the top") << 200 << 100 << 0 << 200 << 100 << 460 << 86;
    // A needle-thin picture keeps a visible pixel instead of vanishing.
    QTest::newRow("5000x1 keeps one pixel") << 5000 << 1 << 32 << 273 << 1 << 424 << 168;
    QTest::newRow("1x5000 keeps one pixel") << 1 << 5000 << 32 << 1 << 273 << 560 << 32;
    // Products beyond 32 bits must not overflow.
    QTest::newRow("huge panorama") << 2000000000 << 1000000000 << 32 << 273 << 136 << 424 << 100;
}

void PreviewPlacementTest::Placement() {
    QFETCH(int, picture_width);
    QFETCH(int, picture_height);
    QFETCH(int, box_top);
    const PreviewRect rect = PreviewPlacement(picture_width, picture_height, box_top);
    QTEST(rect.width, "width");
    QTEST(rect.height, "height");
    QTEST(rect.left, "left");
    QTEST(rect.top, "top");
}

void PreviewPlacementTest::ScaledPictureStaysInsideBox_data() {
    QTest::addColumn<int>("picture_width");
    QTest::addColumn<int>("picture_height");
    for (int w : {1, 2, 272, 273, 274, 275, 546, 547, 1999, 6000})
        for (int h : {1, 3, 272, 273, 274, 999, 4000})
            QTest::addRow("%dx%d", w, h) << w << h;
}

// Whatever the size, the picture lies wholly inside the box, centred to within half a pixel,
// and keeps its proportions to within the rounding of one side.
void PreviewPlacementTest::ScaledPictureStaysInsideBox() {
    QFETCH(int, picture_width);
    QFETCH(int, picture_height);
    const int box_top = 32;
    const PreviewRect rect = PreviewPlacement(picture_width, picture_height, box_top);
    QVERIFY(rect.width >= 1 && rect.height >= 1);
    QVERIFY(rect.width <= 273 && rect.height <= 273);
    QVERIFY(rect.left >= 424 && rect.left + rect.width <= 424 + 273);
    QVERIFY(rect.top >= box_top && rect.top + rect.height <= box_top + 273);
    QVERIFY(qAbs((rect.left - 424) - (424 + 273 - rect.left - rect.width)) <= 1);
    QVERIFY(qAbs((rect.top - box_top) - (box_top + 273 - rect.top - rect.height)) <= 1);
    if (picture_width <= 273 && picture_height <= 273) {
        QCOMPARE(rect.width, picture_width);
        QCOMPARE(rect.height, picture_height);
    } else {
        QCOMPARE(qMax(rect.width, rect.height), 273);
        const double expected = double(picture_width) / picture_height;
        const double shorter = qMin(rect.width, rect.height);
        const double tolerance = expected >= 1 ? (0.5 / shorter) * expected : 0.5 / shorter / expected;
        if (shorter > 1)
            QVERIFY(qAbs(double(rect.width) / rect.height - expected) <= tolerance * 1.01 + 1e-9);
    }
}

QTEST_APPLESS_MAIN(PreviewPlacementTest)
#include "preview_placement_test.moc"

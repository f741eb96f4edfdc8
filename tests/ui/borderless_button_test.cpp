// SPDX-License-Identifier: GPL-3.0-or-later
// The frameless picture button: its own copies of the two pictures, EnabledEx switching picture
// and state together, clicks only while enabled.

#include "ui/borderless_button.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using qlm::ui::TBorderLessButton;

namespace {

QPixmap Filled(const QColor& colour) {
    QPixmap pixmap(20, 16);
    pixmap.fill(colour);
    return pixmap;
}

QRgb Shown(const TBorderLessButton& button) {
    return button.pixmap().toImage().pixel(5, 5);
}

// What the button really paints on screen, at a point inside the picture.
QRgb Painted(TBorderLessButton& button) {
    return button.grab().toImage().pixel(5, 5);
}

const QRgb kWhite = QColor(250, 250, 250).rgb();
const QRgb kGrey = QColor(128, 128, 128).rgb();
const QRgb kRed = QColor(Qt::red).rgb();

} // namespace

class BorderlessButtonTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void writing_enabled_ex_shows_matching_picture();
    void pictures_are_own_copies_shown_on_next_enabled_ex_write();
    void plain_enabled_state_leaves_picture_ungreyed();
    void clicks_only_while_enabled_data();
    void clicks_only_while_enabled();

  private:
    std::unique_ptr<TBorderLessButton> button_;
};

void BorderlessButtonTest::init() {
    button_ = std::make_unique<TBorderLessButton>();
    button_->setGeometry(100, 100, 20, 16);
    button_->setEnablePicture(Filled(kWhite));
    button_->setDisablePicture(Filled(kGrey));
}

void BorderlessButtonTest::cleanup() {
    button_.reset();
}

void BorderlessButtonTest::writing_enabled_ex_shows_matching_picture() {
    for (const bool enabled : {false, true, false}) {
        button_->setEnabledEx(enabled);
        QCOMPARE(button_->EnabledEx(), enabled);
        QCOMPARE(button_->isEnabled(), enabled);
        QCOMPARE(Shown(*button_), enabled ? kWhite : kGrey);
    }
    QCOMPARE(button_->size(), QSize(20, 16));
}

// A picture assigned later is the button's own copy and shows only at the next EnabledEx write.
void BorderlessButtonTest::pictures_are_own_copies_shown_on_next_enabled_ex_write() {
    button_->setEnabledEx(true);
    QPixmap source = Filled(kRed);
    button_->setEnablePicture(source);
    source.fill(Qt::yellow);
    QCOMPARE(Shown(*button_), kWhite);
    QCOMPARE(button_->EnablePicture().toImage().pixel(5, 5), kRed);
    button_->setEnabledEx(true);
    QCOMPARE(Shown(*button_), kRed);
}

// A plain setEnabled changes the state, not the picture, and the disabled state draws the picture
// as it is, without greying it once more.
void BorderlessButtonTest::plain_enabled_state_leaves_picture_ungreyed() {
    button_->setEnablePicture(Filled(kRed));
    button_->setEnabledEx(false);
    QCOMPARE(Painted(*button_), kGrey);
    button_->setEnabledEx(true);
    button_->setEnabled(false);
    QCOMPARE(button_->EnabledEx(), false);
    QCOMPARE(Shown(*button_), kRed);
    QCOMPARE(Painted(*button_), kRed);
}

void BorderlessButtonTest::clicks_only_while_enabled_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("mouse_button");
    QTest::addColumn<QPoint>("release_at");
    QTest::addColumn<int>("clicks");
    QTest::newRow("enabled, left button") << true << int(Qt::LeftButton) << QPoint(19, 15) << 1;
    QTest::newRow("enabled, right button") << true << int(Qt::RightButton) << QPoint(10, 8) << 0;
    QTest::newRow("disabled, left button") << false << int(Qt::LeftButton) << QPoint(10, 8) << 0;
    QTest::newRow("released outside") << true << int(Qt::LeftButton) << QPoint(40, 8) << 0;
}

void BorderlessButtonTest::clicks_only_while_enabled() {
    QFETCH(bool, enabled);
    QFETCH(int, mouse_button);
    QFETCH(QPoint, release_at);
    button_->setEnabledEx(enabled);
    button_->show();
    QVERIFY(QTest::qWaitForWindowExposed(button_.get()));
    QSignalSpy spy(button_.get(), &TBorderLessButton::clicked);
    QTest::mousePress(button_.get(), Qt::MouseButton(mouse_button), Qt::NoModifier, QPoint(10, 8));
    QTest::mouseRelease(button_.get(), Qt::MouseButton(mouse_button), Qt::NoModifier, release_at);
    QTEST(int(spy.count()), "clicks");
}

QTEST_MAIN(BorderlessButtonTest)
#include "borderless_button_test.moc"

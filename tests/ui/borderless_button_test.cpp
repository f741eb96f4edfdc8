// The frameless picture button: its own copies of the two pictures, EnabledEx switching picture
// and state together, clicks only while enabled.

#include "ui/borderless_button.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

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

} // namespace

class BorderlessButtonTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void WritingEnabledExShowsMatchingPicture_data();
    void WritingEnabledExShowsMatchingPicture();
    void NewPictureWaitsForNextEnabledExWrite();
    void AssignedPictureIsTheButtonsOwnCopy();
    void ClicksOnlyWhileEnabled_data();
    void ClicksOnlyWhileEnabled();
    void ReleaseOutsideIsNoClick();
    void PlainEnabledStateLeavesPicture();
    void TakesNoFocus();
    void DrawsPicturesUnchangedWhenDisabled();

  private:
    TBorderLessButton* button_ = nullptr;
    const QColor white_ = QColor(250, 250, 250);
    const QColor grey_ = QColor(128, 128, 128);
};

void BorderlessButtonTest::init() {
    button_ = new TBorderLessButton;
    button_->setGeometry(100, 100, 20, 16);
    button_->setEnablePicture(Filled(white_));
    button_->setDisablePicture(Filled(grey_));
}

void BorderlessButtonTest::cleanup() {
    delete button_;
    button_ = nullptr;
}

void BorderlessButtonTest::WritingEnabledExShowsMatchingPicture_data() {
    QTest::addColumn<bool>("before");
    QTest::addColumn<bool>("after");
    QTest::newRow("enable") << false << true;
    QTest::newRow("disable") << true << false;
    QTest::newRow("enabled again") << true << true;
    QTest::newRow("disabled again") << false << false;
}

void BorderlessButtonTest::WritingEnabledExShowsMatchingPicture() {
    QFETCH(bool, before);
    QFETCH(bool, after);
    button_->setEnabledEx(before);
    button_->setEnabledEx(after);
    QCOMPARE(button_->EnabledEx(), after);
    QCOMPARE(button_->isEnabled(), after);
    QCOMPARE(Shown(*button_), (after ? white_ : grey_).rgb());
    QCOMPARE(button_->size(), QSize(20, 16));
}

void BorderlessButtonTest::NewPictureWaitsForNextEnabledExWrite() {
    button_->setEnabledEx(true);
    button_->setEnablePicture(Filled(Qt::red));
    QCOMPARE(Shown(*button_), white_.rgb());
    QCOMPARE(button_->EnablePicture().toImage().pixel(5, 5), QColor(Qt::red).rgb());
    button_->setEnabledEx(true);
    QCOMPARE(Shown(*button_), QColor(Qt::red).rgb());
}

void BorderlessButtonTest::AssignedPictureIsTheButtonsOwnCopy() {
    QPixmap source = Filled(Qt::blue);
    button_->setEnablePicture(source);
    button_->setDisablePicture(source);
    {
        QPainter painter(&source);
        painter.fillRect(source.rect(), Qt::green);
    }
    source.fill(Qt::yellow);
    QCOMPARE(button_->EnablePicture().toImage().pixel(5, 5), QColor(Qt::blue).rgb());
    QCOMPARE(button_->DisablePicture().toImage().pixel(5, 5), QColor(Qt::blue).rgb());
    button_->setEnabledEx(false);
    QCOMPARE(Shown(*button_), QColor(Qt::blue).rgb());
}

void BorderlessButtonTest::ClicksOnlyWhileEnabled_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("mouse_button");
    QTest::addColumn<int>("clicks");
    QTest::newRow("enabled, left button") << true << int(Qt::LeftButton) << 1;
    QTest::newRow("enabled, right button") << true << int(Qt::RightButton) << 0;
    QTest::newRow("disabled, left button") << false << int(Qt::LeftButton) << 0;
}

void BorderlessButtonTest::ClicksOnlyWhileEnabled() {
    QFETCH(bool, enabled);
    QFETCH(int, mouse_button);
    button_->setEnabledEx(enabled);
    button_->show();
    QVERIFY(QTest::qWaitForWindowExposed(button_));
    QSignalSpy spy(button_, &TBorderLessButton::clicked);
    QTest::mouseClick(button_, Qt::MouseButton(mouse_button), Qt::NoModifier, QPoint(10, 8));
    QTEST(int(spy.count()), "clicks");
}

// A press on the button that is released outside it is not a click.
void BorderlessButtonTest::ReleaseOutsideIsNoClick() {
    button_->setEnabledEx(true);
    button_->show();
    QVERIFY(QTest::qWaitForWindowExposed(button_));
    QSignalSpy spy(button_, &TBorderLessButton::clicked);
    QTest::mousePress(button_, Qt::LeftButton, Qt::NoModifier, QPoint(10, 8));
    QTest::mouseRelease(button_, Qt::LeftButton, Qt::NoModifier, QPoint(40, 8));
    QCOMPARE(spy.count(), 0);
    QTest::mousePress(button_, Qt::LeftButton, Qt::NoModifier, QPoint(10, 8));
    QTest::mouseRelease(button_, Qt::LeftButton, Qt::NoModifier, QPoint(19, 15));
    QCOMPARE(spy.count(), 1);
}

void BorderlessButtonTest::PlainEnabledStateLeavesPicture() {
    button_->setEnabledEx(true);
    button_->setEnabled(false);
    QCOMPARE(button_->EnabledEx(), false);
    QCOMPARE(Shown(*button_), white_.rgb());
    button_->setEnabledEx(false);
    button_->setEnabled(true);
    QCOMPARE(button_->EnabledEx(), true);
    QCOMPARE(Shown(*button_), grey_.rgb());
}

void BorderlessButtonTest::TakesNoFocus() {
    QCOMPARE(button_->focusPolicy(), Qt::NoFocus);
    QCOMPARE(button_->frameShape(), QFrame::NoFrame);
}

// The disabled picture is drawn for that state already; the button must not grey it (or the
// enabled picture after a direct setEnabled) once more.
void BorderlessButtonTest::DrawsPicturesUnchangedWhenDisabled() {
    button_->setEnablePicture(Filled(Qt::red));
    button_->setEnabledEx(false);
    QCOMPARE(Painted(*button_), grey_.rgb());
    button_->setEnabledEx(true);
    button_->setEnabled(false);
    QCOMPARE(Painted(*button_), QColor(Qt::red).rgb());
}

QTEST_MAIN(BorderlessButtonTest)
#include "borderless_button_test.moc"

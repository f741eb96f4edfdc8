// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/borderless_button.h"

#include <QMouseEvent>
#include <QPainter>

namespace qlm::ui {

TBorderLessButton::TBorderLessButton(QWidget* parent) : QLabel(parent) {
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setContentsMargins(0, 0, 0, 0);
    setMargin(0);
    // The picture sits at its natural size in the top-left corner, like a plain image control.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

// QPixmap shares its data until one side changes it, so the copy taken here is the button's own:
// later changes to the caller's pixmap do not reach it.
void TBorderLessButton::setEnablePicture(const QPixmap& picture) {
    enable_picture_ = picture;
}

void TBorderLessButton::setDisablePicture(const QPixmap& picture) {
    disable_picture_ = picture;
}

void TBorderLessButton::setEnabledEx(bool enabled) {
    setPixmap(enabled ? enable_picture_ : disable_picture_);
    setEnabled(enabled);
}

void TBorderLessButton::mousePressEvent(QMouseEvent* event) {
    // A disabled widget gets no mouse events at all; nothing else changes the look.
    left_pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void TBorderLessButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool was_pressed = left_pressed_;
    left_pressed_ = false;
    event->accept();
    if (was_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

// QLabel would draw its own grey version of the picture while disabled; the button shows exactly
// the picture it was given, as the disabled picture is already drawn for that state.
void TBorderLessButton::paintEvent(QPaintEvent* /*event*/) {
    const QPixmap shown = pixmap();
    if (shown.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, shown);
}

} // namespace qlm::ui

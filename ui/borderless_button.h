// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small clickable picture without a frame, for the tool buttons above the folder list. It holds
// its own copies of a picture for the enabled and one for the disabled state; writing EnabledEx
// shows the matching one and switches the state together. It takes no focus, has no pressed look
// and reports a click only while it is enabled.

#include <QLabel>
#include <QPixmap>

class QMouseEvent;
class QPaintEvent;

namespace qlm::ui {

class TBorderLessButton : public QLabel {
    Q_OBJECT

  public:
    explicit TBorderLessButton(QWidget* parent = nullptr);

    QPixmap EnablePicture() const { return enable_picture_; }
    void setEnablePicture(const QPixmap& picture);
    QPixmap DisablePicture() const { return disable_picture_; }
    void setDisablePicture(const QPixmap& picture);

    // The control's enabled state; the picture shown is not looked at.
    bool EnabledEx() const { return isEnabled(); }
    // Shows EnablePicture (true) or DisablePicture (false), then sets the enabled state.
    void setEnabledEx(bool enabled);

  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap enable_picture_;
    QPixmap disable_picture_;
    bool left_pressed_ = false;
};

} // namespace qlm::ui

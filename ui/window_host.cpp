// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_host.h"

#include "core/folder_listing.h"
#include "core/picture_loader.h"
#include "core/picture_prefetcher.h"
#include "platform/globals.h"
#include "platform/text.h"
#include "ui/ask_dialog.h"
#include "ui/message_boxes.h"
#include "ui/picture_preview.h"
#include "ui/preview_placement.h"
#include "ui/rgba_image.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QWidget>

#include <cstddef>

namespace qlm::ui {
namespace {

// The hidden thumbnail element is 25 pixels square; decoding more of a thumbnail shows nothing.
constexpr int kTinyPicBox = 25;

// The next thumbnail and picture, and the ones the run is at while they are decoded.
constexpr std::size_t kKeptAhead = 4;
// The picture the run waits for and the next one are decoded at the same time, so that both cores
// decode while the user-interface thread waits.
constexpr int kDecodingThreads = 2;

// Swallows the user's mouse and keyboard input for one window while a run works in it, but for
// the button that stops the run; the modal dialog and message boxes that the run opens are other
// windows and stay usable.
class InputBlocker : public QObject {
  public:
    InputBlocker(QWidget* window, QWidget* stop) : window_(window), stop_(stop) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
            if (auto* widget = qobject_cast<QWidget*>(watched);
                widget != nullptr && widget->window() == window_ && widget != stop_)
                return true;
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QWidget* window_;
    QWidget* stop_;
};

QString Shown(const std::string& text) {
    return QString::fromStdString(platform::TextAsUtf8(text));
}

// The progress bar's text while nothing else is to be said, and after a refused close.
const QString kProgressFormat = QStringLiteral("%p%");
const QString kCloseRefusedFormat = QStringLiteral("Schließen erst nach dem Lauf – %p%");

} // namespace

QString DecodeFailureText(const std::string& path, const std::string& message) {
    // The box names the picture, so that the user knows which file to look at.
    return Shown(platform::BareName(path)) + QStringLiteral(": ") + Shown(message);
}

WindowHost::WindowHost(const WindowParts& parts) : parts_(parts) {
    if (parts_.stop != nullptr)
        QObject::connect(parts_.stop, &QAbstractButton::clicked, [this] { RequestStop(); });
}

WindowHost::~WindowHost() {
    ahead_.reset();
    if (input_blocker_)
        QCoreApplication::instance()->removeEventFilter(input_blocker_.get());
}

std::string WindowHost::AskUser(const std::string& initial_text, AskKind kind) {
    const QRect frame = parts_.window->frameGeometry();
    const DialogPlace place = AskDialogPlacement(
        frame.left(), frame.top(), frame.height() - parts_.window->height(), parts_.work_panel->y());
    return parts_.ask_dialog->Ask(kind, initial_text, QPoint(place.left, place.top));
}

std::optional<PictureSize> WindowHost::MyLoadPic(const std::string& path) {
    // A picture that cannot be opened leaves the preview as it was.
    const bool opened =
        ahead_ ? parts_.preview->Show(*ahead_->Load(path, kPreviewBox, false), parts_.main_panel->y())
               : parts_.preview->Load(path, parts_.main_panel->y());
    Refresh();
    if (!opened)
        return std::nullopt;
    return parts_.preview->NaturalSize();
}

std::optional<PictureSize> WindowHost::LoadThumbnail(const std::string& path) {
    const std::shared_ptr<const Picture> loaded =
        ahead_ ? ahead_->Load(path, kTinyPicBox, false)
               : std::make_shared<const Picture>(LoadPicture(path, kTinyPicBox));
    const Picture& thumbnail = *loaded;
    if (!thumbnail.opened)
        return std::nullopt;
    // Data that does not fill the picture stops the run as damaged data does; showing the
    // thumbnail before it instead would give this page that one's picture.
    parts_.tiny_pic->setPixmap(QPixmap::fromImage(RgbaImage(thumbnail.image)));
    return PictureSize{thumbnail.width, thumbnail.height};
}

void WindowHost::ShowWarning(const std::string& text) {
    MessageBoxes::ShowWarning(parts_.window, Shown(text));
}

void WindowHost::ShowDecodeFailure(const std::string& path, const std::string& message) {
    MessageBoxes::ShowStandardError(parts_.window, DecodeFailureText(path, message));
}

void WindowHost::NoteCloseRefused() {
    if (working_)
        parts_.progress->setFormat(kCloseRefusedFormat);
}

void WindowHost::RequestStop() {
    if (!working_)
        return;
    stop_requested_ = true;
    // Clicked once is enough; the run ends at its next stop point.
    if (parts_.stop != nullptr)
        parts_.stop->setEnabled(false);
}

bool WindowHost::StopRequested() {
    Refresh();
    return stop_requested_;
}

void WindowHost::SetProgressLabel(const std::string& text) {
    parts_.progress_info->setText(Shown(text));
    Refresh();
}

void WindowHost::SetProgressMaximum(int maximum) {
    parts_.progress->setMaximum(maximum);
}

void WindowHost::SetProgressPosition(int position) {
    parts_.progress->setValue(position);
}

void WindowHost::StepProgress() {
    parts_.progress->setValue(parts_.progress->value() + 1);
    Refresh();
}

void WindowHost::SetWorkingDisplay(bool working) {
    working_ = working;
    stop_requested_ = false;
    if (parts_.stop != nullptr)
        parts_.stop->setEnabled(working);
    parts_.progress->setFormat(kProgressFormat);
    parts_.make_html->setEnabled(!working);
    parts_.correct_names->setEnabled(!working);
    parts_.reload_defs->setEnabled(!working);
    if (working) {
        if (parts_.command_starts)
            parts_.command_starts();
        parts_.work_panel->show();
        parts_.main_panel->hide();
        if (!input_blocker_) {
            input_blocker_ = std::make_unique<InputBlocker>(parts_.window, parts_.stop);
            QCoreApplication::instance()->installEventFilter(input_blocker_.get());
        }
    } else {
        // Whatever was decoded ahead belongs to the run that ends here.
        ahead_.reset();
        parts_.work_panel->hide();
        parts_.main_panel->show();
        parts_.list->setFocus(Qt::OtherFocusReason);
        if (input_blocker_) {
            QCoreApplication::instance()->removeEventFilter(input_blocker_.get());
            input_blocker_.reset();
        }
    }
    Refresh();
}

void WindowHost::ComingNext(const std::string& thumbnail_path, const std::string& picture_path) {
    if (!decode_ahead_ || !working_)
        return;
    if (!ahead_)
        ahead_ =
            std::make_unique<PicturePrefetcher>(kKeptAhead, PicturePrefetcher::Finished(), kDecodingThreads);
    ahead_->Prefetch(thumbnail_path, kTinyPicBox);
    ahead_->Prefetch(picture_path, kPreviewBox);
}

void WindowHost::Refresh() {
    // Input that arrived meanwhile is swallowed by the blocker rather than kept for later, so a
    // click during the run does not act once it is over.
    QCoreApplication::processEvents();
}

} // namespace qlm::ui

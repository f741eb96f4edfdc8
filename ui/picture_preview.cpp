// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/picture_preview.h"

#include "core/picture_loader.h"
#include "ui/preview_placement.h"
#include "ui/rgba_image.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>

#include <utility>

namespace qlm::ui {

namespace {

// The decoded pixels as a pixmap of the given size. The decoder has already reduced a large
// picture to little more than the box, so one smooth (area averaging) pass gives a clean result.
QPixmap PreviewPixmap(const Image& image, int width, int height) {
    QImage owned = RgbaImage(image, QImage::Format_ARGB32_Premultiplied);
    if (owned.width() != width || owned.height() != height)
        owned = owned.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return QPixmap::fromImage(std::move(owned));
}

} // namespace

PicturePreview::PicturePreview(QLabel* preview) : preview_(preview) {
    // The label draws its picture stretched to its own bounds.
    preview_->setScaledContents(true);
}

bool PicturePreview::Load(const std::string& path, int box_top) {
    return Show(LoadPicture(path, kPreviewBox), box_top);
}

bool PicturePreview::Show(const Picture& picture, int box_top) {
    if (!picture.opened)
        return false;
    const PreviewRect place = PreviewPlacement(picture.width, picture.height, box_top);
    // Everything that can fail happens before the label is touched.
    const QPixmap shown = PreviewPixmap(picture.image, place.width, place.height);
    preview_->setPixmap(shown);
    preview_->setGeometry(place.left, place.top, place.width, place.height);
    preview_->show();
    natural_size_ = PictureSize{picture.width, picture.height};
    return true;
}

void PicturePreview::Hide() {
    preview_->hide();
}

} // namespace qlm::ui

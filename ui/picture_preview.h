// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The picture preview beside the folder list: it decodes a picture file, scales it smoothly to fit
// the preview box and places the `Preview` label (owned by the main window) centred in that box.
// The natural size of the picture held is what the gallery pages are written with. A picture that
// cannot be opened or decoded leaves the held picture, its size, place and visibility as they were.

#include "core/generator.h"
#include "core/picture.h"

#include <string>

class QLabel;

namespace qlm::ui {

class PicturePreview {
  public:
    explicit PicturePreview(QLabel* preview);

    // Shows the picture file `path` in the box whose top edge is `box_top`. False when the file
    // cannot be opened; throws qlm::DecodeError when its data cannot be decoded.
    bool Load(const std::string& path, int box_top);
    // Shows a picture already decoded for the box (LoadPicture with kPreviewBox), as Load does.
    bool Show(const Picture& picture, int box_top);

    // The natural width and height (as displayed, Exif orientation applied) of the picture held;
    // 0 x 0 before the first successful load.
    PictureSize NaturalSize() const { return natural_size_; }

    void Hide();

  private:
    QLabel* preview_;
    PictureSize natural_size_;
};

} // namespace qlm::ui

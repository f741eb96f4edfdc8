// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The decoders' pixels as a Qt image: the one place where the window turns a decoded picture into
// something it can draw, for the preview and the small thumbnail picture alike.

#include "core/picture.h"

#include <QImage>

namespace qlm::ui {

// A copy of `image` in `format` that owns its pixels, so that it outlives the decoder's buffer.
// Throws qlm::DecodeError when the image holds fewer bytes than its size needs, or no size at all.
QImage RgbaImage(const Image& image, QImage::Format format = QImage::Format_RGBA8888);

} // namespace qlm::ui

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rgba_image.h"

#include <cstddef>
#include <limits>

namespace qlm::ui {

QImage RgbaImage(const Image& image, QImage::Format format) {
    const bool sized =
        image.width > 0 && image.height > 0 && image.width <= std::numeric_limits<int>::max() / 4;
    const auto needed = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4;
    if (!sized || image.rgba.size() < needed)
        throw DecodeError("the decoder gave no picture data");
    // Only a view of the decoder's buffer; what leaves here is always a copy.
    const QImage pixels(image.rgba.data(), image.width, image.height, image.width * 4,
                        QImage::Format_RGBA8888);
    // A conversion to the format the view already has would give the view itself back.
    return format == QImage::Format_RGBA8888 ? pixels.copy() : pixels.convertToFormat(format);
}

} // namespace qlm::ui

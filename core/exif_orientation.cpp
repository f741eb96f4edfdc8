// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/exif_orientation.h"

#include "core/tiff_reader.h"

#include <cstring>
#include <new>
#include <utility>

namespace qlm {
namespace {

constexpr std::uint32_t kOrientationTag = 0x0112;
constexpr std::uint32_t kTypeShort = 3;

} // namespace

int ExifOrientation(const std::uint8_t* data, std::size_t size) noexcept {
    static constexpr char kSignature[] = "Exif\0";
    constexpr std::size_t kSignatureSize = 6;
    if (data == nullptr || size < kSignatureSize + 8 || std::memcmp(data, kSignature, kSignatureSize) != 0) {
        return 1;
    }
    TiffReader reader(nullptr, 0, false);
    if (!OpenTiff(data + kSignatureSize, size - kSignatureSize, reader)) {
        return 1;
    }
    // The first orientation entry decides; one that is not a single valid number means none.
    int orientation = 1;
    VisitFirstDirectory(reader, [&](const TiffEntry& entry) {
        std::uint32_t value = 0;
        if (entry.tag != kOrientationTag) {
            return true;
        }
        if (entry.type == kTypeShort && entry.count == 1 && reader.Read16(entry.at + 8, value) &&
            value >= 1 && value <= 8) {
            orientation = static_cast<int>(value);
        }
        return false;
    });
    return orientation;
}

bool ApplyOrientation(Image& image, int orientation) {
    if (orientation < 2 || orientation > 8 || image.width <= 0 || image.height <= 0) {
        return true;
    }
    const std::size_t w = static_cast<std::size_t>(image.width);
    const std::size_t h = static_cast<std::size_t>(image.height);
    const bool swap = OrientationSwapsSides(orientation);
    const std::size_t out_w = swap ? h : w;
    const std::size_t out_h = swap ? w : h;
    std::vector<std::uint8_t> turned;
    try {
        turned.resize(image.rgba.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::uint8_t* src = image.rgba.data();
    std::uint8_t* dest = turned.data();
    for (std::size_t y = 0; y < out_h; ++y) {
        for (std::size_t x = 0; x < out_w; ++x) {
            // The stored pixel that appears at (x, y) of the upright picture.
            std::size_t sx = x, sy = y;
            switch (orientation) {
            case 2:
                sx = w - 1 - x;
                break;
            case 3:
                sx = w - 1 - x;
                sy = h - 1 - y;
                break;
            case 4:
                sy = h - 1 - y;
                break;
            case 5:
                sx = y;
                sy = x;
                break;
            case 6:
                sx = y;
                sy = h - 1 - x;
                break;
            case 7:
                sx = w - 1 - y;
                sy = h - 1 - x;
                break;
            case 8:
                sx = w - 1 - y;
                sy = x;
                break;
            default:
                break;
            }
            std::memcpy(dest + (y * out_w + x) * 4, src + (sy * w + sx) * 4, 4);
        }
    }
    image.rgba = std::move(turned);
    image.width = static_cast<int>(out_w);
    image.height = static_cast<int>(out_h);
    return true;
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/exif_orientation.h"

#include <cstring>
#include <new>
#include <utility>

namespace qlm {
namespace {

// Reads 16- and 32-bit numbers of a TIFF structure in its byte order; every access is checked
// against the end of the block.
class TiffReader {
  public:
    TiffReader(const std::uint8_t* data, std::size_t size, bool little_endian)
        : data_(data), size_(size), little_endian_(little_endian) {}

    bool Read16(std::uint64_t offset, std::uint32_t& value) const {
        if (offset > size_ || size_ - offset < 2) {
            return false;
        }
        const std::uint8_t* p = data_ + offset;
        value = little_endian_ ? (p[0] | p[1] << 8) : (p[0] << 8 | p[1]);
        return true;
    }

    bool Read32(std::uint64_t offset, std::uint32_t& value) const {
        std::uint32_t first = 0, second = 0;
        if (!Read16(offset, first) || !Read16(offset + 2, second)) {
            return false;
        }
        value = little_endian_ ? (second << 16 | first) : (first << 16 | second);
        return true;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    bool little_endian_;
};

constexpr std::uint32_t kOrientationTag = 0x0112;
constexpr std::uint32_t kTypeShort = 3;

} // namespace

int ExifOrientation(const std::uint8_t* data, std::size_t size) noexcept {
    static constexpr char kSignature[] = "Exif\0";
    constexpr std::size_t kSignatureSize = 6;
    if (data == nullptr || size < kSignatureSize + 8 || std::memcmp(data, kSignature, kSignatureSize) != 0) {
        return 1;
    }
    const std::uint8_t* tiff = data + kSignatureSize;
    const std::size_t tiff_size = size - kSignatureSize;
    bool little_endian = false;
    if (tiff[0] == 'I' && tiff[1] == 'I') {
        little_endian = true;
    } else if (!(tiff[0] == 'M' && tiff[1] == 'M')) {
        return 1;
    }
    const TiffReader reader(tiff, tiff_size, little_endian);
    std::uint32_t magic = 0, ifd = 0, count = 0;
    if (!reader.Read16(2, magic) || magic != 42 || !reader.Read32(4, ifd) || !reader.Read16(ifd, count)) {
        return 1;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entry = std::uint64_t{ifd} + 2 + std::uint64_t{i} * 12;
        std::uint32_t tag = 0, type = 0, values = 0, value = 0;
        if (!reader.Read16(entry, tag) || !reader.Read16(entry + 2, type) ||
            !reader.Read32(entry + 4, values)) {
            return 1;
        }
        if (tag != kOrientationTag) {
            continue;
        }
        if (type != kTypeShort || values != 1 || !reader.Read16(entry + 8, value) || value < 1 || value > 8) {
            return 1;
        }
        return static_cast<int>(value);
    }
    return 1;
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

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The orientation a camera records in a JPEG's Exif block, and turning pixels upright by it, so
// that a picture appears as a web browser shows it.

#include "core/picture.h"

#include <cstddef>
#include <cstdint>

namespace qlm {

// The orientation tag (1 to 8) of an APP1 segment's payload starting with "Exif\0\0"; 1 when the
// payload is no Exif block, holds no orientation or holds an invalid one. Never reads outside
// the given bytes.
int ExifOrientation(const std::uint8_t* data, std::size_t size) noexcept;

// True for the orientations whose upright picture has width and height swapped (5 to 8).
inline bool OrientationSwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// Turns the pixels of a picture stored with `orientation` upright. False only when the memory
// for the turned copy cannot be had.
bool ApplyOrientation(Image& image, int orientation);

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Looking at decoded pixels in GoogleTest: a colour, the pixel at a place, and a comparison within
// a tolerance that names both colours when it fails.

#include "core/picture.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace qlm::test {

struct Rgba {
    int r, g, b, a;
};
inline constexpr Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255},
    kWhite{255, 255, 255, 255}, kClear{0, 0, 0, 0};

inline Rgba PixelAt(const Image& image, int x, int y) {
    const std::uint8_t* p = image.rgba.data() + (static_cast<std::size_t>(y) * image.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// Compares colours within `tolerance`; a fully transparent pixel matches any transparent one.
inline testing::AssertionResult Near(const Rgba& actual, const Rgba& expected, int tolerance) {
    if ((expected.a == 0 && actual.a == 0) ||
        (std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
         std::abs(actual.b - expected.b) <= tolerance && std::abs(actual.a - expected.a) <= tolerance))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "got " << actual.r << "," << actual.g << "," << actual.b << "," << actual.a << " want "
           << expected.r << "," << expected.g << "," << expected.b << "," << expected.a;
}

} // namespace qlm::test

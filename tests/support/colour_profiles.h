// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// ICC profiles made in the test with Little CMS, so that no profile file is needed: one with the
// primaries and gamma of Adobe RGB (1998), sRGB, and grey ones; and what an Adobe RGB colour is in
// sRGB, worked out from the two colour spaces' definitions rather than by the library.

#include "tests/support/pixels.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace qlm::test {

// The bytes of `profile`, which is closed.
inline std::string SavedProfile(cmsHPROFILE profile) {
    std::string bytes;
    cmsUInt32Number size = 0;
    if (profile != nullptr && cmsSaveProfileToMem(profile, nullptr, &size)) {
        bytes.resize(size);
        cmsSaveProfileToMem(profile, bytes.data(), &size);
    }
    cmsCloseProfile(profile);
    return bytes;
}

inline constexpr cmsCIExyY kD65{0.3127, 0.3290, 1.0};

inline std::string AdobeRgbProfile() {
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    const std::string bytes = SavedProfile(cmsCreateRGBProfile(&kD65, &primaries, curves));
    cmsFreeToneCurve(gamma);
    return bytes;
}

inline std::string SrgbProfile() {
    return SavedProfile(cmsCreate_sRGBProfile());
}

inline std::string GreyProfile(double gamma) {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    const std::string bytes = SavedProfile(cmsCreateGrayProfile(&kD65, curve));
    cmsFreeToneCurve(curve);
    return bytes;
}

// sRGB's encoding of a linear level, clipped to what 8 bits hold.
inline int SrgbLevel(double linear) {
    linear = std::clamp(linear, 0.0, 1.0);
    const double encoded = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return static_cast<int>(std::lround(encoded * 255));
}

// Adobe RGB and sRGB share the red and blue primaries and the white point: only green differs,
// which gives this matrix between their linear values.
inline Rgba AdobeRgbInSrgb(Rgba adobe) {
    const auto linear = [](int level) { return std::pow(level / 255.0, 563.0 / 256.0); };
    const double r = linear(adobe.r), g = linear(adobe.g), b = linear(adobe.b);
    return {SrgbLevel(1.3983557 * r - 0.3983557 * g), SrgbLevel(g), SrgbLevel(-0.0429289 * g + 1.0429289 * b),
            adobe.a};
}

} // namespace qlm::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bringing decoded pixels from the colours of their picture's ICC profile to sRGB (Little CMS), for
// files written without a profile: a browser shows those as sRGB, so a photo taken in a wider
// colour space (a camera's Adobe RGB, say) would look dull unless its pixels are converted.

#include "core/picture.h"

#include <string_view>

namespace qlm {

enum class SrgbConversion {
    Converted,   // the pixels now hold the profile's colours in sRGB
    AlreadySrgb, // the profile gives the colours of sRGB (up to rounding); the pixels are untouched
    Unusable,    // damaged, or not for these pixels (CMYK, Lab, device links, a grey profile for a
                 // picture in colour); the pixels are untouched
};

// Converts `image` from the colours of `profile` (the bytes of an ICC profile) to sRGB with the
// perceptual intent; alpha is kept. An RGB profile converts any picture, a grey profile only a
// picture whose every pixel is grey. The library reads no byte outside `profile`.
SrgbConversion ConvertToSrgb(Image& image, std::string_view profile);

} // namespace qlm

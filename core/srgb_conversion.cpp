// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/srgb_conversion.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

namespace qlm {
namespace {

// Levels of 8 bits by which a profile's colours may differ from the library's sRGB and still be
// taken for sRGB: the sRGB profiles cameras and editors embed differ from it by rounding only,
// and a thumbnail of such a picture stays what it was.
constexpr int kSrgbTolerance = 2;

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

// A transform from `from` to sRGB; empty when the library refuses it.
Transform ToSrgb(cmsHPROFILE from, cmsUInt32Number in_format, cmsUInt32Number out_format,
                 cmsUInt32Number intent, cmsUInt32Number flags = 0) {
    const Profile srgb(cmsCreate_sRGBProfile());
    if (!srgb)
        return nullptr;
    return Transform(cmsCreateTransform(from, in_format, srgb.get(), out_format, intent, flags));
}

// Only profiles of devices and colour spaces describe a picture's pixels; an abstract profile or
// a device link would be applied as an edit.
bool DescribesPixels(cmsHPROFILE profile) {
    switch (cmsGetDeviceClass(profile)) {
    case cmsSigInputClass:
    case cmsSigDisplayClass:
    case cmsSigOutputClass:
    case cmsSigColorSpaceClass:
        return true;
    default:
        return false;
    }
}

bool Close(std::uint8_t a, std::uint8_t b) {
    return std::abs(int{a} - int{b}) <= kSrgbTolerance;
}

// Whether the profile's colours are those of sRGB: a lattice through the RGB cube, converted
// colorimetrically, comes back where it was.
bool RgbIsSrgb(cmsHPROFILE profile) {
    const Transform colorimetric = ToSrgb(profile, TYPE_RGB_8, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC);
    if (!colorimetric)
        return false;
    std::vector<std::uint8_t> lattice;
    for (int r = 0; r <= 255; r += 17)
        for (int g = 0; g <= 255; g += 17)
            for (int b = 0; b <= 255; b += 17)
                lattice.insert(lattice.end(), {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)});
    std::vector<std::uint8_t> converted(lattice.size());
    cmsDoTransform(colorimetric.get(), lattice.data(), converted.data(),
                   static_cast<cmsUInt32Number>(lattice.size() / 3));
    return std::equal(lattice.begin(), lattice.end(), converted.begin(), Close);
}

SrgbConversion ConvertRgb(Image& image, cmsHPROFILE profile) {
    const Transform perceptual =
        ToSrgb(profile, TYPE_RGBA_8, TYPE_RGBA_8, INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA);
    if (!perceptual)
        return SrgbConversion::Unusable;
    if (RgbIsSrgb(profile))
        return SrgbConversion::AlreadySrgb;
    // Row by row, so that no count of pixels passed to the library can overflow.
    const std::size_t stride = static_cast<std::size_t>(image.width) * 4;
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* row = image.rgba.data() + stride * y;
        cmsDoTransform(perceptual.get(), row, row, static_cast<cmsUInt32Number>(image.width));
    }
    return SrgbConversion::Converted;
}

bool AllGrey(const Image& image) {
    for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4)
        if (image.rgba[i] != image.rgba[i + 1] || image.rgba[i] != image.rgba[i + 2])
            return false;
    return true;
}

// A grey picture has 256 values at most: each becomes its sRGB colour through a table.
SrgbConversion ConvertGrey(Image& image, cmsHPROFILE profile) {
    const Transform perceptual = ToSrgb(profile, TYPE_GRAY_8, TYPE_RGB_8, INTENT_PERCEPTUAL);
    const Transform colorimetric = ToSrgb(profile, TYPE_GRAY_8, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC);
    if (!perceptual || !colorimetric || !AllGrey(image))
        return SrgbConversion::Unusable;
    std::array<std::uint8_t, 256> levels;
    for (int level = 0; level < 256; ++level)
        levels[level] = static_cast<std::uint8_t>(level);
    std::array<std::uint8_t, 256 * 3> table;
    cmsDoTransform(colorimetric.get(), levels.data(), table.data(), 256);
    bool srgb = true;
    for (int i = 0; i < 256 * 3; ++i)
        srgb = srgb && Close(table[i], levels[i / 3]);
    if (srgb)
        return SrgbConversion::AlreadySrgb;
    cmsDoTransform(perceptual.get(), levels.data(), table.data(), 256);
    for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
        const std::uint8_t* colour = table.data() + std::size_t{image.rgba[i]} * 3;
        std::copy(colour, colour + 3, image.rgba.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return SrgbConversion::Converted;
}

} // namespace

SrgbConversion ConvertToSrgb(Image& image, std::string_view profile) {
    if (profile.empty() || profile.size() > std::numeric_limits<cmsUInt32Number>::max())
        return SrgbConversion::Unusable;
    const Profile opened(cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size())));
    if (!opened || !DescribesPixels(opened.get()))
        return SrgbConversion::Unusable;
    switch (cmsGetColorSpace(opened.get())) {
    case cmsSigRgbData:
        return ConvertRgb(image, opened.get());
    case cmsSigGrayData:
        return ConvertGrey(image, opened.get());
    default:
        return SrgbConversion::Unusable;
    }
}

} // namespace qlm

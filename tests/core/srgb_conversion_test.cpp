// SPDX-License-Identifier: GPL-3.0-or-later
// Pixels brought to sRGB from their profile's colours: Adobe RGB against the colours worked out
// from the two colour spaces, sRGB profiles leaving every byte, grey profiles, and profiles that
// are damaged or describe something else leaving the pixels as they were.

#include "core/srgb_conversion.h"
#include "tests/support/colour_profiles.h"
#include "tests/support/pixels.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using qlm::SrgbConversion;
using namespace qlm::test;
using namespace std::string_literals;

qlm::Image Row(const std::vector<Rgba>& colours) {
    qlm::Image image;
    image.width = static_cast<int>(colours.size());
    image.height = 1;
    for (const Rgba& c : colours)
        image.rgba.insert(image.rgba.end(),
                          {std::uint8_t(c.r), std::uint8_t(c.g), std::uint8_t(c.b), std::uint8_t(c.a)});
    return image;
}

// Saturated greens (beyond sRGB, clipped), a red, a blue, a skin tone and greys, some translucent.
const std::vector<Rgba> kAdobeColours = {{30, 200, 40, 255}, {0, 255, 0, 128},    {200, 60, 50, 255},
                                         {40, 60, 190, 255}, {210, 160, 130, 77}, {128, 128, 128, 255},
                                         {0, 0, 0, 255},     {255, 255, 255, 0}};

TEST(ConvertToSrgb, AdobeRgbColoursBecomeTheirSrgbColoursAndKeepTheirAlpha) {
    qlm::Image image = Row(kAdobeColours);
    ASSERT_EQ(qlm::ConvertToSrgb(image, AdobeRgbProfile()), SrgbConversion::Converted);
    for (int x = 0; x < image.width; ++x) {
        const Rgba expected = AdobeRgbInSrgb(kAdobeColours[x]);
        EXPECT_TRUE(Near(PixelAt(image, x, 0), expected, 1)) << "colour " << x;
        EXPECT_EQ(PixelAt(image, x, 0).a, expected.a) << "colour " << x;
    }
}

// The profile of a JPEG file that carries it in one APP2 segment.
std::string SingleChunkProfile(const std::string& jpeg) {
    const std::size_t at = jpeg.find("ICC_PROFILE\0\1\1"s);
    if (at < 4)
        return {};
    const std::size_t length =
        static_cast<std::uint8_t>(jpeg[at - 2]) * 256 + static_cast<std::uint8_t>(jpeg[at - 1]);
    return jpeg.substr(at + 14, length - 2 - 14);
}

// sRGB as the library makes it, and the sRGB 2014 profile a third-party test picture carries.
TEST(ConvertToSrgb, SrgbProfilesLeaveEveryByte) {
    const std::string srgb2014 = SingleChunkProfile(
        ReadFile((std::filesystem::path(QLM_TEST_DATA_DIR) / "thirdparty/jpeg/ljt_monkey12.jpg").string()));
    ASSERT_EQ(srgb2014.substr(36, 4), "acsp");
    for (const std::string& profile : {SrgbProfile(), srgb2014}) {
        qlm::Image image = Row(kAdobeColours);
        const std::vector<std::uint8_t> before = image.rgba;
        EXPECT_EQ(qlm::ConvertToSrgb(image, profile), SrgbConversion::AlreadySrgb);
        EXPECT_EQ(image.rgba, before);
    }
}

TEST(ConvertToSrgb, AGreyProfileConvertsAGreyPictureOnly) {
    // Linear grey: level 64 is a quarter of the light, which sRGB encodes as 137.
    qlm::Image grey = Row({{64, 64, 64, 255}, {0, 0, 0, 255}, {255, 255, 255, 10}});
    ASSERT_EQ(qlm::ConvertToSrgb(grey, GreyProfile(1.0)), SrgbConversion::Converted);
    EXPECT_TRUE(Near(PixelAt(grey, 0, 0), {137, 137, 137, 255}, 1));
    EXPECT_TRUE(Near(PixelAt(grey, 1, 0), {0, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(PixelAt(grey, 2, 0), {255, 255, 255, 10}, 0));

    qlm::Image colour = Row({{64, 64, 64, 255}, {64, 65, 64, 255}});
    const std::vector<std::uint8_t> before = colour.rgba;
    EXPECT_EQ(qlm::ConvertToSrgb(colour, GreyProfile(1.0)), SrgbConversion::Unusable);
    EXPECT_EQ(colour.rgba, before);

    qlm::Image srgb_grey = Row({{64, 64, 64, 255}});
    EXPECT_EQ(qlm::ConvertToSrgb(srgb_grey, GreyProfile(2.2)), SrgbConversion::Converted);
}

// Whatever the profile's bytes, the library reads none outside them (the sanitizers watch) and
// the pixels stay as they were.
TEST(ConvertToSrgb, DamagedAndForeignProfilesLeaveThePixels) {
    const std::string adobe = AdobeRgbProfile();
    std::string tags_astray = adobe; // every tag's offset far past the end
    const std::size_t tags = static_cast<std::uint8_t>(adobe[131]);
    for (std::size_t i = 0; i < tags; ++i)
        tags_astray[132 + 12 * i + 4] = '\x7F';
    std::string huge_count = adobe;
    huge_count.replace(128, 4, "\xFF\xFF\xFF\xFF");
    const std::vector<std::string> profiles = {
        "",
        "not a profile",
        adobe.substr(0, adobe.size() / 2),
        adobe.substr(0, 128),
        tags_astray,
        huge_count,
        SavedProfile(cmsCreateLab4Profile(nullptr)),
        SavedProfile(cmsCreateInkLimitingDeviceLink(cmsSigCmykData, 150)),
    };
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        qlm::Image image = Row(kAdobeColours);
        const std::vector<std::uint8_t> before = image.rgba;
        EXPECT_EQ(qlm::ConvertToSrgb(image, profiles[i]), SrgbConversion::Unusable) << "profile " << i;
        EXPECT_EQ(image.rgba, before) << "profile " << i;
    }
}

} // namespace

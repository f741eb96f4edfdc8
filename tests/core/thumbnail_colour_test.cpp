// SPDX-License-Identifier: GPL-3.0-or-later
// The colours of thumbnails of pictures with a colour profile: an Adobe RGB JPEG or PNG gets a
// thumbnail in sRGB that matches the colour-managed picture, while a picture tagged sRGB, one with
// a damaged profile and one without any get the very bytes they got before profiles were read.

#include "core/jpeg_encoder.h"
#include "core/picture_loader.h"
#include "core/png_encoder.h"
#include "core/thumbnail_maker.h"
#include "tests/support/colour_profiles.h"
#include "tests/support/pixels.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace qlm::test;
using namespace std::string_literals;

// Saturated green (beyond sRGB), a red, a blue and a skin tone, one in each quadrant.
const std::vector<Rgba> kQuadrants = {
    {30, 200, 40, 255}, {200, 60, 50, 255}, {40, 60, 190, 255}, {210, 160, 130, 255}};

qlm::Image Quadrants(const std::vector<Rgba>& colours, int width = 256, int height = 192) {
    qlm::Image image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgba& c = colours[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)];
            image.rgba.insert(image.rgba.end(),
                              {std::uint8_t(c.r), std::uint8_t(c.g), std::uint8_t(c.b), std::uint8_t(c.a)});
        }
    return image;
}

// The mean difference (0 to 1) of the middle half of each quadrant from `reference`'s, both of
// the same size; the quadrants' borders are left out, where the scaler blends them.
double MeanError(const qlm::Image& image, const qlm::Image& reference) {
    EXPECT_EQ(image.width, reference.width);
    EXPECT_EQ(image.height, reference.height);
    double sum = 0;
    int count = 0;
    for (int y = image.height / 8; y < image.height * 7 / 8; ++y)
        for (int x = image.width / 8; x < image.width * 7 / 8; ++x) {
            if (y * 8 / image.height % 4 == 3 || x * 8 / image.width % 4 == 3)
                continue; // the eighths on either side of the middle lines
            const Rgba got = PixelAt(image, x, y), want = PixelAt(reference, x, y);
            sum += std::abs(got.r - want.r) + std::abs(got.g - want.g) + std::abs(got.b - want.b);
            count += 3;
        }
    return count == 0 ? 1.0 : sum / count / 255.0;
}

// The PNG file of `image` with `profile` in an iCCP chunk after the header.
std::string PngWithProfile(const qlm::Image& image, const std::string& profile) {
    const std::string png = qlm::EncodePng(image);
    uLongf size = compressBound(profile.size());
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(profile.data()),
             profile.size());
    const std::string data = "iCCP"s + "icc"s + '\0' + '\0' + packed.substr(0, size);
    const auto big_endian = [](uLong n) {
        return std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    };
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), data.size());
    return png.substr(0, 33) + big_endian(data.size() - 4) + data + big_endian(crc) + png.substr(33);
}

class ThumbnailColour : public testing::Test {
  protected:
    // The thumbnail of `bytes` stored as `name`, 64 pixels wide, decoded.
    qlm::Image Thumbnail(const std::string& name, const std::string& bytes, bool thumbs_jpg = false) {
        folder.Put(name, bytes);
        const qlm::ThumbnailResult result = qlm::MakeThumbnail(folder.Path(), name, thumbs_jpg, 64);
        EXPECT_EQ(result.outcome, qlm::ThumbnailOutcome::Made) << result.message;
        return qlm::LoadPicture(folder / result.thumbnail, 0).image;
    }
    std::string ThumbnailBytes(const std::string& name, const std::string& bytes) {
        Thumbnail(name, bytes);
        return folder.Get("t_" + name);
    }
    TempFolder folder;
    const qlm::Image picture = Quadrants(kQuadrants);
};

TEST_F(ThumbnailColour, AnAdobeRgbPictureGetsTheColoursOfItsColourManagedPicture) {
    std::vector<Rgba> managed;
    for (const Rgba& c : kQuadrants)
        managed.push_back(AdobeRgbInSrgb(c));
    const qlm::Image srgb = Quadrants(managed);
    // The quadrants' numbers themselves are far from the colours they mean in sRGB.
    ASSERT_GT(MeanError(picture, srgb), 0.03);

    // Against the thumbnail of the picture in sRGB, which went through the same encoders.
    const std::string profile = AdobeRgbProfile();
    const qlm::Image jpeg = Thumbnail("srgb.jpg", qlm::EncodeJpeg(srgb, 95));
    EXPECT_LT(MeanError(Thumbnail("adobe.jpg", qlm::EncodeJpeg(picture, 95, false, profile)), jpeg), 0.01);
    EXPECT_LT(MeanError(Thumbnail("adobe_jpg.png", PngWithProfile(picture, profile), true), jpeg), 0.01);
    EXPECT_LT(MeanError(Thumbnail("adobe.png", PngWithProfile(picture, profile)), Quadrants(managed, 64, 48)),
              0.01);
    // The thumbnail carries no profile of its own: it is sRGB.
    EXPECT_EQ(folder.Get("t_adobe.jpg").find("ICC_PROFILE"), std::string::npos);
    EXPECT_EQ(folder.Get("t_adobe.png").find("iCCP"), std::string::npos);
}

TEST_F(ThumbnailColour, SrgbDamagedAndMissingProfilesLeaveTheThumbnailAsItWas) {
    const std::string profile = AdobeRgbProfile();
    const std::string untagged = ThumbnailBytes("plain.jpg", qlm::EncodeJpeg(picture, 95));
    ASSERT_FALSE(untagged.empty());
    EXPECT_EQ(ThumbnailBytes("srgb.jpg", qlm::EncodeJpeg(picture, 95, false, SrgbProfile())), untagged);
    EXPECT_EQ(ThumbnailBytes("half.jpg",
                             qlm::EncodeJpeg(picture, 95, false, profile.substr(0, profile.size() / 2))),
              untagged);
    EXPECT_EQ(ThumbnailBytes("junk.jpg", qlm::EncodeJpeg(picture, 95, false, std::string(600, 'x'))),
              untagged);

    const std::string untagged_png = ThumbnailBytes("plain.png", qlm::EncodePng(picture));
    EXPECT_EQ(ThumbnailBytes("srgb.png", PngWithProfile(picture, SrgbProfile())), untagged_png);
    EXPECT_EQ(ThumbnailBytes("half.png", PngWithProfile(picture, profile.substr(0, profile.size() / 2))),
              untagged_png);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The pixels LoadPicture gives: colours, transparency, de-interlacing, reduction for a box, and
// pictures turned upright by their Exif orientation, down to the parsing of the Exif block.

#include "core/exif_orientation.h"
#include "core/picture_loader.h"
#include "tests/support/pixels.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kPictures = fs::path(QLM_TEST_DATA_DIR) / "pictures";

// Colours, pixels and their comparison.
using namespace qlm::test;

// The colour at the centre of each quadrant: top left, top right, bottom left, bottom right.
void ExpectQuadrants(const qlm::Image& image, const Rgba (&colours)[4], int tolerance) {
    const int xs[2] = {image.width / 4, image.width * 3 / 4};
    const int ys[2] = {image.height / 4, image.height * 3 / 4};
    for (int q = 0; q < 4; ++q)
        EXPECT_TRUE(Near(PixelAt(image, xs[q % 2], ys[q / 2]), colours[q], tolerance)) << "quadrant " << q;
}

struct QuadrantCase {
    const char* file;
    int box;
    int image_width; // of the decoded, possibly reduced pixels
    Rgba bottom_right;
    int tolerance;
};

class Quadrants : public testing::TestWithParam<QuadrantCase> {};

TEST_P(Quadrants, KeepColoursAndNaturalSize) {
    const QuadrantCase& c = GetParam();
    const qlm::Picture picture = qlm::LoadPicture((kPictures / c.file).string(), c.box);
    ASSERT_TRUE(picture.opened);
    EXPECT_EQ(picture.width, 64);
    EXPECT_EQ(picture.height, 48);
    EXPECT_EQ(picture.image.width, c.image_width);
    ASSERT_EQ(picture.image.rgba.size(), std::size_t(picture.image.width) * picture.image.height * 4);
    ExpectQuadrants(picture.image, {kRed, kGreen, kBlue, c.bottom_right}, c.tolerance);
}

// A box of 30 needs 30 x 23 pixels: halving gives 32, a quarter would be too small.
INSTANTIATE_TEST_SUITE_P(Formats, Quadrants,
                         testing::Values(QuadrantCase{"quadrants.png", 0, 64, kClear, 0},
                                         QuadrantCase{"quadrants.png", 30, 32, kClear, 0},
                                         QuadrantCase{"quadrants.gif", 16, 16, kClear, 0},
                                         QuadrantCase{"quadrants.jpg", 0, 64, kWhite, 8},
                                         QuadrantCase{"quadrants.jpg", 1, 8, kWhite, 8},
                                         QuadrantCase{"quadrants.jpg", 273, 64, kWhite, 8},
                                         QuadrantCase{"quadrants_progressive.jpg", 30, 32, kWhite, 8}));

TEST(PictureColours, CmykAndGrayJpegsBecomeOpaqueRgba) {
    qlm::Picture picture = qlm::LoadPicture((kPictures / "cmyk_adobe.jpg").string(), 0);
    ASSERT_EQ(picture.image.width, 16);
    ExpectQuadrants(picture.image, {kRed, kGreen, kBlue, kWhite}, 12);
    picture = qlm::LoadPicture((kPictures / "quadrants_gray.jpg").string(), 0);
    ASSERT_EQ(picture.image.width, 64);
    // Luma of red, green, blue and white.
    ExpectQuadrants(picture.image, {{76, 76, 76, 255}, {150, 150, 150, 255}, {29, 29, 29, 255}, kWhite}, 4);
}

TEST(PictureColours, GifFrameTableWinsAndFramePartsOffScreenAreCut) {
    qlm::Picture picture = qlm::LoadPicture((kPictures / "gif_local_colormap.gif").string(), 0);
    ASSERT_EQ(picture.image.width, 4);
    EXPECT_TRUE(Near(PixelAt(picture.image, 3, 3), kRed, 0));

    // A 4 x 4 frame at (2, 2) on a 4 x 4 screen: the screen shows its top left quarter.
    picture = qlm::LoadPicture((kPictures / "gif_frame_outside.gif").string(), 0);
    ASSERT_EQ(picture.width, 4);
    ASSERT_EQ(picture.image.height, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_TRUE(Near(PixelAt(picture.image, x, y), x >= 2 && y >= 2 ? kRed : kClear, 0))
                << x << "," << y;
}

class Checkerboard : public testing::TestWithParam<const char*> {};

// A 256 x 256 board of single black and white pixels: every pixel in place when decoded whole
// (interlaced files included), an even gray when reduced.
TEST_P(Checkerboard, DecodesExactlyAndReducesToGray) {
    const std::string path = (kPictures / GetParam()).string();
    const qlm::Picture whole = qlm::LoadPicture(path, 0);
    ASSERT_EQ(whole.image.width, 256);
    ASSERT_EQ(whole.image.height, 256);
    int wrong = 0;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const int value = (x + y) % 2 != 0 ? 255 : 0;
            wrong += !Near(PixelAt(whole.image, x, y), {value, value, value, 255}, 0);
        }
    }
    EXPECT_EQ(wrong, 0);

    const qlm::Picture reduced = qlm::LoadPicture(path, 64);
    EXPECT_EQ(reduced.width, 256);
    ASSERT_EQ(reduced.image.width, 64);
    ASSERT_EQ(reduced.image.height, 64);
    for (std::size_t i = 0; i < reduced.image.rgba.size(); i += 4) {
        ASSERT_NEAR(reduced.image.rgba[i], 128, 1) << "byte " << i;
        ASSERT_EQ(reduced.image.rgba[i + 3], 255) << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Checkerboard,
                         testing::Values("checker.png", "checker_interlaced.png", "checker.gif",
                                         "checker_interlaced.gif"));

// --- Exif orientation -------------------------------------------------------------------------

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, unsigned value, bool little) {
    out.push_back(std::uint8_t(little ? value : value >> 8));
    out.push_back(std::uint8_t(little ? value >> 8 : value));
}

void Put32(Bytes& out, std::uint32_t value, bool little) {
    Put16(out, little ? value & 0xffff : value >> 16, little);
    Put16(out, little ? value >> 16 : value & 0xffff, little);
}

struct Entry {
    unsigned tag, type;
    std::uint32_t count;
    unsigned value;
};
const Entry kMake{0x010f, 2, 4, 0};

// An APP1 payload: "Exif\0\0", the TIFF header and IFD0 with the given entries.
Bytes ExifBlock(bool little, const std::vector<Entry>& entries, std::uint32_t ifd_offset = 8) {
    Bytes out = {'E',
                 'x',
                 'i',
                 'f',
                 0,
                 0,
                 little ? std::uint8_t('I') : std::uint8_t('M'),
                 little ? std::uint8_t('I') : std::uint8_t('M')};
    Put16(out, 42, little);
    Put32(out, ifd_offset, little);
    Put16(out, static_cast<unsigned>(entries.size()), little);
    for (const Entry& e : entries) {
        Put16(out, e.tag, little);
        Put16(out, e.type, little);
        Put32(out, e.count, little);
        Put16(out, e.value, little);
        Put16(out, 0, little);
    }
    Put32(out, 0, little);
    return out;
}

struct ParseCase {
    const char* name;
    Bytes block;
};

class ExifOrientationParse : public testing::TestWithParam<ParseCase> {};

TEST_P(ExifOrientationParse, UnusableBlocksGiveNormal) {
    const Bytes& block = GetParam().block;
    EXPECT_EQ(qlm::ExifOrientation(block.data(), block.size()), 1);
}

INSTANTIATE_TEST_SUITE_P(Blocks, ExifOrientationParse,
                         testing::Values(ParseCase{"NoOrientationTag", ExifBlock(true, {kMake})},
                                         ParseCase{"ValueNine", ExifBlock(true, {{0x0112, 3, 1, 9}})},
                                         ParseCase{"WrongType", ExifBlock(true, {{0x0112, 4, 1, 6}})},
                                         ParseCase{"DirectoryOffsetNearFourGigabytes",
                                                   ExifBlock(true, {{0x0112, 3, 1, 6}}, 0xfffffffe)},
                                         ParseCase{"NotExif", Bytes{'J', 'F', 'I', 'F', 0, 0, 'I', 'I', 42, 0,
                                                                    8, 0, 0, 0}}),
                         qlm::kRowName);

// Valid blocks in both byte orders, the tag after another one, are read in the tests below.
// A directory claiming 65535 entries in a short block, and every cut-off prefix of a valid block,
// must be read without going past the end (AddressSanitizer watches the reads).
TEST(ExifOrientationBounds, CutOffBlocksAreNeverReadPastTheirEnd) {
    Bytes many = ExifBlock(true, {{0x0112, 3, 1, 6}});
    many[14] = 0xff;
    many[15] = 0xff;
    EXPECT_EQ(qlm::ExifOrientation(many.data(), many.size()), 6); // found before the end
    many[16] = 0x99;                                              // the tag is gone now
    EXPECT_EQ(qlm::ExifOrientation(many.data(), many.size()), 1);

    const Bytes block = ExifBlock(false, {kMake, {0x0112, 3, 1, 5}});
    for (std::size_t length = 0; length < block.size(); ++length) {
        const Bytes prefix(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(length));
        // The value is complete once the entry's first 10 bytes are there.
        EXPECT_EQ(qlm::ExifOrientation(prefix.data(), prefix.size()), length >= 6 + 8 + 2 + 12 + 10 ? 5 : 1)
            << "length " << length;
    }
}

enum Corner { TopLeft, TopRight, BottomRight, BottomLeft };

struct TurnCase {
    int orientation;
    Corner stored_top_left;  // where the stored first pixel appears upright
    Corner stored_top_right; // where the last pixel of the stored first row appears upright
};

class ApplyOrientationTest : public testing::TestWithParam<TurnCase> {};

// What each orientation means, from the Exif definition of the stored rows and columns.
TEST_P(ApplyOrientationTest, MovesTheStoredCornersWhereTheTagSays) {
    // A 3 x 2 picture whose pixels are numbered 1 to 6, row by row.
    qlm::Image image{3, 2, {}};
    for (std::uint8_t n = 1; n <= 6; ++n)
        image.rgba.insert(image.rgba.end(), {n, 0, 0, 255});
    ASSERT_TRUE(qlm::ApplyOrientation(image, GetParam().orientation));
    const bool swapped = qlm::OrientationSwapsSides(GetParam().orientation);
    EXPECT_EQ(image.width, swapped ? 2 : 3);
    EXPECT_EQ(image.height, swapped ? 3 : 2);
    ASSERT_EQ(image.rgba.size(), 6u * 4);
    auto at = [&](Corner corner) {
        return PixelAt(image, corner == TopRight || corner == BottomRight ? image.width - 1 : 0,
                       corner >= BottomRight ? image.height - 1 : 0)
            .r;
    };
    EXPECT_EQ(at(GetParam().stored_top_left), 1);
    EXPECT_EQ(at(GetParam().stored_top_right), 3);
}

INSTANTIATE_TEST_SUITE_P(AllEight, ApplyOrientationTest,
                         testing::Values(TurnCase{1, TopLeft, TopRight}, TurnCase{2, TopRight, TopLeft},
                                         TurnCase{3, BottomRight, BottomLeft},
                                         TurnCase{4, BottomLeft, BottomRight},
                                         TurnCase{5, TopLeft, BottomLeft}, TurnCase{6, TopRight, BottomRight},
                                         TurnCase{7, BottomRight, TopRight},
                                         TurnCase{8, BottomLeft, TopLeft}));

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// quadrants.jpg with an APP1 segment of another kind (as XMP writes one) before its Exif block.
std::string BehindOtherApp1(const Bytes& exif) {
    auto segment = [](const std::string& payload) {
        const std::size_t length = payload.size() + 2;
        return std::string{'\xff', '\xe1', char(length >> 8), char(length & 0xff)} + payload;
    };
    const std::string jpeg = ReadBytes(kPictures / "quadrants.jpg");
    return jpeg.substr(0, 2) + segment(std::string("http://ns.adobe.com/xap/1.0/") + '\0') +
           segment(std::string(exif.begin(), exif.end())) + jpeg.substr(2);
}

TEST(ExifOrientationFiles, ShowUprightAlsoWhenReduced) {
    qlm::test::TempFolder folder;
    folder.Put("xmp.jpg", BehindOtherApp1(ExifBlock(false, {{0x0112, 3, 1, 6}})));
    const Rgba turned_right[4] = {kBlue, kRed, kWhite, kGreen};
    for (const int box : {0, 16}) {
        SCOPED_TRACE(testing::Message() << "box " << box);
        for (const std::string& six : {(kPictures / "exif_orientation_6.jpg").string(), folder / "xmp.jpg"}) {
            const qlm::Picture picture = qlm::LoadPicture(six, box);
            EXPECT_EQ(picture.width, 48) << six;
            EXPECT_EQ(picture.height, 64) << six;
            ExpectQuadrants(picture.image, turned_right, 8);
        }
        const qlm::Picture three = qlm::LoadPicture((kPictures / "exif_orientation_3.jpg").string(), box);
        EXPECT_EQ(three.width, 64);
        EXPECT_EQ(three.height, 48);
        ExpectQuadrants(three.image, {kWhite, kBlue, kGreen, kRed}, 8);
    }
}

} // namespace

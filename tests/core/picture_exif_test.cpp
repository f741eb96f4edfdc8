// The Exif orientation parser and the turning of pixels upright.

#include "core/exif_orientation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, unsigned value, bool little) {
    if (little) {
        out.insert(out.end(), {std::uint8_t(value), std::uint8_t(value >> 8)});
    } else {
        out.insert(out.end(), {std::uint8_t(value >> 8), std::uint8_t(value)});
    }
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

// An APP1 payload: "Exif\0\0", the TIFF header and IFD0 with the given entries.
Bytes ExifBlock(bool little, const std::vector<Entry>& entries, std::uint32_t ifd_offset = 8) {
    Bytes out = {'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), little ? std::initializer_list<std::uint8_t>{'I', 'I'}
                                 : std::initializer_list<std::uint8_t>{'M', 'M'});
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
    int expected;
};

class ExifOrientationParse : public testing::TestWithParam<ParseCase> {};

TEST_P(ExifOrientationParse, GivesTheTagOrNormal) {
    const Bytes& block = GetParam().block;
    EXPECT_EQ(qlm::ExifOrientation(block.data(), block.size()), GetParam().expected);
}

const Entry kMake{0x010f, 2, 4, 0};

INSTANTIATE_TEST_SUITE_P(
    Blocks, ExifOrientationParse,
    testing::Values(
        ParseCase{"LittleEndian", ExifBlock(true, {{0x0112, 3, 1, 6}}), 6},
        ParseCase{"BigEndian", ExifBlock(false, {{0x0112, 3, 1, 8}}), 8},
        ParseCase{"AfterOtherTags", ExifBlock(false, {kMake, kMake, {0x0112, 3, 1, 3}}), 3},
        ParseCase{"NoOrientationTag", ExifBlock(true, {kMake}), 1},
        ParseCase{"ValueZero", ExifBlock(true, {{0x0112, 3, 1, 0}}), 1},
        ParseCase{"ValueNine", ExifBlock(true, {{0x0112, 3, 1, 9}}), 1},
        ParseCase{"WrongType", ExifBlock(true, {{0x0112, 4, 1, 6}}), 1},
        ParseCase{"TwoValues", ExifBlock(true, {{0x0112, 3, 2, 6}}), 1},
        ParseCase{"DirectoryBeyondTheEnd", ExifBlock(true, {{0x0112, 3, 1, 6}}, 4000), 1},
        ParseCase{"DirectoryOffsetNearFourGigabytes", ExifBlock(true, {{0x0112, 3, 1, 6}}, 0xfffffffe), 1},
        ParseCase{"NotExif", Bytes{'J', 'F', 'I', 'F', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0}, 1},
        ParseCase{"BadByteOrder", Bytes{'E', 'x', 'i', 'f', 0, 0, 'I', 'M', 42, 0, 8, 0, 0, 0}, 1},
        ParseCase{"Empty", Bytes{}, 1}),
    [](const testing::TestParamInfo<ParseCase>& param_info) { return param_info.param.name; });

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
        const int orientation = qlm::ExifOrientation(prefix.data(), prefix.size());
        // The value is complete once the entry's first 10 bytes are there.
        EXPECT_EQ(orientation, length >= 6 + 8 + 2 + 12 + 10 ? 5 : 1) << "length " << length;
    }
}

// A 3 x 2 picture whose pixels are numbered 1 to 6, row by row.
qlm::Image Numbered() {
    qlm::Image image;
    image.width = 3;
    image.height = 2;
    for (std::uint8_t n = 1; n <= 6; ++n) {
        image.rgba.insert(image.rgba.end(), {n, 0, 0, 255});
    }
    return image;
}

int PixelAt(const qlm::Image& image, int x, int y) {
    return image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
}

enum Corner { TopLeft, TopRight, BottomRight, BottomLeft };

int CornerPixel(const qlm::Image& image, Corner corner) {
    const int right = image.width - 1, bottom = image.height - 1;
    switch (corner) {
    case TopLeft:
        return PixelAt(image, 0, 0);
    case TopRight:
        return PixelAt(image, right, 0);
    case BottomRight:
        return PixelAt(image, right, bottom);
    case BottomLeft:
        return PixelAt(image, 0, bottom);
    }
    return 0;
}

struct TurnCase {
    int orientation;
    Corner stored_top_left;  // where the stored first pixel appears upright
    Corner stored_top_right; // where the last pixel of the stored first row appears upright
};

class ApplyOrientationTest : public testing::TestWithParam<TurnCase> {};

// What each orientation means, from the Exif definition of the stored rows and columns.
TEST_P(ApplyOrientationTest, MovesTheStoredCornersWhereTheTagSays) {
    qlm::Image image = Numbered();
    ASSERT_TRUE(qlm::ApplyOrientation(image, GetParam().orientation));
    const bool swapped = qlm::OrientationSwapsSides(GetParam().orientation);
    EXPECT_EQ(image.width, swapped ? 2 : 3);
    EXPECT_EQ(image.height, swapped ? 3 : 2);
    ASSERT_EQ(image.rgba.size(), 6u * 4);
    EXPECT_EQ(CornerPixel(image, GetParam().stored_top_left), 1);
    EXPECT_EQ(CornerPixel(image, GetParam().stored_top_right), 3);
}

INSTANTIATE_TEST_SUITE_P(AllEight, ApplyOrientationTest,
                         testing::Values(TurnCase{1, TopLeft, TopRight}, TurnCase{2, TopRight, TopLeft},
                                         TurnCase{3, BottomRight, BottomLeft},
                                         TurnCase{4, BottomLeft, BottomRight},
                                         TurnCase{5, TopLeft, BottomLeft}, TurnCase{6, TopRight, BottomRight},
                                         TurnCase{7, BottomRight, TopRight},
                                         TurnCase{8, BottomLeft, TopLeft}));

} // namespace

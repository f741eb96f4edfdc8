// SPDX-License-Identifier: GPL-3.0-or-later
// Reducing rows while they arrive: block averages, edge blocks, alpha weighting, and the factor
// that keeps the box covered.

#include "core/picture_limits.h"
#include "core/picture_loader.h"
#include "core/picture_reducer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using qlm::picture_limits::ReducedSide;
using qlm::picture_limits::ReductionFactor;

qlm::Image Reduce(int width, int height, int factor, const std::vector<std::uint8_t>& rgba) {
    qlm::Image out;
    qlm::PictureReducer reducer;
    EXPECT_TRUE(reducer.Start(width, height, factor, &out));
    for (int y = 0; y < height; ++y) {
        reducer.AddRow(rgba.data() + static_cast<std::size_t>(y) * width * 4);
    }
    return out;
}

TEST(PictureReducer, AveragesFullAndEdgeBlocks) {
    // 3 x 3 gray values 0..80 in steps of 10, reduced by 2: blocks of 4, 2, 2 and 1 pixels.
    std::vector<std::uint8_t> rgba;
    for (int i = 0; i < 9; ++i) {
        const auto v = static_cast<std::uint8_t>(i * 10);
        rgba.insert(rgba.end(), {v, v, v, 255});
    }
    const qlm::Image out = Reduce(3, 3, 2, rgba);
    ASSERT_EQ(out.width, 2);
    ASSERT_EQ(out.height, 2);
    const int expected[4] = {(0 + 10 + 30 + 40) / 4, (20 + 50) / 2, (60 + 70) / 2, 80};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(out.rgba[i * 4], expected[i]) << "pixel " << i;
        EXPECT_EQ(out.rgba[i * 4 + 3], 255) << "pixel " << i;
    }
}

TEST(PictureReducer, TransparentPixelsLendNoColour) {
    // An opaque blue pixel beside a transparent red one: blue at half alpha, no purple.
    const std::vector<std::uint8_t> rgba = {255, 0, 0, 0, 0, 0, 255, 255};
    const qlm::Image out = Reduce(2, 1, 2, rgba);
    ASSERT_EQ(out.rgba.size(), 4u);
    EXPECT_EQ(out.rgba[0], 0);
    EXPECT_EQ(out.rgba[2], 255);
    EXPECT_EQ(out.rgba[3], 128);
}

// The preview's drawn size for a box: the longer side min(side, box), the other in proportion.
int Drawn(int side, int longer, int box) {
    return longer <= box ? side : static_cast<int>(std::nearbyint(double(side) * box / longer));
}

struct FactorCase {
    int width, height, box, factor;
};

class ReductionFactorTest : public testing::TestWithParam<FactorCase> {};

TEST_P(ReductionFactorTest, IsLargestThatStillCoversTheBox) {
    const FactorCase& c = GetParam();
    const int factor = ReductionFactor(c.width, c.height, c.box);
    EXPECT_EQ(factor, c.factor);
    const int longer = std::max(c.width, c.height);
    if (c.box > 0) {
        EXPECT_GE(ReducedSide(c.width, factor), Drawn(c.width, longer, c.box));
        EXPECT_GE(ReducedSide(c.height, factor), Drawn(c.height, longer, c.box));
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReductionFactorTest,
                         testing::Values(FactorCase{4000, 3000, 273, 14}, FactorCase{3000, 4000, 273, 14},
                                         FactorCase{547, 3, 273, 2}, FactorCase{274, 274, 273, 1},
                                         FactorCase{100000, 2, 273, 366}, FactorCase{4000, 3000, 0, 1},
                                         FactorCase{4000, 3000, 1, 4000}));

} // namespace

namespace {

// A row given as a span, and transparent rows given as a count, reduce exactly as full rows do.
TEST(PictureReducer, SpansAndTransparentRowsGiveWhatFullRowsGive) {
    const int width = 23, height = 17, factor = 4;
    const int first = 5, last = 14, top = 6, bottom = 11;
    std::vector<std::uint8_t> full(static_cast<std::size_t>(width) * height * 4, 0);
    for (int y = top; y < bottom; ++y)
        for (int x = first; x < last; ++x)
            for (int c = 0; c < 4; ++c)
                full[(static_cast<std::size_t>(y) * width + x) * 4 + c] =
                    static_cast<std::uint8_t>(x * 7 + y * 3 + c * 50);
    const qlm::Image expected = Reduce(width, height, factor, full);

    qlm::Image out;
    qlm::PictureReducer reducer;
    ASSERT_TRUE(reducer.Start(width, height, factor, &out));
    reducer.AddTransparentRows(top);
    for (int y = top; y < bottom; ++y)
        reducer.AddRow(full.data() + static_cast<std::size_t>(y) * width * 4, first, last);
    reducer.AddTransparentRows(height - bottom + 5); // more than are left: the rest is ignored
    EXPECT_EQ(out.width, expected.width);
    EXPECT_EQ(out.height, expected.height);
    EXPECT_EQ(out.rgba, expected.rgba);
}

// A GIF of a few bytes that declares a screen of 65532 x 2044 pixels around one pixel: decoded at
// the right size, the pixel where the frame puts it, the rest transparent. (Its cost, the frame's
// rather than the screen's, is measured in bench/decode_bench.)
TEST(PictureReducer, GifWithAVastScreenAroundATinyFrame) {
    const std::vector<std::uint8_t> gif = {
        'G',  'I',  'F',  '8',  '9',  'a',  0xFC, 0xFF, 0xFC, 0x07,
        0x80, 0x00, 0x00,                                           // 65532 x 2044, 2 colours
        0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF,                         // red, blue
        0x2C, 0x10, 0x27, 0xE8, 0x03, 0x01, 0x00, 0x01, 0x00, 0x00, // 1 x 1 at 10000, 1000
        0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};                        // index 0, end
    const std::string path = ::testing::TempDir() + "/screen_bomb.gif";
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(gif.data(), 1, gif.size(), file);
        std::fclose(file);
    }
    const qlm::Picture picture = qlm::LoadPicture(path, 273);
    std::remove(path.c_str());
    ASSERT_TRUE(picture.opened);
    EXPECT_EQ(picture.width, 65532);
    EXPECT_EQ(picture.height, 2044);
    const int factor = ReductionFactor(65532, 2044, 273);
    ASSERT_GT(factor, 1);
    const qlm::Image& image = picture.image;
    // One red pixel in a block of factor x factor: the block is red, though almost transparent.
    int coloured = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.rgba.data() + (static_cast<std::size_t>(y) * image.width + x) * 4;
            if (p[0] == 0 && p[1] == 0 && p[2] == 0)
                continue;
            ++coloured;
            EXPECT_EQ(x, 10000 / factor);
            EXPECT_EQ(y, 1000 / factor);
            EXPECT_EQ(p[0], 255);
        }
    EXPECT_EQ(coloured, 1);
}

} // namespace

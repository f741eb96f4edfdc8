// Reducing rows while they arrive: block averages, edge blocks, alpha weighting, and the factor
// that keeps the box covered.

#include "core/picture_limits.h"
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

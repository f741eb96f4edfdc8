// The pixels LoadPicture gives: colours, transparency, de-interlacing, reduction for a box, and
// pictures turned upright by their Exif orientation.

#include "core/picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <stdlib.h>

namespace {

namespace fs = std::filesystem;

const fs::path kPictures = fs::path(QLM_TEST_DATA_DIR) / "pictures";

struct Rgba {
    int r, g, b, a;
};
const Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255},
    kClear{0, 0, 0, 0};

Rgba PixelAt(const qlm::Image& image, int x, int y) {
    const std::uint8_t* p = image.rgba.data() + (static_cast<std::size_t>(y) * image.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// Compares colours within `tolerance`; a fully transparent pixel matches any transparent one.
testing::AssertionResult Near(const Rgba& actual, const Rgba& expected, int tolerance) {
    if (expected.a == 0 && actual.a == 0) {
        return testing::AssertionSuccess();
    }
    const bool near =
        std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
        std::abs(actual.b - expected.b) <= tolerance && std::abs(actual.a - expected.a) <= tolerance;
    if (near) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << "got " << actual.r << "," << actual.g << "," << actual.b << "," << actual.a << " want "
           << expected.r << "," << expected.g << "," << expected.b << "," << expected.a;
}

// The colour at the centre of each quadrant: top left, top right, bottom left, bottom right.
void ExpectQuadrants(const qlm::Image& image, const Rgba (&colours)[4], int tolerance) {
    const int xs[2] = {image.width / 4, image.width * 3 / 4};
    const int ys[2] = {image.height / 4, image.height * 3 / 4};
    for (int q = 0; q < 4; ++q) {
        EXPECT_TRUE(Near(PixelAt(image, xs[q % 2], ys[q / 2]), colours[q], tolerance)) << "quadrant " << q;
    }
}

// The preview draws the longer side at min(side, box); the decoded image must cover that.
void ExpectCoversBox(const qlm::Picture& picture, int box) {
    const int longer = std::max(picture.width, picture.height);
    auto drawn = [&](int side) {
        return longer <= box ? side : static_cast<int>(std::nearbyint(double(side) * box / longer));
    };
    EXPECT_GE(picture.image.width, drawn(picture.width));
    EXPECT_GE(picture.image.height, drawn(picture.height));
    EXPECT_LE(picture.image.width, picture.width);
    EXPECT_LE(picture.image.height, picture.height);
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
    if (c.box > 0) {
        ExpectCoversBox(picture, c.box);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Quadrants,
                         testing::Values(QuadrantCase{"quadrants.png", 0, 64, kClear, 0},
                                         QuadrantCase{"quadrants.png", 16, 16, kClear, 0},
                                         QuadrantCase{"quadrants.png", 30, 32, kClear, 0},
                                         QuadrantCase{"quadrants.gif", 0, 64, kClear, 0},
                                         QuadrantCase{"quadrants.gif", 16, 16, kClear, 0},
                                         QuadrantCase{"quadrants.jpg", 0, 64, kWhite, 8},
                                         QuadrantCase{"quadrants.jpg", 16, 16, kWhite, 8},
                                         QuadrantCase{"quadrants.jpg", 1, 8, kWhite, 8},
                                         QuadrantCase{"quadrants_progressive.jpg", 0, 64, kWhite, 8},
                                         QuadrantCase{"quadrants_progressive.jpg", 30, 32, kWhite, 8},
                                         QuadrantCase{"quadrants.jpg", 273, 64, kWhite, 8}));

TEST(PictureColours, AdobeCmykJpegBecomesRgb) {
    const qlm::Picture picture = qlm::LoadPicture((kPictures / "cmyk_adobe.jpg").string(), 0);
    ASSERT_EQ(picture.image.width, 16);
    ExpectQuadrants(picture.image, {kRed, kGreen, kBlue, kWhite}, 12);
}

TEST(PictureColours, GrayJpegBecomesOpaqueGrayRgba) {
    const qlm::Picture picture = qlm::LoadPicture((kPictures / "quadrants_gray.jpg").string(), 0);
    ASSERT_EQ(picture.image.width, 64);
    // Luma of red, green, blue and white.
    const Rgba gray[4] = {{76, 76, 76, 255}, {150, 150, 150, 255}, {29, 29, 29, 255}, kWhite};
    ExpectQuadrants(picture.image, gray, 4);
}

TEST(PictureColours, GifFrameTableWinsAndFramePartsOffScreenAreCut) {
    qlm::Picture picture = qlm::LoadPicture((kPictures / "gif_local_colormap.gif").string(), 0);
    ASSERT_EQ(picture.image.width, 4);
    EXPECT_TRUE(Near(PixelAt(picture.image, 3, 3), kRed, 0));

    // A 4 x 4 frame at (2, 2) on a 4 x 4 screen: the screen shows its top left quarter.
    picture = qlm::LoadPicture((kPictures / "gif_frame_outside.gif").string(), 0);
    ASSERT_EQ(picture.width, 4);
    ASSERT_EQ(picture.image.height, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_TRUE(Near(PixelAt(picture.image, x, y), x >= 2 && y >= 2 ? kRed : kClear, 0))
                << x << "," << y;
        }
    }
}

struct CheckerCase {
    const char* file;
};

class Checkerboard : public testing::TestWithParam<CheckerCase> {};

// A 256 x 256 board of single black and white pixels: every pixel in place when decoded whole
// (interlaced files included), an even gray when reduced.
TEST_P(Checkerboard, DecodesExactlyAndReducesToGray) {
    const std::string path = (kPictures / GetParam().file).string();
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
                         testing::Values(CheckerCase{"checker.png"}, CheckerCase{"checker_interlaced.png"},
                                         CheckerCase{"checker.gif"}, CheckerCase{"checker_interlaced.gif"}));

// --- Exif orientation -------------------------------------------------------------------------

std::vector<char> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// quadrants.jpg with an APP1 Exif segment right after its start marker, optionally behind an
// APP1 segment of another kind (as XMP writes one).
std::vector<char> WithOrientation(int orientation, bool little, bool other_app1_first = false) {
    std::vector<char> tiff;
    auto put16 = [&](unsigned v) {
        tiff.push_back(static_cast<char>(little ? v & 0xff : v >> 8));
        tiff.push_back(static_cast<char>(little ? v >> 8 : v & 0xff));
    };
    auto put32 = [&](unsigned v) {
        put16(little ? v & 0xffff : v >> 16);
        put16(little ? v >> 16 : v & 0xffff);
    };
    tiff = {'E', 'x', 'i', 'f', 0, 0, little ? 'I' : 'M', little ? 'I' : 'M'};
    put16(42);
    put32(8);
    put16(1);
    put16(0x0112);
    put16(3);
    put32(1);
    put16(static_cast<unsigned>(orientation));
    put16(0);
    put32(0);
    const std::vector<char> jpeg = ReadBytes(kPictures / "quadrants.jpg");
    std::vector<char> out(jpeg.begin(), jpeg.begin() + 2);
    if (other_app1_first) {
        const std::string xmp = "http://ns.adobe.com/xap/1.0/";
        out.insert(out.end(), {'\xff', '\xe1', 0, static_cast<char>(xmp.size() + 3)});
        out.insert(out.end(), xmp.begin(), xmp.end());
        out.push_back(0);
    }
    const std::size_t length = tiff.size() + 2;
    out.insert(out.end(), {'\xff', '\xe1', static_cast<char>(length >> 8), static_cast<char>(length & 0xff)});
    out.insert(out.end(), tiff.begin(), tiff.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

enum Quadrant { TL, TR, BL, BR };

struct OrientationCase {
    int orientation;
    Quadrant red;   // where the stored top left quadrant appears upright
    Quadrant green; // where the stored top right quadrant appears upright
};

class ExifOrientationJpeg : public testing::TestWithParam<OrientationCase> {};

TEST_P(ExifOrientationJpeg, PixelsUprightAndSidesSwappedForFiveToEight) {
    const OrientationCase& c = GetParam();
    std::string pattern = (fs::temp_directory_path() / "qlm_exif_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    for (const bool little : {true, false}) {
        for (const int box : {0, 16}) {
            const fs::path file = dir / "gedreht.jpg";
            const std::vector<char> bytes = WithOrientation(c.orientation, little, box == 16);
            std::ofstream(file, std::ios::binary)
                .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            const qlm::Picture picture = qlm::LoadPicture(file.string(), box);
            const bool swapped = c.orientation >= 5;
            EXPECT_EQ(picture.width, swapped ? 48 : 64);
            EXPECT_EQ(picture.height, swapped ? 64 : 48);
            EXPECT_EQ(picture.image.width > picture.image.height, !swapped);
            // Turning and mirroring keep opposite corners opposite.
            auto opposite = [](Quadrant q) { return static_cast<Quadrant>(3 - q); };
            Rgba expected[4];
            expected[c.red] = kRed;
            expected[c.green] = kGreen;
            expected[opposite(c.green)] = kBlue;
            expected[opposite(c.red)] = kWhite;
            SCOPED_TRACE(testing::Message() << "little endian " << little << ", box " << box);
            ExpectQuadrants(picture.image, expected, 8);
        }
    }
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(AllEight, ExifOrientationJpeg,
                         testing::Values(OrientationCase{1, TL, TR}, OrientationCase{2, TR, TL},
                                         OrientationCase{3, BR, BL}, OrientationCase{4, BL, BR},
                                         OrientationCase{5, TL, BL}, OrientationCase{6, TR, BR},
                                         OrientationCase{7, BR, TR}, OrientationCase{8, BL, TL}));

TEST(ExifOrientationFiles, RotatedByCameraShowUpright) {
    const qlm::Picture six = qlm::LoadPicture((kPictures / "exif_orientation_6.jpg").string(), 0);
    EXPECT_EQ(six.width, 48);
    EXPECT_EQ(six.height, 64);
    ExpectQuadrants(six.image, {kBlue, kRed, kWhite, kGreen}, 8);
    const qlm::Picture three = qlm::LoadPicture((kPictures / "exif_orientation_3.jpg").string(), 0);
    EXPECT_EQ(three.width, 64);
    EXPECT_EQ(three.height, 48);
    ExpectQuadrants(three.image, {kWhite, kBlue, kGreen, kRed}, 8);
}

} // namespace

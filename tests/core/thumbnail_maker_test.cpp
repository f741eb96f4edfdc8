// SPDX-License-Identifier: GPL-3.0-or-later
// The thumbnails made on request: their names, sizes, formats and colours over the picture test
// corpus, upright pictures, never replacing a thumbnail, damaged pictures reported and skipped,
// and the scaler and encoders under them.

#include "core/gif_encoder.h"
#include "core/jpeg_encoder.h"
#include "core/picture_loader.h"
#include "core/picture_scaler.h"
#include "core/thumbnail_maker.h"
#include "tests/support/pixels.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qlm::ThumbnailOutcome;
using qlm::test::TempFolder;

const fs::path kPictures = fs::path(QLM_TEST_DATA_DIR) / "pictures";

// Colours, pixels and their comparison.
using namespace qlm::test;

// The colour at the centre of each quadrant: top left, top right, bottom left, bottom right.
void ExpectQuadrants(const qlm::Image& image, const std::vector<Rgba>& colours, int tolerance) {
    const int xs[2] = {image.width / 4, image.width * 3 / 4};
    const int ys[2] = {image.height / 4, image.height * 3 / 4};
    for (int q = 0; q < 4; ++q)
        EXPECT_TRUE(Near(PixelAt(image, xs[q % 2], ys[q / 2]), colours[q], tolerance)) << "quadrant " << q;
}

class ThumbnailTest : public testing::Test {
  protected:
    // Copies a corpus picture into the test's folder under `name`.
    void Copy(const std::string& corpus_name, const std::string& name = "") {
        fs::copy_file(kPictures / corpus_name, folder / (name.empty() ? corpus_name : name));
    }
    TempFolder folder;
};

// --- Thumbnails of good pictures ---------------------------------------------------------------

struct MadeCase {
    const char* picture;
    bool thumbs_jpg;
    int size;
    const char* thumbnail;
    int width, height;         // of the thumbnail
    std::vector<Rgba> colours; // quadrant colours of the thumbnail as decoded again
    int tolerance;
};

class MadeThumbnail : public ThumbnailTest, public testing::WithParamInterface<MadeCase> {};

TEST_P(MadeThumbnail, HasTheNameSizeFormatAndColoursTheRunNeeds) {
    const MadeCase& c = GetParam();
    Copy(c.picture);
    const qlm::ThumbnailResult result = qlm::MakeThumbnail(folder.Path(), c.picture, c.thumbs_jpg, c.size);
    ASSERT_EQ(result.outcome, ThumbnailOutcome::Made) << result.message;
    EXPECT_EQ(result.thumbnail, c.thumbnail);
    EXPECT_EQ(result.width, c.width);
    EXPECT_EQ(result.height, c.height);
    // Only the picture and its thumbnail: no temporary file stays behind.
    EXPECT_EQ(folder.Listing(), std::string(c.picture) + "|" + c.thumbnail);

    const qlm::Picture thumbnail = qlm::LoadPicture(folder / c.thumbnail, 0);
    ASSERT_TRUE(thumbnail.opened);
    EXPECT_EQ(thumbnail.width, c.width);
    EXPECT_EQ(thumbnail.height, c.height);
    ExpectQuadrants(thumbnail.image, c.colours, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, MadeThumbnail,
    testing::Values(
        MadeCase{"quadrants.jpg", false, 32, "t_quadrants.jpg", 32, 24, {kRed, kGreen, kBlue, kWhite}, 24},
        MadeCase{"quadrants.png", false, 32, "t_quadrants.png", 32, 24, {kRed, kGreen, kBlue, kClear}, 0},
        MadeCase{"quadrants.gif", false, 32, "t_quadrants.gif", 32, 24, {kRed, kGreen, kBlue, kClear}, 0},
        // With "all thumbs JPG" transparency is laid over white.
        MadeCase{"quadrants.png", true, 20, "t_quadrants.jpg", 20, 15, {kRed, kGreen, kBlue, kWhite}, 24},
        // Never enlarged.
        MadeCase{"quadrants.gif", false, 200, "t_quadrants.gif", 64, 48, {kRed, kGreen, kBlue, kClear}, 0},
        // Stored sideways: the thumbnail stands upright, the blue quadrant at the top left.
        MadeCase{"exif_orientation_6.jpg",
                 false,
                 32,
                 "t_exif_orientation_6.jpg",
                 24,
                 32,
                 {kBlue, kRed, kWhite, kGreen},
                 24},
        MadeCase{"exif_orientation_3.jpg",
                 true,
                 32,
                 "t_exif_orientation_3.jpg",
                 32,
                 24,
                 {kWhite, kBlue, kGreen, kRed},
                 24},
        MadeCase{"cmyk_adobe.jpg", false, 8, "t_cmyk_adobe.jpg", 8, 8, {kRed, kGreen, kBlue, kWhite}, 40}),
    [](const testing::TestParamInfo<MadeCase>& row) { return "Case" + std::to_string(row.index); });

TEST_F(ThumbnailTest, FinePatternsBecomeTheirAverageNotMoire) {
    // Single black and white pixels: a thumbnail shows gray, not stripes.
    Copy("checker_interlaced.png");
    Copy("checker.gif");
    for (const char* name : {"checker_interlaced.png", "checker.gif"}) {
        const qlm::ThumbnailResult result = qlm::MakeThumbnail(folder.Path(), name, false, 50);
        ASSERT_EQ(result.outcome, ThumbnailOutcome::Made) << result.message;
        const qlm::Picture thumbnail = qlm::LoadPicture(folder / result.thumbnail, 0);
        ASSERT_EQ(thumbnail.width, 50);
        for (int y = 0; y < 50; y += 7)
            for (int x = 0; x < 50; x += 7)
                ASSERT_TRUE(Near(PixelAt(thumbnail.image, x, y), {128, 128, 128, 255}, 12))
                    << name << " at " << x << "," << y;
    }
}

// --- What is left alone --------------------------------------------------------------------------

TEST_F(ThumbnailTest, AnExistingThumbnailIsNeverReplaced) {
    Copy("quadrants.jpg");
    folder.Put("t_quadrants.jpg", "not even a picture");
    const qlm::ThumbnailResult result = qlm::MakeThumbnail(folder.Path(), "quadrants.jpg", false, 32);
    EXPECT_EQ(result.outcome, ThumbnailOutcome::Existing);
    EXPECT_EQ(folder.Get("t_quadrants.jpg"), "not even a picture");
    EXPECT_EQ(folder.Listing(), "quadrants.jpg|t_quadrants.jpg");
}

TEST_F(ThumbnailTest, DamagedAndMissingPicturesAreReportedAndSkipped) {
    for (const char* name :
         {"truncated_header.jpg", "png_truncated.png", "gif_truncated.gif", "zero_length.jpg"})
        Copy(name);
    for (const char* name :
         {"truncated_header.jpg", "png_truncated.png", "gif_truncated.gif", "zero_length.jpg"}) {
        const qlm::ThumbnailResult result = qlm::MakeThumbnail(folder.Path(), name, false, 32);
        EXPECT_EQ(result.outcome, ThumbnailOutcome::Damaged) << name;
        EXPECT_FALSE(result.message.empty()) << name;
    }
    EXPECT_EQ(qlm::MakeThumbnail(folder.Path(), "gone.jpg", false, 32).outcome,
              ThumbnailOutcome::PictureMissing);
    EXPECT_EQ(folder.Listing(), "gif_truncated.gif|png_truncated.png|truncated_header.jpg|zero_length.jpg");
}

TEST_F(ThumbnailTest, AFolderThatCannotBeWrittenIsReported) {
    Copy("quadrants.png");
    // Readable for everyone, writable for no one but root; as root the test runs as "nobody".
    fs::permissions(folder.Root(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(folder / "quadrants.png",
                    fs::perms::owner_read | fs::perms::others_read | fs::perms::group_read);
    fs::permissions(folder.Root(), fs::perms::owner_write, fs::perm_options::remove);
    const auto attempt = [&] {
        const qlm::ThumbnailResult result = qlm::MakeThumbnail(folder.Path(), "quadrants.png", false, 32);
        return result.outcome == ThumbnailOutcome::Unwritten && !result.message.empty() ? 0 : 1;
    };
    EXPECT_EQ(::geteuid() == 0 ? qlm::test::RunAsNobody(attempt) : attempt(), 0);
    EXPECT_EQ(folder.Listing(), "quadrants.png");
}

// --- Many at a time -------------------------------------------------------------------------------

TEST_F(ThumbnailTest, ManyPicturesOnSeveralThreadsEachReportedOnceInTheirOrder) {
    const std::vector<std::string> pictures = {"a.jpg", "b.png", "b.gif", "c.jpg", "broken.jpg", "d.gif"};
    Copy("quadrants.jpg", "a.jpg");
    Copy("quadrants.png", "b.png");
    Copy("quadrants.gif", "b.gif");
    Copy("quadrants.jpg", "c.jpg");
    Copy("truncated_header.jpg", "broken.jpg");
    Copy("quadrants.gif", "d.gif");
    folder.Put("t_c.jpg", "kept");
    std::vector<std::string> reported;
    const std::vector<qlm::ThumbnailResult> results = qlm::MakeMissingThumbnails(
        folder.Path(), pictures, true, 16,
        [&](const qlm::ThumbnailResult& r) { reported.push_back(r.picture); }, 2);
    ASSERT_EQ(results.size(), pictures.size());
    std::vector<ThumbnailOutcome> outcomes;
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_EQ(results[i].picture, pictures[i]);
        outcomes.push_back(results[i].outcome);
    }
    // "b.png" and "b.gif" share "t_b.jpg": the first makes it.
    EXPECT_EQ(outcomes, (std::vector<ThumbnailOutcome>{ThumbnailOutcome::Made, ThumbnailOutcome::Made,
                                                       ThumbnailOutcome::Existing, ThumbnailOutcome::Existing,
                                                       ThumbnailOutcome::Damaged, ThumbnailOutcome::Made}));
    std::sort(reported.begin(), reported.end());
    std::vector<std::string> sorted = pictures;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(reported, sorted);
    EXPECT_EQ(folder.Get("t_c.jpg"), "kept");
    EXPECT_EQ(folder.Listing(), "a.jpg|b.gif|b.png|broken.jpg|c.jpg|d.gif|t_a.jpg|t_b.jpg|t_c.jpg|t_d.jpg");
}

// --- Scaling and encoding --------------------------------------------------------------------------

struct SizeCase {
    int width, height, longer, want_width, want_height;
};
class ThumbnailSizes : public testing::TestWithParam<SizeCase> {};

TEST_P(ThumbnailSizes, LongerSideBecomesTheSizeOthersKeepTheirProportion) {
    const SizeCase& c = GetParam();
    const qlm::ScaledSize size = qlm::ThumbnailSize(c.width, c.height, c.longer);
    EXPECT_EQ(size.width, c.want_width);
    EXPECT_EQ(size.height, c.want_height);
}

INSTANTIATE_TEST_SUITE_P(Table, ThumbnailSizes,
                         testing::Values(SizeCase{4000, 3000, 200, 200, 150},
                                         SizeCase{3000, 4000, 200, 150, 200}, SizeCase{100, 50, 200, 100, 50},
                                         SizeCase{10000, 10, 200, 200, 1}, SizeCase{333, 333, 200, 200, 200},
                                         SizeCase{201, 100, 200, 200, 100}));

TEST(ScaleImage, TransparentPixelsLendNoColour) {
    qlm::Image source;
    source.width = 2;
    source.height = 2;
    source.rgba = {255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const qlm::Image scaled = qlm::ScaleImage(source, 1, 1);
    EXPECT_TRUE(Near(PixelAt(scaled, 0, 0), {255, 0, 0, 64}, 1));
}

TEST(ScaleImage, PartlyCoveredPixelsCountByTheirShare) {
    // Three columns into two: each target pixel is one whole source pixel and half the middle one.
    qlm::Image source;
    source.width = 3;
    source.height = 1;
    source.rgba = {0, 0, 0, 255, 90, 90, 90, 255, 240, 240, 240, 255};
    const qlm::Image scaled = qlm::ScaleImage(source, 2, 1);
    EXPECT_TRUE(Near(PixelAt(scaled, 0, 0), {30, 30, 30, 255}, 1));
    EXPECT_TRUE(Near(PixelAt(scaled, 1, 0), {190, 190, 190, 255}, 1));
}

TEST(EncodeGif, ManyColoursAreReducedCloselyAndFewKeptExactly) {
    TempFolder folder;
    qlm::Image gradient;
    gradient.width = gradient.height = 64;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            gradient.rgba.insert(gradient.rgba.end(),
                                 {static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4), 128,
                                  static_cast<std::uint8_t>(x == 0 ? 0 : 255)});
    folder.Put("g.gif", qlm::EncodeGif(gradient));
    const qlm::Picture back = qlm::LoadPicture(folder / "g.gif", 0);
    ASSERT_EQ(back.width, 64);
    for (int y = 0; y < 64; y += 9)
        for (int x = 0; x < 64; x += 9)
            ASSERT_TRUE(Near(PixelAt(back.image, x, y), PixelAt(gradient, x, y), 32)) << x << "," << y;

    qlm::Image few;
    few.width = 2;
    few.height = 1;
    few.rgba = {1, 2, 3, 255, 250, 251, 252, 255};
    folder.Put("f.gif", qlm::EncodeGif(few));
    const qlm::Picture exact = qlm::LoadPicture(folder / "f.gif", 0);
    EXPECT_TRUE(Near(PixelAt(exact.image, 0, 0), {1, 2, 3, 255}, 0));
    EXPECT_TRUE(Near(PixelAt(exact.image, 1, 0), {250, 251, 252, 255}, 0));
}

// An opaque picture goes to libjpeg with its pixels as they are, one with transparent pixels is
// laid over white first. Where transparency leaves a white pixel white, both ways must give the
// same file, byte for byte.
TEST(EncodeJpeg, AnOpaquePictureGivesTheBytesOfItsColoursLaidOverWhite) {
    qlm::Image opaque;
    opaque.width = 37;
    opaque.height = 23;
    for (int y = 0; y < opaque.height; ++y)
        for (int x = 0; x < opaque.width; ++x)
            opaque.rgba.insert(opaque.rgba.end(),
                               {static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 11),
                                static_cast<std::uint8_t>((x * y) % 256), 255});
    for (int i = 0; i < 2; ++i)
        std::fill_n(opaque.rgba.begin() + i * 4, 3, std::uint8_t{255});
    qlm::Image transparent = opaque;
    transparent.rgba[3] = 254; // white, barely transparent: stays white
    transparent.rgba[4] = 10;  // any colour, wholly transparent: becomes white
    transparent.rgba[7] = 0;
    for (const bool progressive : {false, true})
        EXPECT_EQ(qlm::EncodeJpeg(opaque, 85, progressive), qlm::EncodeJpeg(transparent, 85, progressive))
            << (progressive ? "progressive" : "baseline");
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The web copies: which sizes a picture gets, their names, formats, orientation and colours,
// nothing of the picture's metadata in them, never replacing a file or writing on a rerun, and
// the thumbnails coming out the same however many threads make them.

#include "core/gallery_names.h"
#include "core/gif_encoder.h"
#include "core/name_correction.h"
#include "core/picture_loader.h"
#include "core/thumbnail_maker.h"
#include "core/web_copy_folder.h"
#include "core/web_copy_maker.h"
#include "tests/support/pixels.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qlm::WebCopyOutcome;
using qlm::test::TempFolder;
using namespace qlm::test;

const fs::path kPictures = fs::path(QLM_TEST_DATA_DIR) / "pictures";

class WebCopyTest : public testing::Test {
  protected:
    void Copy(const std::string& corpus_name, const std::string& name = "") {
        fs::copy_file(kPictures / corpus_name, folder / (name.empty() ? corpus_name : name));
    }
    qlm::WebCopyResult Make(const std::string& picture, const std::vector<int>& sizes) {
        return qlm::MakeWebCopies(folder.Path(), picture, sizes);
    }
    // Every entry of the copies' folder, or "-" when there is none.
    std::string Copies() const {
        std::string joined;
        std::error_code error;
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder / "qlm-web", error))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        for (const std::string& name : names)
            joined += (joined.empty() ? "" : "|") + name;
        return error ? "-" : joined;
    }
    TempFolder folder;
};

// The markers of a JPEG file up to its first scan, e.g. "D8 E0 DB C2 C4 DA".
std::string JpegMarkers(const std::string& bytes) {
    std::string markers;
    std::size_t at = 0;
    char hex[4];
    while (at + 4 <= bytes.size() && static_cast<unsigned char>(bytes[at]) == 0xFF) {
        const unsigned marker = static_cast<unsigned char>(bytes[at + 1]);
        std::snprintf(hex, sizeof hex, "%02X", marker);
        markers += (markers.empty() ? "" : " ") + std::string(hex);
        if (marker == 0xD8) {
            at += 2;
            continue;
        }
        if (marker == 0xDA)
            break;
        at +=
            2 + (static_cast<unsigned char>(bytes[at + 2]) << 8 | static_cast<unsigned char>(bytes[at + 3]));
    }
    return markers;
}

// The chunk types of a PNG file, e.g. "IHDR IDAT IEND".
std::string PngChunks(const std::string& bytes) {
    std::string chunks;
    for (std::size_t at = 8; at + 8 <= bytes.size();) {
        const std::size_t length = static_cast<std::size_t>(
            static_cast<unsigned char>(bytes[at]) << 24 | static_cast<unsigned char>(bytes[at + 1]) << 16 |
            static_cast<unsigned char>(bytes[at + 2]) << 8 | static_cast<unsigned char>(bytes[at + 3]));
        chunks += (chunks.empty() ? "" : " ") + bytes.substr(at + 4, 4);
        at += 12 + length;
    }
    return chunks;
}

// The big-endian CRC of a PNG chunk over its type and data.
std::string Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xFFFFFFFFu;
    return {static_cast<char>(crc >> 24), static_cast<char>(crc >> 16), static_cast<char>(crc >> 8),
            static_cast<char>(crc)};
}

std::string Segment(unsigned marker, const std::string& body) {
    const std::size_t length = body.size() + 2;
    return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8),
                       static_cast<char>(length & 0xFF)} +
           body;
}

// An Exif segment (big-endian TIFF) with the author in IFD0 and a GPS IFD holding a latitude.
std::string ExifWithGpsAndArtist() {
    using namespace std::string_literals;
    std::string tiff = "MM\x00\x2A\x00\x00\x00\x08"s;
    // IFD0 at 8: two entries, Artist (ASCII, 12 bytes at 38) and the GPS IFD pointer (to 50).
    tiff += "\x00\x02"s;
    tiff += "\x01\x3B\x00\x02\x00\x00\x00\x0C\x00\x00\x00\x26"s;
    tiff += "\x88\x25\x00\x04\x00\x00\x00\x01\x00\x00\x00\x32"s;
    tiff += "\x00\x00\x00\x00"s;
    tiff += "Jane Camera\x00"s; // at 38
    // GPS IFD at 50: GPSLatitudeRef "N".
    tiff += "\x00\x01"s;
    tiff += "\x00\x01\x00\x02\x00\x00\x00\x02N\x00\x00\x00"s;
    tiff += "\x00\x00\x00\x00"s;
    return "Exif\x00\x00"s + tiff;
}

// A baseline grey JPEG of `width` x `height` (multiples of 8) whose every block is flat grey, with
// a colour profile: Huffman tables of one code each make every block two zero bits, so a picture of
// 120 megapixels takes half a megabyte of file.
std::string FlatGreyJpeg(int width, int height, const std::string& profile) {
    using namespace std::string_literals;
    const auto two = [](int value) {
        return std::string{static_cast<char>(value >> 8), static_cast<char>(value)};
    };
    const std::string one_code = "\x01"s + std::string(15, '\0') + "\x00"s; // one code of one bit: symbol 0
    const std::size_t blocks = static_cast<std::size_t>(width / 8) * static_cast<std::size_t>(height / 8);
    return "\xFF\xD8"s + Segment(0xE2, "ICC_PROFILE\x00\x01\x01"s + profile) +
           Segment(0xDB, "\x00"s + std::string(64, '\x01')) +
           Segment(0xC0, "\x08"s + two(height) + two(width) + "\x01\x01\x11\x00"s) +
           Segment(0xC4, "\x00"s + one_code) + Segment(0xC4, "\x10"s + one_code) +
           Segment(0xDA, "\x01\x01\x00\x00\x3F\x00"s) + std::string((blocks * 2 + 7) / 8, '\0') + "\xFF\xD9"s;
}

// --- Which sizes ---------------------------------------------------------------------------------

TEST(WebCopySizes, OnlySizesBelowTheLongerSideEachOnceLargestFirst) {
    const std::vector<int> defaults = qlm::kDefaultWebSizes;
    EXPECT_EQ(qlm::WebCopySizesFor(4000, 3000, defaults), (std::vector<int>{1600, 800}));
    EXPECT_EQ(qlm::WebCopySizesFor(3000, 4000, defaults), (std::vector<int>{1600, 800}));
    EXPECT_EQ(qlm::WebCopySizesFor(1600, 1200, defaults), (std::vector<int>{800}));
    EXPECT_EQ(qlm::WebCopySizesFor(1200, 1601, defaults), (std::vector<int>{1600, 800}));
    EXPECT_EQ(qlm::WebCopySizesFor(800, 600, defaults), (std::vector<int>{}));
    EXPECT_EQ(qlm::WebCopySizesFor(640, 480, defaults), (std::vector<int>{}));
    EXPECT_EQ(qlm::WebCopySizesFor(2000, 100, {400, 1200, 400, 0, -5}), (std::vector<int>{1200, 400}));
}

// --- Copies of good pictures ---------------------------------------------------------------------

struct CopyCase {
    const char* picture;
    std::vector<std::string> copies; // in the copies' folder
    int width, height;               // of the larger copy (32)
    std::vector<Rgba> colours;       // its quadrants, as decoded again
};
class MadeCopies : public WebCopyTest, public testing::WithParamInterface<CopyCase> {};

TEST_P(MadeCopies, HaveTheNamesSizesFormatAndUprightColoursThePagesNeed) {
    const CopyCase& c = GetParam();
    Copy(c.picture);
    const std::string original = folder.Get(c.picture);
    const qlm::WebCopyResult result = Make(c.picture, {32, 16, 64});
    ASSERT_EQ(result.outcome, WebCopyOutcome::Made) << result.message;
    EXPECT_EQ(result.made.size(), 2u);
    EXPECT_EQ(Copies(), c.copies[0] + "|" + c.copies[1]);
    EXPECT_EQ(folder.Get(c.picture), original);

    const qlm::Picture large = qlm::LoadPicture(folder / ("qlm-web/" + c.copies[1]), 0);
    ASSERT_TRUE(large.opened);
    EXPECT_EQ(large.width, c.width);
    EXPECT_EQ(large.height, c.height);
    const int xs[2] = {c.width / 4, c.width * 3 / 4};
    const int ys[2] = {c.height / 4, c.height * 3 / 4};
    for (int q = 0; q < 4; ++q)
        EXPECT_TRUE(Near(PixelAt(large.image, xs[q % 2], ys[q / 2]), c.colours[q], 24)) << "quadrant " << q;
    const qlm::Picture small = qlm::LoadPicture(folder / ("qlm-web/" + c.copies[0]), 0);
    EXPECT_EQ(std::max(small.width, small.height), 16);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, MadeCopies,
    testing::Values(
        CopyCase{
            "quadrants.jpg", {"quadrants_16.jpg", "quadrants_32.jpg"}, 32, 24, {kRed, kGreen, kBlue, kWhite}},
        // PNG and GIF keep their transparent quadrant.
        CopyCase{
            "quadrants.png", {"quadrants_16.png", "quadrants_32.png"}, 32, 24, {kRed, kGreen, kBlue, kClear}},
        CopyCase{
            "quadrants.gif", {"quadrants_16.gif", "quadrants_32.gif"}, 32, 24, {kRed, kGreen, kBlue, kClear}},
        // Stored on its side with orientation 6: the copy is upright and needs no orientation.
        CopyCase{"exif_orientation_6.jpg",
                 {"exif_orientation_6_16.jpg", "exif_orientation_6_32.jpg"},
                 24,
                 32,
                 {kBlue, kRed, kWhite, kGreen}}),
    [](const testing::TestParamInfo<CopyCase>& row) { return "Case" + std::to_string(row.index); });

// --- Nothing but pixels ----------------------------------------------------------------------------

TEST_F(WebCopyTest, AJpegCopyIsProgressiveWithoutExifGpsXmpOrComment) {
    using namespace std::string_literals;
    const std::string plain = ReadFile((kPictures / "quadrants.jpg").string());
    const std::string tagged = plain.substr(0, 2) + Segment(0xE1, ExifWithGpsAndArtist()) +
                               Segment(0xE1, "http://ns.adobe.com/xap/1.0/\x00<x:xmpmeta/>"s) +
                               Segment(0xFE, "taken at home") + plain.substr(2);
    folder.Put("tagged.jpg", tagged);
    ASSERT_NE(JpegMarkers(tagged).find("E1 E1 FE"), std::string::npos);

    const qlm::WebCopyResult result = Make("tagged.jpg", {32});
    ASSERT_EQ(result.outcome, WebCopyOutcome::Made) << result.message;
    const std::string copy = folder.Get("qlm-web/tagged_32.jpg");
    // SOI, the JFIF header, quantisation tables, the progressive frame (C2), Huffman tables, a
    // scan: no application segment but JFIF (the picture has no colour profile), no comment.
    const std::string markers = JpegMarkers(copy);
    EXPECT_NE(markers.find(" C2 "), std::string::npos) << markers;
    for (std::size_t at = 0; at < markers.size(); at += 3)
        EXPECT_NE(std::string(" D8 E0 DB C2 C4 DA ").find(" " + markers.substr(at, 2) + " "),
                  std::string::npos)
            << markers;
    for (const char* trace : {"Exif", "Jane Camera", "xmpmeta", "taken at home"})
        EXPECT_EQ(copy.find(trace), std::string::npos) << trace;
    EXPECT_EQ(folder.Get("tagged.jpg"), tagged);
}

TEST_F(WebCopyTest, AJpegCopyKeepsTheColourProfileAndNothingElse) {
    using namespace std::string_literals;
    const std::string plain = ReadFile((kPictures / "quadrants.jpg").string());
    std::string profile(300, 'p');
    profile += "end of profile";
    // The profile in two chunks, behind an Exif segment.
    const std::string icc = "ICC_PROFILE\x00"s;
    folder.Put("wide.jpg", plain.substr(0, 2) + Segment(0xE1, ExifWithGpsAndArtist()) +
                               Segment(0xE2, icc + "\x01\x02" + profile.substr(0, 100)) +
                               Segment(0xE2, icc + "\x02\x02" + profile.substr(100)) + plain.substr(2));
    ASSERT_EQ(Make("wide.jpg", {32}).outcome, WebCopyOutcome::Made);
    const std::string copy = folder.Get("qlm-web/wide_32.jpg");
    EXPECT_NE(copy.find(icc + "\x01\x01" + profile), std::string::npos);
    EXPECT_EQ(copy.find("Jane Camera"), std::string::npos);

    // Chunks out of order are no profile.
    folder.Put("muddled.jpg", plain.substr(0, 2) + Segment(0xE2, icc + "\x02\x02" + profile.substr(100)) +
                                  Segment(0xE2, icc + "\x01\x02" + profile.substr(0, 100)) + plain.substr(2));
    ASSERT_EQ(Make("muddled.jpg", {32}).outcome, WebCopyOutcome::Made);
    EXPECT_EQ(folder.Get("qlm-web/muddled_32.jpg").find("ICC_PROFILE"), std::string::npos);
}

TEST_F(WebCopyTest, APngCopyHoldsNoTextChunks) {
    using namespace std::string_literals;
    const std::string plain = ReadFile((kPictures / "quadrants.png").string());
    // A tEXt chunk with the author after IHDR (8 + 25 bytes).
    const std::string text = "\x00\x00\x00\x0BtEXtAuthor\x00Jane"s;
    folder.Put("tagged.png", plain.substr(0, 33) + text + Crc32(text.substr(4)) + plain.substr(33));
    const qlm::WebCopyResult result = Make("tagged.png", {32});
    ASSERT_EQ(result.outcome, WebCopyOutcome::Made) << result.message;
    EXPECT_EQ(PngChunks(folder.Get("qlm-web/tagged_32.png")), "IHDR IDAT IEND");
}

// A picture whose full size would need more memory than a decoding may take is decoded at an
// eighth for its copies and thumbnail: neither its headers nor its colour profile are judged by
// the memory of its full size, which still refuses a decoding at full size.
TEST_F(WebCopyTest, ALargePictureDecodedAtAnEighthGetsItsCopiesAndThumbnail) {
    using namespace std::string_literals;
    const std::string profile = std::string(200, 'p') + "end of profile";
    folder.Put("huge.jpg", FlatGreyJpeg(12000, 10000, profile));
    try {
        qlm::LoadPicture(folder / "huge.jpg", 0);
        ADD_FAILURE() << "decoded at full size";
    } catch (const qlm::DecodeError& error) {
        EXPECT_NE(std::string(error.what()).find("458 MB"), std::string::npos) << error.what();
    }

    const qlm::WebCopyResult result = Make("huge.jpg", {800, 1600});
    ASSERT_EQ(result.outcome, WebCopyOutcome::Made) << result.message;
    EXPECT_EQ(Copies(), "huge_1600.jpg|huge_800.jpg");
    const qlm::Picture copy = qlm::LoadPicture(folder / "qlm-web/huge_1600.jpg", 0);
    EXPECT_EQ(copy.width, 1600);
    EXPECT_EQ(copy.height, 1333);
    EXPECT_TRUE(Near(PixelAt(copy.image, 800, 666), Rgba{128, 128, 128, 255}, 2));
    EXPECT_NE(folder.Get("qlm-web/huge_800.jpg").find("ICC_PROFILE\x00\x01\x01"s + profile),
              std::string::npos);

    const qlm::ThumbnailResult thumbnail = qlm::MakeThumbnail(folder.Path(), "huge.jpg", false, 400);
    EXPECT_EQ(thumbnail.outcome, qlm::ThumbnailOutcome::Made) << thumbnail.message;
    EXPECT_EQ(thumbnail.width, 400);
}

// --- What is left alone -----------------------------------------------------------------------------

TEST_F(WebCopyTest, ARerunWritesNothingAndAnExistingFileIsNeverReplaced) {
    Copy("quadrants.jpg");
    folder.MakeFolder("qlm-web");
    folder.Put("qlm-web/quadrants_32.jpg", "mine");
    const qlm::WebCopyResult first = Make("quadrants.jpg", {32, 16});
    ASSERT_EQ(first.outcome, WebCopyOutcome::Made) << first.message;
    EXPECT_EQ(first.made, (std::vector<std::string>{"qlm-web/quadrants_16.jpg"}));
    EXPECT_EQ(folder.Get("qlm-web/quadrants_32.jpg"), "mine");

    std::map<std::string, fs::file_time_type> times;
    for (const auto& entry : fs::recursive_directory_iterator(folder.Root()))
        times[entry.path().string()] = fs::last_write_time(entry.path());
    const qlm::WebCopyResult again = Make("quadrants.jpg", {32, 16});
    EXPECT_EQ(again.outcome, WebCopyOutcome::Existing);
    EXPECT_TRUE(again.made.empty());
    std::map<std::string, fs::file_time_type> after;
    for (const auto& entry : fs::recursive_directory_iterator(folder.Root()))
        after[entry.path().string()] = fs::last_write_time(entry.path());
    EXPECT_EQ(after, times);
    EXPECT_EQ(Copies(), "quadrants_16.jpg|quadrants_32.jpg");
}

TEST_F(WebCopyTest, SmallPicturesAndAnimationsGetNoCopy) {
    Copy("quadrants.jpg");
    EXPECT_EQ(Make("quadrants.jpg", {64, 800}).outcome, WebCopyOutcome::NotNeeded);

    // Two frames: the still GIF with its frame (from the graphics control on) repeated.
    const std::string still =
        qlm::EncodeGif(qlm::LoadPicture((kPictures / "quadrants.gif").string(), 0).image);
    const std::size_t frame = still.find("\x21\xF9");
    ASSERT_NE(frame, std::string::npos);
    folder.Put("moving.gif", still.substr(0, still.size() - 1) + still.substr(frame));
    folder.Put("still.gif", still);
    EXPECT_EQ(Make("moving.gif", {32}).outcome, WebCopyOutcome::Animated);
    EXPECT_EQ(Copies(), "-");
    EXPECT_EQ(Make("still.gif", {32}).outcome, WebCopyOutcome::Made);
    EXPECT_EQ(Copies(), "still_32.gif");
}

TEST_F(WebCopyTest, DamagedMissingAndUnwritableAreReported) {
    Copy("truncated_scan.jpg");
    Copy("truncated_header.jpg");
    Copy("quadrants.png");
    EXPECT_EQ(Make("truncated_header.jpg", {16}).outcome, WebCopyOutcome::Damaged);
    EXPECT_EQ(Make("gone.jpg", {16}).outcome, WebCopyOutcome::PictureMissing);
    // A file where the copies' folder belongs.
    folder.Put("qlm-web", "not a folder");
    const qlm::WebCopyResult result = Make("quadrants.png", {16});
    EXPECT_EQ(result.outcome, WebCopyOutcome::Unwritten);
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(folder.Get("qlm-web"), "not a folder");
}

// A link in place of the copies' folder, to a folder elsewhere: nothing is looked up, written or
// renamed through it, and every picture that needs copies says why.
TEST_F(WebCopyTest, ALinkInPlaceOfTheCopiesFolderIsNotFollowed) {
    TempFolder outside;
    Copy("quadrants.jpg");
    Copy("quadrants.png");
    folder.Put("a b.jpg", "picture");
    outside.Put("quadrants_16.jpg", "theirs");
    outside.Put("a b_800.jpg", "theirs");
    fs::create_directory_symlink(outside.Root(), folder / "qlm-web");
    const auto results =
        qlm::MakeMissingWebCopies(folder.Path(), {"quadrants.jpg", "quadrants.png"}, {16, 8}, nullptr);
    for (const qlm::WebCopyResult& result : results) {
        EXPECT_EQ(result.outcome, WebCopyOutcome::Unwritten) << result.picture;
        EXPECT_EQ(result.failed, "qlm-web");
        EXPECT_EQ(result.message, qlm::kWebCopyFolderRefused);
    }
    EXPECT_EQ(Make("quadrants.jpg", {16}).outcome, WebCopyOutcome::Unwritten);
    EXPECT_EQ(qlm::CorrectNames(folder.Path(), {"a b.jpg"}, false), 1);
    EXPECT_EQ(folder.Get("ab.jpg"), "picture");
    EXPECT_EQ(outside.Listing(true), "a b_800.jpg=theirs|quadrants_16.jpg=theirs");
    EXPECT_TRUE(fs::is_symlink(folder / "qlm-web"));
}

TEST_F(WebCopyTest, CorrectNamesTakesTheCopiesAlongEachAtItsSize) {
    folder.Put("a b.jpg", "picture");
    folder.MakeFolder("qlm-web");
    for (const char* name : {"a b_800.jpg", "a b_1600.jpg", "a b_800.png", "a bc_800.jpg", "ab_1600.jpg"})
        folder.Put(std::string("qlm-web/") + name, name);
    EXPECT_EQ(qlm::CorrectNames(folder.Path(), {"a b.jpg"}, false), 1);
    EXPECT_EQ(folder.Get("ab.jpg"), "picture");
    // The other picture's copies stay, and so does a copy whose new name is taken.
    EXPECT_EQ(Copies(), "a b_1600.jpg|a b_800.png|a bc_800.jpg|ab_1600.jpg|ab_800.jpg");
    EXPECT_EQ(folder.Get("qlm-web/ab_800.jpg"), "a b_800.jpg");
    EXPECT_EQ(folder.Get("qlm-web/ab_1600.jpg"), "ab_1600.jpg");
}

// --- Many at a time ----------------------------------------------------------------------------------

TEST_F(WebCopyTest, OneThreadAndSeveralMakeTheSameFilesReportedOnceEach) {
    const std::vector<std::string> pictures = {"a.jpg", "b.png", "c.gif", "broken.jpg", "d.jpg", "e.png"};
    TempFolder other;
    for (const TempFolder* place : {&folder, &other}) {
        for (const auto& [from, to] :
             std::map<std::string, std::string>{{"quadrants.jpg", "a.jpg"},
                                                {"quadrants.png", "b.png"},
                                                {"quadrants.gif", "c.gif"},
                                                {"truncated_header.jpg", "broken.jpg"},
                                                {"exif_orientation_6.jpg", "d.jpg"},
                                                {"checker.png", "e.png"}})
            fs::copy_file(kPictures / from, *place / to);
    }
    for (const auto& [place, threads] : {std::pair{&folder, 1}, std::pair{&other, 4}}) {
        std::vector<std::string> reported;
        const auto done = [&](const auto& r) { reported.push_back(r.picture); };
        const auto thumbnails = qlm::MakeMissingThumbnails(place->Path(), pictures, false, 16, done, threads);
        const auto copies = qlm::MakeMissingWebCopies(place->Path(), pictures, {20}, done, threads);
        ASSERT_EQ(thumbnails.size(), pictures.size());
        ASSERT_EQ(copies.size(), pictures.size());
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            EXPECT_EQ(thumbnails[i].picture, pictures[i]);
            EXPECT_EQ(copies[i].picture, pictures[i]);
        }
        EXPECT_EQ(copies[3].outcome, WebCopyOutcome::Damaged);
        std::sort(reported.begin(), reported.end());
        std::vector<std::string> twice = pictures;
        twice.insert(twice.end(), pictures.begin(), pictures.end());
        std::sort(twice.begin(), twice.end());
        EXPECT_EQ(reported, twice);
    }
    EXPECT_EQ(folder.Listing(), other.Listing());
    for (const char* thumbnail : {"t_a.jpg", "t_b.png", "t_c.gif", "t_d.jpg", "t_e.png"})
        EXPECT_EQ(folder.Get(thumbnail), other.Get(thumbnail)) << thumbnail;
    for (const char* copy : {"a_20.jpg", "b_20.png", "c_20.gif", "d_20.jpg", "e_20.png"})
        EXPECT_EQ(folder.Get(std::string("qlm-web/") + copy), other.Get(std::string("qlm-web/") + copy))
            << copy;
}

} // namespace

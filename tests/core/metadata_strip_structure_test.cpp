// SPDX-License-Identifier: GPL-3.0-or-later
// Stripping for publishing on pictures put together byte by byte: what goes over is checked
// against the bytes it must be, and every damaged or cut-off structure is refused with a
// DecodeError, never read past its end.

#include "core/metadata_strip.h"
#include "core/picture.h"
#include "core/picture_loader.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const fs::path kPictures = fs::path(QLM_TEST_DATA_DIR) / "pictures";

std::string Picture(const std::string& name) {
    return qlm::test::ReadFile(kPictures / name);
}

std::string JpegSegment(char marker, const std::string& payload) {
    const std::size_t length = payload.size() + 2;
    return "\xFF"s + marker + static_cast<char>(length >> 8) + static_cast<char>(length & 0xFF) + payload;
}

std::string Big32(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

std::string PngChunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    return Big32(static_cast<std::uint32_t>(data.size())) + body + Big32(static_cast<std::uint32_t>(crc));
}

// The same pixels decoded from both byte texts.
void ExpectSamePixels(const std::string& original, const std::string& published,
                      const std::string& extension) {
    qlm::test::TempFolder dir;
    const qlm::Picture before = qlm::LoadPicture(dir.Put("original." + extension, original), 0);
    const qlm::Picture after = qlm::LoadPicture(dir.Put("published." + extension, published), 0);
    ASSERT_TRUE(before.opened && after.opened);
    EXPECT_EQ(after.width, before.width);
    EXPECT_TRUE(after.image.rgba == before.image.rgba) << "the pixels changed";
}

TEST(StripJpeg, KeepsColourProfileAndAdobeSegmentAndDropsPhotoshopAndComments) {
    const std::string original = Picture("cmyk_adobe.jpg");
    const std::string icc = JpegSegment('\xE2', "ICC_PROFILE\0\x01\x01"s + std::string(200, 'p'));
    const std::string tagged = original.substr(0, 2) + icc + JpegSegment('\xED', "Photoshop 3.0\0 Kiel"s) +
                               JpegSegment('\xFE', "Geheim") + JpegSegment('\xE2', "MPF\0 Kiel"s) +
                               original.substr(2);
    const std::string published = qlm::StripForPublishing(tagged);
    EXPECT_EQ(published, original.substr(0, 2) + icc + original.substr(2));
    ExpectSamePixels(tagged, published, "jpg");
}

TEST(StripJpeg, DropsJfifPreviewAndExtensionAndWhatComesBetweenScans) {
    const std::string original = Picture("quadrants_progressive.jpg");
    ASSERT_EQ(original.substr(2, 4), "\xFF\xE0\0\x10"s);
    const std::string jfif = original.substr(6, 12);
    const std::size_t second_scan = original.find("\xFF\xDA", original.find("\xFF\xDA") + 2);
    ASSERT_NE(second_scan, std::string::npos);
    // JFIF with a 1 x 1 preview, a JFXX preview, and a comment and XMP between two scans.
    const std::string tagged = original.substr(0, 2) + JpegSegment('\xE0', jfif + "\x01\x01rgb") +
                               JpegSegment('\xE0', "JFXX\0\x13 preview"s) +
                               original.substr(20, second_scan - 20) + JpegSegment('\xFE', "Geheim") +
                               JpegSegment('\xE1', "http://ns.adobe.com/xap/1.0/\0 Kiel"s) +
                               original.substr(second_scan);
    const std::string published = qlm::StripForPublishing(tagged);
    EXPECT_EQ(published, original.substr(0, 2) + JpegSegment('\xE0', jfif + "\0\0"s) + original.substr(20));
    ExpectSamePixels(tagged, published, "jpg");
}

// A big-endian Exif block whose first directory holds, besides what is kept, the maker, a GPS and
// an Exif directory pointer; the published block is written out here by hand.
TEST(StripJpeg, ExifIsRebuiltWithOnlyOrientationAuthorAndCopyright) {
    const std::string copyright = "Anna Autorin\0"s; // 13 bytes, at offset 8 + 2 + 6 * 12 + 4 = 86
    auto entry = [](std::string tag, std::string type, std::uint32_t count, std::string value) {
        return tag + type + Big32(count) + value;
    };
    const std::string tiff =
        "MM\0\x2A\0\0\0\x08\0\x06"s + entry("\x01\x0F"s, "\0\x02"s, 4, "Cam\0"s) +
        entry("\x01\x12"s, "\0\x03"s, 1, "\0\x08\0\0"s) + entry("\x01\x3B"s, "\0\x02"s, 3, "Al\0\0"s) +
        entry("\x82\x98"s, "\0\x02"s, 13, Big32(86)) + entry("\x87\x69"s, "\0\x04"s, 1, Big32(99)) +
        entry("\x88\x25"s, "\0\x04"s, 1, Big32(99)) + Big32(0) + copyright + "GPS-Daten";
    const std::string original = Picture("quadrants.jpg");
    const std::string published = qlm::StripForPublishing(
        original.substr(0, 20) + JpegSegment('\xE1', "Exif\0\0"s + tiff) + original.substr(20));

    const std::string expected =
        "Exif\0\0MM\0\x2A\0\0\0\x08\0\x03"s + entry("\x01\x12"s, "\0\x03"s, 1, "\0\x08\0\0"s) +
        entry("\x01\x3B"s, "\0\x02"s, 3, "Al\0\0"s) +
        entry("\x82\x98"s, "\0\x02"s, 13, Big32(8 + 2 + 3 * 12 + 4)) + Big32(0) + copyright + "\0"s;
    EXPECT_EQ(published, original.substr(0, 20) + JpegSegment('\xE1', expected) + original.substr(20));
}

TEST(StripJpeg, ExifTagsOutsideTheBlockOrInvalidAreNotKept) {
    const std::string tiff = "II\x2A\0\x08\0\0\0\x03\0"s + "\x12\x01\x03\0\x01\0\0\0\x09\0\0\0"s +
                             "\x3B\x01\x02\0\x20\0\0\0\xF0\0\0\0"s +
                             "\x98\x82\x02\0\xFF\xFF\xFF\x0F\x08\0\0\0"s;
    const std::string original = Picture("quadrants.jpg");
    const std::string published = qlm::StripForPublishing(
        original.substr(0, 20) + JpegSegment('\xE1', "Exif\0\0"s + tiff) + original.substr(20));
    EXPECT_EQ(published, original);
}

TEST(StripPng, KeepsColourChunksAndDropsTextTimeAndUnknownChunks) {
    const std::string original = Picture("quadrants.png");
    const std::size_t after_ihdr = 8 + 25;
    const std::string kept = PngChunk("iCCP", "Profil\0\0 compressed"s) + PngChunk("gAMA", Big32(45455));
    const std::string tagged = original.substr(0, after_ihdr) + kept + PngChunk("tEXt", "Location\0Kiel"s) +
                               PngChunk("zTXt", "Comment\0\0x"s) +
                               PngChunk("tIME", "\x07\xE8\x01\x02\x03\x04\x05"s) + PngChunk("prVt", "Kiel") +
                               original.substr(after_ihdr) + "after IEND";
    EXPECT_EQ(qlm::StripForPublishing(tagged),
              original.substr(0, after_ihdr) + kept + original.substr(after_ihdr));
}

// An animation of two 1 x 1 frames with a loop, a comment, an XMP block and plain text.
TEST(StripGif, KeepsFramesLoopAndPlainTextAndDropsCommentsAndXmp) {
    const std::string screen = "GIF89a\x01\0\x01\0\x80\0\0\xFF\0\0\0\0\xFF"s;
    const std::string loop = "\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0"s;
    const std::string control = "\x21\xF9\x04\x04\x0A\0\0\0"s;
    const std::string frame = "\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0"s;
    const std::string red_frame = "\x2C\0\0\0\0\x01\0\x01\0\x80\xFF\0\0\0\0\0\x02\x02\x44\x01\0"s;
    const std::string text = "\x21\x01\x0C\0\0\0\0\x01\0\x01\0\x01\x01\0\x01\x01X\0"s;
    const std::string comment = "\x21\xFE\x06Geheim\0"s;
    const std::string xmp = "\x21\xFF\x0BXMP DataXMP\x04Kiel\0"s;
    const std::string published = qlm::StripForPublishing(screen + loop + comment + control + frame + xmp +
                                                          control + red_frame + text + ";tail");
    EXPECT_EQ(published, screen + loop + control + frame + control + red_frame + text + ";");
    ExpectSamePixels(screen + loop + comment + control + frame + ";", published, "gif");
}

TEST(StripForPublishing, TakesWhatItGaveUnchanged) {
    for (const char* name : {"exif_orientation_3.jpg", "quadrants_progressive.jpg", "checker_interlaced.png",
                             "gif_local_colormap.gif", "cmyk_adobe.jpg"}) {
        const std::string published = qlm::StripForPublishing(Picture(name));
        EXPECT_EQ(qlm::StripForPublishing(published), published) << name;
    }
}

// Each picture cut off anywhere before its end marker: the walk must notice, and never read past
// the bytes it has (the sanitizer build checks).
TEST(StripForPublishing, RefusesEveryCutOffPicture) {
    for (const char* name : {"exif_orientation_6.jpg", "quadrants_progressive.jpg", "quadrants.png",
                             "quadrants.gif", "gif_local_colormap.gif"}) {
        const std::string whole = Picture(name);
        ASSERT_FALSE(whole.empty()) << name;
        for (std::size_t size = 0; size < whole.size(); ++size) {
            EXPECT_THROW(qlm::StripForPublishing(std::string_view(whole).substr(0, size)), qlm::DecodeError)
                << name << " " << size;
        }
    }
}

struct DamagedCase {
    const char* name;
    std::string bytes;
};

class StripDamaged : public testing::TestWithParam<DamagedCase> {};

TEST_P(StripDamaged, IsRefusedWithAGermanMessage) {
    try {
        qlm::StripForPublishing(GetParam().bytes);
        ADD_FAILURE() << "published";
    } catch (const qlm::DecodeError& error) {
        EXPECT_TRUE(
            std::string(error.what()).starts_with("Die Metadaten des Bildes können nicht sicher entfernt"))
            << error.what();
    }
}

const std::string kJpeg = Picture("quadrants.jpg");
const std::string kPng = Picture("quadrants.png");
const std::string kGif = Picture("quadrants.gif");

INSTANTIATE_TEST_SUITE_P(
    Files, StripDamaged,
    testing::Values(
        DamagedCase{"empty", ""}, DamagedCase{"bitmap", "BM\x36\0\0\0\0\0\0\0"s},
        DamagedCase{"jpeg_length_past_end", "\xFF\xD8\xFF\xE1\xFF\xF0"
                                            "Exif\0\0"s},
        DamagedCase{"jpeg_length_below_two", "\xFF\xD8\xFF\xFE\0\x01\xFF\xD9"s},
        DamagedCase{"jpeg_bytes_between_segments", kJpeg.substr(0, 20) + "xx" + kJpeg.substr(20)},
        DamagedCase{"jpeg_end_before_scan", "\xFF\xD8\xFF\xD9"s},
        DamagedCase{"jpeg_restart_in_headers", kJpeg.substr(0, 20) + "\xFF\xD0" + kJpeg.substr(20)},
        DamagedCase{"jpeg_scan_before_frame", "\xFF\xD8"s + JpegSegment('\xDA', "\x01\x01\0\0\x3F\0"s)},
        DamagedCase{"jpeg_reserved_marker",
                    kJpeg.substr(0, 20) + JpegSegment('\xF7', "x") + kJpeg.substr(20)},
        DamagedCase{"jpeg_truncated_scan", Picture("truncated_scan.jpg")},
        DamagedCase{"jpeg_truncated_header", Picture("truncated_header.jpg")},
        DamagedCase{"png_bad_crc", Picture("png_bad_crc.png")},
        DamagedCase{"png_truncated", Picture("png_truncated.png")},
        DamagedCase{"png_length_past_end", kPng.substr(0, 8) + "\x7F\xFF\xFF\xFF" + kPng.substr(12)},
        DamagedCase{"png_data_before_header",
                    kPng.substr(0, 8) + PngChunk("gAMA", Big32(1)) + kPng.substr(8)},
        DamagedCase{"png_unknown_critical", kPng.substr(0, 33) + PngChunk("QLMX", "x") + kPng.substr(33)},
        DamagedCase{"png_bad_chunk_name", kPng.substr(0, 33) + PngChunk("a1b2", "x") + kPng.substr(33)},
        DamagedCase{"gif_truncated", Picture("gif_truncated.gif")},
        DamagedCase{"gif_no_trailer", kGif.substr(0, kGif.size() - 1)},
        DamagedCase{"gif_block_past_end", kGif.substr(0, kGif.size() - 1) + "\x21\xFE\x40Geheim"},
        DamagedCase{"gif_unknown_block", kGif.substr(0, kGif.size() - 1) + "\x00;"s}),
    qlm::kRowName);

} // namespace

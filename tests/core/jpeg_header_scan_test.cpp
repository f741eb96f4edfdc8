// SPDX-License-Identifier: GPL-3.0-or-later
// The quick reading of plain JPEG headers must measure every file as the library does: the JPEGs
// of the test data, their beginnings, and thousands of copies with damaged headers give the same
// size, the same refusal or the same request for more bytes either way.

#include "core/jpeg_decoder.h"
#include "core/jpeg_header_scan.h"
#include "core/picture_source.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(QLM_TEST_DATA_DIR);

using Measure = bool (*)(qlm::PictureSource&, int, qlm::Picture&);

// What measuring gave: more bytes wanted, a size, or the refusal's message.
std::string Outcome(Measure measure, const std::string& bytes, std::size_t size, bool whole) {
    qlm::PictureSource source(reinterpret_cast<const std::uint8_t*>(bytes.data()), size, whole);
    qlm::Picture picture;
    try {
        if (!measure(source, 1, picture)) {
            return "more";
        }
    } catch (const qlm::DecodeError& error) {
        return std::string("refused: ") + error.what();
    }
    return std::to_string(picture.opened) + " " + std::to_string(picture.width) + "x" +
           std::to_string(picture.height);
}

void ExpectSameOutcome(const std::string& bytes, const std::string& what,
                       std::size_t size = std::string::npos) {
    size = std::min(size, bytes.size());
    for (const bool whole : {true, false}) {
        ASSERT_EQ(Outcome(qlm::MeasureJpeg, bytes, size, whole),
                  Outcome(qlm::MeasureJpegByLibrary, bytes, size, whole))
            << what << ", " << size << " bytes" << (whole ? "" : " of more");
    }
}

bool TakenOn(const std::string& bytes) {
    qlm::JpegHeaders headers;
    return qlm::ScanJpegHeaders(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), headers);
}

// A marker segment of the headers: where its marker starts, its size with the marker, its code.
struct Segment {
    std::size_t at;
    std::size_t size;
    unsigned char marker;
};

// The whole segments after SOI, up to and with the first scan's header.
std::vector<Segment> Segments(const std::string& bytes) {
    std::vector<Segment> segments;
    const auto byte = [&](std::size_t i) {
        return static_cast<std::size_t>(static_cast<unsigned char>(bytes[i]));
    };
    for (std::size_t at = 2; at + 4 <= bytes.size() && byte(at) == 0xFF;) {
        const Segment segment{at, 2 + (byte(at + 2) << 8 | byte(at + 3)),
                              static_cast<unsigned char>(byte(at + 1))};
        if (segment.at + segment.size > bytes.size()) {
            break;
        }
        segments.push_back(segment);
        at += segment.size;
        if (segment.marker == 0xDA) {
            break;
        }
    }
    return segments;
}

std::vector<std::string> TestJpegs() {
    std::vector<std::string> files;
    for (const char* collection : {"pictures", "thirdparty"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kData / collection)) {
            if (entry.path().extension() == ".jpg") {
                files.push_back(qlm::test::ReadFile(entry.path().string()));
            }
        }
    }
    return files;
}

TEST(JpegHeaderScan, MeasuresEveryTestJpegAndItsBeginningsAsTheLibraryDoes) {
    const std::vector<std::string> files = TestJpegs();
    for (std::size_t f = 0; f < files.size(); ++f) {
        const std::vector<Segment> segments = Segments(files[f]);
        const std::size_t end = segments.empty() ? 2 : segments.back().at + segments.back().size;
        for (std::size_t n = 0; n <= end + 1; ++n) {
            ExpectSameOutcome(files[f], "test JPEG " + std::to_string(f), n);
        }
        ExpectSameOutcome(files[f], "test JPEG " + std::to_string(f));
    }
    // The quick reading takes on the plain ones, a turned one with its orientation.
    qlm::JpegHeaders headers;
    const std::string turned = qlm::test::ReadFile((kData / "pictures" / "exif_orientation_6.jpg").string());
    ASSERT_TRUE(
        qlm::ScanJpegHeaders(reinterpret_cast<const std::uint8_t*>(turned.data()), turned.size(), headers));
    EXPECT_EQ(headers.orientation, 6);
}

// Each byte that shapes the headers (markers, lengths, the first bytes of each segment) set to each
// telling value: whatever the library makes of such headers, measuring makes the same of them.
TEST(JpegHeaderScan, MeasuresDamagedHeadersAsTheLibraryDoes) {
    static const unsigned char kTelling[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x08, 0x0C, 0x10,
                                             0x11, 0x12, 0x13, 0x14, 0x21, 0x22, 0x24, 0x41, 0x44, 0x45,
                                             0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC9, 0xCC, 0xD0, 0xD8, 0xD9,
                                             0xDA, 0xDB, 0xDC, 0xDD, 0xE0, 0xE1, 0xE2, 0xEE, 0xFE, 0xFF};
    int compared = 0, taken_on = 0;
    for (const std::string& original : TestJpegs()) {
        const std::vector<Segment> segments = Segments(original);
        if (segments.size() < 2) {
            continue;
        }
        std::vector<std::size_t> shaping = {0, 1};
        for (const Segment& segment : segments) {
            for (std::size_t i = segment.at; i < segment.at + std::min<std::size_t>(24, segment.size); ++i) {
                shaping.push_back(i);
            }
        }
        for (const std::size_t at : shaping) {
            for (const unsigned char value : kTelling) {
                std::string bytes = original;
                bytes[at] = static_cast<char>(value);
                ++compared;
                taken_on += TakenOn(bytes);
                ExpectSameOutcome(bytes, "byte " + std::to_string(at) + " set to " + std::to_string(value));
                ASSERT_FALSE(HasFailure());
            }
        }
    }
    // Many damaged copies are still plain enough for the quick reading.
    EXPECT_GT(taken_on, compared / 10);
}

// Headers that only a close reading tells from plain ones: the library refuses them, warns about
// them or reads them in its own way, and measuring gives what it gives.
TEST(JpegHeaderScan, MeasuresSubtleHeadersAsTheLibraryDoes) {
    const auto read = [](const char* name) {
        return qlm::test::ReadFile((kData / "pictures" / name).string());
    };
    const auto find = [](const std::string& bytes, unsigned char marker) {
        for (const Segment& segment : Segments(bytes)) {
            if (segment.marker == marker) {
                return segment;
            }
        }
        ADD_FAILURE() << "no marker " << int{marker};
        return Segment{0, 0, 0};
    };
    const std::string plain = read("quadrants.jpg"), grey = read("quadrants_gray.jpg");
    const std::string turned = read("exif_orientation_6.jpg"), upside_down = read("exif_orientation_3.jpg");
    const Segment frame = find(plain, 0xC0), scan = find(plain, 0xDA), grey_frame = find(grey, 0xC0);
    const Segment exif = find(turned, 0xE1), other_exif = find(upside_down, 0xE1);
    const auto with = [](const std::string& bytes, std::size_t at, std::size_t size,
                         const std::string& instead) {
        return bytes.substr(0, at) + instead + bytes.substr(at + size);
    };
    const auto before_scan = [&](const std::string& segment) { return with(plain, scan.at, 0, segment); };
    const auto changed = [](std::string bytes, std::size_t at, char value) {
        bytes[at] = value;
        return bytes;
    };
    // The scan's components in another order: libjpeg-turbo looks for each among the frame's
    // from the one at its own place in the scan on.
    std::string reordered = plain;
    std::swap(reordered[scan.at + 5], reordered[scan.at + 7]);
    // A frame one byte longer than its components; two components, which have no colour model.
    std::string longer = plain.substr(frame.at, frame.size) + "x";
    longer[3] = static_cast<char>(longer[3] + 1);
    std::string two = grey.substr(grey_frame.at, grey_frame.size) + std::string("\x02\x11\x00", 3);
    two[3] = static_cast<char>(two[3] + 3);
    two[9] = 2;
    // A Huffman table of 272 codes, which still fits its segment.
    const std::string huge_table =
        std::string("\xFF\xC4\x01\x23\x10", 5) + std::string(16, '\x11') + std::string(272, '\x01');
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"scan components reordered", reordered},
        {"frame twice", before_scan(plain.substr(frame.at, frame.size))},
        {"frame longer than its components", with(plain, frame.at, frame.size, longer)},
        {"two components", with(grey, grey_frame.at, grey_frame.size, two)},
        {"Huffman table of 272 codes", before_scan(huge_table)},
        {"second Exif block",
         with(turned, exif.at + exif.size, 0, upside_down.substr(other_exif.at, other_exif.size))},
        {"JFIF version 2", changed(plain, 11, 2)},
        {"Adobe transform 7", changed(read("cmyk_adobe.jpg"), 17, 7)},
        {"12 bits", changed(plain, frame.at + 4, 12)},
        {"lossless", changed(plain, frame.at + 1, '\xC3')},
        {"stray byte", before_scan("x")},
        {"fill bytes", before_scan("\xFF\xFF\xFF")},
        {"stuffed zero", before_scan(std::string("\xFF\x00", 2))},
        {"restart marker", before_scan("\xFF\xD0")},
        {"second SOI", before_scan("\xFF\xD8")},
        {"end before the scan", before_scan("\xFF\xD9")},
        {"comment", before_scan(std::string("\xFF\xFE\x00\x05", 4) + "abc")},
    };
    for (const auto& [what, bytes] : cases) {
        ExpectSameOutcome(bytes, what);
    }
}

} // namespace

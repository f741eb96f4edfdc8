// SPDX-License-Identifier: GPL-3.0-or-later
// The quick reading of plain JPEG headers must measure every file as the library does: the JPEGs
// of the test data, and thousands of copies with damaged headers, give the same size, the same
// refusal or the same request for more bytes either way.

#include "core/jpeg_decoder.h"
#include "core/jpeg_header_scan.h"
#include "core/picture_source.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(QLM_TEST_DATA_DIR);
constexpr int kBox = 1;

std::vector<std::string> TestJpegs() {
    std::vector<std::string> files;
    for (const char* collection : {"pictures", "thirdparty"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kData / collection)) {
            if (entry.is_regular_file() && entry.path().extension() == ".jpg") {
                files.push_back(entry.path().string());
            }
        }
    }
    return files;
}

using Measure = bool (*)(qlm::PictureSource&, int, qlm::Picture&);

// What measuring gave: asked for more, measured (with the size) or refused (with the message).
std::string Outcome(Measure measure, const std::string& bytes, std::size_t size, bool whole) {
    qlm::PictureSource source(reinterpret_cast<const std::uint8_t*>(bytes.data()), size, whole);
    qlm::Picture picture;
    try {
        if (!measure(source, kBox, picture)) {
            return "more";
        }
    } catch (const qlm::DecodeError& error) {
        return std::string("refused: ") + error.what();
    }
    return "measured " + std::to_string(picture.opened) + " " + std::to_string(picture.width) + "x" +
           std::to_string(picture.height);
}

void ExpectSameOutcome(const std::string& bytes, const std::string& what) {
    for (const bool whole : {true, false}) {
        EXPECT_EQ(Outcome(qlm::MeasureJpeg, bytes, bytes.size(), whole),
                  Outcome(qlm::MeasureJpegByLibrary, bytes, bytes.size(), whole))
            << what << (whole ? ", whole" : ", a beginning");
    }
}

// A marker segment of the headers: where its marker starts, its size with the marker, its code.
struct Segment {
    std::size_t at;
    std::size_t size;
    unsigned char marker;
};

// The segments after SOI, up to and with the first scan's header.
std::vector<Segment> Segments(const std::string& bytes) {
    std::vector<Segment> segments;
    std::size_t at = 2;
    while (at + 4 <= bytes.size() && static_cast<unsigned char>(bytes[at]) == 0xFF) {
        const auto byte = [&](std::size_t i) {
            return static_cast<std::size_t>(static_cast<unsigned char>(bytes[i]));
        };
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

const Segment* Find(const std::vector<Segment>& segments, unsigned char marker) {
    for (const Segment& segment : segments) {
        if (segment.marker == marker) {
            return &segment;
        }
    }
    return nullptr;
}

// The offsets of the bytes that shape the headers: markers, lengths and the first bytes of each
// segment.
std::vector<std::size_t> StructuralOffsets(const std::string& bytes, const std::vector<Segment>& segments) {
    std::vector<std::size_t> offsets = {0, 1};
    for (const Segment& segment : segments) {
        for (std::size_t i = segment.at;
             i < segment.at + 24 && i < segment.at + segment.size && i < bytes.size(); ++i) {
            offsets.push_back(i);
        }
    }
    return offsets;
}

std::size_t HeadersEnd(const std::string& bytes, const std::vector<Segment>& segments) {
    return segments.empty() ? 0 : std::min(bytes.size(), segments.back().at + segments.back().size);
}

TEST(JpegHeaderScan, TakesOnPlainHeadersWithTheirOrientation) {
    const struct {
        const char* file;
        unsigned width, height;
        int orientation;
    } cases[] = {
        {"quadrants.jpg", 64, 48, 1},
        {"quadrants_gray.jpg", 64, 48, 1},
        {"quadrants_progressive.jpg", 64, 48, 1},
        {"exif_orientation_6.jpg", 64, 48, 6},
        {"cmyk_adobe.jpg", 16, 16, 1},
    };
    for (const auto& expected : cases) {
        const std::string bytes = qlm::test::ReadFile((kData / "pictures" / expected.file).string());
        ASSERT_FALSE(bytes.empty()) << expected.file;
        qlm::JpegHeaders headers;
        ASSERT_TRUE(
            qlm::ScanJpegHeaders(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), headers))
            << expected.file;
        EXPECT_EQ(headers.width, expected.width) << expected.file;
        EXPECT_EQ(headers.height, expected.height) << expected.file;
        EXPECT_EQ(headers.orientation, expected.orientation) << expected.file;
    }
}

TEST(JpegHeaderScan, MeasuresEveryTestJpegAsTheLibraryDoes) {
    for (const std::string& path : TestJpegs()) {
        const std::string bytes = qlm::test::ReadFile(path);
        ExpectSameOutcome(bytes, path);
        // Every beginning of the headers, too.
        const std::size_t headers_end = HeadersEnd(bytes, Segments(bytes));
        for (std::size_t n = 0; n <= headers_end + 1 && n <= bytes.size(); ++n) {
            for (const bool whole : {true, false}) {
                ASSERT_EQ(Outcome(qlm::MeasureJpeg, bytes, n, whole),
                          Outcome(qlm::MeasureJpegByLibrary, bytes, n, whole))
                    << path << ", first " << n << " bytes" << (whole ? " as the whole file" : "");
            }
        }
    }
}

const unsigned char kTelling[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x08, 0x0C, 0x10,
                                  0x11, 0x12, 0x13, 0x14, 0x21, 0x22, 0x24, 0x41, 0x44, 0x45,
                                  0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC9, 0xCC, 0xD0, 0xD8, 0xD9,
                                  0xDA, 0xDB, 0xDC, 0xDD, 0xE0, 0xE1, 0xE2, 0xEE, 0xFE, 0xFF};

// Each byte that shapes the headers set to each telling value, and at random: bytes changed,
// cut, padded or repeated, stray bytes between segments, whole segments repeated or swapped.
// Whatever the library makes of such headers, measuring makes the same of them.
TEST(JpegHeaderScan, MeasuresDamagedHeadersAsTheLibraryDoes) {
    std::mt19937 random(20261208);
    int compared = 0;
    int taken_on = 0;
    const auto compare = [&](const std::string& bytes, const std::string& what) {
        qlm::JpegHeaders headers;
        taken_on +=
            qlm::ScanJpegHeaders(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), headers);
        ++compared;
        ExpectSameOutcome(bytes, what);
    };
    for (const std::string& path : TestJpegs()) {
        const std::string original = qlm::test::ReadFile(path);
        const std::vector<Segment> segments = Segments(original);
        const std::size_t headers_end = HeadersEnd(original, segments);
        const std::vector<std::size_t> structural = StructuralOffsets(original, segments);
        if (segments.size() < 2) {
            continue; // no headers to damage
        }
        for (const std::size_t at : structural) {
            for (const unsigned char value : kTelling) {
                std::string bytes = original;
                bytes[at] = static_cast<char>(value);
                compare(bytes, path + ", byte " + std::to_string(at) + " set to " + std::to_string(value));
            }
            ASSERT_FALSE(HasFailure());
        }
        for (int round = 0; round < 1000; ++round) {
            std::string bytes = original;
            const int changes = 1 + static_cast<int>(random() % 3);
            for (int c = 0; c < changes; ++c) {
                const std::size_t at =
                    random() % 2 ? structural[random() % structural.size()] : random() % headers_end;
                const Segment& segment = segments[random() % segments.size()];
                const Segment& other = segments[random() % segments.size()];
                switch (random() % 8) {
                case 0:
                    bytes[at] = static_cast<char>(random());
                    break;
                case 1:
                    bytes[at] = static_cast<char>(kTelling[random() % sizeof kTelling]);
                    break;
                case 2:
                    bytes.insert(
                        at, 1, static_cast<char>(random() % 2 ? 0xFF : kTelling[random() % sizeof kTelling]));
                    break;
                case 3:
                    bytes.erase(at, 1 + random() % 8);
                    break;
                case 4:
                    bytes.insert(at, original.substr(at, 1 + random() % 40));
                    break;
                case 5:
                    bytes.insert(std::min(segment.at, bytes.size()),
                                 original.substr(segment.at, segment.size));
                    break;
                default:
                    if (segment.at < other.at && bytes.size() == original.size()) {
                        bytes =
                            original.substr(0, segment.at) + original.substr(other.at, other.size) +
                            original.substr(segment.at + segment.size, other.at - segment.at - segment.size) +
                            original.substr(segment.at, segment.size) +
                            original.substr(other.at + other.size);
                    }
                    break;
                }
            }
            compare(bytes, path + ", round " + std::to_string(round));
            ASSERT_FALSE(HasFailure());
        }
    }
    // Many damaged copies are still plain enough for the quick reading; they must be among those
    // compared.
    EXPECT_GT(taken_on, compared / 10);
}

// Headers that only a close reading tells from plain ones: the library refuses them, warns about
// them or reads them in its own way, and measuring gives what it gives.
TEST(JpegHeaderScan, MeasuresSubtleHeadersAsTheLibraryDoes) {
    const std::string quadrants = qlm::test::ReadFile((kData / "pictures" / "quadrants.jpg").string());
    const std::string turned = qlm::test::ReadFile((kData / "pictures" / "exif_orientation_6.jpg").string());
    const std::string upside_down =
        qlm::test::ReadFile((kData / "pictures" / "exif_orientation_3.jpg").string());
    const std::string cmyk = qlm::test::ReadFile((kData / "pictures" / "cmyk_adobe.jpg").string());
    const std::vector<Segment> segments = Segments(quadrants);
    const Segment* frame = Find(segments, 0xC0);
    const Segment* scan = Find(segments, 0xDA);
    ASSERT_TRUE(frame != nullptr && scan != nullptr && quadrants[scan->at + 4] == 3);
    const auto insert_before_scan = [&](const std::string& segment) {
        return quadrants.substr(0, scan->at) + segment + quadrants.substr(scan->at);
    };
    std::vector<std::pair<std::string, std::string>> cases;
    // The scan's components in another order: libjpeg-turbo looks for each among the frame's
    // components from the one at its own place in the scan on.
    std::string reordered = quadrants;
    std::swap(reordered[scan->at + 5], reordered[scan->at + 7]);
    cases.emplace_back("scan components reordered", reordered);
    std::swap(reordered[scan->at + 6], reordered[scan->at + 8]);
    cases.emplace_back("scan components and tables reordered", reordered);
    cases.emplace_back("frame twice", insert_before_scan(quadrants.substr(frame->at, frame->size)));
    std::string longer_frame = quadrants.substr(frame->at, frame->size) + "x";
    longer_frame[3] = static_cast<char>(longer_frame[3] + 1);
    cases.emplace_back("frame longer than its components", quadrants.substr(0, frame->at) + longer_frame +
                                                               quadrants.substr(frame->at + frame->size));
    // A Huffman table of 272 codes, which still fits its segment.
    std::string huge_table = "\xFF\xC4";
    huge_table += static_cast<char>((2 + 17 + 272) >> 8);
    huge_table += static_cast<char>((2 + 17 + 272) & 0xFF);
    huge_table += '\x10';
    huge_table += std::string(16, '\x11') + std::string(272, '\x01');
    cases.emplace_back("Huffman table of 272 codes", insert_before_scan(huge_table));
    // A second Exif block, turned otherwise: only the first counts.
    const std::vector<Segment> upside_down_segments = Segments(upside_down);
    const std::vector<Segment> turned_segments = Segments(turned);
    const Segment* exif = Find(upside_down_segments, 0xE1);
    const Segment* first_exif = Find(turned_segments, 0xE1);
    ASSERT_TRUE(exif != nullptr && first_exif != nullptr);
    const std::size_t after_first = first_exif->at + first_exif->size;
    cases.emplace_back("second Exif block", turned.substr(0, after_first) +
                                                upside_down.substr(exif->at, exif->size) +
                                                turned.substr(after_first));
    std::string jfif_two = quadrants;
    jfif_two[11] = 2;
    cases.emplace_back("JFIF version 2", jfif_two);
    std::string unknown_transform = cmyk;
    unknown_transform[2 + 2 + 2 + 11] = 7;
    cases.emplace_back("Adobe transform 7", unknown_transform);
    cases.emplace_back("stray byte", insert_before_scan("x"));
    cases.emplace_back("fill bytes", insert_before_scan("\xFF\xFF\xFF"));
    cases.emplace_back("stuffed zero", insert_before_scan("\xFF\x00"));
    cases.emplace_back("restart marker", insert_before_scan("\xFF\xD0"));
    cases.emplace_back("second SOI", insert_before_scan("\xFF\xD8"));
    cases.emplace_back("end before the scan", insert_before_scan("\xFF\xD9"));
    cases.emplace_back("comment", insert_before_scan(std::string("\xFF\xFE\x00\x05"
                                                                 "abc",
                                                                 7)));
    std::string twelve_bits = quadrants;
    twelve_bits[frame->at + 4] = 12;
    cases.emplace_back("12 bits", twelve_bits);
    // Two components have no colour model.
    const std::string grey = qlm::test::ReadFile((kData / "pictures" / "quadrants_gray.jpg").string());
    const std::vector<Segment> grey_segments = Segments(grey);
    const Segment* grey_frame = Find(grey_segments, 0xC0);
    ASSERT_TRUE(grey_frame != nullptr && grey[grey_frame->at + 9] == 1);
    std::string two_components = grey.substr(grey_frame->at, grey_frame->size) + "\x02\x11";
    two_components += '\0';
    two_components[3] = static_cast<char>(two_components[3] + 3);
    two_components[9] = 2;
    cases.emplace_back("two components", grey.substr(0, grey_frame->at) + two_components +
                                             grey.substr(grey_frame->at + grey_frame->size));
    std::string lossless = quadrants;
    lossless[frame->at + 1] = static_cast<char>(0xC3);
    cases.emplace_back("lossless", lossless);
    for (const auto& [what, bytes] : cases) {
        ExpectSameOutcome(bytes, what);
    }
}

} // namespace

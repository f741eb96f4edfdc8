// SPDX-License-Identifier: GPL-3.0-or-later
// Sizes read from the headers alone: the same as the decoded sizes over every picture of the test
// data, a beginning of a file too short for its headers asks for more instead of counting as
// damage, and headers longer than the first read are still measured.

#include "core/gif_decoder.h"
#include "core/jpeg_decoder.h"
#include "core/picture_loader.h"
#include "core/picture_measure.h"
#include "core/picture_source.h"
#include "core/png_decoder.h"
#include "platform/globals.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(QLM_TEST_DATA_DIR);
// The command-line tool measures with the smallest box.
constexpr int kBox = 1;

// A test name of letters and digits.
std::string NameOf(std::string text) {
    for (char& c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return text;
}

std::vector<std::string> AllPictures() {
    std::vector<std::string> files;
    for (const char* collection : {"pictures", "thirdparty"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kData / collection)) {
            if (entry.is_regular_file() &&
                qlm::FormatForFileName(entry.path().filename().string()) != qlm::PictureFormat::Unknown)
                files.push_back(fs::relative(entry.path(), kData).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class HeaderSizes : public testing::TestWithParam<std::string> {};

// A picture that decodes has the decoded size in its headers; one refused on its headers is
// refused by the decoding as well. Only damage behind the headers may decode to an error while its
// headers measure.
TEST_P(HeaderSizes, EqualDecodedSizes) {
    const std::string path = (kData / GetParam()).string();
    qlm::Picture full, head;
    bool decoded = true, measured = true;
    try {
        full = qlm::LoadPicture(path, kBox);
    } catch (const qlm::DecodeError&) {
        decoded = false;
    }
    try {
        head = qlm::MeasurePicture(path, kBox);
    } catch (const qlm::DecodeError&) {
        measured = false;
    }
    EXPECT_TRUE(measured || !decoded);
    if (decoded && measured) {
        EXPECT_EQ(head.opened, full.opened);
        EXPECT_EQ(head.width, full.width);
        EXPECT_EQ(head.height, full.height);
        EXPECT_TRUE(head.image.rgba.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(TestData, HeaderSizes, testing::ValuesIn(AllPictures()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                             return NameOf(param_info.param);
                         });

using Measure = bool (*)(qlm::PictureSource&, int, qlm::Picture&);

struct CutCase {
    const char* file;
    Measure measure;
};

class CutHeaders : public testing::TestWithParam<CutCase> {};

// Every beginning of a sound file either asks for more or gives the right size; never an error.
TEST_P(CutHeaders, AskForMoreOrMeasure) {
    const CutCase& cut = GetParam();
    const std::string bytes = qlm::test::ReadFile((kData / "pictures" / cut.file).string());
    ASSERT_FALSE(bytes.empty());
    const qlm::Picture full = qlm::LoadPicture((kData / "pictures" / cut.file).string(), kBox);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    bool measured_before = false;
    for (std::size_t n = 0; n <= bytes.size(); ++n) {
        SCOPED_TRACE(testing::Message() << n << " of " << bytes.size() << " bytes");
        qlm::Picture picture;
        bool measured = false;
        // The first n bytes, as the beginning of the file unless they are all of it.
        qlm::PictureSource source(data, n, n == bytes.size());
        ASSERT_NO_THROW(measured = cut.measure(source, kBox, picture));
        if (measured) {
            EXPECT_EQ(picture.width, full.width);
            EXPECT_EQ(picture.height, full.height);
        }
        // Once the headers are complete, more bytes change nothing.
        EXPECT_TRUE(measured || !measured_before);
        measured_before = measured;
    }
    EXPECT_TRUE(measured_before);
}

INSTANTIATE_TEST_SUITE_P(Files, CutHeaders,
                         testing::Values(CutCase{"exif_orientation_6.jpg", qlm::MeasureJpeg},
                                         CutCase{"quadrants_progressive.jpg", qlm::MeasureJpeg},
                                         CutCase{"cmyk_adobe.jpg", qlm::MeasureJpeg},
                                         CutCase{"checker_interlaced.png", qlm::MeasurePng},
                                         CutCase{"gif_local_colormap.gif", qlm::MeasureGif}),
                         [](const testing::TestParamInfo<CutCase>& param_info) {
                             return NameOf(param_info.param.file);
                         });

// An APP2 segment of `size` payload bytes, as colour profiles are stored.
std::string App2Segment(std::size_t size) {
    std::string segment = "\xFF\xE2";
    segment += static_cast<char>((size + 2) >> 8);
    segment += static_cast<char>((size + 2) & 0xFF);
    segment += std::string(size, 'p');
    return segment;
}

TEST(MeasurePicture, HeadersLongerThanTheFirstReadAreMeasured) {
    qlm::test::TempFolder dir;
    const std::string original =
        qlm::test::ReadFile((kData / "pictures" / "exif_orientation_6.jpg").string());
    // Large segments before the frame header, the Exif block with the orientation among them.
    std::string bytes = original.substr(0, 2);
    for (int i = 0; i < 6; ++i)
        bytes += App2Segment(60000);
    bytes += original.substr(2);
    const std::string path = dir.Path() + "lange_kopfdaten.jpg";
    qlm::test::WriteFile(path, bytes);
    const qlm::Picture full = qlm::LoadPicture(path, kBox);
    const qlm::Picture head = qlm::MeasurePicture(path, kBox);
    EXPECT_TRUE(head.opened);
    EXPECT_EQ(head.width, full.width);
    EXPECT_EQ(head.height, full.height);
    EXPECT_GT(head.height, head.width); // turned upright by its orientation
    // A frame header across the end of the first, short read.
    for (std::size_t size = 3850; size <= 3900; ++size) {
        qlm::test::WriteFile(path, original.substr(0, 2) + App2Segment(size) + original.substr(2));
        const qlm::Picture across = qlm::MeasurePicture(path, kBox);
        EXPECT_TRUE(across.opened) << size;
        EXPECT_EQ(across.width, full.width) << size;
        EXPECT_EQ(across.height, full.height) << size;
    }
}

// What measuring one picture gives, or the message it fails with.
std::string MeasuredOrFailure(const std::string& path) {
    try {
        const qlm::Picture picture = qlm::MeasurePicture(path, kBox);
        return std::to_string(picture.opened) + " " + std::to_string(picture.width) + "x" +
               std::to_string(picture.height);
    } catch (const qlm::DecodeError& failure) {
        return failure.what();
    }
}

// A thread measures JPEG after JPEG with what it kept from the ones before: each must come out as
// on a thread that measures it first, also after a failure and after a turned picture.
TEST(MeasurePicture, EachJpegOfAThreadIsMeasuredAsIfItWereTheFirst) {
    std::vector<std::string> paths;
    for (const char* name : {"exif_orientation_6.jpg", "quadrants.jpg", "truncated_header.jpg",
                             "cmyk_adobe.jpg", "huge_dimensions.jpg", "quadrants_gray.jpg", "zero_length.jpg",
                             "exif_orientation_3.jpg", "quadrants_progressive.jpg", "exif_orientation_6.jpg"})
        paths.push_back((kData / "pictures" / name).string());
    std::vector<std::string> alone;
    for (const std::string& path : paths) {
        std::string result;
        std::thread([&] { result = MeasuredOrFailure(path); }).join();
        alone.push_back(result);
    }
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(MeasuredOrFailure(paths[i]), alone[i]) << paths[i];
    EXPECT_NE(alone[0], alone[1]); // the turned one and the plain one differ
}

TEST(MeasurePicture, OddFilesEndAsLoadPictureEndsThem) {
    qlm::test::TempFolder dir;
    qlm::test::WriteFile(dir.Path() + "bild.bmp", "BM");
    EXPECT_FALSE(qlm::MeasurePicture(dir.Path() + "fehlt.jpg", kBox).opened);
    // Neither a folder nor a FIFO is opened, with or without another program holding it open for
    // writing, whichever decoder reads it.
    for (const char* name : {"ordner.png", "ordner.jpg", "ordner.gif"}) {
        fs::create_directory(dir / name);
        EXPECT_FALSE(qlm::MeasurePicture(dir.Path() + name, kBox).opened) << name;
    }
    for (const char* name : {"fifo.jpg", "fifo.png", "fifo.gif"}) {
        ASSERT_EQ(mkfifo((dir / name).c_str(), 0600), 0);
        EXPECT_FALSE(qlm::MeasurePicture(dir.Path() + name, kBox).opened) << name;
        const int writer = open((dir / name).c_str(), O_RDWR | O_NONBLOCK);
        ASSERT_GE(writer, 0);
        EXPECT_FALSE(qlm::MeasurePicture(dir.Path() + name, kBox).opened) << name;
        close(writer);
    }
    EXPECT_THROW(qlm::MeasurePicture(dir.Path() + "bild.bmp", kBox), qlm::DecodeError);
    // Cut inside the frame header: the whole file ends there, which is damage.
    const std::string jpeg = qlm::test::ReadFile((kData / "pictures" / "quadrants.jpg").string());
    qlm::test::WriteFile(dir.Path() + "kurz.jpg", jpeg.substr(0, 200));
    EXPECT_THROW(qlm::MeasurePicture(dir.Path() + "kurz.jpg", kBox), qlm::DecodeError);
}

// A picture that cannot be opened for want of descriptors is there all the same: measuring it
// fails as decoding it does, rather than taking it for a missing one whose page would get the size
// of the picture before it.
TEST(MeasureHeaders, RunningOutOfDescriptorsIsNoMissingPicture) {
    const std::string expected = qlm::platform::GetErrorText(EMFILE);
    for (const char* name : {"quadrants.jpg", "quadrants.png", "quadrants.gif"}) {
        const std::string path = (kData / "pictures" / name).string();
        const int outcome = qlm::test::RunOutOfDescriptors([&] {
            try {
                return qlm::MeasurePicture(path, kBox).opened ? 1 : 2;
            } catch (const qlm::DecodeError& error) {
                return error.what() == expected ? 0 : 3;
            }
        });
        EXPECT_EQ(outcome, 0) << name << " (1: measured, 2: taken for a missing file, 3: another failure)";
    }
}

} // namespace

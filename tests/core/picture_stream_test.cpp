// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures are read from their files piece by piece: what follows a picture costs neither memory
// nor time, pictures larger than one piece come out whole, a file cut short ends as its decoder
// ends it, and a file that shrinks while it is read or whose picture goes on too far is refused.

#include "core/gif_decoder.h"
#include "core/gif_encoder.h"
#include "core/jpeg_decoder.h"
#include "core/jpeg_encoder.h"
#include "core/picture_limits.h"
#include "core/picture_loader.h"
#include "core/picture_measure.h"
#include "core/picture_source.h"
#include "core/png_decoder.h"
#include "core/png_encoder.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path kPictures = fs::path(QLM_TEST_DATA_DIR) / "pictures";

// Sets the file's size without writing: the bytes added are zeros that take no room on disk.
bool Resize(const std::string& path, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY);
    const bool done = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    if (fd >= 0)
        ::close(fd);
    return done;
}

// 200 colours scattered at random, so that every encoder's output spans several pieces of the
// file and the GIF keeps every colour exactly.
qlm::Image Noise(int width, int height) {
    qlm::Image image;
    image.width = width;
    image.height = height;
    image.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    std::uint32_t state = 20261207;
    for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
        state = state * 1664525u + 1013904223u;
        const std::uint32_t colour = (state >> 8) % 200;
        image.rgba[i] = static_cast<std::uint8_t>(colour * 37);
        image.rgba[i + 1] = static_cast<std::uint8_t>(colour * 11);
        image.rgba[i + 2] = static_cast<std::uint8_t>(colour);
        image.rgba[i + 3] = 255;
    }
    return image;
}

TEST(PictureStreaming, PaddingBehindAPictureCostsNoMemory) {
    qlm::test::TempFolder dir;
    // In a child, so that the peak memory is this test's alone.
    const pid_t child = ::fork();
    if (child == 0) {
        int failures = 0;
        for (const char* name : {"quadrants.jpg", "quadrants.png", "quadrants.gif"}) {
            const std::string path = dir / name;
            fs::copy_file(kPictures / name, path);
            // Just under the old limit of what was read whole, and far beyond it.
            for (const std::uint64_t size : {std::uint64_t{1000} << 20, std::uint64_t{1536} << 20}) {
                struct rusage before {};
                ::getrusage(RUSAGE_SELF, &before);
                failures += !Resize(path, size);
                const qlm::Picture picture = qlm::LoadPicture(path, 0);
                const qlm::Picture measured = qlm::MeasurePicture(path, 1);
                failures += picture.width != 64 || picture.height != 48 || measured.width != 64;
                struct rusage after {};
                ::getrusage(RUSAGE_SELF, &after);
                failures += after.ru_maxrss - before.ru_maxrss > 50 * 1024;
            }
            ::unlink(path.c_str());
        }
        ::_exit(failures == 0 ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a padded picture failed or cost memory";
}

struct BigCase {
    const char* name;
    std::string (*encode)(const qlm::Image&);
    bool lossless;
    const char* cut_error; // nullptr: a picture cut short shows what it has
};

std::string Jpeg(const qlm::Image& image) {
    return qlm::EncodeJpeg(image, 95);
}

class PicturesOfManyPieces : public testing::TestWithParam<BigCase> {};

TEST_P(PicturesOfManyPieces, DecodeWholeAndEndAsCutShort) {
    const BigCase& c = GetParam();
    qlm::test::TempFolder dir;
    const qlm::Image noise = Noise(600, 300);
    const std::string bytes = c.encode(noise);
    // Its half reaches beyond the first piece read.
    ASSERT_GT(bytes.size(), std::size_t{2} << 16);
    const std::string whole = dir.Put(std::string("ganz.") + c.name, bytes);
    const qlm::Picture picture = qlm::LoadPicture(whole, 0);
    EXPECT_EQ(picture.width, 600);
    EXPECT_EQ(picture.height, 300);
    if (c.lossless) {
        EXPECT_TRUE(picture.image.rgba == noise.rgba);
    }

    const std::string cut = dir.Put(std::string("halb.") + c.name, bytes.substr(0, bytes.size() / 2));
    if (c.cut_error == nullptr) {
        EXPECT_EQ(qlm::LoadPicture(cut, 0).height, 300);
        return;
    }
    try {
        qlm::LoadPicture(cut, 0);
        ADD_FAILURE() << "the half file decoded";
    } catch (const qlm::DecodeError& error) {
        EXPECT_NE(std::string(error.what()).find(c.cut_error), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, PicturesOfManyPieces,
                         testing::Values(BigCase{"jpg", Jpeg, false, nullptr},
                                         BigCase{"png", qlm::EncodePng, true, "endet vorzeitig"},
                                         BigCase{"gif", qlm::EncodeGif, true, "endet vorzeitig"}),
                         qlm::kRowName);

// The Exif block is read by the decoder itself; lying across the end of the first piece read, it
// still turns the picture upright.
TEST(PictureStreaming, AnExifBlockAcrossTwoPiecesStillTurnsThePicture) {
    qlm::test::TempFolder dir;
    const std::string original = qlm::test::ReadFile((kPictures / "exif_orientation_6.jpg").string());
    ASSERT_EQ(original.compare(2, 2, "\xFF\xE1"), 0);
    // An APP2 segment in front moves the Exif block to 20 bytes before the first 64 KB end.
    const std::size_t payload = 65536 - 20 - 2 - 4;
    std::string bytes = original.substr(0, 2) + "\xFF\xE2";
    bytes += static_cast<char>((payload + 2) >> 8);
    bytes += static_cast<char>((payload + 2) & 0xFF);
    bytes += std::string(payload, 'p') + original.substr(2);
    const std::string path = dir.Put("gedreht.jpg", bytes);
    const qlm::Picture plain = qlm::LoadPicture((kPictures / "exif_orientation_6.jpg").string(), 0);
    const qlm::Picture moved = qlm::LoadPicture(path, 0);
    const qlm::Picture measured = qlm::MeasurePicture(path, 1);
    EXPECT_GT(plain.height, plain.width);
    EXPECT_EQ(moved.width, plain.width);
    EXPECT_EQ(moved.height, plain.height);
    EXPECT_TRUE(moved.image.rgba == plain.image.rgba);
    EXPECT_EQ(measured.height, plain.height);
}

// A file that becomes shorter while it is read is refused as unreadable, even where a file that
// simply ends there would show what it has (a JPEG); one that grows is read as far as its picture.
TEST(PictureStreaming, AFileThatShrinksWhileReadIsRefusedOneThatGrowsIsRead) {
    qlm::test::TempFolder dir;
    const qlm::Image noise = Noise(400, 300);
    using Decode = qlm::Picture (*)(qlm::PictureSource&, int);
    const std::pair<std::string, Decode> files[] = {
        {dir.Put("bild.jpg", qlm::EncodeJpeg(noise, 95)), qlm::DecodeJpeg},
        {dir.Put("bild.png", qlm::EncodePng(noise)), qlm::DecodePng},
        {dir.Put("bild.gif", qlm::EncodeGif(noise)), qlm::DecodeGif}};
    for (const auto& [path, decode] : files) {
        SCOPED_TRACE(path);
        const std::uint64_t size = fs::file_size(path);
        {
            qlm::PictureSource source;
            ASSERT_EQ(source.Open(path), 0);
            ASSERT_TRUE(source.Fill()); // the first piece is read
            ASSERT_TRUE(Resize(path, size + (std::uint64_t{1} << 20)));
            EXPECT_EQ(decode(source, 0).height, 300);
        }
        qlm::PictureSource source;
        ASSERT_EQ(source.Open(path), 0);
        ASSERT_TRUE(source.Fill());
        ASSERT_TRUE(Resize(path, size / 2));
        try {
            decode(source, 0);
            ADD_FAILURE() << "decoded";
        } catch (const qlm::DecodeError& error) {
            EXPECT_NE(std::string(error.what()).find("beim Lesen kürzer"), std::string::npos) << error.what();
        }
    }
}

// Decoders read no further than 1024 MB into a file: a file of exactly that size ends normally,
// one byte more is refused with the file's size. Bytes passed over are not read, so this is fast.
TEST(PictureStreaming, ReadingStopsAtTheLimit) {
    using qlm::picture_limits::kMaxFileSize;
    qlm::test::TempFolder dir;
    const std::string path = dir.Put("riesig.png");
    const std::pair<std::uint64_t, const char*> cases[] = {
        {kMaxFileSize, nullptr}, {kMaxFileSize + 1, "1025"}, {kMaxFileSize + (kMaxFileSize >> 1), "1536"}};
    for (const auto& [size, megabytes] : cases) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(Resize(path, size));
        qlm::PictureSource source;
        ASSERT_EQ(source.Open(path), 0);
        source.Skip(kMaxFileSize - 10);
        std::uint8_t bytes[100];
        const std::size_t read = source.Read(bytes, sizeof bytes);
        EXPECT_TRUE(source.ended());
        if (megabytes == nullptr) {
            EXPECT_EQ(read, 10u);
            EXPECT_FALSE(source.failed());
        } else {
            EXPECT_EQ(read, 0u);
            EXPECT_EQ(source.failure(), std::string("Die Bilddatei ist zu groß (") + megabytes +
                                            " MB); gelesen werden höchstens 1024 MB.");
        }
    }
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// LoadPicture's outcomes: which files count as opened, which decoder a name gets, and how each
// damaged or oversized picture of our test data ends.

#include "core/picture_loader.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path kPictures = fs::path(QLM_TEST_DATA_DIR) / "pictures";

TEST(FormatForFileName, ChoosesByTheLastExtensionInAnyCase) {
    const std::pair<const char*, qlm::PictureFormat> cases[] = {
        {"BILD.JPG", qlm::PictureFormat::Jpeg},        {"/a/b/Urlaub.JpEg", qlm::PictureFormat::Jpeg},
        {"anim.GIF", qlm::PictureFormat::Gif},         {"t_zwei.punkte.Png", qlm::PictureFormat::Png},
        {"bild.jpg.txt", qlm::PictureFormat::Unknown}, {"bild.jpe", qlm::PictureFormat::Unknown},
        {"ohne_endung", qlm::PictureFormat::Unknown},  {"ordner.jpg/datei", qlm::PictureFormat::Unknown}};
    for (const auto& [name, format] : cases)
        EXPECT_EQ(qlm::FormatForFileName(name), format) << name;
}

TEST(LoadPictureOpening, OnlyARegularFileIsOpened) {
    qlm::test::TempFolder dir;
    ASSERT_TRUE(fs::create_directory(dir / "ordner.jpg"));
    // A named pipe must not block the program waiting for a writer.
    ASSERT_EQ(mkfifo((dir / "rohr.png").c_str(), 0600), 0);
    for (const char* name : {"fehlt.jpg", "fehlt.bmp", "ordner.jpg", "rohr.png"}) {
        const qlm::Picture picture = qlm::LoadPicture(dir / name, 273);
        EXPECT_FALSE(picture.opened) << name;
        EXPECT_EQ(picture.width, 0) << name;
        EXPECT_TRUE(picture.image.rgba.empty()) << name;
    }
}

TEST(LoadPictureOpening, UnreadableFileIsNotOpened) {
    qlm::test::TempFolder dir;
    fs::copy_file(kPictures / "quadrants.png", dir / "gesperrt.png");
    fs::permissions(dir / "gesperrt.png", fs::perms::none);
    if (access((dir / "gesperrt.png").c_str(), R_OK) == 0)
        GTEST_SKIP() << "running with rights that read any file";
    EXPECT_FALSE(qlm::LoadPicture(dir / "gesperrt.png", 273).opened);
}

// What each picture must give: decoded with its natural size, or a DecodeError whose message
// names the reason.
struct DataCase {
    std::string file;
    int box;
    int width = 0; // expected natural size when decoded
    int height = 0;
    const char* error = nullptr; // expected part of the message when refused ("" for any)
};

void ExpectOutcome(const DataCase& c, const std::string& path) {
    SCOPED_TRACE(c.file);
    if (c.error == nullptr) {
        const qlm::Picture picture = qlm::LoadPicture(path, c.box);
        ASSERT_TRUE(picture.opened);
        EXPECT_EQ(picture.width, c.width);
        EXPECT_EQ(picture.height, c.height);
        EXPECT_GT(picture.image.width, 0);
        EXPECT_EQ(picture.image.rgba.size(), std::size_t(picture.image.width) * picture.image.height * 4);
        return;
    }
    try {
        qlm::LoadPicture(path, c.box);
        ADD_FAILURE() << c.file << " decoded";
    } catch (const qlm::DecodeError& error) {
        EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
    }
}

TEST(LoadPictureOpening, TheExtensionDecidesNotTheContent) {
    qlm::test::TempFolder dir;
    // A PNG named .jpg goes to the JPEG decoder, which refuses it; an unknown extension is refused
    // once the file could be opened.
    fs::copy_file(kPictures / "quadrants.png", dir / "falsch.jpg");
    fs::copy_file(kPictures / "quadrants.png", dir / "bild.bmp");
    fs::copy_file(kPictures / "quadrants.jpg", dir / "Bild.JPEG");
    ExpectOutcome({"falsch.jpg", 273, 0, 0, ""}, dir / "falsch.jpg");
    ExpectOutcome({"bild.bmp", 273, 0, 0, "bmp"}, dir / "bild.bmp");
    ExpectOutcome({"Bild.JPEG", 0, 64, 48}, dir / "Bild.JPEG");
}

// A file of 1000 MB named like a picture but starting like none (here: all zero bytes, stored
// sparsely) is refused from its first bytes: the run's memory grows by nothing like its size.
TEST(LoadPictureDamage, HugeFileThatIsNoPictureIsRefusedFromItsStart) {
    qlm::test::TempFolder dir;
    for (const char* name : {"t_riesig.jpg", "riesig.png", "riesig.gif"}) {
        const std::string path = dir / name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t{1000} << 20), 0);
        ::close(fd);
        struct rusage before {};
        ::getrusage(RUSAGE_SELF, &before);
        EXPECT_THROW(qlm::LoadPicture(path, 1), qlm::DecodeError) << name;
        struct rusage after {};
        ::getrusage(RUSAGE_SELF, &after);
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 50 * 1024) << name << ": peak grew by KB";
        ::unlink(path.c_str());
    }
}

TEST(LoadPictureDamage, JpegEndingInsideItsExifBlockIsRefused) {
    qlm::test::TempFolder dir;
    fs::copy_file(kPictures / "exif_orientation_6.jpg", dir / "ganz.jpg");
    dir.Put("abgeschnitten.jpg", dir.Get("ganz.jpg").substr(0, 30));
    ExpectOutcome({"abgeschnitten.jpg", 273, 0, 0, ""}, dir / "abgeschnitten.jpg");
}

class OwnPictures : public testing::TestWithParam<DataCase> {};

TEST_P(OwnPictures, DecodeOrFailAsExpected) {
    ExpectOutcome(GetParam(), (kPictures / GetParam().file).string());
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, OwnPictures,
    testing::Values(DataCase{"zero_length.jpg", 273, 0, 0, "Empty input file"},
                    DataCase{"zero_length.png", 273, 0, 0, "leer"},
                    DataCase{"zero_length.gif", 273, 0, 0, "leer"},
                    DataCase{"truncated_header.jpg", 273, 0, 0, "endet vor den Bilddaten"},
                    // Data missing inside the scan is shown as far as it goes.
                    DataCase{"truncated_scan.jpg", 273, 64, 48},
                    DataCase{"too_many_warnings.jpg", 273, 0, 0, "mehr als 100 Fehler"},
                    DataCase{"too_many_scans.jpg", 273, 0, 0, "mehr als 100 Teilbildern"},
                    DataCase{"png_truncated.png", 273, 0, 0, "endet vorzeitig"},
                    DataCase{"png_bad_crc.png", 273, 0, 0, "CRC"},
                    DataCase{"gif_truncated.gif", 273, 0, 0, "endet vorzeitig"},
                    DataCase{"gif_no_colormap.gif", 273, 0, 0, "Farbtabelle"},
                    DataCase{"gif_no_image.gif", 273, 0, 0, "kein Bild"}));

INSTANTIATE_TEST_SUITE_P(
    Sizes, OwnPictures,
    testing::Values(DataCase{"huge_dimensions.jpg", 273, 0, 0, "65000 x 65000"},
                    DataCase{"huge_dimensions.png", 273, 0, 0, "100000 x 100000"},
                    DataCase{"huge_dimensions.gif", 273, 0, 0, "65535 x 65535"},
                    DataCase{"gif_huge_frame.gif", 273, 0, 0, "60000 x 60000"},
                    // Every pixel of 150 megapixels would need too much memory; reduced it is fine.
                    DataCase{"huge_baseline.jpg", 0, 0, 0, "Speicher"},
                    DataCase{"huge_baseline.jpg", 273, 15000, 10000},
                    // Progressive: the coefficients alone would need too much, however small the output.
                    DataCase{"huge_progressive.jpg", 1, 0, 0, "Speicher"}));

} // namespace

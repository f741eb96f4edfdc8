// LoadPicture's outcomes: which files count as opened, which decoder a name gets, and how each
// damaged or oversized picture of our test data ends.

#include "core/picture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path kPictures = fs::path(QLM_TEST_DATA_DIR) / "pictures";

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "qlm_picture_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("no temporary folder");
        }
        path_ = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

struct FormatCase {
    const char* name;
    qlm::PictureFormat format;
};

class FormatForFileNameTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatForFileNameTest, ChoosesByExtensionInAnyCase) {
    EXPECT_EQ(qlm::FormatForFileName(GetParam().name), GetParam().format) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, FormatForFileNameTest,
                         testing::Values(FormatCase{"BILD.JPG", qlm::PictureFormat::Jpeg},
                                         FormatCase{"bild.jpeg", qlm::PictureFormat::Jpeg},
                                         FormatCase{"/a/b/Urlaub.JpEg", qlm::PictureFormat::Jpeg},
                                         FormatCase{"anim.GIF", qlm::PictureFormat::Gif},
                                         FormatCase{"logo.Png", qlm::PictureFormat::Png},
                                         FormatCase{"t_zwei.punkte.png", qlm::PictureFormat::Png},
                                         FormatCase{"bild.jpg.txt", qlm::PictureFormat::Unknown},
                                         FormatCase{"bild.jpe", qlm::PictureFormat::Unknown},
                                         FormatCase{"ohne_endung", qlm::PictureFormat::Unknown},
                                         FormatCase{"ordner.jpg/datei", qlm::PictureFormat::Unknown},
                                         FormatCase{"bild.", qlm::PictureFormat::Unknown},
                                         FormatCase{"", qlm::PictureFormat::Unknown}));

TEST(LoadPictureOpening, MissingFileIsNotOpenedAndThrowsNothing) {
    TempDir dir;
    const qlm::Picture picture = qlm::LoadPicture((dir.path() / "fehlt.jpg").string(), 273);
    EXPECT_FALSE(picture.opened);
    EXPECT_EQ(picture.width, 0);
    EXPECT_TRUE(picture.image.rgba.empty());
}

TEST(LoadPictureOpening, FolderOrPipeWithPictureNameIsNotOpened) {
    TempDir dir;
    ASSERT_TRUE(fs::create_directory(dir.path() / "ordner.jpg"));
    EXPECT_FALSE(qlm::LoadPicture((dir.path() / "ordner.jpg").string(), 273).opened);
    // A named pipe must not block the program waiting for a writer.
    ASSERT_EQ(mkfifo((dir.path() / "rohr.png").c_str(), 0600), 0);
    EXPECT_FALSE(qlm::LoadPicture((dir.path() / "rohr.png").string(), 273).opened);
}

TEST(LoadPictureOpening, UnreadableFileIsNotOpened) {
    TempDir dir;
    const fs::path copy = dir.path() / "gesperrt.png";
    fs::copy_file(kPictures / "quadrants.png", copy);
    fs::permissions(copy, fs::perms::none);
    if (access(copy.c_str(), R_OK) == 0) {
        GTEST_SKIP() << "running with rights that read any file";
    }
    EXPECT_FALSE(qlm::LoadPicture(copy.string(), 273).opened);
}

TEST(LoadPictureOpening, UpperCaseAndLongExtensionsDecodeAsJpeg) {
    TempDir dir;
    for (const char* name : {"BILD.JPG", "bild.jpeg", "Bild.JPEG"}) {
        fs::copy_file(kPictures / "quadrants.jpg", dir.path() / name);
        const qlm::Picture picture = qlm::LoadPicture((dir.path() / name).string(), 0);
        EXPECT_TRUE(picture.opened) << name;
        EXPECT_EQ(picture.width, 64) << name;
        EXPECT_EQ(picture.height, 48) << name;
    }
}

TEST(LoadPictureOpening, ExtensionDecidesNotContent) {
    TempDir dir;
    // A PNG named .jpg goes to the JPEG decoder, which refuses it; an unknown extension is refused
    // once the file could be opened.
    fs::copy_file(kPictures / "quadrants.png", dir.path() / "falsch.jpg");
    EXPECT_THROW(qlm::LoadPicture((dir.path() / "falsch.jpg").string(), 273), qlm::DecodeError);
    fs::copy_file(kPictures / "quadrants.png", dir.path() / "bild.bmp");
    try {
        qlm::LoadPicture((dir.path() / "bild.bmp").string(), 273);
        ADD_FAILURE() << "no DecodeError";
    } catch (const qlm::DecodeError& error) {
        EXPECT_NE(std::string(error.what()).find("bmp"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(qlm::LoadPicture((dir.path() / "fehlt.bmp").string(), 273).opened);
}

TEST(LoadPictureDamage, JpegEndingInsideItsExifBlockIsRefused) {
    TempDir dir;
    std::ifstream in(kPictures / "exif_orientation_6.jpg", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const fs::path cut = dir.path() / "abgeschnitten.jpg";
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, 30);
    EXPECT_THROW(qlm::LoadPicture(cut.string(), 273), qlm::DecodeError);
}

// What each of our own test pictures must give: decoded with its natural size, or a DecodeError
// whose message names the reason.
struct DataCase {
    const char* file;
    int box;
    int width = 0; // expected natural size when decoded
    int height = 0;
    const char* error = nullptr; // expected part of the message when refused
};

class OwnPictures : public testing::TestWithParam<DataCase> {};

TEST_P(OwnPictures, DecodeOrFailAsExpected) {
    const DataCase& c = GetParam();
    const std::string path = (kPictures / c.file).string();
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

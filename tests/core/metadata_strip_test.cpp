// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures tagged by exiftool with everything that locates or identifies, stripped for
// publishing and read again by exiftool: none of it is left, the orientation, author, copyright
// and colour profile are, and the pixels decode exactly as before.

#include "core/metadata_strip.h"
#include "core/picture_loader.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const fs::path kPictures = fs::path(QLM_TEST_DATA_DIR) / "pictures";

// What exiftool writes into each test picture; every tag of it that is found again in the
// published file is a leak.
const char* const kIdentifying =
    "-GPSLatitude=54.3 -GPSLatitudeRef=N -GPSLongitude=10.1 -GPSLongitudeRef=E -SerialNumber=4711 "
    "-LensSerialNumber=4712 -InternalSerialNumber=4713 -OwnerName=Olga -Make=Kamerawerk -Model=K1 "
    "-MakerNotes= -Comment=Geheim -XMP:City=Kiel -XMP:State=SH -XMP:Country=Deutschland "
    "-XMP:Location=Hafen -XMP:Creator=Anna -Artist=Anna -Copyright=Anna_2024";
const char* const kIptc = "-IPTC:City=Kiel -IPTC:Sub-location=Hafen -IPTC:Province-State=SH "
                          "-IPTC:Country-PrimaryLocationName=Deutschland -IPTC:By-line=Anna";
const std::vector<std::string> kLeaks = {"GPS",  "SerialNumber", "OwnerName",   "Kamerawerk", "Geheim",
                                         "Kiel", "Hafen",        "Deutschland", "Olga",       "IPTC",
                                         "XMP",  "IFD1",         "Thumbnail",   "ExifIFD",    "Comment"};

std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            text.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return text;
}

bool HaveExiftool() {
    return std::system("exiftool -ver >/dev/null 2>&1") == 0;
}

// Tags `file` with exiftool's `arguments`; false when exiftool refused.
bool Tag(const std::string& file, const std::string& arguments) {
    return std::system(("exiftool -q -q -overwrite_original " + arguments + " '" + file + "'").c_str()) == 0;
}

std::string Tags(const std::string& file) {
    return Output("exiftool -j -a -G1 '" + file + "'");
}

void ExpectNoLeak(const std::string& tags) {
    for (const std::string& leak : kLeaks) {
        EXPECT_EQ(tags.find(leak), std::string::npos) << leak << " left in " << tags;
    }
}

// The orientation exiftool reads (its words for it), the author and the copyright notice.
void ExpectKept(const std::string& tags, const std::string& orientation) {
    for (const std::string& kept : {"\"IFD0:Orientation\": \"" + orientation + "\"",
                                    "\"IFD0:Artist\": \"Anna\""s, "\"IFD0:Copyright\": \"Anna_2024\""s}) {
        EXPECT_NE(tags.find(kept), std::string::npos) << kept << " missing in " << tags;
    }
}

void ExpectSamePixels(const std::string& original, const std::string& published) {
    const qlm::Picture before = qlm::LoadPicture(original, 0);
    const qlm::Picture after = qlm::LoadPicture(published, 0);
    ASSERT_TRUE(before.opened && after.opened);
    EXPECT_EQ(after.width, before.width);
    EXPECT_EQ(after.height, before.height);
    EXPECT_TRUE(after.image.rgba == before.image.rgba) << "the pixels changed";
}

// The test picture `name` copied into `dir` and tagged, with `tail` appended after its end.
std::string Tagged(const qlm::test::TempFolder& dir, const std::string& name, const std::string& arguments,
                   const std::string& tail) {
    const std::string file = dir / ("tagged_" + name);
    fs::copy_file(kPictures / name, file);
    if (!Tag(file, arguments)) {
        ADD_FAILURE() << "exiftool did not tag " << name;
    }
    qlm::test::WriteFile(file, qlm::test::ReadFile(file) + tail);
    return file;
}

std::string Publish(const qlm::test::TempFolder& dir, const std::string& tagged, const std::string& name) {
    return dir.Put(name, qlm::StripForPublishing(qlm::test::ReadFile(tagged)));
}

class StripWithExiftool : public testing::Test {
  protected:
    void SetUp() override {
        if (!HaveExiftool()) {
            GTEST_SKIP() << "exiftool is not installed";
        }
    }
    qlm::test::TempFolder dir_;
};

TEST_F(StripWithExiftool, JpegKeepsOrientationAuthorCopyrightAndCompressedData) {
    const std::string tail = "\xFF\xD8 a second picture after the end";
    const std::string tagged = Tagged(dir_, "exif_orientation_6.jpg",
                                      std::string(kIdentifying) + " " + kIptc + " '-ThumbnailImage<=" +
                                          (kPictures / "quadrants.jpg").string() + "'",
                                      tail);
    const std::string before = Tags(tagged);
    ASSERT_NE(before.find("GPS:GPSLatitude"), std::string::npos) << before;
    ASSERT_NE(before.find("IFD1:ThumbnailImage"), std::string::npos) << before;

    const std::string published = Publish(dir_, tagged, "published.jpg");
    const std::string after = Tags(published);
    ExpectNoLeak(after);
    ExpectKept(after, "Rotate 90 CW");
    EXPECT_NE(after.find("\"File:ExifByteOrder\": \"Little-endian"), std::string::npos) << after;
    ExpectSamePixels(tagged, published);

    // From the scan (the picture's only one, after the preview's) to EOI the bytes are the
    // original's; what followed EOI is gone.
    const std::string original = qlm::test::ReadFile(tagged);
    const std::string stripped = qlm::test::ReadFile(published);
    const std::string scan = original.substr(original.rfind("\xFF\xDA"));
    EXPECT_TRUE(stripped.substr(stripped.find("\xFF\xDA")) == scan.substr(0, scan.size() - tail.size()));
}

TEST_F(StripWithExiftool, JpegWithoutKeptTagsLosesItsExifBlock) {
    const std::string tagged =
        Tagged(dir_, "quadrants.jpg", "-GPSLatitude=54.3 -SerialNumber=1 -Comment=Geheim", "");
    const std::string stripped = qlm::StripForPublishing(qlm::test::ReadFile(tagged));
    EXPECT_EQ(stripped.find("Exif"), std::string::npos);
    EXPECT_EQ(Tags(dir_.Put("published.jpg", stripped)).find("GPS"), std::string::npos);
}

TEST_F(StripWithExiftool, PngKeepsItsRebuiltExifAndDropsTextChunks) {
    const std::string tagged = Tagged(dir_, "quadrants.png", std::string(kIdentifying) + " -Orientation#=3",
                                      "trailing bytes after IEND");
    const std::string before = Tags(tagged);
    ASSERT_NE(before.find("GPS:GPSLatitude"), std::string::npos) << before;
    ASSERT_NE(before.find("PNG:Comment"), std::string::npos) << before;

    const std::string published = Publish(dir_, tagged, "published.png");
    const std::string after = Tags(published);
    ExpectNoLeak(after);
    ExpectKept(after, "Rotate 180");
    EXPECT_EQ(after.find("Warning"), std::string::npos) << after;
    ExpectSamePixels(tagged, published);
    EXPECT_TRUE(qlm::test::ReadFile(published).ends_with(std::string("IEND\xAE\x42\x60\x82", 8)));
}

TEST_F(StripWithExiftool, GifDropsCommentsAndXmp) {
    const std::string tagged = Tagged(
        dir_, "quadrants.gif", "-Comment=Geheim -XMP:City=Kiel -XMP:Location=Hafen", "after the trailer");
    const std::string before = Tags(tagged);
    ASSERT_NE(before.find("Geheim"), std::string::npos) << before;
    ASSERT_NE(before.find("XMP-photoshop:City"), std::string::npos) << before;

    const std::string published = Publish(dir_, tagged, "published.gif");
    const std::string after = Tags(published);
    ExpectNoLeak(after);
    EXPECT_EQ(after.find("Warning"), std::string::npos) << after;
    ExpectSamePixels(tagged, published);
    EXPECT_EQ(qlm::test::ReadFile(published), qlm::test::ReadFile(kPictures / "quadrants.gif"));
}

} // namespace

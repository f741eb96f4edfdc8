// SPDX-License-Identifier: GPL-3.0-or-later
// Every picture of the collections made by others (PngSuite, libjpeg-turbo's and giflib's test
// pictures, damaged PNGs from another decoder's bug reports) ends as a decoded picture of the
// size its header states, or as a DecodeError; never as a crash.

#include "core/picture_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kThirdParty = fs::path(QLM_TEST_DATA_DIR) / "thirdparty";

std::vector<std::string> PictureFiles() {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(kThirdParty)) {
        if (entry.is_regular_file() &&
            qlm::FormatForFileName(entry.path().filename().string()) != qlm::PictureFormat::Unknown) {
            files.push_back(fs::relative(entry.path(), kThirdParty).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<unsigned char> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Expected {
    bool decodes = false;
    int width = 0;
    int height = 0;
};

// What each file should give, read from the file's own header or known from its collection:
// PngSuite files starting with "x" and the other decoder's "x_" files are broken on purpose;
// the 12-bit JPEG is not readable by an 8-bit library; libjpeg-turbo's test pictures are 227 x 149.
Expected ExpectedFor(const std::string& relative) {
    const fs::path path = kThirdParty / relative;
    const std::string name = path.filename().string();
    const std::vector<unsigned char> bytes = ReadBytes(path);
    auto big32 = [&](std::size_t at) {
        return int(bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]);
    };
    if (name.ends_with(".png")) {
        const bool broken = (path.parent_path().filename() == "pngsuite" && name.starts_with("x")) ||
                            name.starts_with("imagers_x_");
        if (broken) {
            return {};
        }
        return {true, big32(16), big32(20)}; // IHDR
    }
    if (name.ends_with(".gif")) {
        return {true, bytes[6] | bytes[7] << 8, bytes[8] | bytes[9] << 8}; // logical screen
    }
    if (name == "ljt_monkey12.jpg") {
        return {};
    }
    return {true, 227, 149};
}

class ThirdPartyPictures : public testing::TestWithParam<std::string> {};

TEST_P(ThirdPartyPictures, DecodeToHeaderSizeOrRefuse) {
    const Expected expected = ExpectedFor(GetParam());
    const std::string path = (kThirdParty / GetParam()).string();
    for (const int box : {0, 16, 1}) {
        SCOPED_TRACE(testing::Message() << "box " << box);
        if (!expected.decodes) {
            EXPECT_THROW(qlm::LoadPicture(path, box), qlm::DecodeError);
            continue;
        }
        qlm::Picture picture;
        try {
            picture = qlm::LoadPicture(path, box);
        } catch (const qlm::DecodeError& error) {
            FAIL() << error.what();
        }
        ASSERT_TRUE(picture.opened);
        EXPECT_EQ(picture.width, expected.width);
        EXPECT_EQ(picture.height, expected.height);
        ASSERT_EQ(picture.image.rgba.size(), std::size_t(picture.image.width) * picture.image.height * 4);
        const int longer = std::max(picture.width, picture.height);
        const int drawn_longer = box > 0 ? std::min(longer, box) : longer;
        EXPECT_GE(std::max(picture.image.width, picture.image.height), drawn_longer);
        EXPECT_LE(picture.image.width, picture.width);
        EXPECT_LE(picture.image.height, picture.height);
    }
}

INSTANTIATE_TEST_SUITE_P(All, ThirdPartyPictures, testing::ValuesIn(PictureFiles()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                             std::string name = param_info.param;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

TEST(ThirdPartyCollection, HoldsEveryExpectedPictureAndNamesTheTwelveBitJpeg) {
    // Guards against a lost or renamed folder making the table above silently small.
    const std::vector<std::string> files = PictureFiles();
    for (const auto& [extension, count] :
         {std::pair<const char*, int>{".png", 181}, {".jpg", 4}, {".gif", 8}})
        EXPECT_EQ(std::count_if(files.begin(), files.end(),
                                [ending = extension](const auto& f) { return f.ends_with(ending); }),
                  count)
            << extension;
    try {
        qlm::LoadPicture((kThirdParty / "jpeg" / "ljt_monkey12.jpg").string(), 273);
        FAIL() << "decoded";
    } catch (const qlm::DecodeError& error) {
        EXPECT_NE(std::string(error.what()).find("12 Bit"), std::string::npos) << error.what();
    }
}

} // namespace

namespace {

// The passes of an interlaced PNG go straight into the reduced picture: every interlaced file of
// the suite reduces to exactly what its plain twin reduces to, whatever the factor.
class InterlacedTwin : public testing::TestWithParam<const char*> {};

TEST_P(InterlacedTwin, ReducesExactlyAsThePlainFile) {
    const std::string folder = QLM_TEST_DATA_DIR "/thirdparty/png/pngsuite/";
    const std::string name = GetParam();
    for (int box : {1, 5, 11, 16}) {
        const qlm::Picture interlaced = qlm::LoadPicture(folder + "basi" + name, box);
        const qlm::Picture plain = qlm::LoadPicture(folder + "basn" + name, box);
        ASSERT_TRUE(interlaced.opened && plain.opened) << name;
        EXPECT_EQ(interlaced.image.width, plain.image.width) << name << " box " << box;
        EXPECT_EQ(interlaced.image.height, plain.image.height) << name << " box " << box;
        EXPECT_EQ(interlaced.image.rgba, plain.image.rgba) << name << " box " << box;
    }
}

INSTANTIATE_TEST_SUITE_P(PngSuite, InterlacedTwin,
                         testing::Values("0g01.png", "0g08.png", "0g16.png", "2c08.png", "2c16.png",
                                         "3p01.png", "3p08.png", "4a08.png", "4a16.png", "6a08.png",
                                         "6a16.png"));

} // namespace

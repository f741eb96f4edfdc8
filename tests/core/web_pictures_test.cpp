// SPDX-License-Identifier: GPL-3.0-or-later
// The image tag with web copies and the copies a run finds: the tag's attributes with and without
// copies, srcset order and widths for wide and tall pictures, names that would break a srcset, and
// which files of the copy folder are offered for a picture.

#include "core/jpeg_encoder.h"
#include "core/png_encoder.h"
#include "core/web_pictures.h"
#include "platform/globals.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qlm {
namespace {

using test::TempFolder;

std::string Names(const std::vector<WebCopy>& copies) {
    std::string names;
    for (const WebCopy& copy : copies)
        names += copy.file_name + "=" + std::to_string(copy.width) + "x" + std::to_string(copy.height) + " ";
    return names;
}

Image Grey(int width, int height) {
    Image image;
    image.width = width;
    image.height = height;
    image.rgba.assign(static_cast<std::size_t>(width) * height * 4, 128);
    return image;
}

// --- The tag ---------------------------------------------------------------------------------

TEST(WebPictureTag, WithoutCopiesItIsThePlainTagOfTheOriginalAlwaysWithAnAltAttribute) {
    const WebPicture web = MakeWebPicture("a.jpg", 640, 427, {}, "Der See");
    EXPECT_EQ(web.tag, "<img src=\"a.jpg\" width=\"640\" height=\"427\" alt=\"Der See\">");
    EXPECT_EQ(web.file, "a.jpg");
    EXPECT_EQ(web.width, 640);
    EXPECT_EQ(web.height, 427);
    EXPECT_EQ(web.srcset, "a.jpg 640w");
    EXPECT_EQ(MakeWebPicture("a.jpg", 640, 427, {}, "").tag,
              "<img src=\"a.jpg\" width=\"640\" height=\"427\" alt=\"\">");
}

TEST(WebPictureTag, APhoneGetsTheNarrowestCopyAndTheSrcsetOffersEveryCopyAndTheOriginal) {
    const WebPicture web = MakeWebPicture(
        "Elefanten.jpg", 5640, 3172, {{"Elefanten_800.jpg", 800, 450}, {"Elefanten_1600.jpg", 1600, 900}},
        "Zwei Elefanten");
    EXPECT_EQ(web.tag, "<img src=\"qlm-web/Elefanten_800.jpg\" srcset=\"qlm-web/Elefanten_800.jpg 800w, "
                       "qlm-web/Elefanten_1600.jpg 1600w, Elefanten.jpg 5640w\" "
                       "sizes=\"(max-width: 5640px) 100vw, 5640px\" width=\"5640\" height=\"3172\" "
                       "alt=\"Zwei Elefanten\">");
    EXPECT_EQ(web.file, "qlm-web/Elefanten_800.jpg");
    EXPECT_EQ(web.width, 800);
    EXPECT_EQ(web.height, 450);
}

TEST(WebPictureTag, ATallPictureIsOfferedByTheWidthsOfItsCopiesNotTheirLongerSides) {
    const WebPicture web = MakeWebPicture("turm.jpg", 3000, 4000,
                                          {{"turm_800.jpg", 600, 800}, {"turm_1600.jpg", 1200, 1600}}, "");
    EXPECT_EQ(web.srcset, "qlm-web/turm_800.jpg 600w, qlm-web/turm_1600.jpg 1200w, turm.jpg 3000w");
    EXPECT_NE(
        web.tag.find("sizes=\"(max-width: 3000px) 100vw, 3000px\" width=\"3000\" height=\"4000\" alt=\"\">"),
        std::string::npos)
        << web.tag;
    EXPECT_EQ(web.width, 600);
    EXPECT_EQ(web.height, 800);
}

TEST(WebPictureTag, NamesWithBlanksAndCommasStayOneCandidateEach) {
    // The links come as the page has them: markup escaped, "#" encoded.
    const WebPicture web = MakeWebPicture("Wald, Weg &amp; Bach %232.jpg", 2000, 1000,
                                          {{"Wald, Weg & Bach #2_800.jpg", 800, 400}}, "");
    EXPECT_EQ(web.srcset, "qlm-web/Wald%2C%20Weg%20&amp;%20Bach%20%232_800.jpg 800w, "
                          "Wald%2C%20Weg%20&amp;%20Bach%20%232.jpg 2000w");
    // src keeps the link as every other link of the page has it.
    EXPECT_EQ(web.file, "qlm-web/Wald, Weg &amp; Bach %232_800.jpg");
}

// --- The copies found ------------------------------------------------------------------------

class WebCopyIndexTest : public ::testing::Test {
  protected:
    void Copy(const std::string& name, int width, int height) {
        folder.MakeFolder("qlm-web");
        folder.Put("qlm-web/" + name, name.ends_with(".png") ? EncodePng(Grey(width, height))
                                                             : EncodeJpeg(Grey(width, height), 80));
    }
    TempFolder folder;
};

TEST_F(WebCopyIndexTest, AFolderWithoutCopiesOffersNone) {
    EXPECT_TRUE(WebCopyIndex(folder.Path()).CopiesOf("a.jpg", 400, 300).empty());
    folder.MakeFolder("qlm-web");
    EXPECT_TRUE(WebCopyIndex(folder.Path()).CopiesOf("a.jpg", 400, 300).empty());
}

TEST_F(WebCopyIndexTest, OnlyThePicturesOwnReadableSmallerCopiesOfItsShapeAreOfferedNarrowestFirst) {
    Copy("a_160.jpg", 160, 120);
    Copy("a_80.jpg", 80, 60);
    Copy("a_81.jpg", 80, 60);    // as wide as a_80: one copy per width
    Copy("a_80.png", 80, 60);    // the copy of "a.png"
    Copy("b_80.jpg", 80, 60);    // another picture's
    Copy("a_080.jpg", 80, 60);   // no copy's name
    Copy("a_100.jpg", 100, 100); // left from an earlier, square "a.jpg"
    Copy("a_400.jpg", 400, 300); // as large as the original
    folder.Put("qlm-web/a_120.jpg", "not a picture");
    const WebCopyIndex index(folder.Path());
    EXPECT_EQ(Names(index.CopiesOf("a.jpg", 400, 300)), "a_80.jpg=80x60 a_160.jpg=160x120 ");
    EXPECT_EQ(Names(index.CopiesOf("a.png", 400, 300)), "a_80.png=80x60 ");
    EXPECT_EQ(Names(index.CopiesOf("c.jpg", 400, 300)), "");
    // A picture that could not be measured gets no copies rather than ones of any size.
    EXPECT_EQ(Names(index.CopiesOf("a.jpg", 0, 0)), "");
}

// A copy that cannot be opened for want of descriptors is there all the same: leaving it out would
// take it off a page that offers it, so the failure goes to the run, which stops.
TEST_F(WebCopyIndexTest, ACopyThatCannotBeOpenedForWantOfDescriptorsIsNotLeftOut) {
    Copy("a_80.jpg", 80, 60);
    const WebCopyIndex index(folder.Path());
    const std::string expected = platform::GetErrorText(EMFILE);
    const int outcome = test::RunOutOfDescriptors([&] {
        try {
            return index.CopiesOf("a.jpg", 400, 300).empty() ? 1 : 2;
        } catch (const DecodeError& error) {
            return error.what() == expected ? 0 : 3;
        }
    });
    EXPECT_EQ(outcome, 0) << "1: left out, 2: offered, 3: another failure";
}

} // namespace
} // namespace qlm

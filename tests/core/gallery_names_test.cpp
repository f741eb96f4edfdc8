// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/gallery_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qlm {
namespace {

// What the run looks for, the makers write and Correct Names renames, for one picture each.
TEST(GalleryNames, CompanionsAreFormedFromTheNameUpToItsLastDot) {
    struct Case {
        const char* picture;
        bool thumbs_jpg;
        std::vector<std::string> companions; // thumbnail, text, page
    };
    const Case cases[] = {
        {"Wald 1.JPG", false, {"t_Wald 1.JPG", "Wald 1.txt", "Wald 1.html"}},
        {"Wald 1.JPG", true, {"t_Wald 1.jpg", "Wald 1.txt", "Wald 1.html"}},
        {"a.b.png", true, {"t_a.b.jpg", "a.b.txt", "a.b.html"}},
        {"a.b.png", false, {"t_a.b.png", "a.b.txt", "a.b.html"}},
        {"ohne Punkt", true, {"t_ohne Punkt.jpg", "ohne Punkt.txt", "ohne Punkt.html"}},
        {"ende.", false, {"t_ende.", "ende.txt", "ende.html"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.picture) + (c.thumbs_jpg ? " (thumbs as JPEG)" : ""));
        EXPECT_EQ(CompanionNames(c.picture, c.thumbs_jpg), c.companions);
        EXPECT_EQ(ThumbnailFileName(c.picture, c.thumbs_jpg), c.companions[0]);
        EXPECT_EQ(TextFileName(c.picture), c.companions[1]);
        EXPECT_EQ(PageFileName(c.picture), c.companions[2]);
    }
    // Pictures that differ only in their extension share text and page, and with thumbnails as
    // JPEG also the thumbnail.
    EXPECT_EQ(CompanionNames("a.gif", true), CompanionNames("a.png", true));
    EXPECT_NE(CompanionNames("a.gif", false), CompanionNames("a.png", false));
}

TEST(WebCopyNames, CopiesKeepThePicturesExtensionSoPicturesOfOneBaseNeverShareACopy) {
    EXPECT_EQ(WebCopyPath("Wald 1.JPG", 800), "qlm-web/Wald 1_800.JPG");
    EXPECT_EQ(WebCopyFileName("a.jpg", 1600), "a_1600.jpg");
    EXPECT_NE(WebCopyFileName("a.jpg", 800), WebCopyFileName("a.png", 800));
    EXPECT_NE(WebCopyFileName("a.jpg", 800), WebCopyFileName("a.jpeg", 800));
}

TEST(WebCopyNames, OnlyThePicturesOwnCopiesAreRecognised) {
    EXPECT_EQ(WebCopyLongSide("a.jpg", "a_800.jpg"), 800);
    EXPECT_EQ(WebCopyLongSide("a_800.jpg", "a_800_1600.jpg"), 1600);
    // The copies of another picture whose name begins alike are not this picture's.
    EXPECT_EQ(WebCopyLongSide("a.jpg", "a_800_1600.jpg"), std::nullopt);
    EXPECT_EQ(WebCopyLongSide("a.jpg", "a_800.png"), std::nullopt);
    EXPECT_EQ(WebCopyLongSide("a.jpg", "a_800.JPG"), std::nullopt);
    EXPECT_EQ(WebCopyLongSide("a.jpg", "a_.jpg"), std::nullopt);
    EXPECT_EQ(WebCopyLongSide("a.jpg", "a_0800.jpg"), std::nullopt);
    EXPECT_EQ(WebCopyLongSide("a.jpg", "a_-800.jpg"), std::nullopt);
    EXPECT_EQ(WebCopyLongSide("a.jpg", "a_99999999.jpg"), std::nullopt);
    EXPECT_EQ(WebCopyLongSide("a.jpg", "a.jpg"), std::nullopt);
}

} // namespace
} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/web_copy_names.h"

#include <gtest/gtest.h>

namespace qlm {
namespace {

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

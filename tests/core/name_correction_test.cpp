// SPDX-License-Identifier: GPL-3.0-or-later
// Web-safe picture names and the renaming of a picture with its companions.

#include "core/gallery_names.h"
#include "core/name_correction.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

namespace qlm {
namespace {

using test::TempFolder;

struct Step {
    std::uint32_t code_point; // the character searched, a Latin-1 code point
    const char* replacement;
};

// The 45 correction steps.
const Step kSteps[] = {
    {0x20, ""},   {0x2E, ""},   {0x3A, ""},   {0x3F, ""},   {0x23, ""},   {0x2A, ""},   {0x2B, ""},
    {0x22, ""},   {0xE4, "ae"}, {0xF6, "oe"}, {0xFC, "ue"}, {0xDF, "ss"}, {0xC4, "Ae"}, {0xD6, "Oe"},
    {0xDC, "Ue"}, {0xE1, "a"},  {0xE0, "a"},  {0xE2, "a"},  {0xE9, "e"},  {0xE8, "e"},  {0xEA, "e"},
    {0xED, "i"},  {0xEC, "i"},  {0xEE, "i"},  {0xF3, "o"},  {0xF2, "o"},  {0xF4, "o"},  {0xFA, "u"},
    {0xF9, "u"},  {0xFB, "u"},  {0xC1, "A"},  {0xC0, "A"},  {0xC2, "A"},  {0xC9, "E"},  {0xC8, "E"},
    {0xCA, "E"},  {0xCD, "I"},  {0xCC, "I"},  {0xCE, "I"},  {0xD3, "O"},  {0xD2, "O"},  {0xD4, "O"},
    {0xDA, "U"},  {0xD9, "U"},  {0xDB, "U"},
};

std::string Utf8(std::uint32_t c) {
    if (c < 0x80)
        return std::string(1, static_cast<char>(c));
    return {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
}

class CorrectionStepTest : public ::testing::TestWithParam<Step> {};

TEST_P(CorrectionStepTest, AppliesInBothEncodings) {
    const Step& step = GetParam();
    const std::string expected = std::string("a") + step.replacement + "b" + step.replacement;
    EXPECT_EQ(MyCorrectName("a" + Utf8(step.code_point) + "b" + Utf8(step.code_point)), expected);
    // A name that is not valid UTF-8 (the "\xFF" below) is read as Windows-1252 bytes.
    const std::string byte(1, static_cast<char>(step.code_point));
    EXPECT_EQ(MyCorrectName("a" + byte + "b" + byte + "\xFF"), expected + "\xFF");
}

INSTANTIATE_TEST_SUITE_P(Table, CorrectionStepTest, ::testing::ValuesIn(kSteps),
                         [](const auto& row) { return "U" + std::to_string(row.param.code_point); });

TEST(CorrectionTable, LeavesEveryOtherLatin1CharacterAlone) {
    for (std::uint32_t c = 1; c < 0x100; ++c) {
        if (std::any_of(std::begin(kSteps), std::end(kSteps),
                        [&](const Step& s) { return s.code_point == c; }))
            continue;
        if (c >= 0x80) { // as UTF-8 and as a lone byte
            EXPECT_EQ(MyCorrectName(Utf8(c)), Utf8(c)) << c;
        }
        EXPECT_EQ(MyCorrectName(std::string(1, static_cast<char>(c))), std::string(1, static_cast<char>(c)))
            << c;
    }
}

TEST(CorrectName, CorrectsOnlyTheBaseName) {
    const std::pair<std::string, std::string> cases[] = {
        {"Über Straße 1.jpg", "UeberStrasse1.jpg"},
        {"a.b.c.JPG", "abc.JPG"},
        {"Noël & Co.jpg", "Noël&Co.jpg"},
        {"Wer? Wie: \"so\" #1*2+3.gif", "WerWieso123.gif"},
        {"Ça ñ 東京.jpg", "Çañ東京.jpg"},
        {"\xDC\x62\x65r \xE9t\xE9.jpg", "Ueberete.jpg"}, // Windows-1252
        {"ohne Punkt", "ohnePunkt"},
        {".jpg", ".jpg"},
        {"ende.", "ende."}};
    for (const auto& [file_name, corrected] : cases) {
        std::string base, extension;
        SplitFileName(file_name, base, extension);
        EXPECT_EQ(MyCorrectName(base) + extension, corrected);
    }
}

struct RenameCase {
    const char* name;
    const char* files;     // each holding its own name, joined by "|"
    const char* old_bases; // renamed one after the other, joined by "|"
    const char* new_base;
    const char* extension;
    bool thumbs_jpg;
    const char* after; // the folder as "name=content|..."
};

class RenamePicTest : public ::testing::TestWithParam<RenameCase> {};

TEST_P(RenamePicTest, MovesWhatIsFree) {
    const auto& c = GetParam();
    TempFolder folder;
    for (const auto& file : test::Split(c.files))
        folder.Put(file, file);
    for (const auto& old_base : test::Split(c.old_bases))
        MyRenamePic(folder.Path(), old_base, c.new_base, c.extension, c.thumbs_jpg);
    EXPECT_EQ(folder.Listing(true), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenamePicTest,
    ::testing::Values(
        RenameCase{"PictureAndCompanions", "Ü 1.jpg|t_Ü 1.jpg|Ü 1.txt|Ü 1.html", "Ü 1", "Ue1", ".jpg", false,
                   "Ue1.html=Ü 1.html|Ue1.jpg=Ü 1.jpg|Ue1.txt=Ü 1.txt|t_Ue1.jpg=t_Ü 1.jpg"},
        // With "all thumbs JPG" the thumbnail gets the name the next gallery run looks for, also
        // when it was stored in capitals.
        RenameCase{"ThumbnailsAsJpgTakeTheNameTheRunLooksFor", "Bild 1.png|t_Bild 1.JPG|t_Bild 1.png",
                   "Bild 1", "Bild1", ".png", true,
                   "Bild1.png=Bild 1.png|t_Bild 1.png=t_Bild 1.png|t_Bild1.jpg=t_Bild 1.JPG"},
        // The exact old name wins over one that differs in case; that one is left alone.
        RenameCase{
            "ExactCompanionBeforeCaseVariant", "Bild 1.png|t_Bild 1.jpg|T_BILD 1.JPG|Bild 1.TXT", "Bild 1",
            "Bild1", ".png", true,
            "Bild1.png=Bild 1.png|Bild1.txt=Bild 1.TXT|T_BILD 1.JPG=T_BILD 1.JPG|t_Bild1.jpg=t_Bild 1.jpg"},
        // A picture whose new name is taken keeps its name, and so do all its companions: they
        // must not become the companions of the picture that holds the name.
        RenameCase{"AClashKeepsThePictureAndItsCompanions", "ab.jpg|a b.jpg|t_a b.jpg|a b.txt|a b.html",
                   "a b", "ab", ".jpg", false,
                   "a b.html=a b.html|a b.jpg=a b.jpg|a b.txt=a b.txt|ab.jpg=ab.jpg|t_a b.jpg=t_a b.jpg"},
        // Once the picture has moved, a companion whose new name is taken stays; the others move.
        RenameCase{"ACompanionWhoseNameIsTakenStays", "a b.jpg|t_a b.jpg|a b.txt|ab.txt|a b.html", "a b",
                   "ab", ".jpg", false,
                   "a b.txt=a b.txt|ab.html=a b.html|ab.jpg=a b.jpg|ab.txt=ab.txt|t_ab.jpg=t_a b.jpg"},
        RenameCase{"TwoPicturesCorrectingToOneName", "a b.jpg|a+b.jpg|a b.txt|a+b.txt|t_a+b.jpg", "a b|a+b",
                   "ab", ".jpg", false,
                   "a+b.jpg=a+b.jpg|a+b.txt=a+b.txt|ab.jpg=a b.jpg|ab.txt=a b.txt|t_a+b.jpg=t_a+b.jpg"},
        // A text and page that differ from its names only in case but belong to "a b.png" stay
        // with that picture.
        RenameCase{"CaseVariantOfAnotherPicturesCompanionStays", "A b.jpg|a b.png|a b.txt|a b.html|t_a b.png",
                   "A b", "Ab", ".jpg", false,
                   "Ab.jpg=A b.jpg|a b.html=a b.html|a b.png=a b.png|a b.txt=a b.txt|t_a b.png=t_a b.png"},
        // The picture's own companions by their exact names move, the other picture's stay.
        RenameCase{"ExactNamesBelongToTheirOwnPicture", "A b.jpg|A b.txt|a b.png|a b.txt|t_a b.jpg", "A b",
                   "Ab", ".jpg", false,
                   "Ab.jpg=A b.jpg|Ab.txt=A b.txt|a b.png=a b.png|a b.txt=a b.txt|t_Ab.jpg=t_a b.jpg"},
        RenameCase{"EmptyNewBaseNameLeavesTheBareExtension", "++ +.jpg|t_++ +.jpg", "++ +", "", ".jpg", false,
                   ".jpg=++ +.jpg|t_.jpg=t_++ +.jpg"}),
    kRowName);

TEST(CorrectNames, RenamesOnlyWhatNeedsIt) {
    TempFolder folder;
    for (const char* file : {"Über Straße 1.jpg", "t_Über Straße 1.jpg", "Über Straße 1.txt",
                             "Über Straße 1.html", "bild_01.jpg", "t_bild_01.jpg", "a b.jpg", "ab.jpg"})
        folder.Put(file, file);
    const int renamed = CorrectNames(folder.Path(), {"Über Straße 1.jpg", "bild_01.jpg", "a b.jpg"}, false);
    EXPECT_EQ(renamed, 2);
    // The taken name keeps "a b.jpg" as it is; "ab.jpg" is not touched.
    EXPECT_EQ(folder.Listing(true),
              "UeberStrasse1.html=Über Straße 1.html|UeberStrasse1.jpg=Über Straße 1.jpg|"
              "UeberStrasse1.txt=Über Straße 1.txt|a b.jpg=a b.jpg|ab.jpg=ab.jpg|"
              "bild_01.jpg=bild_01.jpg|t_UeberStrasse1.jpg=t_Über Straße 1.jpg|"
              "t_bild_01.jpg=t_bild_01.jpg");
}

struct CommandCase {
    const char* name;
    const char* files;    // each holding its own name, joined by "|"
    const char* selected; // in list order, joined by "|"
    const char* after;    // the folder as "name=content|..."
};

class CorrectNamesTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CorrectNamesTest, NoFileChangesHands) {
    const auto& c = GetParam();
    TempFolder folder;
    for (const auto& file : test::Split(c.files))
        folder.Put(file, file);
    CorrectNames(folder.Path(), test::Split(c.selected), false);
    EXPECT_EQ(folder.Listing(true), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CorrectNamesTest,
    ::testing::Values(
        // With both selected, "a b.png" takes its own text and page, although "A b.jpg" comes first.
        CommandCase{"TheExactOwnerTakesItsCompanion", "A b.jpg|a b.png|a b.txt|a b.html", "A b.jpg|a b.png",
                    "Ab.jpg=A b.jpg|ab.html=a b.html|ab.png=a b.png|ab.txt=a b.txt"},
        // Two pictures of the command would find the same text by letter case: neither takes it.
        CommandCase{"AFileTwoPicturesFindByCaseStays", "A b.jpg|a B.gif|a b.txt", "A b.jpg|a B.gif",
                    "Ab.jpg=A b.jpg|a b.txt=a b.txt|aB.gif=a B.gif"}),
    kRowName);

} // namespace
} // namespace qlm

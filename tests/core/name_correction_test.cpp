// Web-safe picture names and the renaming of a picture with its companions.

#include "core/name_correction.h"
#include "text_file_test_util.h"

#include <gtest/gtest.h>

#include <ostream>

namespace qlm {
namespace {

using test::TempFolder;

struct Step {
    std::uint32_t code_point; // the character searched, a Latin-1 code point
    const char* replacement;
};

void PrintTo(const Step& c, std::ostream* os) {
    *os << "U+" << std::hex << c.code_point;
}

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

TEST(CorrectionTable, HasFortyFiveStepsAndLeavesEveryOtherLatin1CharacterAlone) {
    ASSERT_EQ(std::size(kSteps), 45u);
    for (std::uint32_t c = 1; c < 0x100; ++c) {
        bool listed = std::any_of(std::begin(kSteps), std::end(kSteps),
                                  [&](const Step& s) { return s.code_point == c; });
        if (listed)
            continue;
        if (c >= 0x80) { // as UTF-8 and as a lone byte
            EXPECT_EQ(MyCorrectName(Utf8(c)), Utf8(c)) << c;
        }
        EXPECT_EQ(MyCorrectName(std::string(1, static_cast<char>(c))), std::string(1, static_cast<char>(c)))
            << c;
    }
}

struct NameCase {
    const char* name;
    std::string file_name;
    std::string corrected; // the name put together again from new base name and extension
};

// Test names in listings show the case, not its bytes.
void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class CorrectNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(CorrectNameTest, CorrectsOnlyTheBaseName) {
    std::string base, extension;
    SplitFileName(GetParam().file_name, base, extension);
    EXPECT_EQ(MyCorrectName(base) + extension, GetParam().corrected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CorrectNameTest,
    ::testing::Values(NameCase{"UmlautsAndSharpS", "Über Straße 1.jpg", "UeberStrasse1.jpg"},
                      NameCase{"InnerDots", "a.b.c.JPG", "abc.JPG"},
                      NameCase{"Accents", "Café Crème.PNG", "CafeCreme.PNG"},
                      NameCase{"NothingToDo", "bild_01.jpg", "bild_01.jpg"},
                      NameCase{"OnlyRemovedCharacters", "++ +.jpg", ".jpg"},
                      NameCase{"OthersSurvive", "Noël & Co.jpg", "Noël&Co.jpg"},
                      NameCase{"Punctuation", "Wer? Wie: \"so\" #1*2+3.gif", "WerWieso123.gif"},
                      NameCase{"KeptPunctuation", "a-b_c(d),e'f.png", "a-b_c(d),e'f.png"},
                      NameCase{"CapitalUmlauts", "ÄÖÜäöü.jpg", "AeOeUeaeoeue.jpg"},
                      NameCase{"NonLatinKept", "Ça ñ 東京.jpg", "Çañ東京.jpg"},
                      NameCase{"Windows1252Bytes", "\xDC\x62\x65r \xE9t\xE9.jpg", "Ueberete.jpg"},
                      NameCase{"NoExtension", "ohne Punkt", "ohnePunkt"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SplitFileName, SplitsAtTheLastDot) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"a.b.c.JPG", "a.b.c", ".JPG"}, {"bild.jpeg", "bild", ".jpeg"}, {"ohne", "ohne", ""},
        {".jpg", "", ".jpg"},           {"ende.", "ende", "."},         {"", "", ""}};
    for (const auto& [name, base, extension] : cases) {
        std::string b = "x", e = "x";
        SplitFileName(name, b, e);
        EXPECT_EQ(b, base) << name;
        EXPECT_EQ(e, extension) << name;
    }
}

TEST(RenamePic, RenamesThePictureAndItsCompanions) {
    TempFolder folder;
    for (const char* name :
         {"Über Straße 1.jpg", "t_Über Straße 1.jpg", "Über Straße 1.txt", "Über Straße 1.html"})
        folder.Put(name, name);
    MyRenamePic(folder.Path(), "Über Straße 1", "UeberStrasse1", ".jpg", false);
    EXPECT_EQ(folder.Listing(), "UeberStrasse1.html|UeberStrasse1.jpg|UeberStrasse1.txt|t_UeberStrasse1.jpg");
    EXPECT_EQ(folder.Get("t_UeberStrasse1.jpg"), "t_Über Straße 1.jpg");
}

TEST(RenamePic, ThumbnailsAsJpgUseTheCapitalExtension) {
    TempFolder folder;
    for (const char* name : {"Bild 1.png", "t_Bild 1.JPG", "t_Bild 1.png"})
        folder.Put(name, name);
    MyRenamePic(folder.Path(), "Bild 1", "Bild1", ".png", true);
    EXPECT_EQ(folder.Listing(), "Bild1.png|t_Bild 1.png|t_Bild1.JPG");
}

TEST(RenamePic, NeverReplacesATakenName) {
    TempFolder folder;
    for (const char* name : {"ab.jpg", "a b.jpg", "t_a b.jpg", "a b.txt", "a b.html", "ab.html"})
        folder.Put(name, name);
    MyRenamePic(folder.Path(), "a b", "ab", ".jpg", false);
    // The picture and its page keep their names; the free companions move.
    EXPECT_EQ(folder.Listing(), "a b.html|a b.jpg|ab.html|ab.jpg|ab.txt|t_ab.jpg");
    EXPECT_EQ(folder.Get("ab.jpg"), "ab.jpg");
    EXPECT_EQ(folder.Get("ab.html"), "ab.html");
}

TEST(RenamePic, TwoPicturesCorrectingToOneName) {
    TempFolder folder;
    for (const char* name : {"a b.jpg", "a+b.jpg", "a b.txt", "a+b.txt", "t_a+b.jpg"})
        folder.Put(name, name);
    MyRenamePic(folder.Path(), "a b", "ab", ".jpg", false);
    MyRenamePic(folder.Path(), "a+b", "ab", ".jpg", false);
    EXPECT_EQ(folder.Listing(), "a+b.jpg|a+b.txt|ab.jpg|ab.txt|t_ab.jpg");
    EXPECT_EQ(folder.Get("ab.jpg"), "a b.jpg");
    EXPECT_EQ(folder.Get("t_ab.jpg"), "t_a+b.jpg");
}

TEST(RenamePic, AnEmptyNewBaseNameLeavesTheBareExtension) {
    TempFolder folder;
    for (const char* name : {"++ +.jpg", "t_++ +.jpg"})
        folder.Put(name, name);
    MyRenamePic(folder.Path(), "++ +", "", ".jpg", false);
    EXPECT_EQ(folder.Listing(), ".jpg|t_.jpg");
}

} // namespace
} // namespace qlm

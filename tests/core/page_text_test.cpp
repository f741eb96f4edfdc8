// SPDX-License-Identifier: GPL-3.0-or-later
// What names and texts become in the pages: escaped where they could break the markup, encoded
// where they are link targets, line breaks of both kinds, Windows-1252 texts for UTF-8 templates,
// and the pictures whose pages would overwrite one another.

#include "core/page_text.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

namespace qlm {
namespace {

struct NameCase {
    const char* name;
    std::string file_name;
    std::string in_text; // NameForPage
    std::string as_link; // LinkForPage
};

class NameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameTest, IsSafeWhereItStands) {
    EXPECT_EQ(NameForPage(GetParam().file_name), GetParam().in_text);
    EXPECT_EQ(LinkForPage(GetParam().file_name), GetParam().as_link);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameTest,
    ::testing::Values(
        // Plain names come out as they always did, blanks and umlauts included.
        NameCase{"PlainNamesUnchanged", "Über Straße-1_a.b.jpg", "Über Straße-1_a.b.jpg",
                 "Über Straße-1_a.b.jpg"},
        // "#" would start a fragment, "?" a query, "%" an escape.
        NameCase{"UrlCharactersEncodedInLinks", "Foto #1?50%.jpg", "Foto #1?50%.jpg",
                 "Foto %231%3F50%25.jpg"},
        NameCase{"QuoteCannotEndTheAttribute", "a\"onerror=\"alert(1).jpg",
                 "a&quot;onerror=&quot;alert(1).jpg", "a&quot;onerror=&quot;alert(1).jpg"},
        NameCase{"MarkupCharacters", "<b>&Co.png", "&lt;b&gt;&amp;Co.png", "&lt;b&gt;&amp;Co.png"},
        NameCase{"ControlCharacters", "x\x1b\t\x7f.gif", "x\x1b\t\x7f.gif", "x%1B%09%7F.gif"}),
    kRowName);

TEST(PageText, LineBreaksOfWindowsAndLinuxAlike) {
    EXPECT_EQ(PageTextOf("a\r\nb\nc\rd"), "a<BR>b<BR>c\rd");
    EXPECT_EQ(AltTextOf("a\r\nb\nc\rd"), "a b c\rd");
    EXPECT_EQ(AltTextOf("<i>\"Zitat\"</i>\n<b>fett</b> <u>u</u>"), "&quot;Zitat&quot; fett <u>u</u>");
}

// A text or name with a single character to change is changed all the same: plain ones are
// passed through untouched, and only those.
TEST(PageText, ASingleCharacterToChangeIsNotPassedOver) {
    EXPECT_EQ(AltTextOf("ein \"Zitat\""), "ein &quot;Zitat&quot;");
    EXPECT_EQ(AltTextOf("fett</B>"), "fett");
    EXPECT_EQ(AltTextOf("zwei\nZeilen"), "zwei Zeilen");
    EXPECT_EQ(AltTextOf("Ein Bild & mehr"), "Ein Bild & mehr");
    EXPECT_EQ(PageTextOf("Zeile\n"), "Zeile<BR>");
    EXPECT_EQ(PageTextOf("<i>so</i>"), "<i>so</i>");
    for (const char* special : {"&", "\"", "<", ">"})
        EXPECT_NE(NameForPage(std::string("a") + special), std::string("a") + special) << special;
    for (const char* special : {"#", "?", "%", "\x01", "\x7f", "&"})
        EXPECT_NE(LinkForPage(std::string("a") + special), std::string("a") + special) << special;
}

TEST(PageText, WindowsTextsBecomeUtf8ForUtf8Templates) {
    const std::string windows = "Gr\xF6\xDF"
                                "e \x80";
    const std::string utf8 = "Größe €";
    EXPECT_EQ(TextForPages(windows, true), utf8);
    EXPECT_EQ(TextForPages(utf8, true), utf8);
    EXPECT_EQ(TextForPages(windows, false), windows);

    const auto declares = [](std::string head, std::string pic) {
        TemplateSet templates;
        templates.main_head = std::move(head);
        templates.pic = std::move(pic);
        return TemplatesDeclareUtf8(templates);
    };
    EXPECT_TRUE(declares("<meta charset=\"utf-8\">", ""));
    EXPECT_TRUE(declares("", "<meta http-equiv=\"content-type\" content=\"text/html; CHARSET=UTF-8\">"));
    EXPECT_TRUE(declares("<meta charset='Utf-8'>", "<meta charset=\"windows-1252\">"));
    EXPECT_FALSE(declares("<meta charset=\"windows-1252\">", "<p>utf-8</p>"));
    EXPECT_FALSE(declares("", ""));
}

TEST(PageText, PagesThatWouldOverwriteOneAnother) {
    EXPECT_EQ(PageClashWarning({"a.jpg", "b.png", "c.d.gif"}), "");
    EXPECT_EQ(PageClashWarning({"a.jpg", "index.JPG", "a.png", "b.gif", "a.gif"}),
              "Diese Seiten würden mehrfach geschrieben; bitte benennen Sie die Bilder um:\n"
              "a.html: a.jpg a.png a.gif\n"
              "index.html: index.JPG (die Übersicht überschreibt diese Seite)");
    // Pages are named in the order of their first picture, not of their names.
    EXPECT_EQ(
        PageClashWarning({"z.jpg", "b.gif", "m.jpg", "index.gif", "z.png", "b.png", "index.png", "z.gif"}),
        "Diese Seiten würden mehrfach geschrieben; bitte benennen Sie die Bilder um:\n"
        "z.html: z.jpg z.png z.gif\n"
        "b.html: b.gif b.png\n"
        "index.html: index.gif index.png (die Übersicht überschreibt diese Seite)");
    std::vector<std::string> shared{"stale"};
    PageClashWarning({"z.jpg", "b.gif", "index.gif", "z.png", "m.jpg"}, &shared);
    EXPECT_EQ(shared, (std::vector<std::string>{"index.html", "z.html"}));
    PageClashWarning({"a.jpg"}, &shared);
    EXPECT_TRUE(shared.empty());
}

} // namespace
} // namespace qlm

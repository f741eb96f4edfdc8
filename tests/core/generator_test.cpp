// What the generation writes: image tags, placeholder sequences, page and alt texts, file names.

#include "core/generator.h"
#include "generator_test_host.h"
#include "text_file_test_util.h"

#include <gtest/gtest.h>

#include <ostream>

namespace qlm {
namespace {

using test::RecordingHost;
using test::TempFolder;

OptionFlags NoFlags() {
    OptionFlags flags;
    flags.keywords = flags.description = flags.alt = flags.warn = flags.img_wo_alt = flags.thumbs_jpg = false;
    return flags;
}

class GeneratorTest : public ::testing::Test {
  protected:
    GeneratorTest() : host(folder.Path()) {
        input.folder = folder.Path();
        input.flags = NoFlags();
        input.version = "2.0.0.1";
        folder.Put("title.txt", "Urlaub");
        folder.Put("keywords.txt", "Meer, Sand");
        folder.Put("description.txt", "Bilder vom Meer");
    }
    void Run(std::vector<std::string> pictures) {
        input.selected_entries = static_cast<int>(pictures.size());
        input.pictures = std::move(pictures);
        MakeGallery(input, host);
    }

    TempFolder folder;
    RecordingHost host;
    GenerationInput input;
};

const char* const kEveryPicturePlaceholder =
    "<mypic>|<mytinypic>|<mytext>|<myname>|<myalt>|<mypicfile>|<mytinypicfile>|<myhtmlfile>|<mykeywords>|"
    "<mydescription>|<myversion>|<mywidth>|<myheight>|<mytinywidth>|<mytinyheight>|<mytitle>";

struct TagCase {
    const char* name;
    bool img_wo_alt;
    bool thumbs_jpg;
    std::string thumb_name;
    std::string thumb_tag;
};

// Test names in listings show the case, not its bytes.
void PrintTo(const TagCase& c, std::ostream* os) {
    *os << c.name;
}

class TagTest : public GeneratorTest, public ::testing::WithParamInterface<TagCase> {};

TEST_P(TagTest, PagesAndOverviewHoldTheExactTags) {
    const TagCase& c = GetParam();
    input.flags.img_wo_alt = c.img_wo_alt;
    input.flags.thumbs_jpg = c.thumbs_jpg;
    input.templates.pic = kEveryPicturePlaceholder;
    input.templates.main_head = "H:<mytitle>:<mykeywords>:<mydescription>:<myversion>:<mypic>\r\n";
    input.templates.main_rep = "[<myhtmlfile>:<mytitle>:<mytinypic>]";
    input.templates.main_tail = "\r\nT:<mytitle><myname>";
    folder.Put("Ferien.txt", "Am <i>Meer</i>\r\nmit Sonne");
    host.sizes["Ferien.JPG"] = {800, 600};
    host.sizes[c.thumb_name] = {120, 90};
    Run({"Ferien.JPG"});

    EXPECT_EQ(folder.Get("Ferien.html"),
              "<img src=\"Ferien.JPG\" width=\"800\" height=\"600\" border=\"0\">|" + c.thumb_tag +
                  "|Am <i>Meer</i><BR>mit Sonne|Ferien|Am Meer mit Sonne|"
                  "Ferien.JPG|" +
                  c.thumb_name + "|Ferien.html|Meer, Sand|Bilder vom Meer|2.0.0.1|800|600|120|90|<mytitle>");
    EXPECT_EQ(folder.Get("index.html"),
              "H:Urlaub:Meer, Sand:Bilder vom Meer:2.0.0.1:<mypic>\r\n[Ferien.html:Urlaub:" + c.thumb_tag +
                  "]\r\nT:Urlaub<myname>");
    EXPECT_EQ(host.Calls("thumb "), std::vector<std::string>{"thumb " + c.thumb_name});
}

INSTANTIATE_TEST_SUITE_P(
    Flags, TagTest,
    ::testing::Values(
        TagCase{
            "WithAlt", false, false, "t_Ferien.JPG",
            "<img src=\"t_Ferien.JPG\" width=\"120\" height=\"90\" alt=\"Am Meer mit Sonne\" border=\"0\">"},
        TagCase{"WithoutAlt", true, false, "t_Ferien.JPG",
                "<img src=\"t_Ferien.JPG\" width=\"120\" height=\"90\" border=\"0\">"},
        TagCase{
            "ThumbsJpg", false, true, "t_Ferien.jpg",
            "<img src=\"t_Ferien.jpg\" width=\"120\" height=\"90\" alt=\"Am Meer mit Sonne\" border=\"0\">"},
        TagCase{"ThumbsJpgWithoutAlt", true, true, "t_Ferien.jpg",
                "<img src=\"t_Ferien.jpg\" width=\"120\" height=\"90\" border=\"0\">"}),
    [](const auto& row) { return std::string(row.param.name); });

struct TextCase {
    const char* name;
    std::string text;
    std::string page; // "<mytext>#<myalt>#<mytinypic>" of the picture "a.jpg"
};

// Test names in listings show the case, not its bytes.
void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class PictureTextTest : public GeneratorTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(PictureTextTest, GivesPageTextAltTextAndTag) {
    input.templates.pic = "<mytext>#<myalt>#<mytinypic>";
    folder.Put("a.txt", GetParam().text);
    host.sizes["a.jpg"] = {3, 4};
    host.sizes["t_a.jpg"] = {1, 2};
    Run({"a.jpg"});
    EXPECT_EQ(folder.Get("a.html"), GetParam().page);
}

std::string ThumbTag(const std::string& alt) {
    return "<img src=\"t_a.jpg\" width=\"1\" height=\"2\" alt=\"" + alt + "\" border=\"0\">";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PictureTextTest,
    ::testing::Values(
        TextCase{"TwoLines", "zwei\r\nZeilen", "zwei<BR>Zeilen#zwei Zeilen#" + ThumbTag("zwei Zeilen")},
        TextCase{"LoneBreaksStay", "a\rb\nc", "a\rb\nc#a\rb\nc#" + ThumbTag("a\rb\nc")},
        TextCase{"EmphasisOnlyOnThePage", "<i>x</i> <B>y</B> <I>z</I> <b>w</b> <u>u</u>",
                 "<i>x</i> <B>y</B> <I>z</I> <b>w</b> <u>u</u>#x y z w <u>u</u>#" +
                     ThumbTag("x y z w <u>u</u>")},
        TextCase{"TagFormedByARemoval", "<<i>i>", "<<i>i>##" + ThumbTag("")},
        TextCase{"NoText", "<notext>", "##" + ThumbTag("")},
        TextCase{"NoTextInsideEmphasis", "<i><notext></i>", "<i><notext></i>##" + ThumbTag("")},
        TextCase{"NoTextInCapitals", "<NOTEXT>", "<NOTEXT>#<NOTEXT>#" + ThumbTag("<NOTEXT>")},
        TextCase{"Empty", "", "##" + ThumbTag("")},
        // A value is searched by the placeholders after its own, not by those before it.
        TextCase{"LaterPlaceholderInText", "Bild <myname>", "Bild a#Bild <myname>#" + ThumbTag("Bild a")}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(GeneratorTest, NoTextAnswersVanishFromThePages) {
    folder.Put("title.txt", "<notext>");
    folder.Put("keywords.txt", "<notext>");
    input.templates.main_head = "<title><mytitle></title><mykeywords>";
    input.templates.pic = "<mykeywords>.";
    Run({"a.jpg"});
    EXPECT_EQ(folder.Get("index.html"), "<title></title>");
    EXPECT_EQ(folder.Get("a.html"), ".");
}

TEST_F(GeneratorTest, ATitleThatIsItsOwnPlaceholderEnds) {
    folder.Put("title.txt", "<mytitle>");
    input.templates.main_head = "<h1><mytitle></h1>";
    input.templates.main_rep = "<mytitle>";
    Run({"a.jpg"});
    EXPECT_EQ(folder.Get("index.html"), "<h1><mytitle></h1><mytitle>");
}

TEST_F(GeneratorTest, PicturesSharingABaseNameShareTextAndPage) {
    input.templates.pic = "<mypicfile>";
    input.templates.main_rep = "<myhtmlfile>;";
    folder.Put("a.txt", "gemeinsam");
    Run({"a.jpg", "a.gif"});
    EXPECT_EQ(folder.Get("a.html"), "a.gif");
    EXPECT_EQ(folder.Get("a.html.bak"), "a.jpg");
    EXPECT_EQ(folder.Get("index.html"), "a.html;a.html;");
}

TEST_F(GeneratorTest, NamesWithTwoDotsLoseOnlyTheLastExtension) {
    input.flags.alt = true;
    input.templates.pic = "<myname>|<myhtmlfile>|<mytinypicfile>|<mytext>";
    host.answers = {"Punkte"};
    Run({"x.y.jpg"});
    EXPECT_EQ(folder.Get("x.y.html"), "x.y|x.y.html|t_x.y.jpg|Punkte");
    EXPECT_EQ(folder.Get("x.y.txt"), "Punkte");
}

TEST_F(GeneratorTest, ThumbnailsAsJpgUseTheBaseName) {
    input.flags.thumbs_jpg = true;
    Run({"b.GIF", "c.png", "d"});
    EXPECT_EQ(host.Calls("thumb "),
              (std::vector<std::string>{"thumb t_b.jpg", "thumb t_c.jpg", "thumb t_d.jpg"}));
}

TEST_F(GeneratorTest, ASecondRunKeepsTheFirstInTheBackups) {
    input.templates.main_head = "<mytitle>";
    input.templates.pic = "<mytitle><mykeywords>";
    Run({"a.jpg"});
    folder.Put("keywords.txt", "neu");
    folder.Put("title.txt", "Neu");
    Run({"a.jpg"});
    EXPECT_EQ(folder.Get("index.html"), "Neu");
    EXPECT_EQ(folder.Get("index.html.bak"), "Urlaub");
    EXPECT_EQ(folder.Get("a.html"), "<mytitle>neu");
    EXPECT_EQ(folder.Get("a.html.bak"), "<mytitle>Meer, Sand");
}

TEST_F(GeneratorTest, MissingThumbnailsAreNamedAndTakeTheSizeHeldBefore) {
    input.flags.warn = true;
    input.templates.main_rep = "<mytinywidth>x<mytinyheight>,";
    host.sizes["t_b.jpg"] = {10, 20};
    Run({"a.jpg", "b.jpg", "c.jpg"});
    EXPECT_EQ(host.Calls("warn "), (std::vector<std::string>{"warn Der Thumbnail t_a.jpg fehlt!",
                                                             "warn Der Thumbnail t_c.jpg fehlt!"}));
    EXPECT_EQ(folder.Get("index.html"), "0x0,10x20,10x20,");

    input.flags.warn = false;
    host.calls.clear();
    Run({"a.jpg"});
    EXPECT_TRUE(host.Calls("warn ").empty());
}

} // namespace
} // namespace qlm

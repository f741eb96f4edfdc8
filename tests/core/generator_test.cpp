// SPDX-License-Identifier: GPL-3.0-or-later
// The generation run: the pages it writes (image tags, placeholder sequences, page and alt texts,
// file names), the questions and stored answers, progress and display, warnings, and what stays
// when the run stops or cannot write.

#include "core/gallery_names.h"
#include "core/generator.h"
#include "core/picture.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <deque>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <stdexcept>

#include <sys/stat.h>

namespace qlm {
namespace {

using test::TempFolder;
using Calls = std::vector<std::string>;

// Records every call as one line of text, answers questions from a prepared list and knows
// picture sizes by bare file name instead of decoding files.
class RecordingHost : public GenerationHost {
  public:
    explicit RecordingHost(std::string folder) : folder_(std::move(folder)) {}

    Calls calls;
    std::deque<std::string> answers;
    std::map<std::string, PictureSize> sizes; // files that can be opened
    std::set<std::string> undecodable;        // files that throw DecodeError

    std::string AskUser(const std::string& initial_text, AskKind kind) override {
        calls.push_back("ask " + std::to_string(static_cast<int>(kind)) + " [" + initial_text + "]");
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question of kind " << static_cast<int>(kind);
            return "";
        }
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<PictureSize> MyLoadPic(const std::string& path) override { return Load("pic ", path); }
    std::optional<PictureSize> LoadThumbnail(const std::string& path) override {
        return Load("thumb ", path);
    }
    void ShowWarning(const std::string& text) override { calls.push_back("warn " + text); }
    void ShowDecodeFailure(const std::string& path, const std::string& message) override {
        calls.push_back("failure " + Bare(path) + ": " + message);
    }
    void SetProgressLabel(const std::string& text) override { calls.push_back("label " + text); }
    void SetProgressMaximum(int maximum) override { calls.push_back("max " + std::to_string(maximum)); }
    void SetProgressPosition(int position) override { calls.push_back("pos " + std::to_string(position)); }
    void StepProgress() override { calls.push_back("step"); }
    void SetWorkingDisplay(bool working) override { calls.push_back(working ? "working" : "normal"); }

    // The recorded calls that begin with `prefix`.
    Calls Made(const std::string& prefix) const {
        Calls found;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                     [&](const std::string& call) { return call.starts_with(prefix); });
        return found;
    }

  private:
    std::string Bare(const std::string& path) const {
        EXPECT_TRUE(path.starts_with(folder_)) << path;
        return path.substr(folder_.size());
    }
    std::optional<PictureSize> Load(const std::string& call, const std::string& path) {
        const std::string name = Bare(path);
        calls.push_back(call + name);
        if (undecodable.count(name) > 0)
            throw DecodeError("Kaputt: " + name);
        if (auto found = sizes.find(name); found != sizes.end())
            return found->second;
        return std::nullopt;
    }

    std::string folder_;
};

OptionFlags Flags(bool keywords, bool description, bool alt, bool warn) {
    OptionFlags flags;
    flags.keywords = keywords;
    flags.description = description;
    flags.alt = alt;
    flags.warn = warn;
    flags.img_wo_alt = flags.thumbs_jpg = false;
    return flags;
}

class GeneratorTest : public ::testing::Test {
  protected:
    GeneratorTest() : host(folder.Path()) {
        input.folder = folder.Path();
        input.flags = Flags(false, false, false, false);
        input.templates = {"<mytitle>;<mykeywords>;<mydescription>", "(<mytext>)", "", "<mytext>", "", ""};
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

// --- What the pages hold ---------------------------------------------------------------------

struct TagCase {
    const char* name;
    bool img_wo_alt, thumbs_jpg;
    std::string thumb_name, thumb_tag;
};

class TagTest : public GeneratorTest, public ::testing::WithParamInterface<TagCase> {};

TEST_P(TagTest, PagesAndOverviewHoldTheExactTags) {
    const TagCase& c = GetParam();
    folder.Put("title.txt", "Urlaub");
    folder.Put("keywords.txt", "Meer, Sand");
    folder.Put("description.txt", "Bilder vom Meer");
    input.version = "2.0.0.1";
    input.flags.img_wo_alt = c.img_wo_alt;
    input.flags.thumbs_jpg = c.thumbs_jpg;
    input.templates.pic =
        "<mypic>|<mytinypic>|<mytext>|<myname>|<myalt>|<mypicfile>|<mytinypicfile>|<myhtmlfile>|<mykeywords>|"
        "<mydescription>|<myversion>|<mywidth>|<myheight>|<mytinywidth>|<mytinyheight>|<mytitle>";
    input.templates.main_head = "H:<mytitle>:<mykeywords>:<mydescription>:<myversion>:<mypic>\r\n";
    input.templates.main_rep = "[<myhtmlfile>:<mytitle>:<mytinypic>]";
    input.templates.main_tail = "\r\nT:<mytitle><myname>";
    folder.Put("Ferien.txt", "Am <i>Meer</i>\r\nmit Sonne");
    host.sizes["Ferien.JPG"] = {800, 600};
    host.sizes[c.thumb_name] = {120, 90};
    Run({"Ferien.JPG"});

    EXPECT_EQ(folder.Get("Ferien.html"),
              "<img src=\"Ferien.JPG\" width=\"800\" height=\"600\" border=\"0\">|" + c.thumb_tag +
                  "|Am <i>Meer</i><BR>mit Sonne|Ferien|Am Meer mit Sonne|Ferien.JPG|" + c.thumb_name +
                  "|Ferien.html|Meer, Sand|Bilder vom Meer|2.0.0.1|800|600|120|90|<mytitle>");
    EXPECT_EQ(folder.Get("index.html"),
              "H:Urlaub:Meer, Sand:Bilder vom Meer:2.0.0.1:<mypic>\r\n[Ferien.html:Urlaub:" + c.thumb_tag +
                  "]\r\nT:Urlaub<myname>");
    EXPECT_EQ(host.Made("thumb "), Calls{"thumb " + c.thumb_name});
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
            "<img src=\"t_Ferien.jpg\" width=\"120\" height=\"90\" alt=\"Am Meer mit Sonne\" border=\"0\">"}),
    kRowName);

struct TextCase {
    const char* name;
    std::string text;
    std::string page; // "<mytext>#<myalt>#" of the picture "a.jpg"
    std::string alt;  // of its thumbnail's tag
};

class PictureTextTest : public GeneratorTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(PictureTextTest, GivesPageTextAltTextAndTag) {
    folder.Put("title.txt", "T");
    input.templates.pic = "<mytext>#<myalt>#<mytinypic>";
    folder.Put("a.txt", GetParam().text);
    host.sizes = {{"a.jpg", {3, 4}}, {"t_a.jpg", {1, 2}}};
    Run({"a.jpg"});
    EXPECT_EQ(folder.Get("a.html"), GetParam().page + "<img src=\"t_a.jpg\" width=\"1\" height=\"2\" alt=\"" +
                                        GetParam().alt + "\" border=\"0\">");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PictureTextTest,
    ::testing::Values(
        // CR LF and LF alone are line breaks (texts written on Linux end their lines in LF); a lone
        // CR is not.
        TextCase{"LineBreaks", "zwei\r\nZeilen\rb\nc\n\r\n",
                 "zwei<BR>Zeilen\rb<BR>c<BR><BR>#zwei Zeilen\rb c  #", "zwei Zeilen\rb c  "},
        // A double quote cannot end the alt attribute; the page text keeps it as HTML.
        TextCase{"QuoteInAltText", "sagt \"hallo\"", "sagt \"hallo\"#sagt &quot;hallo&quot;#",
                 "sagt &quot;hallo&quot;"},
        TextCase{"EmphasisOnlyOnThePage", "<i>x</i> <B>y</B> <I>z</I> <b>w</b> <u>u</u>",
                 "<i>x</i> <B>y</B> <I>z</I> <b>w</b> <u>u</u>#x y z w <u>u</u>#", "x y z w <u>u</u>"},
        TextCase{"TagFormedByARemoval", "<<i>i>", "<<i>i>##", ""}, TextCase{"NoText", "<notext>", "##", ""},
        TextCase{"NoTextInsideEmphasis", "<i><notext></i>", "<i><notext></i>##", ""},
        // A value is searched by the placeholders after its own, not by those before it.
        TextCase{"LaterPlaceholderInText", "Bild <myname>", "Bild a#Bild <myname>#", "Bild a"},
        // A zero byte in the text keeps what follows it, on the page and in the alt text.
        TextCase{"ZeroByteKeepsTheRest", std::string("vor\0nach", 8), std::string("vor\0nach#vor\0nach#", 18),
                 std::string("vor\0nach", 8)}),
    kRowName);

TEST_F(GeneratorTest, NoTextAnswersVanishAndATitleThatIsItsOwnPlaceholderEnds) {
    folder.Put("title.txt", "<notext>");
    folder.Put("keywords.txt", "<notext>");
    input.templates.main_head = "<title><mytitle></title><mykeywords>";
    input.templates.main_rep = "";
    input.templates.pic = "<mykeywords>.";
    Run({"a.jpg"});
    EXPECT_EQ(folder.Get("index.html"), "<title></title>");
    EXPECT_EQ(folder.Get("a.html"), ".");

    folder.Put("title.txt", "<mytitle>");
    input.templates.main_rep = "<mytitle>";
    Run({"a.jpg"});
    EXPECT_EQ(folder.Get("index.html"), "<title><mytitle></title><mytitle>");
}

TEST_F(GeneratorTest, PicturesSharingABaseNameShareTextAndPage) {
    folder.Put("title.txt", "T");
    input.templates.pic = "<mypicfile>";
    input.templates.main_rep = "<myhtmlfile>,";
    folder.Put("a.txt", "gemeinsam");
    folder.Put("a.html", "vorher");
    Run({"a.jpg", "a.gif"});
    EXPECT_EQ(folder.Get("a.html"), "a.gif");
    EXPECT_EQ(folder.Get("index.html"), "T;;a.html,a.html,");
    // The shared page is written once per run: its backup is the page from before the run, and
    // a second run over the unchanged folder leaves both as they are.
    for (int run = 0; run < 2; ++run) {
        if (run == 1)
            Run({"a.jpg", "a.gif"});
        EXPECT_EQ(folder.Get("a.html.bak"), "vorher");
    }
}

TEST_F(GeneratorTest, NamesWithTwoDotsLoseOnlyTheLastExtension) {
    folder.Put("title.txt", "T");
    input.flags.alt = true;
    input.templates.pic = "<myname>|<myhtmlfile>|<mytinypicfile>|<mytext>";
    host.answers = {"Punkte"};
    Run({"x.y.jpg"});
    EXPECT_EQ(folder.Get("x.y.html"), "x.y|x.y.html|t_x.y.jpg|Punkte");
    EXPECT_EQ(folder.Get("x.y.txt"), "Punkte");
}

TEST_F(GeneratorTest, NavigationNamesThePositionAndTheNeighboursPages) {
    folder.Put("title.txt", "T");
    input.templates.main_head = "";
    input.templates.pic = "<mynumber>/<mycount> [<myprevhtmlfile>|<mynexthtmlfile>] <myname>";
    input.templates.main_rep = "(<mynumber>:<myprevhtmlfile>:<mynexthtmlfile>)";
    Run({"a.jpg", "b #1.png", "c.gif"});
    EXPECT_EQ(folder.Get("a.html"), "1/3 [|b %231.html] a");
    EXPECT_EQ(folder.Get("b #1.html"), "2/3 [a.html|c.html] b #1");
    EXPECT_EQ(folder.Get("c.html"), "3/3 [b %231.html|] c");
    EXPECT_EQ(folder.Get("index.html"), "(1::b %231.html)(2:a.html:c.html)(3:b %231.html:)");
}

TEST_F(GeneratorTest, NavigationComesAfterThePictureAndBeforeTheFolderPlaceholders) {
    // A picture text holding a navigation name is reached, as any later placeholder would be;
    // the folder texts still come last over the whole overview.
    folder.Put("title.txt", "<mycount>");
    folder.Put("a.txt", "<mynumber>");
    input.templates.main_head = "<mytitle>;";
    input.templates.pic = "<mytext>";
    input.templates.main_rep = "<mytext>,<mytitle>,";
    Run({"a.jpg"});
    EXPECT_EQ(folder.Get("a.html"), "1");
    EXPECT_EQ(folder.Get("index.html"), "<mycount>;1,<mycount>,");
}

TEST_F(GeneratorTest, FolderPlaceholdersJoinedAcrossEntriesAreReplacedInTheWholeOverview) {
    // The folder texts are replaced over the joined overview, so an occurrence formed by the end of
    // one part and the start of the next is replaced too, and a later one that a folder text brings.
    folder.Put("title.txt", "T<myversion>");
    input.version = "1.0";
    input.templates.main_head = "[<myti";
    input.templates.main_rep = "tle>|<mynumber><myti";
    input.templates.main_tail = "tle><myversion>]";
    Run({"a.jpg", "b.jpg"});
    EXPECT_EQ(folder.Get("index.html"), "[T1.0|1T1.0|2T1.01.0]");
}

TEST_F(GeneratorTest, MissingThumbnailsAreNamedAndTakeTheSizeHeldBefore) {
    folder.Put("title.txt", "T");
    input.flags.warn = true;
    input.templates.main_head = "";
    input.templates.main_rep = "<mytinywidth>x<mytinyheight>,";
    host.sizes["t_b.jpg"] = {10, 20};
    Run({"a.jpg", "b.jpg", "c.jpg"});
    EXPECT_EQ(host.Made("warn "),
              (Calls{"warn Der Thumbnail t_a.jpg fehlt!", "warn Der Thumbnail t_c.jpg fehlt!"}));
    EXPECT_EQ(folder.Get("index.html"), "0x0,10x20,10x20,");
}

// Each run starts with nothing held, whatever an earlier run (or the window's preview) held: the
// pages of a folder do not depend on what was shown before.
TEST_F(GeneratorTest, PicturesThatCannotBeOpenedTakeTheSizeOfThePictureBeforeInTheirRun) {
    folder.Put("title.txt", "T");
    input.templates.main_head = "";
    input.templates.main_rep = "<mywidth>x<myheight>/<mytinywidth>x<mytinyheight>,";
    input.templates.pic = "<mypic>";
    host.sizes = {{"b.jpg", {40, 30}}, {"t_b.jpg", {4, 3}}, {"d.png", {7, 9}}};
    Run({"a.jpg", "b.jpg", "c.jpg", "d.png", "e.gif"});
    EXPECT_EQ(folder.Get("index.html"), "0x0/0x0,40x30/4x3,40x30/4x3,7x9/4x3,7x9/4x3,");
    EXPECT_EQ(folder.Get("c.html"), "<img src=\"c.jpg\" width=\"40\" height=\"30\" border=\"0\">");
    Run({"c.jpg", "b.jpg"});
    EXPECT_EQ(folder.Get("index.html"), "0x0/0x0,40x30/4x3,");
}

// --- The course of a run ---------------------------------------------------------------------

TEST_F(GeneratorTest, AsksForTheFolderTextsFirstAndThePictureTextWithThePictureInView) {
    input.flags = Flags(true, true, true, true);
    folder.Put("a.txt", "Text A");
    host.sizes = {{"a.jpg", {4, 3}}, {"t_a.jpg", {2, 1}}, {"b.gif", {5, 5}}};
    host.answers = {"Titel", "K1, K2", "Beschreibung", "Alt B"};
    input.pictures = {"a.jpg", "b.gif"};
    input.selected_entries = 3; // the progress counts selected folders too
    MakeGallery(input, host);
    EXPECT_EQ(host.calls,
              (Calls{"working", "max 3", "pos 0", "label ", "ask 4 []", "ask 1 []", "ask 2 [K1, K2]",
                     "label a.jpg", "thumb t_a.jpg", "pic a.jpg", "step", "label b.gif", "thumb t_b.gif",
                     "warn Der Thumbnail t_b.gif fehlt!", "pic b.gif", "ask 3 []", "step", "normal"}));
    EXPECT_EQ(folder.Listing(true), "a.html=Text A|a.txt=Text A|b.html=Alt B|b.txt=Alt B|"
                                    "description.txt=Beschreibung|index.html=Titel;K1, K2;Beschreibung(Text "
                                    "A)(Alt B)|keywords.txt=K1, K2|title.txt=Titel");
}

struct QuestionCase {
    const char* name;
    OptionFlags flags;
    std::string present;   // folder files before the run, "name=content|..."
    std::string answers;   // joined by "|"
    std::string questions; // joined by "|"
    std::string after;     // the folder after the run, "name=content|..."
};

class QuestionTest : public GeneratorTest, public ::testing::WithParamInterface<QuestionCase> {};

TEST_P(QuestionTest, AsksWhatIsMissingAndStoresTheAnswer) {
    const QuestionCase& c = GetParam();
    input.flags = c.flags;
    for (const auto& file : test::Split(c.present))
        if (!file.empty())
            folder.Put(file.substr(0, file.find('=')), file.substr(file.find('=') + 1));
    for (const auto& answer : test::Split(c.answers))
        host.answers.push_back(answer);
    Run({"p.jpg"});
    EXPECT_EQ(host.Made("ask "), test::Split(c.questions));
    EXPECT_EQ(folder.Listing(true), c.after);

    // Everything asked is stored: a second run asks nothing.
    host.calls.clear();
    Run({"p.jpg"});
    EXPECT_EQ(host.Made("ask "), Calls{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuestionTest,
    ::testing::Values(
        QuestionCase{"TitleEvenWithoutFlags", Flags(false, false, false, false), "", "Titel", "ask 4 []",
                     "index.html=Titel;;()|p.html=|title.txt=Titel"},
        QuestionCase{"DescriptionStartsWithStoredKeywords", Flags(true, true, false, false),
                     "title.txt=T|keywords.txt=Meer", "See", "ask 2 [Meer]",
                     "description.txt=See|index.html=T;Meer;See()|keywords.txt=Meer|p.html=|title.txt=T"},
        QuestionCase{"DeclinedKeywordsStartTheDescription", Flags(true, true, false, false), "title.txt=T",
                     "<notext>|", "ask 1 []|ask 2 [<notext>]",
                     "description.txt=|index.html=T;;()|keywords.txt=<notext>|p.html=|title.txt=T"},
        // Answers are stored as given: empty, with blanks, with line breaks.
        QuestionCase{
            "AnswersStoredAsGiven", Flags(false, false, true, false), "", "| zwei\r\nZeilen ",
            "ask 4 []|ask 3 []",
            "index.html=;;( zwei<BR>Zeilen )|p.html= zwei<BR>Zeilen |p.txt= zwei\r\nZeilen |title.txt="}),
    kRowName);

TEST_F(GeneratorTest, WithoutAskingNothingIsAskedOrStored) {
    input.flags = Flags(true, true, true, true);
    input.ask = false;
    Run({"p.jpg"});
    EXPECT_EQ(host.Made("ask "), Calls{});
    EXPECT_EQ(folder.Listing(true), "index.html=;;()|p.html=");
}

// The command line's run that asks nothing takes the texts the folder's listing held and opens no
// other: a text that came after the listing is left for the next run; a run that asks reads it.
TEST_F(GeneratorTest, WithoutAskingOnlyTheTextsOfTheListingAreRead) {
    input.templates.pic = "<mytext>";
    input.templates.main_rep = "<myname>=<mytext>,";
    folder.Put("title.txt", "T");
    folder.Put("a.txt", "Text a");
    folder.Put("b.txt", "Text b");
    folder.Put("c.txt", "Text c");
    input.ask = false;
    input.listed = ListedNames();
    input.listed->Add("a.txt");
    input.listed->Add("c.txt");
    Run({"a.jpg", "b.jpg", "c.png"});
    EXPECT_EQ(folder.Get("index.html"), "T;;a=Text a,b=,c=Text c,");
    EXPECT_EQ(host.Made("ask "), Calls{});

    input.ask = true;
    Run({"a.jpg", "b.jpg", "c.png"});
    EXPECT_EQ(folder.Get("index.html"), "T;;a=Text a,b=Text b,c=Text c,");
}

// Without questions, a page the listing lacked is written as a new file: one made under its name
// since the listing stays as it is and is named among the files not written. A page that two
// pictures share, or a picture and the overview, is written once, with the last one's content.
TEST_F(GeneratorTest, WithoutAskingPagesTheListingLackedReplaceNothing) {
    input.templates.pic = "Seite <mypicfile>";
    input.templates.main_rep = "<myname>,";
    folder.Put("title.txt", "T");
    folder.Put("b.html", "vom Nutzer");
    input.ask = false;
    input.listed = ListedNames();
    input.pictures = {"a.jpg", "a.png", "b.jpg", "index.gif"};
    input.selected_entries = 4;
    EXPECT_EQ(MakeGallery(input, host).unwritten, std::vector<std::string>{"b.html"});
    EXPECT_EQ(folder.Listing(true),
              "a.html=Seite a.png|b.html=vom Nutzer|index.html=T;;a,a,b,index,|title.txt=T");
}

TEST_F(GeneratorTest, ADecodeFailureIsShownThenTheRunStopsKeepsWhatWasWrittenAndRestoresTheDisplay) {
    for (const char* undecodable : {"b.jpg", "t_b.jpg"}) {
        TempFolder other;
        RecordingHost fresh(other.Path());
        input.folder = other.Path();
        input.flags = Flags(false, false, true, false);
        input.pictures = {"a.jpg", "b.jpg", "c.jpg"};
        fresh.answers = {"Titel", "Text a"};
        fresh.undecodable = {undecodable};
        EXPECT_TRUE(MakeGallery(input, fresh).stopped) << undecodable;
        EXPECT_EQ(fresh.Made("working").size(), 1u);
        // The failure first, while the progress still shows where the run stopped; then the
        // window comes back.
        ASSERT_GE(fresh.calls.size(), 2u);
        EXPECT_EQ(fresh.calls.end()[-2], "failure " + std::string(undecodable) + ": Kaputt: " + undecodable);
        EXPECT_EQ(fresh.calls.back(), "normal");
        EXPECT_EQ(fresh.Made("normal"), Calls{"normal"});
        EXPECT_EQ(other.Listing(true), "a.html=Text a|a.txt=Text a|title.txt=Titel") << undecodable;
    }
}

// Any other failure (out of memory, say) passes to the caller with the normal display back.
TEST_F(GeneratorTest, AFailureOtherThanDecodingPassesWithTheNormalDisplayBack) {
    struct Failing : RecordingHost {
        using RecordingHost::RecordingHost;
        // The question for the title fails.
        std::string AskUser(const std::string&, AskKind) override { throw std::bad_alloc(); }
    } failing(folder.Path());
    input.pictures = {"a.jpg"};
    EXPECT_THROW(MakeGallery(input, failing), std::bad_alloc);
    EXPECT_EQ(failing.calls, (Calls{"working", "max 0", "pos 0", "label ", "normal"}));
    EXPECT_EQ(folder.Listing(true), "");
}

TEST(WorkingDisplay, TheNormalDisplayReturnsOnceWhetherEndedOrLeftByAFailure) {
    TempFolder folder;
    RecordingHost host(folder.Path());
    {
        WorkingDisplay display(host, 3);
        display.End();
        display.End();
    }
    EXPECT_EQ(host.calls, (Calls{"working", "max 3", "pos 0", "label ", "normal"}));
    host.calls.clear();
    EXPECT_THROW(
        {
            WorkingDisplay display(host, 1);
            throw std::runtime_error("weg");
        },
        std::runtime_error);
    EXPECT_EQ(host.calls, (Calls{"working", "max 1", "pos 0", "label ", "normal"}));
}

TEST_F(GeneratorTest, FilesThatCannotBeWrittenAreNamedOnceAtTheEnd) {
    input.flags = Flags(true, false, false, false);
    folder.Put("title.txt", "T");
    // A folder in place of a file can neither be read nor replaced, whoever runs the test.
    ASSERT_EQ(::mkdir((folder / "keywords.txt").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((folder / "b.html").c_str(), 0755), 0);
    host.answers = {"K"};
    input.pictures = {"a.jpg", "b.jpg", "b.png", "c.jpg"};
    input.selected_entries = 4;
    const GenerationResult result = MakeGallery(input, host);
    EXPECT_EQ(result.unwritten, (std::vector<std::string>{"keywords.txt", "b.html"}));
    EXPECT_FALSE(result.stopped);
    // b.jpg and b.png share their page: named before the run, as the unwritten files after it.
    EXPECT_EQ(host.Made("warn "),
              (Calls{"warn Diese Seiten würden mehrfach geschrieben; bitte benennen Sie die Bilder um:\n"
                     "b.html: b.jpg b.png",
                     "warn Folgende Dateien konnten nicht geschrieben werden:\nkeywords.txt\nb.html"}));
    EXPECT_EQ(host.calls.back(), "normal");
    EXPECT_EQ(host.Made("step").size(), 4u);
    EXPECT_EQ(folder.Get("c.html"), "");
    EXPECT_EQ(folder.Get("index.html"), "T;K;()()()()");
}

// A page that is a link to a file elsewhere and a text that exists but cannot be read: neither is
// written, the link's target stays as it is, the answer serves this run, and both are named.
TEST_F(GeneratorTest, LinkedPagesAndUnreadableTextsAreNamedAndLeftAlone) {
    TempFolder outside;
    const std::string key = outside.Put("key", "geheim");
    ASSERT_EQ(::symlink(key.c_str(), (folder / "a.html").c_str()), 0);
    ASSERT_EQ(::mkfifo((folder / "b.txt").c_str(), 0644), 0);
    folder.Put("title.txt", "T");
    input.flags = Flags(false, false, true, false);
    host.answers = {"Text a", "Text b"};
    Run({"a.jpg", "b.jpg"});

    EXPECT_EQ(host.Made("warn "),
              Calls{"warn Folgende Dateien konnten nicht geschrieben werden:\na.html\nb.txt"});
    EXPECT_EQ(outside.Listing(true), "key=geheim");
    EXPECT_EQ(folder.Get("b.html"), "Text b");
    EXPECT_EQ(folder.Get("a.txt"), "Text a");
    EXPECT_EQ(folder.Get("index.html"), "T;;(Text a)(Text b)");
    struct stat state {};
    ASSERT_EQ(::lstat((folder / "b.txt").c_str(), &state), 0);
    EXPECT_TRUE(S_ISFIFO(state.st_mode));
    EXPECT_EQ(folder.Listing(), "a.html|a.txt|b.html|b.txt|index.html|title.txt");
}

} // namespace
} // namespace qlm

namespace qlm {
namespace {

// A folder made on Windows: its texts in Windows-1252 reach UTF-8 pages as UTF-8 and other pages
// byte for byte; the files themselves stay as they are.
TEST_F(GeneratorTest, WindowsTextsReachUtf8PagesAsUtf8) {
    const std::string windows = "Gr\xF6\xDF"
                                "e";
    folder.Put("title.txt", windows);
    folder.Put("a.txt", windows);
    host.sizes = {{"a.jpg", {1, 1}}, {"t_a.jpg", {1, 1}}};
    input.templates = {"<meta charset=\"utf-8\"><mytitle>|", "<mytext>|", "", "<mytext>", "", ""};
    Run({"a.jpg"});
    EXPECT_EQ(folder.Get("index.html"), "<meta charset=\"utf-8\">Größe|Größe|");
    EXPECT_EQ(folder.Get("a.html"), "Größe");
    EXPECT_EQ(folder.Get("a.txt"), windows);

    input.templates = {"<meta charset=\"windows-1252\"><mytitle>|", "<mytext>|", "", "<mytext>", "", ""};
    Run({"a.jpg"});
    EXPECT_EQ(folder.Get("index.html"), "<meta charset=\"windows-1252\">" + windows + "|" + windows + "|");
}

} // namespace
} // namespace qlm

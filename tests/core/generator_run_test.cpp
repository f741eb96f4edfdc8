// The course of a generation run: questions and stored answers, progress, display, warnings, and
// what stays when the run stops or cannot write.

#include "core/generator.h"
#include "generator_test_host.h"
#include "text_file_test_util.h"

#include <gtest/gtest.h>

#include <ostream>

#include <sys/stat.h>

namespace qlm {
namespace {

using test::RecordingHost;
using test::TempFolder;
using Calls = std::vector<std::string>;

OptionFlags Flags(bool keywords, bool description, bool alt, bool warn) {
    OptionFlags flags;
    flags.keywords = keywords;
    flags.description = description;
    flags.alt = alt;
    flags.warn = warn;
    flags.img_wo_alt = false;
    flags.thumbs_jpg = false;
    return flags;
}

class RunTest : public ::testing::Test {
  protected:
    RunTest() : host(folder.Path()) {
        input.folder = folder.Path();
        input.flags = Flags(false, false, false, false);
        input.templates = {"<mytitle>|<mykeywords>|<mydescription>", "(<mytext>)", "", "<mytext>", "", ""};
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

TEST_F(RunTest, AsksForTheFolderTextsFirstAndThePictureTextWithThePictureInView) {
    input.flags = Flags(true, true, true, true);
    folder.Put("a.txt", "Text A");
    host.sizes = {{"a.jpg", {4, 3}}, {"t_a.jpg", {2, 1}}, {"b.gif", {5, 5}}};
    host.answers = {"Titel", "K1, K2", "Beschreibung", "Alt B"};
    Run({"a.jpg", "b.gif"});
    EXPECT_EQ(host.calls,
              (Calls{"working", "max 2", "pos 0", "label ", "ask 4 []", "ask 1 []", "ask 2 [K1, K2]",
                     "label a.jpg", "thumb t_a.jpg", "pic a.jpg", "step", "label b.gif", "thumb t_b.gif",
                     "warn Der Thumbnail t_b.gif fehlt!", "pic b.gif", "ask 3 []", "step", "normal"}));
    EXPECT_EQ(folder.Get("title.txt"), "Titel");
    EXPECT_EQ(folder.Get("keywords.txt"), "K1, K2");
    EXPECT_EQ(folder.Get("description.txt"), "Beschreibung");
    EXPECT_EQ(folder.Get("b.txt"), "Alt B");
    EXPECT_EQ(folder.Get("a.txt"), "Text A");
    EXPECT_EQ(folder.Get("index.html"), "Titel|K1, K2|Beschreibung(Text A)(Alt B)");
}

struct QuestionCase {
    const char* name;
    OptionFlags flags;
    std::map<std::string, std::string> present; // folder files before the run
    std::deque<std::string> answers;
    Calls questions;
    std::map<std::string, std::string> stored; // file -> content after the run ("<missing ...>" when absent)
    std::string overview;
};

// Test names in listings show the case, not its bytes.
void PrintTo(const QuestionCase& c, std::ostream* os) {
    *os << c.name;
}

class QuestionTest : public RunTest, public ::testing::WithParamInterface<QuestionCase> {};

TEST_P(QuestionTest, AsksWhatIsMissingAndStoresTheAnswer) {
    const QuestionCase& c = GetParam();
    input.flags = c.flags;
    for (const auto& [name, content] : c.present)
        folder.Put(name, content);
    host.answers = c.answers;
    Run({"p.jpg"});
    EXPECT_EQ(host.Calls("ask "), c.questions);
    for (const auto& [name, content] : c.stored)
        EXPECT_EQ(folder.Get(name), content) << name;
    EXPECT_EQ(folder.Get("index.html"), c.overview);

    // Everything asked is stored: a second run asks nothing.
    host.calls.clear();
    Run({"p.jpg"});
    EXPECT_EQ(host.Calls("ask "), Calls{});
    EXPECT_EQ(folder.Get("index.html"), c.overview);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuestionTest,
    ::testing::Values(QuestionCase{"TitleEvenWithoutFlags",
                                   Flags(false, false, false, false),
                                   {},
                                   {"Titel"},
                                   {"ask 4 []"},
                                   {{"title.txt", "Titel"},
                                    {"keywords.txt", "<missing keywords.txt>"},
                                    {"p.txt", "<missing p.txt>"}},
                                   "Titel||()"},
                      QuestionCase{"DescriptionStartsWithStoredKeywords",
                                   Flags(true, true, false, false),
                                   {{"title.txt", "T"}, {"keywords.txt", "Meer"}},
                                   {"See"},
                                   {"ask 2 [Meer]"},
                                   {{"description.txt", "See"}},
                                   "T|Meer|See()"},
                      QuestionCase{"DeclinedKeywordsStartTheDescription",
                                   Flags(true, true, false, false),
                                   {{"title.txt", "T"}},
                                   {"<notext>", ""},
                                   {"ask 1 []", "ask 2 [<notext>]"},
                                   {{"keywords.txt", "<notext>"}, {"description.txt", ""}},
                                   "T||()"},
                      QuestionCase{"DeclinedTitle",
                                   Flags(false, false, false, false),
                                   {},
                                   {"<notext>"},
                                   {"ask 4 []"},
                                   {{"title.txt", "<notext>"}},
                                   "||()"},
                      QuestionCase{"EmptyAnswersGiveEmptyFiles",
                                   Flags(false, false, true, false),
                                   {},
                                   {"", ""},
                                   {"ask 4 []", "ask 3 []"},
                                   {{"title.txt", ""}, {"p.txt", ""}},
                                   "||()"},
                      QuestionCase{
                          "EmptyFilesAreNotAskedAgain",
                          Flags(true, true, true, false),
                          {{"title.txt", ""}, {"keywords.txt", ""}, {"description.txt", ""}, {"p.txt", ""}},
                          {},
                          {},
                          {{"title.txt.bak", "<missing title.txt.bak>"}},
                          "||()"},
                      QuestionCase{"AnswersKeepLineBreaksAndBlanks",
                                   Flags(false, false, true, false),
                                   {{"title.txt", "T"}},
                                   {" zwei\r\nZeilen "},
                                   {"ask 3 []"},
                                   {{"p.txt", " zwei\r\nZeilen "}, {"p.html", " zwei<BR>Zeilen "}},
                                   "T||( zwei<BR>Zeilen )"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(RunTest, WithoutAskingNothingIsAskedOrStored) {
    input.flags = Flags(true, true, true, true);
    input.ask = false;
    Run({"p.jpg"});
    EXPECT_EQ(host.Calls("ask "), Calls{});
    EXPECT_EQ(folder.Listing(), "index.html|p.html");
    EXPECT_EQ(folder.Get("index.html"), "||()");
}

TEST_F(RunTest, ProgressCountsTheSelectedEntries) {
    folder.Put("title.txt", "T");
    input.pictures = {"a.jpg", "b.jpg"};
    input.selected_entries = 3;
    MakeGallery(input, host);
    EXPECT_EQ(host.Calls("max "), Calls{"max 3"});
    EXPECT_EQ(host.Calls("label "), (Calls{"label ", "label a.jpg", "label b.jpg"}));
    EXPECT_EQ(host.Calls("step").size(), 2u);
}

struct StopCase {
    const char* name;
    std::string undecodable;
};

// Test names in listings show the case, not its bytes.
void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeFailureTest : public RunTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(DecodeFailureTest, StopsTheRunKeepsWhatWasWrittenAndRestoresTheDisplay) {
    input.flags = Flags(false, false, true, false);
    host.answers = {"Titel", "Text a"};
    host.undecodable = {GetParam().undecodable};
    EXPECT_THROW(Run({"a.jpg", "b.jpg", "c.jpg"}), DecodeError);
    EXPECT_EQ(host.calls.back(), "normal");
    EXPECT_EQ(host.Calls("working").size(), 1u);
    EXPECT_EQ(host.Calls("normal").size(), 1u);
    EXPECT_EQ(folder.Listing(), "a.html|a.txt|title.txt");
    EXPECT_EQ(folder.Get("a.html"), "Text a");
}

INSTANTIATE_TEST_SUITE_P(Files, DecodeFailureTest,
                         ::testing::Values(StopCase{"Picture", "b.jpg"}, StopCase{"Thumbnail", "t_b.jpg"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(RunTest, FilesThatCannotBeWrittenAreNamedOnceAtTheEnd) {
    input.flags = Flags(true, false, false, false);
    folder.Put("title.txt", "T");
    // A folder in place of a file can neither be read nor replaced, whoever runs the test.
    ASSERT_EQ(::mkdir((folder / "keywords.txt").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((folder / "b.html").c_str(), 0755), 0);
    host.answers = {"K"};
    Run({"a.jpg", "b.jpg", "b.png", "c.jpg"});
    EXPECT_EQ(host.Calls("warn "),
              Calls{"warn Folgende Dateien konnten nicht geschrieben werden:\nkeywords.txt\nb.html"});
    EXPECT_EQ(host.calls.back(), "normal");
    EXPECT_EQ(host.Calls("step").size(), 4u);
    EXPECT_EQ(folder.Get("c.html"), "");
    EXPECT_EQ(folder.Get("index.html"), "T|K|()()()()");
}

TEST_F(RunTest, ACompleteRunShowsNoMessage) {
    folder.Put("title.txt", "T");
    Run({"a.jpg"});
    EXPECT_EQ(host.Calls("warn "), Calls{});
    EXPECT_EQ(host.calls.front(), "working");
    EXPECT_EQ(host.calls.back(), "normal");
}

} // namespace
} // namespace qlm

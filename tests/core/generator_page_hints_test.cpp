// SPDX-License-Identifier: GPL-3.0-or-later
// What a run tells the browser and search engines about a page besides its content: which
// thumbnails of the overview load at once (<myloading>) and the page's description on one line,
// never empty while the page has some text to give (<mypagedescription>).

#include "core/generator.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qlm {
namespace {

using test::TempFolder;

// Knows picture sizes by bare name; asks nothing and shows nothing.
class QuietHost : public GenerationHost {
  public:
    std::string AskUser(const std::string&, AskKind) override { return "<notext>"; }
    std::optional<PictureSize> MyLoadPic(const std::string&) override { return PictureSize{400, 300}; }
    std::optional<PictureSize> LoadThumbnail(const std::string&) override { return PictureSize{160, 120}; }
    void ShowWarning(const std::string&) override {}
    void ShowDecodeFailure(const std::string&, const std::string&) override {}
    void SetProgressLabel(const std::string&) override {}
    void SetProgressMaximum(int) override {}
    void SetProgressPosition(int) override {}
    void StepProgress() override {}
    void SetWorkingDisplay(bool) override {}
};

class PageHintsTest : public ::testing::Test {
  protected:
    PageHintsTest() {
        input.folder = folder.Path();
        input.ask = false;
    }
    void Run(std::vector<std::string> pictures) {
        input.selected_entries = static_cast<int>(pictures.size());
        input.pictures = std::move(pictures);
        MakeGallery(input, host);
    }

    TempFolder folder;
    QuietHost host;
    GenerationInput input;
};

TEST_F(PageHintsTest, TheFirstSixEntriesLoadAtOnceTheOthersLazilyEveryPageAtOnce) {
    input.templates = {"", "<mynumber>:<myloading> ", "", "<myloading>", "", ""};
    Run({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg", "g.jpg", "h.jpg"});
    EXPECT_EQ(folder.Get("index.html"), "1:eager 2:eager 3:eager 4:eager 5:eager 6:eager 7:lazy 8:lazy ");
    // A picture page's own picture is what its reader came for, whatever its place in the run.
    EXPECT_EQ(folder.Get("a.html"), "eager");
    EXPECT_EQ(folder.Get("h.html"), "eager");
}

// The folder's texts (absent where empty) and a picture's text, with what each page's
// description then is: the overview's, and the picture page's and its entry's.
struct DescriptionCase {
    const char* name;
    std::optional<std::string> description, title, picture_text;
    std::string overview, picture;
};

class PageDescriptionTest : public PageHintsTest, public ::testing::WithParamInterface<DescriptionCase> {};

TEST_P(PageDescriptionTest, IsTheFirstTextThereIsOnOneLine) {
    const DescriptionCase& row = GetParam();
    for (const auto& [file, text] :
         {std::pair{"description.txt", row.description}, std::pair{"title.txt", row.title},
          std::pair{"a&b.txt", row.picture_text}})
        if (text)
            folder.Put(file, *text);
    input.templates = {"<mypagedescription>|",
                       "<mypagedescription>|",
                       "<mypagedescription>",
                       "<meta name=\"description\" content=\"<mypagedescription>\">",
                       "",
                       ""};
    Run({"a&b.jpg"});
    EXPECT_EQ(folder.Get("index.html"), row.overview + "|" + row.picture + "|" + row.overview);
    EXPECT_EQ(folder.Get("a&b.html"), "<meta name=\"description\" content=\"" + row.picture + "\">");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PageDescriptionTest,
    ::testing::Values(
        DescriptionCase{"AllTexts", "Eine Wanderung", "Berge", "Der See", "Eine Wanderung", "Der See"},
        // Line breaks, emphasis and quotes would break the attribute the description stands in.
        DescriptionCase{"OnOneLine", "Zwei\r\nZeilen \"<i>hier</i>\"", "Berge", "Am <b>See</b>\nmorgens",
                        "Zwei Zeilen &quot;hier&quot;", "Am See morgens"},
        // The newcomer's gallery: no description.txt and pictures without texts.
        DescriptionCase{"NoDescription", std::nullopt, "Berge", std::nullopt, "Berge", "a&amp;b"},
        DescriptionCase{"PictureWithoutText", "Eine Wanderung", "Berge", std::nullopt, "Eine Wanderung",
                        "Eine Wanderung"},
        // A declined question leaves the no-text answer, which counts as empty.
        DescriptionCase{"DeclinedTexts", "<notext>", "Berge", "<notext>", "Berge", "a&amp;b"},
        DescriptionCase{"NothingAtAll", std::nullopt, std::nullopt, std::nullopt, "", "a&amp;b"}),
    [](const ::testing::TestParamInfo<DescriptionCase>& info) { return std::string(info.param.name); });

TEST_F(PageHintsTest, TemplatesWithoutTheHintsGiveThePagesTheyAlwaysGave) {
    folder.Put("title.txt", "Berge");
    input.templates = {"<title><mytitle></title><meta name=\"description\" content=\"<mydescription>\">",
                       "<img src=\"<mytinypicfile>\" alt=\"<myalt>\">",
                       "",
                       "<meta name=\"description\" content=\"<myalt>\"><p><mytext></p>",
                       "",
                       ""};
    Run({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg", "g.jpg"});
    std::string overview = "<title>Berge</title><meta name=\"description\" content=\"\">";
    for (const char* name : {"a", "b", "c", "d", "e", "f", "g"})
        overview += "<img src=\"t_" + std::string(name) + ".jpg\" alt=\"\">";
    EXPECT_EQ(folder.Get("index.html"), overview);
    EXPECT_EQ(folder.Get("g.html"), "<meta name=\"description\" content=\"\"><p></p>");
}

} // namespace
} // namespace qlm

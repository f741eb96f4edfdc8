// SPDX-License-Identifier: GPL-3.0-or-later
// Filling a template must give what replacing its placeholders in turn gives, on the way it
// takes for each page: from a plan where no text can form a placeholder, else by replacing.

#include "core/placeholder_sequence.h"
#include "core/template_filler.h"

#include <gtest/gtest.h>

#include <string>

namespace qlm {
namespace {

std::string Applied(const PlaceholderSequence& sequence, std::string text) {
    ApplyPlaceholders(sequence, text);
    return text;
}

struct Page {
    const char* what;
    std::string template_text;
    PlaceholderSequence sequence;
    bool planned;
};

class TemplateFillerPage : public testing::TestWithParam<Page> {};

TEST_P(TemplateFillerPage, GivesWhatReplacingInTurnGives) {
    const Page& page = GetParam();
    TemplateFiller filler(page.template_text);
    EXPECT_EQ(filler.Fill(page.sequence), Applied(page.sequence, page.template_text)) << page.what;
    EXPECT_EQ(filler.paths().planned, page.planned ? 1U : 0U) << page.what;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, TemplateFillerPage,
    testing::Values(
        Page{"a run's texts",
             "<a href=\"<myhtmlfile>\"><mytinypic></a> <mynumber> / <mycount> <myname><mytext>",
             {{"<mytinypic>", "<img src=\"t_bild1.jpg\" width=\"40\" alt=\"\">"},
              {"<mytext>", "<notext>"},
              {"<myname>", "bild1"},
              {"<myhtmlfile>", "bild1.html"},
              {"<mynumber>", "3"},
              {"<mycount>", "10000"}},
             true},
        Page{"a removal joins a later placeholder",
             "<my<mytext>name>, <myna<myalt>me>",
             {{"<mytext>", ""}, {"<myalt>", "<notext>"}, {"<myname>", "bild1"}},
             true},
        Page{"a text holds a later placeholder",
             "<mytext>",
             {{"<mytext>", "Das ist <myname>"}, {"<myname>", "bild1"}},
             false},
        Page{"a text holds a placeholder, but its own is not in the page",
             "<myname>",
             {{"<mytext>", "Das ist <myname>"}, {"<myname>", "bild1"}},
             true},
        Page{"a text ends with a beginning of a later one",
             "<mytext>name>",
             {{"<mytext>", "x<my"}, {"<myname>", "bild1"}},
             false},
        Page{"a text begins with an end of its own", "<my<myname>", {{"<myname>", "name>x"}}, false},
        Page{"a text lies inside a later one",
             "<my<mytext>ame>",
             {{"<mytext>", "n"}, {"<myname>", "b"}},
             false}),
    [](const testing::TestParamInfo<Page>& row) { return "Page" + std::to_string(row.index); });

TEST(TemplateFiller, ReplacesWhenThePatternsOfEmptyTextsAreTooMany) {
    const std::string template_text = "<p><myalt>|<mytext>|<myname>|<mykeywords></p>";
    TemplateFiller filler(template_text);
    PlaceholderSequence sequence = {
        {"<myalt>", ""}, {"<mytext>", ""}, {"<myname>", ""}, {"<mykeywords>", ""}};
    // Each of the sixteen patterns twice: the first eight are planned and used again.
    for (int round = 0; round < 32; ++round) {
        for (std::size_t index = 0; index < sequence.size(); ++index)
            sequence[index].second = (round >> index & 1) != 0 ? "" : "Wert " + std::to_string(round);
        ASSERT_EQ(filler.Fill(sequence), Applied(sequence, template_text)) << round;
    }
    EXPECT_EQ(filler.paths().planned, 16U);
    EXPECT_EQ(filler.paths().replaced, 16U);
}

// A plan copies the template; one of many megabytes is filled by replacing, with the same pages.
TEST(TemplateFiller, ALargeTemplateIsReplacedNotPlanned) {
    const std::string template_text =
        "<p><myname>|<mytext>" + std::string(std::size_t{5} << 20, 'x') + "<myname>";
    TemplateFiller filler(template_text);
    PlaceholderSequence sequence = {{"<myname>", "bild1"}, {"<mytext>", ""}};
    ASSERT_EQ(filler.Fill(sequence), Applied(sequence, template_text));
    sequence[0].second = "b";
    ASSERT_EQ(filler.Fill(sequence), Applied(sequence, template_text));
    EXPECT_EQ(filler.paths().planned, 0U);
    EXPECT_EQ(filler.paths().replaced, 2U);
}

TEST(TemplateFiller, PlansAnewForOtherPlaceholders) {
    const std::string template_text = "<myname><mytext><myalt>";
    TemplateFiller filler(template_text);
    const PlaceholderSequence first = {{"<myname>", "bild1"}, {"<mytext>", ""}};
    const PlaceholderSequence second = {{"<mytext>", "Text"}, {"<myname>", ""}, {"<myalt>", "1"}};
    for (const PlaceholderSequence* sequence : {&first, &second, &first})
        EXPECT_EQ(filler.Fill(*sequence), Applied(*sequence, template_text));
    EXPECT_EQ(filler.paths().planned, 3U);
}

} // namespace
} // namespace qlm

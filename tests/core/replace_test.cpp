// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder replacement: every occurrence goes, also the ones that a removal forms anew, and the
// operation ends even when a replacement forms its placeholder again.

#include "core/text_file.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qlm {
namespace {

struct ReplaceCase {
    const char* name;
    std::string source, placeholder, replacement, expected;
};

class ReplaceTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceTest, GivesTheExpectedText) {
    const auto& c = GetParam();
    EXPECT_EQ(MyReplace(c.source, c.placeholder, c.replacement), c.expected);
}

// The ordinary cases over short texts are compared with the literal steps further below.
INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceTest,
    ::testing::Values(
        ReplaceCase{"NoTextRemoves", "a<mytitle>b<mytitle>", "<mytitle>", "<notext>", "ab"},
        ReplaceCase{"NoTextInCapitalsIsInserted", "a<mytitle>b", "<mytitle>", "<NOTEXT>", "a<NOTEXT>b"},
        // Occurrences that only arise when a replacement joins its neighbours are replaced as well.
        ReplaceCase{"NestedRemovals", "x<<<b>b>b>y", "<b>", "", "xy"},
        // A replacement that holds its own placeholder: each occurrence of the source is replaced once.
        ReplaceCase{"TitleIsItsPlaceholder", "<h1><mytitle></h1>", "<mytitle>", "<mytitle>",
                    "<h1><mytitle></h1>"},
        ReplaceCase{"Doubling", "aba", "a", "aa", "aabaa"},
        ReplaceCase{"NoTextPlaceholderItself", "x<notext>y", "<notext>", "<notext>", "xy"},
        // "ab" -> "bbaa" forms a new "ab" at its left border every time and would grow without end.
        ReplaceCase{"GrowingWithoutEnd", "aab", "ab", "bbaa", "abbaa"}),
    kRowName);

// The replacement steps done literally: find the leftmost occurrence, replace it, search again from
// the start. Gives nothing when they have not ended after `limit` replacements.
std::optional<std::string> LiteralSteps(std::string text, const std::string& placeholder,
                                        std::string replacement, int limit) {
    if (placeholder.empty())
        return text;
    if (replacement == "<notext>")
        replacement.clear();
    for (int done = 0; done <= limit && text.size() < 1024; ++done) {
        auto at = text.find(placeholder);
        if (at == std::string::npos)
            return text;
        text.replace(at, placeholder.size(), replacement);
    }
    return std::nullopt;
}

std::vector<std::string> WordsUpTo(std::size_t length) {
    std::vector<std::string> words{""};
    for (std::size_t i = 0; i < words.size(); ++i)
        if (words[i].size() < length)
            for (char c : {'a', 'b'})
                words.push_back(words[i] + c);
    return words;
}

TEST(ReplaceAgreesWithTheLiteralSteps, OverEveryShortText) {
    const auto sources = WordsUpTo(7);
    const auto replacements = WordsUpTo(4);
    int compared = 0;
    for (const auto& placeholder : WordsUpTo(3)) {
        for (const auto& replacement : replacements) {
            for (const auto& source : sources) {
                auto literal = LiteralSteps(source, placeholder, replacement, 300);
                if (!literal)
                    continue; // the steps do not end; see the self-containing cases above
                ++compared;
                ASSERT_EQ(MyReplace(source, placeholder, replacement), *literal)
                    << "source " << source << " placeholder " << placeholder << " replacement "
                    << replacement;
            }
        }
    }
    EXPECT_GT(compared, 10000);
}

// Removing literally, step by step, while each byte keeps the place it had in the source: the
// result's joins are where two neighbours were not neighbours in the source, or where something
// before the first or after the last byte was removed.
std::vector<std::size_t> LiteralJoins(const std::string& source, const std::string& placeholder) {
    std::string text = source;
    std::vector<std::size_t> origin(source.size());
    for (std::size_t i = 0; i < origin.size(); ++i)
        origin[i] = i;
    bool removed = false;
    for (auto at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder)) {
        text.erase(at, placeholder.size());
        origin.erase(origin.begin() + static_cast<std::ptrdiff_t>(at),
                     origin.begin() + static_cast<std::ptrdiff_t>(at + placeholder.size()));
        removed = true;
    }
    std::vector<std::size_t> joins;
    if (origin.empty()) {
        if (removed)
            joins.push_back(0);
        return joins;
    }
    for (std::size_t i = 0; i <= origin.size(); ++i)
        if (i == 0               ? origin[0] != 0
            : i == origin.size() ? origin[i - 1] != source.size() - 1
                                 : origin[i] != origin[i - 1] + 1)
            joins.push_back(i);
    return joins;
}

TEST(RemoveEvery, RemovesAsMyReplaceAndNamesEveryJoin) {
    std::vector<std::size_t> joins;
    EXPECT_EQ(RemoveEvery("x<<<b>b>b>y", "<b>", joins), "xy");
    EXPECT_EQ(joins, std::vector<std::size_t>{1});
    for (const auto& placeholder : WordsUpTo(3)) {
        if (placeholder.empty())
            continue;
        for (const auto& source : WordsUpTo(8)) {
            const std::string removed = RemoveEvery(source, placeholder, joins);
            ASSERT_EQ(removed, MyReplace(source, placeholder, ""));
            ASSERT_EQ(joins, LiteralJoins(source, placeholder))
                << "source " << source << " placeholder " << placeholder;
        }
    }
}

TEST(ReplaceEnds, InLinearTimeOverLongRuns) {
    // Restarting the search from the start after each of these 200000 replacements would take hours.
    EXPECT_EQ(MyReplace("x" + std::string(200000, ' ') + "y", "  ", " "), "x y");
    std::string nested = std::string(100000, '<') + "<b>";
    for (int i = 0; i < 100000; ++i)
        nested += "b>";
    EXPECT_EQ(MyReplace(nested, "<b>", "").size(), 0u);
    std::string many;
    for (int i = 0; i < 50000; ++i)
        many += "<mytitle>";
    EXPECT_EQ(MyReplace(many, "<mytitle>", "<mytitle>").size(), many.size());
}

} // namespace
} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a page's placeholders in place and skipping those a text does not hold must give
// exactly what replacing each of them into a fresh copy, one after the other, always gave. The
// oracle below is that replacement as the program did it before: it must not follow later changes
// of MyReplace.

#include "core/placeholder_sequence.h"
#include "core/template_filler.h"
#include "core/text_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace qlm {
namespace {

// --- The oracle: the earlier replacement, one new text per placeholder ------------------------

class OracleMatcher {
  public:
    explicit OracleMatcher(std::string_view pattern) : pattern_(pattern), failure_(pattern.size(), 0) {
        std::size_t k = 0;
        for (std::size_t i = 1; i < pattern.size(); ++i) {
            while (k > 0 && pattern[i] != pattern[k])
                k = failure_[k - 1];
            if (pattern[i] == pattern[k])
                ++k;
            failure_[i] = k;
        }
    }
    std::size_t Step(std::size_t state, char c) const {
        if (state == pattern_.size())
            state = failure_[state - 1];
        while (state > 0 && pattern_[state] != c)
            state = failure_[state - 1];
        if (pattern_[state] == c)
            ++state;
        return state;
    }
    std::size_t Run(std::string_view text) const {
        std::size_t state = 0;
        for (char c : text)
            state = Step(state, c);
        return state;
    }

  private:
    std::string_view pattern_;
    std::vector<std::size_t> failure_;
};

std::string OracleEachOnce(std::string_view source, std::string_view placeholder,
                           std::string_view replacement) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = source.find(placeholder, from)) != std::string_view::npos;
         from = at + placeholder.size()) {
        out.append(source.substr(from, at - from));
        out.append(replacement);
    }
    out.append(source.substr(from));
    return out;
}

std::string OracleReplace(std::string_view source, std::string_view placeholder,
                          std::string_view replacement) {
    if (placeholder.empty())
        return std::string(source);
    if (replacement == "<notext>")
        replacement = {};
    if (replacement.find(placeholder) != std::string_view::npos)
        return OracleEachOnce(source, placeholder, replacement);
    const OracleMatcher matcher(placeholder);
    const bool reread = !replacement.empty() && OracleMatcher(replacement).Run(placeholder) > 0;
    const std::size_t budget = 16 * (source.size() + replacement.size()) + (std::size_t{1} << 20);
    std::size_t reread_count = 0;
    std::string out;
    std::size_t state = 0, next = 0;
    std::vector<std::size_t> pending;
    auto state_of_out = [&] {
        std::size_t overlap = std::min(out.size(), placeholder.size() - 1);
        return matcher.Run(std::string_view(out).substr(out.size() - overlap));
    };
    auto replaced = [&] {
        if (reread)
            pending.push_back(0);
        else
            out.append(replacement);
        state = state_of_out();
    };
    for (;;) {
        char c;
        if (!pending.empty()) {
            if (++reread_count > budget)
                return OracleEachOnce(source, placeholder, replacement);
            std::size_t& at = pending.back();
            c = replacement[at++];
            if (at == replacement.size())
                pending.pop_back();
        } else if (next < source.size()) {
            c = source[next++];
        } else {
            break;
        }
        out.push_back(c);
        state = matcher.Step(state, c);
        if (state == placeholder.size()) {
            out.resize(out.size() - placeholder.size());
            replaced();
        }
    }
    return out;
}

std::string OracleApply(const PlaceholderSequence& sequence, std::string text) {
    for (const auto& [placeholder, value] : sequence)
        text = OracleReplace(text, placeholder, value);
    return text;
}

// --- Generated texts ------------------------------------------------------------------------

// Pieces that form, break and join placeholders: whole ones, their halves, the brackets alone.
const std::vector<std::string> kPieces = {
    "<mykeywords>", "<myname>", "<mytext>", "<myna", "me>", "<my", "keywords>", "<", ">", "m", "y", "a", " ",
    "  ",           "x",        "<notext>", "<<",    ">>"};

std::string Generated(std::mt19937& random, std::size_t max_pieces) {
    std::uniform_int_distribution<std::size_t> count(0, max_pieces), piece(0, kPieces.size() - 1);
    std::string text;
    for (std::size_t n = count(random); n > 0; --n)
        text += kPieces[piece(random)];
    return text;
}

TEST(ReplaceInPlace, GivesWhatTheEarlierReplacementGave) {
    std::mt19937 random(20261207);
    // Short placeholders over a small alphabet join, overlap and run into each other often.
    const std::vector<std::string> placeholders = {"ab", "aa", "aba", "abab", "<my>", "a", "ba"};
    std::uniform_int_distribution<std::size_t> which(0, placeholders.size() - 1), length(0, 24), letter(0, 3);
    const std::string letters = "ab<>";
    for (int round = 0; round < 40000; ++round) {
        std::string source, replacement;
        for (std::size_t n = length(random); n > 0; --n)
            source += letters[letter(random)];
        for (std::size_t n = length(random) % 6; n > 0; --n)
            replacement += letters[letter(random)];
        const std::string& placeholder = placeholders[which(random)];
        std::string text = source;
        ReplaceInPlace(text, placeholder, replacement);
        ASSERT_EQ(text, OracleReplace(source, placeholder, replacement))
            << "source \"" << source << "\" placeholder \"" << placeholder << "\" replacement \""
            << replacement << "\"";
    }
}

TEST(ApplyPlaceholders, GivesWhatTheEarlierSequenceGave) {
    std::mt19937 random(7);
    const std::vector<std::string_view> names = {"<mykeywords>", "<myname>", "<mytext>",
                                                 "<my",          "me>",      "ext>"};
    std::uniform_int_distribution<std::size_t> pick(0, names.size() - 1), steps(1, 6);
    for (int round = 0; round < 20000; ++round) {
        // The values are generated like the templates, so that they hold placeholders and their
        // parts, which later passes must find.
        PlaceholderSequence sequence;
        for (std::size_t n = steps(random); n > 0; --n)
            sequence.emplace_back(names[pick(random)], Generated(random, 3));
        const std::string template_text = Generated(random, 12);
        std::string text = template_text;
        ApplyPlaceholders(sequence, text);
        ASSERT_EQ(text, OracleApply(sequence, template_text)) << "template \"" << template_text << "\"";
    }
}

// The ways in which a replacement can make a placeholder appear that the text did not hold: inside
// the inserted text, holding it with text on both sides, across its start, across its end, or
// where a removal joined the text. `kElse` is for replacements that form their own placeholder
// anew and are cut up.
enum Way { kInside, kAround, kAcrossStart, kAcrossEnd, kAtJoin, kElse, kWays };

Way HowFormed(std::string_view later, std::string_view inserted) {
    if (inserted.empty() || inserted == "<notext>")
        return kAtJoin;
    if (inserted.find(later) != std::string_view::npos)
        return kInside;
    if (later.find(inserted) != std::string_view::npos)
        return kAround;
    for (std::size_t length = 1; length < later.size(); ++length)
        if (inserted.starts_with(later.substr(later.size() - length)))
            return kAcrossStart;
    for (std::size_t length = 1; length < later.size(); ++length)
        if (inserted.ends_with(later.substr(0, length)))
            return kAcrossEnd;
    return kElse;
}

// The sequence applied by the oracle, counting each placeholder that a step makes appear anew.
std::string OracleApplyCounting(const PlaceholderSequence& sequence, std::string text,
                                std::array<int, kWays>& formed) {
    for (std::size_t step = 0; step < sequence.size(); ++step) {
        const std::string after = OracleReplace(text, sequence[step].first, sequence[step].second);
        for (std::size_t later = step + 1; later < sequence.size(); ++later) {
            const std::string_view name = sequence[later].first;
            if (text.find(name) == std::string::npos && after.find(name) != std::string::npos)
                ++formed[HowFormed(name, sequence[step].second)];
        }
        text = after;
    }
    return text;
}

// Texts as a run's pages get them: file names, numbers, picture tags and texts with markup, which
// may still begin or end like a placeholder, hold one of its bytes or the one-letter placeholder.
std::string RunLikeValue(std::mt19937& random) {
    static const std::vector<std::string> pieces = {"bild", "0",    "07",          ".html",
                                                    ".jpg", " / ",  "<img src=\"", "\" width=\"160\">",
                                                    "<i>",  "</i>", "t_",          "-"};
    std::uniform_int_distribution<std::size_t> count(1, 4), piece(0, pieces.size() - 1);
    std::string text;
    for (std::size_t n = count(random); n > 0; --n)
        text += pieces[piece(random)];
    return text;
}

// Texts as Generated, now and then the no-text answer, a piece from inside a placeholder or a
// text as a run's.
std::string GeneratedValue(std::mt19937& random, const std::vector<std::string_view>& names) {
    const int kind = std::uniform_int_distribution<int>(0, 19)(random);
    if (kind == 0)
        return "<notext>";
    if (kind >= 10)
        return kind == 19 ? std::string() : RunLikeValue(random);
    const std::string_view name =
        names[std::uniform_int_distribution<std::size_t>(0, names.size() - 1)(random)];
    if (kind > 2 || name.size() < 3)
        return Generated(random, 3);
    const std::size_t from = std::uniform_int_distribution<std::size_t>(1, name.size() - 2)(random);
    return std::string(
        name.substr(from, std::uniform_int_distribution<std::size_t>(1, name.size() - 1 - from)(random)));
}

TEST(TemplateFiller, GivesWhatTheEarlierSequenceGave) {
    std::mt19937 random(2026);
    // Placeholders that hold each other, begin or end one another, and the one-letter ones that
    // names and numbers are made of.
    const std::vector<std::string_view> names = {"<mykeywords>", "<myname>", "<mytext>", "<my", "me>",
                                                 "ext>",         "my",       "a",        "<<"};
    std::uniform_int_distribution<std::size_t> pick(0, names.size() - 1), steps(1, 9), fills(1, 4);
    std::array<int, kWays> formed{};
    std::size_t planned = 0, replaced = 0;
    for (int round = 0; round < 30000; ++round) {
        // Templates hold the placeholders among the pieces, so that removals join text around
        // them, and between a beginning and an end of another, which an inserted text completes.
        std::string template_text;
        for (std::size_t n = steps(random); n > 0; --n) {
            const std::string_view around = names[pick(random)];
            const std::size_t cut = std::uniform_int_distribution<std::size_t>(0, around.size())(random);
            template_text += Generated(random, 2) + std::string(around.substr(0, cut)) +
                             std::string(names[pick(random)]) +
                             std::string(around.substr(std::min(around.size(), cut + 1 + n % 3)));
        }
        TemplateFiller filler(template_text);
        // The same filler serves sequences of the same names with other texts, as over a run's
        // pictures, and now and then other names.
        PlaceholderSequence sequence;
        for (std::size_t n = fills(random); n > 0; --n) {
            if (sequence.empty() || pick(random) == 0) {
                sequence.clear();
                for (std::size_t step = steps(random); step > 0; --step)
                    sequence.emplace_back(names[pick(random)], "");
            }
            for (auto& entry : sequence)
                entry.second = GeneratedValue(random, names);
            const std::string expected = OracleApplyCounting(sequence, template_text, formed);
            ASSERT_EQ(filler.Fill(sequence), expected) << "template \"" << template_text << "\"";
        }
        planned += filler.paths().planned;
        replaced += filler.paths().replaced;
    }
    // Each way is met often, so that a filler that overlooks one of them fails above, and pages
    // are filled often both from a plan and by replacing.
    for (int way = 0; way < kElse; ++way)
        EXPECT_GT(formed[way], 100) << "way " << way;
    EXPECT_GT(planned, 10000U);
    EXPECT_GT(replaced, 10000U);
}

TEST(TemplateFiller, GivesWhatTheEarlierSequenceGaveWithTheNamesReplacedLast) {
    // The page description and the loading hint come after the run's other names; one ends like
    // "<mydescription>" and both begin like every other, so that texts inserted before them can
    // complete them and removals can join them.
    std::mt19937 random(30);
    const std::vector<std::string_view> names = {"<mydescription>", "<myalt>", "<mynumber>",
                                                 "<mypagedescription>", "<myloading>"};
    const std::vector<std::string> pieces = {"<mypage", "description>", "<my", "loading>", "<myalt>", "x",
                                             "<"};
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1), name(0, names.size() - 1),
        count(1, 10);
    for (int round = 0; round < 20000; ++round) {
        std::string template_text;
        for (std::size_t n = count(random); n > 0; --n)
            template_text += n % 3 == 0 ? std::string(names[name(random)]) : pieces[piece(random)];
        PlaceholderSequence sequence;
        for (const std::string_view each : names)
            sequence.emplace_back(each,
                                  random() % 4 == 0 ? pieces[piece(random)] : GeneratedValue(random, names));
        TemplateFiller filler(template_text);
        ASSERT_EQ(filler.Fill(sequence), OracleApply(sequence, template_text))
            << "template \"" << template_text << "\"";
    }
}

TEST(ApplyPlaceholders, KeepsLongTextsAndReplacesNearTheirEnd) {
    // An overview of many entries with the version in its tail: the text before is kept as it is.
    std::string text(100000, 'x');
    text += "<myversion><myversion>";
    const std::string expected = OracleApply({{"<myversion>", "1.2"}, {"<mytitle>", "T"}}, text);
    ApplyPlaceholders({{"<myversion>", "1.2"}, {"<mytitle>", "T"}}, text);
    EXPECT_EQ(text, expected);
    EXPECT_TRUE(text.ends_with("x1.21.2"));
}

} // namespace
} // namespace qlm

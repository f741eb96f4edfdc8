// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text_file.h"

#include "platform/file_ops.h"

#include <algorithm>
#include <vector>

namespace qlm {

TextRead ReadTextFile(const std::string& file_name, std::string& text) {
    const int error = platform::ReadWholeFile(file_name, text, platform::kMaxTextFileSize);
    if (error != 0)
        return platform::IsMissingFile(error) ? TextRead::Missing : TextRead::Unreadable;
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    return TextRead::Read;
}

bool MyReadFile(const std::string& file_name, std::string& text) {
    return ReadTextFile(file_name, text) == TextRead::Read;
}

bool MyWriteFile(const std::string& file_name, std::string_view text) {
    // A file that already holds the text is left alone: it keeps its time, and its ".bak" keeps
    // the version before the last real change, so a rerun over an unchanged folder writes nothing.
    if (platform::FileHoldsExactly(file_name, text, platform::Links::Refuse))
        return true;
    return platform::ReplaceKeepingBackup(file_name, text, file_name + ".bak") == 0;
}

bool MyWriteFile(const std::string& file_name, std::string_view text, platform::WriteBatch& batch) {
    // A second write of a file in the batch must back up and compare with the first one's content.
    if (batch.Holds(file_name))
        batch.Commit();
    if (platform::FileHoldsExactly(file_name, text, platform::Links::Refuse))
        return true;
    return platform::ReplaceKeepingBackupIn(batch, file_name, text, file_name + ".bak") == 0;
}

namespace {

// Knuth-Morris-Pratt matcher. A state is the length of the longest end of the text read so far
// that is a beginning of the placeholder; reaching the placeholder's length is a match.
class Matcher {
  public:
    explicit Matcher(std::string_view pattern) : pattern_(pattern), failure_(pattern.size(), 0) {
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

    // State after reading `text` from the start state.
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

// Each occurrence in `source` replaced once, left to right; the inserted text is not searched.
std::string ReplaceEachOnce(std::string_view source, std::string_view placeholder,
                            std::string_view replacement) {
    std::string out;
    out.reserve(source.size());
    std::size_t from = 0;
    for (std::size_t at; (at = source.find(placeholder, from)) != std::string_view::npos;
         from = at + placeholder.size()) {
        out.append(source.substr(from, at - from));
        out.append(replacement);
    }
    out.append(source.substr(from));
    return out;
}

} // namespace

// Replacing restarts the search at the beginning of the text after every replacement, so that an
// occurrence formed by a removal joining its neighbours is replaced too. The loop below gives that
// result in one pass: `out` is the finished part of the text and never holds an occurrence, so
// after a replacement the next one can start at the earliest placeholder-length-minus-one bytes
// before the end of `out`; the matcher state carries exactly that overlap. Where the replacement
// can complete an occurrence with the text before it, it is read through the matcher again
// instead of being appended as it is.
//
// A replacement that contains its placeholder would be found again after every insertion and the
// restarts would never end; then each occurrence of the source is replaced once and the inserted
// text is not searched again. The same result is given when a replacement keeps forming its
// placeholder anew with its neighbours beyond a generous amount of work (growing or circling
// without end); ordinary replacements never come near that bound.
std::string MyReplace(std::string_view source, std::string_view placeholder, std::string_view replacement) {
    if (placeholder.empty())
        return std::string(source);
    if (replacement == kNoText)
        replacement = {};
    if (replacement.find(placeholder) != std::string_view::npos)
        return ReplaceEachOnce(source, placeholder, replacement);

    const Matcher matcher(placeholder);
    // Read again only if a beginning of the replacement can end an occurrence that starts before it.
    const bool reread = !replacement.empty() && Matcher(replacement).Run(placeholder) > 0;
    const std::size_t reread_budget = 16 * (source.size() + replacement.size()) + (std::size_t{1} << 20);
    std::size_t reread_count = 0;

    std::string out;
    out.reserve(source.size());
    std::size_t state = 0;
    std::size_t next = 0;             // next byte of the source to read
    std::vector<std::size_t> pending; // read positions in insertions still to be read, innermost last

    auto state_of_out = [&] {
        std::size_t overlap = std::min(out.size(), placeholder.size() - 1);
        return matcher.Run(std::string_view(out).substr(out.size() - overlap));
    };
    auto replaced = [&] {
        if (reread) {
            pending.push_back(0);
        } else {
            out.append(replacement);
        }
        state = state_of_out();
    };

    for (;;) {
        char c;
        if (!pending.empty()) {
            if (++reread_count > reread_budget)
                return ReplaceEachOnce(source, placeholder, replacement);
            std::size_t& at = pending.back();
            c = replacement[at++];
            if (at == replacement.size())
                pending.pop_back();
        } else if (next < source.size()) {
            if (state == 0) {
                // Nothing in `out` can begin an occurrence: jump to the next one in the source.
                std::size_t at = source.find(placeholder, next);
                if (at == std::string_view::npos) {
                    out.append(source.substr(next));
                    break;
                }
                out.append(source.substr(next, at - next));
                next = at + placeholder.size();
                replaced();
                continue;
            }
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

} // namespace qlm

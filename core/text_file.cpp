// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text_file.h"

#include "platform/file_ops.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

namespace qlm {

TextRead ReadTextFile(const std::string& file_name, std::string& text, int* error) {
    const int failed = platform::ReadWholeFile(file_name, text, platform::kMaxTextFileSize);
    if (error != nullptr)
        *error = failed;
    if (failed == EMFILE || failed == ENFILE)
        return TextRead::OutOfDescriptors;
    // A zero byte is kept like any other: texts are byte strings, and cutting there would drop
    // the rest of the user's text without a word.
    if (failed != 0)
        return platform::IsMissingFile(failed) ? TextRead::Missing : TextRead::Unreadable;
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
    return platform::ReplaceKeepingBackup(file_name, text, platform::BackupName(file_name)) == 0;
}

bool MyWriteFile(const std::string& file_name, std::string_view text, platform::WriteBatch& batch) {
    // A second write of a file in the batch must back up and compare with the first one's content.
    if (batch.Holds(file_name))
        batch.Commit();
    if (platform::FileHoldsExactly(file_name, text, platform::Links::Refuse))
        return true;
    return platform::ReplaceKeepingBackupIn(batch, file_name, text, platform::BackupName(file_name)) == 0;
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

// Replacing restarts the search at the beginning of the text after every replacement, so that an
// occurrence formed by a removal joining its neighbours is replaced too. The replacer below gives
// that result in one pass: `out_` is the finished part of the text and never holds an occurrence,
// so after a replacement the next one can start at the earliest placeholder-length-minus-one bytes
// before the end of `out_`; the matcher state carries exactly that overlap. Where the replacement
// can complete an occurrence with the text before it, it is read through the matcher again
// instead of being appended as it is.
//
// A replacement that keeps forming its placeholder anew with its neighbours beyond a generous
// amount of work (growing or circling without end) makes the replacer give up; ordinary
// replacements never come near that bound.
class RestartingReplacer {
  public:
    RestartingReplacer(std::string_view source, std::string_view placeholder, std::string_view replacement)
        : source_(source), placeholder_(placeholder), replacement_(replacement), matcher_(placeholder),
          // Read again only if a beginning of the replacement can end an occurrence that starts before it.
          reread_(!replacement.empty() && Matcher(replacement).Run(placeholder) > 0),
          reread_budget_(16 * (source.size() + replacement.size()) + (std::size_t{1} << 20)) {
        out_.reserve(source.size());
    }

    // Notes in `joins` where the result's text that was apart comes to meet; only for an empty
    // replacement, which inserts nothing between them.
    void NoteJoinsIn(std::vector<std::size_t>& joins) { joins_ = &joins; }

    // The replaced text; nothing when the rereading went beyond its budget.
    std::optional<std::string> Run() {
        for (;;) {
            char c;
            if (!pending_.empty()) {
                if (++reread_count_ > reread_budget_)
                    return std::nullopt;
                c = NextReread();
            } else if (next_ < source_.size()) {
                if (state_ == 0) {
                    if (!JumpToNextOccurrence())
                        break;
                    continue;
                }
                c = source_[next_++];
            } else {
                break;
            }
            Put(c);
        }
        return std::move(out_);
    }

  private:
    char NextReread() {
        std::size_t& at = pending_.back();
        const char c = replacement_[at++];
        if (at == replacement_.size())
            pending_.pop_back();
        return c;
    }

    // Nothing in `out_` can begin an occurrence: copies the source up to its next occurrence and
    // replaces that. False when there is none (the rest of the source is copied).
    bool JumpToNextOccurrence() {
        const std::size_t at = source_.find(placeholder_, next_);
        if (at == std::string_view::npos) {
            out_.append(source_.substr(next_));
            next_ = source_.size();
            return false;
        }
        out_.append(source_.substr(next_, at - next_));
        next_ = at + placeholder_.size();
        Replaced();
        return true;
    }

    void Put(char c) {
        out_.push_back(c);
        state_ = matcher_.Step(state_, c);
        if (state_ == placeholder_.size()) {
            out_.resize(out_.size() - placeholder_.size());
            Replaced();
        }
    }

    void Replaced() {
        if (joins_ != nullptr) {
            // A join that the removal reached is gone: the text on its right was removed.
            while (!joins_->empty() && joins_->back() >= out_.size())
                joins_->pop_back();
            joins_->push_back(out_.size());
        }
        if (reread_)
            pending_.push_back(0);
        else
            out_.append(replacement_);
        const std::size_t overlap = std::min(out_.size(), placeholder_.size() - 1);
        state_ = matcher_.Run(std::string_view(out_).substr(out_.size() - overlap));
    }

    std::string_view source_;
    std::string_view placeholder_;
    std::string_view replacement_;
    const Matcher matcher_;
    const bool reread_;
    const std::size_t reread_budget_;
    std::size_t reread_count_ = 0;
    std::string out_;
    std::size_t state_ = 0;
    std::size_t next_ = 0;             // next byte of the source to read
    std::vector<std::size_t> pending_; // read positions in insertions still to be read, innermost last
    std::vector<std::size_t>* joins_ = nullptr;
};

} // namespace

// A replacement that contains its placeholder would be found again after every insertion and the
// restarts would never end; then each occurrence of the source is replaced once and the inserted
// text is not searched again. The same result is given when the replacer gives up.
std::string MyReplace(std::string_view source, std::string_view placeholder, std::string_view replacement) {
    if (placeholder.empty())
        return std::string(source);
    if (replacement == kNoText)
        replacement = {};
    if (replacement.find(placeholder) == std::string_view::npos)
        if (std::optional<std::string> replaced = RestartingReplacer(source, placeholder, replacement).Run())
            return std::move(*replaced);
    return ReplaceEachOnce(source, placeholder, replacement);
}

std::string RemoveEvery(std::string_view source, std::string_view placeholder,
                        std::vector<std::size_t>& joins) {
    joins.clear();
    if (placeholder.empty())
        return std::string(source);
    // An empty replacement is never read again, so the replacer cannot give up.
    RestartingReplacer remover(source, placeholder, {});
    remover.NoteJoinsIn(joins);
    return std::move(*remover.Run());
}

} // namespace qlm

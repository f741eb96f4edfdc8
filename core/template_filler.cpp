// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/template_filler.h"

#include <algorithm>
#include <cstring>

namespace qlm {

namespace {

// True when `later` can occur in a text that did not hold it once some text gave way to the whole
// `inserted`: an occurrence that is new must overlap an inserted copy, so it lies inside the copy,
// holds it, or runs over one of its ends (the copy then begins with an end of the placeholder, or
// ends with a beginning of it).
bool CanFormAround(std::string_view later, std::string_view inserted) {
    if (later.empty() || inserted.empty())
        return true;
    if (inserted.size() >= later.size() ? inserted.find(later) != std::string_view::npos
                                        : later.find(inserted) != std::string_view::npos)
        return true;
    // Most inserted texts share neither end byte with the placeholder where they could meet it.
    const bool can_start = std::memchr(later.data() + 1, inserted.front(), later.size() - 1) != nullptr;
    const bool can_end = std::memchr(later.data(), inserted.back(), later.size() - 1) != nullptr;
    const std::size_t longest = std::min(later.size() - 1, inserted.size());
    for (std::size_t length = 1; length <= longest && (can_start || can_end); ++length) {
        if (can_start && inserted.starts_with(later.substr(later.size() - length)))
            return true;
        if (can_end && inserted.ends_with(later.substr(0, length)))
            return true;
    }
    return false;
}

// True when `later` occurs across one of the joins of `text`, reaching over it on both sides.
bool FormedAtAJoin(std::string_view text, const std::vector<std::size_t>& joins, std::string_view later) {
    for (const std::size_t join : joins)
        for (std::size_t before = 1; before < later.size() && before <= join; ++before)
            if (join - before + later.size() <= text.size() &&
                text.compare(join - before, later.size(), later) == 0)
                return true;
    return false;
}

bool SameNames(const PlaceholderSequence& sequence, const std::vector<std::string>& names) {
    return std::equal(sequence.begin(), sequence.end(), names.begin(), names.end(),
                      [](const auto& entry, const std::string& name) { return entry.first == name; });
}

} // namespace

std::string TemplateFiller::Fill(const PlaceholderSequence& sequence) {
    if (!SameNames(sequence, names_))
        Learn(sequence);
    // A placeholder the text cannot hold would be searched for in vain; occurrences only vanish
    // unless a replacement forms new ones, so the flags change only after a replacement.
    may_occur_ = held_;
    std::string text = template_;
    for (std::size_t index = 0; index < sequence.size(); ++index) {
        if (!may_occur_[index])
            continue;
        const auto& [placeholder, value] = sequence[index];
        const TextChange change = ReplaceInPlace(text, placeholder, value, &joins_);
        if (change != TextChange::None)
            NoteFormed(sequence, index, change, text);
    }
    return text;
}

void TemplateFiller::Learn(const PlaceholderSequence& sequence) {
    names_.clear();
    held_.clear();
    for (const auto& entry : sequence) {
        names_.emplace_back(entry.first);
        held_.push_back(template_.find(entry.first) != std::string::npos);
    }
}

// Marks the placeholders after `replaced` that its replacement can have formed in `text`.
void TemplateFiller::NoteFormed(const PlaceholderSequence& sequence, std::size_t replaced, TextChange change,
                                const std::string& text) {
    const std::string_view inserted = sequence[replaced].second;
    for (std::size_t later = replaced + 1; later < sequence.size(); ++later) {
        if (may_occur_[later])
            continue;
        const std::string_view name = sequence[later].first;
        switch (change) {
        case TextChange::Inserted:
            may_occur_[later] = CanFormAround(name, inserted);
            break;
        case TextChange::Joined:
            may_occur_[later] = FormedAtAJoin(text, joins_, name);
            break;
        case TextChange::None:
        case TextChange::Mixed:
            may_occur_[later] = true;
            break;
        }
    }
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/template_filler.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace qlm {

namespace {

std::size_t Byte(char c) {
    return static_cast<unsigned char>(c);
}

// True when `later` can occur in a text that did not hold it once some text gave way to the whole
// `inserted`: an occurrence that is new must overlap an inserted copy, so it lies inside the copy,
// holds it, or runs over one of its ends (the copy then begins with an end of the placeholder, or
// ends with a beginning of it). The placeholder's bytes rule out most pairs before any text is
// compared.
bool CanFormAround(const TemplateFiller::Name& later, std::string_view inserted) {
    const std::string_view name = later.name;
    if (name.empty() || inserted.empty())
        return true;
    if (inserted.size() >= name.size()
            ? inserted.find(name) != std::string_view::npos
            : later.all[Byte(inserted.front())] && later.all[Byte(inserted.back())] &&
                  name.find(inserted) != std::string_view::npos)
        return true;
    // Bytes the placeholder holds past its first (before its last) rule out most pairs at once.
    return (later.after_first[Byte(inserted.front())] && BeginsWithAnEnd(inserted, name)) ||
           (later.before_last[Byte(inserted.back())] && EndsWithABeginning(inserted, name));
}

// True when `later` occurs across one of the joins of `text`, reaching over it on both sides.
bool FormedAtAJoin(std::string_view text, const std::vector<std::size_t>& joins,
                   const TemplateFiller::Name& later) {
    const std::string_view name = later.name;
    for (const std::size_t join : joins) {
        if (join == 0 || join >= text.size() || !later.before_last[Byte(text[join - 1])] ||
            !later.after_first[Byte(text[join])])
            continue;
        for (std::size_t before = 1; before < name.size() && before <= join; ++before)
            if (name[before - 1] == text[join - 1] && name[before] == text[join] &&
                join - before + name.size() <= text.size() &&
                text.compare(join - before, name.size(), name) == 0)
                return true;
    }
    return false;
}

bool SameNames(const PlaceholderSequence& sequence, const std::vector<TemplateFiller::Name>& names) {
    return std::equal(
        sequence.begin(), sequence.end(), names.begin(), names.end(),
        [](const auto& entry, const TemplateFiller::Name& name) { return entry.first == name.name; });
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
    for (const auto& [placeholder, value] : sequence) {
        Name& name = names_.emplace_back();
        name.name = placeholder;
        for (std::size_t at = 0; at < placeholder.size(); ++at) {
            const std::size_t byte = Byte(placeholder[at]);
            name.all[byte] = true;
            name.after_first[byte] = name.after_first[byte] || at > 0;
            name.before_last[byte] = name.before_last[byte] || at + 1 < placeholder.size();
        }
        held_.push_back(template_.find(placeholder) != std::string::npos);
    }
}

// Marks the placeholders after `replaced` that its replacement can have formed in `text`.
void TemplateFiller::NoteFormed(const PlaceholderSequence& sequence, std::size_t replaced, TextChange change,
                                const std::string& text) {
    const auto first_unheld =
        std::find(may_occur_.begin() + static_cast<std::ptrdiff_t>(replaced) + 1, may_occur_.end(), 0);
    if (first_unheld == may_occur_.end())
        return;
    const std::string_view inserted = sequence[replaced].second;
    for (auto later = static_cast<std::size_t>(first_unheld - may_occur_.begin()); later < sequence.size();
         ++later) {
        if (may_occur_[later])
            continue;
        switch (change) {
        case TextChange::Inserted:
            may_occur_[later] = CanFormAround(names_[later], inserted);
            break;
        case TextChange::Joined:
            may_occur_[later] = FormedAtAJoin(text, joins_, names_[later]);
            break;
        case TextChange::None:
        case TextChange::Mixed:
            may_occur_[later] = true;
            break;
        }
    }
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/template_filler.h"

#include "core/text_file.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace qlm {

namespace {

// What a byte is to the placeholders learnt: held by one, the first or last byte of one, held by
// one past its first (before its last) byte, or a whole placeholder of one byte.
enum ByteKind : std::uint8_t {
    kInName = 1,
    kFirst = 2,
    kLast = 4,
    kAfterFirst = 8,
    kBeforeLast = 16,
    kOneByteName = 32,
};

// The plans kept per filler: a run meets a few patterns of empty texts (pictures with and without
// a text, the first and the last page); beyond these, pages are replaced as any other.
constexpr std::size_t kMaxPlans = 8;

// The largest template filled from plans. Each plan holds its own copy of the template's text,
// and making one takes about two more for a while: for a template of hundreds of megabytes the
// plans cost several times its size, where replacing costs about twice the page.
constexpr std::size_t kMaxPlannedTemplate = std::size_t{4} << 20;

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
    if (const FillPlan* plan = PlanFor(sequence)) {
        ++paths_.planned;
        return plan->Fill(sequence);
    }
    ++paths_.replaced;
    return FillByReplacing(sequence);
}

std::string TemplateFiller::FillByReplacing(const PlaceholderSequence& sequence) {
    // A placeholder the text cannot hold would be searched for in vain; occurrences only vanish
    // unless a replacement forms new ones, so the flags change only after a replacement.
    may_occur_ = held_;
    std::string text(template_);
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
    plans_.clear();
    byte_kinds_.fill(0);
    beginnings_.reset();
    // A plan's empty texts are noted as bits of one word; an empty placeholder can form anywhere.
    plannable_ = sequence.size() <= 64 && template_.size() <= kMaxPlannedTemplate;
    for (const auto& [placeholder, value] : sequence) {
        Name& name = names_.emplace_back();
        name.name = placeholder;
        for (std::size_t at = 0; at < placeholder.size(); ++at) {
            const std::size_t byte = Byte(placeholder[at]);
            name.all[byte] = true;
            name.after_first[byte] = name.after_first[byte] || at > 0;
            name.before_last[byte] = name.before_last[byte] || at + 1 < placeholder.size();
        }
        held_.push_back(template_.find(placeholder) != std::string_view::npos);
        plannable_ = plannable_ && !placeholder.empty();
        LearnBytes(placeholder);
    }
}

void TemplateFiller::LearnBytes(std::string_view placeholder) {
    if (placeholder.empty())
        return;
    for (std::size_t at = 0; at < placeholder.size(); ++at)
        byte_kinds_[Byte(placeholder[at])] |=
            kInName | (at > 0 ? kAfterFirst : 0) | (at + 1 < placeholder.size() ? kBeforeLast : 0);
    byte_kinds_[Byte(placeholder.front())] |= kFirst;
    byte_kinds_[Byte(placeholder.back())] |= kLast;
    if (placeholder.size() == 1)
        byte_kinds_[Byte(placeholder.front())] |= kOneByteName;
    else
        beginnings_[Byte(placeholder[0]) << 8 | Byte(placeholder[1])] = true;
}

// The plan for the pattern of empty texts of `sequence`, when every text it puts in is inert;
// none when one is not, or when there is no room for another plan.
const FillPlan* TemplateFiller::PlanFor(const PlaceholderSequence& sequence) {
    if (!plannable_)
        return nullptr;
    std::uint64_t empties = 0;
    for (std::size_t index = 0; index < sequence.size(); ++index) {
        const std::string_view value = sequence[index].second;
        if (value.empty() || value == kNoText)
            empties |= std::uint64_t{1} << index;
    }
    const auto known = std::find_if(plans_.begin(), plans_.end(),
                                    [empties](const FillPlan& plan) { return plan.empties() == empties; });
    if (known == plans_.end() && plans_.size() == kMaxPlans)
        return nullptr;
    const FillPlan& plan = known != plans_.end() ? *known : plans_.emplace_back(template_, sequence, empties);
    for (const std::size_t index : plan.slotted())
        if (!Inert(sequence[index].second, index))
            return nullptr;
    return &plan;
}

// True when no placeholder from `from` on can occur overlapping a copy of `value` put into any
// text: it is then replaced neither by its own placeholder's pass nor by a later one.
bool TemplateFiller::Inert(std::string_view value, std::size_t from) const {
    if (QuicklyInert(value))
        return true;
    for (std::size_t later = from; later < names_.size(); ++later)
        if (CanFormAround(names_[later], value))
            return false;
    return true;
}

// Inert for every placeholder learnt, as one pass over the value's bytes shows. A placeholder that
// overlaps a copy of the value lies inside it (then the value holds the placeholder's first two
// bytes in a row, or its only byte), or the value lies inside the placeholder (then it holds only
// the placeholder's bytes), or the value begins with an end of the placeholder (then it begins
// with a byte the placeholder holds past its first, and holds its last byte), or it ends with a
// beginning of it (ends with a byte held before the last, and holds the first byte). A value that
// may be any of these is left to the exact question, placeholder by placeholder.
bool TemplateFiller::QuicklyInert(std::string_view value) const {
    // The kinds any byte of the value has, and those every byte has.
    unsigned any = 0, every = ~0U;
    for (const char c : value) {
        const unsigned kind = byte_kinds_[Byte(c)];
        any |= kind;
        every &= kind;
    }
    if ((every & kInName) != 0 || (any & kOneByteName) != 0)
        return false;
    if ((byte_kinds_[Byte(value.front())] & kAfterFirst) != 0 && (any & kLast) != 0)
        return false;
    if ((byte_kinds_[Byte(value.back())] & kBeforeLast) != 0 && (any & kFirst) != 0)
        return false;
    if ((any & kFirst) == 0)
        return true;
    for (std::size_t at = 0; at + 1 < value.size(); ++at)
        if (beginnings_[Byte(value[at]) << 8 | Byte(value[at + 1])])
            return false;
    return true;
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fill_plan.h"

#include "core/text_file.h"

#include <algorithm>
#include <utility>

namespace qlm {

namespace {

constexpr std::size_t kLiteral = static_cast<std::size_t>(-1);

// The template while it is being laid out: runs of its text between the slots of values already
// put in. No placeholder can occur across a slot, so each placeholder is replaced in each run on
// its own, and runs never meet again.
struct Stretch {
    std::string text;
    std::size_t value = kLiteral;
};

// Each occurrence of `name` in the runs removed, with the search starting again where a removal
// joined the text, as replacing by an empty text does.
void RemoveFromRuns(std::vector<Stretch>& runs, std::string_view name) {
    for (Stretch& run : runs)
        if (run.value == kLiteral && run.text.find(name) != std::string::npos)
            run.text = MyReplace(run.text, name, {});
}

// Each occurrence of `name` in the runs, leftmost first and not overlapping, made a slot for the
// value at `value`; a text that cannot form its placeholder anew is replaced just so.
void SlotIntoRuns(std::vector<Stretch>& runs, std::string_view name, std::size_t value) {
    std::vector<Stretch> slotted;
    slotted.reserve(runs.size());
    for (Stretch& run : runs) {
        std::size_t at = run.value == kLiteral ? run.text.find(name) : std::string::npos;
        if (at == std::string::npos) {
            slotted.push_back(std::move(run));
            continue;
        }
        std::size_t from = 0;
        for (; at != std::string::npos; at = run.text.find(name, from)) {
            slotted.push_back({run.text.substr(from, at - from)});
            slotted.push_back({{}, value});
            from = at + name.size();
        }
        slotted.push_back({run.text.substr(from)});
    }
    runs = std::move(slotted);
}

} // namespace

FillPlan::FillPlan(std::string_view template_text, const PlaceholderSequence& sequence, std::uint64_t empties)
    : empties_(empties) {
    std::vector<Stretch> runs{{std::string(template_text)}};
    for (std::size_t index = 0; index < sequence.size(); ++index) {
        const std::string_view name = sequence[index].first;
        if (name.empty())
            continue;
        if ((empties >> index & 1U) != 0)
            RemoveFromRuns(runs, name);
        else
            SlotIntoRuns(runs, name, index);
    }
    for (const Stretch& run : runs) {
        if (run.value != kLiteral) {
            pieces_.push_back({run.value, 0, 0});
            slotted_.push_back(run.value);
        } else if (!run.text.empty()) {
            pieces_.push_back({kLiteral, literals_.size(), literals_.size() + run.text.size()});
            literals_ += run.text;
        }
    }
    std::sort(slotted_.begin(), slotted_.end());
    slotted_.erase(std::unique(slotted_.begin(), slotted_.end()), slotted_.end());
}

std::string FillPlan::Fill(const PlaceholderSequence& sequence) const {
    std::size_t size = literals_.size();
    for (const Piece& piece : pieces_)
        if (piece.value != kLiteral)
            size += sequence[piece.value].second.size();
    std::string page;
    page.reserve(size);
    for (const Piece& piece : pieces_) {
        if (piece.value == kLiteral)
            page.append(literals_, piece.begin, piece.end - piece.begin);
        else
            page.append(sequence[piece.value].second);
    }
    return page;
}

} // namespace qlm

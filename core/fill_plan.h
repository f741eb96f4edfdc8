// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A template laid out once for a run's placeholders, for pages whose texts cannot form a
// placeholder: each text that replaces a placeholder becomes a slot, each empty one is removed,
// and what removing joins together is replaced on the template's own text. Filling the plan then
// only copies the template's pieces and the texts of the slots, one after the other.

#include "core/placeholder_sequence.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qlm {

class FillPlan {
  public:
    // The template as the placeholders of `sequence` would leave it in turn, when the values that
    // `empties` marks (bit i for the i-th) are empty and every other one that is put in (one of
    // `slotted()`) is a text that no placeholder from its own on can occur in or run into. The
    // values themselves are not read. The sequence holds at most 64 placeholders.
    FillPlan(std::string_view template_text, const PlaceholderSequence& sequence, std::uint64_t empties);

    // The page for `sequence`, whose values must be empty exactly where the plan's are.
    std::string Fill(const PlaceholderSequence& sequence) const;

    std::uint64_t empties() const { return empties_; }

    // The indexes of the values the page holds, each once, in increasing order: the others are
    // never put in, so whatever they hold cannot matter.
    const std::vector<std::size_t>& slotted() const { return slotted_; }

  private:
    // A piece of the template's text (`literals_` from `begin` to `end`) or the value at `value`.
    struct Piece {
        std::size_t value, begin, end;
    };

    std::uint64_t empties_;
    std::string literals_;
    std::vector<Piece> pieces_;
    std::vector<std::size_t> slotted_;
};

} // namespace qlm

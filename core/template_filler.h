// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fills copies of one template with placeholder sequences, giving exactly what ApplyPlaceholders
// gives on a fresh copy. A run fills the same page and entry templates for every picture with the
// same twenty or so placeholders, and most of its texts (file names, sizes, numbers, picture tags)
// can never form a placeholder, whatever stands beside them. For those pages the template is laid
// out once per pattern of empty texts (FillPlan) and filled by copying. Any other page is replaced
// placeholder by placeholder, searching the text only for the placeholders it can hold at their
// turn: which ones the template holds is learnt once, and a replacement can make a placeholder
// appear only where it inserts text or joins text together, which is all that needs looking at.

#include "core/fill_plan.h"
#include "core/placeholder_sequence.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qlm {

class TemplateFiller {
  public:
    // A placeholder with the bytes it holds anywhere, after its first byte and before its last.
    struct Name {
        std::string name;
        std::bitset<256> all, after_first, before_last;
    };

    // How many pages were filled from a plan and how many by replacing.
    struct Paths {
        std::size_t planned = 0, replaced = 0;
    };

    // `template_text` is read, not copied (a template can be hundreds of megabytes): it must
    // outlive the filler.
    explicit TemplateFiller(std::string_view template_text) : template_(template_text) {}

    // The template with each placeholder of `sequence` replaced in turn, as ApplyPlaceholders.
    std::string Fill(const PlaceholderSequence& sequence);

    const Paths& paths() const { return paths_; }

  private:
    void Learn(const PlaceholderSequence& sequence);
    void LearnBytes(std::string_view placeholder);
    const FillPlan* PlanFor(const PlaceholderSequence& sequence);
    bool Inert(std::string_view value, std::size_t from) const;
    bool QuicklyInert(std::string_view value) const;
    std::string FillByReplacing(const PlaceholderSequence& sequence);
    void NoteFormed(const PlaceholderSequence& sequence, std::size_t replaced, TextChange change,
                    const std::string& text);

    std::string_view template_;
    std::vector<Name> names_;        // the placeholders `held_` was learnt for, in their order
    std::vector<char> held_;         // whether the template holds each of them
    std::vector<char> may_occur_;    // per placeholder of the fill under way: whether the text can hold it
    std::vector<std::size_t> joins_; // where the last removal joined the text

    // What the bytes are to the placeholders learnt (the kinds of template_filler.cpp), and the
    // first two bytes of each placeholder: a text holds a placeholder only where it holds those.
    std::array<std::uint8_t, 256> byte_kinds_{};
    std::bitset<256 * 256> beginnings_;
    bool plannable_ = false;      // whether the placeholders learnt can be planned for at all
    std::vector<FillPlan> plans_; // for the patterns of empty texts met since
    Paths paths_;
};

} // namespace qlm

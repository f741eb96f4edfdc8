// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fills copies of one template with placeholder sequences, giving exactly what ApplyPlaceholders
// gives on a fresh copy, but searching the text only for the placeholders it can hold at their
// turn. A run fills the same page and entry templates for every picture with the same twenty or
// so placeholders, of which a template holds a few: which ones is learnt once, and a replacement
// can make a placeholder appear only where it inserts text or joins text together, which is all
// that needs looking at afterwards.

#include "core/placeholder_sequence.h"

#include <bitset>
#include <string>
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

    explicit TemplateFiller(std::string template_text) : template_(std::move(template_text)) {}

    // The template with each placeholder of `sequence` replaced in turn, as ApplyPlaceholders.
    std::string Fill(const PlaceholderSequence& sequence);

  private:
    void Learn(const PlaceholderSequence& sequence);
    void NoteFormed(const PlaceholderSequence& sequence, std::size_t replaced, TextChange change,
                    const std::string& text);

    std::string template_;
    std::vector<Name> names_;        // the placeholders `held_` was learnt for, in their order
    std::vector<char> held_;         // whether the template holds each of them
    std::vector<char> may_occur_;    // per placeholder of the fill under way: whether the text can hold it
    std::vector<std::size_t> joins_; // where the last removal joined the text
};

} // namespace qlm

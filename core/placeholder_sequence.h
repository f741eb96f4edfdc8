// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The placeholders of a page, each with its text, replaced one after the other: each placeholder
// is replaced (MyReplace) in the result of those before it, so a text inserted earlier that holds a
// later placeholder has it replaced too. The work is only that of the placeholders a text holds.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qlm {

using PlaceholderSequence = std::vector<std::pair<std::string_view, std::string>>;

// What replacing a placeholder did to a text: where it can have formed another placeholder.
enum class TextChange {
    None,     // the text held no occurrence and is as it was
    Inserted, // each occurrence replaced once by the whole replacement, which is not searched again
    Joined,   // the occurrences removed; text that lay apart now meets at the joins
    Mixed,    // the replacement formed its placeholder anew with its neighbours and was replaced in turn
};

// MyReplace(text, placeholder, replacement) in place. The text before the first occurrence is
// kept where it is whenever no replacement can join an occurrence that begins before it. When the
// text is Joined, `joins` (if given) receives the places of the result where that happened.
TextChange ReplaceInPlace(std::string& text, std::string_view placeholder, std::string_view replacement,
                          std::vector<std::size_t>* joins = nullptr);

// True when `text` begins with an end of `placeholder` (ends with a beginning of it), so that the
// text before (after) it could complete an occurrence that runs over its edge. Never for an empty
// placeholder.
bool BeginsWithAnEnd(std::string_view text, std::string_view placeholder);
bool EndsWithABeginning(std::string_view text, std::string_view placeholder);

// Each placeholder of `sequence` in turn replaced in `text`, as ReplaceInPlace.
void ApplyPlaceholders(const PlaceholderSequence& sequence, std::string& text);

} // namespace qlm

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

// MyReplace(text, placeholder, replacement) in place. The text before the first occurrence is
// kept where it is whenever no replacement can join an occurrence that begins before it.
void ReplaceInPlace(std::string& text, std::string_view placeholder, std::string_view replacement);

// Each placeholder of `sequence` in turn replaced in `text`, as ReplaceInPlace.
void ApplyPlaceholders(const PlaceholderSequence& sequence, std::string& text);

} // namespace qlm

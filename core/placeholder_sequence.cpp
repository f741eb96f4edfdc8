// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/placeholder_sequence.h"

#include "core/text_file.h"

#include <algorithm>
#include <cstring>

namespace qlm {

namespace {

// text.find(placeholder, from), with glibc's memmem: a page has a '<' in every tag, and find
// stops at each of them to compare, where memmem skips ahead by pairs of bytes.
std::size_t FindFrom(std::string_view text, std::string_view placeholder, std::size_t from = 0) {
    if (from > text.size())
        return std::string::npos;
    const void* at = ::memmem(text.data() + from, text.size() - from, placeholder.data(), placeholder.size());
    return at == nullptr ? std::string::npos
                         : static_cast<std::size_t>(static_cast<const char*>(at) - text.data());
}

// True when a replacement could take part in an occurrence that begins before the place it is
// put: an empty one joins its neighbours, one that is part of the placeholder can be completed
// from both sides, and one whose beginning ends the placeholder completes it from the left. Any
// other replacement leaves the text before the first occurrence as it is, because every later
// occurrence that reached back would have to hold the start of that first replacement.
bool CanReachBack(std::string_view placeholder, std::string_view replacement) {
    if (replacement.empty())
        return true;
    // Then each occurrence of the source is replaced once, and nothing is joined.
    if (replacement.find(placeholder) != std::string_view::npos)
        return false;
    return placeholder.find(replacement) != std::string_view::npos ||
           BeginsWithAnEnd(replacement, placeholder);
}

} // namespace

bool BeginsWithAnEnd(std::string_view text, std::string_view placeholder) {
    if (placeholder.empty())
        return false;
    const std::size_t longest = std::min(placeholder.size(), text.size());
    // The last byte compared first: most lengths fail there without a call to compare the rest.
    for (std::size_t length = 1; length <= longest; ++length)
        if (text[length - 1] == placeholder.back() && placeholder.ends_with(text.substr(0, length)))
            return true;
    return false;
}

bool EndsWithABeginning(std::string_view text, std::string_view placeholder) {
    if (placeholder.empty())
        return false;
    const std::size_t longest = std::min(placeholder.size(), text.size());
    for (std::size_t length = 1; length <= longest; ++length)
        if (text[text.size() - length] == placeholder.front() &&
            placeholder.starts_with(text.substr(text.size() - length)))
            return true;
    return false;
}

namespace {

// ReplaceEachOnce for a replacement longer than its placeholder: the text grows once to its new
// size and is moved towards the back, from its end.
void ReplaceEachOnceGrowing(std::string& text, std::size_t first, std::string_view placeholder,
                            std::string_view replacement) {
    std::vector<std::size_t> places;
    for (std::size_t at = first; at != std::string::npos;
         at = FindFrom(text, placeholder, at + placeholder.size()))
        places.push_back(at);
    const std::size_t old_size = text.size();
    text.resize(old_size + places.size() * (replacement.size() - placeholder.size()));
    std::size_t end = old_size, to = text.size();
    for (auto place = places.rbegin(); place != places.rend(); ++place) {
        const std::size_t after = *place + placeholder.size();
        to -= end - after;
        std::memmove(text.data() + to, text.data() + after, end - after);
        to -= replacement.size();
        std::memcpy(text.data() + to, replacement.data(), replacement.size());
        end = *place;
    }
}

// Each occurrence from `first` on replaced once, left to right, within the text itself: a page
// can be hundreds of megabytes, and a second copy of it for each placeholder cost both memory and
// time. A replacement no longer than its placeholder moves the text towards the front in one pass.
void ReplaceEachOnce(std::string& text, std::size_t first, std::string_view placeholder,
                     std::string_view replacement) {
    if (replacement.size() > placeholder.size()) {
        ReplaceEachOnceGrowing(text, first, placeholder, replacement);
        return;
    }
    // What is written never reaches beyond what is still to be searched.
    std::size_t to = first, from = first;
    for (std::size_t at = first; at != std::string::npos; at = FindFrom(text, placeholder, from)) {
        std::memmove(text.data() + to, text.data() + from, at - from);
        to += at - from;
        std::memcpy(text.data() + to, replacement.data(), replacement.size());
        to += replacement.size();
        from = at + placeholder.size();
    }
    std::memmove(text.data() + to, text.data() + from, text.size() - from);
    text.resize(to + text.size() - from);
}

} // namespace

TextChange ReplaceInPlace(std::string& text, std::string_view placeholder, std::string_view replacement,
                          std::vector<std::size_t>* joins) {
    if (placeholder.empty())
        return TextChange::None;
    // The no-text answer inserts nothing, whatever the way of replacing below.
    if (replacement == kNoText)
        replacement = {};
    // Replacing makes no occurrence where there was none: a text without one stays as it is.
    const std::size_t first = FindFrom(text, placeholder);
    if (first == std::string::npos)
        return TextChange::None;
    // A replacement that holds its placeholder, or one that can form none with its neighbours:
    // every occurrence of the text is replaced once, as MyReplace does.
    if (replacement.find(placeholder) != std::string_view::npos ||
        (!CanReachBack(placeholder, replacement) && !EndsWithABeginning(replacement, placeholder))) {
        ReplaceEachOnce(text, first, placeholder, replacement);
        return TextChange::Inserted;
    }
    // Every occurrence that reached back before the first one would have to hold the last byte
    // before it: an empty replacement cannot reach back where that byte ends no beginning of the
    // placeholder. (A non-empty one that can is read again by MyReplace within limits that depend
    // on the length of the whole text, so it is given the whole text.)
    if (!replacement.empty()) {
        const std::size_t from = CanReachBack(placeholder, replacement) ? 0 : first;
        std::string rest = MyReplace(std::string_view(text).substr(from), placeholder, replacement);
        text.resize(from);
        text += rest;
        return TextChange::Mixed;
    }
    // Where the text before the first occurrence ends with a beginning of the placeholder, an
    // occurrence formed by the removal could reach back into it.
    const std::size_t from =
        EndsWithABeginning(std::string_view(text).substr(0, first), placeholder) ? 0 : first;
    std::vector<std::size_t> own_joins;
    std::vector<std::size_t>& noted = joins != nullptr ? *joins : own_joins;
    std::string rest = RemoveEvery(std::string_view(text).substr(from), placeholder, noted);
    for (std::size_t& join : noted)
        join += from;
    text.resize(from);
    text += rest;
    return TextChange::Joined;
}

void ApplyPlaceholders(const PlaceholderSequence& sequence, std::string& text) {
    for (const auto& [placeholder, value] : sequence)
        ReplaceInPlace(text, placeholder, value);
}

} // namespace qlm

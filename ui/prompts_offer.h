// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The offer "Make HTML" shows before a run that would ask and warn in a great many boxes one after
// the other: make the missing thumbnails or web copies first, go through the questions, run without
// any, or leave it. What the offer says and what its answers are; the box itself is the window's.

#include "core/prompts_ahead.h"

#include <string>

namespace qlm::ui {

enum class PromptsChoice {
    MakeThumbnails, // "Thumbnails erzeugen", then the offer again if still needed
    MakeWebCopies,  // "Webbilder erzeugen", likewise
    Ask,            // "Fragen": the run asks and warns as always
    AskNothing,     // "Ohne Fragen": the run asks nothing, warns of no thumbnail, writes no text file
    Cancel,         // "Abbrechen", Escape or closing the box: nothing happens
};

inline constexpr const char* kOfferTitle = "Make HTML";
inline constexpr const char* kMakeThumbnailsButton = "Thumbnails erzeugen";
inline constexpr const char* kMakeWebCopiesButton = "Webbilder erzeugen";
inline constexpr const char* kAskButton = "Fragen";
inline constexpr const char* kAskNothingButton = "Ohne Fragen";
inline constexpr const char* kCancelButton = "Abbrechen";

// The offer's text, naming the boxes ahead and what is missing (UTF-8).
std::string PromptsOfferText(const PromptsAhead& ahead);

} // namespace qlm::ui

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The boxes a "Make HTML" run would show one after the other (the questions for missing texts and
// the warnings for missing thumbnails), counted before the run from the names the folder holds,
// so that the window can offer another way before a run that would show a great many of them.

#include "core/options.h"
#include "core/templates.h"

#include <set>
#include <string>
#include <vector>

namespace qlm {

// The names a picture folder holds, as a run would look for its companions there.
struct FolderNames {
    std::set<std::string> files;      // every bare name of the folder
    std::set<std::string> web_copies; // every bare name of its web copy folder
};

struct PromptsAhead {
    int missing_texts = 0;      // texts the run would ask for: the folder's and the pictures'
    int missing_thumbnails = 0; // pictures without their thumbnail, warned of or not
    int missing_web_copies = 0; // pictures without any web copy, for templates that show copies
    int boxes = 0;              // questions and thumbnail warnings the run would show
};

// A run that would show more boxes than this first offers another way.
inline constexpr int kMostBoxesWithoutOffer = 10;

// Counts what the run over `pictures` (bare names, in run order) would ask and warn with `flags`,
// when the folder holds `names`. Pictures that share a text file are asked once, as the run writes
// the first answer before the next picture looks; every picture warns of its own thumbnail.
PromptsAhead CountPromptsAhead(const FolderNames& names, const std::vector<std::string>& pictures,
                               const OptionFlags& flags, const TemplateSet& templates);

inline bool OffersOtherWay(const PromptsAhead& ahead) {
    return ahead.boxes > kMostBoxesWithoutOffer;
}

// Lists `folder` (ending in "/") and, with `with_web_copies`, its web copy folder. A folder that
// cannot be listed gives the names read so far: the count is a forecast, the run decides.
FolderNames ListFolderNames(const std::string& folder, bool with_web_copies);

} // namespace qlm

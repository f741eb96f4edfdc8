// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The target folder of a publishing, checked against the picture folder by their real paths
// (links resolved): never the picture folder or a folder inside it, never a file. A target that
// is not there yet is made, in a folder that must exist.

#include "core/publish_result.h"

#include <string>

namespace qlm {

struct PublishTarget {
    PublishRefusal refusal = PublishRefusal::None;
    int error = 0;
    std::string folder; // the picture folder's real path, ending in "/"
    std::string target; // the target's real path, ending in "/"
    // Where the target holds the picture folder: its path relative to the target, ending in "/";
    // empty when the picture folder is not inside the target.
    std::string folder_in_target;
};

// Checks the target, and makes it when it is checked and not there yet.
PublishTarget PrepareTarget(const std::string& folder, const std::string& target);

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// quillmoor-make --publish: the run's pages and what they link, published into a target folder,
// with a line for each file that could not be and a summary.

#include "cli/cli_host.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace qlm::cli {

// Publishes the pages of `pictures` of `folder` (ending in "/") into `target`; true when every
// file was published.
bool PublishGallery(const std::string& folder, const std::vector<std::string>& pictures,
                    const std::string& target, std::ostream& messages, CliHost& host);

} // namespace qlm::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One gallery run of quillmoor-make: the folder is listed as the window's folder list would
// show it, the chosen pictures are taken in that order, and the pages are written.

#include "cli/cli_options.h"

#include <iosfwd>

namespace qlm::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitTemplatesMissing = 2;
inline constexpr int kExitUsage = 64;

// Gives the exit status. Questions are answered from `answers`; every message goes to `messages`.
int RunMakeCommand(const CliOptions& options, std::istream& answers, std::ostream& messages,
                   bool show_progress);

} // namespace qlm::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the window program does with its command line before any window exists: --help and
// --version are answered on standard output, an argument neither the window nor Qt takes is refused
// with status 64, and a start without a display is refused with one line instead of the platform
// layer's abort.

#include <optional>
#include <string>
#include <vector>

namespace qlm::app {

struct EarlyExit {
    int status;
    std::string out; // for standard output
    std::string err; // for standard error
};

// `args` without the program name; `environment` answers getenv. Empty when the window may start.
std::optional<EarlyExit> CheckStart(const std::vector<std::string>& args,
                                    const char* (*environment)(const char*));

} // namespace qlm::app

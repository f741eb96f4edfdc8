// SPDX-License-Identifier: GPL-3.0-or-later
// quillmoor-make: the gallery generation of the window, run from the command line.

#include "cli/cli_options.h"
#include "cli/make_command.h"
#include "platform/file_ops.h"
#include "platform/module_version.h"

#include <exception>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace qlm::cli;
    // Pages are made durable in large batches, each holding its files open.
    qlm::platform::RaiseOpenFileLimit();
    const std::string program = "quillmoor-make";
    const qlm::cli::ParseResult parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::cerr << program << ": " << parsed.error << '\n' << ShortUsageText(program);
        return kExitUsage;
    }
    // The help and the version are the output asked for: a failure to write them (a full disk, a
    // closed pipe) is a failure of the command.
    if (parsed.options.show_help) {
        std::cout << UsageText(program) << std::flush;
        return std::cout ? kExitOk : kExitFailure;
    }
    if (parsed.options.show_version) {
        std::cout << qlm::platform::VersionString() << '\n' << std::flush;
        return std::cout ? kExitOk : kExitFailure;
    }
    try {
        return RunMakeCommand(parsed.options, std::cin, std::cerr, isatty(STDERR_FILENO) == 1);
    } catch (const std::exception& error) {
        std::cerr << program << ": " << error.what() << '\n';
        return kExitFailure;
    }
}

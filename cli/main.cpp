// SPDX-License-Identifier: GPL-3.0-or-later
// quillmoor-make: the gallery generation of the window, run from the command line.

#include "cli/cli_options.h"
#include "cli/make_command.h"
#include "cli/stop_signals.h"
#include "platform/file_ops.h"
#include "platform/module_version.h"

#include <exception>
#include <iostream>
#include <malloc.h>
#include <unistd.h>

namespace {

// The makers free a picture's buffers just before the next picture asks for as much again. By
// default the heap gives freed memory back to the system at once, and takes it back page by page
// (each a fault; with a second thread, every give-back also stops the other core to drop its
// address cache): over 1,000 small thumbnails that was about a tenth of the run's time. Up to 32 MB
// freed stay for reuse, and blocks under 4 MB come from the heap.
void KeepFreedMemoryForReuse() {
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
}

} // namespace

int main(int argc, char** argv) {
    using namespace qlm::cli;
    // Pages are made durable in large batches, each holding its files open.
    qlm::platform::RaiseOpenFileLimit();
    KeepFreedMemoryForReuse();
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
    CatchStopSignals();
    try {
        return RunMakeCommand(parsed.options, std::cin, std::cerr, isatty(STDERR_FILENO) == 1);
    } catch (const std::exception& error) {
        std::cerr << program << ": " << error.what() << '\n';
        return kExitFailure;
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SIGINT and SIGTERM ask the tool to stop at the next point where the files it wrote are whole,
// rather than end it in the middle of a file.

namespace qlm::cli {

// Catches SIGINT and SIGTERM from here on. A question waiting for its answer is given up at once.
void CatchStopSignals();

// True once SIGINT or SIGTERM has come.
bool StopSignalled();

// The exit status of a run stopped by a signal, as a shell shows a run ended by SIGINT.
inline constexpr int kExitStopped = 130;

} // namespace qlm::cli

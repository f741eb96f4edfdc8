// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs a list of independent jobs (one picture each, for the thumbnail and web copy makers) on
// every core, the calling thread included, and reports each finished job on the calling thread.

#include <cstddef>
#include <functional>

namespace qlm {

// Runs job(0) ... job(count - 1) on `threads` threads (0: one per core), the calling thread being
// one of them. report(i) is called on the calling thread after job i, in the order the jobs
// finish; whatever job(i) stored is complete and visible by then. A job must not throw. Should a
// report throw, no further job starts, the running ones are waited for, and the exception passes on.
void RunOnEveryCore(std::size_t count, const std::function<void(std::size_t)>& job,
                    const std::function<void(std::size_t)>& report, int threads);

} // namespace qlm

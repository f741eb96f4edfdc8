// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/stop_signals.h"

#include <atomic>
#include <csignal>

namespace qlm::cli {

namespace {

// Lock-free, so that the handler may set it.
std::atomic<bool> stop_signalled{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void NoteStopSignal(int /*signal*/) {
    stop_signalled.store(true, std::memory_order_relaxed);
}

} // namespace

void CatchStopSignals() {
    struct sigaction action = {};
    action.sa_handler = NoteStopSignal;
    sigemptyset(&action.sa_mask);
    // Without SA_RESTART: a read of an answer from a terminal returns, so that the question is
    // given up instead of holding the stop until the user types a line.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StopSignalled() {
    return stop_signalled.load(std::memory_order_relaxed);
}

} // namespace qlm::cli

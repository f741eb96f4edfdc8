// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/generator.h"

#include <utility>

namespace qlm {

WorkingDisplay::WorkingDisplay(GenerationHost& host, int maximum) : host_(&host) {
    host.SetWorkingDisplay(true);
    host.SetProgressMaximum(maximum);
    host.SetProgressPosition(0);
    host.SetProgressLabel("");
}

WorkingDisplay::~WorkingDisplay() {
    // Reached without End() only while a failure passes through: that failure is the one to
    // report, so a second one from the host is dropped here.
    try {
        End();
    } catch (...) {
    }
}

void WorkingDisplay::End() {
    if (host_ == nullptr)
        return;
    GenerationHost* host = std::exchange(host_, nullptr);
    host->SetWorkingDisplay(false);
}

} // namespace qlm

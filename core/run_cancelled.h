// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Thrown where a run finds that its host asked it to stop, and caught where the run ends: it
// carries the run from its stop point past the work still to do, to where the files written so far
// are put in place.

#include <cstddef>

namespace qlm {

struct RunCancelled {
    explicit RunCancelled(std::size_t done) : pictures_done(done) {}
    std::size_t pictures_done; // pictures finished before the stop
};

} // namespace qlm

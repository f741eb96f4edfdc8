// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// libjpeg's error handling for the decoder: errors and the limits on damage and scans end the run
// through Fail with a message for the user; warnings about damaged picture data let the library
// go on, so that what it decodes is shown.

#include "core/jpeg_job.h"

namespace qlm::jpeg {

// Points the decompressor at the job's error manager. Made before the decompressor is created.
void UseErrorManager(Job* job);

// Watches the number of scans while the library reads. Made after the decompressor is created.
void WatchProgress(Job* job);

} // namespace qlm::jpeg

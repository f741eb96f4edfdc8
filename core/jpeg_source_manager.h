// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What libjpeg reads: the job's picture source, piece by piece, and the marker segments the
// decoder reads itself (the Exif orientation in APP1, the colour profile in APP2), so that their
// bytes are kept in the job's buffers instead of the library's memory.

#include "core/jpeg_job.h"

namespace qlm::jpeg {

// Makes the job's source the decompressor's input.
void UseSource(Job* job);

// Reads APP1 segments for the orientation, and APP2 segments for the colour profile when the job
// collects it.
void UseMarkerReaders(Job* job);

} // namespace qlm::jpeg

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A quick reading of the headers of a plain JPEG file, for measuring thousands of pictures: the
// frame size and the Exif orientation, taken straight from the bytes. It takes on only files whose
// headers libjpeg-turbo reads without an error or a warning and without leaving the bytes given,
// and whose size passes the decoder's limits; for everything else it gives no answer and the
// decoder reads the headers itself, so a picture measures the same either way.

#include <cstddef>
#include <cstdint>

namespace qlm {

struct JpegHeaders {
    unsigned width = 0; // of the frame, as stored
    unsigned height = 0;
    int orientation = 1; // of the first Exif APP1 segment
};

// The headers of the JPEG file whose first `size` bytes are `data`, up to its first scan. False
// when they are not all there, or hold anything the quick reading leaves to the decoder: a marker
// other than SOF0-2, DHT, DQT, DRI, SOS, APPn or COM before the scan, bytes between segments, a
// segment the decoder would refuse or warn about, a colour model other than grey, YCbCr, RGB or
// CMYK, more pixels or memory than the decoder allows.
bool ScanJpegHeaders(const std::uint8_t* data, std::size_t size, JpegHeaders& headers) noexcept;

} // namespace qlm

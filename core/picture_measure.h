// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Learning a picture's size from its headers alone: the frame header and Exif orientation of a
// JPEG, the IHDR of a PNG, the logical screen of a GIF. It gives exactly the size LoadPicture
// reports, and refuses what LoadPicture refuses on the grounds of the headers (too large, unknown
// colour space, damaged headers), but it does not notice damage in the picture data behind them.

#include "core/picture.h"

#include <string>

namespace qlm {

// The picture LoadPicture(path, box) would give, without pixels, read from the beginning of the
// file only, as far as its headers go. A file that cannot be opened gives opened == false, but
// one that cannot be opened for want of descriptors throws OutOfDescriptorsError as LoadPicture
// does; damaged headers, a picture refused for its size and a file that cannot be read throw
// DecodeError, with LoadPicture's words. A file of an unknown type takes LoadPicture's own path.
Picture MeasurePicture(const std::string& path, int box);

} // namespace qlm

#pragma once
// Learning a picture's size from its headers alone: the frame header and Exif orientation of a
// JPEG, the IHDR of a PNG, the logical screen of a GIF. It gives exactly the size LoadPicture
// reports, and refuses what LoadPicture refuses on the grounds of the headers (too large, unknown
// colour space, damaged headers), but it does not notice damage in the picture data behind them.

#include "core/picture.h"

#include <string>

namespace qlm {

// The picture LoadPicture(path, box) would give, without pixels, read from the beginning of the
// file only. A file that cannot be opened gives opened == false; damaged headers or a picture
// refused for its size throw DecodeError. Files that are odd in other ways (too large to be read,
// changing while read, of an unknown type) take LoadPicture's own path, so that their outcome is
// LoadPicture's.
Picture MeasurePicture(const std::string& path, int box);

} // namespace qlm

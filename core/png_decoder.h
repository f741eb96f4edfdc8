// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The PNG decoder (libpng). Every colour type and bit depth becomes 8-bit RGBA; with a preview
// box the rows are reduced while they are read (the passes of an interlaced one as well), so a
// large picture never lies in memory whole.

#include "core/picture.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qlm {

class PictureSource;

// Decodes the PNG file read from `source`. The result is opened, with the natural size.
// Throws DecodeError for damaged, unsupported or too large pictures and for a file that cannot be
// read.
Picture DecodePng(PictureSource& source, int box);

// Reads only the chunks before the picture data and gives in `picture` what DecodePng with `box`
// would give, without pixels, after the same checks of the headers. False when the source holds
// only the beginning of the file and the headers go on beyond it. Throws DecodeError like
// DecodePng.
bool MeasurePng(PictureSource& source, int box, Picture& picture);

// The ICC profile of the PNG file read from `source` (its iCCP chunk, inflated); empty when there
// is none or libpng drops it as damaged. Reads only the chunks before the picture data, with the
// checks DecodePng with `box` makes of them. Throws DecodeError like MeasurePng.
std::string ReadPngColourProfile(PictureSource& source, int box);

} // namespace qlm

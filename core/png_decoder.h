#pragma once
// The PNG decoder (libpng). Every colour type and bit depth becomes 8-bit RGBA; with a preview
// box the rows are reduced while they are read, so a large picture never lies in memory whole
// (except an interlaced one, whose passes need the full picture).

#include "core/picture.h"

#include <cstddef>
#include <cstdint>

namespace qlm {

// Decodes the PNG file content `data`. The result is opened, with the natural size.
// Throws DecodeError for damaged, unsupported or too large pictures.
Picture DecodePng(const std::uint8_t* data, std::size_t size, int box);

// Reads only the chunks before the picture data and gives in `picture` what DecodePng with `box`
// would give, without pixels, after the same checks of the headers. `whole` false: `data` is only
// the beginning of the file, and the result is false when the headers go on beyond it. Throws
// DecodeError like DecodePng.
bool MeasurePng(const std::uint8_t* data, std::size_t size, bool whole, int box, Picture& picture);

} // namespace qlm

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

} // namespace qlm

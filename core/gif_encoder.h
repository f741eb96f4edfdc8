// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The GIF encoder (giflib), used for thumbnails: one still picture of at most 256 colours. A
// picture with few colours keeps them exactly; others are reduced by giflib's median cut. Pixels
// less than half opaque become the transparent colour.

#include "core/picture.h"

#include <string>

namespace qlm {

// The GIF file content of `image`. Throws EncodeError when the library fails or memory is short.
std::string EncodeGif(const Image& image);

} // namespace qlm

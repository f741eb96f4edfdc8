// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The PNG encoder (libpng), used for thumbnails: 8-bit RGBA, so transparency stays.

#include "core/picture.h"

#include <string>

namespace qlm {

// The PNG file content of `image`. Throws EncodeError when the library fails or memory is short.
std::string EncodePng(const Image& image);

} // namespace qlm

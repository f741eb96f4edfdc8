// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The JPEG encoder (libjpeg-turbo), used for thumbnails and web copies. Transparent pixels are laid over
// white, as a web page with a white background would show them.

#include "core/picture.h"

#include <string>

namespace qlm {

// The JPEG file content of `image` at `quality` (1 to 100), 4:2:0 colour subsampling, with no
// marker but the JFIF header. `progressive`: in the library's usual series of scans, so that a
// browser shows the whole picture coarsely first. `profile`: an ICC colour profile written with
// the picture (APP2). Throws EncodeError when the library fails or memory is short.
std::string EncodeJpeg(const Image& image, int quality, bool progressive = false,
                       const std::string& profile = {});

} // namespace qlm

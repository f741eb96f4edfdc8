// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A picture file's ICC colour profile, read from its headers by the decoder its name asks for,
// for the makers that write files of the picture after decoding it.

#include "core/picture_loader.h"

#include <string>

namespace qlm {

class PictureSource;

// Opens the picture `path` once more, for a look at its headers: false when it is gone meanwhile.
// Out of descriptors it throws OutOfDescriptorsError, as LoadPicture does, rather than take the
// picture for one without what is looked for.
bool OpenPictureAgain(PictureSource& source, const std::string& path);

// The ICC profile of the picture `path` in `format`: a JPEG's APP2 chunks, a PNG's iCCP chunk;
// empty for a GIF, a picture without one, a damaged one the decoder drops, or a file gone
// meanwhile. The headers are read with the checks of a decoding at `box`. Throws DecodeError like
// the decoder.
std::string ReadColourProfile(const std::string& path, PictureFormat format, int box);

} // namespace qlm

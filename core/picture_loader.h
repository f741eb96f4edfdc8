// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Loading a picture file with the decoder its name asks for. The decoder is chosen by the file's
// extension without regard to case: "jpg"/"jpeg" JPEG, "gif" GIF (first frame), "png" PNG.

#include "core/picture.h"

#include <string>
#include <string_view>

namespace qlm {

enum class PictureFormat { Unknown, Jpeg, Gif, Png };
PictureFormat FormatForFileName(std::string_view file_name);

// Loads a picture file. `box` > 0 allows the decoder to reduce the pixels, but never below what
// covers a box x box square at the picture's proportions (natural size stays the one reported);
// box == 0 keeps every pixel. A file that cannot be opened gives opened == false, except for want
// of descriptors (OutOfDescriptorsError); damaged, unsupported or too large picture data throws
// DecodeError.
// Only a regular file counts as opened (a folder, device or pipe named like a picture does not);
// an opened file with an extension of none of the three formats throws DecodeError. The file is
// read piece by piece as far as its picture goes, so whatever follows the picture costs nothing;
// a picture whose reading goes on past the first 1024 MB of its file, or a file that cannot be
// read or becomes shorter while it is read, throws DecodeError. A picture is
// refused before any of its pixels is read when it has more than 200 megapixels or its decoding
// would need more than 448 MB. With box > 0 that admits every picture up to 100 megapixels except
// progressive JPEGs without colour subsampling above about 70 megapixels (the library keeps all
// their DCT coefficients, 6 bytes a pixel).
Picture LoadPicture(const std::string& path, int box);

} // namespace qlm

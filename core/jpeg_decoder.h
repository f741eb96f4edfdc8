// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The JPEG decoder (libjpeg-turbo). With a preview box it lets the library scale the DCT down to
// the smallest eighth that still covers the box, which is also by far the fastest way to read a
// photo; the pixels come out upright according to the Exif orientation.

#include "core/picture.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qlm {

class PictureSource;

// Decodes the JPEG file read from `source`, reading no further than the picture needs. The result
// is opened, with the natural size as displayed. Throws DecodeError for damaged, unsupported or too
// large pictures and for a file that cannot be read.
Picture DecodeJpeg(PictureSource& source, int box);

// Reads only the headers (frame header and Exif orientation) and gives in `picture` what
// DecodeJpeg with `box` would give, without pixels, after the same checks of the headers; damage
// in the picture data goes unnoticed. False when the source holds only the beginning of the file
// and the headers go on beyond it. Throws DecodeError like DecodeJpeg.
bool MeasureJpeg(PictureSource& source, int box, Picture& picture);

// MeasureJpeg with the library reading every file's headers, also those the quick reading of
// plain headers takes on, so that the two can be compared.
bool MeasureJpegByLibrary(PictureSource& source, int box, Picture& picture);

// The colour profile (ICC) the JPEG file read from `source` carries in APP2 segments before its
// picture data, joined; empty when there is none, or its chunks are incomplete, out of order or
// above 1 MB together. Reads only the headers, with the checks DecodeJpeg with `box` makes of them
// (so the memory of the scale `box` decodes at). Throws DecodeError like MeasureJpeg.
std::string ReadJpegColourProfile(PictureSource& source, int box);

} // namespace qlm

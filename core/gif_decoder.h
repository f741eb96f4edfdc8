// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The GIF decoder (giflib). Shows the first frame on the logical screen: pixels the frame does
// not cover and pixels of the transparent colour have alpha 0. With a preview box the rows are
// reduced while they are formed.

#include "core/picture.h"

#include <cstddef>
#include <cstdint>

namespace qlm {

class PictureSource;

// Decodes the first frame of the GIF file read from `source`; nothing behind it is read. The
// result is opened; its natural size is the screen's. Throws DecodeError for damaged, unsupported
// or too large pictures and for a file that cannot be read.
Picture DecodeGif(PictureSource& source, int box);

// Reads only the records up to the first frame's descriptor and gives in `picture` what DecodeGif
// with `box` would give, without pixels, after the same checks of the headers. False when the
// source holds only the beginning of the file and the headers go on beyond it. Throws DecodeError
// like DecodeGif.
bool MeasureGif(PictureSource& source, int box, Picture& picture);

// True when the GIF file read from `source` holds more than one frame (an animation); reads no
// further than the start of the second frame. Throws DecodeError like DecodeGif.
bool GifHasSeveralFrames(PictureSource& source);

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a decoder gives: the picture's pixels and natural size, or DecodeError. The decoders, the
// reducer and the encoders need only these types; choosing a decoder for a file and loading it is
// the loader's part (core/picture_loader.h).

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace qlm {

// A picture that exists but cannot be decoded; what() is the decoder's message.
class DecodeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A picture file that could not be opened because the program had no descriptor left (EMFILE,
// ENFILE); what() is the system's text. The picture is there and would open another time, so it
// is no missing picture: it stops a run as a damaged one does, and whoever passes over damaged
// files (the web copies a page offers) lets this one through.
class OutOfDescriptorsError : public DecodeError {
  public:
    using DecodeError::DecodeError;
};

// Decoded pixels, 8-bit RGBA, rows top to bottom without padding, upright (EXIF orientation applied).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

struct Picture {
    bool opened = false; // false: the file could not be opened; nothing else is set
    int width = 0;       // natural size as displayed (sides swapped for EXIF orientations 5 to 8)
    int height = 0;
    Image image; // the pixels, possibly reduced (see LoadPicture)
};

} // namespace qlm

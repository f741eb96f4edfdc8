// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Exif block a published picture carries: a new TIFF structure holding only the orientation,
// the author (Artist) and the copyright notice of the original's first directory, in the
// original's byte order. Nothing else of the original goes over: no Exif or GPS directory, no
// second directory with its preview picture, no maker notes.

#include <cstddef>
#include <cstdint>
#include <string>

namespace qlm {

// What of an Exif block is published; the texts are the tag's bytes as stored, NUL at the end.
struct PublishedExif {
    bool little_endian = false;
    int orientation = 0; // 0: none, or none valid (a single number from 1 to 8)
    std::string artist;
    std::string copyright;
};

// Reads the TIFF structure `tiff` (an Exif block after its "Exif\0\0", or a PNG eXIf chunk's data).
// A block or entry that cannot be read gives nothing of it; this never reads outside the bytes.
PublishedExif ReadPublishedExif(const std::uint8_t* tiff, std::size_t size);

// The TIFF structure of `exif`, or "" when it has nothing to keep.
std::string BuildPublishedExif(const PublishedExif& exif);

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three walks behind StripForPublishing (core/metadata_strip.h, which picture_strip.cpp
// chooses among), one for each kind of picture file. Each follows the file's structure from its
// first byte to its end marker, copies what the published picture keeps and leaves out everything
// else, including whatever follows the end marker; a structure it cannot follow throws
// DecodeError through RefuseToStrip.

#include <string>
#include <string_view>

namespace qlm {

// Each puts what is published of `bytes` into `out`, whose memory is used again.
void StripJpeg(std::string_view bytes, std::string& out);
void StripPng(std::string_view bytes, std::string& out);
void StripGif(std::string_view bytes, std::string& out);

// Throws the DecodeError that names why a file's metadata cannot be removed: `reason` is a German
// sentence about the file.
[[noreturn]] void RefuseToStrip(const std::string& reason);

} // namespace qlm

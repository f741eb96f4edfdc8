// SPDX-License-Identifier: GPL-3.0-or-later
// The GIF walk: header, screen descriptor and colour table, then block by block to the trailer.
// Frames with their colour tables and compressed data, graphic controls, plain text (drawn into
// the picture) and the application blocks for looping and the ICC profile are copied; comments
// and every other application block (XMP among them) are left out, as is whatever follows the
// trailer.

#include "core/strip_formats.h"

#include <array>
#include <cstdint>

namespace qlm {
namespace {

constexpr std::size_t kGifScreenEnd = 13; // header and logical screen descriptor
constexpr std::size_t kGifImageDescriptor = 10;
constexpr std::uint8_t kGifImage = 0x2C;
constexpr std::uint8_t kGifExtension = 0x21;
constexpr std::uint8_t kGifTrailer = 0x3B;
constexpr std::array<std::string_view, 3> kGifKeptApplications = {"NETSCAPE2.0", "ANIMEXTS1.0",
                                                                  "ICCRGBG1012"};

std::uint8_t GifByte(std::string_view bytes, std::size_t at) {
    if (at >= bytes.size()) {
        RefuseToStrip("Die GIF-Datei endet vor ihrem Abschluss-Byte.");
    }
    return static_cast<std::uint8_t>(bytes[at]);
}

// The size of a colour table that `flags` announce (the screen's or a frame's).
std::size_t GifColourTable(std::uint8_t flags) {
    return (flags & 0x80) != 0 ? std::size_t{3} << ((flags & 7) + 1) : 0;
}

// Where the sub-blocks starting at `at` end, after their terminating empty block.
std::size_t GifSubBlocksEnd(std::string_view bytes, std::size_t at) {
    for (;;) {
        const std::size_t length = GifByte(bytes, at);
        if (length == 0) {
            return at + 1;
        }
        if (length > bytes.size() - at - 1) {
            RefuseToStrip("Ein Block der GIF-Datei reicht über das Ende der Datei hinaus.");
        }
        at += 1 + length;
    }
}

// Extensions the picture keeps: graphic control, plain text and the application blocks named above.
bool GifKeepsExtension(std::string_view block) {
    const auto label = static_cast<std::uint8_t>(block[1]);
    if (label == 0xF9 || label == 0x01) {
        return true;
    }
    if (label != 0xFF || block.size() < 3 + 11 || block[2] != 11) {
        return false;
    }
    for (const std::string_view kept : kGifKeptApplications) {
        if (block.substr(3, 11) == kept) {
            return true;
        }
    }
    return false;
}

// The frame starting at `at`: descriptor, its colour table, code size and compressed data.
std::size_t GifImageEnd(std::string_view bytes, std::size_t at) {
    const std::size_t table = at + kGifImageDescriptor;
    if (bytes.size() < table) {
        RefuseToStrip("Die GIF-Datei endet vor ihrem Abschluss-Byte.");
    }
    const std::size_t code_size = table + GifColourTable(static_cast<std::uint8_t>(bytes[table - 1]));
    GifByte(bytes, code_size);
    return GifSubBlocksEnd(bytes, code_size + 1);
}

} // namespace

void StripGif(std::string_view bytes, std::string& out) {
    if (bytes.size() < kGifScreenEnd) {
        RefuseToStrip("Die GIF-Datei ist abgeschnitten.");
    }
    std::size_t at = kGifScreenEnd + GifColourTable(static_cast<std::uint8_t>(bytes[10]));
    if (bytes.size() < at) {
        RefuseToStrip("Die GIF-Datei ist abgeschnitten.");
    }
    out.assign(bytes.substr(0, at));
    for (;;) {
        const std::uint8_t introducer = GifByte(bytes, at);
        if (introducer == kGifTrailer) {
            out += static_cast<char>(kGifTrailer);
            return;
        }
        std::size_t end = 0;
        bool keep = true;
        if (introducer == kGifImage) {
            end = GifImageEnd(bytes, at);
        } else if (introducer == kGifExtension) {
            GifByte(bytes, at + 1);
            end = GifSubBlocksEnd(bytes, at + 2);
            keep = GifKeepsExtension(bytes.substr(at, end - at));
        } else {
            RefuseToStrip("Die GIF-Datei enthält einen unbekannten Block.");
        }
        if (keep) {
            out += bytes.substr(at, end - at);
        }
        at = end;
    }
}

} // namespace qlm

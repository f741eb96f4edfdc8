// SPDX-License-Identifier: GPL-3.0-or-later
// The PNG walk: every chunk from IHDR to IEND is checked (its length within the file, its CRC);
// the critical chunks, those about colour and display and those of an animation are copied, an
// eXIf chunk is replaced by a new one with only what is published, and every other chunk (texts,
// times, anything unknown) is left out, as is whatever follows IEND.

#include "core/exif_rebuild.h"
#include "core/strip_formats.h"

#include <zlib.h>

#include <array>
#include <cstdint>

namespace qlm {
namespace {

constexpr std::size_t kPngSignatureSize = 8;
constexpr std::uint32_t kPngMaxLength = 0x7FFFFFFF;
constexpr std::array<std::string_view, 18> kPngKeptChunks = {"IHDR", "PLTE", "IDAT", "IEND", "iCCP", "sRGB",
                                                             "gAMA", "cHRM", "sBIT", "bKGD", "tRNS", "pHYs",
                                                             "cICP", "mDCV", "cLLI", "acTL", "fcTL", "fdAT"};

std::uint32_t PngRead32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    }
    return value;
}

void PngPut32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>(value >> shift & 0xFF);
    }
}

std::uint32_t PngCrc(std::string_view type_and_data) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes at most a uInt at a time; a chunk is below 2 GiB, which fits.
    crc = crc32(crc, reinterpret_cast<const Bytef*>(type_and_data.data()),
                static_cast<uInt>(type_and_data.size()));
    return static_cast<std::uint32_t>(crc);
}

bool PngTypeIsValid(std::string_view type) {
    for (const char c : type) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
            return false;
        }
    }
    return true;
}

bool PngIsKept(std::string_view type) {
    for (const std::string_view kept : kPngKeptChunks) {
        if (type == kept) {
            return true;
        }
    }
    return false;
}

// The type and data of the chunk at `at`, after checking that it lies within the file and that
// its CRC matches: a chunk that fails either cannot be trusted to end where it says.
std::string_view PngChunk(std::string_view bytes, std::size_t at) {
    if (bytes.size() - at < 12) {
        RefuseToStrip("Die PNG-Datei endet vor ihrem IEND-Block.");
    }
    const std::uint32_t length = PngRead32(bytes, at);
    if (length > kPngMaxLength || length > bytes.size() - at - 12) {
        RefuseToStrip("Ein Block der PNG-Datei reicht über das Ende der Datei hinaus.");
    }
    const std::string_view chunk = bytes.substr(at + 4, 4 + std::size_t{length});
    if (!PngTypeIsValid(chunk.substr(0, 4))) {
        RefuseToStrip("Die PNG-Datei enthält einen Block ohne gültigen Namen.");
    }
    if (PngCrc(chunk) != PngRead32(bytes, at + 8 + length)) {
        RefuseToStrip("Ein Block der PNG-Datei hat eine falsche Prüfsumme (CRC).");
    }
    return chunk;
}

void PngPutChunk(std::string& out, std::string_view type_and_data) {
    PngPut32(out, static_cast<std::uint32_t>(type_and_data.size() - 4));
    out += type_and_data;
    PngPut32(out, PngCrc(type_and_data));
}

void PngPutExif(std::string& out, std::string_view data) {
    const std::string rebuilt = BuildPublishedExif(
        ReadPublishedExif(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
    if (!rebuilt.empty()) {
        PngPutChunk(out, "eXIf" + rebuilt);
    }
}

} // namespace

void StripPng(std::string_view bytes, std::string& out) {
    out.assign(bytes.substr(0, kPngSignatureSize));
    std::size_t at = kPngSignatureSize;
    bool exif_done = false;
    for (;;) {
        const std::string_view chunk = PngChunk(bytes, at);
        const std::string_view type = chunk.substr(0, 4);
        if ((at == kPngSignatureSize) != (type == "IHDR")) {
            RefuseToStrip("Die PNG-Datei beginnt nicht mit genau einem IHDR-Block.");
        }
        at += chunk.size() + 8;
        if (PngIsKept(type)) {
            out += bytes.substr(at - chunk.size() - 8, chunk.size() + 8);
        } else if (type == "eXIf" && !exif_done) {
            exif_done = true;
            PngPutExif(out, chunk.substr(4));
        } else if (type[0] >= 'A' && type[0] <= 'Z') {
            RefuseToStrip("Die PNG-Datei enthält einen unbekannten kritischen Block.");
        }
        if (type == "IEND") {
            return;
        }
    }
}

} // namespace qlm

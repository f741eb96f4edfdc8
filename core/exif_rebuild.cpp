// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/exif_rebuild.h"

#include "core/tiff_reader.h"

namespace qlm {
namespace {

constexpr std::uint32_t kExifOrientationTag = 0x0112;
constexpr std::uint32_t kExifArtistTag = 0x013B;
constexpr std::uint32_t kExifCopyrightTag = 0x8298;
constexpr std::uint32_t kExifTypeAscii = 2;
constexpr std::uint32_t kExifTypeShort = 3;
constexpr std::uint32_t kExifMaxText = 65000;

// The text of an ASCII entry, ended by a NUL; "" when it is not inside the block, holds nothing
// but NULs, or is longer than a JPEG segment could carry. Up to four bytes sit in the entry
// itself, longer texts at the offset it gives.
std::string ExifText(const TiffReader& reader, const TiffEntry& entry) {
    if (entry.type != kExifTypeAscii || entry.count == 0 || entry.count > kExifMaxText) {
        return {};
    }
    std::uint64_t at = entry.at + 8;
    if (entry.count > 4) {
        std::uint32_t offset = 0;
        if (!reader.Read32(entry.at + 8, offset)) {
            return {};
        }
        at = offset;
    }
    const std::uint8_t* bytes = reader.Bytes(at, entry.count);
    if (bytes == nullptr) {
        return {};
    }
    std::string text(reinterpret_cast<const char*>(bytes), entry.count);
    if (text.find_first_not_of('\0') == std::string::npos) {
        return {};
    }
    if (text.back() != '\0') {
        text.push_back('\0');
    }
    return text;
}

void ExifPut16(std::string& out, std::uint32_t value, bool little_endian) {
    const char low = static_cast<char>(value & 0xFF);
    const char high = static_cast<char>(value >> 8 & 0xFF);
    out += little_endian ? std::string{low, high} : std::string{high, low};
}

void ExifPut32(std::string& out, std::uint32_t value, bool little_endian) {
    ExifPut16(out, little_endian ? value & 0xFFFF : value >> 16, little_endian);
    ExifPut16(out, little_endian ? value >> 16 : value & 0xFFFF, little_endian);
}

// One ASCII entry; a text longer than four bytes goes into `values`, whose first byte lies at
// `values_at` in the block, and is padded to an even offset as TIFF wants.
void ExifPutText(std::string& out, std::string& values, std::uint32_t values_at, std::uint32_t tag,
                 const std::string& text, bool little_endian) {
    ExifPut16(out, tag, little_endian);
    ExifPut16(out, kExifTypeAscii, little_endian);
    ExifPut32(out, static_cast<std::uint32_t>(text.size()), little_endian);
    if (text.size() <= 4) {
        out += text + std::string(4 - text.size(), '\0');
        return;
    }
    ExifPut32(out, values_at + static_cast<std::uint32_t>(values.size()), little_endian);
    values += text;
    if (values.size() % 2 != 0) {
        values.push_back('\0');
    }
}

} // namespace

PublishedExif ReadPublishedExif(const std::uint8_t* tiff, std::size_t size) {
    PublishedExif exif;
    TiffReader reader(nullptr, 0, false);
    if (!OpenTiff(tiff, size, reader)) {
        return exif;
    }
    exif.little_endian = reader.little_endian();
    bool orientation_seen = false;
    VisitFirstDirectory(reader, [&](const TiffEntry& entry) {
        std::uint32_t value = 0;
        if (entry.tag == kExifOrientationTag && !orientation_seen) {
            // As the decoder reads it: the first entry decides.
            orientation_seen = true;
            if (entry.type == kExifTypeShort && entry.count == 1 && reader.Read16(entry.at + 8, value) &&
                value >= 1 && value <= 8) {
                exif.orientation = static_cast<int>(value);
            }
        } else if (entry.tag == kExifArtistTag && exif.artist.empty()) {
            exif.artist = ExifText(reader, entry);
        } else if (entry.tag == kExifCopyrightTag && exif.copyright.empty()) {
            exif.copyright = ExifText(reader, entry);
        }
        return true;
    });
    return exif;
}

std::string BuildPublishedExif(const PublishedExif& exif) {
    const bool le = exif.little_endian;
    const std::uint32_t entries =
        (exif.orientation != 0 ? 1 : 0) + (exif.artist.empty() ? 0 : 1) + (exif.copyright.empty() ? 0 : 1);
    if (entries == 0) {
        return {};
    }
    std::string out = le ? "II" : "MM";
    ExifPut16(out, 42, le);
    ExifPut32(out, 8, le);
    ExifPut16(out, entries, le);
    // The entries in the order of their tags, then the offset of a next directory: none.
    const std::uint32_t values_at = 8 + 2 + entries * 12 + 4;
    std::string values;
    if (exif.orientation != 0) {
        ExifPut16(out, kExifOrientationTag, le);
        ExifPut16(out, kExifTypeShort, le);
        ExifPut32(out, 1, le);
        ExifPut16(out, static_cast<std::uint32_t>(exif.orientation), le);
        ExifPut16(out, 0, le);
    }
    if (!exif.artist.empty()) {
        ExifPutText(out, values, values_at, kExifArtistTag, exif.artist, le);
    }
    if (!exif.copyright.empty()) {
        ExifPutText(out, values, values_at, kExifCopyrightTag, exif.copyright, le);
    }
    ExifPut32(out, 0, le);
    return out + values;
}

} // namespace qlm

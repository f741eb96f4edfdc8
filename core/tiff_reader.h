// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading the numbers and bytes of a TIFF structure (an Exif block) in its byte order, every
// access checked against the end of the block, so that a hostile block can only give "no value".

#include <cstddef>
#include <cstdint>

namespace qlm {

class TiffReader {
  public:
    TiffReader(const std::uint8_t* data, std::size_t size, bool little_endian)
        : data_(data), size_(size), little_endian_(little_endian) {}

    bool Read16(std::uint64_t offset, std::uint32_t& value) const {
        if (offset > size_ || size_ - offset < 2) {
            return false;
        }
        const std::uint8_t* p = data_ + offset;
        value = little_endian_ ? (p[0] | p[1] << 8) : (p[0] << 8 | p[1]);
        return true;
    }

    bool Read32(std::uint64_t offset, std::uint32_t& value) const {
        std::uint32_t first = 0, second = 0;
        if (!Read16(offset, first) || !Read16(offset + 2, second)) {
            return false;
        }
        value = little_endian_ ? (second << 16 | first) : (first << 16 | second);
        return true;
    }

    // The `count` bytes at `offset`, or nullptr when they are not all inside the block.
    const std::uint8_t* Bytes(std::uint64_t offset, std::uint64_t count) const {
        if (offset > size_ || size_ - offset < count) {
            return nullptr;
        }
        return data_ + offset;
    }

    bool little_endian() const { return little_endian_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    bool little_endian_;
};

// The reader of the TIFF block at `data`, after its byte order mark ("II" or "MM") and the
// number 42; false for anything else.
inline bool OpenTiff(const std::uint8_t* data, std::size_t size, TiffReader& reader) {
    if (size < 8 || data[0] != data[1] || (data[0] != 'I' && data[0] != 'M')) {
        return false;
    }
    reader = TiffReader(data, size, data[0] == 'I');
    std::uint32_t magic = 0;
    return reader.Read16(2, magic) && magic == 42;
}

// One entry of a TIFF directory: its tag, type, number of values and where the entry starts (its
// value or the offset of its values is 8 bytes further).
struct TiffEntry {
    std::uint32_t tag = 0;
    std::uint32_t type = 0;
    std::uint32_t count = 0;
    std::uint64_t at = 0;
};

// Calls `visit` with each entry of the first directory (IFD0) in turn, as long as it returns true.
// Stops at the first entry that is not inside the block.
template <typename Visit> void VisitFirstDirectory(const TiffReader& reader, Visit visit) {
    std::uint32_t ifd = 0, entries = 0;
    if (!reader.Read32(4, ifd) || !reader.Read16(ifd, entries)) {
        return;
    }
    for (std::uint32_t i = 0; i < entries; ++i) {
        TiffEntry entry;
        entry.at = std::uint64_t{ifd} + 2 + std::uint64_t{i} * 12;
        if (!reader.Read16(entry.at, entry.tag) || !reader.Read16(entry.at + 2, entry.type) ||
            !reader.Read32(entry.at + 4, entry.count) || !visit(entry)) {
            return;
        }
    }
}

} // namespace qlm

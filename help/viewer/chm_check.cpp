// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/viewer/chm_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qlm::help {
namespace {

constexpr std::uint64_t kItsfV2Length = 0x58;
constexpr std::uint64_t kItsfV3Length = 0x60;
constexpr std::uint64_t kItspLength = 0x54;
constexpr std::uint64_t kMaxBlockLength = 1u << 20;
// Directory blocks start with a header of 0x14 (PMGL) or 0x08 (PMGI) bytes.
constexpr std::uint64_t kMinBlockLength = 0x20;

std::uint64_t Little(std::string_view bytes, std::size_t at, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

std::uint32_t U32(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(Little(bytes, at, 4));
}

std::uint64_t U64(std::string_view bytes, std::size_t at) {
    return Little(bytes, at, 8);
}

// `offset` + `length` within `limit`, without overflow.
bool Inside(std::uint64_t offset, std::uint64_t length, std::uint64_t limit) {
    return offset <= limit && length <= limit - offset;
}

} // namespace

std::optional<ChmLayout> CheckChmHeaderBytes(std::string_view head, std::string_view itsp,
                                             std::uint64_t file_size) {
    if (head.size() < kItsfV3Length || head.substr(0, 4) != "ITSF")
        return std::nullopt;
    const std::uint32_t version = U32(head, 4);
    const std::uint32_t header_length = U32(head, 8);
    if ((version != 2 && version != 3) || header_length < (version == 3 ? kItsfV3Length : kItsfV2Length))
        return std::nullopt;
    const std::uint64_t dir_offset = U64(head, 0x48);
    const std::uint64_t dir_length = U64(head, 0x50);
    ChmLayout layout;
    layout.file_size = file_size;
    layout.data_offset = version == 3 ? U64(head, 0x58) : dir_offset + dir_length;
    if (!Inside(dir_offset, dir_length, file_size) || dir_length < kItspLength ||
        layout.data_offset > file_size || itsp.size() < kItspLength)
        return std::nullopt;
    if (itsp.substr(0, 4) != "ITSP" || U32(itsp, 4) != 1 || U32(itsp, 8) != kItspLength)
        return std::nullopt;
    const std::uint64_t block_length = U32(itsp, 0x10);
    const auto index_root = static_cast<std::int32_t>(U32(itsp, 0x1c));
    const auto index_head = static_cast<std::int32_t>(U32(itsp, 0x20));
    // The count of blocks the header gives is not used by readers (and not always written); the
    // blocks are those that fit into the directory.
    if (block_length < kMinBlockLength || block_length > kMaxBlockLength)
        return std::nullopt;
    const std::uint64_t blocks = (dir_length - kItspLength) / block_length;
    const auto is_block = [&](std::int32_t index) {
        return index >= 0 && static_cast<std::uint64_t>(index) < blocks;
    };
    if (!is_block(index_head) || (index_root >= 0 && !is_block(index_root)) || index_root < -1)
        return std::nullopt;
    return layout;
}

namespace {

// A number of the directory: seven bits a byte, the first byte the highest, the top bit set on all
// but the last. False when it runs past `end` or beyond 64 bits.
bool EncInt(std::string_view bytes, std::size_t& at, std::size_t end, std::uint64_t& value) {
    value = 0;
    for (int count = 0; at < end && count < 9; ++count) {
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        value = (value << 7) | (byte & 0x7fu);
        if ((byte & 0x80u) == 0)
            return true;
    }
    return false;
}

bool SameNameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Every entry named `name` in the listing blocks (PMGL) of the directory `blocks`: its section,
// offset and length. False when a listing block is damaged.
template <typename Visit>
bool ForEachEntry(std::string_view blocks, std::uint64_t block_length, std::string_view name,
                  const Visit& visit) {
    for (std::size_t block = 0; block + block_length <= blocks.size(); block += block_length) {
        if (blocks.substr(block, 4) != "PMGL")
            continue;
        const std::uint64_t free_space = U32(blocks, block + 4);
        if (free_space > block_length - 0x14)
            return false;
        const std::size_t end = block + static_cast<std::size_t>(block_length - free_space);
        for (std::size_t at = block + 0x14; at < end;) {
            std::uint64_t length = 0, section = 0, offset = 0, size = 0;
            if (!EncInt(blocks, at, end, length) || length > end - at)
                return false;
            const std::string_view entry = blocks.substr(at, static_cast<std::size_t>(length));
            at += static_cast<std::size_t>(length);
            if (!EncInt(blocks, at, end, section) || !EncInt(blocks, at, end, offset) ||
                !EncInt(blocks, at, end, size))
                return false;
            if (SameNameNoCase(entry, name) && !visit(section, offset, size))
                return false;
        }
    }
    return true;
}

constexpr std::uint64_t kMaxDirectoryLength = 16u << 20;

// chmlib reads the LZX control data while it opens the file and divides by them at once; they
// are looked up in the directory here and checked before.
bool ControlDataBeforeOpeningSound(int fd, const ChmLayout& layout, std::uint64_t dir_offset,
                                   std::uint64_t dir_length, std::uint64_t block_length) {
    if (dir_length > kMaxDirectoryLength)
        return false;
    std::string blocks(static_cast<std::size_t>(dir_length - kItspLength), '\0');
    if (::pread(fd, blocks.data(), blocks.size(), static_cast<off_t>(dir_offset + kItspLength)) !=
        static_cast<ssize_t>(blocks.size()))
        return false;
    return ForEachEntry(blocks, block_length, "::DataSpace/Storage/MSCompressed/ControlData",
                        [&](std::uint64_t section, std::uint64_t offset, std::uint64_t length) {
                            if (section != 0 || length > 4096 ||
                                !Inside(layout.data_offset, offset, layout.file_size) ||
                                !Inside(layout.data_offset + offset, length, layout.file_size))
                                return false;
                            std::string control(static_cast<std::size_t>(length), '\0');
                            return ::pread(fd, control.data(), control.size(),
                                           static_cast<off_t>(layout.data_offset + offset)) ==
                                       static_cast<ssize_t>(control.size()) &&
                                   LzxControlDataSound(control);
                        });
}

} // namespace

std::optional<ChmLayout> CheckChmHeaders(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat state {};
    std::string itsf(kItsfV3Length, '\0');
    std::string itsp(kItspLength, '\0');
    bool read = ::fstat(fd, &state) == 0 && S_ISREG(state.st_mode) &&
                ::pread(fd, itsf.data(), itsf.size(), 0) == static_cast<ssize_t>(itsf.size());
    // The directory header lies where the first header puts it.
    const std::uint64_t dir_offset = read ? U64(itsf, 0x48) : 0;
    read = read && dir_offset < static_cast<std::uint64_t>(state.st_size) &&
           ::pread(fd, itsp.data(), itsp.size(), static_cast<off_t>(dir_offset)) ==
               static_cast<ssize_t>(itsp.size());
    std::optional<ChmLayout> layout;
    if (read)
        layout = CheckChmHeaderBytes(itsf, itsp, static_cast<std::uint64_t>(state.st_size));
    if (layout && !ControlDataBeforeOpeningSound(fd, *layout, dir_offset, U64(itsf, 0x50), U32(itsp, 0x10)))
        layout.reset();
    ::close(fd);
    return layout;
}

bool LzxControlDataSound(std::string_view control) {
    if (control.size() < 0x18 || control.substr(4, 4) != "LZXC")
        return false;
    const std::uint32_t version = U32(control, 8);
    std::uint32_t reset_interval = U32(control, 12);
    std::uint32_t window_size = U32(control, 16);
    const std::uint32_t windows_per_reset = U32(control, 20);
    // chmlib counts in 32 KB units from version 2 on, in 32 bits.
    if (version == 2) {
        reset_interval *= 0x8000u;
        window_size *= 0x8000u;
    }
    const bool window_known =
        window_size >= (1u << 15) && window_size <= (1u << 21) && (window_size & (window_size - 1)) == 0;
    if (!window_known || reset_interval == 0 || reset_interval % (window_size / 2) != 0)
        return false;
    return reset_interval / (window_size / 2) * windows_per_reset != 0;
}

bool ResetTableSound(std::string_view table, std::uint64_t content_length, std::uint64_t& uncompressed) {
    if (table.size() < 0x28 || U32(table, 0) != 2)
        return false;
    const std::uint64_t block_count = U32(table, 4);
    const std::uint64_t table_offset = U32(table, 12);
    uncompressed = U64(table, 16);
    const std::uint64_t compressed = U64(table, 24);
    const std::uint64_t block_length = U64(table, 32);
    // chmlib keeps several blocks in memory, each as long as the table says: no longer than the
    // largest LZX window.
    if (block_length == 0 || block_length > (1u << 21) || compressed > content_length ||
        !Inside(table_offset, block_count * 8, table.size()) ||
        uncompressed / block_length + (uncompressed % block_length != 0) > block_count)
        return false;
    std::uint64_t previous = 0;
    for (std::uint64_t i = 0; i < block_count; ++i) {
        const std::uint64_t offset = U64(table, static_cast<std::size_t>(table_offset + i * 8));
        if (offset < previous || offset > compressed)
            return false;
        previous = offset;
    }
    return true;
}

} // namespace qlm::help

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
    ::close(fd);
    if (!read)
        return std::nullopt;
    return CheckChmHeaderBytes(itsf, itsp, static_cast<std::uint64_t>(state.st_size));
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
    if (block_length == 0 || compressed > content_length ||
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

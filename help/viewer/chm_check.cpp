// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/viewer/chm_check.h"

#include <algorithm>
#include <array>

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
    // chmlib starts from the first listing block when the index root is negative (-1 where there
    // are no index blocks, other negative numbers in some files).
    if (!is_block(index_head) || (index_root >= 0 && !is_block(index_root)))
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

// Directory blocks begin with a header of 0x14 bytes (listing) or 8 bytes (index).
constexpr std::size_t kListingHeader = 0x14;
constexpr std::size_t kIndexHeader = 0x08;
// chmlib copies a name into a buffer of CHM_MAX_PATHLEN (512) bytes and a zero.
constexpr std::uint64_t kMaxNameLength = 512;

// Calls `visit(name, numbers)` for each entry of the directory block `block` with a header of
// `header` bytes: a name and `Count` numbers. chmlib reads entries as long as one begins before the
// block's free space (the block's last bytes), and reads each whole. False when the free space
// leaves no room for the header, an entry runs into the free space, a name is empty, too long for
// chmlib or holds a zero byte (chmlib compares names up to it), or `visit` is false.
template <std::size_t Count, typename Visit>
bool ForEachEntry(std::string_view block, std::size_t header, const Visit& visit) {
    const std::uint64_t free_space = U32(block, 4);
    if (free_space > block.size() - header)
        return false;
    const std::size_t end = block.size() - static_cast<std::size_t>(free_space);
    for (std::size_t at = header; at < end;) {
        std::uint64_t length = 0;
        if (!EncInt(block, at, end, length) || length == 0 || length > kMaxNameLength || length > end - at)
            return false;
        const std::string_view name = block.substr(at, static_cast<std::size_t>(length));
        at += static_cast<std::size_t>(length);
        std::array<std::uint64_t, Count> numbers{};
        for (std::uint64_t& number : numbers) {
            if (!EncInt(block, at, end, number))
                return false;
        }
        if (name.find('\0') != std::string_view::npos || !visit(name, numbers))
            return false;
    }
    return true;
}

// The directory's blocks as chmlib comes to them, each checked once; the entries of the listing
// blocks among them are kept.
class DirectoryWalk {
  public:
    DirectoryWalk(std::string_view blocks, std::size_t block_length)
        : blocks_(blocks), block_length_(block_length), seen_(blocks.size() / block_length, Seen::kNot) {}

    // Down from `root` to every listing block below it, as chm_resolve_object goes down for some
    // name: each index block names a block for each of its entries.
    bool Down(std::int64_t root);
    // Along the chain of listing blocks from `head`, as chm_enumerate goes: each names the next one,
    // the last one -1.
    bool Along(std::int64_t head);
    std::vector<ChmEntry> TakeEntries() { return std::move(entries_); }

  private:
    // kPassing: an index block on the way down from the root to where the walk is now.
    enum class Seen : std::uint8_t { kNot, kPassing, kDone };

    bool IsBlock(std::int64_t number) const {
        return number >= 0 && static_cast<std::uint64_t>(number) < seen_.size();
    }
    std::string_view Block(std::int64_t number) const {
        return blocks_.substr(static_cast<std::size_t>(number) * block_length_, block_length_);
    }
    // Keeps the entries of the listing block `number` the first time.
    bool ReadListing(std::int64_t number);
    // The blocks the index block `number` names, when each is one of the directory.
    bool ReadIndex(std::int64_t number, std::vector<std::int64_t>& below) const;

    std::string_view blocks_;
    std::size_t block_length_;
    std::vector<Seen> seen_;
    std::vector<ChmEntry> entries_;
};

bool DirectoryWalk::ReadListing(std::int64_t number) {
    if (seen_[static_cast<std::size_t>(number)] == Seen::kDone)
        return true;
    seen_[static_cast<std::size_t>(number)] = Seen::kDone;
    return ForEachEntry<3>(Block(number), kListingHeader,
                           [&](std::string_view name, const std::array<std::uint64_t, 3>& numbers) {
                               entries_.push_back({name, numbers[0], numbers[1], numbers[2]});
                               return true;
                           });
}

bool DirectoryWalk::ReadIndex(std::int64_t number, std::vector<std::int64_t>& below) const {
    return ForEachEntry<1>(Block(number), kIndexHeader,
                           [&](std::string_view, const std::array<std::uint64_t, 1>& numbers) {
                               if (numbers[0] >= seen_.size())
                                   return false;
                               below.push_back(static_cast<std::int64_t>(numbers[0]));
                               return true;
                           });
}

bool DirectoryWalk::Down(std::int64_t root) {
    struct Step {
        std::int64_t block;
        std::vector<std::int64_t> below;
        std::size_t next = 0;
    };
    std::vector<Step> path;
    const auto enter = [&](std::int64_t number) {
        switch (seen_[static_cast<std::size_t>(number)]) {
        case Seen::kPassing:
            return false; // back up the way it came: chmlib would go round for ever
        case Seen::kDone:
            return true;
        case Seen::kNot:
            break;
        }
        const std::string_view kind = Block(number).substr(0, 4);
        if (kind == "PMGL")
            return ReadListing(number);
        std::vector<std::int64_t> below;
        if (kind != "PMGI" || !ReadIndex(number, below))
            return false;
        seen_[static_cast<std::size_t>(number)] = Seen::kPassing;
        path.push_back({number, std::move(below)});
        return true;
    };
    if (!IsBlock(root) || !enter(root))
        return false;
    while (!path.empty()) {
        Step& step = path.back();
        if (step.next == step.below.size()) {
            seen_[static_cast<std::size_t>(step.block)] = Seen::kDone;
            path.pop_back();
        } else if (!enter(step.below[step.next++])) {
            return false;
        }
    }
    return true;
}

bool DirectoryWalk::Along(std::int64_t head) {
    std::size_t passed = 0;
    for (std::int64_t number = head; number != -1;
         number = static_cast<std::int32_t>(U32(Block(number), 0x10))) {
        // A chain longer than the directory comes back to a block it has passed.
        if (!IsBlock(number) || ++passed > seen_.size() || Block(number).substr(0, 4) != "PMGL" ||
            !ReadListing(number))
            return false;
    }
    return true;
}

constexpr std::uint64_t kMaxDirectoryLength = 16u << 20;

// chmlib reads the LZX control data while it opens the file and divides by them at once.
bool ControlDataSound(int fd, const ChmLayout& layout, const ChmEntry& entry) {
    if (entry.section != 0 || entry.length > 4096 ||
        !Inside(layout.data_offset, entry.offset, layout.file_size) ||
        !Inside(layout.data_offset + entry.offset, entry.length, layout.file_size))
        return false;
    std::string control(static_cast<std::size_t>(entry.length), '\0');
    return ::pread(fd, control.data(), control.size(),
                   static_cast<off_t>(layout.data_offset + entry.offset)) ==
               static_cast<ssize_t>(control.size()) &&
           LzxControlDataSound(control);
}

// chmlib walks the directory for every name it looks up and reads the control data (looked up
// there) while it opens the file: both are checked before.
bool DirectoryAndControlDataSound(int fd, const ChmLayout& layout, std::string_view itsf,
                                  std::string_view itsp) {
    const std::uint64_t dir_offset = U64(itsf, 0x48);
    const std::uint64_t dir_length = U64(itsf, 0x50);
    if (dir_length > kMaxDirectoryLength)
        return false;
    std::string blocks(static_cast<std::size_t>(dir_length - kItspLength), '\0');
    if (::pread(fd, blocks.data(), blocks.size(), static_cast<off_t>(dir_offset + kItspLength)) !=
        static_cast<ssize_t>(blocks.size()))
        return false;
    const auto entries = ReachableEntries(blocks, U32(itsp, 0x10), static_cast<std::int32_t>(U32(itsp, 0x1c)),
                                          static_cast<std::int32_t>(U32(itsp, 0x20)));
    return entries && std::all_of(entries->begin(), entries->end(), [&](const ChmEntry& entry) {
               return !SameNameNoCase(entry.name, "::DataSpace/Storage/MSCompressed/ControlData") ||
                      ControlDataSound(fd, layout, entry);
           });
}

} // namespace

std::optional<std::vector<ChmEntry>> ReachableEntries(std::string_view blocks, std::uint64_t block_length,
                                                      std::int32_t index_root, std::int32_t index_head) {
    if (block_length < kMinBlockLength || block_length > kMaxBlockLength)
        return std::nullopt;
    DirectoryWalk walk(blocks, static_cast<std::size_t>(block_length));
    // chmlib takes the first listing block for the root when the root is negative.
    if (!walk.Down(index_root >= 0 ? index_root : index_head) || !walk.Along(index_head))
        return std::nullopt;
    return walk.TakeEntries();
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
    std::optional<ChmLayout> layout;
    if (read)
        layout = CheckChmHeaderBytes(itsf, itsp, static_cast<std::uint64_t>(state.st_size));
    if (layout && !DirectoryAndControlDataSound(fd, *layout, itsf, itsp))
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

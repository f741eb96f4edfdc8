// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checks of the parts of a help file that chmlib trusts: the two headers that lay out its
// directory, the directory itself, the LZX control data and the reset table of its compressed
// section. chmlib divides by and allocates from these numbers and follows the directory's block
// numbers and lengths without looking at them, so a damaged file could end the whole program, read
// past chmlib's buffers or hang the window; a file that fails a check is refused before chmlib is
// given it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qlm::help {

// Where the parts of a help file lie, as far as its headers tell.
struct ChmLayout {
    std::uint64_t file_size = 0;
    std::uint64_t data_offset = 0; // where the objects of section 0 begin
};

// The layout of the file `path` when its two headers are sound (signatures and versions known, the
// directory inside the file, a directory block of a sane size, the first blocks of the index and
// of the listing inside the directory), its directory is sound (see ReachableEntries) and so are
// the LZX control data that chmlib reads while it opens the file. Nothing otherwise.
std::optional<ChmLayout> CheckChmHeaders(const std::string& path);

// The same for the headers already read: the file's first 0x60 bytes and the 0x54 bytes where they
// put the directory.
std::optional<ChmLayout> CheckChmHeaderBytes(std::string_view itsf, std::string_view itsp,
                                             std::uint64_t file_size);

// One entry of a listing block (PMGL) of the directory: an object's name, section, offset and length.
struct ChmEntry {
    std::string_view name;
    std::uint64_t section = 0;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The entries of the listing blocks that chmlib can reach in the directory `blocks` (the directory
// after its header: blocks of `block_length` bytes), or nothing when one of chmlib's walks through
// it could go wrong. chmlib looks a name up by going down from the index root (the first listing
// block when the root is negative) through index blocks (PMGI) to a listing block, and lists the
// archive along the chain of listing blocks from `index_head`; it follows each block number and
// reads each entry as the file gives it. So every block a walk can come to must be a listing or
// index block of the directory, no walk may come back to a block it has passed (chmlib would go
// round for ever), and every entry must lie where the block's free space leaves room for entries,
// with a name of 1 to 512 bytes (chmlib's buffer) and no zero byte. The names are views into
// `blocks`.
std::optional<std::vector<ChmEntry>> ReachableEntries(std::string_view blocks, std::uint64_t block_length,
                                                      std::int32_t index_root, std::int32_t index_head);

// True when the LZX control data leave chmlib nothing to divide by zero or to misread: a window of
// 32 KB to 2 MB, a reset interval that is a multiple of half the window, windows per reset.
bool LzxControlDataSound(std::string_view control);

// True when the reset table of the compressed section (the object `table`) is sound for a
// compressed stream of `content_length` bytes: a block length, entries inside the table that cover
// the uncompressed length, each offset inside the stream and none before the one before it. Gives
// the uncompressed length in `uncompressed`.
bool ResetTableSound(std::string_view table, std::uint64_t content_length, std::uint64_t& uncompressed);

} // namespace qlm::help

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checks of the parts of a help file that chmlib trusts: the two headers that lay out its
// directory, the LZX control data and the reset table of its compressed section. chmlib divides by
// and allocates from these numbers without looking at them, so a damaged file could end the whole
// program; a file that fails a check is refused before chmlib is given it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qlm::help {

// Where the parts of a help file lie, as far as its headers tell.
struct ChmLayout {
    std::uint64_t file_size = 0;
    std::uint64_t data_offset = 0; // where the objects of section 0 begin
};

// The layout of the file `path` when its two headers are sound: signatures and versions known,
// the directory inside the file, a directory block of a sane size, the blocks inside the
// directory, the index blocks among them. Nothing otherwise.
std::optional<ChmLayout> CheckChmHeaders(const std::string& path);

// The same for the headers already read: the file's first 0x60 bytes and the 0x54 bytes where they
// put the directory.
std::optional<ChmLayout> CheckChmHeaderBytes(std::string_view itsf, std::string_view itsp,
                                             std::uint64_t file_size);

// True when the LZX control data leave chmlib nothing to divide by zero or to misread: a window of
// 32 KB to 2 MB, a reset interval that is a multiple of half the window, windows per reset.
bool LzxControlDataSound(std::string_view control);

// True when the reset table of the compressed section (the object `table`) is sound for a
// compressed stream of `content_length` bytes: a block length, entries inside the table that cover
// the uncompressed length, each offset inside the stream and none before the one before it. Gives
// the uncompressed length in `uncompressed`.
bool ResetTableSound(std::string_view table, std::uint64_t content_length, std::uint64_t& uncompressed);

} // namespace qlm::help

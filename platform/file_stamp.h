// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What tells one version of a file from another without reading it: its identity, size and the
// times of its last changes. A decoded picture kept for later is only used while its file still has
// the stamp it had when the decoding began.

#include <cstdint>
#include <string>

namespace qlm::platform {

struct FileStamp {
    bool exists = false; // false: the name could not be looked at (missing, no permission)
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified_ns = 0;
    std::int64_t changed_ns = 0; // status change: also catches a rename over it or new permissions
    std::uint32_t mode = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of `path`, symbolic links followed.
FileStamp StampOf(const std::string& path);

} // namespace qlm::platform

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/name_listing.h"

#include "platform/globals.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace qlm::platform {

namespace {

constexpr std::size_t kMaxNameLength = sizeof(tDirEntry::Name) - 1;

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// Whether an entry is a folder, by the same rule as the full search: what a link points to, else
// the entry itself, else the type the folder's record gives.
bool IsFolder(int dir_fd, const dirent& found) {
    if (found.d_type == DT_DIR)
        return true;
    if (found.d_type != DT_LNK && found.d_type != DT_UNKNOWN)
        return false;
    struct stat info {};
    if (fstatat(dir_fd, found.d_name, &info, 0) == 0 ||
        fstatat(dir_fd, found.d_name, &info, AT_SYMLINK_NOFOLLOW) == 0)
        return S_ISDIR(info.st_mode);
    return false;
}

} // namespace

int ListNames(const std::string& folder, const TakeName& take) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir)
        return errno;
    const int dir_fd = dirfd(dir.get());
    bool found = false;
    for (;;) {
        errno = 0;
        const dirent* next = readdir(dir.get());
        if (next == nullptr) {
            // A search that breaks off must not pass for a complete listing.
            if (errno != 0)
                return errno;
            break;
        }
        found = true;
        const std::size_t length = std::strlen(next->d_name);
        if (length > kMaxNameLength)
            continue;
        take(std::string_view(next->d_name, length), IsFolder(dir_fd, *next));
    }
    return found ? 0 : ENOENT;
}

} // namespace qlm::platform

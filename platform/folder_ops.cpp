// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/folder_ops.h"

#include "platform/file_steps.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace qlm::platform {

int CanonicalPath(const std::string& path, std::string& canonical) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return errno;
    canonical = resolved;
    std::free(resolved);
    return 0;
}

int CheckRealFolder(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return errno;
    if (S_ISLNK(info.st_mode))
        return ELOOP;
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

int MakeRealFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) {
        SyncFolder(FolderOf(path));
        return 0;
    }
    // Made meanwhile, or there before: good only as a folder itself.
    return errno == EEXIST ? CheckRealFolder(path) : errno;
}

int RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0)
        return errno;
    SyncFolder(FolderOf(path));
    return 0;
}

} // namespace qlm::platform

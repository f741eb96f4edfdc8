// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sub_folder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qlm::platform {

namespace {

bool SameFolder(const struct stat& a, const struct stat& b) {
    return S_ISDIR(a.st_mode) && S_ISDIR(b.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

int SubFolder::Open(const std::string& folder, std::string_view name, bool make) {
    fd_.reset();
    path_.clear();
    own_path_ = folder + std::string(name);
    if (make && ::mkdir(own_path_.c_str(), 0777) != 0 && errno != EEXIST)
        return errno;
    // O_NOFOLLOW refuses a link as the last part of the path (ELOOP); O_DIRECTORY anything else
    // that is no folder (ENOTDIR).
    fd_.reset(::open(own_path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd_.valid())
        return errno;
    struct stat opened {
    }, through{};
    const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
    through_descriptor_ = ::fstat(fd_.get(), &opened) == 0 && ::stat(self.c_str(), &through) == 0 &&
                          SameFolder(opened, through);
    path_ = (through_descriptor_ ? self : own_path_) + "/";
    return 0;
}

bool SubFolder::StillThere() const {
    if (!fd_.valid())
        return false;
    if (through_descriptor_)
        return true;
    struct stat opened {
    }, named{};
    return ::fstat(fd_.get(), &opened) == 0 && ::lstat(own_path_.c_str(), &named) == 0 &&
           SameFolder(opened, named);
}

bool IsNotAFolder(int error) {
    return error == ELOOP || error == ENOTDIR;
}

} // namespace qlm::platform

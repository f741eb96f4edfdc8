// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_marks.h"

#include <cerrno>
#include <sys/xattr.h>
#include <unistd.h>

namespace qlm::platform {
namespace {

constexpr const char* kTemporaryMark = "user.quillmoor.temporary";
constexpr const char* kRewriteMark = "user.quillmoor.rewriting";

bool Unsupported(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

} // namespace

void MarkTemporary(int fd, std::string_view target) {
    // A failure leaves the temporary unmarked: the next run then leaves it alone where it could
    // be told from a user's file, which loses nothing.
    [[maybe_unused]] const int marked = ::fsetxattr(fd, kTemporaryMark, target.data(), target.size(), 0);
}

Mark MarkedFor(int fd, std::string_view target) {
    // Bare names have at most 255 bytes; one byte more tells a longer value from an equal one.
    char value[256];
    const ssize_t got = ::fgetxattr(fd, kTemporaryMark, value, sizeof value);
    if (got < 0)
        return Unsupported(errno) ? Mark::Unsupported : Mark::Absent;
    return std::string_view(value, static_cast<std::size_t>(got)) == target ? Mark::Present : Mark::Absent;
}

void UnmarkTemporary(int fd) {
    [[maybe_unused]] const int removed = ::fremovexattr(fd, kTemporaryMark);
}

int BeginRewrite(int fd) {
    if (::fsetxattr(fd, kRewriteMark, "1", 1, 0) != 0)
        return Unsupported(errno) ? ENOTSUP : errno;
    return ::fsync(fd) == 0 ? 0 : errno;
}

int EndRewrite(int fd) {
    if (::fremovexattr(fd, kRewriteMark) != 0 && errno != ENODATA)
        return errno;
    return ::fsync(fd) == 0 ? 0 : errno;
}

Mark RewriteBroken(const std::string& path) {
    char value[8];
    if (::lgetxattr(path.c_str(), kRewriteMark, value, sizeof value) >= 0)
        return Mark::Present;
    return Unsupported(errno) ? Mark::Unsupported : Mark::Absent;
}

} // namespace qlm::platform

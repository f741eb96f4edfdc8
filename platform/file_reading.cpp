// SPDX-License-Identifier: GPL-3.0-or-later
// Reading whole files, and telling what a name holds.
#include "platform/file_ops.h"
#include "platform/file_steps.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qlm::platform {

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

void FileDescriptor::reset(int fd) {
    if (fd_ >= 0 && fd_ != fd)
        ::close(fd_);
    fd_ = fd;
}

int OpenForReading(const std::string& path, Links links, int more_flags) {
    const int no_follow = links == Links::Refuse ? O_NOFOLLOW : 0;
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | no_follow | more_flags);
}

int RegularFileState(const FileDescriptor& file, struct stat& info) {
    if (!file.valid())
        return errno;
    if (::fstat(file.get(), &info) != 0)
        return errno;
    if (S_ISDIR(info.st_mode))
        return EISDIR;
    if (!S_ISREG(info.st_mode))
        return EINVAL;
    return 0;
}

int RegularFileSize(const FileDescriptor& file, std::uint64_t& size) {
    struct stat info {};
    const int error = RegularFileState(file, info);
    if (error == 0)
        size = static_cast<std::uint64_t>(info.st_size);
    return error;
}

int OpenUnchecked(const std::string& path, FileDescriptor& file) {
    const int fd = OpenForReading(path);
    const int error = fd < 0 ? errno : 0;
    file.reset(fd);
    return error;
}

int OpenRegularFile(const std::string& path, FileDescriptor& file, std::uint64_t& size) {
    FileDescriptor opened;
    if (const int error = OpenUnchecked(path, opened); error != 0)
        return error;
    if (const int error = RegularFileSize(opened, size); error != 0)
        return error;
    file.reset(opened.release());
    return 0;
}

ssize_t ReadSome(int fd, void* into, std::size_t count) {
    ssize_t got = 0;
    do {
        got = ::read(fd, into, count);
    } while (got < 0 && errno == EINTR);
    return got;
}

namespace {

// Reads the open `file` of `size` bytes into `bytes`, whose memory is used again: a caller that
// reads file after file into one text allocates and clears no new memory for each.
int ReadOpenFile(int file, std::uint64_t size, std::string& bytes, std::uint64_t max_size,
                 std::uint64_t* size_seen) {
    // One byte more than the size is asked for: a read that leaves it unfilled has met the
    // end, so a file that keeps its size is read in one call.
    bytes.resize(size > 0 ? static_cast<std::size_t>(size) + 1 : 0);
    std::size_t filled = 0;
    for (;;) {
        // Once the size fstat gave is read, look for more (the file may have grown, and the
        // kernel's own files tell no size) without growing the buffer first.
        char probe[4096];
        const bool full = filled == bytes.size();
        char* into = full ? probe : bytes.data() + filled;
        const std::size_t room = full ? sizeof probe : bytes.size() - filled;
        const ssize_t got = ReadSome(file, into, room);
        if (got < 0)
            return errno;
        if (got == 0)
            break;
        if (full) {
            if (bytes.size() + static_cast<std::size_t>(got) > max_size) {
                if (size_seen != nullptr)
                    *size_seen = bytes.size() + static_cast<std::size_t>(got);
                return EFBIG;
            }
            bytes.append(probe, static_cast<std::size_t>(got));
        }
        filled += static_cast<std::size_t>(got);
        if (!full && filled > max_size) { // the spare byte of a file at the limit that grew
            if (size_seen != nullptr)
                *size_seen = filled;
            return EFBIG;
        }
        if (!full && filled == size)
            break;
    }
    if (filled < size)
        return EIO; // the file became shorter than its size while it was read
    bytes.resize(filled);
    return 0;
}

} // namespace

int ReadWholeFile(const std::string& path, std::string& bytes, std::uint64_t max_size,
                  std::uint64_t* size_seen) {
    bytes.clear();
    if (size_seen != nullptr)
        *size_seen = 0;
    FileDescriptor file;
    std::uint64_t size = 0;
    if (const int error = OpenRegularFile(path, file, size); error != 0)
        return error;
    if (size_seen != nullptr)
        *size_seen = size;
    if (size > max_size)
        return EFBIG;
    int error = 0;
    try {
        error = ReadOpenFile(file.get(), size, bytes, max_size, size_seen);
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
    } catch (const std::length_error&) {
        error = ENOMEM;
    }
    if (error != 0)
        bytes.clear();
    return error;
}

namespace {

// Comparing a file with what the program would write is the program's own business, not a use of
// the file: it keeps its access time where its owner lets us (O_NOATIME), which spares a rerun
// right after a run the writing of every page's inode. After one refusal (another owner's files)
// the flag is no longer tried.
int OpenForComparing(const std::string& path, Links links) {
    static std::atomic<bool> keep_access_time{true};
    if (keep_access_time.load(std::memory_order_relaxed)) {
        const int fd = OpenForReading(path, links, O_NOATIME);
        if (fd >= 0 || errno != EPERM)
            return fd;
        keep_access_time.store(false, std::memory_order_relaxed);
    }
    return OpenForReading(path, links);
}

} // namespace

bool FileHoldsExactly(const std::string& path, std::string_view bytes, Links links, bool* missing) {
    FileDescriptor file(OpenForComparing(path, links));
    if (missing != nullptr)
        *missing = !file.valid() && errno == ENOENT;
    if (!file.valid())
        return false;
    // What kind of file it is costs a system call, and for a page of a rerun it is always a regular
    // file: a folder fails to read, and a FIFO or device (opened without waiting) would have to give
    // exactly these bytes and then stop. Only the empty text, which one without data gives, asks.
    if (bytes.empty()) {
        std::uint64_t size = 0;
        return RegularFileSize(file, size) == 0 && size == 0;
    }
    char buffer[65536];
    std::size_t compared = 0;
    for (;;) {
        const ssize_t got = ReadSome(file.get(), buffer, sizeof buffer);
        if (got < 0)
            return false;
        if (got == 0)
            return compared == bytes.size();
        const auto count = static_cast<std::size_t>(got);
        if (count > bytes.size() - compared ||
            bytes.compare(compared, count, std::string_view(buffer, count)) != 0)
            return false;
        compared += count;
        // A regular file's read stops short only at its end: a file that ends with the bytes and
        // was read with room to spare needs no further read to find its end.
        if (compared == bytes.size() && count < sizeof buffer)
            return true;
    }
}

bool IsMissingFile(int error) {
    return error == ENOENT || error == ENOTDIR;
}

bool IsRegularFile(const std::string& path) {
    struct stat state {};
    return ::stat(path.c_str(), &state) == 0 && S_ISREG(state.st_mode);
}

bool NameExists(const std::string& path) {
    struct stat state {};
    return ::lstat(path.c_str(), &state) == 0;
}

} // namespace qlm::platform

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_ops.h"

#include "platform/globals.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <new>
#include <stdexcept>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

namespace {

// Opens a file for reading without waiting on it, so that a FIFO of that name never stalls. With
// Links::Refuse a symbolic link is not opened (ELOOP).
int OpenForReading(const std::string& path, Links links = Links::Follow) {
    const int no_follow = links == Links::Refuse ? O_NOFOLLOW : 0;
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | no_follow);
}

// The state of an opened regular file; EISDIR for a folder, EINVAL for any other kind, the errno
// of the failed open or fstat otherwise.
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

// Gives the size of an opened regular file, with the results of RegularFileState.
int RegularFileSize(const FileDescriptor& file, std::uint64_t& size) {
    struct stat info {};
    const int error = RegularFileState(file, info);
    if (error == 0)
        size = static_cast<std::uint64_t>(info.st_size);
    return error;
}

} // namespace

int OpenRegularFile(const std::string& path, FileDescriptor& file, std::uint64_t& size) {
    FileDescriptor opened(OpenForReading(path));
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
    try {
        // One byte more than the size is asked for: a read that leaves it unfilled has met the
        // end, so a file that keeps its size is read in one call.
        std::string buffer(size > 0 ? static_cast<std::size_t>(size) + 1 : 0, '\0');
        std::size_t filled = 0;
        for (;;) {
            // Once the size fstat gave is read, look for more (the file may have grown, and the
            // kernel's own files tell no size) without growing the buffer first.
            char probe[4096];
            const bool full = filled == buffer.size();
            char* into = full ? probe : buffer.data() + filled;
            const std::size_t room = full ? sizeof probe : buffer.size() - filled;
            const ssize_t got = ReadSome(file.get(), into, room);
            if (got < 0)
                return errno;
            if (got == 0)
                break;
            if (full) {
                if (buffer.size() + static_cast<std::size_t>(got) > max_size) {
                    if (size_seen != nullptr)
                        *size_seen = buffer.size() + static_cast<std::size_t>(got);
                    return EFBIG;
                }
                buffer.append(probe, static_cast<std::size_t>(got));
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
        buffer.resize(filled);
        bytes = std::move(buffer);
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    } catch (const std::length_error&) {
        return ENOMEM;
    }
    return 0;
}

bool FileHoldsExactly(const std::string& path, std::string_view bytes, Links links, bool* missing) {
    FileDescriptor file(OpenForReading(path, links));
    if (missing != nullptr)
        *missing = !file.valid() && errno == ENOENT;
    std::uint64_t size = 0;
    if (RegularFileSize(file, size) != 0 || size != bytes.size())
        return false;
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
        // A regular file's read stops short only at its end: a file of the size fstat gave that
        // is read with room to spare needs no further read to find its end.
        if (compared == bytes.size() && count < sizeof buffer)
            return true;
    }
}

bool IsMissingFile(int error) {
    return error == ENOENT || error == ENOTDIR;
}

namespace {

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (done == 0)
            return EIO;
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return 0;
}

// Flushes the folder entry of a rename. Some file systems cannot sync a folder; the new content
// is in place by then, so a failure here is not reported.
void SyncFolder(const std::string& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

// True while `path` still names the file open as `fd`.
bool StillNames(const std::string& path, int fd) {
    struct stat by_name {
    }, by_fd{};
    return ::lstat(path.c_str(), &by_name) == 0 && ::fstat(fd, &by_fd) == 0 &&
           by_name.st_dev == by_fd.st_dev && by_name.st_ino == by_fd.st_ino;
}

// Deals with the temporary files of `target` that no running write holds: a write locks its
// temporary file from creation to rename, so one that can be locked was left by a write that was
// killed (see SettleTemporary). With a batch, only the names its listing of the folder holds are
// looked at.
void RemoveStaleTemporaries(const std::string& target, WriteBatch* batch) {
    const std::vector<std::string>* present =
        batch != nullptr ? batch->TemporariesIn(FolderOf(target)) : nullptr;
    for (const TemporaryKind kind : {TemporaryKind::NewContent, TemporaryKind::OldVersion}) {
        for (int n = 0; n < kTemporarySlots; ++n) {
            const std::string name = TemporaryName(target, kind, n);
            if (present != nullptr && !std::binary_search(present->begin(), present->end(), BareName(name)))
                continue;
            if (present == nullptr && !NameExists(name))
                continue;
            SettleTemporary(name, kind, target);
        }
    }
}

// Creates a new, empty temporary file for `target` in the first free slot and locks it. `mode` is
// passed to open(), so a new file gets the usual mode & ~umask.
int CreateTemporary(const std::string& target, mode_t mode, std::string& temp_path, int& fd) {
    for (int n = 0; n < kTemporarySlots; ++n) {
        std::string candidate = TemporaryName(target, TemporaryKind::NewContent, n);
        FileDescriptor created(
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!created.valid()) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        // Between creation and lock another write may have taken the file for a stale one and
        // removed it; then the slot is left to that write.
        if (::flock(created.get(), LOCK_EX | LOCK_NB) != 0 || !StillNames(candidate, created.get()))
            continue;
        temp_path = std::move(candidate);
        fd = created.release();
        return 0;
    }
    return EEXIST;
}

// The file a write goes to, as it stands before the write.
struct Target {
    std::string path;
    bool exists = false;
    struct stat state {};
};

int ResolveTarget(const std::string& name, Links links, Target& target) {
    target.path = name;
    if (::lstat(name.c_str(), &target.state) != 0)
        return errno == ENOENT ? 0 : errno;
    if (S_ISLNK(target.state.st_mode)) {
        if (links == Links::Refuse)
            return ELOOP;
        // Write to the file the link names, leaving the link itself in place.
        if (char* resolved = ::realpath(name.c_str(), nullptr)) {
            target.path = resolved;
            std::free(resolved);
        }
        if (::stat(target.path.c_str(), &target.state) != 0)
            return errno == ENOENT ? 0 : errno;
    }
    if (S_ISDIR(target.state.st_mode))
        return EISDIR;
    if (!S_ISREG(target.state.st_mode))
        return EINVAL;
    // A file the user may not write stays as it is, although its folder would allow a rename.
    if (::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0)
        return errno;
    target.exists = true;
    return 0;
}

// Anything that writes the new content from the descriptor's current offset: gives 0 or an errno.
// With a `backup`, the old content is copied there once the room for the new one is reserved.
template <typename Fill>
int RewriteInPlace(const Target& target, Links links, std::uint64_t size, const Fill& fill,
                   const std::string& backup) {
    const int no_follow = links == Links::Refuse ? O_NOFOLLOW : 0;
    FileDescriptor fd(::open(target.path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | no_follow));
    if (!fd.valid())
        return errno;
    struct stat state {};
    if (::fstat(fd.get(), &state) != 0)
        return errno;
    if (!S_ISREG(state.st_mode) || state.st_dev != target.state.st_dev || state.st_ino != target.state.st_ino)
        return EAGAIN; // the name was given to another file meanwhile
    // Room for the whole content first: a full disk then stops the write before it changes a byte.
    if (size > static_cast<std::uint64_t>(state.st_size) &&
        ::fallocate(fd.get(), 0, 0, static_cast<off_t>(size)) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    if (!backup.empty()) {
        const int error = CopyFileOver(target.path, backup, Links::Refuse);
        if (error != 0 && !IsMissingFile(error))
            return error;
    }
    if (int error = fill(fd.get()))
        return error;
    const off_t end = ::lseek(fd.get(), 0, SEEK_CUR);
    if (end < 0 || ::ftruncate(fd.get(), end) != 0 || ::fsync(fd.get()) != 0)
        return errno;
    return 0;
}

bool KeepsOwner(int fd, const struct stat& old_state) {
    struct stat state {};
    return ::fstat(fd, &state) == 0 && state.st_uid == old_state.st_uid && state.st_gid == old_state.st_gid;
}

// Where a write goes: done at once, or into a batch that flushes and renames it later.
struct Destination {
    WriteBatch* batch = nullptr;
    std::string backup; // where the old content goes (ReplaceKeepingBackup), or empty
};

// A write in place cannot wait for the batch: what the batch holds goes first, so that the files
// change in the order of the writes.
void BeforeInPlace(const Destination& destination) {
    if (destination.batch != nullptr)
        destination.batch->Commit();
}

// A backup name must be free or a regular file that may be written; a link is never replaced.
int CheckBackupName(const std::string& backup) {
    struct stat state {};
    if (::lstat(backup.c_str(), &state) != 0)
        return errno == ENOENT ? 0 : errno;
    if (S_ISLNK(state.st_mode))
        return ELOOP;
    if (S_ISDIR(state.st_mode))
        return EISDIR;
    if (!S_ISREG(state.st_mode))
        return EINVAL;
    return ::faccessat(AT_FDCWD, backup.c_str(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

bool OutOfDescriptors(int error) {
    return error == EMFILE || error == ENFILE;
}

// Copies what is left to read of `from` to `to`.
int CopyContent(int from, int to) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ReadSome(from, buffer, sizeof buffer);
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        if (int error = WriteAll(to, buffer, static_cast<std::size_t>(got)))
            return error;
    }
}

bool LinksUnsupported(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK || error == EXDEV;
}

// A flushed copy of `target` as the old version `candidate`, for file systems without hard links.
int CopyOldVersion(const std::string& target, const std::string& candidate, FileDescriptor& held) {
    FileDescriptor source(OpenForReading(target, Links::Refuse));
    struct stat state {};
    if (const int error = RegularFileState(source, state); error != 0)
        return error;
    FileDescriptor copy(
        ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!copy.valid())
        return errno;
    int error = ::flock(copy.get(), LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
    if (error == 0)
        error = CopyContent(source.get(), copy.get());
    if (error == 0 && (::fchmod(copy.get(), state.st_mode & 07777) != 0 || ::fsync(copy.get()) != 0))
        error = errno;
    if (error != 0) {
        ::unlink(candidate.c_str());
        return error;
    }
    held.reset(copy.release());
    return 0;
}

// Keeps the file `target` as it is under a temporary name of the old-version kind, locked in
// `held`: a second hard link, or a copy. ENOENT when there is no such file.
int HoldOldVersion(const std::string& target, std::string& old_version, FileDescriptor& held) {
    for (int n = 0; n < kTemporarySlots; ++n) {
        const std::string candidate = TemporaryName(target, TemporaryKind::OldVersion, n);
        int error = ::link(target.c_str(), candidate.c_str()) == 0 ? 0 : errno;
        if (error == 0) {
            held.reset(::open(candidate.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            if (held.valid())
                ::flock(held.get(), LOCK_EX | LOCK_NB);
        } else if (LinksUnsupported(error)) {
            error = CopyOldVersion(target, candidate, held);
        }
        if (error == EEXIST)
            continue;
        if (error == 0)
            old_version = candidate;
        return error;
    }
    return EEXIST;
}

// Renames the complete, flushed `temporary` over `target`. With a `backup`, the old target is
// held first and becomes the backup only once the new content is in place; `backup_kept` tells
// whether that last step worked.
int PutInPlace(const std::string& temporary, const std::string& target, const std::string& backup,
               bool& backup_kept) {
    backup_kept = true;
    std::string old_version;
    FileDescriptor held;
    if (!backup.empty()) {
        const int error = HoldOldVersion(target, old_version, held);
        if (error != 0 && error != ENOENT)
            return error;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        if (!old_version.empty())
            ::unlink(old_version.c_str());
        return error;
    }
    if (!old_version.empty())
        backup_kept = ::rename(old_version.c_str(), backup.c_str()) == 0;
    return 0;
}

// `source`: the file a copy reads, or nothing.
template <typename Fill>
int WriteFileContents(const std::string& name, Links links, mode_t new_file_mode, std::uint64_t size,
                      const struct stat* source, const Fill& fill, const Destination& destination = {}) {
    Target target;
    if (int error = ResolveTarget(name, links, target))
        return error;
    const std::string backup = target.exists ? destination.backup : std::string();
    if (!backup.empty())
        if (int error = CheckBackupName(backup))
            return error;
    if (destination.batch != nullptr && destination.batch->Full())
        destination.batch->Commit();
    RemoveStaleTemporaries(target.path, destination.batch);
    // A rename would split the links of the file into an old and a new file. A copy onto another
    // link of its own source, though (a backup linked to its page), must become a file of its own,
    // or the next write of the source would change the copy too.
    const bool copy_onto_source =
        source != nullptr && source->st_dev == target.state.st_dev && source->st_ino == target.state.st_ino;
    if (target.exists && target.state.st_nlink > 1 && !copy_onto_source) {
        BeforeInPlace(destination);
        return RewriteInPlace(target, links, size, fill, backup);
    }

    std::string temp_path;
    int raw_fd = -1;
    const mode_t mode = target.exists ? 0600 : new_file_mode;
    int error = CreateTemporary(target.path, mode, temp_path, raw_fd);
    // Out of descriptors with a batch open: its files go first, and the batch starts again smaller.
    if (OutOfDescriptors(error) && destination.batch != nullptr && destination.batch->Size() > 0) {
        destination.batch->Shrink();
        destination.batch->Commit();
        error = CreateTemporary(target.path, mode, temp_path, raw_fd);
    }
    if (error != 0) {
        // A folder that allows no new files, with a file in it that may be written.
        if (target.exists && (error == EACCES || error == EPERM)) {
            BeforeInPlace(destination);
            return RewriteInPlace(target, links, size, fill, backup);
        }
        return error;
    }
    FileDescriptor fd(raw_fd);
    if (target.exists) {
        const struct stat& old = target.state;
        // Only root can give the file to another owner; anyone else may pick one of their groups.
        // A failure is expected and harmless here; KeepsOwner below tells what came of it.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            [[maybe_unused]] const int owner_kept = ::fchown(fd.get(), old.st_uid, old.st_gid);
        }
        if (!KeepsOwner(fd.get(), old)) {
            ::unlink(temp_path.c_str());
            BeforeInPlace(destination);
            return RewriteInPlace(target, links, size, fill, backup);
        }
        // After fchown, which clears the set-user-ID and set-group-ID bits.
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0)
            error = errno;
    }
    if (error == 0)
        error = fill(fd.get());
    if (error == 0 && destination.batch != nullptr) {
        // Still locked: no other write takes it for a stale one until the batch renames it.
        destination.batch->Add({fd.release(), name, temp_path, target.path, backup});
        return 0;
    }
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    // Renamed while still locked, so no other write can take the file for a stale one. A backup
    // that could not take its place is left for the next run (SettleTemporary).
    bool backup_kept = true;
    if (error == 0)
        error = PutInPlace(temp_path, target.path, backup, backup_kept);
    if (error != 0) {
        ::unlink(temp_path.c_str());
        return error;
    }
    SyncFolder(FolderOf(target.path));
    return 0;
}

bool UnsupportedByFileSystem(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

} // namespace

int ReplaceFileContents(const std::string& path, std::string_view bytes, Links links) {
    return WriteFileContents(path, links, 0666, bytes.size(), nullptr,
                             [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); });
}

int ReplaceFileContentsIn(WriteBatch& batch, const std::string& path, std::string_view bytes, Links links) {
    return WriteFileContents(
        path, links, 0666, bytes.size(), nullptr,
        [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); }, Destination{&batch, {}});
}

int ReplaceKeepingBackup(const std::string& path, std::string_view bytes, const std::string& backup) {
    return WriteFileContents(
        path, Links::Refuse, 0666, bytes.size(), nullptr,
        [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); }, Destination{nullptr, backup});
}

int ReplaceKeepingBackupIn(WriteBatch& batch, const std::string& path, std::string_view bytes,
                           const std::string& backup) {
    return WriteFileContents(
        path, Links::Refuse, 0666, bytes.size(), nullptr,
        [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); }, Destination{&batch, backup});
}

int WriteNewFile(const std::string& path, std::string_view bytes) {
    RemoveStaleTemporaries(path, nullptr);
    std::string temporary;
    int raw_fd = -1;
    // EEXIST must mean that the file is there; every slot taken by live writes is something else.
    if (int error = CreateTemporary(path, 0666, temporary, raw_fd))
        return error == EEXIST ? EBUSY : error;
    const FileDescriptor fd(raw_fd);
    int error = WriteAll(fd.get(), bytes.data(), bytes.size());
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    // Still locked, so no clean-up takes it for a stale one.
    if (error == 0)
        error = RenameNoReplace(temporary, path);
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    SyncFolder(FolderOf(path));
    return 0;
}

WriteBatch::~WriteBatch() {
    for (const Entry& entry : entries_) {
        ::unlink(entry.temporary.c_str());
        ::close(entry.fd);
    }
}

std::size_t WriteBatch::WritesForLimit(std::size_t limit, std::size_t open) {
    const std::size_t free = limit > open ? limit - open : 0;
    return std::clamp<std::size_t>(free / 4, 1, kMaxWrites);
}

namespace {

// The descriptors this process has open, as /proc tells; a guess where it cannot be read.
std::size_t OpenDescriptors() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr)
        return 16;
    std::size_t count = 0;
    while (const dirent* entry = ::readdir(dir))
        count += entry->d_name[0] != '.';
    ::closedir(dir);
    return count > 0 ? count - 1 : 0; // without the listing's own
}

} // namespace

std::size_t WriteBatch::MaxWrites() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMaxWrites;
    return WritesForLimit(static_cast<std::size_t>(limit.rlim_cur), OpenDescriptors());
}

bool WriteBatch::Full() {
    if (entries_.empty())
        capacity_ = std::min(capacity_, MaxWrites());
    return entries_.size() >= capacity_;
}

void WriteBatch::Shrink() {
    capacity_ = std::max<std::size_t>(1, entries_.size() / 2);
}

void WriteBatch::Add(Entry entry) {
    names_.insert(entry.name);
    entries_.push_back(std::move(entry));
}

bool WriteBatch::Holds(const std::string& path) const {
    return names_.count(path) != 0;
}

bool WriteBatch::Commit() {
    if (entries_.empty())
        return true;
    // One flush per file system holds every temporary file on it; where that fails, each file is
    // flushed on its own.
    std::vector<bool> flushed(entries_.size(), false);
    std::vector<std::pair<dev_t, bool>> file_systems;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        struct stat state {};
        if (::fstat(entries_[i].fd, &state) != 0) {
            flushed[i] = ::fsync(entries_[i].fd) == 0;
            continue;
        }
        auto known = std::find_if(file_systems.begin(), file_systems.end(),
                                  [&](const auto& file_system) { return file_system.first == state.st_dev; });
        if (known == file_systems.end()) {
            file_systems.emplace_back(state.st_dev, ::syncfs(entries_[i].fd) == 0);
            known = file_systems.end() - 1;
        }
        flushed[i] = known->second || ::fsync(entries_[i].fd) == 0;
    }
    bool all_done = true;
    std::vector<std::string> folders;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& entry = entries_[i];
        // Renamed while still locked, so no other write can take the file for a stale one.
        bool backup_kept = true;
        const bool done =
            flushed[i] && PutInPlace(entry.temporary, entry.target, entry.backup, backup_kept) == 0;
        if (!backup_kept) {
            failures_.push_back(entry.name + ".bak");
            all_done = false;
        }
        if (!done) {
            ::unlink(entry.temporary.c_str());
            failures_.push_back(entry.name);
            all_done = false;
        } else if (std::find(folders.begin(), folders.end(), FolderOf(entry.target)) == folders.end()) {
            folders.push_back(FolderOf(entry.target));
        }
        ::close(entry.fd);
    }
    entries_.clear();
    names_.clear();
    for (const std::string& folder : folders)
        SyncFolder(folder);
    return all_done;
}

const std::vector<std::string>* WriteBatch::TemporariesIn(const std::string& folder) {
    if (listed_ && listed_folder_ == folder)
        return listing_failed_ ? nullptr : &temporaries_;
    listed_ = true;
    listed_folder_ = folder;
    temporaries_.clear();
    DIR* dir = ::opendir(folder.c_str());
    listing_failed_ = dir == nullptr;
    if (dir == nullptr)
        return nullptr;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (ParseTemporaryName(name))
            temporaries_.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(temporaries_.begin(), temporaries_.end());
    return &temporaries_;
}

std::vector<std::string> WriteBatch::TakeFailures() {
    std::vector<std::string> failures;
    failures.swap(failures_);
    return failures;
}

namespace {

// CopyFileOver, at once (no batch) or into a batch.
int CopyInto(const std::string& from, const std::string& to, Links links, WriteBatch* batch) {
    FileDescriptor source(OpenForReading(from, links));
    struct stat state {};
    if (const int error = RegularFileState(source, state); error != 0)
        return error;
    return WriteFileContents(
        to, links, state.st_mode & 0666, static_cast<std::uint64_t>(state.st_size), &state,
        [&](int fd) {
            if (::lseek(source.get(), 0, SEEK_SET) != 0)
                return errno;
            return CopyContent(source.get(), fd);
        },
        Destination{batch, {}});
}

} // namespace

int CopyFileOverIn(WriteBatch& batch, const std::string& from, const std::string& to, Links links) {
    return CopyInto(from, to, links, &batch);
}

int CopyFileOver(const std::string& from, const std::string& to, Links links) {
    return CopyInto(from, to, links, nullptr);
}

int RenameNoReplaceByLink(const std::string& from, const std::string& to) {
    // link() fails with EEXIST when `to` exists, so nothing is ever replaced, even under a race.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    if (::unlink(from.c_str()) != 0) {
        int error = errno;
        ::unlink(to.c_str());
        return error;
    }
    return 0;
}

void RaiseOpenFileLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t wanted = limit.rlim_max == RLIM_INFINITY ? 8192 : std::min<rlim_t>(limit.rlim_max, 8192);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        limit.rlim_cur = wanted;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    int error = errno;
    if (!UnsupportedByFileSystem(error))
        return error;
#endif
    return RenameNoReplaceByLink(from, to);
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

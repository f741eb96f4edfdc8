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

// Removes the temporary files of `target` that no running write holds: a write locks its temporary
// file from creation to rename, so one that can be locked was left by a write that was killed.
// With a batch, only the names its listing of the folder holds are looked at.
void RemoveStaleTemporaries(const std::string& target, WriteBatch* batch) {
    const std::vector<std::string>* present =
        batch != nullptr ? batch->TemporariesIn(FolderOf(target)) : nullptr;
    for (int n = 0; n < kTemporarySlots; ++n) {
        const std::string name = TemporaryName(target, n);
        if (present != nullptr && !std::binary_search(present->begin(), present->end(), BareName(name)))
            continue;
        FileDescriptor fd(OpenForReading(name, Links::Refuse));
        struct stat state {};
        if (!fd.valid() || ::fstat(fd.get(), &state) != 0 || !S_ISREG(state.st_mode))
            continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (StillNames(name, fd.get()))
            ::unlink(name.c_str());
    }
}

// Creates a new, empty temporary file for `target` in the first free slot and locks it. `mode` is
// passed to open(), so a new file gets the usual mode & ~umask.
int CreateTemporary(const std::string& target, mode_t mode, std::string& temp_path, int& fd) {
    for (int n = 0; n < kTemporarySlots; ++n) {
        std::string candidate = TemporaryName(target, n);
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
template <typename Fill>
int RewriteInPlace(const Target& target, Links links, std::uint64_t size, const Fill& fill) {
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
    bool after_previous = false;
};

// A write in place cannot wait for the batch: what the batch holds goes first, so that a backup it
// holds is in place before the file it backs up changes. Gives an errno when the write depended on
// one that failed.
int BeforeInPlace(const Destination& destination) {
    if (destination.batch == nullptr)
        return 0;
    const bool done = destination.batch->Commit();
    return destination.after_previous && !done ? EIO : 0;
}

// `source`: the file a copy reads, or nothing.
template <typename Fill>
int WriteFileContents(const std::string& name, Links links, mode_t new_file_mode, std::uint64_t size,
                      const struct stat* source, const Fill& fill, const Destination& destination = {}) {
    Target target;
    if (int error = ResolveTarget(name, links, target))
        return error;
    if (destination.batch != nullptr && destination.batch->Size() >= WriteBatch::MaxWrites() &&
        !destination.after_previous)
        destination.batch->Commit();
    RemoveStaleTemporaries(target.path, destination.batch);
    // A rename would split the links of the file into an old and a new file. A copy onto another
    // link of its own source, though (a backup linked to its page), must become a file of its own,
    // or the next write of the source would change the copy too.
    const bool copy_onto_source =
        source != nullptr && source->st_dev == target.state.st_dev && source->st_ino == target.state.st_ino;
    if (target.exists && target.state.st_nlink > 1 && !copy_onto_source) {
        if (int error = BeforeInPlace(destination))
            return error;
        return RewriteInPlace(target, links, size, fill);
    }

    std::string temp_path;
    int raw_fd = -1;
    int error = CreateTemporary(target.path, target.exists ? 0600 : new_file_mode, temp_path, raw_fd);
    if (error != 0) {
        // A folder that allows no new files, with a file in it that may be written.
        if (target.exists && (error == EACCES || error == EPERM)) {
            if (int in_place_error = BeforeInPlace(destination))
                return in_place_error;
            return RewriteInPlace(target, links, size, fill);
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
            if (int in_place_error = BeforeInPlace(destination))
                return in_place_error;
            return RewriteInPlace(target, links, size, fill);
        }
        // After fchown, which clears the set-user-ID and set-group-ID bits.
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0)
            error = errno;
    }
    if (error == 0)
        error = fill(fd.get());
    if (error == 0 && destination.batch != nullptr) {
        // Still locked: no other write takes it for a stale one until the batch renames it.
        destination.batch->Add({fd.release(), name, temp_path, target.path, destination.after_previous});
        return 0;
    }
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    // Renamed while still locked, so no other write can take the file for a stale one.
    if (error == 0 && ::rename(temp_path.c_str(), target.path.c_str()) != 0)
        error = errno;
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

std::string TemporaryName(const std::string& path, int n) {
    std::string name = BareName(path);
    // Keep the temporary name within NAME_MAX even for very long target names.
    if (name.size() > 200)
        name.resize(200);
    return path.substr(0, path.size() - BareName(path).size()) + "." + name + ".qlm-" + std::to_string(n);
}

int ReplaceFileContents(const std::string& path, std::string_view bytes, Links links) {
    return WriteFileContents(path, links, 0666, bytes.size(), nullptr,
                             [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); });
}

int ReplaceFileContentsIn(WriteBatch& batch, const std::string& path, std::string_view bytes, Links links,
                          bool after_previous) {
    return WriteFileContents(
        path, links, 0666, bytes.size(), nullptr,
        [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); },
        Destination{&batch, after_previous});
}

WriteBatch::~WriteBatch() {
    for (const Entry& entry : entries_) {
        ::unlink(entry.temporary.c_str());
        ::close(entry.fd);
    }
}

std::size_t WriteBatch::MaxWrites() {
    static const std::size_t writes = [] {
        struct rlimit limit {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
            return kMaxWrites;
        return std::clamp<std::size_t>(static_cast<std::size_t>(limit.rlim_cur / 4), 16, kMaxWrites);
    }();
    return writes;
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
    bool previous_done = true;
    std::vector<std::string> folders;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& entry = entries_[i];
        bool done = flushed[i] && (!entry.after_previous || previous_done);
        // Renamed while still locked, so no other write can take the file for a stale one.
        if (done && ::rename(entry.temporary.c_str(), entry.target.c_str()) != 0)
            done = false;
        if (!done) {
            ::unlink(entry.temporary.c_str());
            failures_.push_back(entry.name);
            all_done = false;
        } else if (std::find(folders.begin(), folders.end(), FolderOf(entry.target)) == folders.end()) {
            folders.push_back(FolderOf(entry.target));
        }
        ::close(entry.fd);
        previous_done = done;
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
        if (name.starts_with('.') && name.find(".qlm-") != std::string_view::npos)
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
            char buffer[65536];
            for (;;) {
                const ssize_t got = ReadSome(source.get(), buffer, sizeof buffer);
                if (got < 0)
                    return errno;
                if (got == 0)
                    return 0;
                if (int error = WriteAll(fd, buffer, static_cast<std::size_t>(got)))
                    return error;
            }
        },
        Destination{batch, false});
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

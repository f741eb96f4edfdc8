// SPDX-License-Identifier: GPL-3.0-or-later
// The steps of a crash-safe write: temporaries, writing out, putting a flushed file in place
// (keeping the old one as the backup where asked), and the rename that never replaces.
#include "platform/file_steps.h"

#include "platform/file_marks.h"
#include "platform/globals.h"
#include "platform/temporary_files.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qlm::platform {

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

void SyncFolder(const std::string& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

namespace {

// True while `path` still names the file open as `fd`.
bool StillNames(const std::string& path, int fd) {
    struct stat by_name {
    }, by_fd{};
    return ::lstat(path.c_str(), &by_name) == 0 && ::fstat(fd, &by_fd) == 0 &&
           by_name.st_dev == by_fd.st_dev && by_name.st_ino == by_fd.st_ino;
}

} // namespace

void RemoveStaleTemporaries(const std::string& target, WriteBatch* batch) {
    const std::vector<std::string>* present =
        batch != nullptr ? batch->TemporariesIn(FolderOf(target)) : nullptr;
    // A folder without temporaries, as nearly every one is, needs no names worked out for each file.
    if (present != nullptr && present->empty())
        return;
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

namespace {

// An unnamed file is named through its entry in /proc/self/fd, which any user may link (linkat
// with AT_EMPTY_PATH needs a privilege on older kernels); without /proc, temporaries serve.
bool CanNameUnnamedFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

} // namespace

int CreateUnnamed(const std::string& folder, mode_t mode, int& fd) {
    if (!CanNameUnnamedFiles())
        return EOPNOTSUPP;
    fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0)
        return 0;
    // Kernels and file systems without O_TMPFILE give EISDIR or EOPNOTSUPP.
    return errno == EISDIR || errno == EINVAL ? EOPNOTSUPP : errno;
}

int LinkUnnamed(int fd, const std::string& target) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

int CreateForNewFile(const std::string& target, mode_t mode, std::string& temp_path, int& fd) {
    const int error = CreateUnnamed(FolderOf(target), mode, fd);
    return error != EOPNOTSUPP ? error : CreateTemporary(target, mode, temp_path, fd);
}

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

namespace {

bool LinksUnsupported(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK || error == EXDEV;
}

int RenameByFileSystem(const std::string& from, const std::string& to);

// Renames `from` to the free name `to`. Where the file system cannot refuse to replace, the name
// is looked at first: old-version names are made only by the run that holds the folder, and an
// empty file reserving the name (RenameOntoReserved) would, if the run were killed, be taken by
// the next one for the page's previous version.
int RenameToFreeName(const std::string& from, const std::string& to) {
    const int error = RenameByFileSystem(from, to);
    if (error != EPERM)
        return error;
    if (NameExists(to))
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Gives the complete, flushed copy `copy` of `target` the first free old-version name of it.
int NameOldVersion(const std::string& copy, const std::string& target, std::string& old_version) {
    for (int n = 0; n < kTemporarySlots; ++n) {
        std::string candidate = TemporaryName(target, TemporaryKind::OldVersion, n);
        const int error = RenameToFreeName(copy, candidate);
        if (error == EEXIST)
            continue;
        if (error == 0)
            old_version = std::move(candidate);
        return error;
    }
    return EEXIST;
}

// A flushed copy of `target` as its old version, for file systems without hard links. The copy is
// made under a new-content name and takes an old-version name only once complete, so a kill
// during the copy leaves a temporary the next run removes, never a part of the page that it would
// take for the page's previous version.
int CopyOldVersion(const std::string& target, std::string& old_version, FileDescriptor& held) {
    FileDescriptor source(OpenForReading(target, Links::Refuse));
    struct stat state {};
    if (const int error = RegularFileState(source, state); error != 0)
        return error;
    std::string copy_path;
    int raw_fd = -1;
    if (const int error = CreateTemporary(target, 0600, copy_path, raw_fd); error != 0)
        return error;
    FileDescriptor copy(raw_fd);
    int error = CopyContent(source.get(), copy.get());
    if (error == 0 && (::fchmod(copy.get(), state.st_mode & 07777) != 0 || ::fsync(copy.get()) != 0))
        error = errno;
    if (error == 0) {
        MarkTemporary(copy.get(), BareName(target));
        error = NameOldVersion(copy_path, target, old_version);
    }
    if (error != 0) {
        ::unlink(copy_path.c_str());
        return error;
    }
    held.reset(copy.release());
    return 0;
}

// Keeps the file `target` as it is under a temporary name of the old-version kind, locked in
// `held` and marked as the program's own: a second hard link, or a copy. ENOENT when there is no
// such file.
int HoldOldVersion(const std::string& target, std::string& old_version, FileDescriptor& held) {
    for (int n = 0; n < kTemporarySlots; ++n) {
        const std::string candidate = TemporaryName(target, TemporaryKind::OldVersion, n);
        const int error = ::link(target.c_str(), candidate.c_str()) == 0 ? 0 : errno;
        if (error == EEXIST)
            continue;
        if (LinksUnsupported(error))
            return CopyOldVersion(target, old_version, held);
        if (error != 0)
            return error;
        // Until the page is replaced, the mark is on the page too: one file under two names.
        held.reset(::open(candidate.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (held.valid()) {
            ::flock(held.get(), LOCK_EX | LOCK_NB);
            MarkTemporary(held.get(), BareName(target));
        }
        old_version = candidate;
        return 0;
    }
    return EEXIST;
}

} // namespace

int PutInPlace(const std::string& temporary, const std::string& target, const std::string& backup,
               int& backup_error) {
    backup_error = 0;
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
    if (!old_version.empty()) {
        backup_error = ::rename(old_version.c_str(), backup.c_str()) == 0 ? 0 : errno;
        if (backup_error == 0 && held.valid())
            UnmarkTemporary(held.get());
    }
    return 0;
}

namespace {

bool UnsupportedByFileSystem(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

} // namespace

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

int RenameOntoReserved(const std::string& from, const std::string& to) {
    // O_EXCL never takes the name of a file that is there, even under a race; the rename then
    // replaces only the empty file this call made.
    FileDescriptor reserved(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!reserved.valid())
        return errno;
    reserved.reset();
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        return error;
    }
    return 0;
}

namespace {

// RenameNoReplace by the file system's own means only: EPERM where it has none.
int RenameByFileSystem(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (const int error = errno; !UnsupportedByFileSystem(error))
        return error;
#endif
    const int error = RenameNoReplaceByLink(from, to);
    return LinksUnsupported(error) ? EPERM : error;
}

} // namespace

namespace {

// True when `to` is `from` under a name that differs only in case, on a file system that folds
// case (FAT, exFAT): "IMG.JPG" and "img.jpg". Where the file system gives both names one file
// number, that tells; FUSE file systems give each name a number of its own, and then the folder's
// listing tells, which holds only the one name.
bool SameFileUnderAnotherCase(const std::string& from, const std::string& to) {
    const std::string folder = FolderOf(from);
    const std::string from_name = BareName(from), to_name = BareName(to);
    if (folder != FolderOf(to) || from_name == to_name || !EqualIgnoringAsciiCase(from_name, to_name))
        return false;
    struct stat a {
    }, b{};
    if (::lstat(from.c_str(), &a) != 0 || ::lstat(to.c_str(), &b) != 0 || a.st_nlink != 1 || b.st_nlink != 1)
        return false;
    if (a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        return true;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    bool from_listed = false, to_listed = false;
    while (const dirent* entry = ::readdir(dir)) {
        from_listed = from_listed || from_name == entry->d_name;
        to_listed = to_listed || to_name == entry->d_name;
    }
    ::closedir(dir);
    return from_listed && !to_listed;
}

} // namespace

int RenameNoReplace(const std::string& from, const std::string& to) {
    int error = RenameByFileSystem(from, to);
    if (error == EPERM)
        error = RenameOntoReserved(from, to);
    // Changing only the case of a name replaces nothing.
    if (error == EEXIST && SameFileUnderAnotherCase(from, to))
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    return error;
}

} // namespace qlm::platform

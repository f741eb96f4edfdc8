// SPDX-License-Identifier: GPL-3.0-or-later
// The crash-safe replacement of a file's content (alone or in a batch, with or without a backup),
// the new file that never replaces one, and the copy over a file.
#include "platform/file_marks.h"
#include "platform/file_ops.h"
#include "platform/file_steps.h"
#include "platform/globals.h"
#include "platform/temporary_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qlm::platform {
namespace {

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

// Where a write goes: done at once, or into a batch that flushes and renames it later.
struct Destination {
    WriteBatch* batch = nullptr;
    std::string backup;       // where the old content goes (ReplaceKeepingBackup), or empty
    std::string_view content; // the new content, where a backup is kept
    // A backup replaced by a rename even where it has other links: it is the program's own file,
    // and the copy a snapshot linked keeps is the version that snapshot took.
    bool split_links = false;
};

int CopyInto(const std::string& from, const std::string& to, Links links, const Destination& destination);

// True when the page at `path` is what an earlier rewrite in place left when it was killed: a
// mixture of its backup's content and new content, where the backup is the real previous version.
// Told by the mark the rewrite leaves; where the file system keeps no marks, by the page's bytes:
// each is the backup's or the new content's at its place (or zero where the file had grown).
bool LeftByKilledRewrite(const std::string& path, const std::string& backup, std::string_view content) {
    const Mark mark = RewriteBroken(path);
    if (mark != Mark::Unsupported)
        return mark == Mark::Present;
    std::string page, old;
    if (ReadWholeFile(path, page, kMaxTextFileSize) != 0 || ReadWholeFile(backup, old, kMaxTextFileSize) != 0)
        return false;
    if (page == old || page == content)
        return false;
    const std::size_t longer = std::max(old.size(), content.size());
    if (page.size() != old.size() && page.size() != content.size() && page.size() != longer)
        return false;
    for (std::size_t i = 0; i < page.size(); ++i) {
        const bool as_new = i < content.size() && page[i] == content[i];
        const bool as_old = i < old.size() ? page[i] == old[i] : page[i] == '\0';
        if (!as_new && !as_old)
            return false;
    }
    return true;
}

// Anything that writes the new content from the descriptor's current offset: gives 0 or an errno.
// With a backup, the old content is copied there (and flushed) before the file changes at all,
// unless the file is a mixture left by a killed rewrite, whose backup is the version to keep. The
// file carries a mark while it is rewritten, so that a kill is told afterwards.
template <typename Fill>
int RewriteInPlace(const Target& target, Links links, std::uint64_t size, const Fill& fill,
                   const std::string& backup, std::string_view content) {
    const int no_follow = links == Links::Refuse ? O_NOFOLLOW : 0;
    FileDescriptor fd(::open(target.path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | no_follow));
    if (!fd.valid())
        return errno;
    struct stat state {};
    if (::fstat(fd.get(), &state) != 0)
        return errno;
    if (!S_ISREG(state.st_mode) || state.st_dev != target.state.st_dev || state.st_ino != target.state.st_ino)
        return EAGAIN; // the name was given to another file meanwhile
    if (!backup.empty() && !LeftByKilledRewrite(target.path, backup, content)) {
        const int error = CopyInto(target.path, backup, Links::Refuse, Destination{nullptr, {}, {}, true});
        if (error != 0 && !IsMissingFile(error))
            return error;
    }
    const int marked = BeginRewrite(fd.get());
    if (marked != 0 && marked != ENOTSUP)
        return marked;
    // Room for the whole content first: a full disk then stops the write before it changes a byte.
    if (size > static_cast<std::uint64_t>(state.st_size) &&
        ::fallocate(fd.get(), 0, 0, static_cast<off_t>(size)) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    if (int error = fill(fd.get()))
        return error;
    const off_t end = ::lseek(fd.get(), 0, SEEK_CUR);
    if (end < 0 || ::ftruncate(fd.get(), end) != 0 || ::fsync(fd.get()) != 0)
        return errno;
    return marked == 0 ? EndRewrite(fd.get()) : 0;
}

bool KeepsOwner(int fd, const struct stat& old_state) {
    struct stat state {};
    return ::fstat(fd, &state) == 0 && state.st_uid == old_state.st_uid && state.st_gid == old_state.st_gid;
}

// A write in place cannot wait for the batch: what the batch holds goes first, so that the files
// change in the order of the writes.
void BeforeInPlace(const Destination& destination) {
    if (destination.batch != nullptr)
        destination.batch->Commit();
}

// Where the write of `name` goes, and the backup it keeps: a backup only for a file that exists.
// A full batch is committed first, and temporaries left by killed writes of the file go.
int PrepareWrite(const std::string& name, Links links, const Destination& destination, Target& target,
                 std::string& backup) {
    if (int error = ResolveTarget(name, links, target))
        return error;
    backup = target.exists ? destination.backup : std::string();
    if (!backup.empty())
        if (int error = CheckBackupName(backup))
            return error;
    // A page that a killed rewrite left half new is no version to keep: its backup is.
    if (!backup.empty() && RewriteBroken(target.path) == Mark::Present)
        backup.clear();
    if (destination.batch != nullptr && destination.batch->Full())
        destination.batch->CommitInBackground();
    RemoveStaleTemporaries(target.path, destination.batch);
    return 0;
}

// Creates the locked temporary that takes the new content of `target`, with the old file's owner,
// group and permissions where there is one. Sets `in_place` instead where only a write in place
// keeps what the user relies on: a folder that allows no new files, an owner that cannot be kept.
int CreateNewContent(const Target& target, mode_t new_file_mode, const Destination& destination,
                     std::string& temp_path, FileDescriptor& fd, bool& in_place) {
    int raw_fd = -1;
    const mode_t mode = target.exists ? 0600 : new_file_mode;
    // A file that is not there yet needs no name in a batch until the batch gives it its own.
    const auto create = [&] {
        return !target.exists && destination.batch != nullptr
                   ? CreateForNewFile(target.path, mode, temp_path, raw_fd)
                   : CreateTemporary(target.path, mode, temp_path, raw_fd);
    };
    int error = create();
    // Out of descriptors with a batch open: its files go first, and the batch starts again smaller.
    if (OutOfDescriptors(error) && destination.batch != nullptr && destination.batch->Size() > 0) {
        destination.batch->Shrink();
        destination.batch->Commit();
        error = create();
    }
    if (error != 0) {
        // A folder that allows no new files, with a file in it that may be written.
        in_place = target.exists && (error == EACCES || error == EPERM);
        return in_place ? 0 : error;
    }
    fd.reset(raw_fd);
    if (!target.exists)
        return 0;
    const struct stat& old = target.state;
    // Only root can give the file to another owner; anyone else may pick one of their groups.
    // A failure is expected and harmless here; KeepsOwner below tells what came of it.
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        [[maybe_unused]] const int owner_kept = ::fchown(fd.get(), old.st_uid, old.st_gid);
    }
    in_place = !KeepsOwner(fd.get(), old);
    // After fchown, which clears the set-user-ID and set-group-ID bits.
    error = in_place || ::fchmod(fd.get(), old.st_mode & 07777) == 0 ? 0 : errno;
    if (in_place || error != 0) {
        ::unlink(temp_path.c_str());
        fd.reset();
    }
    return error;
}

// Flushes the complete temporary of a write done at once and renames it into place.
int FinishAlone(const std::string& temp_path, const FileDescriptor& fd, const Target& target,
                const std::string& backup) {
    int error = ::fsync(fd.get()) == 0 ? 0 : errno;
    // Renamed while still locked, so no other write can take the file for a stale one. A backup
    // that could not take its place is left for the next run (SettleTemporary).
    int backup_error = 0;
    if (error == 0)
        error = PutInPlace(temp_path, target.path, backup, backup_error);
    if (error != 0) {
        ::unlink(temp_path.c_str());
        return error;
    }
    SyncFolder(FolderOf(target.path));
    return 0;
}

// `source`: the file a copy reads, or nothing.
template <typename Fill>
int WriteFileContents(const std::string& name, Links links, mode_t new_file_mode, std::uint64_t size,
                      const struct stat* source, const Fill& fill, const Destination& destination = {}) {
    Target target;
    std::string backup;
    if (int error = PrepareWrite(name, links, destination, target, backup))
        return error;
    // A rename would split the links of the file into an old and a new file. A copy onto another
    // link of its own source, though (a backup linked to its page), must become a file of its own,
    // or the next write of the source would change the copy too.
    const bool copy_onto_source =
        source != nullptr && source->st_dev == target.state.st_dev && source->st_ino == target.state.st_ino;
    bool in_place =
        target.exists && target.state.st_nlink > 1 && !copy_onto_source && !destination.split_links;
    std::string temp_path;
    FileDescriptor fd;
    if (!in_place)
        if (int error = CreateNewContent(target, new_file_mode, destination, temp_path, fd, in_place))
            return error;
    if (in_place) {
        BeforeInPlace(destination);
        return RewriteInPlace(target, links, size, fill, backup, destination.content);
    }
    if (int error = fill(fd.get())) {
        if (!temp_path.empty())
            ::unlink(temp_path.c_str());
        return error;
    }
    if (destination.batch == nullptr)
        return FinishAlone(temp_path, fd, target, backup);
    // A temporary is still locked, so no other write takes it for a stale one until the batch
    // renames it; an unnamed file is seen by no one until then.
    destination.batch->Add({fd.release(), name, temp_path, target.path, backup, false, size});
    return 0;
}

} // namespace

int ReplaceFileContents(const std::string& path, std::string_view bytes, Links links) {
    return WriteFileContents(path, links, 0666, bytes.size(), nullptr,
                             [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); });
}

int ReplaceFileContentsIn(WriteBatch& batch, const std::string& path, std::string_view bytes, Links links) {
    return WriteFileContents(
        path, links, 0666, bytes.size(), nullptr,
        [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); }, Destination{&batch, {}, {}});
}

int ReplaceKeepingBackup(const std::string& path, std::string_view bytes, const std::string& backup) {
    return WriteFileContents(
        path, Links::Refuse, 0666, bytes.size(), nullptr,
        [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); },
        Destination{nullptr, backup, bytes});
}

int ReplaceKeepingBackupIn(WriteBatch& batch, const std::string& path, std::string_view bytes,
                           const std::string& backup) {
    return WriteFileContents(
        path, Links::Refuse, 0666, bytes.size(), nullptr,
        [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); }, Destination{&batch, backup, bytes});
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

namespace {

// CopyFileOver, at once (no batch) or into a batch.
int CopyInto(const std::string& from, const std::string& to, Links links, const Destination& destination) {
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
        destination);
}

} // namespace

int WriteNewFileIn(WriteBatch& batch, const std::string& path, std::string_view bytes) {
    if (batch.Full())
        batch.CommitInBackground();
    std::string temporary;
    int raw_fd = -1;
    int error = CreateForNewFile(path, 0666, temporary, raw_fd);
    if (OutOfDescriptors(error) && batch.Size() > 0) {
        batch.Shrink();
        batch.Commit();
        error = CreateForNewFile(path, 0666, temporary, raw_fd);
    }
    // EEXIST must mean that the file is there; every slot taken by live writes is something else.
    if (error != 0)
        return error == EEXIST ? EBUSY : error;
    FileDescriptor fd(raw_fd);
    if ((error = WriteAll(fd.get(), bytes.data(), bytes.size())) != 0) {
        if (!temporary.empty())
            ::unlink(temporary.c_str());
        return error;
    }
    // Unnamed, or a temporary still locked: no clean-up takes it for a stale one until the batch
    // gives it its name.
    batch.Add({fd.release(), path, temporary, path, {}, true, bytes.size()});
    return 0;
}

int CopyFileOverIn(WriteBatch& batch, const std::string& from, const std::string& to, Links links) {
    return CopyInto(from, to, links, Destination{&batch, {}, {}, false});
}

int CopyFileOver(const std::string& from, const std::string& to, Links links) {
    return CopyInto(from, to, links, Destination{});
}

} // namespace qlm::platform

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The steps the file layer's readers and writers share (file_reading, file_replace, write_batch,
// file_steps): opening for reading, writing out, temporaries and putting a flushed file in place.
// For the platform layer only; the rest of the program uses file_ops.h.

#include "platform/file_ops.h"
#include "platform/temporary_files.h"

#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace qlm::platform {

// Opens a file for reading without waiting on it, so that a FIFO of that name never stalls. With
// Links::Refuse a symbolic link is not opened (ELOOP). `more_flags` are added to open's flags.
int OpenForReading(const std::string& path, Links links = Links::Follow, int more_flags = 0);

// The state of an opened regular file; EISDIR for a folder, EINVAL for any other kind, the errno
// of the failed open or fstat otherwise.
int RegularFileState(const FileDescriptor& file, struct stat& info);

// The folder part of `path` ("." for a bare name).
std::string FolderOf(const std::string& path);

// write(2) of all `size` bytes, tried again after a signal: 0 or the errno.
int WriteAll(int fd, const char* data, std::size_t size);

// Copies what is left to read of `from` to `to`.
int CopyContent(int from, int to);

// Flushes the folder entry of a rename. Some file systems cannot sync a folder; the new content
// is in place by then, so a failure here is not reported.
void SyncFolder(const std::string& folder);

// Deals with the temporary files of `target` that no running write holds: a write locks its
// temporary file from creation to rename, so one that can be locked was left by a write that was
// killed (see SettleTemporary). With a batch, only the names its listing of the folder holds are
// looked at.
void RemoveStaleTemporaries(const std::string& target, WriteBatch* batch);

// Creates a new, empty temporary file for `target` in the first free slot and locks it. `mode` is
// passed to open(), so a new file gets the usual mode & ~umask.
int CreateTemporary(const std::string& target, mode_t mode, std::string& temp_path, int& fd);

// Opens a new file without a name in `folder` (O_TMPFILE) for `target`'s content: it vanishes by
// itself when the write is killed, and it takes its name with one new folder entry where a
// temporary needs two and a removal (LinkUnnamed). EOPNOTSUPP where the file system or the
// machine cannot do that (no /proc to name it by), and the caller makes a temporary instead.
int CreateUnnamed(const std::string& folder, mode_t mode, int& fd);

// Gives the complete, flushed file `fd` made by CreateUnnamed the name `target`, which it never
// replaces: EEXIST when a file of that name appeared meanwhile.
int LinkUnnamed(int fd, const std::string& target);

// The file that takes the content of `target`, which is not there yet: one without a name
// (CreateUnnamed; `temp_path` stays empty) where the file system allows, a temporary otherwise.
int CreateForNewFile(const std::string& target, mode_t mode, std::string& temp_path, int& fd);

// A backup name must be free or a regular file that may be written; a link is never replaced.
int CheckBackupName(const std::string& backup);

bool OutOfDescriptors(int error);

// Renames the complete, flushed `temporary` over `target`. With a `backup`, the old target is
// held first and becomes the backup only once the new content is in place; `backup_error` gives
// the errno of that last step, or 0.
int PutInPlace(const std::string& temporary, const std::string& target, const std::string& backup,
               int& backup_error);

} // namespace qlm::platform

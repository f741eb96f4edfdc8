#pragma once
// Whole-file operations on the Linux file system. Every function gives 0 on success or the errno
// value of the step that failed; none of them talks to the user.

#include <string>
#include <string_view>

namespace qlm::platform {

// Replaces the content of `path` with `bytes` so that a crash or a full disk at any moment leaves
// either the old or the new content: a temporary file in the same folder is written, every write
// checked, flushed with fsync and renamed over the old file. An existing file keeps its permissions.
int ReplaceFileContents(const std::string& path, std::string_view bytes);

// Copies the file `from` over `to` (used for the ".bak" copies), as crash-safe as ReplaceFileContents.
int CopyFileOver(const std::string& from, const std::string& to);

// Renames `from` to `to` but never replaces an existing `to`, also under a race: renameat2 with
// RENAME_NOREPLACE, or link + unlink where the file system lacks the flag.
int RenameNoReplace(const std::string& from, const std::string& to);

// The fallback of RenameNoReplace on its own: link `to` to `from`, then unlink `from`. Never
// replaces an existing `to`; needs a file system with hard links.
int RenameNoReplaceByLink(const std::string& from, const std::string& to);

// True when `path` names an existing regular file (symbolic links followed).
bool IsRegularFile(const std::string& path);

// True when an entry of that name exists, of any kind (a dangling symbolic link included).
bool NameExists(const std::string& path);

} // namespace qlm::platform

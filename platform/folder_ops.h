// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Folders and paths as a writer into a folder of its own needs them: the path a folder really has,
// folders made one step at a time and checked to be no links, and files removed for good. Every
// function gives 0 or the errno value of the step that failed.

#include <string>

namespace qlm::platform {

// The absolute path of `path` with every symbolic link, "." and ".." resolved (realpath).
int CanonicalPath(const std::string& path, std::string& canonical);

// 0 when `path` is a folder itself; ENOENT when there is nothing of that name, ELOOP for a symbolic
// link (to a folder or not), ENOTDIR for any other kind of file.
int CheckRealFolder(const std::string& path);

// Makes the folder `path` unless it is there as a folder itself (CheckRealFolder); its parent
// must exist. A new folder's entry is flushed.
int MakeRealFolder(const std::string& path);

// Removes the file `path` (never a folder) and flushes the removal. ENOENT when it was not there.
int RemoveFile(const std::string& path);

} // namespace qlm::platform

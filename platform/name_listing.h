// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The names of a folder and whether each is a folder, for a caller that needs nothing else of the
// entries (the command line's picture list). It asks the file system about an entry only when the
// folder's own record cannot tell: a symbolic link, or a file system that reports no type.

#include <functional>
#include <string>
#include <string_view>

namespace qlm::platform {

// Called for each name found, with whether it is a folder.
using TakeName = std::function<void(std::string_view name, bool folder)>;

// Goes through `folder` (a path; "" is the working directory) in the order the file system returns
// the names, "." and ".." included, and a name longer than a tDirEntry can hold left out, as
// tGetDirList does; nothing is kept here. A symbolic link counts as what it points to; a dangling
// link as itself. Gives 0, or the errno of the failed search (ENOENT also when the folder lists
// nothing at all); after a failure the names taken so far do not make a complete listing.
int ListNames(const std::string& folder, const TakeName& take);

} // namespace qlm::platform

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Marks the writers leave on files as extended attributes, for the next run to read after a kill:
// which hidden old version belongs to which page, and which page was being rewritten in place.
// Where the file system keeps no extended attributes (FAT, exFAT, older network file systems),
// nothing is marked and a reader is told so, to decide by other means.

#include <string>
#include <string_view>

namespace qlm::platform {

enum class Mark {
    Present,     // the mark is there (for MarkedFor: with the name asked for)
    Absent,      // no such mark, or one naming another file
    Unsupported, // the file system keeps no marks
};

// Marks the open file as the program's own temporary for the file of bare name `target`.
// Best effort: a file system without marks leaves the file as it is.
void MarkTemporary(int fd, std::string_view target);
// Whether the open file carries the temporary mark for `target`.
Mark MarkedFor(int fd, std::string_view target);
// Takes the temporary mark away (the file has become a page or a backup).
void UnmarkTemporary(int fd);

// Marks the open file as being rewritten in place, and flushes the mark, so that a kill before
// EndRewrite leaves the file known for a mixture of two versions. Gives 0, or ENOTSUP where
// the file system keeps no marks, or the errno.
int BeginRewrite(int fd);
// Takes the rewrite mark away once the new content is flushed; 0 or the errno.
int EndRewrite(int fd);
// Whether a rewrite of the file `path` (not followed where it is a link) was begun and never ended.
Mark RewriteBroken(const std::string& path);

} // namespace qlm::platform

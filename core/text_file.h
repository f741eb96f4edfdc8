// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whole-file text access and placeholder replacement. Texts are byte strings, read and written
// byte for byte without any conversion.

#include "platform/file_ops.h"

#include <string>
#include <string_view>
#include <vector>

namespace qlm {

// The no-text answer of the ask-user dialog; MyReplace inserts nothing for it.
inline constexpr std::string_view kNoText = "<notext>";

// How reading a text file ended.
enum class TextRead {
    Read,
    Missing,    // there is no such file
    Unreadable, // it exists but cannot be read: a folder, a FIFO, no permission, an I/O error, too large
    OutOfDescriptors, // it could not be opened for want of descriptors (EMFILE, ENFILE in `*error`)
};

// Reads the whole file, every byte of it, zero bytes included. Only regular files are read,
// symbolic links followed, without ever waiting for a FIFO. The text is empty unless Read.
TextRead ReadTextFile(const std::string& file_name, std::string& text, int* error = nullptr);

// ReadTextFile as a success flag: false and an empty text when the file is missing or unreadable.
bool MyReadFile(const std::string& file_name, std::string& text);

// Replaces the file's content with `text` crash-safely and keeps its previous content as
// file_name + ".bak" (platform::ReplaceKeepingBackup): the backup changes only together with the
// file, never when the new content cannot be put in place. True when the new content is
// completely on disk. A regular file that already holds exactly `text` is neither copied nor
// written (true): its time and its ".bak" stay. Nothing is written, and the result is false, when
// the name or its ".bak" name is a symbolic link or the ".bak" name is taken by something that is
// not a file the user may write (the previous version would be lost).
bool MyWriteFile(const std::string& file_name, std::string_view text);

// MyWriteFile into a batch: the new content is written to a temporary file now and takes its
// place, its predecessor becoming the ".bak", at the batch's Commit, which names the files that
// failed then. False when the write could not be started.
bool MyWriteFile(const std::string& file_name, std::string_view text, platform::WriteBatch& batch);

// Replaces every occurrence of `placeholder` in `source`; an empty replacement or exactly
// "<notext>" removes the occurrences. The search starts again before the place of each
// replacement, so occurrences that a replacement joins together with its neighbours are replaced
// too ("<" "<b>" "b>" without "<b>" gives ""; any run of blanks shrinks to one when two blanks
// become one). A replacement that contains its placeholder (a title "<mytitle>") is not searched
// again: then each occurrence of the source is replaced once; the same holds for a replacement
// that keeps forming its placeholder with its neighbours beyond a generous amount of work.
// An empty placeholder leaves the source unchanged. Time is linear in the length of the texts.
std::string MyReplace(std::string_view source, std::string_view placeholder, std::string_view replacement);

// MyReplace(source, placeholder, ""), which also gives in `joins` each place of the result where
// text that lay apart in the source now meets, in increasing order.
std::string RemoveEvery(std::string_view source, std::string_view placeholder,
                        std::vector<std::size_t>& joins);

} // namespace qlm

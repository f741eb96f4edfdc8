// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record publishing keeps in its target folder: the names of the files it put there, so that
// a later publishing replaces and removes only those and never a file of the user's own. One name
// a line, relative to the target, with "%", control characters and DEL written as "%HH", after a
// first line that tells the file for a record.

#include <set>
#include <string>
#include <string_view>

namespace qlm {

inline constexpr std::string_view kPublishRecordName = ".quillmoor-published";

std::string PublishRecordText(const std::set<std::string>& names);

// The names of a record's text; false when the text is no record.
bool ParsePublishRecord(std::string_view text, std::set<std::string>& names);

} // namespace qlm

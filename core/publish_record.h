// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record publishing keeps in its target folder: the names of the files it put there, so that
// a later publishing replaces and removes only those and never a file of the user's own. One name
// a line, relative to the target, with "%", control characters and DEL written as "%HH", after a
// first line that tells the file for a record. A name may be followed by a tab and the stamps of
// the file it was made from and of the file written (PublishStamps), so that publishing again
// over an unchanged gallery need read neither.

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace qlm {

inline constexpr std::string_view kPublishRecordName = ".quillmoor-published";

// The state of a published file and of the file of the picture folder it was made from: size,
// time of change and file number of each, as one line of text; empty where it is not known.
using PublishStamps = std::map<std::string, std::string>; // by name

std::string PublishRecordText(const std::set<std::string>& names, const PublishStamps* stamps = nullptr);

// The names of a record's text, and the stamps it holds for them; false when the text is no
// record.
bool ParsePublishRecord(std::string_view text, std::set<std::string>& names, PublishStamps* stamps = nullptr);

// The stamps of the source `from` and the published file `to` as they are now; empty when either
// cannot be looked at.
std::string StampsOf(const std::string& from, const std::string& to);

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The target folder the window publishes each picture folder to, remembered in the settings file
// in a section of its own, so that the keys of "[Settings]" stay as they are. Each picture folder
// takes a numbered pair of keys, "Ordner1=" and "Ziel1=": a folder name as a key would be matched
// without regard to case and could not hold "=". The values are the file system's bytes, with
// "%", '"' and control characters written as "%XX", so that any name reads back as it was.

#include <string>

namespace qlm {

inline constexpr const char* kPublishSection = "Veröffentlichen";

// The target remembered for `folder` (ending in "/"), or empty when there is none or the settings
// file cannot be read.
std::string RememberedPublishTarget(const std::string& ini_path, const std::string& folder);

// Remembers `target` for `folder`, replacing an earlier one; gives 0 or the errno of the failure.
// A settings file that exists but cannot be read is never replaced; one that is no regular file
// (a FIFO, a device) is left alone. ENAMETOOLONG for names longer than a value can hold.
int RememberPublishTarget(const std::string& ini_path, const std::string& folder, const std::string& target);

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings file "QLM.ini" beside the executable: the current folder and the six option flags.

#include "core/options.h"

#include <string>

namespace qlm {

inline constexpr const char* kSettingsFileName = "QLM.ini";
inline constexpr const char* kSettingsSection = "Settings";

// True for "TRUE" and "YES" in any case, false for every other text.
bool MyStrToBool(const std::string& text);
const char* MyBoolToStr(bool value);

struct Settings {
    std::string dir;
    OptionFlags flags;
};

// Reads the file once. A missing or unreadable file (also one that is no regular file, such as a
// FIFO, which is never waited for), section or key gives the defaults (empty folder, every flag
// true but ThumbsJPG).
Settings LoadSettings(const std::string& ini_path);

// Sets Dir, Keywords, Description, Alt, Warn, ImgWoAlt, ThumbsJPG in the file's text, in this
// order, and writes the file once: the same bytes as writing key by key. False, with nothing
// written, when the folder cannot be stored as a value, the file exists but cannot be read, or the
// write fails. A settings file that is no regular file and no folder (a FIFO, a device) is left
// alone, and the result is true.
bool SaveSettings(const std::string& ini_path, const Settings& settings);

// The text of the failure shown when the settings cannot be written.
std::string SettingsWriteFailureText(const std::string& ini_path);

} // namespace qlm

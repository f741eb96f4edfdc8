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

// Missing file, section or keys give the defaults (empty folder, every flag true but ThumbsJPG).
Settings LoadSettings(const std::string& ini_path);

// Writes Dir, Keywords, Description, Alt, Warn, ImgWoAlt, ThumbsJPG one key after the other; stops
// at the first key that cannot be written and gives false.
bool SaveSettings(const std::string& ini_path, const Settings& settings);

// The text of the failure shown when the settings cannot be written.
std::string SettingsWriteFailureText(const std::string& ini_path);

} // namespace qlm

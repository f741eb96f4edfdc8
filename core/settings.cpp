// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"

#include "platform/text.h"

#include "platform/file_ops.h"
#include "platform/ini_file.h"

#include <cerrno>

#include <utility>

namespace qlm {

namespace {

bool SameTextIgnoringCase(const std::string& text, const char* upper) {
    return platform::EqualIgnoringAsciiCase(text, upper);
}

// The six flags with their keys, in the order in which they are written.
struct FlagKey {
    const char* key;
    bool OptionFlags::*flag;
    const char* fallback;
};

constexpr FlagKey kFlagKeys[] = {
    {"Keywords", &OptionFlags::keywords, "true"},
    {"Description", &OptionFlags::description, "true"},
    {"Alt", &OptionFlags::alt, "true"},
    {"Warn", &OptionFlags::warn, "true"},
    {"ImgWoAlt", &OptionFlags::img_wo_alt, "true"},
    {"ThumbsJPG", &OptionFlags::thumbs_jpg, "false"},
};

} // namespace

bool MyStrToBool(const std::string& text) {
    return SameTextIgnoringCase(text, "TRUE") || SameTextIgnoringCase(text, "YES");
}

const char* MyBoolToStr(bool value) {
    return value ? "true" : "false";
}

Settings LoadSettings(const std::string& ini_path) {
    platform::IniText ini;
    (void)platform::ReadIniFile(ini_path, ini); // a file that cannot be read gives the defaults
    Settings settings;
    settings.dir = ini.Get(kSettingsSection, "Dir", "");
    for (const FlagKey& entry : kFlagKeys)
        settings.flags.*entry.flag = MyStrToBool(ini.Get(kSettingsSection, entry.key, entry.fallback));
    return settings;
}

bool SaveSettings(const std::string& ini_path, const Settings& settings) {
    platform::IniText ini;
    const int error = platform::ReadIniFile(ini_path, ini);
    // A FIFO or a device in the settings file's place is the user's arrangement: left alone.
    if (error == EINVAL)
        return true;
    // A file that exists but cannot be read must not be replaced by one holding only these keys.
    if (error != 0 && !platform::IsMissingFile(error))
        return false;
    if (ini.Set(kSettingsSection, "Dir", settings.dir) != 0)
        return false;
    for (const FlagKey& entry : kFlagKeys)
        (void)ini.Set(kSettingsSection, entry.key, MyBoolToStr(settings.flags.*entry.flag));
    return platform::WriteIniFile(ini_path, ini) == 0;
}

std::string SettingsWriteFailureText(const std::string& ini_path) {
    return "nach " + ini_path + " kann nicht geschrieben werden";
}

} // namespace qlm

#include "core/settings.h"

#include "platform/ini_file.h"

#include <utility>

namespace qlm {

namespace {

bool SameTextIgnoringCase(const std::string& text, const char* upper) {
    std::size_t i = 0;
    for (; i < text.size() && upper[i] != '\0'; ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i])
            return false;
    }
    return i == text.size() && upper[i] == '\0';
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
    Settings settings;
    settings.dir = platform::GetPrivateProfileString(kSettingsSection, "Dir", "", ini_path);
    for (const FlagKey& entry : kFlagKeys)
        settings.flags.*entry.flag = MyStrToBool(
            platform::GetPrivateProfileString(kSettingsSection, entry.key, entry.fallback, ini_path));
    return settings;
}

bool SaveSettings(const std::string& ini_path, const Settings& settings) {
    if (platform::WritePrivateProfileString(kSettingsSection, "Dir", settings.dir, ini_path) != 0)
        return false;
    for (const FlagKey& entry : kFlagKeys) {
        if (platform::WritePrivateProfileString(kSettingsSection, entry.key,
                                                MyBoolToStr(settings.flags.*entry.flag), ini_path) != 0)
            return false;
    }
    return true;
}

std::string SettingsWriteFailureText(const std::string& ini_path) {
    return "nach " + ini_path + " kann nicht geschrieben werden";
}

} // namespace qlm

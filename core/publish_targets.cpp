// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/publish_targets.h"

#include "platform/file_ops.h"
#include "platform/ini_file.h"
#include "platform/text.h"

#include <cerrno>

namespace qlm {

namespace {

// What a value of the settings file reads back in full.
constexpr std::size_t kLongestValue = 2047;

std::string FolderKey(int number) {
    return "Ordner" + std::to_string(number);
}

std::string TargetKey(int number) {
    return "Ziel" + std::to_string(number);
}

// Control characters would break the line, blanks at either end would be trimmed, quotes around
// the value taken off.
bool EscapedInValue(std::string_view name, std::size_t index) {
    const auto byte = static_cast<unsigned char>(name[index]);
    const bool at_end = index == 0 || index + 1 == name.size();
    return byte < 0x20 || byte == 0x7F || byte == '%' || byte == '"' || (byte == ' ' && at_end);
}

// A value edited by hand into no escapes stands for itself.
std::string UnescapeName(const std::string& value) {
    std::string name;
    return platform::PercentUnescape(value, name) ? name : value;
}

// The number of the pair that holds `folder`, or the first free number when none does.
int FolderNumber(const platform::IniText& ini, const std::string& folder, bool& found) {
    int number = 1;
    for (;; ++number) {
        const std::string value = ini.Get(kPublishSection, FolderKey(number), "");
        if (value.empty())
            break;
        if (UnescapeName(value) == folder) {
            found = true;
            return number;
        }
    }
    found = false;
    return number;
}

} // namespace

std::string RememberedPublishTarget(const std::string& ini_path, const std::string& folder) {
    platform::IniText ini;
    (void)platform::ReadIniFile(ini_path, ini); // a file that cannot be read remembers nothing
    bool found = false;
    const int number = FolderNumber(ini, folder, found);
    return found ? UnescapeName(ini.Get(kPublishSection, TargetKey(number), "")) : std::string();
}

int RememberPublishTarget(const std::string& ini_path, const std::string& folder, const std::string& target) {
    const std::string folder_value = platform::PercentEscape(folder, EscapedInValue);
    const std::string target_value = platform::PercentEscape(target, EscapedInValue);
    if (folder_value.size() > kLongestValue || target_value.size() > kLongestValue)
        return ENAMETOOLONG;
    platform::IniText ini;
    const int error = platform::ReadIniFile(ini_path, ini);
    if (error == EINVAL)
        return 0;
    if (error != 0 && !platform::IsMissingFile(error))
        return error;
    bool found = false;
    const int number = FolderNumber(ini, folder, found);
    if (!found && ini.Set(kPublishSection, FolderKey(number), folder_value) != 0)
        return EINVAL;
    if (ini.Set(kPublishSection, TargetKey(number), target_value) != 0)
        return EINVAL;
    return platform::WriteIniFile(ini_path, ini);
}

} // namespace qlm

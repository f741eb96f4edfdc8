#pragma once
// Reader and writer of INI files: "[Section]" lines followed by "key=value" lines. Section and key
// names match without regard to ASCII case. A write changes only its own key: it replaces the value
// of the key's line or adds the key at the end of its section, creating section and file when
// missing; the file is replaced crash-safely.

#include <string>

namespace qlm::platform {

// The value of `key` in `section`, or `fallback` when the file, the section or the key is missing.
// A value is read up to 2047 characters.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& fallback, const std::string& file);

// Writes one key; gives 0 or the errno of the failure.
int WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                              const std::string& file);

} // namespace qlm::platform

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reader and writer of INI files: "[Section]" lines followed by "key=value" lines. Section and key
// names match without regard to ASCII case. Lines end in CR LF, LF or a lone CR (the last one
// perhaps in none), and every line keeps its own ending. A change touches only its own key: it
// replaces the value of the key's line or adds the key at the end of its section, creating section
// and file when missing; every other byte stays as it was.

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qlm::platform {

// The text of an INI file, read once, changed key by key and written once.
class IniText {
  public:
    IniText() = default;
    explicit IniText(std::string bytes);

    // The value of `key` in `section`, or `fallback` when the section or the key is missing.
    // A value is read up to 2047 characters.
    std::string Get(const std::string& section, const std::string& key, const std::string& fallback) const;

    // Sets one key; gives 0, or EINVAL (and changes nothing) for names or a value that would not
    // read back as given: a line break, a zero byte, an empty name, "]" in a section, "=" in a key.
    int Set(const std::string& section, const std::string& key, const std::string& value);

    // The whole file as it now reads.
    std::string Bytes() const;

  private:
    // One line as it stands, its line break kept apart so that untouched lines are written back
    // byte for byte. Both point into the file's bytes or into the texts of changed lines.
    struct Line {
        std::string_view text;
        std::string_view ending;
    };
    std::string_view Content(std::size_t index) const;
    const std::vector<std::size_t>& Headers() const;
    std::size_t FindSection(const std::string& section) const;
    std::size_t SectionEnd(std::size_t header) const;
    std::size_t FindKey(std::size_t header, std::size_t end, const std::string& key) const;
    std::string_view Keep(std::string text);
    void CloseLastLine();

    // Held behind pointers, so that the lines keep pointing at them when the object moves.
    std::unique_ptr<std::string> bytes_ = std::make_unique<std::string>();
    std::unique_ptr<std::deque<std::string>> changed_ = std::make_unique<std::deque<std::string>>();
    std::vector<Line> lines_;
    mutable std::vector<std::size_t> headers_;
    mutable bool headers_valid_ = false;
    std::string_view ending_ = "\n"; // for new lines
};

// Reads `file` into `ini` once (symbolic links followed, without waiting for a FIFO). Gives 0, or
// the error of platform::ReadWholeFile; `ini` is empty unless the file was read.
int ReadIniFile(const std::string& file, IniText& ini);

// Replaces `file` with the text of `ini` crash-safely; a symbolic link is followed, since the
// settings file is the user's own to place. Gives 0 or the errno of the failure.
int WriteIniFile(const std::string& file, const IniText& ini);

// The value of `key` in `section`, or `fallback` when the file, the section or the key is missing.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& fallback, const std::string& file);

// Writes one key into the file; gives 0 or the errno of the failure. A file that exists but cannot
// be read is never replaced.
int WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                              const std::string& file);

} // namespace qlm::platform

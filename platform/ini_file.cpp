// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ini_file.h"

#include "platform/text.h"

#include "platform/file_ops.h"

#include <algorithm>
#include <cerrno>
#include <optional>

namespace qlm::platform {

namespace {

constexpr std::size_t kMaxValueLength = 2047;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view first, std::string_view second) {
    return EqualIgnoringAsciiCase(first, second);
}

// The name of a section line "[name]", or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view content) {
    if (content.empty() || content.front() != '[')
        return std::nullopt;
    std::size_t close = content.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return Trim(content.substr(1, close - 1));
}

// The key of a line "key=value", or nothing when the line holds no "=".
std::optional<std::string_view> KeyName(std::string_view content) {
    std::size_t equals = content.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return Trim(content.substr(0, equals));
}

bool HoldsLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

} // namespace

IniText::IniText(std::string bytes) : bytes_(std::make_unique<std::string>(std::move(bytes))) {
    const std::string_view all = *bytes_;
    bool ending_chosen = false;
    std::size_t pos = 0;
    while (pos < all.size()) {
        const std::size_t end = all.find_first_of("\r\n", pos);
        Line line;
        if (end == std::string_view::npos) {
            line.text = all.substr(pos);
            pos = all.size();
        } else {
            const std::size_t length = all.compare(end, 2, "\r\n") == 0 ? 2 : 1;
            line.text = all.substr(pos, end - pos);
            line.ending = all.substr(end, length);
            pos = end + length;
            // New lines follow the file's first line break, so a file stays in one style.
            if (!ending_chosen) {
                ending_ = line.ending;
                ending_chosen = true;
            }
        }
        lines_.push_back(line);
    }
}

std::string_view IniText::Keep(std::string text) {
    changed_->push_back(std::move(text));
    return changed_->back();
}

// The text of a line for matching; an editor's UTF-8 byte order mark before the first line does
// not belong to it.
std::string_view IniText::Content(std::size_t index) const {
    std::string_view text = lines_[index].text;
    if (index == 0 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    return Trim(text);
}

// The indexes of the section lines, found once and again only after lines were added or changed.
const std::vector<std::size_t>& IniText::Headers() const {
    if (!headers_valid_) {
        headers_.clear();
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (SectionName(Content(i)))
                headers_.push_back(i);
        }
        headers_valid_ = true;
    }
    return headers_;
}

// Index of the first line of the named section, or lines_.size().
std::size_t IniText::FindSection(const std::string& section) const {
    for (std::size_t header : Headers()) {
        if (SameName(*SectionName(Content(header)), Trim(section)))
            return header;
    }
    return lines_.size();
}

// The line after the last line of the section that begins at `header`.
std::size_t IniText::SectionEnd(std::size_t header) const {
    const std::vector<std::size_t>& headers = Headers();
    auto next = std::upper_bound(headers.begin(), headers.end(), header);
    return next == headers.end() ? lines_.size() : *next;
}

std::size_t IniText::FindKey(std::size_t header, std::size_t end, const std::string& key) const {
    for (std::size_t i = header + 1; i < end; ++i) {
        std::optional<std::string_view> name = KeyName(Content(i));
        if (name && SameName(*name, Trim(key)))
            return i;
    }
    return end;
}

// Lines added after the last one need it to end with a line break first.
void IniText::CloseLastLine() {
    if (!lines_.empty() && lines_.back().ending.empty())
        lines_.back().ending = ending_;
}

std::string IniText::Get(const std::string& section, const std::string& key,
                         const std::string& fallback) const {
    std::size_t header = FindSection(section);
    if (header == lines_.size())
        return fallback;
    std::size_t end = SectionEnd(header);
    std::size_t line = FindKey(header, end, key);
    if (line == end)
        return fallback;

    std::string_view content = Content(line);
    std::string_view value = Trim(content.substr(content.find('=') + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, kMaxValueLength));
}

int IniText::Set(const std::string& section, const std::string& key, const std::string& value) {
    // A line break in a name or value would put lines of its own into the file, and names that
    // cannot be read back are refused the same way.
    if (Trim(section).empty() || Trim(key).empty() || HoldsLineBreak(section) || HoldsLineBreak(key) ||
        HoldsLineBreak(value) || section.find(']') != std::string::npos ||
        key.find('=') != std::string::npos || section.find('\0') != std::string::npos ||
        key.find('\0') != std::string::npos || value.find('\0') != std::string::npos)
        return EINVAL;

    std::size_t header = FindSection(section);
    headers_valid_ = false; // whatever changes below, the section lines are found anew
    if (header == lines_.size()) {
        CloseLastLine();
        if (!lines_.empty() && !Trim(lines_.back().text).empty())
            lines_.push_back(Line{"", ending_});
        lines_.push_back(Line{Keep("[" + section + "]"), ending_});
        lines_.push_back(Line{Keep(key + "=" + value), ending_});
        return 0;
    }
    std::size_t end = SectionEnd(header);
    std::size_t line = FindKey(header, end, key);
    if (line < end) {
        std::string_view& text = lines_[line].text;
        text = Keep(std::string(text.substr(0, text.find('=') + 1)) + value);
        return 0;
    }
    // The new key follows the section's last non-blank line, before the blank lines that set the
    // next section apart.
    std::size_t after = end;
    while (after > header + 1 && Content(after - 1).empty())
        --after;
    if (after == lines_.size())
        CloseLastLine();
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after),
                  Line{Keep(key + "=" + value), ending_});
    return 0;
}

std::string IniText::Bytes() const {
    std::size_t size = 0;
    for (const Line& line : lines_)
        size += line.text.size() + line.ending.size();
    std::string bytes;
    bytes.reserve(size);
    for (const Line& line : lines_) {
        bytes += line.text;
        bytes += line.ending;
    }
    return bytes;
}

int ReadIniFile(const std::string& file, IniText& ini) {
    std::string bytes;
    const int error = ReadWholeFile(file, bytes, kMaxTextFileSize);
    ini = error == 0 ? IniText(std::move(bytes)) : IniText();
    return error;
}

int WriteIniFile(const std::string& file, const IniText& ini) {
    return ReplaceFileContents(file, ini.Bytes(), Links::Follow);
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& fallback, const std::string& file) {
    IniText ini;
    if (ReadIniFile(file, ini) != 0)
        return fallback;
    return ini.Get(section, key, fallback);
}

int WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                              const std::string& file) {
    IniText ini;
    const int error = ReadIniFile(file, ini);
    // A file that exists but cannot be read must not be replaced by one holding only this key.
    if (error != 0 && !IsMissingFile(error))
        return error;
    if (int refused = ini.Set(section, key, value))
        return refused;
    return WriteIniFile(file, ini);
}

} // namespace qlm::platform

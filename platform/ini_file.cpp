#include "platform/ini_file.h"

#include "platform/file_ops.h"

#include <cerrno>
#include <optional>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace qlm::platform {

namespace {

constexpr std::size_t kMaxValueLength = 2047;

// One line of the file as it stands, its line break kept apart so that untouched lines are
// written back byte for byte.
struct Line {
    std::string text;
    std::string ending;
};

// Reads the whole file; ENOENT when it does not exist.
int ReadFileBytes(const std::string& path, std::string& bytes) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    bytes.clear();
    char chunk[8192];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            int error = errno;
            close(fd);
            return error;
        }
        if (got == 0)
            break;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    close(fd);
    return 0;
}

std::vector<Line> SplitLines(const std::string& bytes) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        Line line;
        if (end == std::string::npos) {
            line.text = bytes.substr(pos);
            pos = bytes.size();
        } else {
            line.text = bytes.substr(pos, end - pos);
            line.ending = "\n";
            pos = end + 1;
        }
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.ending.insert(0, "\r");
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

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

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view first, std::string_view second) {
    if (first.size() != second.size())
        return false;
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (AsciiLower(first[i]) != AsciiLower(second[i]))
            return false;
    }
    return true;
}

// The text of a line for matching; an editor's UTF-8 byte order mark before the first line does
// not belong to it.
std::string_view Content(const std::vector<Line>& lines, std::size_t index) {
    std::string_view text = lines[index].text;
    if (index == 0 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    return Trim(text);
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

// Index of the first line of the named section, or lines.size().
std::size_t FindSection(const std::vector<Line>& lines, const std::string& section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::optional<std::string_view> name = SectionName(Content(lines, i));
        if (name && SameName(*name, Trim(section)))
            return i;
    }
    return lines.size();
}

// The line after the last line of the section that begins at `header`.
std::size_t SectionEnd(const std::vector<Line>& lines, std::size_t header) {
    std::size_t end = header + 1;
    while (end < lines.size() && !SectionName(Content(lines, end)))
        ++end;
    return end;
}

std::size_t FindKey(const std::vector<Line>& lines, std::size_t header, std::size_t end,
                    const std::string& key) {
    for (std::size_t i = header + 1; i < end; ++i) {
        std::optional<std::string_view> name = KeyName(Content(lines, i));
        if (name && SameName(*name, Trim(key)))
            return i;
    }
    return end;
}

bool HoldsLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

} // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& fallback, const std::string& file) {
    std::string bytes;
    if (ReadFileBytes(file, bytes) != 0)
        return fallback;
    std::vector<Line> lines = SplitLines(bytes);
    std::size_t header = FindSection(lines, section);
    if (header == lines.size())
        return fallback;
    std::size_t end = SectionEnd(lines, header);
    std::size_t line = FindKey(lines, header, end, key);
    if (line == end)
        return fallback;

    std::string_view content = Content(lines, line);
    std::string_view value = Trim(content.substr(content.find('=') + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, kMaxValueLength));
}

int WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                              const std::string& file) {
    // A line break in a name or value would put lines of its own into the file, and names that
    // cannot be read back are refused the same way.
    if (Trim(section).empty() || Trim(key).empty() || HoldsLineBreak(section) || HoldsLineBreak(key) ||
        HoldsLineBreak(value) || section.find(']') != std::string::npos ||
        key.find('=') != std::string::npos || section.find('\0') != std::string::npos ||
        key.find('\0') != std::string::npos || value.find('\0') != std::string::npos)
        return EINVAL;

    std::string bytes;
    int error = ReadFileBytes(file, bytes);
    // A file that exists but cannot be read must not be replaced by one holding only this key.
    if (error != 0 && error != ENOENT)
        return error;

    std::vector<Line> lines = SplitLines(bytes);
    const std::string ending = bytes.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    // Lines added after the last one need it to end with a line break first.
    auto close_last_line = [&lines, &ending] {
        if (!lines.empty() && lines.back().ending.empty())
            lines.back().ending = ending;
    };

    std::size_t header = FindSection(lines, section);
    if (header == lines.size()) {
        close_last_line();
        if (!lines.empty() && !Trim(lines.back().text).empty())
            lines.push_back(Line{"", ending});
        lines.push_back(Line{"[" + section + "]", ending});
        lines.push_back(Line{key + "=" + value, ending});
    } else {
        std::size_t end = SectionEnd(lines, header);
        std::size_t line = FindKey(lines, header, end, key);
        if (line < end) {
            std::string& text = lines[line].text;
            text = text.substr(0, text.find('=') + 1) + value;
        } else {
            // The new key follows the section's last non-blank line, before the blank lines that
            // set the next section apart.
            std::size_t after = end;
            while (after > header + 1 && Content(lines, after - 1).empty())
                --after;
            if (after == lines.size())
                close_last_line();
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after), Line{key + "=" + value, ending});
        }
    }

    std::string result;
    result.reserve(bytes.size() + key.size() + value.size() + section.size() + 8);
    for (const Line& line : lines)
        result += line.text + line.ending;
    return ReplaceFileContents(file, result);
}

} // namespace qlm::platform

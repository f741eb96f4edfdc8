// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/publish_record.h"

namespace qlm {

namespace {

constexpr std::string_view kFirstLine = "# Quillmoor: files published here\n";

bool Escaped(unsigned char byte) {
    return byte == '%' || byte < 0x20 || byte == 0x7F;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// A line of the record as the name it stands for; false for a line no record holds.
bool NameOfLine(std::string_view line, std::string& name) {
    name.clear();
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '%') {
            name += line[i];
            continue;
        }
        if (i + 2 >= line.size() || HexDigit(line[i + 1]) < 0 || HexDigit(line[i + 2]) < 0)
            return false;
        name += static_cast<char>(HexDigit(line[i + 1]) * 16 + HexDigit(line[i + 2]));
        i += 2;
    }
    return !name.empty();
}

} // namespace

std::string PublishRecordText(const std::set<std::string>& names) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text(kFirstLine);
    for (const std::string& name : names) {
        for (const char c : name) {
            const auto byte = static_cast<unsigned char>(c);
            if (Escaped(byte)) {
                text += '%';
                text += kHex[byte >> 4];
                text += kHex[byte & 0x0F];
            } else {
                text += c;
            }
        }
        text += '\n';
    }
    return text;
}

bool ParsePublishRecord(std::string_view text, std::set<std::string>& names) {
    names.clear();
    if (!text.starts_with(kFirstLine) || !text.ends_with('\n'))
        return false;
    std::string name;
    for (std::size_t start = kFirstLine.size(); start < text.size();) {
        const std::size_t end = text.find('\n', start);
        if (!NameOfLine(text.substr(start, end - start), name))
            return false;
        names.insert(name);
        start = end + 1;
    }
    return true;
}

} // namespace qlm

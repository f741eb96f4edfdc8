// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/publish_record.h"

#include "platform/text.h"

namespace qlm {

namespace {

constexpr std::string_view kFirstLine = "# Quillmoor: files published here\n";

bool Escaped(std::string_view name, std::size_t index) {
    const auto byte = static_cast<unsigned char>(name[index]);
    return byte == '%' || byte < 0x20 || byte == 0x7F;
}

// A line of the record as the name it stands for; false for a line no record holds.
bool NameOfLine(std::string_view line, std::string& name) {
    return platform::PercentUnescape(line, name) && !name.empty();
}

} // namespace

std::string PublishRecordText(const std::set<std::string>& names) {
    std::string text(kFirstLine);
    for (const std::string& name : names) {
        text += platform::PercentEscape(name, Escaped);
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

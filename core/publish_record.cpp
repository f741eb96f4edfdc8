// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/publish_record.h"

#include "platform/text.h"

#include <sys/stat.h>

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

std::string PublishRecordText(const std::set<std::string>& names, const PublishStamps* stamps) {
    std::string text(kFirstLine);
    for (const std::string& name : names) {
        text += platform::PercentEscape(name, Escaped);
        if (stamps != nullptr)
            if (const auto found = stamps->find(name); found != stamps->end() && !found->second.empty())
                text += '\t' + found->second;
        text += '\n';
    }
    return text;
}

bool ParsePublishRecord(std::string_view text, std::set<std::string>& names, PublishStamps* stamps) {
    names.clear();
    if (stamps != nullptr)
        stamps->clear();
    if (!text.starts_with(kFirstLine) || !text.ends_with('\n'))
        return false;
    std::string name;
    for (std::size_t start = kFirstLine.size(); start < text.size();) {
        const std::size_t end = text.find('\n', start);
        const std::string_view line = text.substr(start, end - start);
        // A tab is escaped within names, so the first one ends the name.
        const std::size_t tab = line.find('\t');
        if (!NameOfLine(line.substr(0, tab), name))
            return false;
        names.insert(name);
        if (stamps != nullptr && tab != std::string_view::npos)
            (*stamps)[name] = std::string(line.substr(tab + 1));
        start = end + 1;
    }
    return true;
}

std::string StampsOf(const std::string& from, const std::string& to) {
    struct stat source {
    }, published{};
    if (::stat(from.c_str(), &source) != 0 || ::lstat(to.c_str(), &published) != 0 ||
        !S_ISREG(source.st_mode) || !S_ISREG(published.st_mode))
        return {};
    std::string stamps;
    for (const struct stat* state : {&source, &published})
        for (const long long value :
             {static_cast<long long>(state->st_size), static_cast<long long>(state->st_mtim.tv_sec),
              static_cast<long long>(state->st_mtim.tv_nsec), static_cast<long long>(state->st_ino)})
            stamps += (stamps.empty() ? "" : " ") + std::to_string(value);
    return stamps;
}

} // namespace qlm

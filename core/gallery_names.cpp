// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/gallery_names.h"

#include <charconv>
#include <functional>

namespace qlm {

void SplitFileName(const std::string& name, std::string& base, std::string& extension) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos) {
        base = name;
        extension.clear();
    } else {
        base = name.substr(0, dot);
        extension = name.substr(dot);
    }
}

std::string ThumbnailFileName(const std::string& picture, bool thumbs_jpg) {
    if (!thumbs_jpg)
        return "t_" + picture;
    std::string base, extension;
    SplitFileName(picture, base, extension);
    return "t_" + base + ".jpg";
}

std::string TextFileName(const std::string& picture) {
    std::string base, extension;
    SplitFileName(picture, base, extension);
    return base + ".txt";
}

std::uint64_t FileNameKey(std::string_view name) {
    return std::hash<std::string_view>{}(name);
}

std::string PageFileName(const std::string& picture) {
    std::string base, extension;
    SplitFileName(picture, base, extension);
    return base + ".html";
}

std::vector<std::string> CompanionNames(const std::string& picture, bool thumbs_jpg) {
    return {ThumbnailFileName(picture, thumbs_jpg), TextFileName(picture), PageFileName(picture)};
}

std::string WebCopyFileName(const std::string& picture, int long_side) {
    std::string base, extension;
    SplitFileName(picture, base, extension);
    return base + "_" + std::to_string(long_side) + extension;
}

std::string WebCopyPath(const std::string& picture, int long_side) {
    return std::string(kWebCopyFolder) + "/" + WebCopyFileName(picture, long_side);
}

std::optional<int> WebCopyLongSide(const std::string& picture, const std::string& file_name) {
    std::string base, extension;
    SplitFileName(picture, base, extension);
    const std::string prefix = base + "_";
    if (file_name.size() <= prefix.size() + extension.size() || !file_name.starts_with(prefix) ||
        !file_name.ends_with(extension))
        return std::nullopt;
    const std::string_view digits(file_name.data() + prefix.size(),
                                  file_name.size() - prefix.size() - extension.size());
    if (digits.empty() || digits.size() > 5 || digits.front() < '1' || digits.front() > '9')
        return std::nullopt;
    int long_side = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), long_side);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return long_side;
}

} // namespace qlm

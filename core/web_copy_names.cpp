// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/web_copy_names.h"

#include "core/name_correction.h"

#include <charconv>

namespace qlm {

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
    // Digits only: from_chars would take a leading minus sign as well.
    if (digits.empty() || digits.size() > 5 || digits.front() == '0' ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    int long_side = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), long_side);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return long_side;
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/module_version.h"

#include <array>
#include <cerrno>
#include <vector>

#include <unistd.h>

#ifndef QLM_FILE_VERSION
#define QLM_FILE_VERSION ""
#endif

namespace qlm::platform {

namespace {

struct KeptVersion {
    bool valid = false;
    std::uint32_t most = 0;
    std::uint32_t least = 0;
};

// The version is built in as text; it is read once per run.
const KeptVersion& BuiltInVersion() {
    static const KeptVersion kept = [] {
        KeptVersion version;
        version.valid = ParseFileVersion(QLM_FILE_VERSION, version.most, version.least);
        return version;
    }();
    return kept;
}

} // namespace

bool ParseFileVersion(std::string_view text, std::uint32_t& most, std::uint32_t& least) {
    std::array<std::uint32_t, 4> numbers{};
    std::size_t part = 0;
    std::size_t digits = 0;
    for (char c : text) {
        if (c == '.') {
            if (digits == 0 || ++part == numbers.size())
                return false;
            digits = 0;
        } else if (c >= '0' && c <= '9') {
            numbers[part] = numbers[part] * 10 + static_cast<std::uint32_t>(c - '0');
            if (numbers[part] > 0xFFFF)
                return false;
            ++digits;
        } else {
            return false;
        }
    }
    if (part != numbers.size() - 1 || digits == 0)
        return false;
    most = (numbers[0] << 16) | numbers[1];
    least = (numbers[2] << 16) | numbers[3];
    return true;
}

bool GetModuleVersion(std::uint32_t& most, std::uint32_t& least) {
    const KeptVersion& version = BuiltInVersion();
    if (!version.valid)
        return false;
    most = version.most;
    least = version.least;
    return true;
}

std::string VersionString() {
    std::uint32_t most = 0;
    std::uint32_t least = 0;
    if (!GetModuleVersion(most, least))
        return "?.?.?.?";
    return std::to_string(most >> 16) + "." + std::to_string(most & 0xFFFF) + "." +
           std::to_string(least >> 16) + "." + std::to_string(least & 0xFFFF);
}

std::string ExecutableFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<std::size_t>(length));
            std::string::size_type slash = path.rfind('/');
            return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        }
        // The link may have been cut to the buffer; try again with more room.
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace qlm::platform

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/globals.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qlm::platform {

namespace {

constexpr std::size_t kMaxNameLength = sizeof(tDirEntry::Name) - 1;
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrHidden = 0x02;

// Closes the directory stream on every way out of the search.
struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

bool MatchesEveryName(const std::string& name_pattern) {
    return name_pattern == "*.*" || name_pattern == "*";
}

// Packs a time stamp into the DOS form: date in the high word, time (two-second steps) in the low
// word. Dates outside 1980..2107, which the form cannot hold, are clamped to its ends.
std::int32_t PackDosTime(std::time_t stamp) {
    std::tm local{};
    if (localtime_r(&stamp, &local) == nullptr)
        return 0;
    std::uint32_t date = 0;
    std::uint32_t time = 0;
    if (local.tm_year < 80) {
        date = (1u << 5) | 1u;
    } else if (local.tm_year > 207) {
        date = (127u << 9) | (12u << 5) | 31u;
        time = (23u << 11) | (59u << 5) | 29u;
    } else {
        date = (static_cast<std::uint32_t>(local.tm_year - 80) << 9) |
               (static_cast<std::uint32_t>(local.tm_mon + 1) << 5) |
               static_cast<std::uint32_t>(local.tm_mday);
        time = (static_cast<std::uint32_t>(local.tm_hour) << 11) |
               (static_cast<std::uint32_t>(local.tm_min) << 5) |
               static_cast<std::uint32_t>(std::min(local.tm_sec, 59) / 2);
    }
    return static_cast<std::int32_t>((date << 16) | time);
}

// Describes one found name. A symbolic link counts as what it points to, so that a link to a
// folder can be entered; a dangling link or an entry that cannot be examined falls back to the
// link itself and then to the type the directory reports.
tDirEntry DescribeEntry(int dir_fd, const dirent& found) {
    tDirEntry entry;
    std::memcpy(entry.Name, found.d_name, std::strlen(found.d_name) + 1);
    struct stat info {};
    bool known = fstatat(dir_fd, found.d_name, &info, 0) == 0 ||
                 fstatat(dir_fd, found.d_name, &info, AT_SYMLINK_NOFOLLOW) == 0;
    if (known) {
        if (S_ISDIR(info.st_mode))
            entry.Attr |= kAttrDirectory;
        entry.Size = static_cast<std::int32_t>(static_cast<std::uint32_t>(info.st_size & 0xFFFFFFFF));
        entry.Time = PackDosTime(info.st_mtime);
    } else if (found.d_type == DT_DIR) {
        entry.Attr |= kAttrDirectory;
    }
    if (found.d_name[0] == '.')
        entry.Attr |= kAttrHidden;
    if (faccessat(dir_fd, found.d_name, W_OK, AT_EACCESS) != 0)
        entry.Attr |= kAttrReadOnly;
    return entry;
}

// The system's locale for message texts, made once; the "C" locale when the user's settings name
// no locale this machine knows.
locale_t MessageLocale() {
    static const locale_t locale = [] {
        locale_t made = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
        if (made == static_cast<locale_t>(0))
            made = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        return made;
    }();
    return locale;
}

locale_t PlainLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

bool IsBlankOrControl(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
}

} // namespace

tGetDirList::~tGetDirList() {
    Clear();
}

void tGetDirList::Clear() {
    if (owned_)
        delete[] list_;
    list_ = nullptr;
    count_ = 0;
    owned_ = false;
}

void tGetDirList::SetData(int count, tDirEntry* block) {
    Clear();
    count_ = count;
    list_ = block;
}

int tGetDirList::GetDirList(const std::string& pattern) {
    Clear();
    std::string::size_type slash = pattern.rfind(kPathSeparator);
    std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
    std::string name_pattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);

    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir)
        return errno;
    const int dir_fd = dirfd(dir.get());
    const bool every_name = MatchesEveryName(name_pattern);

    std::vector<tDirEntry> found;
    for (;;) {
        errno = 0;
        const dirent* next = readdir(dir.get());
        if (next == nullptr) {
            // A search that breaks off must not pass for a complete listing.
            if (errno != 0)
                return errno;
            break;
        }
        // Such a name cannot be held without cutting it, and a cut name names another file.
        if (std::strlen(next->d_name) > kMaxNameLength)
            continue;
        if (!every_name && fnmatch(name_pattern.c_str(), next->d_name, 0) != 0)
            continue;
        found.push_back(DescribeEntry(dir_fd, *next));
    }
    if (found.empty())
        return ENOENT;

    list_ = new tDirEntry[found.size()];
    std::copy(found.begin(), found.end(), list_);
    count_ = static_cast<int>(found.size());
    owned_ = true;
    return 0;
}

tCharArray::tCharArray(int size) : size_(size) {
    if (size > 0) {
        owned_block_ = new char[static_cast<std::size_t>(size)]();
        block_ = owned_block_;
    }
}

tCharArray::~tCharArray() {
    delete[] owned_block_;
}

std::string tCharArray::StringAtPosition() const {
    if (block_ == nullptr || pos_ >= size_)
        return {};
    const char* start = block_ + pos_;
    return std::string(start, strnlen(start, static_cast<std::size_t>(size_ - pos_)));
}

std::string tCharArray::GetFirstString() {
    pos_ = 0;
    return StringAtPosition();
}

std::string tCharArray::GetNextString() {
    if (block_ == nullptr || pos_ >= size_)
        return {};
    pos_ += static_cast<int>(StringAtPosition().size()) + 1;
    return StringAtPosition();
}

std::string GetErrorText(int code) {
    // glibc answers a code it has no text for with "Unknown error N", translated; the untranslated
    // text tells such codes apart in every language.
    locale_t plain = PlainLocale();
    if (plain != static_cast<locale_t>(0)) {
        const char* untranslated = strerror_l(code, plain);
        if (untranslated == nullptr || std::strncmp(untranslated, "Unknown error", 13) == 0)
            return "unbekannter Fehler";
    }
    locale_t user = MessageLocale();
    std::string text = user != static_cast<locale_t>(0) ? strerror_l(code, user) : std::strerror(code);
    auto first = std::find_if_not(text.begin(), text.end(), IsBlankOrControl);
    auto last = std::find_if_not(text.rbegin(), text.rend(), IsBlankOrControl).base();
    if (first >= last)
        return "unbekannter Fehler";
    return std::string(first, last);
}

std::string BareName(const std::string& path) {
    const std::string::size_type slash = path.rfind(kPathSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string AddBackslash(const std::string& path) {
    if (!path.empty() && path.back() == kPathSeparator)
        return path;
    return path + kPathSeparator;
}

std::string GetFullPathName(const std::string& path) {
    std::string absolute = path;
    if (path.empty() || path.front() != kPathSeparator) {
        std::vector<char> cwd(4096);
        while (getcwd(cwd.data(), cwd.size()) == nullptr && errno == ERANGE)
            cwd.resize(cwd.size() * 2);
        // Without a working directory (it was removed) the path is taken from the root.
        std::string base =
            cwd[0] == kPathSeparator ? std::string(cwd.data()) : std::string(1, kPathSeparator);
        absolute = AddBackslash(base) + path;
    }

    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start <= absolute.size()) {
        std::string::size_type end = absolute.find(kPathSeparator, start);
        if (end == std::string::npos)
            end = absolute.size();
        std::string part = absolute.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }

    std::string result;
    for (const std::string& part : parts)
        result += kPathSeparator + part;
    if (result.empty())
        return std::string(1, kPathSeparator);
    // A folder path keeps its final separator, as the system's own expansion does.
    if (absolute.back() == kPathSeparator)
        result += kPathSeparator;
    return result;
}

} // namespace qlm::platform

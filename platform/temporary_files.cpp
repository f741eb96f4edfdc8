// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/temporary_files.h"

#include "platform/file_marks.h"
#include "platform/file_ops.h"
#include "platform/globals.h"
#include "platform/sub_folder.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace qlm::platform {

namespace {

constexpr std::string_view kPrefix = ".qlm-";
constexpr std::size_t kKeyDigits = 16;
// ".qlm-" kind key "." slot
constexpr std::size_t kNameLength = kPrefix.size() + 1 + kKeyDigits + 2;

std::string FolderPart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool SameFile(const std::string& path, int fd) {
    struct stat by_name {
    }, by_fd{};
    return ::lstat(path.c_str(), &by_name) == 0 && ::fstat(fd, &by_fd) == 0 &&
           by_name.st_dev == by_fd.st_dev && by_name.st_ino == by_fd.st_ino;
}

// True when the two open regular files hold the same bytes.
bool SameContent(int a, int b) {
    struct stat sa {
    }, sb{};
    if (::fstat(a, &sa) != 0 || ::fstat(b, &sb) != 0)
        return false;
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)
        return true;
    if (sa.st_size != sb.st_size)
        return false;
    char left[16384], right[16384];
    for (off_t at = 0; at < sa.st_size;) {
        const ssize_t got = ::pread(a, left, sizeof left, at);
        if (got <= 0 || ::pread(b, right, static_cast<std::size_t>(got), at) != got ||
            std::memcmp(left, right, static_cast<std::size_t>(got)) != 0)
            return false;
        at += got;
    }
    return true;
}

// Opens a temporary into `fd` and takes its lock: true only when no live write holds it.
bool LockStale(const std::string& path, FileDescriptor& fd) {
    fd.reset(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat state {};
    return fd.valid() && ::fstat(fd.get(), &state) == 0 && S_ISREG(state.st_mode) &&
           ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && SameFile(path, fd.get());
}

void CleanUpIn(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir))
        names.emplace_back(entry->d_name);
    ::closedir(dir);
    std::unordered_map<std::uint64_t, std::string> targets; // filled once an old version needs it
    bool targets_known = false;
    for (const std::string& name : names) {
        const auto parts = ParseTemporaryName(name);
        if (!parts) {
            FileDescriptor held;
            if (IsOlderTemporaryName(name) && LockStale(folder + name, held))
                ::unlink((folder + name).c_str());
            continue;
        }
        std::string target;
        if (parts->kind == TemporaryKind::OldVersion) {
            if (!targets_known) {
                for (const std::string& other : names)
                    if (!ParseTemporaryName(other))
                        targets.emplace(TemporaryKey(other), other);
                targets_known = true;
            }
            if (const auto found = targets.find(parts->key); found != targets.end())
                target = folder + found->second;
        }
        SettleTemporary(folder + name, parts->kind, target);
    }
}

} // namespace

std::uint64_t TemporaryKey(std::string_view bare_name) {
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (const char c : bare_name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string TemporaryName(const std::string& path, TemporaryKind kind, int n) {
    const std::string folder = FolderPart(path);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string key(kKeyDigits, '0');
    std::uint64_t value = TemporaryKey(std::string_view(path).substr(folder.size()));
    for (std::size_t i = kKeyDigits; i-- > 0; value >>= 4)
        key[i] = kHex[value & 0xf];
    return folder + std::string(kPrefix) + static_cast<char>(kind) + key + "." +
           static_cast<char>('0' + n % kTemporarySlots);
}

std::optional<TemporaryNameParts> ParseTemporaryName(std::string_view name) {
    if (name.size() != kNameLength || !name.starts_with(kPrefix) || name[kNameLength - 2] != '.')
        return std::nullopt;
    const char kind = name[kPrefix.size()];
    const char slot = name.back();
    if ((kind != 'n' && kind != 'b') || slot < '0' || slot >= '0' + kTemporarySlots)
        return std::nullopt;
    TemporaryNameParts parts;
    parts.kind = static_cast<TemporaryKind>(kind);
    for (const char c : name.substr(kPrefix.size() + 1, kKeyDigits)) {
        const bool digit = c >= '0' && c <= '9';
        if (!digit && (c < 'a' || c > 'f'))
            return std::nullopt;
        parts.key = (parts.key << 4) | static_cast<std::uint64_t>(digit ? c - '0' : c - 'a' + 10);
    }
    return parts;
}

namespace {

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

bool IsOlderTemporaryName(std::string_view name) {
    // ".<name>.qlm-<slot>" with one digit, or ".<name>.qlm-new-<process>-<count>": exactly the
    // names those versions made, so that ".thesis.qlm-2024" or ".notes.qlm-new-draft.txt" stay.
    if (!name.starts_with('.'))
        return false;
    const auto slot = name.rfind(".qlm-");
    if (slot != std::string_view::npos && slot > 1 && name.size() == slot + 6 &&
        AllDigits(name.substr(slot + 5)))
        return true;
    const auto at = name.rfind(".qlm-new-");
    if (at == std::string_view::npos || at < 2)
        return false;
    const std::string_view numbers = name.substr(at + 9);
    const auto dash = numbers.find('-');
    return dash != std::string_view::npos && AllDigits(numbers.substr(0, dash)) &&
           AllDigits(numbers.substr(dash + 1));
}

std::string BackupName(const std::string& path) {
    constexpr std::size_t kNameMax = 255;
    const std::string folder = FolderPart(path);
    const std::string_view bare = std::string_view(path).substr(folder.size());
    if (bare.size() + 4 <= kNameMax)
        return path + ".bak";
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hash(kKeyDigits, '0');
    std::uint64_t value = TemporaryKey(bare);
    for (std::size_t i = kKeyDigits; i-- > 0; value >>= 4)
        hash[i] = kHex[value & 0xf];
    // Cut before a character, never inside one of several bytes.
    std::size_t keep = kNameMax - 1 - kKeyDigits - 4;
    while (keep > 0 && (static_cast<unsigned char>(bare[keep]) & 0xc0) == 0x80)
        --keep;
    return folder + std::string(bare.substr(0, keep)) + "~" + hash + ".bak";
}

bool SettleTemporary(const std::string& temporary, TemporaryKind kind, const std::string& target) {
    FileDescriptor held;
    if (!LockStale(temporary, held))
        return false;
    if (kind == TemporaryKind::OldVersion && !target.empty()) {
        // Killed before the page was replaced, the page still holds this version (the program never
        // writes a page that holds its new text already), and the name can go; after, it is the
        // page's backup. It replaces the backup only where it is known for the program's own old
        // version of that page: by its mark, or by its name alone where no file carries marks.
        const FileDescriptor page(::open(target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!page.valid() || !SameContent(page.get(), held.get())) {
            if (MarkedFor(held.get(), BareName(target)) == Mark::Absent)
                return false;
            if (::rename(temporary.c_str(), BackupName(target).c_str()) != 0)
                return false;
            UnmarkTemporary(held.get());
            return true;
        }
    }
    return ::unlink(temporary.c_str()) == 0;
}

void CleanUpTemporaries(const std::string& folder, bool in_folder_itself) {
    if (in_folder_itself)
        CleanUpIn(folder);
    // Only a folder of its own: nothing is removed through a link in its place, nor through one put
    // there while the clean-up works.
    SubFolder web;
    if (web.Open(folder, kWebCopyFolder.substr(0, kWebCopyFolder.size() - 1), false) == 0 && web.StillThere())
        CleanUpIn(web.Path());
}

FolderRun::~FolderRun() {
    End();
}

int FolderRun::Begin(const std::string& folder) {
    if (const int error = Take(folder); error != 0)
        return error;
    CleanUpTemporaries(folder);
    return 0;
}

int FolderRun::Take(const std::string& folder) {
    End();
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return errno;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? EBUSY : errno;
    fd_ = fd.release();
    return 0;
}

void FolderRun::End() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace qlm::platform

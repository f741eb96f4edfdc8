// SPDX-License-Identifier: GPL-3.0-or-later
// The "drives" of a Linux machine: the root, the user's home folder and the mount points of the
// file systems that hold the user's files (disks, sticks, optical discs, network shares).

#include "platform/globals.h"

#include "platform/file_ops.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <sstream>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qlm::platform {

namespace {

// Kernel and system file systems that hold no user files, and squashfs, which holds the
// read-only images of installed packages.
constexpr std::array<std::string_view, 30> kPseudoTypes = {
    "proc",       "sysfs",        "devtmpfs", "devpts",    "tmpfs",       "ramfs",           "cgroup",
    "cgroup2",    "securityfs",   "debugfs",  "tracefs",   "mqueue",      "hugetlbfs",       "pstore",
    "bpf",        "autofs",       "fusectl",  "configfs",  "binfmt_misc", "efivarfs",        "squashfs",
    "nsfs",       "rpc_pipefs",   "overlay",  "selinuxfs", "nfsd",        "fuse.gvfsd-fuse", "fuse.portal",
    "fuse.lxcfs", "fuse.snapfuse"};

constexpr std::array<std::string_view, 22> kDiskTypes = {
    "ext2", "ext3",  "ext4",     "xfs",      "btrfs",   "vfat",    "msdos", "exfat",
    "ntfs", "ntfs3", "fuseblk",  "hfs",      "hfsplus", "iso9660", "udf",   "f2fs",
    "zfs",  "jfs",   "reiserfs", "bcachefs", "nilfs2",  "apfs"};

constexpr std::array<std::string_view, 10> kNetworkTypes = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "fuse.rclone", "9p", "ceph", "davfs"};

template <std::size_t N> bool Contains(const std::array<std::string_view, N>& list, std::string_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The kernel writes blanks, tabs, line breaks and backslashes of a mount point as "\ooo".
std::string DecodeOctalEscapes(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool escape = text[i] == '\\' && i + 3 < text.size() &&
                            std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                        text.begin() + static_cast<std::ptrdiff_t>(i) + 4,
                                        [](char c) { return c >= '0' && c <= '7'; });
        if (escape) {
            decoded += static_cast<char>(((text[i + 1] - '0') << 6) | ((text[i + 2] - '0') << 3) |
                                         (text[i + 3] - '0'));
            i += 3;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

bool IsUnder(const std::string& path, std::string_view folder) {
    return path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

bool IsSystemPlace(const std::string& path) {
    if (IsUnder(path, "/run/media"))
        return false;
    return IsUnder(path, "/proc") || IsUnder(path, "/sys") || IsUnder(path, "/dev") || IsUnder(path, "/run");
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        std::size_t end = line.find(' ', pos);
        if (end == std::string_view::npos)
            end = line.size();
        if (end > pos)
            fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return fields;
}

// The kernel's mount table; empty when it cannot be read. Bounded, since it lists every mount of the
// machine and each mount adds a line.
std::string ReadMountTable(const char* path) {
    std::string table;
    (void)ReadWholeFile(path, table, kMaxTextFileSize);
    return table;
}

// /proc/mounts lines ("source mount-point type options 0 0") put into the mountinfo form, for
// systems that lack the latter.
std::string MountsAsMountInfo(const std::string& mounts) {
    std::string converted;
    std::istringstream lines(mounts);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string_view> fields = SplitFields(line);
        if (fields.size() < 3)
            continue;
        converted += "0 0 0:0 / " + std::string(fields[1]) + " rw - " + std::string(fields[2]) + " " +
                     std::string(fields[0]) + " rw\n";
    }
    return converted;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr && result->pw_dir[0] == '/')
        return result->pw_dir;
    return {};
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::vector<MountPoint> RealMountPoints(std::string_view mountinfo) {
    std::vector<MountPoint> points;
    std::size_t pos = 0;
    while (pos < mountinfo.size()) {
        std::size_t end = mountinfo.find('\n', pos);
        if (end == std::string_view::npos)
            end = mountinfo.size();
        std::vector<std::string_view> fields = SplitFields(mountinfo.substr(pos, end - pos));
        pos = end + 1;

        // id parent major:minor root mount-point options [optional...] - type source super-options
        auto separator = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 5 || separator == fields.end() || separator - fields.begin() < 6 ||
            std::next(separator, 1) == fields.end())
            continue;
        std::string_view type = *std::next(separator);
        std::string_view source = std::next(separator, 2) != fields.end() ? *std::next(separator, 2) : "";
        std::string path = DecodeOctalEscapes(fields[4]);
        if (path.empty() || path.front() != '/' || IsSystemPlace(path) || Contains(kPseudoTypes, type))
            continue;

        const bool network = Contains(kNetworkTypes, type);
        const bool disk = Contains(kDiskTypes, type) || source.substr(0, 5) == "/dev/";
        if (!network && !disk)
            continue;
        MountPoint point{AddBackslash(path), network};
        if (std::none_of(points.begin(), points.end(),
                         [&](const MountPoint& p) { return p.path == point.path; }))
            points.push_back(std::move(point));
    }
    return points;
}

int GetLogicalDriveStrings(int buffer_length, char* buffer) {
    std::vector<std::string> drives{std::string(1, kPathSeparator)};
    auto add = [&drives](const std::string& drive) {
        if (std::find(drives.begin(), drives.end(), drive) == drives.end())
            drives.push_back(drive);
    };

    std::string home = HomeFolder();
    if (!home.empty() && IsFolder(home))
        add(AddBackslash(home));

    std::string table = ReadMountTable("/proc/self/mountinfo");
    if (table.empty())
        table = MountsAsMountInfo(ReadMountTable("/proc/mounts"));
    for (const MountPoint& point : RealMountPoints(table)) {
        // A file bound over a file (as containers do with /etc/hosts) is no folder. A network
        // share is not examined, since an unreachable server would stall the window.
        if (point.network || IsFolder(point.path))
            add(point.path);
    }

    std::size_t needed = 1;
    for (const std::string& drive : drives)
        needed += drive.size() + 1;
    if (needed > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return 0;
    // Too small a buffer is left untouched; the result then tells the size that is needed.
    if (buffer == nullptr || buffer_length <= 0 || needed > static_cast<std::size_t>(buffer_length))
        return static_cast<int>(needed);
    char* out = buffer;
    for (const std::string& drive : drives) {
        std::memcpy(out, drive.c_str(), drive.size() + 1);
        out += drive.size() + 1;
    }
    *out = '\0';
    return static_cast<int>(needed - 1);
}

} // namespace qlm::platform

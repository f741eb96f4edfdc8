// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/globals.h"

#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace qlm::platform;

namespace {

using qlm::test::TempFolder;

// "YYYY-MM-DD hh:mm:ss" in local time.
std::time_t LocalTime(const char* text) {
    std::tm local{};
    strptime(text, "%Y-%m-%d %H:%M:%S", &local);
    local.tm_isdst = -1;
    return std::mktime(&local);
}

// The names a search found, each with its attribute bits of `mask`.
std::map<std::string, std::uint32_t> Listed(const tGetDirList& search, std::uint32_t mask = 0xFF) {
    std::map<std::string, std::uint32_t> names;
    for (int i = 0; i < search.Count(); ++i)
        names[search.GetEntry(i).Name] = search.GetEntry(i).Attr & mask;
    return names;
}

// A folder with one of every kind of entry the search has to report.
class SearchFolder : public TempFolder {
  public:
    SearchFolder() {
        Put("a.jpg", "xyz");
        Put("noext");
        Put(".hidden.png");
        MakeFolder("sub");
        MakeFolder(".hiddendir");
        fs::create_directory_symlink("sub", Path() + "link");
        fs::create_symlink("nowhere", Path() + "broken");
    }
};

} // namespace

TEST(GetDirList, FindsEveryKindOfEntryWithItsAttributes) {
    SearchFolder folder;
    tGetDirList search;
    ASSERT_EQ(search.GetDirList(folder.Path() + "*.*"), 0);
    // 0x10 folder, 0x02 hidden; a link counts as what it points to, a broken one as a file.
    const std::map<std::string, std::uint32_t> expected = {
        {".", 0x12},   {"..", 0x12},         {"a.jpg", 0},   {"noext", 0}, {".hidden.png", 0x02},
        {"sub", 0x10}, {".hiddendir", 0x12}, {"link", 0x10}, {"broken", 0}};
    EXPECT_EQ(Listed(search, 0x12), expected);
    EXPECT_EQ(search.GetListSize(), 9 * static_cast<int>(sizeof(tDirEntry)));
    ASSERT_EQ(search.GetDirList(folder.Path() + "a.jpg"), 0);
    EXPECT_EQ(search.GetEntry(0).Size, 3);
}

TEST(GetDirList, MatchesThePatternOrGivesTheError) {
    SearchFolder folder;
    struct Case {
        const char* pattern;
        std::set<std::string> names;
        int result;
    };
    for (const Case& c :
         {Case{"*", {".", "..", "a.jpg", "noext", ".hidden.png", "sub", ".hiddendir", "link", "broken"}, 0},
          Case{"*.jpg", {"a.jpg"}, 0}, Case{"*.png", {".hidden.png"}, 0}, Case{"s?b", {"sub"}, 0},
          Case{"*.bmp", {}, ENOENT}, Case{"missing/*.*", {}, ENOENT}, Case{"a.jpg/*.*", {}, ENOTDIR}}) {
        SCOPED_TRACE(c.pattern);
        tGetDirList search;
        EXPECT_EQ(search.GetDirList(folder.Path() + c.pattern), c.result);
        std::set<std::string> names;
        for (const auto& [name, attr] : Listed(search))
            names.insert(name);
        EXPECT_EQ(names, c.names);
    }
}

TEST(GetDirList, PermissionsShowInTheResult) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may read every folder and write every file";
    TempFolder folder;
    fs::permissions(folder.Put("locked.jpg"), fs::perms::owner_read);
    folder.Put("open.jpg");
    tGetDirList search;
    ASSERT_EQ(search.GetDirList(folder.Path() + "*.jpg"), 0);
    std::map<std::string, std::uint32_t> names = Listed(search);
    EXPECT_EQ(names["locked.jpg"] & 0x01, 0x01u);
    EXPECT_EQ(names["open.jpg"] & 0x01, 0u);

    std::string locked = folder.MakeFolder("locked");
    fs::permissions(locked, fs::perms::none);
    EXPECT_EQ(search.GetDirList(locked + "*.*"), EACCES);
}

TEST(GetDirList, KeepsTheLowWordOfHugeSizes) {
    TempFolder folder;
    std::string path = folder.Put("huge.jpg");
    ASSERT_EQ(truncate(path.c_str(), (off_t{1} << 32) + 5), 0);
    tGetDirList search;
    ASSERT_EQ(search.GetDirList(folder.Path() + "huge.jpg"), 0);
    EXPECT_EQ(search.GetEntry(0).Size, 5);
}

TEST(GetDirList, PacksTheLastWriteAsDosLocalTime) {
    TempFolder folder;
    std::string path = folder.Put("dated.jpg");
    struct Case {
        std::time_t stamp;
        std::uint32_t packed;
    };
    // 2024-03-15 13:45:31 keeps its odd second as 15 two-second steps; 1975 is before the DOS
    // epoch and becomes 1980-01-01 00:00.
    for (const Case& c : {Case{LocalTime("2024-03-15 13:45:31"),
                               (((44u << 9) | (3u << 5) | 15u) << 16) | (13u << 11) | (45u << 5) | 15u},
                          Case{LocalTime("1975-06-01 12:00:00"), ((1u << 5) | 1u) << 16}}) {
        timespec times[2] = {{c.stamp, 0}, {c.stamp, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        tGetDirList search;
        ASSERT_EQ(search.GetDirList(folder.Path() + "dated.jpg"), 0);
        EXPECT_EQ(static_cast<std::uint32_t>(search.GetEntry(0).Time), c.packed);
    }
}

TEST(GetDirList, ANewSearchDiscardsThePreviousOne) {
    SearchFolder full;
    TempFolder other;
    other.Put("only.gif");
    tGetDirList search;
    ASSERT_EQ(search.GetDirList(full.Path() + "*.*"), 0);
    ASSERT_EQ(search.GetDirList(other.Path() + "*.gif"), 0);
    EXPECT_EQ(search.Count(), 1);
    EXPECT_STREQ(search.GetEntry(0).Name, "only.gif");
    EXPECT_EQ(search.GetDirList(other.Path() + "*.png"), ENOENT);
    EXPECT_EQ(search.Count(), 0);
    // An empty folder still holds its dot entries.
    ASSERT_EQ(search.GetDirList(other.MakeFolder("empty") + "*.*"), 0);
    EXPECT_EQ(Listed(search), (std::map<std::string, std::uint32_t>{{".", 0x12}, {"..", 0x12}}));
}

TEST(GetDirList, SetDataLendsABlockWithoutTakingIt) {
    tDirEntry block[2];
    block[0].Attr = kAttrDirectory;
    std::snprintf(block[1].Name, sizeof block[1].Name, "%s", "b.png");
    {
        SearchFolder folder;
        tGetDirList search;
        ASSERT_EQ(search.GetDirList(folder.Path() + "*.*"), 0);
        search.SetData(2, block); // frees the found entries, keeps the lent block
        EXPECT_EQ(search.Count(), 2);
        EXPECT_EQ(search.GetListAddress(), block);
        EXPECT_STREQ(search.GetEntry(1).Name, "b.png");
    }
    EXPECT_STREQ(block[1].Name, "b.png");
}

TEST(CharArray, ReadsTheStringsOfALentBlockUpToTheEmptyOne) {
    char lent[] = "/\0/home/u/\0\0";
    {
        tCharArray strings(sizeof lent);
        EXPECT_EQ(strings.GetFirstString(), "");
        strings.SetMemPointer(lent);
        std::vector<std::string> read;
        for (std::string s = strings.GetFirstString(); !s.empty(); s = strings.GetNextString())
            read.push_back(s);
        EXPECT_EQ(read, (std::vector<std::string>{"/", "/home/u/"}));
        EXPECT_EQ(strings.GetFirstString(), "/");
    } // the block stays the caller's: freeing it here would be caught by the sanitizer build
    EXPECT_EQ(lent[0], '/');
}

TEST(CharArray, NeverReadsPastTheBlock) {
    tCharArray strings(4);
    std::fill(strings.GetMemPointer(), strings.GetMemPointer() + 4, 'x');
    EXPECT_EQ(strings.GetFirstString(), "xxxx");
    EXPECT_EQ(strings.GetNextString(), "");
    EXPECT_EQ(strings.GetNextString(), "");

    tCharArray none(0);
    EXPECT_EQ(none.GetMemPointer(), nullptr);
    EXPECT_EQ(none.GetFirstString(), "");
    EXPECT_EQ(none.GetNextString(), "");
}

TEST(GetErrorText, GivesTheSystemTextTrimmedOrUnknown) {
    for (int code : {ENOENT, ENOSPC}) {
        std::string text = GetErrorText(code);
        ASSERT_GT(text.size(), 1u);
        EXPECT_NE(text, "unbekannter Fehler");
        EXPECT_GT(static_cast<unsigned char>(text.front()), ' ') << text;
        EXPECT_GT(static_cast<unsigned char>(text.back()), ' ') << text;
    }
    EXPECT_NE(GetErrorText(ENOENT), GetErrorText(ENOSPC));
    EXPECT_EQ(GetErrorText(123456), "unbekannter Fehler");
}

TEST(AddBackslash, EndsEveryPathWithOneSeparator) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "/"}, {"/home", "/home/"}, {"/home/", "/home/"}};
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(AddBackslash(path), expected) << path;
}

TEST(GetFullPathName, ResolvesDotsAsText) {
    const std::pair<std::string, std::string> cases[] = {
        {"/../../x", "/x"},  {"/a/b/../c", "/a/c"}, {"/a/./b", "/a/b"},
        {"//a///b", "/a/b"}, {"/a/b/", "/a/b/"},    {"/a/b/..", "/a"},
        {"/a/..", "/"},      {"/a/b/../", "/a/"},   {"/a/.../b", "/a/.../b"}};
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(GetFullPathName(path), expected) << path;
}

TEST(GetFullPathName, TakesRelativePathsFromTheWorkingFolderAndFollowsNoLinks) {
    std::string cwd = fs::current_path().string();
    EXPECT_EQ(GetFullPathName("x/y"), AddBackslash(cwd) + "x/y");
    EXPECT_EQ(GetFullPathName("x/../.."), fs::path(cwd).parent_path().string());

    // ".." after a link leads back to where the link is, not above its target.
    TempFolder folder;
    folder.MakeFolder("real/inner");
    fs::create_directory_symlink("real/inner", folder.Path() + "link");
    EXPECT_EQ(GetFullPathName(folder.Path() + "link/.."), folder.Root());
    EXPECT_EQ(GetFullPathName(folder.Path() + "link/../"), folder.Path());
}

TEST(GetLogicalDriveStrings, StartsWithTheRootAndHoldsNoSystemFolders) {
    tCharArray buffer(2000);
    int length = GetLogicalDriveStrings(buffer.Size(), buffer.GetMemPointer());
    ASSERT_GT(length, 0);
    std::vector<std::string> drives;
    int total = 0;
    for (std::string s = buffer.GetFirstString(); !s.empty(); s = buffer.GetNextString()) {
        drives.push_back(s);
        total += static_cast<int>(s.size()) + 1;
    }
    EXPECT_EQ(total, length);
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives.front(), "/");
    EXPECT_EQ(std::set<std::string>(drives.begin(), drives.end()).size(), drives.size());
    for (const std::string& drive : drives) {
        SCOPED_TRACE(drive);
        EXPECT_EQ(drive.back(), '/');
        for (const char* system : {"/proc/", "/sys/", "/dev/"})
            EXPECT_NE(drive.rfind(system, 0), 0u);
    }
}

TEST(GetLogicalDriveStrings, TellsTheNeededSizeWhenTheBufferIsTooSmall) {
    char buffer[3] = {'x', 'x', 'x'};
    const int needed = GetLogicalDriveStrings(1, buffer);
    EXPECT_GE(needed, 3); // at least "/", its zero and the final zero
    EXPECT_EQ(GetLogicalDriveStrings(0, nullptr), needed);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(buffer[1], 'x');
    std::vector<char> fitting(static_cast<std::size_t>(needed));
    EXPECT_EQ(GetLogicalDriveStrings(needed, fitting.data()), needed - 1);
}

// Sixty mounts need more than the usual 2000 characters of drive strings: the call tells how many,
// and a buffer of that size holds them all, the root first.
TEST(GetLogicalDriveStrings, ManyMountsGetTheRoomTheyNeed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    qlm::test::TempFolder folder;
    std::vector<std::string> points;
    for (int i = 0; i < 60; ++i)
        points.push_back(folder.MakeFolder("ein-recht-langer-name-fuer-einen-mount-" + std::to_string(i)));
    const pid_t child = ::fork();
    if (child == 0) {
        // A mount namespace of its own: the mounts vanish with the child, however it ends.
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            ::_exit(2);
        for (const std::string& point : points) {
            if (::mount(point.c_str(), point.c_str(), nullptr, MS_BIND, nullptr) != 0)
                ::_exit(2);
        }
        // A temporary folder on a file system that holds no user files (tmpfs) gives no drives.
        const std::vector<MountPoint> real = RealMountPoints(qlm::test::ReadFile("/proc/self/mountinfo"));
        if (std::none_of(real.begin(), real.end(), [&](const MountPoint& m) { return m.path == points[0]; }))
            ::_exit(7);
        char small[2000];
        const int needed = GetLogicalDriveStrings(sizeof small, small);
        if (needed <= static_cast<int>(sizeof small))
            ::_exit(3);
        tCharArray buffer(needed);
        if (GetLogicalDriveStrings(buffer.Size(), buffer.GetMemPointer()) != needed - 1)
            ::_exit(4);
        std::set<std::string> drives;
        const std::string first = buffer.GetFirstString();
        for (std::string drive = first; !drive.empty(); drive = buffer.GetNextString())
            drives.insert(drive);
        if (first != "/")
            ::_exit(5);
        for (const std::string& point : points) {
            if (drives.count(point) == 0)
                ::_exit(6);
        }
        ::_exit(0);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "no mount namespace of its own here";
    if (WEXITSTATUS(status) == 7)
        GTEST_SKIP() << "the temporary folder is on a file system that the drive list leaves out";
    // 3: the buffer needed no more room; 4: the larger buffer did not fit; 5, 6: drives missing.
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(RealMountPoints, KeepsDisksAndSharesOnly) {
    const std::string mountinfo =
        "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
        "24 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
        "25 24 0:5 / /dev rw shared:2 - devtmpfs udev rw\n"
        "26 24 0:23 / /run rw - tmpfs tmpfs rw\n"
        "41 40 0:41 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
        "42 24 8:17 / /media/u/USB\\040Stick rw shared:3 master:1 - vfat /dev/sdb1 rw\n"
        "43 26 8:33 / /run/media/u/DISC rw - iso9660 /dev/sr0 ro\n"
        "44 24 7:1 / /snap/core/123 ro - squashfs /dev/loop1 ro\n"
        "45 24 0:50 / /mnt/share rw - nfs4 server:/export rw\n"
        "46 24 0:51 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
        "47 24 8:17 / /media/u/USB\\040Stick rw - vfat /dev/sdb1 rw\n"
        "48 24 0:52 / /srv/odd rw - somefs none rw\n"
        "50 24 8:4 / /data/tab\\011and\\134slash rw - xfs /dev/sda4 rw\n"
        "broken line\n"
        "51 24 8:5 / /no/type rw -\n";
    std::vector<std::pair<std::string, bool>> found;
    for (const MountPoint& point : RealMountPoints(mountinfo))
        found.emplace_back(point.path, point.network);
    EXPECT_EQ(found, (std::vector<std::pair<std::string, bool>>{{"/", false},
                                                                {"/media/u/USB Stick/", false},
                                                                {"/run/media/u/DISC/", false},
                                                                {"/mnt/share/", true},

                                                                {"/data/tab\tand\\slash/", false}}));
}

// Whole-file reading and the crash-safe writing with its ".bak" copy.

#include "core/text_file.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qlm {
namespace {

using test::TempFolder;

TEST(ReadFile, GivesTheBytesBeforeTheFirstZero) {
    const std::pair<std::string, std::string> cases[] = {{"", ""},
                                                         {"eins\r\nzwei\r\n", "eins\r\nzwei\r\n"},
                                                         {"Gr\xFC\xDF\x65 \x80", "Gr\xFC\xDF\x65 \x80"},
                                                         {std::string("vor\0nach", 8), "vor"},
                                                         {std::string("\0x", 2), ""}};
    TempFolder folder;
    for (const auto& [content, expected] : cases) {
        folder.Put("f.txt", content);
        std::string text = "stale";
        ASSERT_TRUE(MyReadFile(folder / "f.txt", text)) << expected;
        EXPECT_EQ(text, expected);
    }
}

TEST(ReadFile, UnreadableNamesFailWithAnEmptyText) {
    TempFolder folder;
    ::mkdir((folder / "sub").c_str(), 0755);
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
    for (const char* name : {"missing.txt", "sub", "pipe"}) {
        std::string text = "stale";
        EXPECT_FALSE(MyReadFile(folder / name, text)) << name;
        EXPECT_EQ(text, "") << name;
    }
}

TEST(WriteFile, WritesExactlyTheBytesAndBacksUpOnlyAnExistingFile) {
    TempFolder folder;
    const std::string with_zero("a\r\nb\0c", 6);
    ASSERT_TRUE(MyWriteFile(folder / "title.txt", "ohne Zeilenende"));
    EXPECT_EQ(folder.Listing(true), "title.txt=ohne Zeilenende");
    ASSERT_TRUE(MyWriteFile(folder / "title.txt", with_zero));
    EXPECT_EQ(folder.Listing(true), "title.txt=" + with_zero + "|title.txt.bak=ohne Zeilenende");
    // A newer backup replaces the older one; an empty text leaves an empty file.
    ASSERT_TRUE(MyWriteFile(folder / "title.txt", ""));
    EXPECT_EQ(folder.Listing(true), "title.txt=|title.txt.bak=" + with_zero);
}

TEST(WriteFile, FailsWithoutTrace) {
    TempFolder folder;
    EXPECT_FALSE(MyWriteFile(folder / "no-such-folder/index.html", "x"));
    ::mkdir((folder / "page.html").c_str(), 0755);
    EXPECT_FALSE(MyWriteFile(folder / "page.html", "x"));
    EXPECT_EQ(folder.Listing(), "page.html");
}

TEST(WriteFile, AFullDiskLeavesTheOldFileWhole) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    TempFolder folder;
    const std::string disk = folder / "disk";
    ::mkdir(disk.c_str(), 0755);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mount refused: " << std::strerror(errno);
    const std::unique_ptr<const char, int (*)(const char*)> unmount(disk.c_str(), ::umount);
    const std::string old_page(10000, 'o');
    ASSERT_TRUE(MyWriteFile(disk + "/index.html", old_page));
    // Fill the file system to its last byte.
    int fd = ::open((disk + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    char block[4096] = {};
    while (::write(fd, block, sizeof block) > 0) {
    }
    while (::write(fd, block, 1) > 0) {
    }
    ::close(fd);

    EXPECT_FALSE(MyWriteFile(disk + "/index.html", std::string(100000, 'n')));
    EXPECT_EQ(folder.Get("disk/index.html"), old_page);
    // Neither the failed page nor a failed backup leaves anything behind but the files themselves.
    for (const auto& entry : std::filesystem::directory_iterator(disk))
        EXPECT_TRUE(entry.path().filename() == "index.html" || entry.path().filename() == "index.html.bak" ||
                    entry.path().filename() == "filler")
            << entry.path();
}

} // namespace
} // namespace qlm

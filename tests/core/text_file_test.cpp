// Whole-file reading and the crash-safe writing with its ".bak" copy.

#include "core/text_file.h"
#include "text_file_test_util.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qlm {
namespace {

using test::TempFolder;

struct ReadCase {
    const char* name;
    std::string content;
    std::string expected;
};

// Test names in listings show the case, not its bytes.
void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadFileTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadFileTest, GivesTheBytesBeforeTheFirstZero) {
    TempFolder folder;
    folder.Put("f.txt", GetParam().content);
    std::string text = "stale";
    ASSERT_TRUE(MyReadFile(folder / "f.txt", text));
    EXPECT_EQ(text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, ReadFileTest,
    ::testing::Values(ReadCase{"Empty", "", ""}, ReadCase{"Plain", "Urlaub 2003", "Urlaub 2003"},
                      ReadCase{"CrLfKept", "eins\r\nzwei\r\n", "eins\r\nzwei\r\n"},
                      ReadCase{"Windows1252Bytes", "Gr\xFC\xDF\x65 \x80", "Gr\xFC\xDF\x65 \x80"},
                      ReadCase{"ZeroInside", std::string("vor\0nach", 8), "vor"},
                      ReadCase{"ZeroFirst", std::string("\0x", 2), ""}),
    [](const auto& row) { return std::string(row.param.name); });

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
    ASSERT_TRUE(MyWriteFile(folder / "title.txt", "ohne Zeilenende"));
    EXPECT_EQ(folder.Get("title.txt"), "ohne Zeilenende");
    EXPECT_FALSE(folder.Exists("title.txt.bak"));

    ASSERT_TRUE(MyWriteFile(folder / "title.txt", std::string("a\r\nb\0c", 6)));
    EXPECT_EQ(folder.Get("title.txt"), std::string("a\r\nb\0c", 6));
    EXPECT_EQ(folder.Get("title.txt.bak"), "ohne Zeilenende");

    // A newer backup replaces the older one; an empty text leaves an empty file.
    ASSERT_TRUE(MyWriteFile(folder / "title.txt", ""));
    EXPECT_EQ(folder.Get("title.txt"), "");
    EXPECT_EQ(folder.Get("title.txt.bak"), std::string("a\r\nb\0c", 6));
    EXPECT_EQ(folder.Listing(), "title.txt|title.txt.bak");
}

TEST(WriteFile, FailsWithoutTrace) {
    TempFolder folder;
    EXPECT_FALSE(MyWriteFile(folder / "no-such-folder/index.html", "x"));
    ::mkdir((folder / "page.html").c_str(), 0755);
    EXPECT_FALSE(MyWriteFile(folder / "page.html", "x"));
    EXPECT_EQ(folder.Listing(), "page.html");
}

TEST(WriteFile, KeepsThePermissionsOfTheFileItReplaces) {
    TempFolder folder;
    folder.Put("index.html", "alt");
    ASSERT_EQ(::chmod((folder / "index.html").c_str(), 0640), 0);
    ASSERT_TRUE(MyWriteFile(folder / "index.html", "neu"));
    struct stat state {};
    ASSERT_EQ(::stat((folder / "index.html").c_str(), &state), 0);
    EXPECT_EQ(state.st_mode & 07777, 0640u);

    mode_t old_mask = ::umask(027);
    bool written = MyWriteFile(folder / "new.html", "neu");
    ::umask(old_mask);
    ASSERT_TRUE(written);
    ASSERT_EQ(::stat((folder / "new.html").c_str(), &state), 0);
    EXPECT_EQ(state.st_mode & 07777, 0640u);
}

// A small file system of its own, filled to the last block.
class FullFileSystem {
  public:
    explicit FullFileSystem(const std::string& where) : where_(where) {
        mounted_ = ::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~FullFileSystem() {
        if (mounted_)
            ::umount(where_.c_str());
    }
    bool Mounted() const { return mounted_; }
    void Fill() const {
        int fd = ::open((where_ + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
        char block[4096] = {};
        while (::write(fd, block, sizeof block) > 0) {
        }
        while (::write(fd, block, 1) > 0) {
        }
        ::close(fd);
    }

  private:
    std::string where_;
    bool mounted_ = false;
};

TEST(WriteFile, AFullDiskLeavesTheOldFileWhole) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    TempFolder folder;
    ::mkdir((folder / "disk").c_str(), 0755);
    FullFileSystem disk(folder / "disk");
    if (!disk.Mounted())
        GTEST_SKIP() << "mount refused: " << std::strerror(errno);
    const std::string old_page(10000, 'o');
    ASSERT_TRUE(MyWriteFile(folder / "disk/index.html", old_page));
    disk.Fill();

    EXPECT_FALSE(MyWriteFile(folder / "disk/index.html", std::string(100000, 'n')));
    EXPECT_EQ(folder.Get("disk/index.html"), old_page);
    // Neither the failed page nor a failed backup leaves anything behind but the files themselves.
    for (const auto& entry : std::filesystem::directory_iterator(folder / "disk"))
        EXPECT_TRUE(entry.path().filename() == "index.html" || entry.path().filename() == "index.html.bak" ||
                    entry.path().filename() == "filler")
            << entry.path();
}

} // namespace
} // namespace qlm

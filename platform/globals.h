// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Directory search and drive-string buffer: the small helpers that the folder browser builds on.
// They know nothing of the user interface.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qlm::platform {

// The path separator that ends every folder path of the program.
inline constexpr char kPathSeparator = '/';

// Attribute bit of a directory in tDirEntry::Attr.
inline constexpr std::uint32_t kAttrDirectory = 0x10;

struct tDirEntry {
    std::int32_t Time = 0;  // last write, local time, packed DOS form
    std::int32_t Size = 0;  // low 32 bits of the size
    std::uint32_t Attr = 0; // 0x10 directory, 0x02 hidden (name starts with "."), 0x01 read-only
    char Name[261] = {};    // bare name, zero-terminated
};

// One file search over a folder: every kind of entry, "." and ".." included, in the order the
// file system returns them.
class tGetDirList {
  public:
    tGetDirList() = default;
    ~tGetDirList();
    tGetDirList(const tGetDirList&) = delete;
    tGetDirList& operator=(const tGetDirList&) = delete;

    // `pattern` is a folder path followed by a name pattern ("*.*" and "*" match every name).
    // Gives 0 when at least one entry was found, else the errno of the failed search
    // (ENOENT also when nothing matched).
    int GetDirList(const std::string& pattern);
    int Count() const { return count_; }
    const tDirEntry& GetEntry(int index) const { return list_[index]; }
    const tDirEntry* GetListAddress() const { return list_; }
    int GetListSize() const { return count_ * static_cast<int>(sizeof(tDirEntry)); }
    void SetData(int count, tDirEntry* block);

  private:
    void Clear();
    int count_ = 0;
    tDirEntry* list_ = nullptr;
    bool owned_ = false;
};

// A block of zero-terminated strings ending with an empty one, read one after the other.
// The object frees only the block it allocated itself; a block handed in with SetMemPointer stays
// the caller's, and reading never goes past Size() characters.
class tCharArray {
  public:
    explicit tCharArray(int size);
    ~tCharArray();
    tCharArray(const tCharArray&) = delete;
    tCharArray& operator=(const tCharArray&) = delete;

    char* GetMemPointer() { return block_; }
    void SetMemPointer(char* block) {
        block_ = block;
        pos_ = 0;
    }
    int Size() const { return size_; }
    std::string GetFirstString();
    std::string GetNextString();

  private:
    std::string StringAtPosition() const;
    char* owned_block_ = nullptr;
    char* block_ = nullptr;
    int pos_ = 0;
    int size_ = 0;
};

// The system's message text for an errno value, trimmed; "unbekannter Fehler" when it has none.
std::string GetErrorText(int code);

// `path` unchanged when it ends with the separator, else with one appended.
std::string AddBackslash(const std::string& path);

// The last part of `path`: what follows its last separator (all of it when there is none).
std::string BareName(const std::string& path);

// Fills `buffer` with the "drive" strings of this machine: the root "/", the user's home folder and
// the mount points of real file systems (no proc, sys, dev, tmpfs and similar), each ending with
// "/", each zero-terminated, the whole ended by an empty string. Gives the number of characters
// written without the final zero. When they do not fit, the buffer is left untouched and the result
// is the buffer length they need, final zero included, which is always larger than buffer_length:
// the caller asks again with a buffer of that size.
int GetLogicalDriveStrings(int buffer_length, char* buffer);

// A mount point of a real file system, as read from the kernel's mount table.
struct MountPoint {
    std::string path;     // decoded, ending with "/"
    bool network = false; // nfs, cifs, sshfs and the like: never touched, it may hang
};

// The mount points of real file systems in a /proc/self/mountinfo text, in its order: no pseudo
// file systems, nothing under /proc, /sys, /dev or /run (but /run/media), no duplicates.
std::vector<MountPoint> RealMountPoints(std::string_view mountinfo);

// Lexical path expansion: `path` made absolute against the working directory and its "." and
// ".." components resolved as text, without following symbolic links.
std::string GetFullPathName(const std::string& path);

} // namespace qlm::platform

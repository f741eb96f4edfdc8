// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small helpers shared by the tests: a temporary folder that cleans up after itself, whole-file
// access that does not go through the code under test, and readable names for table rows.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qlm {
namespace test {

// The whole file, or "" when it cannot be read.
inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (in)
        bytes << in.rdbuf();
    return bytes.str();
}

// Replaces the file with `bytes`; a failure shows in what the test reads back.
inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qlm-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        root_ = pattern;
    }
    ~TempFolder() {
        // A test may have taken the folder's own permissions away.
        std::error_code ignored;
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(root_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with a trailing "/", as the program's current folder is held.
    std::string Path() const { return root_ + "/"; }
    // The folder without the trailing "/", as a user would name it.
    const std::string& Root() const { return root_; }
    // The full name of an entry of the folder.
    std::string operator/(const std::string& name) const { return Path() + name; }

    // Writes the file `name` and returns its full name.
    std::string Put(const std::string& name, const std::string& bytes = "") const {
        std::ofstream out(Path() + name, std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
            throw std::runtime_error("cannot write " + name);
        return Path() + name;
    }
    // Makes the folder `name` with any parents and returns its full name with a trailing "/".
    std::string MakeFolder(const std::string& name) const {
        std::filesystem::create_directories(Path() + name);
        return Path() + name + "/";
    }
    std::string Get(const std::string& name) const {
        std::ifstream in(Path() + name, std::ios::binary);
        if (!in)
            return "<missing " + name + ">";
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Every entry of the folder, sorted, so that stray temporary files show up in comparisons;
    // with `contents`, each entry as "name=bytes".
    std::string Listing(bool contents = false) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        std::string joined;
        for (const auto& name : names)
            joined += (joined.empty() ? "" : "|") + name + (contents ? "=" + Get(name) : "");
        return joined;
    }

  private:
    std::string root_;
};

// The user and group ids of "nobody", for cases that need a user other than the file's owner;
// false when this machine has no such user.
inline bool NobodyIds(uid_t& uid, gid_t& gid) {
    const passwd* entry = ::getpwnam("nobody");
    if (entry == nullptr)
        return false;
    uid = entry->pw_uid;
    gid = entry->pw_gid;
    return true;
}

// Runs `body` in a child process as the user "nobody" and gives its result (0 to 255), or -1 when
// the child could not become that user. Needs root, as the callers check.
inline int RunAsNobody(const std::function<int()>& body) {
    uid_t uid = 0;
    gid_t gid = 0;
    if (!NobodyIds(uid, gid))
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(255);
        ::_exit(body() & 0xFF);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) == 255)
        return -1;
    return WEXITSTATUS(status);
}

// Runs `body` in a child process that has no descriptor left to open (a limit of 64, every free
// one taken) and gives its result (0 to 254), or -1 when the child did not end normally. What
// `body` compares with (a system message) is best made before: the child cannot open files. The
// descriptors go back before the child ends, since a sanitizer's checks open files of their own.
inline int RunOutOfDescriptors(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{64, 64};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
            ::_exit(255);
        while (::dup(0) >= 0) {
        }
        const int result = body();
        for (int fd = 3; fd < 64; ++fd)
            ::close(fd);
        ::_exit(result & 0xFF);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) == 255)
        return -1;
    return WEXITSTATUS(status);
}

// The parts of `joined` between the "|" signs.
inline std::vector<std::string> Split(const std::string& joined) {
    std::vector<std::string> parts;
    for (std::size_t from = 0, bar; from <= joined.size(); from = bar + 1) {
        bar = std::min(joined.find('|', from), joined.size());
        parts.push_back(joined.substr(from, bar - from));
    }
    return parts;
}

} // namespace test

namespace {

// Table rows show their name in test listings, not their bytes.
template <typename Row>
requires requires(const Row& row) {
    row.name;
}
void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

// Names the instances of a table-driven test after their rows.
inline constexpr auto kRowName = [](const auto& info) { return std::string(info.param.name); };

} // namespace
} // namespace qlm

#include "platform/file_ops.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qlm::platform {

namespace {

// Closes a descriptor when it goes out of scope; release() hands it over.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string BareNameOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (done == 0)
            return EIO;
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return 0;
}

// Flushes the folder entry of a rename. Some file systems cannot sync a folder; the new content
// is in place by then, so a failure here is not reported.
void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Creates a new, empty temporary file beside `target`, named so that it cannot be mistaken for a
// user's file: "." + target name + ".qlm-" + six random characters. `mode` is passed to open(),
// so a new file gets the usual mode & ~umask.
int CreateTemporary(const std::string& target, mode_t mode, std::string& temp_path, int& fd) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = BareNameOf(target);
    // Keep the temporary name within NAME_MAX even for very long target names.
    if (name.size() > 200)
        name.resize(200);
    const std::string prefix =
        target.substr(0, target.size() - BareNameOf(target).size()) + "." + name + ".qlm-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[6];
        if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
            // Practically never; a clock- and counter-based suffix still works with O_EXCL.
            static unsigned counter = 0;
            unsigned value = static_cast<unsigned>(::getpid()) * 2654435761u + ++counter * 40503u;
            for (auto& byte : random) {
                byte = static_cast<unsigned char>(value);
                value = value * 1103515245u + 12345u;
            }
        }
        std::string candidate = prefix;
        for (unsigned char byte : random)
            candidate += kLetters[byte % (sizeof kLetters - 1)];
        int created = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (created >= 0) {
            temp_path = candidate;
            fd = created;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

// Anything that fills the temporary file: gives 0 or an errno value.
template <typename Fill> int WriteViaTemporary(const std::string& target, mode_t new_file_mode, Fill fill) {
    std::string path = target;
    struct stat old_state {};
    bool exists = false;
    if (::lstat(target.c_str(), &old_state) == 0 && S_ISLNK(old_state.st_mode)) {
        // Write through a symbolic link to the file it names, leaving the link itself in place.
        char* resolved = ::realpath(target.c_str(), nullptr);
        if (resolved != nullptr) {
            path = resolved;
            std::free(resolved);
        }
    }
    if (::stat(path.c_str(), &old_state) == 0) {
        if (S_ISDIR(old_state.st_mode))
            return EISDIR;
        if (!S_ISREG(old_state.st_mode))
            return EINVAL;
        // A file the user may not write stays as it is, although its folder would allow a rename.
        if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
            return errno;
        exists = true;
    } else if (errno != ENOENT) {
        return errno;
    }

    std::string temp_path;
    int raw_fd = -1;
    if (int error = CreateTemporary(path, exists ? 0600 : new_file_mode, temp_path, raw_fd))
        return error;
    Fd fd(raw_fd);
    int error = 0;
    if (exists) {
        if (::fchmod(fd.get(), old_state.st_mode & 07777) != 0)
            error = errno;
        // Only root can give the file back to another owner; anyone else keeps their own, so a
        // failure here is expected and harmless.
        if (error == 0 && (old_state.st_uid != ::geteuid() || old_state.st_gid != ::getegid())) {
            [[maybe_unused]] const int owner_kept = ::fchown(fd.get(), old_state.st_uid, old_state.st_gid);
        }
    }
    if (error == 0)
        error = fill(fd.get());
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    if (::close(fd.release()) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp_path.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp_path.c_str());
        return error;
    }
    SyncFolder(FolderOf(path));
    return 0;
}

bool UnsupportedByFileSystem(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

} // namespace

int ReplaceFileContents(const std::string& path, std::string_view bytes) {
    return WriteViaTemporary(path, 0666, [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); });
}

int CopyFileOver(const std::string& from, const std::string& to) {
    Fd source(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (source.get() < 0)
        return errno;
    struct stat state {};
    if (::fstat(source.get(), &state) != 0)
        return errno;
    if (S_ISDIR(state.st_mode))
        return EISDIR;
    if (!S_ISREG(state.st_mode))
        return EINVAL;
    return WriteViaTemporary(to, state.st_mode & 0666, [&](int fd) {
        char buffer[65536];
        for (;;) {
            ssize_t got = ::read(source.get(), buffer, sizeof buffer);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            if (got == 0)
                return 0;
            if (int error = WriteAll(fd, buffer, static_cast<std::size_t>(got)))
                return error;
        }
    });
}

int RenameNoReplaceByLink(const std::string& from, const std::string& to) {
    // link() fails with EEXIST when `to` exists, so nothing is ever replaced, even under a race.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    if (::unlink(from.c_str()) != 0) {
        int error = errno;
        ::unlink(to.c_str());
        return error;
    }
    return 0;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    int error = errno;
    if (!UnsupportedByFileSystem(error))
        return error;
#endif
    return RenameNoReplaceByLink(from, to);
}

bool IsRegularFile(const std::string& path) {
    struct stat state {};
    return ::stat(path.c_str(), &state) == 0 && S_ISREG(state.st_mode);
}

bool NameExists(const std::string& path) {
    struct stat state {};
    return ::lstat(path.c_str(), &state) == 0;
}

} // namespace qlm::platform

#include "core/picture.h"

#include "core/gif_decoder.h"
#include "core/jpeg_decoder.h"
#include "core/picture_limits.h"
#include "core/png_decoder.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qlm {
namespace {

enum class ReadResult { Read, NotOpened };

// Closes a file descriptor when the reading ends, however it ends.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

// Reads the whole file. Only a regular file counts as opened: a folder, a device or a pipe is
// treated like a missing file (and a pipe is opened without waiting for a writer).
ReadResult ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return ReadResult::NotOpened;
    }
    if (static_cast<std::uint64_t>(info.st_size) > picture_limits::kMaxFileSize) {
        throw DecodeError(
            "Die Bilddatei ist zu groß (" +
            std::to_string(picture_limits::Megabytes(static_cast<std::uint64_t>(info.st_size))) +
            " MB); gelesen werden höchstens " +
            std::to_string(picture_limits::Megabytes(picture_limits::kMaxFileSize)) + " MB.");
    }
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    for (;;) {
        std::uint8_t probe[4096];
        // Once the size fstat gave is read, look for more (the file may have grown) without
        // growing the buffer first, which would copy a large file once more.
        const bool full = filled == bytes.size();
        std::uint8_t* into = full ? probe : bytes.data() + filled;
        const std::size_t room = full ? sizeof probe : bytes.size() - filled;
        const ssize_t n = ::read(file.get(), into, room);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throw DecodeError(std::string("Die Bilddatei kann nicht gelesen werden: ") +
                              std::strerror(errno));
        }
        if (n == 0) {
            break;
        }
        if (full) {
            if (bytes.size() + static_cast<std::size_t>(n) > picture_limits::kMaxFileSize) {
                throw DecodeError("Die Bilddatei ist zu groß.");
            }
            bytes.insert(bytes.end(), probe, probe + n);
        }
        filled += static_cast<std::size_t>(n);
    }
    bytes.resize(filled);
    return ReadResult::Read;
}

std::string ExtensionOf(const std::string& file_name) {
    const std::size_t dot = file_name.rfind('.');
    const std::size_t slash = file_name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string extension = file_name.substr(dot + 1);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return extension;
}

} // namespace

PictureFormat FormatForFileName(const std::string& file_name) {
    const std::string extension = ExtensionOf(file_name);
    if (extension == "jpg" || extension == "jpeg") {
        return PictureFormat::Jpeg;
    }
    if (extension == "gif") {
        return PictureFormat::Gif;
    }
    if (extension == "png") {
        return PictureFormat::Png;
    }
    return PictureFormat::Unknown;
}

Picture LoadPicture(const std::string& path, int box) {
    std::vector<std::uint8_t> bytes;
    if (ReadWholeFile(path, bytes) == ReadResult::NotOpened) {
        return Picture{};
    }
    const int reduce_to = box > 0 ? box : 0;
    switch (FormatForFileName(path)) {
    case PictureFormat::Jpeg:
        return DecodeJpeg(bytes.data(), bytes.size(), reduce_to);
    case PictureFormat::Gif:
        return DecodeGif(bytes.data(), bytes.size(), reduce_to);
    case PictureFormat::Png:
        return DecodePng(bytes.data(), bytes.size(), reduce_to);
    case PictureFormat::Unknown:
        break;
    }
    throw DecodeError("Dateien mit der Endung \"" + ExtensionOf(path) +
                      "\" werden nicht als Bild gelesen; erkannt werden JPG, JPEG, GIF und PNG.");
}

} // namespace qlm

#include "core/picture.h"

#include "core/gif_decoder.h"
#include "core/jpeg_decoder.h"
#include "core/picture_limits.h"
#include "core/png_decoder.h"

#include "platform/file_ops.h"
#include "platform/text.h"

#include <cerrno>
#include <cstring>

namespace qlm {
namespace {

// Reads the whole file; false when it cannot be opened. Only a regular file counts as opened: a
// folder, a device or a pipe is treated like a missing file (and a pipe is opened without waiting
// for a writer). A file too large for a picture, or one that fails while it is read, is an error.
bool ReadPictureFile(const std::string& path, std::string& bytes) {
    std::uint64_t size = 0;
    const int error = platform::ReadWholeFile(path, bytes, picture_limits::kMaxFileSize, &size);
    if (error == EFBIG) {
        throw DecodeError("Die Bilddatei ist zu groß (" + std::to_string(picture_limits::Megabytes(size)) +
                          " MB); gelesen werden höchstens " +
                          std::to_string(picture_limits::Megabytes(picture_limits::kMaxFileSize)) + " MB.");
    }
    if (error == EIO || error == ENOMEM) {
        throw DecodeError(std::string("Die Bilddatei kann nicht gelesen werden: ") + std::strerror(error));
    }
    return error == 0;
}

std::string ExtensionOf(const std::string& file_name) {
    const std::size_t dot = file_name.rfind('.');
    const std::size_t slash = file_name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string extension = file_name.substr(dot + 1);
    for (char& c : extension) {
        c = platform::AsciiLower(c);
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

namespace {

// True when `start` begins as a file of the format must: a file that does not is refused from its
// first bytes, however large it is.
bool StartsLike(PictureFormat format, const std::string& start) {
    switch (format) {
    case PictureFormat::Jpeg:
        return start.size() >= 2 && start[0] == '\xFF' && start[1] == '\xD8';
    case PictureFormat::Png:
        return start.size() >= 8 && start.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0;
    case PictureFormat::Gif:
        return start.size() >= 6 &&
               (start.compare(0, 6, "GIF87a") == 0 || start.compare(0, 6, "GIF89a") == 0);
    case PictureFormat::Unknown:
        break;
    }
    return false;
}

constexpr std::size_t kSignatureBytes = 16;

} // namespace

Picture LoadPicture(const std::string& path, int box) {
    const PictureFormat format = FormatForFileName(path);
    std::string bytes;
    // The first bytes first: a file that is no picture of its kind is refused by its decoder from
    // them alone, with the decoder's own words, before the rest is read.
    const int start_error = platform::ReadFileStart(path, bytes, kSignatureBytes);
    if (start_error != 0 && start_error != EIO && start_error != ENOMEM) {
        return Picture{};
    }
    if (start_error != 0 || StartsLike(format, bytes)) {
        bytes.clear();
        if (!ReadPictureFile(path, bytes)) {
            return Picture{};
        }
    }
    const int reduce_to = box > 0 ? box : 0;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    switch (format) {
    case PictureFormat::Jpeg:
        return DecodeJpeg(data, bytes.size(), reduce_to);
    case PictureFormat::Gif:
        return DecodeGif(data, bytes.size(), reduce_to);
    case PictureFormat::Png:
        return DecodePng(data, bytes.size(), reduce_to);
    case PictureFormat::Unknown:
        break;
    }
    throw DecodeError("Dateien mit der Endung \"" + ExtensionOf(path) +
                      "\" werden nicht als Bild gelesen; erkannt werden JPG, JPEG, GIF und PNG.");
}

} // namespace qlm

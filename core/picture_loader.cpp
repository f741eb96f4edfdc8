// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/picture_loader.h"

#include "core/gif_decoder.h"
#include "core/jpeg_decoder.h"
#include "core/picture_source.h"
#include "core/png_decoder.h"

#include "platform/globals.h"
#include "platform/text.h"

#include <cerrno>

namespace qlm {
namespace {

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

PictureFormat FormatForFileName(std::string_view file_name) {
    // Asked for every name of a folder as it is listed: nothing is copied.
    const std::size_t dot = file_name.rfind('.');
    const std::size_t slash = file_name.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return PictureFormat::Unknown;
    }
    const std::string_view extension = file_name.substr(dot + 1);
    if (platform::EqualIgnoringAsciiCase(extension, "jpg") ||
        platform::EqualIgnoringAsciiCase(extension, "jpeg")) {
        return PictureFormat::Jpeg;
    }
    if (platform::EqualIgnoringAsciiCase(extension, "gif")) {
        return PictureFormat::Gif;
    }
    if (platform::EqualIgnoringAsciiCase(extension, "png")) {
        return PictureFormat::Png;
    }
    return PictureFormat::Unknown;
}

Picture LoadPicture(const std::string& path, int box) {
    // Only the file is opened here; its decoder reads from it piece by piece as far as the picture
    // goes, so that a file that is no picture of its kind is refused from its first bytes, and
    // whatever follows a picture is never read.
    PictureSource source;
    if (const int error = source.Open(path); error != 0) {
        // Out of descriptors, the picture is there and would open another time: that is no
        // missing picture, and the run must not take the size of the picture before it.
        if (error == EMFILE || error == ENFILE)
            throw OutOfDescriptorsError(platform::GetErrorText(error));
        return Picture{};
    }
    const int reduce_to = box > 0 ? box : 0;
    switch (FormatForFileName(path)) {
    case PictureFormat::Jpeg:
        return DecodeJpeg(source, reduce_to);
    case PictureFormat::Gif:
        return DecodeGif(source, reduce_to);
    case PictureFormat::Png:
        return DecodePng(source, reduce_to);
    case PictureFormat::Unknown:
        break;
    }
    throw DecodeError("Dateien mit der Endung \"" + ExtensionOf(path) +
                      "\" werden nicht als Bild gelesen; erkannt werden JPG, JPEG, GIF und PNG.");
}

} // namespace qlm

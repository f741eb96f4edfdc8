#include "core/picture_measure.h"

#include "core/gif_decoder.h"
#include "core/jpeg_decoder.h"
#include "core/picture_limits.h"
#include "core/png_decoder.h"

#include "platform/file_ops.h"

#include <cstdint>

namespace qlm {
namespace {

// Enough for the headers of nearly every picture, Exif blocks with their preview included; a file
// whose headers go on longer is read again with four times as much.
constexpr std::size_t kFirstHeadBytes = std::size_t{128} << 10;

// Measures `head`, the beginning of a file of `file_size` bytes; false when the headers go on
// beyond it.
bool MeasureHead(PictureFormat format, const std::string& head, std::uint64_t file_size, int box,
                 Picture& picture) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(head.data());
    const bool whole = head.size() >= file_size;
    switch (format) {
    case PictureFormat::Jpeg:
        return MeasureJpeg(data, head.size(), whole, box, picture);
    case PictureFormat::Gif:
        return MeasureGif(data, head.size(), whole, box, picture);
    case PictureFormat::Png:
        return MeasurePng(data, head.size(), whole, box, picture);
    case PictureFormat::Unknown:
        break;
    }
    return false;
}

} // namespace

Picture MeasurePicture(const std::string& path, int box) {
    const PictureFormat format = FormatForFileName(path);
    if (format == PictureFormat::Unknown) {
        return LoadPicture(path, box);
    }
    for (std::size_t count = kFirstHeadBytes;; count *= 4) {
        std::string head;
        std::uint64_t file_size = 0;
        const int error = platform::ReadFileStart(path, head, count, &file_size);
        if (error != 0 || file_size > picture_limits::kMaxFileSize) {
            return LoadPicture(path, box);
        }
        Picture picture;
        if (MeasureHead(format, head, file_size, box, picture)) {
            return picture;
        }
        if (head.size() >= file_size) {
            // The file is read whole and still ends inside its headers; only a file that grew
            // while it was read gets here, and the full decoding judges it.
            return LoadPicture(path, box);
        }
    }
}

} // namespace qlm

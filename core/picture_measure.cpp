// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/picture_measure.h"

#include "core/gif_decoder.h"
#include "core/jpeg_decoder.h"
#include "core/picture_loader.h"
#include "core/picture_source.h"
#include "core/png_decoder.h"

#include "platform/globals.h"

#include <cerrno>

namespace qlm {

Picture MeasurePicture(const std::string& path, int box) {
    const PictureFormat format = FormatForFileName(path);
    if (format == PictureFormat::Unknown) {
        return LoadPicture(path, box);
    }
    // The decoder reads from the file as far as the headers go, and no further. Those of a PNG or a
    // GIF, and of a JPEG without a large Exif block, lie in the first few kilobytes.
    constexpr std::size_t kHeadersRead = 4096;
    // What kind of file it is is asked only when its headers cannot be read: a folder, a FIFO or
    // a device is then not opened, as LoadPicture would not open it.
    PictureSource source;
    if (const int error = source.OpenUnchecked(path, kHeadersRead); error != 0) {
        // Out of descriptors the picture is there all the same: its page must not get the size
        // of the picture before it.
        if (error == EMFILE || error == ENFILE)
            throw OutOfDescriptorsError(platform::GetErrorText(error));
        return Picture{};
    }
    Picture picture;
    bool measured = false;
    try {
        switch (format) {
        case PictureFormat::Jpeg:
            measured = MeasureJpeg(source, box, picture);
            break;
        case PictureFormat::Gif:
            measured = MeasureGif(source, box, picture);
            break;
        case PictureFormat::Png:
            measured = MeasurePng(source, box, picture);
            break;
        case PictureFormat::Unknown:
            break;
        }
    } catch (const DecodeError&) {
        if (source.CheckRegular() != 0) {
            return Picture{};
        }
        throw;
    }
    // A whole file always measures or throws; the full decoding judges anything else.
    return measured ? picture : LoadPicture(path, box);
}

} // namespace qlm

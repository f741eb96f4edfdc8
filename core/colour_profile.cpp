// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/colour_profile.h"

#include "core/jpeg_decoder.h"
#include "core/picture_source.h"
#include "core/png_decoder.h"
#include "platform/globals.h"

#include <cerrno>

namespace qlm {

bool OpenPictureAgain(PictureSource& source, const std::string& path) {
    const int error = source.Open(path);
    if (error == EMFILE || error == ENFILE)
        throw OutOfDescriptorsError(platform::GetErrorText(error));
    return error == 0;
}

std::string ReadColourProfile(const std::string& path, PictureFormat format, int box) {
    if (format != PictureFormat::Jpeg && format != PictureFormat::Png)
        return {};
    PictureSource source;
    if (!OpenPictureAgain(source, path))
        return {};
    return format == PictureFormat::Jpeg ? ReadJpegColourProfile(source, box)
                                         : ReadPngColourProfile(source, box);
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
// Every decoder and its header reader, and the removal of metadata for publishing, over the same
// bytes: whatever they are, a picture or a DecodeError comes back, never a crash, a hang or a read
// outside the bytes; a JPEG measures the same with the quick reading of its headers as with the
// library's; and what the removal gives is taken again unchanged. The colour profiles read from
// the headers, and the bytes themselves taken for a profile, convert a picture to sRGB or leave it.

#include "core/gif_decoder.h"
#include "core/jpeg_decoder.h"
#include "core/metadata_strip.h"
#include "core/picture_source.h"
#include "core/png_decoder.h"
#include "core/srgb_conversion.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

namespace {

template <typename Decode> void Try(const Decode& decode) {
    try {
        decode();
    } catch (const qlm::DecodeError&) {
    } catch (const std::bad_alloc&) {
    }
}

template <typename DecodeFn, typename MeasureFn>
void Each(const std::uint8_t* data, std::size_t size, DecodeFn decode, MeasureFn measure) {
    Try([&] {
        qlm::PictureSource source(data, size, true);
        decode(source, 64);
    });
    // The header reader sees only the beginning of a file, as when it reads ahead.
    Try([&] {
        qlm::PictureSource source(data, size, false);
        qlm::Picture picture;
        measure(source, 0, picture);
    });
}

// What measuring a JPEG gave: more bytes wanted, a size, or the refusal's message.
std::string JpegOutcome(bool (*measure)(qlm::PictureSource&, int, qlm::Picture&), const std::uint8_t* data,
                        std::size_t size) {
    qlm::PictureSource source(data, size, false);
    qlm::Picture picture;
    try {
        if (!measure(source, 0, picture)) {
            return "more";
        }
    } catch (const qlm::DecodeError& error) {
        return error.what();
    } catch (const std::bad_alloc&) {
        return "memory";
    }
    return std::to_string(picture.width) + "x" + std::to_string(picture.height);
}

void ConvertWithProfiles(const std::uint8_t* data, std::size_t size) {
    qlm::Image image{2, 1, {10, 200, 30, 255, 128, 128, 128, 128}};
    qlm::ConvertToSrgb(image, std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto read : {qlm::ReadJpegColourProfile, qlm::ReadPngColourProfile}) {
        Try([&] {
            qlm::PictureSource source(data, size, true);
            qlm::ConvertToSrgb(image, read(source, 64));
        });
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Each(data, size, qlm::DecodeJpeg, qlm::MeasureJpeg);
    // The quick reading of plain headers must give what the library gives.
    if (JpegOutcome(qlm::MeasureJpeg, data, size) != JpegOutcome(qlm::MeasureJpegByLibrary, data, size)) {
        std::abort();
    }
    Each(data, size, qlm::DecodeGif, qlm::MeasureGif);
    Each(data, size, qlm::DecodePng, qlm::MeasurePng);
    std::string published;
    Try([&] {
        published = qlm::StripForPublishing(std::string_view(reinterpret_cast<const char*>(data), size));
    });
    if (!published.empty() && qlm::StripForPublishing(published) != published) {
        std::abort();
    }
    ConvertWithProfiles(data, size);
    return 0;
}

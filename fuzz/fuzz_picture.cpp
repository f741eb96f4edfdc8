// SPDX-License-Identifier: GPL-3.0-or-later
// Every decoder and its header reader over the same bytes: whatever they are, a picture or a
// DecodeError comes back, never a crash, a hang or a read outside the bytes.

#include "core/gif_decoder.h"
#include "core/jpeg_decoder.h"
#include "core/picture_source.h"
#include "core/png_decoder.h"

#include <cstddef>
#include <cstdint>
#include <new>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Each(data, size, qlm::DecodeJpeg, qlm::MeasureJpeg);
    Each(data, size, qlm::DecodeGif, qlm::MeasureGif);
    Each(data, size, qlm::DecodePng, qlm::MeasurePng);
    return 0;
}

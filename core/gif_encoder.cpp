// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/gif_encoder.h"

#include "core/encode_error.h"

#include <array>
#include <cstdint>
#include <new>
#include <unordered_map>
#include <vector>

#include <gif_lib.h>

namespace qlm {
namespace {

constexpr int kPaletteSize = 256;
// The last palette entry is kept for transparent pixels; the colours get the others.
constexpr int kTransparentIndex = kPaletteSize - 1;
constexpr int kMaxColours = kPaletteSize - 1;

bool IsTransparent(const std::uint8_t* pixel) {
    return pixel[3] < 128;
}

std::uint32_t Key(const std::uint8_t* pixel) {
    return (std::uint32_t{pixel[0]} << 16) | (std::uint32_t{pixel[1]} << 8) | pixel[2];
}

struct Indexed {
    std::array<GifColorType, kPaletteSize> palette{};
    std::vector<GifByteType> pixels;
    bool has_transparent = false;
};

// The exact palette when the opaque pixels have at most kMaxColours colours; false otherwise.
bool ExactPalette(const Image& image, Indexed& out) {
    std::unordered_map<std::uint32_t, GifByteType> index_of;
    const std::size_t pixels = out.pixels.size();
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t* p = image.rgba.data() + i * 4;
        if (IsTransparent(p)) {
            out.pixels[i] = kTransparentIndex;
            out.has_transparent = true;
            continue;
        }
        const auto [found, added] = index_of.try_emplace(Key(p), static_cast<GifByteType>(index_of.size()));
        if (added) {
            if (index_of.size() > kMaxColours)
                return false;
            out.palette[found->second] = {p[0], p[1], p[2]};
        }
        out.pixels[i] = found->second;
    }
    return true;
}

// Reduces the colours with giflib's median cut; transparent pixels take the reserved entry.
bool QuantizedPalette(const Image& image, Indexed& out) {
    const std::size_t pixels = out.pixels.size();
    std::vector<GifByteType> red(pixels), green(pixels), blue(pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t* p = image.rgba.data() + i * 4;
        red[i] = p[0];
        green[i] = p[1];
        blue[i] = p[2];
    }
    int colours = kMaxColours;
    if (GifQuantizeBuffer(static_cast<unsigned>(image.width), static_cast<unsigned>(image.height), &colours,
                          red.data(), green.data(), blue.data(), out.pixels.data(),
                          out.palette.data()) != GIF_OK)
        return false;
    for (std::size_t i = 0; i < pixels; ++i) {
        if (IsTransparent(image.rgba.data() + i * 4)) {
            out.pixels[i] = kTransparentIndex;
            out.has_transparent = true;
        }
    }
    return true;
}

int AppendBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto* output = static_cast<std::string*>(gif->UserData);
    try {
        output->append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return length;
}

// Writes the indexed picture; gives a giflib error code, or 0.
int WriteGif(const Image& image, Indexed& indexed, std::string& output) {
    int error = 0;
    GifFileType* gif = EGifOpen(&output, AppendBytes, &error);
    if (gif == nullptr)
        return error != 0 ? error : E_GIF_ERR_NOT_ENOUGH_MEM;
    ColorMapObject* map = GifMakeMapObject(kPaletteSize, indexed.palette.data());
    bool ok = map != nullptr;
    error = ok ? 0 : E_GIF_ERR_NOT_ENOUGH_MEM;
    if (ok) {
        EGifSetGifVersion(gif, true);
        ok = EGifPutScreenDesc(gif, image.width, image.height, 8, 0, map) == GIF_OK;
    }
    if (ok && indexed.has_transparent) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.TransparentColor = kTransparentIndex;
        GifByteType extension[4] = {};
        const std::size_t length = EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) == GIF_OK;
    }
    if (ok)
        ok = EGifPutImageDesc(gif, 0, 0, image.width, image.height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < image.height; ++y)
        ok = EGifPutLine(gif, indexed.pixels.data() + static_cast<std::size_t>(y) * image.width,
                         image.width) == GIF_OK;
    if (!ok && error == 0)
        error = gif->Error != 0 ? gif->Error : E_GIF_ERR_WRITE_FAILED;
    GifFreeMapObject(map);
    int close_error = 0;
    if (EGifCloseFile(gif, &close_error) != GIF_OK && error == 0)
        error = close_error != 0 ? close_error : E_GIF_ERR_CLOSE_FAILED;
    return error;
}

} // namespace

std::string EncodeGif(const Image& image) {
    if (image.width <= 0 || image.height <= 0 || image.width > 65535 || image.height > 65535)
        throw EncodeError("Ein GIF-Bild dieser Größe kann nicht geschrieben werden.");
    std::string bytes;
    int error = 0;
    try {
        Indexed indexed;
        indexed.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
        if (!ExactPalette(image, indexed)) {
            indexed.has_transparent = false;
            if (!QuantizedPalette(image, indexed))
                throw EncodeError("Die Farben des GIF-Bildes lassen sich nicht auf 256 verringern.");
        }
        error = WriteGif(image, indexed, bytes);
    } catch (const std::bad_alloc&) {
        throw EncodeError("Für das Schreiben des GIF-Bildes reicht der Speicher nicht.");
    }
    if (error != 0) {
        const char* text = GifErrorString(error);
        throw EncodeError(std::string("Das GIF-Bild kann nicht geschrieben werden: ") +
                          (text != nullptr ? text : "?"));
    }
    return bytes;
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/png_encoder.h"

#include "core/encode_error.h"

#include <cstdio>
#include <new>

#include <png.h>

namespace qlm {
namespace {

// Everything the encoding needs, kept in the frame of EncodePng, so that the function that calls
// setjmp holds nothing with a destructor.
struct PngEncodeJob {
    const Image* image = nullptr;
    std::string* output = nullptr;
    char message[512] = {};
};

[[noreturn]] void OnEncodeError(png_structp png, png_const_charp text) {
    auto* job = static_cast<PngEncodeJob*>(png_get_error_ptr(png));
    if (job->message[0] == '\0')
        std::snprintf(job->message, sizeof job->message, "%s", text);
    png_longjmp(png, 1);
}

void OnEncodeWarning(png_structp, png_const_charp) {}

void WriteBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* job = static_cast<PngEncodeJob*>(png_get_io_ptr(png));
    try {
        job->output->append(reinterpret_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        png_error(png, "out of memory");
    }
}

void FlushNothing(png_structp) {}

bool RunPngEncode(PngEncodeJob* job) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, job, OnEncodeError, OnEncodeWarning);
    if (png == nullptr) {
        std::snprintf(job->message, sizeof job->message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(job->message, sizeof job->message, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    const Image& image = *job->image;
    png_set_write_fn(png, job, WriteBytes, FlushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(image.width) * 4;
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, image.rgba.data() + static_cast<std::size_t>(y) * stride);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

std::string EncodePng(const Image& image) {
    if (image.width <= 0 || image.height <= 0)
        throw EncodeError("Ein leeres PNG-Bild kann nicht geschrieben werden.");
    std::string bytes;
    PngEncodeJob job;
    job.image = &image;
    job.output = &bytes;
    if (!RunPngEncode(&job))
        throw EncodeError(std::string("Das PNG-Bild kann nicht geschrieben werden: ") + job.message);
    return bytes;
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/jpeg_encoder.h"

#include "core/encode_error.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include <jpeglib.h>

namespace qlm {
namespace {

struct EncoderErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void EncoderErrorExit(j_common_ptr cinfo) {
    auto* error = reinterpret_cast<EncoderErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, error->message);
    std::longjmp(error->jump, 1);
}

// Everything the encoding needs, kept in the frame of EncodeJpeg, so that the function that calls
// setjmp holds nothing with a destructor.
struct JpegEncodeJob {
    const std::uint8_t* pixels = nullptr; // width x height pixels of `components` bytes: RGB or RGBX
    int components = 3;
    int width = 0;
    int height = 0;
    int quality = 85;
    bool progressive = false;
    const std::string* profile = nullptr;
    jpeg_compress_struct cinfo{};
    EncoderErrorManager error{};
    unsigned char* output = nullptr; // malloc'ed by the library's memory destination
    unsigned long output_size = 0;
};

bool RunJpegEncode(JpegEncodeJob* job) {
    jpeg_compress_struct* cinfo = &job->cinfo;
    cinfo->err = jpeg_std_error(&job->error.pub);
    job->error.pub.error_exit = EncoderErrorExit;
    if (setjmp(job->error.jump) != 0) {
        jpeg_destroy_compress(cinfo);
        return false;
    }
    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, &job->output, &job->output_size);
    cinfo->image_width = static_cast<JDIMENSION>(job->width);
    cinfo->image_height = static_cast<JDIMENSION>(job->height);
    cinfo->input_components = job->components;
    cinfo->in_color_space = job->components == 4 ? JCS_EXT_RGBX : JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, job->quality, TRUE);
    cinfo->optimize_coding = TRUE;
    if (job->progressive)
        jpeg_simple_progression(cinfo);
    jpeg_start_compress(cinfo, TRUE);
    if (job->profile != nullptr && !job->profile->empty())
        jpeg_write_icc_profile(cinfo, reinterpret_cast<const JOCTET*>(job->profile->data()),
                               static_cast<unsigned>(job->profile->size()));
    const std::size_t stride = static_cast<std::size_t>(job->width) * job->components;
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(job->pixels + cinfo->next_scanline * stride);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    return true;
}

// True when no pixel lets the white behind it show: libjpeg can then read the pixels as they are.
bool Opaque(const Image& image) {
    const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
    for (std::size_t i = 0; i < pixels; ++i)
        if (image.rgba[i * 4 + 3] != 255)
            return false;
    return true;
}

// The pixels as RGB, each laid over white by its alpha.
std::vector<std::uint8_t> OverWhite(const Image& image) {
    const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
    std::vector<std::uint8_t> rgb(pixels * 3);
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t* p = image.rgba.data() + i * 4;
        const unsigned alpha = p[3];
        for (int c = 0; c < 3; ++c)
            rgb[i * 3 + c] = static_cast<std::uint8_t>((p[c] * alpha + 255 * (255 - alpha) + 127) / 255);
    }
    return rgb;
}

} // namespace

std::string EncodeJpeg(const Image& image, int quality, bool progressive, const std::string& profile) {
    if (image.width <= 0 || image.height <= 0 || image.width > JPEG_MAX_DIMENSION ||
        image.height > JPEG_MAX_DIMENSION)
        throw EncodeError("Ein JPEG-Bild dieser Größe kann nicht geschrieben werden.");
    JpegEncodeJob job;
    std::vector<std::uint8_t> rgb;
    if (Opaque(image)) {
        // Given as they are, the alpha bytes passed over: no copy of the picture.
        job.pixels = image.rgba.data();
        job.components = 4;
    } else {
        try {
            rgb = OverWhite(image);
        } catch (const std::bad_alloc&) {
            throw EncodeError("Für das Schreiben des JPEG-Bildes reicht der Speicher nicht.");
        }
        job.pixels = rgb.data();
    }
    job.width = image.width;
    job.height = image.height;
    job.quality = quality;
    job.progressive = progressive;
    job.profile = &profile;
    const bool done = RunJpegEncode(&job);
    // The library's output buffer is freed on every path, also when copying it fails.
    const std::unique_ptr<unsigned char, decltype(&std::free)> output(job.output, &std::free);
    if (!done)
        throw EncodeError(std::string("Das JPEG-Bild kann nicht geschrieben werden: ") + job.error.message);
    if (output == nullptr)
        return {};
    return std::string(reinterpret_cast<const char*>(output.get()), job.output_size);
}

} // namespace qlm

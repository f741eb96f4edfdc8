// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/jpeg_decoder.h"

#include "core/exif_orientation.h"
#include "core/jpeg_error_manager.h"
#include "core/jpeg_header_scan.h"
#include "core/jpeg_job.h"
#include "core/jpeg_source_manager.h"
#include "core/picture_limits.h"
#include "core/picture_source.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace qlm {
namespace {

using jpeg::Job;

// The largest colour profile taken from a file.
constexpr std::size_t kMaxProfile = std::size_t{1} << 20;

[[noreturn]] void FailTooLarge(Job* job, std::uint64_t needed) {
    std::snprintf(job->message, sizeof job->message,
                  "Das JPEG-Bild ist zu groß: %u x %u Pixel bräuchten zum Lesen etwa %llu MB Speicher, "
                  "erlaubt sind %llu MB.",
                  static_cast<unsigned>(job->cinfo.image_width),
                  static_cast<unsigned>(job->cinfo.image_height),
                  static_cast<unsigned long long>(picture_limits::Megabytes(needed)),
                  static_cast<unsigned long long>(picture_limits::Megabytes(picture_limits::kMemoryBudget)));
    jpeg::Fail(job);
}

// The smallest n of n/8 whose scaled picture still covers the box (libjpeg-turbo scales by
// 1/8 to 8/8 in eighths).
unsigned ScaleNumerator(unsigned width, unsigned height, int box) {
    const unsigned longer = width > height ? width : height;
    const std::uint64_t target = picture_limits::TargetSide(static_cast<int>(longer), box);
    for (unsigned n = 1; n < 8; ++n) {
        if (std::uint64_t{longer} * n >= target * 8) {
            return n;
        }
    }
    return 8;
}

// Memory the library needs beyond our output: a picture stored in several scans keeps every
// DCT coefficient (64 two-byte values per block) until the last scan is read.
std::uint64_t CoefficientBytes(j_decompress_ptr cinfo) {
    if (!jpeg_has_multiple_scans(cinfo)) {
        return 0;
    }
    std::uint64_t bytes = 0;
    for (int c = 0; c < cinfo->num_components; ++c) {
        const jpeg_component_info& comp = cinfo->comp_info[c];
        const std::uint64_t wide = (std::uint64_t{comp.width_in_blocks} + comp.h_samp_factor - 1) /
                                   comp.h_samp_factor * comp.h_samp_factor;
        const std::uint64_t high = (std::uint64_t{comp.height_in_blocks} + comp.v_samp_factor - 1) /
                                   comp.v_samp_factor * comp.v_samp_factor;
        bytes += wide * high * DCTSIZE2 * sizeof(JCOEF);
    }
    return bytes;
}

// Adobe writes CMYK JPEGs with inverted values; without its marker the values are plain.
void CmykToRgba(const std::uint8_t* cmyk, std::uint8_t* rgba, unsigned width, bool inverted) {
    for (unsigned x = 0; x < width; ++x, cmyk += 4, rgba += 4) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        rgba[0] = static_cast<std::uint8_t>((c * k + 127) / 255);
        rgba[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        rgba[2] = static_cast<std::uint8_t>((y * k + 127) / 255);
        rgba[3] = 255;
    }
}

// The steps of RunJpeg. Each runs under its setjmp and may end the run through jpeg::Fail, so none
// of them holds anything with a destructor.

// Reads the headers up to the picture data and refuses a picture with too many pixels.
void ReadHeaders(Job* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    jpeg_read_header(cinfo, TRUE);
    job->reading_header = false;
    job->natural_width = cinfo->image_width;
    job->natural_height = cinfo->image_height;

    const std::uint64_t pixels = std::uint64_t{cinfo->image_width} * cinfo->image_height;
    if (pixels > picture_limits::kMaxPixels) {
        std::snprintf(job->message, sizeof job->message,
                      "Das JPEG-Bild ist zu groß: %u x %u Pixel, gelesen werden höchstens %llu Megapixel.",
                      static_cast<unsigned>(cinfo->image_width), static_cast<unsigned>(cinfo->image_height),
                      static_cast<unsigned long long>(picture_limits::kMaxPixels / 1'000'000));
        jpeg::Fail(job);
    }
}

// Asks for RGBA (CMYK, which is converted here) at the smallest scale that covers the box.
void ChooseOutput(Job* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
        cinfo->out_color_space = JCS_EXT_RGBA;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo->out_color_space = JCS_CMYK;
        job->cmyk = true;
        break;
    default:
        std::snprintf(job->message, sizeof job->message,
                      "Das JPEG-Bild hat eine unbekannte Farbdarstellung (%d Farbkanäle) und wird nicht "
                      "unterstützt.",
                      cinfo->num_components);
        jpeg::Fail(job);
    }
    if (job->box > 0) {
        cinfo->scale_num = ScaleNumerator(cinfo->image_width, cinfo->image_height, job->box);
        cinfo->scale_denom = 8;
        if (cinfo->scale_num < 8) {
            // Scaled down, smooth chroma upsampling makes no visible difference. Time goes almost
            // wholly into the entropy decoding here: neither this nor the fast integer DCT
            // changed the time for a 12-megapixel photo measurably, so the accurate DCT stays.
            cinfo->do_fancy_upsampling = FALSE;
        }
    }
    jpeg_calc_output_dimensions(cinfo);
}

// The memory the decoding needs: our output and CMYK rows, and the library's coefficients. A
// picture that needs more than the budget is refused.
std::uint64_t CheckMemory(Job* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    const std::uint64_t output_bytes =
        std::uint64_t{cinfo->output_width} * cinfo->output_height * 4 +
        (job->cmyk ? std::uint64_t{cinfo->output_width} * 4 * jpeg::kRowsPerCall : 0);
    const std::uint64_t needed = output_bytes + CoefficientBytes(cinfo);
    if (needed > picture_limits::kMemoryBudget) {
        FailTooLarge(job, needed);
    }
    return needed;
}

// Decodes the rows into the job's image, converting CMYK rows as they come.
void ReadScanlines(Job* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    jpeg_start_decompress(cinfo);
    const std::size_t stride = std::size_t{cinfo->output_width} * 4;
    JSAMPROW rows[jpeg::kRowsPerCall];
    while (cinfo->output_scanline < cinfo->output_height) {
        const unsigned first = cinfo->output_scanline;
        unsigned count = cinfo->output_height - first;
        if (count > jpeg::kRowsPerCall) {
            count = jpeg::kRowsPerCall;
        }
        for (unsigned i = 0; i < count; ++i) {
            rows[i] = job->cmyk ? job->cmyk_rows.data() + i * stride
                                : job->image.rgba.data() + (first + i) * stride;
        }
        const unsigned read = jpeg_read_scanlines(cinfo, rows, count);
        if (job->cmyk) {
            for (unsigned i = 0; i < read; ++i) {
                CmykToRgba(rows[i], job->image.rgba.data() + (first + i) * stride, cinfo->output_width,
                           cinfo->saw_Adobe_marker);
            }
        }
        if (read == 0) {
            break; // cannot happen with a source that never suspends; guards against an endless loop
        }
    }
}

// The steps up to the pixels, on a made decompressor: the headers, the output asked for, the
// memory that needs. Gives that memory.
std::uint64_t ReadUpToPixels(Job* job) {
    jpeg::WatchProgress(job);
    jpeg::UseSource(job);
    jpeg::UseMarkerReaders(job);
    ReadHeaders(job);
    ChooseOutput(job);
    return CheckMemory(job);
}

// Runs libjpeg. Holds no C++ objects, so that a longjmp from the library leaves nothing behind;
// on every error path the decompressor is destroyed here.
bool RunJpeg(Job* job) noexcept {
    j_decompress_ptr cinfo = &job->cinfo;
    jpeg::UseErrorManager(job);
    if (setjmp(job->error.jump)) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = static_cast<long>(picture_limits::kMemoryBudget);
    const std::uint64_t needed = ReadUpToPixels(job);
    if (job->measure_only) {
        jpeg_destroy_decompress(cinfo);
        return true;
    }
    if (!job->Allocate(static_cast<int>(cinfo->output_width), static_cast<int>(cinfo->output_height))) {
        FailTooLarge(job, needed);
    }
    ReadScanlines(job);
    // The rest of the file (trailing markers) is of no interest; destroying aborts the decoding.
    jpeg_destroy_decompress(cinfo);
    return true;
}

// The picture's size as displayed: sides swapped for the orientations that turn it by 90 degrees.
Picture SizedPicture(unsigned width, unsigned height, int orientation) {
    Picture picture;
    picture.opened = true;
    const bool swap = OrientationSwapsSides(orientation);
    picture.width = static_cast<int>(swap ? height : width);
    picture.height = static_cast<int>(swap ? width : height);
    return picture;
}
Picture SizedPicture(const Job& job) {
    return SizedPicture(job.natural_width, job.natural_height, job.orientation);
}

// A run measures thousands of pictures one after the other on each of its threads. Each thread's
// job (64 KB) and decompressor are made once and set back between pictures, which reads the same
// headers the same way: jpeg_abort_decompress keeps only what the library allocated for good, and
// reading the headers sets every parameter anew.
struct MeasuringJob {
    std::unique_ptr<Job> job = std::make_unique_for_overwrite<Job>();
    bool created = false; // the decompressor exists
    MeasuringJob() = default;
    MeasuringJob(const MeasuringJob&) = delete;
    MeasuringJob& operator=(const MeasuringJob&) = delete;
    ~MeasuringJob() {
        if (created) {
            jpeg_destroy_decompress(&job->cinfo);
        }
    }

    // The job for the next picture, as a new one would start.
    Job* For(PictureSource& source, int box) {
        Job* next = job.get();
        next->source = &source;
        next->box = box;
        next->measure_only = true;
        next->need_more = false;
        next->input = {};
        next->input_seen = false;
        next->progress = {};
        next->reading_header = true;
        next->warnings = 0;
        next->orientation = 1;
        next->exif_seen = false;
        next->collect_profile = false;
        next->natural_width = 0;
        next->natural_height = 0;
        next->cmyk = false;
        next->message[0] = '\0';
        return next;
    }
};

// RunJpeg for measuring with a held job: the decompressor is made on the first call and kept.
bool MeasureHeaders(MeasuringJob& held, Job* job) noexcept {
    j_decompress_ptr cinfo = &job->cinfo;
    jpeg::UseErrorManager(job);
    if (setjmp(job->error.jump)) {
        if (held.created) {
            jpeg_abort_decompress(cinfo);
        } else {
            jpeg_destroy_decompress(cinfo);
        }
        return false;
    }
    if (!held.created) {
        jpeg_create_decompress(cinfo);
        held.created = true;
        cinfo->mem->max_memory_to_use = static_cast<long>(picture_limits::kMemoryBudget);
    }
    ReadUpToPixels(job);
    jpeg_abort_decompress(cinfo);
    return true;
}

} // namespace

bool MeasureJpeg(PictureSource& source, int box, Picture& picture) {
    // Most pictures have plain headers in the bytes read first; the library reads the others.
    JpegHeaders headers;
    if (source.Fill() && ScanJpegHeaders(source.next(), source.available(), headers)) {
        picture = SizedPicture(headers.width, headers.height, headers.orientation);
        return true;
    }
    return MeasureJpegByLibrary(source, box, picture);
}

bool MeasureJpegByLibrary(PictureSource& source, int box, Picture& picture) {
    if (!source.Fill() && source.needs_more()) {
        return false;
    }
    thread_local MeasuringJob measuring;
    Job* job = measuring.For(source, box);
    if (!MeasureHeaders(measuring, job)) {
        if (job->need_more) {
            return false;
        }
        throw DecodeError(job->message);
    }
    picture = SizedPicture(*job);
    return true;
}

std::string ReadJpegColourProfile(PictureSource& source, int box) {
    auto job = std::make_unique_for_overwrite<Job>();
    job->source = &source;
    job->box = box;
    job->measure_only = true;
    job->collect_profile = true;
    job->profile.resize(kMaxProfile);
    if (!RunJpeg(job.get())) {
        throw DecodeError(job->message);
    }
    if (job->profile_broken || job->profile_chunks == 0 || job->profile_chunks != job->profile_chunk_count) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(job->profile.data()), job->profile_size);
}

Picture DecodeJpeg(PictureSource& source, int box) {
    auto job = std::make_unique_for_overwrite<Job>();
    job->source = &source;
    job->box = box;
    if (!RunJpeg(job.get())) {
        throw DecodeError(job->message);
    }
    Picture picture = SizedPicture(*job);
    if (!ApplyOrientation(job->image, job->orientation)) {
        throw DecodeError("Für das Drehen des JPEG-Bildes reicht der Speicher nicht.");
    }
    picture.image = std::move(job->image);
    return picture;
}

} // namespace qlm

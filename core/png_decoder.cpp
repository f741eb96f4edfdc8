// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/png_decoder.h"

#include "core/picture_limits.h"
#include "core/picture_reducer.h"
#include "core/picture_source.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include <png.h>

namespace qlm {
namespace {

// Ancillary chunks (texts, ICC profiles) may not inflate to more than this.
constexpr png_alloc_size_t kMaxChunkBytes = 8'000'000;
constexpr png_uint_32 kMaxSide = 1'000'000;

// Everything the decoding needs, kept in the frame of DecodePng, so that the function that calls
// setjmp holds nothing with a destructor.
struct PngJob {
    PictureSource* source = nullptr;
    int box = 0;
    bool measure_only = false;    // stop after the checks of the headers, before any pixel
    bool collect_profile = false; // keep the ICC profile in `profile`
    bool need_more = false;       // the source held only the beginning of the file, the headers go on
    int width = 0;
    int height = 0;
    int factor = 1;
    char message[512] = {};
    Image image;
    std::string profile;
    std::vector<std::uint8_t> rows; // one row
    PictureReducer reducer;

    // Sets up the buffers for a width x height picture. False when memory is short.
    bool Prepare(bool interlaced) noexcept {
        try {
            const std::size_t stride = static_cast<std::size_t>(width) * 4;
            if (factor == 1) {
                image.width = width;
                image.height = height;
                image.rgba.resize(stride * height);
                return true;
            }
            rows.resize(stride);
        } catch (const std::bad_alloc&) {
            return false;
        }
        // The passes of an interlaced picture go straight into the reduced picture's sums.
        return interlaced ? reducer.StartScattered(width, height, factor, &image)
                          : reducer.Start(width, height, factor, &image);
    }
};

void SetMessage(PngJob* job, const char* text) {
    std::snprintf(job->message, sizeof job->message,
                  "Das PNG-Bild ist beschädigt oder wird nicht unterstützt: %s", text);
}

[[noreturn]] void OnError(png_structp png, png_const_charp text) {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    if (job->message[0] == '\0') {
        SetMessage(job, text);
    }
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {
    // Warnings concern ancillary data that libpng skips; the picture itself is fine.
}

[[noreturn]] void FailWith(png_structp png, PngJob* job, const char* text) {
    std::snprintf(job->message, sizeof job->message, "%s", text);
    png_longjmp(png, 1);
}

void ReadData(png_structp png, png_bytep out, size_t count) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (job->source->Read(out, count) == count) {
        return;
    }
    if (job->source->failed()) {
        FailWith(png, job, job->source->failure().c_str());
    }
    job->need_more = job->source->needs_more();
    png_error(png, "Die Datei endet vorzeitig.");
}

// The steps of RunPng. Each runs under its setjmp and may end the run through png_longjmp, so none
// of them holds anything with a destructor.

// What the header chunk tells of the picture.
struct PngHeader {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bit_depth = 0;
    int color_type = 0;
    bool interlaced = false;
};

// Reads the chunks before the picture data, refuses a picture with too many pixels and chooses
// the reduction for the box.
PngHeader ReadHeader(png_structp png, png_infop info, PngJob* job) {
    png_set_read_fn(png, job, ReadData);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_set_chunk_cache_max(png, 1000);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_read_info(png, info);

    PngHeader header;
    header.width = png_get_image_width(png, info);
    header.height = png_get_image_height(png, info);
    header.bit_depth = png_get_bit_depth(png, info);
    header.color_type = png_get_color_type(png, info);
    header.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    if (std::uint64_t{header.width} * header.height > picture_limits::kMaxPixels) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "Das PNG-Bild ist zu groß: %u x %u Pixel, gelesen werden höchstens %llu Megapixel.",
                      static_cast<unsigned>(header.width), static_cast<unsigned>(header.height),
                      static_cast<unsigned long long>(picture_limits::kMaxPixels / 1'000'000));
        FailWith(png, job, text);
    }
    job->width = static_cast<int>(header.width);
    job->height = static_cast<int>(header.height);
    job->factor = picture_limits::ReductionFactor(job->width, job->height, job->box);
    return header;
}

// Refuses a picture whose decoding needs more memory than the budget.
void CheckMemory(png_structp png, PngJob* job, const PngHeader& header) {
    // libpng's own row buffers hold up to 8 bytes a pixel (16-bit RGBA), twice.
    const std::uint64_t stride = std::uint64_t{header.width} * 4;
    const std::uint64_t reduced = std::uint64_t(picture_limits::ReducedSide(job->width, job->factor)) *
                                  picture_limits::ReducedSide(job->height, job->factor) * 4;
    std::uint64_t needed = std::uint64_t{header.width} * 16 + reduced;
    if (job->factor > 1) {
        // One row, and the reduced picture's sums: one row of them, or all of them when interlaced.
        needed += stride + (header.interlaced ? reduced * 8 : reduced * 2);
    }
    if (needed > picture_limits::kMemoryBudget) {
        char text[256];
        std::snprintf(
            text, sizeof text,
            "Das PNG-Bild ist zu groß: %u x %u Pixel bräuchten zum Lesen etwa %llu MB Speicher, "
            "erlaubt sind %llu MB.",
            static_cast<unsigned>(header.width), static_cast<unsigned>(header.height),
            static_cast<unsigned long long>(picture_limits::Megabytes(needed)),
            static_cast<unsigned long long>(picture_limits::Megabytes(picture_limits::kMemoryBudget)));
        FailWith(png, job, text);
    }
}

// Makes every colour type and bit depth come out as 8-bit RGBA and sets up the job's buffers for
// it. Gives the number of passes to read.
int AskForRgba(png_structp png, png_infop info, PngJob* job, const PngHeader& header) {
    const int color_type = header.color_type;
    if (color_type == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
    }
    if (color_type == PNG_COLOR_TYPE_GRAY && header.bit_depth < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (has_trns) {
        png_set_tRNS_to_alpha(png);
    }
    if (header.bit_depth == 16) {
        png_set_scale_16(png);
    }
    if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    if ((color_type & PNG_COLOR_MASK_ALPHA) == 0 && !has_trns) {
        png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    }
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::uint64_t{header.width} * 4) {
        FailWith(png, job, "Das PNG-Bild lässt sich nicht in RGBA umwandeln.");
    }
    if (!job->Prepare(header.interlaced)) {
        FailWith(png, job, "Für das PNG-Bild reicht der Speicher nicht.");
    }
    return passes;
}

// Reads the passes of an interlaced picture into the reduced picture's sums.
void ReadScatteredRows(png_structp png, PngJob* job, png_uint_32 height, int passes) {
    // Adam7: where each pass's pixels lie. libpng puts a pass's pixels of row y at their places
    // in the row and leaves the others alone; rows outside the pass are not touched.
    static constexpr int kXStart[7] = {0, 4, 0, 2, 0, 1, 0};
    static constexpr int kXStep[7] = {8, 8, 4, 4, 2, 2, 1};
    static constexpr int kYStart[7] = {0, 0, 4, 0, 2, 0, 1};
    static constexpr int kYStep[7] = {8, 8, 8, 4, 4, 2, 2};
    for (int pass = 0; pass < passes && pass < 7; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, job->rows.data(), nullptr);
            const int row = static_cast<int>(y);
            if (row >= kYStart[pass] && (row - kYStart[pass]) % kYStep[pass] == 0) {
                job->reducer.AddPixels(row, job->rows.data(), kXStart[pass], kXStep[pass]);
            }
        }
    }
    job->reducer.FinishScattered();
}

// Reads every row, whole or reduced, and the chunks up to IEND.
void ReadRows(png_structp png, PngJob* job, const PngHeader& header, int passes) {
    const std::uint64_t stride = std::uint64_t{header.width} * 4;
    if (job->factor == 1) {
        for (int pass = 0; pass < passes; ++pass) {
            for (png_uint_32 y = 0; y < header.height; ++y) {
                png_read_row(png, job->image.rgba.data() + y * stride, nullptr);
            }
        }
    } else if (header.interlaced) {
        ReadScatteredRows(png, job, header.height, passes);
    } else {
        for (png_uint_32 y = 0; y < header.height; ++y) {
            png_read_row(png, job->rows.data(), nullptr);
            job->reducer.AddRow(job->rows.data());
        }
    }
    // Reading up to IEND checks the checksum of the last image data chunk.
    png_read_end(png, nullptr);
}

// Copies the ICC profile (iCCP) libpng has inflated and checked; a damaged one it has dropped.
void KeepProfile(png_structp png, png_infop info, PngJob* job) {
    png_charp name = nullptr;
    int compression = 0;
    png_bytep data = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &data, &length) != PNG_INFO_iCCP || data == nullptr)
        return;
    bool kept = true;
    try {
        job->profile.assign(reinterpret_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        kept = false;
    }
    if (!kept) {
        FailWith(png, job, "Für das Farbprofil des PNG-Bildes reicht der Speicher nicht.");
    }
}

// Runs libpng. Holds no C++ objects, so that a longjmp from the library leaves nothing behind;
// on every error path the read and info structs are destroyed here.
bool RunPng(PngJob* job) noexcept {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job, OnError, OnWarning);
    if (png == nullptr) {
        SetMessage(job, "libpng kann nicht gestartet werden.");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        SetMessage(job, "libpng kann nicht gestartet werden.");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    const PngHeader header = ReadHeader(png, info, job);
    CheckMemory(png, job, header);
    if (job->collect_profile) {
        KeepProfile(png, info, job);
    }
    if (!job->measure_only) {
        const int passes = AskForRgba(png, info, job, header);
        ReadRows(png, job, header, passes);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// Refuses a source without a single byte before libpng sees it.
void CheckNotEmpty(PictureSource& source) {
    if (!source.Fill()) {
        throw DecodeError(source.failed() ? source.failure() : "Die PNG-Datei ist leer.");
    }
}

} // namespace

bool MeasurePng(PictureSource& source, int box, Picture& picture) {
    if (!source.Fill() && source.needs_more()) {
        return false;
    }
    CheckNotEmpty(source);
    PngJob job;
    job.source = &source;
    job.box = box;
    job.measure_only = true;
    if (!RunPng(&job)) {
        if (job.need_more) {
            return false;
        }
        throw DecodeError(job.message);
    }
    picture = Picture{};
    picture.opened = true;
    picture.width = job.width;
    picture.height = job.height;
    return true;
}

std::string ReadPngColourProfile(PictureSource& source, int box) {
    CheckNotEmpty(source);
    PngJob job;
    job.source = &source;
    job.box = box;
    job.measure_only = true;
    job.collect_profile = true;
    if (!RunPng(&job)) {
        throw DecodeError(job.message);
    }
    return std::move(job.profile);
}

Picture DecodePng(PictureSource& source, int box) {
    CheckNotEmpty(source);
    PngJob job;
    job.source = &source;
    job.box = box;
    if (!RunPng(&job)) {
        throw DecodeError(job.message);
    }
    Picture picture;
    picture.opened = true;
    picture.width = job.width;
    picture.height = job.height;
    picture.image = std::move(job.image);
    return picture;
}

} // namespace qlm

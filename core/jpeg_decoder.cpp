// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/jpeg_decoder.h"

#include "core/exif_orientation.h"
#include "core/picture_limits.h"
#include "core/picture_source.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <jpeglib.h>
// jerror.h after jpeglib.h: it needs its types
#include <jerror.h>

namespace qlm {
namespace {

// A damaged scan produces a warning per damaged spot; a file with more than this many is treated
// as broken rather than spending time on it.
constexpr int kMaxWarnings = 100;
// Progressive files have about ten scans; thousands of tiny scans would each pass over the whole
// picture.
constexpr int kMaxScans = 100;
// Rows handed to the library per call.
constexpr int kRowsPerCall = 16;

struct JpegJob;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    JpegJob* job;
};

// Everything the decoding needs, kept outside the function that calls setjmp, so that it holds
// nothing with a destructor.
struct JpegJob {
    PictureSource* source = nullptr;
    int box = 0;
    // Only the headers are read: the checks before the pixels are made, no pixel is decoded.
    bool measure_only = false;
    // The source held only the beginning of the file, and the headers went on beyond it.
    bool need_more = false;
    jpeg_decompress_struct cinfo{};
    ErrorManager error{};
    jpeg_source_mgr input{};
    bool input_seen = false; // the source gave at least one byte
    jpeg_progress_mgr progress{};
    bool reading_header = true;
    int warnings = 0;
    int orientation = 1;
    bool exif_seen = false;
    // The APP1 segment being read. Left unset when the job is made (it is written before it is
    // read): clearing 64 KB for every picture cost more than reading a small picture's headers.
    std::uint8_t app1[65536];
    // The colour profile's APP2 chunks, joined, when asked for: room for kMaxProfile bytes is made
    // before the library runs, so that collecting allocates nothing.
    bool collect_profile = false;
    std::vector<std::uint8_t> profile;
    std::size_t profile_size = 0;
    int profile_chunks = 0;      // chunks taken, in order
    int profile_chunk_count = 0; // as the chunks announce
    bool profile_broken = false;
    unsigned natural_width = 0;
    unsigned natural_height = 0;
    bool cmyk = false;
    char message[JMSG_LENGTH_MAX + 256] = {};
    Image image;
    std::vector<std::uint8_t> cmyk_rows;

    bool Allocate(int width, int height) noexcept {
        try {
            image.width = width;
            image.height = height;
            image.rgba.resize(static_cast<std::size_t>(width) * height * 4);
            if (cmyk) {
                cmyk_rows.resize(static_cast<std::size_t>(width) * 4 * kRowsPerCall);
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
};

[[noreturn]] void Fail(JpegJob* job) {
    std::longjmp(job->error.jump, 1);
}

void LibraryText(j_common_ptr cinfo, char* text) {
    (*cinfo->err->format_message)(cinfo, text);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    JpegJob* job = reinterpret_cast<ErrorManager*>(cinfo->err)->job;
    char text[JMSG_LENGTH_MAX] = {};
    LibraryText(cinfo, text);
    if (cinfo->err->msg_code == JERR_BAD_PRECISION) {
        std::snprintf(job->message, sizeof job->message,
                      "Das JPEG-Bild hat %d Bit je Farbwert; gelesen werden nur JPEG-Bilder mit 8 Bit (%s).",
                      cinfo->err->msg_parm.i[0], text);
    } else {
        std::snprintf(job->message, sizeof job->message,
                      "Das JPEG-Bild ist beschädigt oder wird nicht unterstützt: %s", text);
    }
    Fail(job);
}

void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) {
        return; // trace messages
    }
    JpegJob* job = reinterpret_cast<ErrorManager*>(cinfo->err)->job;
    char text[JMSG_LENGTH_MAX] = {};
    LibraryText(cinfo, text);
    if (job->reading_header && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        if (job->source->needs_more()) {
            job->need_more = true;
            Fail(job);
        }
        std::snprintf(job->message, sizeof job->message,
                      "Die JPEG-Datei endet vor den Bilddaten; sie ist unvollständig (%s).", text);
        Fail(job);
    }
    // Damage inside the picture data: the library goes on, and what it decodes is shown.
    ++cinfo->err->num_warnings;
    if (++job->warnings > kMaxWarnings) {
        std::snprintf(job->message, sizeof job->message,
                      "Das JPEG-Bild ist zu stark beschädigt (mehr als %d Fehler, zuletzt: %s).",
                      kMaxWarnings, text);
        Fail(job);
    }
}

void MonitorProgress(j_common_ptr cinfo) {
    const auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > kMaxScans) {
        JpegJob* job = reinterpret_cast<ErrorManager*>(cinfo->err)->job;
        std::snprintf(job->message, sizeof job->message,
                      "Das JPEG-Bild besteht aus mehr als %d Teilbildern (Scans) und wird nicht gelesen.",
                      kMaxScans);
        Fail(job);
    }
}

[[noreturn]] void FailTooLarge(JpegJob* job, std::uint64_t needed) {
    std::snprintf(job->message, sizeof job->message,
                  "Das JPEG-Bild ist zu groß: %u x %u Pixel bräuchten zum Lesen etwa %llu MB Speicher, "
                  "erlaubt sind %llu MB.",
                  static_cast<unsigned>(job->cinfo.image_width),
                  static_cast<unsigned>(job->cinfo.image_height),
                  static_cast<unsigned long long>(picture_limits::Megabytes(needed)),
                  static_cast<unsigned long long>(picture_limits::Megabytes(picture_limits::kMemoryBudget)));
    Fail(job);
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

// The library's input: the job's source, piece by piece. At the end of the file it gets a warning
// and an end marker, as from the library's own sources, so that a picture cut short shows what it
// has; a file that cannot be read on ends the decoding with the reason.
void InitInput(j_decompress_ptr) {}
void TermInput(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
    JpegJob* job = reinterpret_cast<ErrorManager*>(cinfo->err)->job;
    PictureSource& source = *job->source;
    if (source.Fill()) {
        cinfo->src->next_input_byte = source.next();
        cinfo->src->bytes_in_buffer = source.available();
        source.Consume(source.available());
        job->input_seen = true;
        return TRUE;
    }
    if (source.failed()) {
        std::snprintf(job->message, sizeof job->message, "%s", source.failure().c_str());
        Fail(job);
    }
    if (!job->input_seen) {
        ERREXIT(cinfo, JERR_INPUT_EMPTY);
    }
    WARNMS(cinfo, JWRN_JPEG_EOF);
    static const JOCTET kEndMarker[2] = {0xFF, JPEG_EOI};
    cinfo->src->next_input_byte = kEndMarker;
    cinfo->src->bytes_in_buffer = sizeof kEndMarker;
    return TRUE;
}

// Segments the library does not want are passed over in the file without being read.
void SkipInput(j_decompress_ptr cinfo, long count) {
    if (count <= 0) {
        return;
    }
    jpeg_source_mgr* input = cinfo->src;
    const auto wanted = static_cast<std::size_t>(count);
    if (wanted <= input->bytes_in_buffer) {
        input->next_input_byte += wanted;
        input->bytes_in_buffer -= wanted;
        return;
    }
    JpegJob* job = reinterpret_cast<ErrorManager*>(cinfo->err)->job;
    job->source->Skip(wanted - input->bytes_in_buffer);
    input->bytes_in_buffer = 0;
}

void UseSource(JpegJob* job) {
    job->input.init_source = InitInput;
    job->input.fill_input_buffer = FillInput;
    job->input.skip_input_data = SkipInput;
    job->input.resync_to_restart = jpeg_resync_to_restart;
    job->input.term_source = TermInput;
    job->cinfo.src = &job->input;
}

// Reads the bytes of the marker segment being processed from the source; past the end the source
// supplies an end marker and a warning, which in the headers stops the decoding.
void ReadSegmentBytes(j_decompress_ptr cinfo, std::uint8_t* out, std::size_t count) {
    jpeg_source_mgr* source = cinfo->src;
    while (count > 0) {
        if (source->bytes_in_buffer == 0) {
            (*source->fill_input_buffer)(cinfo);
        }
        const std::size_t n = source->bytes_in_buffer < count ? source->bytes_in_buffer : count;
        if (out != nullptr) {
            std::memcpy(out, source->next_input_byte, n);
            out += n;
        }
        source->next_input_byte += n;
        source->bytes_in_buffer -= n;
        count -= n;
    }
}

// Takes the orientation from the first Exif APP1 segment of the headers; one that only follows
// between the scans of the picture data does not count, so that reading the headers alone gives
// the same orientation as decoding the whole picture. A segment is at most 64 KB and is read
// into the job's buffer, so that a file made of thousands of APP1 segments (which the library's
// marker saving would all keep) costs no memory.
boolean ReadApp1(j_decompress_ptr cinfo) {
    JpegJob* job = reinterpret_cast<ErrorManager*>(cinfo->err)->job;
    std::uint8_t length_bytes[2];
    ReadSegmentBytes(cinfo, length_bytes, 2);
    const unsigned length = static_cast<unsigned>(length_bytes[0] << 8 | length_bytes[1]);
    const std::size_t size = length > 2 ? length - 2 : 0;
    if (job->exif_seen || !job->reading_header) {
        ReadSegmentBytes(cinfo, nullptr, size);
        return TRUE;
    }
    ReadSegmentBytes(cinfo, job->app1, size);
    static constexpr std::uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
    if (size >= sizeof kExif && std::memcmp(job->app1, kExif, sizeof kExif) == 0) {
        job->exif_seen = true;
        job->orientation = ExifOrientation(job->app1, size);
    }
    return TRUE;
}

constexpr std::size_t kMaxProfile = std::size_t{1} << 20;

// Joins the chunks of an ICC profile ("ICC_PROFILE\0", its number from 1, the number of chunks,
// the data). Chunks out of order, of different counts or beyond kMaxProfile make the profile
// unusable; it is then left out rather than guessed.
boolean ReadApp2(j_decompress_ptr cinfo) {
    JpegJob* job = reinterpret_cast<ErrorManager*>(cinfo->err)->job;
    std::uint8_t length_bytes[2];
    ReadSegmentBytes(cinfo, length_bytes, 2);
    const unsigned length = static_cast<unsigned>(length_bytes[0] << 8 | length_bytes[1]);
    const std::size_t size = length > 2 ? length - 2 : 0;
    ReadSegmentBytes(cinfo, job->app1, size);
    static constexpr std::uint8_t kIcc[] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
    constexpr std::size_t kHeader = sizeof kIcc + 2;
    if (!job->collect_profile || !job->reading_header || size < kHeader ||
        std::memcmp(job->app1, kIcc, sizeof kIcc) != 0)
        return TRUE;
    const int number = job->app1[sizeof kIcc];
    const int count = job->app1[sizeof kIcc + 1];
    if (number != job->profile_chunks + 1 || (job->profile_chunks > 0 && count != job->profile_chunk_count) ||
        job->profile_size + (size - kHeader) > job->profile.size()) {
        job->profile_broken = true;
        return TRUE;
    }
    std::memcpy(job->profile.data() + job->profile_size, job->app1 + kHeader, size - kHeader);
    job->profile_size += size - kHeader;
    job->profile_chunks = number;
    job->profile_chunk_count = count;
    return TRUE;
}

// Runs libjpeg. Holds no C++ objects, so that a longjmp from the library leaves nothing behind;
// on every error path the decompressor is destroyed here.
bool RunJpeg(JpegJob* job) noexcept {
    j_decompress_ptr cinfo = &job->cinfo;
    cinfo->err = jpeg_std_error(&job->error.pub);
    job->error.pub.error_exit = ErrorExit;
    job->error.pub.emit_message = EmitMessage;
    job->error.job = job;
    if (setjmp(job->error.jump)) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = static_cast<long>(picture_limits::kMemoryBudget);
    job->progress.progress_monitor = MonitorProgress;
    cinfo->progress = &job->progress;
    UseSource(job);
    jpeg_set_marker_processor(cinfo, JPEG_APP0 + 1, ReadApp1);
    if (job->collect_profile) {
        jpeg_set_marker_processor(cinfo, JPEG_APP0 + 2, ReadApp2);
    }
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
        Fail(job);
    }
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
        Fail(job);
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
    const std::uint64_t output_bytes =
        std::uint64_t{cinfo->output_width} * cinfo->output_height * 4 +
        (job->cmyk ? std::uint64_t{cinfo->output_width} * 4 * kRowsPerCall : 0);
    const std::uint64_t needed = output_bytes + CoefficientBytes(cinfo);
    if (needed > picture_limits::kMemoryBudget) {
        FailTooLarge(job, needed);
    }
    if (job->measure_only) {
        jpeg_destroy_decompress(cinfo);
        return true;
    }
    if (!job->Allocate(static_cast<int>(cinfo->output_width), static_cast<int>(cinfo->output_height))) {
        FailTooLarge(job, needed);
    }

    jpeg_start_decompress(cinfo);
    const std::size_t stride = std::size_t{cinfo->output_width} * 4;
    JSAMPROW rows[kRowsPerCall];
    while (cinfo->output_scanline < cinfo->output_height) {
        const unsigned first = cinfo->output_scanline;
        unsigned count = cinfo->output_height - first;
        if (count > kRowsPerCall) {
            count = kRowsPerCall;
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
    // The rest of the file (trailing markers) is of no interest; destroying aborts the decoding.
    jpeg_destroy_decompress(cinfo);
    return true;
}

} // namespace

namespace {

// The picture's size as displayed: sides swapped for the orientations that turn it by 90 degrees.
Picture SizedPicture(const JpegJob& job) {
    Picture picture;
    picture.opened = true;
    const bool swap = OrientationSwapsSides(job.orientation);
    picture.width = static_cast<int>(swap ? job.natural_height : job.natural_width);
    picture.height = static_cast<int>(swap ? job.natural_width : job.natural_height);
    return picture;
}

} // namespace

bool MeasureJpeg(PictureSource& source, int box, Picture& picture) {
    if (!source.Fill() && source.needs_more()) {
        return false;
    }
    auto job = std::make_unique_for_overwrite<JpegJob>();
    job->source = &source;
    job->box = box;
    job->measure_only = true;
    if (!RunJpeg(job.get())) {
        if (job->need_more) {
            return false;
        }
        throw DecodeError(job->message);
    }
    picture = SizedPicture(*job);
    return true;
}

std::string ReadJpegColourProfile(PictureSource& source) {
    auto job = std::make_unique_for_overwrite<JpegJob>();
    job->source = &source;
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
    auto job = std::make_unique_for_overwrite<JpegJob>();
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

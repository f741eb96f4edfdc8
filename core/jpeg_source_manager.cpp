// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/jpeg_source_manager.h"

#include "core/exif_orientation.h"
#include "core/picture_source.h"

#include <cstdio>
#include <cstring>

// jerror.h after jpeglib.h: it needs its types
#include <jerror.h>

namespace qlm::jpeg {
namespace {

// The library's input: the job's source, piece by piece. At the end of the file it gets a warning
// and an end marker, as from the library's own sources, so that a picture cut short shows what it
// has; a file that cannot be read on ends the decoding with the reason.
void InitInput(j_decompress_ptr) {}
void TermInput(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
    Job* job = JobOf(cinfo);
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
    JobOf(cinfo)->source->Skip(wanted - input->bytes_in_buffer);
    input->bytes_in_buffer = 0;
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

// The length of the segment's payload, from the two bytes that start it.
std::size_t ReadSegmentLength(j_decompress_ptr cinfo) {
    std::uint8_t length_bytes[2];
    ReadSegmentBytes(cinfo, length_bytes, 2);
    const unsigned length = static_cast<unsigned>(length_bytes[0] << 8 | length_bytes[1]);
    return length > 2 ? length - 2 : 0;
}

// Takes the orientation from the first Exif APP1 segment of the headers; one that only follows
// between the scans of the picture data does not count, so that reading the headers alone gives
// the same orientation as decoding the whole picture. A segment is at most 64 KB and is read
// into the job's buffer, so that a file made of thousands of APP1 segments (which the library's
// marker saving would all keep) costs no memory.
boolean ReadApp1(j_decompress_ptr cinfo) {
    Job* job = JobOf(cinfo);
    const std::size_t size = ReadSegmentLength(cinfo);
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

// Joins the chunks of an ICC profile ("ICC_PROFILE\0", its number from 1, the number of chunks,
// the data). Chunks out of order, of different counts or beyond the room made for the profile make
// it unusable; it is then left out rather than guessed.
boolean ReadApp2(j_decompress_ptr cinfo) {
    Job* job = JobOf(cinfo);
    const std::size_t size = ReadSegmentLength(cinfo);
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

} // namespace

void UseSource(Job* job) {
    job->input.init_source = InitInput;
    job->input.fill_input_buffer = FillInput;
    job->input.skip_input_data = SkipInput;
    job->input.resync_to_restart = jpeg_resync_to_restart;
    job->input.term_source = TermInput;
    job->cinfo.src = &job->input;
}

void UseMarkerReaders(Job* job) {
    jpeg_set_marker_processor(&job->cinfo, JPEG_APP0 + 1, ReadApp1);
    if (job->collect_profile) {
        jpeg_set_marker_processor(&job->cinfo, JPEG_APP0 + 2, ReadApp2);
    }
}

} // namespace qlm::jpeg

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The state of one run of libjpeg, shared by the JPEG decoder's parts: the error manager, the
// source manager with its marker readers, and the decoder's steps. It lives outside the function
// that calls setjmp, so that function holds nothing with a destructor; the library's callbacks
// find it through the error manager.

#include "core/picture.h"

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

// jpeglib.h after cstdio and cstddef: it needs FILE and size_t
#include <jpeglib.h>

namespace qlm {
class PictureSource;
}

namespace qlm::jpeg {

// Rows handed to the library per call.
inline constexpr int kRowsPerCall = 16;

struct Job;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    Job* job;
};

struct Job {
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
    // The colour profile's APP2 chunks, joined, when asked for: room for the largest profile taken
    // is made before the library runs, so that collecting allocates nothing.
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

// The job of the library call that invoked a callback.
inline Job* JobOf(j_common_ptr cinfo) {
    return reinterpret_cast<ErrorManager*>(cinfo->err)->job;
}
inline Job* JobOf(j_decompress_ptr cinfo) {
    return reinterpret_cast<ErrorManager*>(cinfo->err)->job;
}

// Ends the run: back to the setjmp of the function that runs the library, with job->message set.
[[noreturn]] void Fail(Job* job);

} // namespace qlm::jpeg

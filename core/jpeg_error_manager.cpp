// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/jpeg_error_manager.h"

#include "core/picture_source.h"

#include <csetjmp>
#include <cstdio>

// jerror.h after jpeglib.h: it needs its types
#include <jerror.h>

namespace qlm::jpeg {
namespace {

// A damaged scan produces a warning per damaged spot; a file with more than this many is treated
// as broken rather than spending time on it.
constexpr int kMaxWarnings = 100;
// Progressive files have about ten scans; thousands of tiny scans would each pass over the whole
// picture.
constexpr int kMaxScans = 100;

void LibraryText(j_common_ptr cinfo, char* text) {
    (*cinfo->err->format_message)(cinfo, text);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    Job* job = JobOf(cinfo);
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
    Job* job = JobOf(cinfo);
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
        Job* job = JobOf(cinfo);
        std::snprintf(job->message, sizeof job->message,
                      "Das JPEG-Bild besteht aus mehr als %d Teilbildern (Scans) und wird nicht gelesen.",
                      kMaxScans);
        Fail(job);
    }
}

} // namespace

[[noreturn]] void Fail(Job* job) {
    std::longjmp(job->error.jump, 1);
}

void UseErrorManager(Job* job) {
    job->cinfo.err = jpeg_std_error(&job->error.pub);
    job->error.pub.error_exit = ErrorExit;
    job->error.pub.emit_message = EmitMessage;
    job->error.job = job;
}

void WatchProgress(Job* job) {
    job->progress.progress_monitor = MonitorProgress;
    job->cinfo.progress = &job->progress;
}

} // namespace qlm::jpeg

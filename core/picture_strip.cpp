// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/metadata_strip.h"

#include "core/picture.h"
#include "core/strip_formats.h"

namespace qlm {

void RefuseToStrip(const std::string& reason) {
    throw DecodeError("Die Metadaten des Bildes können nicht sicher entfernt werden: " + reason);
}

void StripForPublishing(std::string_view bytes, std::string& out) {
    if (bytes.starts_with("\xFF\xD8")) {
        StripJpeg(bytes, out);
    } else if (bytes.starts_with("\x89PNG\r\n\x1A\n")) {
        StripPng(bytes, out);
    } else if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) {
        StripGif(bytes, out);
    } else {
        RefuseToStrip("Die Datei ist kein JPEG-, PNG- oder GIF-Bild.");
    }
}

std::string StripForPublishing(std::string_view bytes) {
    std::string out;
    StripForPublishing(bytes, out);
    return out;
}

} // namespace qlm

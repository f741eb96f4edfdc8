// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/metadata_strip.h"

#include "core/picture.h"
#include "core/strip_formats.h"

namespace qlm {

void RefuseToStrip(const std::string& reason) {
    throw DecodeError("Die Metadaten des Bildes können nicht sicher entfernt werden: " + reason);
}

std::string StripForPublishing(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xD8")) {
        return StripJpeg(bytes);
    }
    if (bytes.starts_with("\x89PNG\r\n\x1A\n")) {
        return StripPng(bytes);
    }
    if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) {
        return StripGif(bytes);
    }
    RefuseToStrip("Die Datei ist kein JPEG-, PNG- oder GIF-Bild.");
}

} // namespace qlm

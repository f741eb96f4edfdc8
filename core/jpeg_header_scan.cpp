// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/jpeg_header_scan.h"

#include "core/exif_orientation.h"
#include "core/picture_limits.h"

#include <cstring>

namespace qlm {
namespace {

// The largest side libjpeg-turbo reads, and the most components it takes in one scan.
constexpr unsigned kMaxSide = 65500;
constexpr int kMaxScanComponents = 4;

struct Component {
    int id = 0;
    int h_samp = 0;
    int v_samp = 0;
};

// What the headers said, as far as the decoder's checks and the measuring need it.
struct Frame {
    bool seen = false;
    bool progressive = false;
    unsigned width = 0;
    unsigned height = 0;
    int count = 0; // components
    Component components[4];
    int scan_count = 0; // components of the first scan
    bool jfif = false;
    bool adobe = false;
    int adobe_transform = 0;
    bool exif = false;
    int orientation = 1;
};

unsigned Two(const std::uint8_t* p) {
    return static_cast<unsigned>(p[0]) << 8 | p[1];
}

// SOF0, SOF1, SOF2: 8-bit samples, a size within the library's, one, three or four components
// (two, or more than four, have no colour model) with sampling factors 1 to 4, and the length
// that count gives.
bool ReadFrame(const std::uint8_t* s, std::size_t length, bool progressive, Frame& frame) {
    if (frame.seen || length < 6) {
        return false;
    }
    frame.height = Two(s + 1);
    frame.width = Two(s + 3);
    frame.count = s[5];
    if (s[0] != 8 || frame.width == 0 || frame.height == 0 || frame.width > kMaxSide ||
        frame.height > kMaxSide || (frame.count != 1 && frame.count != 3 && frame.count != 4) ||
        length != 6 + 3 * static_cast<std::size_t>(frame.count)) {
        return false;
    }
    for (int c = 0; c < frame.count; ++c) {
        const std::uint8_t* entry = s + 6 + 3 * c;
        Component& component = frame.components[c];
        component.id = entry[0];
        component.h_samp = entry[1] >> 4;
        component.v_samp = entry[1] & 15;
        if (component.h_samp < 1 || component.h_samp > 4 || component.v_samp < 1 || component.v_samp > 4) {
            return false;
        }
    }
    frame.seen = true;
    frame.progressive = progressive;
    return true;
}

// DHT: tables whose counts fit the segment and the library's four slots per class, filling the
// segment exactly.
bool ReadHuffmanTables(const std::uint8_t* s, std::size_t length) {
    std::size_t left = length;
    while (left > 16) {
        int index = s[0];
        std::size_t count = 0;
        for (int i = 1; i <= 16; ++i) {
            count += s[i];
        }
        left -= 17;
        if (count > 256 || count > left) {
            return false;
        }
        if (index & 0x10) {
            index -= 0x10;
        }
        if (index >= 4) {
            return false;
        }
        s += 17 + count;
        left -= count;
    }
    return left == 0;
}

// DQT: tables numbered 0 to 3, of 8 or 16 bits, filling the segment exactly.
bool ReadQuantTables(const std::uint8_t* s, std::size_t length) {
    std::size_t left = length;
    while (left > 0) {
        const std::size_t table = 1 + (s[0] >> 4 ? 128 : 64);
        if ((s[0] & 15) >= 4 || table > left) {
            return false;
        }
        s += table;
        left -= table;
    }
    return true;
}

// SOS after the frame: one to four components, each found among the frame's as the library finds
// it, none twice.
bool ReadScan(const std::uint8_t* s, std::size_t length, Frame& frame) {
    if (!frame.seen || length < 1) {
        return false;
    }
    const int n = s[0];
    if (n < 1 || n > kMaxScanComponents || length != 4 + 2 * static_cast<std::size_t>(n)) {
        return false;
    }
    int taken[kMaxScanComponents] = {-1, -1, -1, -1};
    for (int i = 0; i < n; ++i) {
        const int id = s[1 + 2 * i];
        int found = -1;
        for (int c = 0; c < frame.count && c < kMaxScanComponents; ++c) {
            if (frame.components[c].id == id && taken[c] < 0) {
                found = c;
                break;
            }
        }
        if (found < 0) {
            return false;
        }
        for (int before = 0; before < i; ++before) {
            if (taken[before] == found) {
                return false;
            }
        }
        taken[i] = found;
    }
    frame.scan_count = n;
    return true;
}

// APP0, APP1, APP14 as the decoder reads them: JFIF (version 1 only, others are warned about), the
// first Exif block's orientation, Adobe's colour transform.
bool ReadApplicationSegment(int marker, const std::uint8_t* s, std::size_t length, Frame& frame) {
    if (marker == 0xE0) {
        if (length >= 14 && std::memcmp(s, "JFIF", 5) == 0) {
            frame.jfif = true;
            return s[5] == 1;
        }
    } else if (marker == 0xE1) {
        static constexpr std::uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
        if (!frame.exif && length >= sizeof kExif && std::memcmp(s, kExif, sizeof kExif) == 0) {
            frame.exif = true;
            frame.orientation = ExifOrientation(s, length);
        }
    } else if (marker == 0xEE) {
        if (length >= 12 && std::memcmp(s, "Adobe", 5) == 0) {
            frame.adobe = true;
            frame.adobe_transform = s[11];
        }
    }
    return true;
}

// The colour model the library infers: an Adobe transform it does not know is warned about.
bool KnownColourModel(const Frame& frame) {
    if (frame.count == 3 && !frame.jfif && frame.adobe) {
        return frame.adobe_transform == 0 || frame.adobe_transform == 1;
    }
    if (frame.count == 4 && frame.adobe) {
        return frame.adobe_transform == 0 || frame.adobe_transform == 2;
    }
    return true;
}

std::uint64_t RoundUp(std::uint64_t value, std::uint64_t step) {
    return (value + step - 1) / step * step;
}

// Whether the decoder's memory check passes at any scale: the output at full size, CMYK rows, and
// every coefficient of a picture stored in several scans.
bool WithinMemory(const Frame& frame) {
    const bool cmyk = frame.count == 4;
    std::uint64_t needed =
        std::uint64_t{frame.width} * frame.height * 4 + (cmyk ? std::uint64_t{frame.width} * 4 * 16 : 0);
    if (frame.progressive || frame.scan_count < frame.count) {
        int h_max = 1;
        int v_max = 1;
        for (int c = 0; c < frame.count; ++c) {
            h_max = frame.components[c].h_samp > h_max ? frame.components[c].h_samp : h_max;
            v_max = frame.components[c].v_samp > v_max ? frame.components[c].v_samp : v_max;
        }
        for (int c = 0; c < frame.count; ++c) {
            const Component& component = frame.components[c];
            const std::uint64_t wide = (std::uint64_t{frame.width} * component.h_samp + 8 * h_max - 1) /
                                       (8 * static_cast<std::uint64_t>(h_max));
            const std::uint64_t high = (std::uint64_t{frame.height} * component.v_samp + 8 * v_max - 1) /
                                       (8 * static_cast<std::uint64_t>(v_max));
            needed += RoundUp(wide, component.h_samp) * RoundUp(high, component.v_samp) * 64 * 2;
        }
    }
    return needed <= picture_limits::kMemoryBudget;
}

// A segment before the scan. COM and the APPn the decoder does not read are passed over; any other
// marker is left to the decoder.
bool ReadSegment(int marker, const std::uint8_t* segment, std::size_t length, Frame& frame) {
    switch (marker) {
    case 0xC0:
    case 0xC1:
    case 0xC2:
        return ReadFrame(segment, length, marker == 0xC2, frame);
    case 0xC4:
        return ReadHuffmanTables(segment, length);
    case 0xDB:
        return ReadQuantTables(segment, length);
    case 0xDD:
        return length == 2;
    case 0xFE:
        return true;
    default:
        return marker >= 0xE0 && marker <= 0xEF && ReadApplicationSegment(marker, segment, length, frame);
    }
}

} // namespace

bool ScanJpegHeaders(const std::uint8_t* data, std::size_t size, JpegHeaders& headers) noexcept {
    if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) {
        return false;
    }
    Frame frame;
    std::size_t at = 2;
    for (;;) {
        // A marker right after the segment before; fill bytes (0xFF) are allowed before its code.
        if (at >= size || data[at] != 0xFF) {
            return false;
        }
        while (at < size && data[at] == 0xFF) {
            ++at;
        }
        if (at + 3 > size) {
            return false;
        }
        const int marker = data[at];
        const std::size_t length = Two(data + at + 1);
        if (length < 2 || length > size - at - 1) {
            return false;
        }
        const std::uint8_t* segment = data + at + 3;
        at += 1 + length;
        if (marker == 0xDA) {
            if (!ReadScan(segment, length - 2, frame) || !KnownColourModel(frame) ||
                std::uint64_t{frame.width} * frame.height > picture_limits::kMaxPixels ||
                !WithinMemory(frame)) {
                return false;
            }
            headers.width = frame.width;
            headers.height = frame.height;
            headers.orientation = frame.orientation;
            return true;
        }
        if (!ReadSegment(marker, segment, length - 2, frame)) {
            return false;
        }
    }
}

} // namespace qlm

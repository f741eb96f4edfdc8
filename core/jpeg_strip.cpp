// SPDX-License-Identifier: GPL-3.0-or-later
// The JPEG walk: every segment from SOI to the first scan is read by its marker and length; the
// tables, the frame, JFIF (without its preview), the ICC profile and Adobe's colour segment are
// copied, the Exif block is replaced by a new one with only what is published, and every other
// application segment and comment is left out. From the first scan on, the compressed data is
// copied byte for byte up to EOI, with the tables and scan headers between the scans of a
// progressive picture; comments and application segments there are left out too, and nothing
// after EOI is copied (a second picture, a phone's video or depth data).

#include "core/exif_rebuild.h"
#include "core/strip_formats.h"

#include <cstdint>
#include <cstring>

namespace qlm {
namespace {

enum class JpegFate { Keep, Drop, Exif, Jfif, Refuse };

constexpr int kJpegSos = 0xDA;
constexpr int kJpegEoi = 0xD9;
constexpr std::size_t kJpegMaxSegment = 65535;
constexpr std::string_view kJpegExifSignature{"Exif\0\0", 6};
constexpr std::string_view kJpegJfifSignature{"JFIF\0", 5};
constexpr std::string_view kJpegIccSignature{"ICC_PROFILE\0", 12};
// JFIF's payload up to its preview's size: signature, version, units, density, preview width, height.
constexpr std::size_t kJpegJfifHeader = 14;

// SOFn: the markers C0 to CF other than DHT, the reserved C8 and DAC.
bool JpegIsFrame(int marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

JpegFate JpegApplicationFate(int marker, std::string_view payload) {
    switch (marker) {
    case 0xE0:
        return payload.starts_with(kJpegJfifSignature) && payload.size() >= kJpegJfifHeader ? JpegFate::Jfif
                                                                                            : JpegFate::Drop;
    case 0xE1:
        return payload.starts_with(kJpegExifSignature) ? JpegFate::Exif : JpegFate::Drop;
    case 0xE2:
        return payload.starts_with(kJpegIccSignature) ? JpegFate::Keep : JpegFate::Drop;
    case 0xEE:
        return payload.starts_with("Adobe") ? JpegFate::Keep : JpegFate::Drop;
    default:
        return JpegFate::Drop;
    }
}

// What becomes of a segment with a length. The frame (SOFn) comes before the first scan, the
// number of lines (DNL) only after it; hierarchical and reserved markers are not followed.
JpegFate JpegSegmentFate(int marker, std::string_view payload, bool after_scan) {
    if (marker >= 0xE0 && marker <= 0xEF) {
        return JpegApplicationFate(marker, payload);
    }
    switch (marker) {
    case 0xFE:
        return JpegFate::Drop;
    case 0xC4: // DHT
    case 0xCC: // DAC
    case 0xDB: // DQT
    case 0xDD: // DRI
        return JpegFate::Keep;
    case 0xDC: // DNL
        return after_scan ? JpegFate::Keep : JpegFate::Refuse;
    default:
        break;
    }
    return JpegIsFrame(marker) && !after_scan ? JpegFate::Keep : JpegFate::Refuse;
}

class JpegStripper {
  public:
    JpegStripper(std::string_view bytes, std::string& out) : in_(bytes), out_(out) {}

    void Run() {
        out_.assign("\xFF\xD8");
        at_ = 2;
        for (;;) {
            const int marker = NextMarker();
            if (marker == kJpegEoi) {
                if (!after_scan_) {
                    RefuseToStrip("Das JPEG-Bild endet, bevor seine Bilddaten beginnen.");
                }
                out_ += "\xFF\xD9";
                return;
            }
            const std::string_view payload = Segment(marker);
            if (marker == kJpegSos) {
                if (!frame_seen_) {
                    RefuseToStrip("Im JPEG-Bild beginnen die Bilddaten vor der Angabe seiner Größe.");
                }
                Put(marker, payload);
                CopyCompressedData();
                after_scan_ = true;
                continue;
            }
            Place(marker, payload);
        }
    }

  private:
    // The code of the marker at the current place, after any fill bytes (0xFF) before it.
    int NextMarker() {
        if (at_ >= in_.size()) {
            RefuseToStrip("Das JPEG-Bild endet vor seinem Ende-Marker.");
        }
        if (static_cast<std::uint8_t>(in_[at_]) != 0xFF) {
            RefuseToStrip("Im JPEG-Bild stehen Bytes zwischen den Segmenten.");
        }
        while (at_ < in_.size() && static_cast<std::uint8_t>(in_[at_]) == 0xFF) {
            ++at_;
        }
        if (at_ >= in_.size()) {
            RefuseToStrip("Das JPEG-Bild endet vor seinem Ende-Marker.");
        }
        return static_cast<std::uint8_t>(in_[at_++]);
    }

    // The payload of the segment whose marker was just read, after its two bytes of length; refuses
    // a marker that has no length (SOI, RSTn, TEM and the like are not expected here).
    std::string_view Segment(int marker) {
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            RefuseToStrip("Das JPEG-Bild enthält einen Marker an einer Stelle, an der er nicht stehen darf.");
        }
        if (in_.size() - at_ < 2) {
            RefuseToStrip("Ein Segment des JPEG-Bildes ist abgeschnitten.");
        }
        const std::size_t length = static_cast<std::size_t>(static_cast<std::uint8_t>(in_[at_])) << 8 |
                                   static_cast<std::uint8_t>(in_[at_ + 1]);
        if (length < 2 || length > in_.size() - at_) {
            RefuseToStrip("Ein Segment des JPEG-Bildes reicht über das Ende der Datei hinaus.");
        }
        const std::string_view payload = in_.substr(at_ + 2, length - 2);
        at_ += length;
        return payload;
    }

    // A segment other than a scan header goes over as its fate says.
    void Place(int marker, std::string_view payload) {
        switch (JpegSegmentFate(marker, payload, after_scan_)) {
        case JpegFate::Keep:
            frame_seen_ = frame_seen_ || JpegIsFrame(marker);
            Put(marker, payload);
            break;
        case JpegFate::Jfif:
            if (!jfif_done_) {
                // The preview JFIF may carry is left out: width and height 0, no pixels.
                jfif_done_ = true;
                Put(marker, std::string(payload.substr(0, kJpegJfifHeader - 2)) + std::string(2, '\0'));
            }
            break;
        case JpegFate::Exif:
            if (!exif_done_ && !after_scan_) {
                exif_done_ = true;
                PutExif(payload.substr(kJpegExifSignature.size()));
            }
            break;
        case JpegFate::Drop:
            break;
        case JpegFate::Refuse:
            RefuseToStrip("Das JPEG-Bild enthält einen Marker, der nicht unterstützt wird.");
        }
    }

    void PutExif(std::string_view tiff) {
        const std::string rebuilt = BuildPublishedExif(
            ReadPublishedExif(reinterpret_cast<const std::uint8_t*>(tiff.data()), tiff.size()));
        if (!rebuilt.empty()) {
            Put(0xE1, std::string(kJpegExifSignature) + rebuilt);
        }
    }

    void Put(int marker, std::string_view payload) {
        if (payload.size() + 2 > kJpegMaxSegment) {
            RefuseToStrip("Die Exif-Angaben des JPEG-Bildes passen nicht in ein Segment.");
        }
        const std::size_t length = payload.size() + 2;
        out_ += static_cast<char>(0xFF);
        out_ += static_cast<char>(marker);
        out_ += static_cast<char>(length >> 8);
        out_ += static_cast<char>(length & 0xFF);
        out_ += payload;
    }

    // The compressed data of a scan as it is, up to the marker that ends it. In the data, 0xFF is
    // followed by a stuffed 0 or a restart marker; anything else there is the next marker.
    void CopyCompressedData() {
        const std::size_t start = at_;
        std::size_t at = at_;
        for (;;) {
            const void* found = std::memchr(in_.data() + at, 0xFF, in_.size() - at);
            if (found == nullptr) {
                RefuseToStrip("Die Bilddaten des JPEG-Bildes sind abgeschnitten.");
            }
            at = static_cast<std::size_t>(static_cast<const char*>(found) - in_.data());
            std::size_t next = at + 1;
            while (next < in_.size() && static_cast<std::uint8_t>(in_[next]) == 0xFF) {
                ++next;
            }
            if (next >= in_.size()) {
                RefuseToStrip("Die Bilddaten des JPEG-Bildes sind abgeschnitten.");
            }
            const auto code = static_cast<std::uint8_t>(in_[next]);
            if (code != 0 && (code < 0xD0 || code > 0xD7)) {
                break;
            }
            at = next + 1;
        }
        out_ += in_.substr(start, at - start);
        at_ = at;
    }

    std::string_view in_;
    std::string& out_;
    std::size_t at_ = 0;
    bool frame_seen_ = false;
    bool after_scan_ = false;
    bool jfif_done_ = false;
    bool exif_done_ = false;
};

} // namespace

void StripJpeg(std::string_view bytes, std::string& out) {
    JpegStripper(bytes, out).Run();
}

} // namespace qlm

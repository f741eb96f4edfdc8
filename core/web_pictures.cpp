// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/web_pictures.h"

#include "core/gallery_names.h"
#include "core/page_text.h"
#include "core/picture.h"
#include "core/picture_measure.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace qlm {

namespace {

// The picture name a copy's file name could belong to: "a_800.jpg" to "a.jpg"; empty for a name
// that is no copy's.
std::string PictureKey(const std::string& file_name) {
    std::string base, extension;
    SplitFileName(file_name, base, extension);
    const std::size_t mark = base.rfind('_');
    if (mark == std::string::npos)
        return {};
    return base.substr(0, mark) + extension;
}

// True when a copy of `copy_width` x `copy_height` is the original scaled down, give or take the
// rounding of one pixel.
bool SameShape(int copy_width, int copy_height, int width, int height) {
    const std::int64_t cross =
        static_cast<std::int64_t>(copy_width) * height - static_cast<std::int64_t>(copy_height) * width;
    return std::llabs(cross) <= std::max(width, height);
}

// A link in a srcset ends at white space and loses a comma at its end, so both are encoded.
std::string SrcsetLink(const std::string& link) {
    std::string encoded;
    encoded.reserve(link.size());
    for (char c : link) {
        if (c == ' ')
            encoded += "%20";
        else if (c == ',')
            encoded += "%2C";
        else
            encoded += c;
    }
    return encoded;
}

std::string CopyLink(const WebCopy& copy) {
    return LinkForPage(std::string(kWebCopyFolder) + "/" + copy.file_name);
}

} // namespace

WebCopyIndex::WebCopyIndex(const std::string& folder) : web_(folder) {
    if (web_.Error() != ENOENT && !web_.Refused())
        listing_error_ = web_.Error();
    const std::string place = web_.Path();
    if (place.empty())
        return;
    // A folder that cannot be listed, or not to its end, offers what was listed: pictures without
    // copies fall back to their originals.
    std::error_code error;
    std::filesystem::directory_iterator entry(place, error);
    for (const std::filesystem::directory_iterator end; !error && entry != end; entry.increment(error)) {
        std::string name = entry->path().filename().string();
        std::string key = PictureKey(name);
        if (!key.empty())
            files_[std::move(key)].push_back(std::move(name));
    }
    listing_error_ = error.value();
}

std::vector<WebCopy> WebCopyIndex::CopiesOf(const std::string& picture, int width, int height) const {
    std::vector<WebCopy> copies;
    const auto found = files_.find(picture);
    // Read through the folder listed, and only while its name still reaches it.
    const std::string place = web_.Path();
    if (found == files_.end() || width <= 0 || height <= 0 || place.empty())
        return copies;
    for (const std::string& name : found->second) {
        if (!WebCopyLongSide(picture, name))
            continue;
        Picture measured;
        try {
            measured = MeasurePicture(place + name, 0);
        } catch (const OutOfDescriptorsError&) {
            throw; // the copy is there: leaving it out would take it off a page that offers it
        } catch (const DecodeError&) {
            continue; // a damaged copy is not offered; the original still is
        }
        if (!measured.opened || measured.width <= 0 || measured.width >= width ||
            !SameShape(measured.width, measured.height, width, height))
            continue;
        copies.push_back({name, measured.width, measured.height});
    }
    std::sort(copies.begin(), copies.end(), [](const WebCopy& a, const WebCopy& b) {
        return a.width != b.width ? a.width < b.width : a.file_name < b.file_name;
    });
    copies.erase(std::unique(copies.begin(), copies.end(),
                             [](const WebCopy& a, const WebCopy& b) { return a.width == b.width; }),
                 copies.end());
    return copies;
}

WebPicture MakeWebPicture(const std::string& picture_link, int width, int height,
                          const std::vector<WebCopy>& copies, const std::string& alt) {
    WebPicture web;
    const std::string w = std::to_string(width);
    const std::string h = std::to_string(height);
    std::string attributes;
    if (copies.empty()) {
        web.file = picture_link;
        web.width = width;
        web.height = height;
        web.srcset = SrcsetLink(picture_link) + " " + w + "w";
    } else {
        web.file = CopyLink(copies.front());
        web.width = copies.front().width;
        web.height = copies.front().height;
        for (const WebCopy& copy : copies)
            web.srcset += SrcsetLink(CopyLink(copy)) + " " + std::to_string(copy.width) + "w, ";
        web.srcset += SrcsetLink(picture_link) + " " + w + "w";
        // The picture takes the original's room at most, and the whole width of a narrower screen.
        attributes = "\" srcset=\"" + web.srcset + "\" sizes=\"(max-width: " + w + "px) 100vw, " + w + "px";
    }
    web.tag = "<img src=\"" + web.file + attributes + "\" width=\"" + w + "\" height=\"" + h + "\" alt=\"" +
              alt + "\">";
    return web;
}

} // namespace qlm

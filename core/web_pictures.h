// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The web copies a gallery run finds beside its pictures, and the image tag that offers them to
// the browser. A page made with it lets a phone load a copy of a few hundred kilobytes where it
// would otherwise get the whole original; a picture without copies keeps the tag of its original.

#include "core/web_copy_folder.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qlm {

// One web copy of a picture: its bare name inside the copy folder and its size in pixels.
struct WebCopy {
    std::string file_name;
    int width = 0;
    int height = 0;
};

// The copy folder of one picture folder, listed once; each picture's copies are then picked from
// that listing and measured from their headers, so a run costs one listing, not one look per size.
class WebCopyIndex {
  public:
    // Lists the copy folder of `folder` (ending in "/"). A folder without copies gives an empty
    // index, and so does a link or a file in place of the copy folder (see WebCopyFolder).
    explicit WebCopyIndex(const std::string& folder);

    // True when the copy folder is a link or a file, whose copies are not offered.
    bool Refused() const { return web_.Refused(); }
    // The errno that kept the copy folder from being opened or listed, or 0 (none there is 0 too).
    int ListingError() const { return listing_error_; }

    // The usable copies of `picture` (a bare name) whose original is `width` x `height` pixels,
    // narrowest first, one per width. Left out: copies that cannot be read or measured, copies
    // not smaller than the original, and copies of another shape (left from an earlier picture of
    // that name), since a page must never show a picture other than its own. A copy that cannot
    // be opened for want of descriptors throws OutOfDescriptorsError.
    std::vector<WebCopy> CopiesOf(const std::string& picture, int width, int height) const;

  private:
    WebCopyFolder web_;
    int listing_error_ = 0;
    // The copy files by the picture name they could belong to ("a_800.jpg" under "a.jpg").
    std::map<std::string, std::vector<std::string>> files_;
};

// What a picture offers to a page through its web copies.
struct WebPicture {
    std::string tag;  // the image tag
    std::string file; // link of the copy a phone gets (the original's without copies)
    int width = 0;    // size of that copy
    int height = 0;
    std::string srcset; // every copy and the original with their widths
};

// How the overview's entries load their thumbnails (`<myloading>`): the first six at once, which in
// the sample overview are a phone's first screen and a wide screen's first row, the others only as
// the reader scrolls near them; a picture page's own picture always at once.
inline constexpr std::size_t kEntriesLoadedAtOnce = 6;
inline std::string_view EntryLoading(std::size_t index) {
    return index < kEntriesLoadedAtOnce ? "eager" : "lazy";
}

// The image tag of `picture_link` (the original, `width` x `height`) with its copies: src is the
// narrowest copy, srcset every copy and the original with their widths, sizes the original's
// width at most, width and height the original's, so the tag takes the room <mypic> would. The
// alt attribute is always there, empty for a picture without text: "Images without Alt" is about
// thumbnail tags, and a picture without one is lost to a screen reader. Without copies it is the
// plain tag of the original.
WebPicture MakeWebPicture(const std::string& picture_link, int width, int height,
                          const std::vector<WebCopy>& copies, const std::string& alt);

} // namespace qlm

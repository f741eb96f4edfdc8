// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file names of a gallery, each formed from the picture's name in one place: the companions
// that a gallery run looks for under a picture's name (thumbnail, text, page) and the picture's web
// copies. The run, Correct Names and the thumbnail and web copy makers all take their names from
// here, so that what one of them writes or renames is what the others look for.
//
// The web copies are smaller versions of a picture for the pages (see the web copy maker); they
// live in a sub-folder of the picture's folder, so they never show up among the pictures of the
// list and never take a name the user's own pictures could have, and a published folder carries
// them along. The copy of the picture "<base>.<ext>" whose longer side is N pixels is
// "qlm-web/<base>_<N>.<ext>": it keeps the picture's extension (and so its format), so "a.jpg" and
// "a.png" have copies of their own.

#include "platform/temporary_files.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qlm {

// Splits a bare file name at its last "." (the dot goes to the extension; no dot: empty extension).
void SplitFileName(const std::string& name, std::string& base, std::string& extension);

// The thumbnail's bare file name for the picture `picture`, as the gallery run looks for it:
// "t_" + picture, or "t_" + base + ".jpg" when `thumbs_jpg`.
std::string ThumbnailFileName(const std::string& picture, bool thumbs_jpg);

// The picture's text file (base + ".txt") and page (base + ".html"). Pictures whose names differ
// only in their extension share both.
std::string TextFileName(const std::string& picture);
std::string PageFileName(const std::string& picture);

// A short key of a file's name (a text, a page), for telling cheaply that a folder held no such
// file when it was listed. Names that differ may share a key.
std::uint64_t FileNameKey(std::string_view name);

// Names a folder held when it was listed, as one bit of a fixed table per key: a name whose bit
// is clear was not there; one whose bit is set may have been, since names share bits. The table
// is made at once, whatever the folder holds, so that it does not grow beside the listing.
class ListedNames {
  public:
    ListedNames() : bits_(kBits) {}
    void Add(std::string_view name) { bits_[FileNameKey(name) % kBits] = true; }
    bool MayHold(std::string_view name) const { return bits_[FileNameKey(name) % kBits]; }
    // Whether the folder held a name of the kind the program gives its temporaries, which a run
    // that was killed may have left.
    void AddTemporary() { temporaries_ = true; }
    bool HeldTemporaries() const { return temporaries_; }

  private:
    // 256 KiB: of 10,000 pages, about one in two hundred shares a bit with another page.
    static constexpr std::size_t kBits = std::size_t{1} << 21;
    std::vector<bool> bits_;
    bool temporaries_ = false;
};

// The files that belong to `picture` by their names: thumbnail, text file and page, in this order.
// One more kind of companion is one more entry here.
std::vector<std::string> CompanionNames(const std::string& picture, bool thumbs_jpg);

// The sub-folder of a picture folder that holds the web copies (no slash).
inline constexpr std::string_view kWebCopyFolder =
    platform::kWebCopyFolder.substr(0, platform::kWebCopyFolder.size() - 1);

// The longer sides, in pixels, of the copies made when no other sizes are asked for: one for a
// phone's screen, one for a large screen.
inline const std::vector<int> kDefaultWebSizes = {800, 1600};

// The copy's file name inside kWebCopyFolder for the picture `picture` (a bare file name) at the
// longer side `long_side`.
std::string WebCopyFileName(const std::string& picture, int long_side);

// The copy's path relative to the picture folder: kWebCopyFolder + "/" + WebCopyFileName(...).
std::string WebCopyPath(const std::string& picture, int long_side);

// The longer side `file_name` (a bare name inside kWebCopyFolder) stands for when it is a copy of
// `picture`; nothing when it is not one of its copies.
std::optional<int> WebCopyLongSide(const std::string& picture, const std::string& file_name);

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Makes the thumbnails a gallery run looks for ("t_" + name, or "t_" + base + ".jpg"), on request
// only: each picture upright and scaled so that its longer side is the thumbnail size, in the
// format the thumbnail's name gives (JPEG at quality 85, PNG, or a GIF still of the first frame).
// An existing thumbnail is never replaced, also not by a maker running at the same time; a
// picture that cannot be read is reported and skipped.

#include <functional>
#include <string>
#include <vector>

namespace qlm {

inline constexpr int kDefaultThumbnailSize = 400;
inline constexpr int kMaxThumbnailSize = 4000;
inline constexpr int kThumbnailJpegQuality = 85;

enum class ThumbnailOutcome {
    Made,
    Existing,       // a file of the thumbnail's name was there already; left as it is
    PictureMissing, // the picture could not be opened
    Damaged,        // the picture could not be decoded, or the thumbnail not encoded
    Unwritten,      // the thumbnail could not be written
    Stopped,        // not made: the run was stopped before
};

struct ThumbnailResult {
    std::string picture; // bare names
    std::string thumbnail;
    ThumbnailOutcome outcome = ThumbnailOutcome::Made;
    std::string message; // why, for the failures: the decoder's or the system's text
    int width = 0;       // the size of a thumbnail made
    int height = 0;
};

// Makes the thumbnail of one picture of `folder` (ending in "/") unless it exists.
ThumbnailResult MakeThumbnail(const std::string& folder, const std::string& picture, bool thumbs_jpg,
                              int size);

// Makes the missing thumbnails of `pictures`, several at a time (`threads` 0: one per core, the
// calling thread included).
// `done` is called on the calling thread after each picture, in the order they finish. The
// results come in the order of `pictures`. Pictures whose thumbnails share a name make it once,
// for the first of them. `stop` is asked after each picture: true stops the run there, with the
// thumbnails made so far whole and in place and the others Stopped.
std::vector<ThumbnailResult> MakeMissingThumbnails(const std::string& folder,
                                                   const std::vector<std::string>& pictures, bool thumbs_jpg,
                                                   int size,
                                                   const std::function<void(const ThumbnailResult&)>& done,
                                                   int threads = 0, const std::function<bool()>& stop = {});

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Makes the web copies of pictures on request: smaller versions for the pages, so that a phone is
// not sent a camera's full picture. Each copy is upright, its longer side one of the asked sizes
// (only sizes below the picture's own: nothing is enlarged), and it carries nothing but pixels: no
// Exif, GPS, XMP or comment; only a JPEG keeps its ICC colour profile. A JPEG becomes a
// progressive JPEG, a PNG stays PNG, a still GIF stays GIF; an animated GIF gets no copy, the
// pages use the original. Copies live where gallery_names.h says; an existing file is never
// replaced and the picture never touched. A link or a file in place of the copies' folder is
// neither looked into nor written through (see web_copy_folder.h): the pictures that need copies
// are then reported as unwritten with kWebCopyFolderRefused.

#include <functional>
#include <string>
#include <vector>

namespace qlm {

inline constexpr int kWebCopyJpegQuality = 82;
// The largest size a copy may be asked for; larger sides are better served by the original.
inline constexpr int kMaxWebSize = 10000;

enum class WebCopyOutcome {
    Made,           // at least one copy was made (others may have been there)
    Existing,       // every copy the picture needs was there already; nothing written
    NotNeeded,      // the picture is no larger than any of the sizes
    Animated,       // an animated GIF: the original serves the pages
    PictureMissing, // the picture could not be opened
    Damaged,        // the picture could not be decoded, or a copy not encoded
    Unwritten,      // a copy (or the copies' folder) could not be written
    Stopped,        // not made: the run was stopped before
};

struct WebCopyResult {
    std::string picture;           // bare name
    std::vector<std::string> made; // the copies made, as paths relative to the picture folder
    WebCopyOutcome outcome = WebCopyOutcome::Made;
    std::string failed;  // the copy that could not be written
    std::string message; // why, for the failures: the decoder's or the system's text
};

// The sizes of `sizes` a picture of width x height gets a copy of: those below its longer side,
// each once, largest first.
std::vector<int> WebCopySizesFor(int width, int height, const std::vector<int>& sizes);

// Makes the missing copies of one picture of `folder` (ending in "/") at `sizes`.
WebCopyResult MakeWebCopies(const std::string& folder, const std::string& picture,
                            const std::vector<int>& sizes);

// Makes the missing copies of `pictures` on every core (`threads` 0: one per core, the calling
// thread included). `done` is called on the calling thread after each picture, in the order they
// finish; the results come in the order of `pictures`. `stop` is asked after each picture: true
// stops the run there, with the copies made so far whole and in place and the others Stopped.
std::vector<WebCopyResult> MakeMissingWebCopies(const std::string& folder,
                                                const std::vector<std::string>& pictures,
                                                const std::vector<int>& sizes,
                                                const std::function<void(const WebCopyResult&)>& done,
                                                int threads = 0, const std::function<bool()>& stop = {});

// The copies of `picture` that exist in the copies' folder reached by `copies_folder` (a
// WebCopyFolder's Path(): none where that is empty), as bare names.
std::vector<std::string> ExistingWebCopies(const std::string& copies_folder, const std::string& picture);

} // namespace qlm

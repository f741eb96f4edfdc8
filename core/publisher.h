// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Publishing: what a gallery shows, copied from the picture folder into a target folder of its
// own, every picture without its private metadata. What goes: "index.html", the pages of the
// run's pictures, and exactly the files of the picture folder these pages link (thumbnails, web
// copies, originals, what the user's templates link, and what linked style sheets link), each in
// the same place relative to the target; nothing else, and nothing from outside the folder.
//
// It is incremental and leaves the user's files alone: a file whose content would not change is
// not written again, a file an earlier publishing put there and that nothing links any more is
// removed, and a file publishing did not write is never changed or removed. Which files it wrote
// is kept in a record in the target (core/publish_record.h), written before any file, with the
// names about to be written added, and again at the end, so that no kill leaves a file it wrote
// unrecorded. It never writes in the picture folder. Like a gallery run, it talks to its caller
// only through a host and a result.

#include "core/publish_result.h"

#include <string>
#include <vector>

namespace qlm {

class PublishingHost {
  public:
    virtual ~PublishingHost() = default;
    // The file being published (relative to both folders), of how many.
    virtual void SetProgressLabel(const std::string& text) = 0;
    virtual void SetProgressMaximum(int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    // Asked before each file: true stops the publishing there (PublishResult::cancelled).
    virtual bool StopRequested() { return false; }
};

struct PublishInput {
    std::string folder;                // the picture folder, ending in "/"
    std::vector<std::string> pictures; // the run's pictures (bare names): their pages are published
    std::string target;                // the target folder as the user named it
};

// Publishes the pages of `input.pictures`, "index.html" and the files they link from the picture
// folder into the target, making the target (not its parent) when it is not there. Holds the
// target's lock (platform::FolderRun) while it works.
PublishResult Publish(const PublishInput& input, PublishingHost& host);

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a publishing did (core/publisher.h): why it refused its target, or what became of each file.

#include <cstddef>
#include <string>
#include <vector>

namespace qlm {

// Why nothing was published.
enum class PublishRefusal {
    None,
    TargetIsPictureFolder,     // the target is the picture folder itself
    TargetInsidePictureFolder, // the target lies inside the picture folder
    TargetIsNoFolder,          // the target is a file (or anything else but a folder)
    TargetUnusable,            // the target, or the folder it would be made in, cannot be used (error)
    FolderUnusable,            // the picture folder cannot be found (error)
    TargetInUse,               // another publishing or run is writing in the target
    RecordUnreadable,          // the record cannot be read (error), or the file of its name is none
    RecordUnwritable,          // the record cannot be written (error): nothing was written
};

enum class FileOutcome { Written, Unchanged, Removed, NotPublished };

// Why a file was not published (or an old one not removed).
enum class NotPublishedReason {
    None,
    Missing,     // the page links it, but the picture folder holds no such file
    Unreadable,  // it cannot be read (error)
    Undecodable, // a picture whose structure cannot be followed (message): never published with its metadata
    ProgramFile, // a temporary, a backup (.bak), QLM.ini or the record: never published
    OutsideFolder,   // a sub-folder on its way is a link that leads out of the picture folder
    InPictureFolder, // its place in the target lies inside the picture folder
    ForeignFile,     // the target holds a file of that name that publishing did not write
    TargetBlocked,   // in the target, its name or a folder on its way is a link or no folder (error)
    Unwritable,      // writing it into the target failed (error); publishing stopped there
    Unremovable,     // an old file that nothing links any more could not be removed (error)
};

struct PublishedFile {
    std::string name; // relative to the picture folder and to the target
    FileOutcome outcome = FileOutcome::NotPublished;
    NotPublishedReason reason = NotPublishedReason::None;
    int error = 0;       // the errno, where the reason has one
    std::string message; // the decoder's message, for Undecodable
};

struct PublishResult {
    PublishRefusal refusal = PublishRefusal::None;
    int error = 0;      // the errno of the refusal, where it has one
    std::string target; // the target's real path, ending in "/", once it is known
    // Every file of the publishing, with what became of it: the ones linked in the order found,
    // then the old ones removed.
    std::vector<PublishedFile> files;
    // A write into the target failed: the files after it were not written and no old file was
    // removed, so that what was published before stays whole.
    bool stopped = false;
    // The host asked to stop: as above, the files after the stop were not written and no old file
    // was removed. `files_done` of the `files_found` linked ones were dealt with before.
    bool cancelled = false;
    std::size_t files_done = 0;
    std::size_t files_found = 0;
    int record_error = 0; // the final record could not be written (errno); the one before stays

    int Count(FileOutcome outcome) const;
    // True when every linked file was published and the record written.
    bool Complete() const;
};

} // namespace qlm

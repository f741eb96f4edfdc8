// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/publish_command.h"

#include "core/publish_record.h"
#include "core/publisher.h"
#include "platform/globals.h"

#include <ostream>

namespace qlm::cli {

namespace {

constexpr const char* kCommandName = "quillmoor-make";

// Why the target was refused, after its name.
std::string RefusalText(const PublishResult& result) {
    const std::string error = platform::GetErrorText(result.error);
    switch (result.refusal) {
    case PublishRefusal::TargetIsPictureFolder:
        return "is the picture folder itself";
    case PublishRefusal::TargetInsidePictureFolder:
        return "lies inside the picture folder";
    case PublishRefusal::TargetIsNoFolder:
        return "is a file, not a folder";
    case PublishRefusal::TargetInUse:
        return "another publishing or run is writing in this folder; try again when it has finished";
    case PublishRefusal::RecordUnreadable:
        return std::string(kPublishRecordName) + " cannot be read" +
               (result.error != 0 ? ": " + error : std::string(" as a record of publishing"));
    case PublishRefusal::RecordUnwritable:
        return std::string(kPublishRecordName) + " could not be written: " + error;
    case PublishRefusal::FolderUnusable:
        return "the picture folder cannot be found: " + error;
    case PublishRefusal::TargetUnusable:
    case PublishRefusal::None:
        break;
    }
    return error;
}

// What became of a file that was not published, after its name.
std::string ReasonText(const PublishedFile& file) {
    const std::string error = platform::GetErrorText(file.error);
    switch (file.reason) {
    case NotPublishedReason::Missing:
        return "linked, but not in the picture folder; not published";
    case NotPublishedReason::Unreadable:
        return "cannot be read: " + error + "; not published";
    case NotPublishedReason::Undecodable:
        return file.message + "; never published with its metadata";
    case NotPublishedReason::ProgramFile:
        return "a temporary, backup, settings or record file; never published";
    case NotPublishedReason::OutsideFolder:
        return "its folder leads out of the picture folder; not published";
    case NotPublishedReason::InPictureFolder:
        return "its place in the target lies inside the picture folder; not published";
    case NotPublishedReason::ForeignFile:
        return "the target holds a file of this name that publishing did not write; not published";
    case NotPublishedReason::TargetBlocked:
        return "its place in the target is taken by a link or a folder (" + error + "); not published";
    case NotPublishedReason::Unwritable:
        return "could not be written: " + error + "; publishing stopped, nothing was removed";
    case NotPublishedReason::Unremovable:
        return "no longer linked, but could not be removed: " + error;
    case NotPublishedReason::None:
        break;
    }
    return error;
}

} // namespace

bool PublishGallery(const std::string& folder, const std::vector<std::string>& pictures,
                    const std::string& target, std::ostream& messages, CliHost& host) {
    const PublishResult result = Publish({folder, pictures, target}, host);
    host.EndProgressLine();
    if (result.refusal != PublishRefusal::None) {
        messages << kCommandName << ": " << Printable(target) << ": " << Printable(RefusalText(result))
                 << "; nothing published\n";
        return false;
    }
    for (const PublishedFile& file : result.files)
        if (file.outcome == FileOutcome::NotPublished)
            messages << kCommandName << ": " << Printable(file.name) << ": " << Printable(ReasonText(file))
                     << '\n';
    if (result.record_error != 0)
        messages << kCommandName << ": " << Printable(result.target + std::string(kPublishRecordName))
                 << " could not be written: " << platform::GetErrorText(result.record_error) << '\n';
    messages << kCommandName << ": published: " << result.Count(FileOutcome::Written) << " written, "
             << result.Count(FileOutcome::Unchanged) << " unchanged, " << result.Count(FileOutcome::Removed)
             << " removed";
    if (const int failed = result.Count(FileOutcome::NotPublished); failed > 0)
        messages << ", " << failed << " not published";
    if (result.cancelled)
        messages << ", stopped after " << result.files_done << " of " << result.files_found
                 << " files, nothing removed";
    messages << '\n';
    return result.Complete();
}

} // namespace qlm::cli

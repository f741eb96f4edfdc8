// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/publisher.h"

#include "core/folder_listing.h"
#include "core/gallery_names.h"
#include "core/metadata_strip.h"
#include "core/picture.h"
#include "core/picture_limits.h"
#include "core/publish_record.h"
#include "core/publish_target.h"
#include "core/published_links.h"
#include "platform/file_ops.h"
#include "platform/folder_ops.h"
#include "platform/globals.h"
#include "platform/temporary_files.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>

namespace qlm {

namespace {

// One publishing under way: where it goes, what the last one wrote, what it has found so far.
struct Publishing {
    const PublishTarget& place;
    PublishResult& result;
    std::set<std::string> recorded;      // the names of the record found in the target
    std::set<std::string> linked;        // every name found, published or not
    std::vector<std::string> to_publish; // the names to publish, in the order found
    PublishStamps stamps;                // as the record found them, then as this publishing leaves them
    // The writes go in batches made durable together, as a run's pages do; the files written
    // wait here for their stamps until the batch is committed.
    platform::WriteBatch batch;
    std::vector<std::string> written;
    // A file as read and as published: their memory serves every file in turn.
    std::string read;
    std::string stripped;
};

// The stamps of a name; they change with what removing metadata keeps, so that a new way of
// removing it reaches every file published before.
std::string Stamps(const Publishing& job, const std::string& name) {
    const std::string stamps = StampsOf(job.place.folder + name, job.place.target + name);
    return stamps.empty() ? stamps : "1 " + stamps;
}

// True when neither the file nor what was published of it changed since the record's stamps.
bool UnchangedSinceRecorded(const Publishing& job, const std::string& name) {
    const auto found = job.stamps.find(name);
    return job.recorded.contains(name) && found != job.stamps.end() && !found->second.empty() &&
           found->second == Stamps(job, name);
}

void NotPublished(PublishResult& result, const std::string& name, NotPublishedReason reason, int error = 0,
                  std::string message = {}) {
    result.files.push_back({name, FileOutcome::NotPublished, reason, error, std::move(message)});
}

std::string FolderPartOf(const std::string& name) {
    return name.substr(0, name.rfind('/') + 1);
}

// A picture by its first bytes, whatever its name says.
bool LooksLikePicture(std::string_view bytes) {
    return bytes.starts_with("\xFF\xD8\xFF") || bytes.starts_with("\x89PNG\r\n\x1A\n") ||
           bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a");
}

bool IsStyleSheet(const std::string& name) {
    return name.size() > 4 &&
           platform::EqualIgnoringAsciiCase(std::string_view(name).substr(name.size() - 4), ".css");
}

// Files of the program's own that hold what no visitor should see: half-written temporaries, old
// versions of pages, the settings, and the record.
bool IsProgramFile(const std::string& name) {
    const std::string bare = name.substr(name.rfind('/') + 1);
    const bool backup =
        bare.size() > 4 && platform::EqualIgnoringAsciiCase(bare.substr(bare.size() - 4), ".bak");
    return backup || bare == kPublishRecordName || platform::EqualIgnoringAsciiCase(bare, "QLM.ini") ||
           platform::ParseTemporaryName(bare).has_value() || platform::IsOlderTemporaryName(bare);
}

// Why `name` cannot be published, found before anything is read or written; None when it can.
NotPublishedReason PlaceProblem(const Publishing& job, const std::string& name) {
    if (IsProgramFile(name))
        return NotPublishedReason::ProgramFile;
    const PublishTarget& place = job.place;
    if (!place.folder_in_target.empty() && name.starts_with(place.folder_in_target))
        return NotPublishedReason::InPictureFolder;
    if (const std::string folder_part = FolderPartOf(name); !folder_part.empty()) {
        std::string real;
        const int error = platform::CanonicalPath(place.folder + folder_part, real);
        if (error != 0)
            return NotPublishedReason::Missing;
        if (platform::AddBackslash(real) != place.folder + folder_part)
            return NotPublishedReason::OutsideFolder;
    }
    if (platform::NameExists(place.target + name) && !job.recorded.contains(name))
        return NotPublishedReason::ForeignFile;
    return NotPublishedReason::None;
}

// Takes a file found for publishing, once.
void AddName(Publishing& job, const std::string& name) {
    if (!job.linked.insert(name).second)
        return;
    if (const NotPublishedReason problem = PlaceProblem(job, name); problem != NotPublishedReason::None)
        NotPublished(job.result, name, problem);
    else
        job.to_publish.push_back(name);
}

// The pages, then every file they link, then what linked style sheets link, breadth first.
void FindFiles(Publishing& job, const std::vector<std::string>& pictures) {
    AddName(job, "index.html");
    for (const std::string& picture : pictures)
        AddName(job, PageFileName(picture));
    const std::size_t pages = job.to_publish.size();
    for (std::size_t i = 0; i < job.to_publish.size(); ++i) {
        const std::string name = job.to_publish[i];
        if (i >= pages && !IsStyleSheet(name))
            continue;
        std::string text;
        // One that cannot be read is named when it is published.
        if (platform::ReadWholeFile(job.place.folder + name, text, platform::kMaxTextFileSize) != 0)
            continue;
        const std::string base = FolderPartOf(name);
        for (const std::string& link : i < pages ? LinksOfPage(text) : LinksOfStyleSheet(text))
            if (const std::optional<std::string> file = FolderFileOfLink(link, base))
                AddName(job, *file);
    }
}

// Makes the folders on the way to `name` in the target.
int MakeFoldersOf(const std::string& target, const std::string& name) {
    for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
        if (const int error = platform::MakeRealFolder(target + name.substr(0, slash)); error != 0)
            return error;
    return 0;
}

bool BlocksName(int error) {
    return error == ELOOP || error == ENOTDIR || error == EISDIR;
}

// What `name` becomes in the target: its bytes, a picture's without its metadata, in one of the
// job's buffers. False when it is not published, after saying why.
bool PublishedBytes(Publishing& job, const std::string& name, std::string_view& bytes) {
    if (const int error =
            platform::ReadWholeFile(job.place.folder + name, job.read, picture_limits::kMaxFileSize);
        error != 0) {
        NotPublished(job.result, name,
                     platform::IsMissingFile(error) ? NotPublishedReason::Missing
                                                    : NotPublishedReason::Unreadable,
                     error);
        return false;
    }
    bytes = job.read;
    if (!HasPictureExtension(name.substr(name.rfind('/') + 1)) && !LooksLikePicture(bytes))
        return true;
    try {
        StripForPublishing(job.read, job.stripped);
        bytes = job.stripped;
    } catch (const DecodeError& failure) {
        NotPublished(job.result, name, NotPublishedReason::Undecodable, 0, failure.what());
        return false;
    }
    return true;
}

// Publishes one file; false when a write into the target failed and publishing stops.
bool PublishFile(Publishing& job, const std::string& name) {
    if (UnchangedSinceRecorded(job, name)) {
        job.result.files.push_back({name, FileOutcome::Unchanged, NotPublishedReason::None, 0, {}});
        return true;
    }
    std::string_view bytes;
    if (!PublishedBytes(job, name, bytes))
        return true;
    const std::string path = job.place.target + name;
    int error = MakeFoldersOf(job.place.target, name);
    if (error == 0 && platform::FileHoldsExactly(path, bytes, platform::Links::Refuse)) {
        job.result.files.push_back({name, FileOutcome::Unchanged, NotPublishedReason::None, 0, {}});
        job.stamps[name] = Stamps(job, name);
        return true;
    }
    if (error == 0)
        error = platform::ReplaceFileContentsIn(job.batch, path, bytes, platform::Links::Refuse);
    if (error == 0) {
        job.result.files.push_back({name, FileOutcome::Written, NotPublishedReason::None, 0, {}});
        job.written.push_back(name);
        return true;
    }
    NotPublished(job.result, name,
                 BlocksName(error) ? NotPublishedReason::TargetBlocked : NotPublishedReason::Unwritable,
                 error);
    return BlocksName(error);
}

// Removes what the last publishing wrote and nothing links any more; the names that are gone
// leave `recorded`.
void RemoveUnlinked(Publishing& job) {
    for (auto it = job.recorded.begin(); it != job.recorded.end();) {
        if (job.linked.contains(*it)) {
            ++it;
            continue;
        }
        const int error = platform::RemoveFile(job.place.target + *it);
        if (error == 0)
            job.result.files.push_back({*it, FileOutcome::Removed, NotPublishedReason::None, 0, {}});
        else if (error != ENOENT)
            NotPublished(job.result, *it, NotPublishedReason::Unremovable, error);
        it = error == 0 || error == ENOENT ? job.recorded.erase(it) : std::next(it);
    }
}

// Writes the record unless it holds `names` already.
int WriteRecord(const std::string& target, const std::set<std::string>& names, const PublishStamps& stamps) {
    const std::string path = target + std::string(kPublishRecordName);
    const std::string text = PublishRecordText(names, &stamps);
    if (platform::FileHoldsExactly(path, text, platform::Links::Refuse))
        return 0;
    return platform::ReplaceFileContents(path, text, platform::Links::Refuse);
}

// Reads the record the last publishing left; a target without one has none of its files.
bool ReadRecord(Publishing& job) {
    std::string text;
    const int error = platform::ReadWholeFile(job.place.target + std::string(kPublishRecordName), text,
                                              platform::kMaxTextFileSize);
    if (platform::IsMissingFile(error))
        return true;
    if (error == 0 && ParsePublishRecord(text, job.recorded, &job.stamps))
        return true;
    job.result.refusal = PublishRefusal::RecordUnreadable;
    job.result.error = error;
    return false;
}

// Puts the batch's files in place; a file that could not be is named with its reason instead of
// written. False when one failed.
bool CommitWrites(Publishing& job) {
    job.batch.Commit();
    const std::vector<platform::WriteFailure> failures = job.batch.TakeFailures();
    std::set<std::string> failed;
    for (const platform::WriteFailure& failure : failures)
        for (PublishedFile& file : job.result.files)
            if (file.outcome == FileOutcome::Written && job.place.target + file.name == failure.name) {
                file = {
                    file.name, FileOutcome::NotPublished, NotPublishedReason::Unwritable, failure.error, {}};
                failed.insert(file.name);
            }
    // A file that kept what was published before gets no stamps: the next publishing compares it.
    for (const std::string& name : job.written)
        job.stamps[name] = failed.contains(name) ? std::string() : Stamps(job, name);
    job.written.clear();
    return failures.empty();
}

// Every file found, published in turn; then, unless a write failed or the host stopped the
// publishing, the old ones removed.
void PublishFiles(Publishing& job, PublishingHost& host) {
    host.SetProgressMaximum(static_cast<int>(job.to_publish.size()));
    job.result.files_found = job.to_publish.size();
    for (std::size_t i = 0; i < job.to_publish.size(); ++i) {
        if (host.StopRequested()) {
            CommitWrites(job);
            job.result.cancelled = true;
            job.result.files_done = i;
            return;
        }
        host.SetProgressLabel(job.to_publish[i]);
        host.SetProgressPosition(static_cast<int>(i + 1));
        if (!PublishFile(job, job.to_publish[i])) {
            CommitWrites(job);
            job.result.stopped = true;
            return;
        }
    }
    if (!CommitWrites(job)) {
        job.result.stopped = true;
        return;
    }
    RemoveUnlinked(job);
}

} // namespace

int PublishResult::Count(FileOutcome outcome) const {
    return static_cast<int>(std::count_if(files.begin(), files.end(), [outcome](const PublishedFile& file) {
        return file.outcome == outcome;
    }));
}

bool PublishResult::Complete() const {
    return refusal == PublishRefusal::None && !stopped && !cancelled && record_error == 0 &&
           Count(FileOutcome::NotPublished) == 0;
}

PublishResult Publish(const PublishInput& input, PublishingHost& host) {
    PublishResult result;
    const PublishTarget place = PrepareTarget(input.folder, input.target);
    result.refusal = place.refusal;
    result.error = place.error;
    result.target = place.target;
    if (place.refusal != PublishRefusal::None)
        return result;
    // A target that holds the picture folder is not cleaned up after killed writers: that would
    // reach into the picture folder where it is the target's folder of web copies.
    platform::FolderRun lock;
    const int taken = place.folder_in_target.empty() ? lock.Begin(place.target) : lock.Take(place.target);
    if (taken != 0) {
        result.refusal = taken == EBUSY ? PublishRefusal::TargetInUse : PublishRefusal::TargetUnusable;
        result.error = taken;
        return result;
    }
    Publishing job{place, result, {}, {}, {}, {}, {}, {}, {}, {}};
    if (!ReadRecord(job))
        return result;
    FindFiles(job, input.pictures);
    std::set<std::string> ahead = job.recorded;
    ahead.insert(job.to_publish.begin(), job.to_publish.end());
    if (const int error = WriteRecord(place.target, ahead, job.stamps); error != 0) {
        result.refusal = PublishRefusal::RecordUnwritable;
        result.error = error;
        return result;
    }
    PublishFiles(job, host);
    for (const PublishedFile& file : result.files)
        if (file.outcome == FileOutcome::Written || file.outcome == FileOutcome::Unchanged)
            job.recorded.insert(file.name);
    result.record_error = WriteRecord(place.target, job.recorded, job.stamps);
    return result;
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
// The batches of writes that are made durable together, and the open-file limit they size from.
#include "platform/file_ops.h"
#include "platform/file_steps.h"
#include "platform/temporary_files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <iterator>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qlm::platform {

WriteBatch::~WriteBatch() {
    FinishBackground();
    for (const Entry& entry : entries_) {
        if (!entry.temporary.empty())
            ::unlink(entry.temporary.c_str());
        ::close(entry.fd);
    }
}

std::size_t WriteBatch::WritesForLimit(std::size_t limit, std::size_t open) {
    const std::size_t free = limit > open ? limit - open : 0;
    return std::clamp<std::size_t>(free / 4, 1, kMaxWrites);
}

namespace {

// The descriptors this process has open, as /proc tells; a guess where it cannot be read.
std::size_t OpenDescriptors() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr)
        return 16;
    std::size_t count = 0;
    while (const dirent* entry = ::readdir(dir))
        count += entry->d_name[0] != '.';
    ::closedir(dir);
    return count > 0 ? count - 1 : 0; // without the listing's own
}

} // namespace

std::size_t WriteBatch::MaxWrites() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMaxWrites;
    return WritesForLimit(static_cast<std::size_t>(limit.rlim_cur), OpenDescriptors());
}

bool WriteBatch::Full() {
    if (entries_.empty())
        capacity_ = std::min(capacity_, MaxWrites());
    return entries_.size() >= capacity_;
}

void WriteBatch::Shrink() {
    capacity_ = std::max<std::size_t>(1, entries_.size() / 2);
}

void WriteBatch::Add(Entry entry) {
    names_.insert(entry.name);
    entries_.push_back(std::move(entry));
}

bool WriteBatch::Holds(const std::string& path) const {
    return names_.count(path) != 0 || background_names_.count(path) != 0;
}

namespace {

// Threads that flush the files of a batch at once. A flush mostly waits for the disk, and flushes
// that wait together are served by one commit of the file system's journal, where one after the
// other each would wait for a commit of its own.
constexpr std::size_t kFlushThreads = 16;

// Flushes each of `files` (fsync: its content and its state), several at a time, and gives the
// errno of each (0: flushed). Only these files are flushed, so a run never waits for what other
// programs left unwritten on the same file system.
std::vector<int> FlushEach(const std::vector<int>& files) {
    std::vector<int> results(files.size(), 0);
    std::atomic<std::size_t> next{0};
    const auto flush = [&] {
        for (std::size_t i = next++; i < files.size(); i = next++)
            results[i] = ::fsync(files[i]) == 0 ? 0 : errno;
    };
    std::vector<std::thread> helpers;
    try {
        for (std::size_t t = 1; t < std::min(kFlushThreads, files.size()); ++t)
            helpers.emplace_back(flush);
    } catch (const std::exception&) {
        // Fewer helpers than asked for: the calling thread flushes what they leave.
    }
    flush();
    for (std::thread& helper : helpers)
        helper.join();
    return results;
}

// Unwritten data beyond the batch's own that a flush of the whole file system may still wait for
// without a run noticing: about a fiftieth of a second of a disk's writing.
constexpr std::uint64_t kFewOtherBytes = std::uint64_t{4} << 20;

// The bytes the machine holds unwritten or being written ("Dirty" and "Writeback" of
// /proc/meminfo), or none where that cannot be read.
std::optional<std::uint64_t> UnwrittenBytes() {
    std::string meminfo;
    if (ReadWholeFile("/proc/meminfo", meminfo, 1 << 20) != 0)
        return std::nullopt;
    std::uint64_t bytes = 0;
    for (const char* field : {"\nDirty:", "\nWriteback:"}) {
        const auto at = meminfo.find(field);
        if (at == std::string::npos)
            return std::nullopt;
        bytes += std::strtoull(meminfo.c_str() + at + std::strlen(field), nullptr, 10) * 1024;
    }
    return bytes;
}

// One syncfs per file system of `files`, each file that it could not flush flushed on its own.
std::vector<int> FlushFileSystems(const std::vector<int>& files) {
    std::vector<int> results(files.size(), 0);
    std::vector<std::pair<dev_t, bool>> file_systems;
    for (std::size_t i = 0; i < files.size(); ++i) {
        struct stat state {};
        auto known = file_systems.end();
        if (::fstat(files[i], &state) == 0) {
            known = std::find_if(file_systems.begin(), file_systems.end(),
                                 [&](const auto& file_system) { return file_system.first == state.st_dev; });
            if (known == file_systems.end()) {
                file_systems.emplace_back(state.st_dev, ::syncfs(files[i]) == 0);
                known = file_systems.end() - 1;
            }
        }
        if (known == file_systems.end() || !known->second)
            results[i] = ::fsync(files[i]) == 0 ? 0 : errno;
    }
    return results;
}

// Makes `files` durable: where the machine holds little unwritten data besides their `own`
// bytes, one flush of the file system is the cheapest way; otherwise each file is flushed on its
// own (FlushEach), so that the run does not wait for what other programs have not written yet.
std::vector<int> FlushTogether(const std::vector<int>& files, std::uint64_t own) {
    const std::optional<std::uint64_t> unwritten = UnwrittenBytes();
    if (unwritten && *unwritten <= own + kFewOtherBytes)
        return FlushFileSystems(files);
    return FlushEach(files);
}

// Flushes `entries` and puts each in place, noting those that could not be in `failures`; closes
// every file and empties `entries`. False when one failed.
bool CommitEntries(std::vector<WriteBatch::Entry>& entries, bool flush_each,
                   std::vector<WriteFailure>& failures) {
    if (entries.empty())
        return true;
    std::vector<int> files;
    files.reserve(entries.size());
    std::uint64_t own = 0;
    for (const WriteBatch::Entry& entry : entries) {
        files.push_back(entry.fd);
        own += entry.size;
    }
    const std::vector<int> flushed = flush_each ? FlushEach(files) : FlushTogether(files, own);
    bool all_done = true;
    std::vector<std::string> folders;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const WriteBatch::Entry& entry = entries[i];
        // Renamed while still locked, so no other write can take the file for a stale one. A new
        // file never replaces one that appeared meanwhile, nor does an unnamed one, made for a file
        // that was not there: one that appeared since is another program's, with no backup.
        int backup_error = 0;
        int error = flushed[i];
        if (error == 0)
            error = entry.temporary.empty() ? LinkUnnamed(entry.fd, entry.target)
                    : entry.new_file        ? RenameNoReplace(entry.temporary, entry.target)
                                     : PutInPlace(entry.temporary, entry.target, entry.backup, backup_error);
        if (backup_error != 0) {
            failures.push_back({entry.name, WriteFailure::Part::Backup, backup_error});
            all_done = false;
        }
        if (error != 0) {
            if (!entry.temporary.empty())
                ::unlink(entry.temporary.c_str());
            failures.push_back({entry.name, WriteFailure::Part::File, error});
            all_done = false;
        } else if (std::find(folders.begin(), folders.end(), FolderOf(entry.target)) == folders.end()) {
            folders.push_back(FolderOf(entry.target));
        }
        ::close(entry.fd);
    }
    entries.clear();
    for (const std::string& folder : folders)
        SyncFolder(folder);
    return all_done;
}

} // namespace

bool WriteBatch::Commit() {
    FinishBackground();
    names_.clear();
    const bool done = CommitEntries(entries_, flush_each_, failures_);
    return !std::exchange(background_failed_, false) && done;
}

void WriteBatch::CommitInBackground() {
    FinishBackground();
    if (entries_.empty())
        return;
    // The entries wait in members, so that none is lost where no thread can be started.
    background_entries_.swap(entries_);
    background_names_.swap(names_);
    names_.clear();
    try {
        background_ =
            std::thread([this] { CommitEntries(background_entries_, flush_each_, background_failures_); });
    } catch (const std::system_error&) {
        CommitEntries(background_entries_, flush_each_, background_failures_);
    }
}

void WriteBatch::FinishBackground() {
    if (background_.joinable())
        background_.join();
    background_names_.clear();
    background_failed_ = background_failed_ || !background_failures_.empty();
    failures_.insert(failures_.end(), std::make_move_iterator(background_failures_.begin()),
                     std::make_move_iterator(background_failures_.end()));
    background_failures_.clear();
}

const std::vector<std::string>* WriteBatch::TemporariesIn(const std::string& folder) {
    if (listed_ && listed_folder_ == folder)
        return listing_failed_ ? nullptr : &temporaries_;
    listed_ = true;
    listed_folder_ = folder;
    temporaries_.clear();
    DIR* dir = ::opendir(folder.c_str());
    listing_failed_ = dir == nullptr;
    if (dir == nullptr)
        return nullptr;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (ParseTemporaryName(name))
            temporaries_.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(temporaries_.begin(), temporaries_.end());
    return &temporaries_;
}

std::vector<WriteFailure> WriteBatch::TakeFailures() {
    FinishBackground();
    std::vector<WriteFailure> failures;
    failures.swap(failures_);
    return failures;
}

void RaiseOpenFileLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t wanted = limit.rlim_max == RLIM_INFINITY ? 8192 : std::min<rlim_t>(limit.rlim_max, 8192);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        limit.rlim_cur = wanted;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace qlm::platform

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whole-file operations on the Linux file system: the program's one reader, its one writer and the
// descriptor class both use. Every function gives 0 on success or the errno value of the step that
// failed; none of them talks to the user.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <unordered_set>
#include <vector>

namespace qlm::platform {

// Owns an open file descriptor and closes it when it goes out of scope; release() hands it over.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes the descriptor held and takes `fd` instead.
    void reset(int fd = -1);
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

// Upper bound for a text, a template or the settings file: a file larger than this is not a text
// any person wrote, and reading it would only exhaust memory.
inline constexpr std::uint64_t kMaxTextFileSize = std::uint64_t{256} << 20;

// Opens a regular file for reading (symbolic links followed) by the rules of ReadWholeFile, for a
// caller that reads it piece by piece: gives 0 with the file in `file` and its size in `size`, or
// the errno of ReadWholeFile's opening steps (ENOENT/ENOTDIR, EISDIR, EINVAL, ...).
int OpenRegularFile(const std::string& path, FileDescriptor& file, std::uint64_t& size);
// Opens a file as OpenRegularFile does but does not ask what kind of file it is, for a reader that
// asks only where reading goes wrong (RegularFileSize): one system call less for each file. Gives
// 0 with the file in `file`, or the errno of the open.
int OpenUnchecked(const std::string& path, FileDescriptor& file);
// The size of an opened file, with the errors of OpenRegularFile for anything but a regular file.
int RegularFileSize(const FileDescriptor& file, std::uint64_t& size);

// read(2) that tries again when a signal interrupts it.
ssize_t ReadSome(int fd, void* into, std::size_t count);

// Reads the whole of a regular file into `bytes` (symbolic links followed). The file is opened
// without blocking, so a FIFO or a device of that name never stalls the program; anything but a
// regular file is refused. Gives 0, or: ENOENT/ENOTDIR when there is no such file (see
// IsMissingFile), EISDIR for a folder, EINVAL for any other kind of file, EFBIG when the file holds
// more than `max_size` bytes (its size, as far as known, in `*size_seen`), ENOMEM, EIO when the file
// became shorter while it was read, or the errno of the failed step. `bytes` is empty on failure.
int ReadWholeFile(const std::string& path, std::string& bytes, std::uint64_t max_size,
                  std::uint64_t* size_seen = nullptr);

// True for the results of ReadWholeFile that mean "no such file", as opposed to a file that exists
// but cannot be read.
bool IsMissingFile(int error);

// What a write does with a name that is a symbolic link.
enum class Links {
    Refuse, // the name is not written (ELOOP) and nothing is read through it
    Follow, // the file the link names is written; the link stays
};

// Replaces the content of `path` with `bytes`. As a rule a temporary file in the same folder is
// written, every write checked, flushed with fsync and renamed over the old file, so that a crash
// or a full disk at any moment leaves either the old or the new content. An existing file keeps its
// permissions, owner and group. It is rewritten in place instead (space reserved first where the
// file system can, so a full disk stops the write before it changes anything; a crash in between
// leaves a mixture, which is why callers keep a backup) where a rename would change what the user
// relies on: a file with more than one hard link, a file whose owner or group the new file could not keep,
// and a writable file in a folder that allows no new files. A file the user may not write stays as
// it is. Temporary files that an earlier, killed write of the same file left behind are removed;
// those of a write still running are not.
int ReplaceFileContents(const std::string& path, std::string_view bytes, Links links);

// ReplaceFileContents for a page that keeps its previous version as `backup` (refusing links):
// the new content is written and flushed first, then the old file is kept under a temporary name
// (a hard link, or a flushed copy where the file system has none), the new content renamed into
// place and the old version renamed over `backup`. So the backup changes only once the page has,
// and a failed page leaves the old backup as it was; a run killed between the last two renames
// leaves the old version under its temporary name, which the next run puts in place as the backup
// (SettleTemporary). A file that is not there yet makes no backup.
int ReplaceKeepingBackup(const std::string& path, std::string_view bytes, const std::string& backup);

// Writes a file that must not exist yet (a thumbnail, a web copy): the whole content goes to a
// temporary first and is renamed to `path` only if that name is still free, so that a crash leaves
// no half file that a later run would take as made. EEXIST when the name is taken.
int WriteNewFile(const std::string& path, std::string_view bytes);

// True when `path` is a regular file whose content is exactly `bytes`, so that writing them would
// change nothing. With Links::Refuse a symbolic link never holds anything. Reads the file in
// pieces, comparing as it goes; any failure to read gives false. A file is taken for a regular one
// when it reads like one: only a FIFO or device giving exactly `bytes` would pass for one. `missing`, when
// given, is set to whether no file of that name exists (a new file needs no backup).
bool FileHoldsExactly(const std::string& path, std::string_view bytes, Links links, bool* missing = nullptr);

// Copies the file `from` over `to` (used for the ".bak" copies) by the rules of ReplaceFileContents.
// With Links::Refuse, neither `from` nor `to` may be a symbolic link (ELOOP).
int CopyFileOver(const std::string& from, const std::string& to, Links links);

// A write of a batch that failed at the commit: the file itself (it keeps its old content), or the
// backup of a page that did take its new content (the old version waits for the next run, which
// puts it in place; see SettleTemporary).
struct WriteFailure {
    enum class Part { File, Backup };
    std::string name; // as given to the write
    Part part = Part::File;
    int error = 0; // the errno of the failed step
};

// Writes gathered to be made durable together. A write added to the batch goes to its locked
// temporary file at once, but is flushed and renamed over its file only by Commit: one syncfs, or,
// where other programs have much data unwritten, an fsync of each temporary, many at once, then the
// renames in the order of the writes, then one fsync per folder. So every file is always either
// old or new, as with a single write. A write that has to go in place (see ReplaceFileContents)
// commits the batch first and is done at once. Dropping a batch removes its temporary files.
class WriteBatch {
  public:
    // Temporary files a batch keeps open at most; the next write commits it. Files flushed
    // together share journal commits, so a batch is as large as the open-file limit allows with
    // room left for the rest of the program (see WritesForLimit), up to kMaxWrites.
    static constexpr std::size_t kMaxWrites = 1024;
    static std::size_t MaxWrites();
    // The batch size for a limit of `limit` open files of which `open` are in use: half of the
    // descriptors still free after a reserve for reading pictures and templates, at least one.
    static std::size_t WritesForLimit(std::size_t limit, std::size_t open);

    WriteBatch() = default;
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // Makes every write of the batch durable and renames it into place; false when one failed.
    bool Commit();
    // Commit on a second thread, while the caller fills the batch anew: a run then waits for the
    // disk only at its last commit. Its files still go in place before any later write's: Commit,
    // TakeFailures and dropping the batch wait for it first, and Holds counts its files, so that a
    // second write of one commits first. Without a thread to be had, it commits at once.
    void CommitInBackground();
    // The writes that could not be put in place by the commits so far, in their order.
    std::vector<WriteFailure> TakeFailures();

    // True when a write of `path` (as given) waits in the batch.
    bool Holds(const std::string& path) const;
    std::size_t Size() const { return entries_.size(); }
    // True when the next write must commit the batch first. The size is taken from the limit
    // when a batch starts, and halved by Shrink when the program ran out of descriptors anyway.
    bool Full();
    void Shrink();
    // Every later commit flushes each file on its own, several at a time, as it does anyway while
    // the machine holds much unwritten data besides the batch's (for the tests of that way).
    void FlushEachFile() { flush_each_ = true; }

    // For the writers of this file.
    struct Entry {
        int fd = -1;            // the new content, open (a temporary also locked)
        std::string name;       // as given to the write
        std::string temporary;  // its path, or empty for a file without a name (CreateUnnamed)
        std::string target;     // the file it replaces
        std::string backup;     // where the old file goes (ReplaceKeepingBackup), or empty
        bool new_file = false;  // takes its name only while that is free (WriteNewFileIn)
        std::uint64_t size = 0; // the bytes written, which the commit weighs against other unwritten data
    };
    void Add(Entry entry);
    // The names in `folder` that may be temporary files of a write, sorted; listed once per folder
    // for the batch, so that a write need not look for each of its temporary names. Null when the
    // folder cannot be listed.
    const std::vector<std::string>* TemporariesIn(const std::string& folder);

  private:
    // Waits for the commit in the background, if any, and takes its failures.
    void FinishBackground();

    std::vector<Entry> entries_;
    std::unordered_set<std::string> names_; // the entries' names
    // The commit in the background: its thread, entries, their names and what it gives.
    std::thread background_;
    std::vector<Entry> background_entries_;
    std::unordered_set<std::string> background_names_;
    std::vector<WriteFailure> background_failures_;
    bool background_failed_ = false; // since the last Commit
    std::vector<WriteFailure> failures_;
    std::size_t capacity_ = kMaxWrites;
    bool flush_each_ = false;
    bool listed_ = false;
    bool listing_failed_ = false;
    std::string listed_folder_;
    std::vector<std::string> temporaries_;
};

// ReplaceFileContents, ReplaceKeepingBackup and CopyFileOver into a batch: the new content becomes
// the file's at the batch's Commit. Gives 0 once the write is in the batch (or done in place), or
// the errno. A failed backup is named among the batch's failures with its page in place.
int ReplaceFileContentsIn(WriteBatch& batch, const std::string& path, std::string_view bytes, Links links);
int ReplaceKeepingBackupIn(WriteBatch& batch, const std::string& path, std::string_view bytes,
                           const std::string& backup);
int CopyFileOverIn(WriteBatch& batch, const std::string& from, const std::string& to, Links links);

// WriteNewFile into a batch: the content goes to a temporary at once and takes the name `path` at
// the batch's Commit, only if that name is free then; otherwise the temporary is dropped and the
// write is among the failures with EEXIST. Nothing else is looked for: a new file has no
// temporaries of its own, and those of killed runs go when a run takes the folder (FolderRun).
int WriteNewFileIn(WriteBatch& batch, const std::string& path, std::string_view bytes);

// Raises the soft limit of open files towards the hard one (up to 8192), so that a WriteBatch can
// keep large batches open. Called once at the start of a program; a failure changes nothing.
void RaiseOpenFileLimit();

// Renames `from` to `to` but never replaces an existing `to`, also under a race: renameat2 with
// RENAME_NOREPLACE, or link + unlink where the file system lacks the flag, or where it has neither
// (exFAT and FAT through FUSE), RenameOntoReserved.
int RenameNoReplace(const std::string& from, const std::string& to);

// The fallbacks of RenameNoReplace on their own. ByLink: link `to` to `from`, then unlink `from`;
// needs a file system with hard links. OntoReserved: create `to` empty with O_EXCL, then rename
// `from` over it; a kill between the two leaves that empty file. Neither replaces an existing `to`.
int RenameNoReplaceByLink(const std::string& from, const std::string& to);
int RenameOntoReserved(const std::string& from, const std::string& to);

// The name of the backup of the file `path`: `path` + ".bak", or where that bare name would
// exceed the 255 bytes a name may have, the file's name shortened (whole characters) with a hash
// of the whole name and ".bak", so that each file keeps its backup of its own.
std::string BackupName(const std::string& path);

// True when `path` names an existing regular file (symbolic links followed).
bool IsRegularFile(const std::string& path);

// True when an entry of that name exists, of any kind (a dangling symbolic link included).
bool NameExists(const std::string& path);

} // namespace qlm::platform

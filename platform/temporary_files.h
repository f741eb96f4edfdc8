// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The names of the temporary files every writer of the program makes, and their clean-up. A
// temporary name is short and of fixed length whatever the file it belongs to (".qlm-" + kind +
// 16 hex digits of a hash of the target's bare name + "." + slot), so it always fits the name
// limit, and a run over a folder can tell its own leftovers from the user's files and match each
// to its target. One run over a folder at a time is enforced by a lock on the folder itself, so
// nothing is left behind for it either.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qlm::platform {

enum class TemporaryKind : char {
    NewContent = 'n', // the new content of a file, renamed over it once complete
    OldVersion = 'b', // the old content of a page on its way to becoming the page's ".bak"
};

inline constexpr int kTemporarySlots = 8;

// The n-th temporary of `kind` for the file `path`, in the folder of `path`.
std::string TemporaryName(const std::string& path, TemporaryKind kind, int n);

struct TemporaryNameParts {
    TemporaryKind kind = TemporaryKind::NewContent;
    std::uint64_t key = 0; // TemporaryKey of the target's bare name
};
// What a bare name says when it is one of the program's temporary names.
std::optional<TemporaryNameParts> ParseTemporaryName(std::string_view bare_name);
std::uint64_t TemporaryKey(std::string_view bare_name);
// Names that earlier versions of the program gave their temporaries (".page.html.qlm-3",
// ".t_x.jpg.qlm-new-<pid>-<n>"); a clean-up removes them too.
bool IsOlderTemporaryName(std::string_view bare_name);

// Deals with the temporary `temporary` of the file `target` that no live write holds (its lock can
// be taken): new content is removed; an old version is moved to `target` + ".bak" when the page has
// changed since (the run was killed between putting the page in place and keeping its old version),
// removed when the page still holds it. Gives true when the name is gone afterwards.
bool SettleTemporary(const std::string& temporary, TemporaryKind kind, const std::string& target);

// Removes (or settles, see SettleTemporary) every temporary that killed runs left in `folder`
// (ending in "/") and in its sub-folder of web copies. Temporaries of live writes stay. A run that
// has listed the folder while holding it, and found no temporary there, passes false for
// `in_folder_itself`: nothing can have left one since.
void CleanUpTemporaries(const std::string& folder, bool in_folder_itself = true);

// The sub-folder of a picture folder that holds the pictures' web copies.
inline constexpr std::string_view kWebCopyFolder = "qlm-web/";

// Holds the one run over a folder that may write in it: a lock on the folder itself (flock), so no
// file is left behind by a killed run and the lock goes with the process.
class FolderRun {
  public:
    FolderRun() = default;
    ~FolderRun();
    FolderRun(const FolderRun&) = delete;
    FolderRun& operator=(const FolderRun&) = delete;

    // Takes the folder (ending in "/") for this run and cleans up after killed runs. Gives 0,
    // EBUSY when another run holds the folder, or the errno of opening it.
    int Begin(const std::string& folder);
    // Takes the folder as Begin does but cleans up nothing: for a run that lists the folder next
    // and calls CleanUpTemporaries itself.
    int Take(const std::string& folder);
    void End();

  private:
    int fd_ = -1;
};

} // namespace qlm::platform

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A sub-folder of a folder, opened once for a run without following a symbolic link, so that what
// the run reads and writes there stays in that folder: a link of that name is not used, and a link
// or another folder put in its place while the run works does not take the run's files elsewhere.
// Its files are reached through the descriptor (its entry in /proc/self/fd); where /proc does not
// name it, through the folder's own path, which is checked to still name the folder opened.

#include "platform/file_ops.h"

#include <string>
#include <string_view>

namespace qlm::platform {

class SubFolder {
  public:
    SubFolder() = default;
    SubFolder(const SubFolder&) = delete;
    SubFolder& operator=(const SubFolder&) = delete;

    // Opens `folder` (ending in "/") + `name`, first making it when `make` and there is none. Gives
    // 0, ENOENT when there is none, ENOTDIR or ELOOP for a symbolic link (to a folder or not) and
    // for any other file that is no folder (IsNotAFolder), or the errno of the failed step.
    int Open(const std::string& folder, std::string_view name, bool make);
    bool valid() const { return fd_.valid(); }

    // The path the folder's files are reached by, ending in "/"; empty when it is not open.
    const std::string& Path() const { return path_; }
    // True while Path() reaches the folder opened: always through the descriptor; by the folder's
    // own path, only while that path still names it and is no link.
    bool StillThere() const;

  private:
    FileDescriptor fd_;
    std::string path_;
    std::string own_path_; // the folder's own path, without "/"
    bool through_descriptor_ = false;
};

// True for the results of SubFolder::Open that mean "there is something of that name, but it is
// no folder of its own".
bool IsNotAFolder(int error);

} // namespace qlm::platform

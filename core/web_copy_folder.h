// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The folder of web copies of one picture folder (kWebCopyFolder), as a run reads and writes it:
// opened once, never through a symbolic link, and only when it is a folder of its own. A link of
// that name (to any folder of the machine) or a file is refused: no copy is read from it or written
// into it, and whoever uses it says so with kWebCopyFolderRefused. The web copy maker, the pages'
// web copies and Correct Names all reach the copies through it.

#include "platform/sub_folder.h"

#include <mutex>
#include <string>

namespace qlm {

// Why the copies' folder is not used, when its name is taken by a link or a file.
inline constexpr const char* kWebCopyFolderRefused =
    "Kein echter Unterordner des Bilderordners, sondern ein symbolischer Link oder eine Datei; "
    "Webbilder werden darin weder gesucht noch gespeichert.";

class WebCopyFolder {
  public:
    // Opens the copies' folder of `folder` (ending in "/") when there is one; makes none.
    explicit WebCopyFolder(const std::string& folder);
    WebCopyFolder(const WebCopyFolder&) = delete;
    WebCopyFolder& operator=(const WebCopyFolder&) = delete;

    // 0 when it is open, ENOENT while there is none, or what opening it gave (see
    // platform::SubFolder::Open).
    int Error() const;
    // True when the name is taken by a link or another file that is no folder.
    bool Refused() const;
    // The path its copies are read and written by, ending in "/"; empty while there is no folder,
    // and once its name no longer reaches the folder opened.
    std::string Path() const;
    // Makes the folder for the first copy where there is none yet (one made meanwhile is used as it
    // is). Safe on several threads at once. Gives 0 or the errno (see Refused).
    int Make();

  private:
    const std::string folder_;
    mutable std::mutex mutex_;
    platform::SubFolder opened_;
    int error_ = 0;
};

// What to tell the user about `error` of WebCopyFolder: the refusal, or the system's text.
std::string WebCopyFolderReason(int error);

} // namespace qlm

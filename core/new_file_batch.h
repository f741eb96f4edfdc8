// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes the new files of a maker (thumbnails, web copies) through one crash-safe batch: each file
// goes to its own temporary as soon as it is encoded and takes its name at the next commit, only
// if that name is still free then. A commit comes when the batch is full or its oldest file has
// waited a moment, so the reports of the files follow the work closely. Each report runs after
// the commit that settled the files before it, so a result always tells what is on disk. Used on
// one thread: the makers encode on several and write on the calling one.

#include "platform/file_ops.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qlm {

class NewFileBatch {
  public:
    NewFileBatch() = default;
    NewFileBatch(const NewFileBatch&) = delete;
    NewFileBatch& operator=(const NewFileBatch&) = delete;

    // Writes `bytes` as the new file `path`: 0 once it waits in the batch, or the errno.
    int Write(const std::string& path, std::string_view bytes);
    // Runs `report` after the commit that puts the files written so far in place, after the
    // reports given before it.
    void Then(std::function<void()> report);
    // What became of the file `path` at the last commit: 0 when it took its name, EEXIST when the
    // name was taken meanwhile, or the errno. For the reports.
    int Outcome(const std::string& path) const;

    // Commits when the batch is full or has waited long enough; Finish commits what is left.
    void CommitIfDue();
    void Finish();

  private:
    platform::WriteBatch batch_;
    std::vector<std::function<void()>> reports_;
    std::unordered_map<std::string, int> failed_;
    std::chrono::steady_clock::time_point first_{};
};

} // namespace qlm

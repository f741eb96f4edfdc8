// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/new_file_batch.h"

#include <utility>

namespace qlm {
namespace {

// How long the first file of a batch waits for others before the batch is committed: long
// enough that a commit serves many small files, short enough that the progress keeps moving.
constexpr std::chrono::milliseconds kLongestWait{250};

} // namespace

int NewFileBatch::Write(const std::string& path, std::string_view bytes) {
    // A full batch is committed before the next file, so that its reports keep their order.
    if (batch_.Full())
        Finish();
    if (batch_.Size() == 0 && reports_.empty())
        first_ = std::chrono::steady_clock::now();
    return platform::WriteNewFileIn(batch_, path, bytes);
}

void NewFileBatch::Then(std::function<void()> report) {
    if (batch_.Size() == 0 && reports_.empty())
        first_ = std::chrono::steady_clock::now();
    reports_.push_back(std::move(report));
}

int NewFileBatch::Outcome(const std::string& path) const {
    const auto found = failed_.find(path);
    return found == failed_.end() ? 0 : found->second;
}

void NewFileBatch::CommitIfDue() {
    if (!reports_.empty() && (batch_.Full() || std::chrono::steady_clock::now() - first_ >= kLongestWait))
        Finish();
}

void NewFileBatch::Finish() {
    batch_.Commit();
    failed_.clear();
    for (const platform::WriteFailure& failure : batch_.TakeFailures())
        failed_[failure.name] = failure.error;
    std::vector<std::function<void()>> reports;
    reports.swap(reports_);
    for (const std::function<void()>& report : reports)
        report();
}

} // namespace qlm

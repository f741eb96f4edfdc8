// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Measures the pictures of a run on a second thread, in the order the run will ask for them, so
// that a run over many small pictures reads their headers on one core while it writes their pages
// on the other. The second thread keeps at most `window` pictures ahead of the run and is woken
// again only when the run has taken half of them. A run that finds its picture still being
// measured does not wait: it measures the next ones of the order itself, so both cores stay busy
// whichever of the two threads has more to do. Each result is handed out once, where the run asks
// for it, and a failure is thrown there. A run that asks for a picture out of that order gets it
// measured on its own thread, and from then on every picture.

#include "core/picture.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qlm {

class PictureMeasureAhead {
  public:
    // How a picture is measured, on the second thread and on the calling one alike.
    using Measure = std::function<Picture(const std::string& path)>;
    // The path of the picture the run asks for as the `index`th one, counted from 0.
    using PathAt = std::function<std::string(std::size_t index)>;

    // Starts measuring the `count` pictures PathAt(0), PathAt(1), ... at once.
    PictureMeasureAhead(Measure measure, PathAt path_at, std::size_t count, std::size_t window = 64);
    // Stops measuring and waits for the picture being measured.
    ~PictureMeasureAhead();
    PictureMeasureAhead(const PictureMeasureAhead&) = delete;
    PictureMeasureAhead& operator=(const PictureMeasureAhead&) = delete;

    // The measurement of `path`, as Measure(path) gives it: the next one of the order, waiting for
    // it while it is measured, or measured here when `path` is not the next one.
    Picture Take(const std::string& path);

  private:
    // The result for one index of the order, in the slot of that index modulo the window.
    struct Slot {
        Picture picture;
        std::exception_ptr failure;
        bool ready = false;
    };

    void Work();
    // Measures the picture at `index` into its slot; the lock is not held, and is held on return.
    void MeasureInto(std::size_t index, std::unique_lock<std::mutex>& lock);
    // Whether the second thread may go on: the lock is held.
    bool MayClaim() const { return claimed_ < count_ && claimed_ < taken_ + window_; }
    // Ends measuring ahead; the lock is held.
    void StopLocked();

    const Measure measure_;
    const PathAt path_at_;
    const std::size_t count_;
    const std::size_t window_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable done_;
    std::vector<Slot> slots_;
    std::size_t claimed_ = 0; // the next index neither thread measures yet
    std::size_t taken_ = 0;   // the index the run asks for next
    bool stop_ = false;
    bool worker_sleeps_ = false;
    bool run_waits_ = false;
    std::thread worker_;
};

} // namespace qlm

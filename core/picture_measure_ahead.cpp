// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/picture_measure_ahead.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace qlm {

PictureMeasureAhead::PictureMeasureAhead(Measure measure, PathAt path_at, std::size_t count,
                                         std::size_t window)
    : measure_(std::move(measure)), path_at_(std::move(path_at)), count_(count),
      window_(std::max<std::size_t>(window, 2)) {
    if (count_ == 0)
        return;
    try {
        worker_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        // No thread to be had: Take measures each picture itself.
        stop_ = true;
    }
}

PictureMeasureAhead::~PictureMeasureAhead() {
    {
        const std::lock_guard lock(mutex_);
        StopLocked();
    }
    work_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void PictureMeasureAhead::StopLocked() {
    stop_ = true;
    entries_.clear();
}

Picture PictureMeasureAhead::Take(const std::string& path) {
    // Only this thread counts what the run has taken.
    const bool in_order = taken_ < count_ && path_at_(taken_) == path;
    std::unique_lock lock(mutex_);
    // A run that leaves the order may want other pictures than those measured ahead.
    if (!stop_ && !in_order)
        StopLocked();
    if (!stop_) {
        ++taken_;
        run_waits_ = true;
        done_.wait(lock, [&] { return stop_ || !entries_.empty(); });
        run_waits_ = false;
    }
    if (stop_) {
        lock.unlock();
        work_.notify_all();
        return measure_(path);
    }
    Entry entry = std::move(entries_.front());
    entries_.pop_front();
    const bool wake = worker_sleeps_ && entries_.size() <= window_ / 2;
    lock.unlock();
    if (wake)
        work_.notify_one();
    if (entry.failure)
        std::rethrow_exception(entry.failure);
    return std::move(entry.picture);
}

void PictureMeasureAhead::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!stop_ && next_ < count_ && entries_.size() >= window_) {
            worker_sleeps_ = true;
            work_.wait(lock, [&] { return stop_ || entries_.size() <= window_ / 2; });
            worker_sleeps_ = false;
        }
        if (stop_ || next_ >= count_)
            return;
        // Only this thread counts what is measured.
        lock.unlock();
        std::string path;
        try {
            path = path_at_(next_++);
        } catch (...) {
            // Out of memory: the run measures the rest itself.
            lock.lock();
            StopLocked();
            done_.notify_all();
            return;
        }
        Picture picture;
        std::exception_ptr failure;
        try {
            picture = measure_(path);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (stop_)
            return;
        try {
            entries_.push_back(Entry{std::move(picture), failure});
        } catch (...) {
            StopLocked();
            done_.notify_all();
            return;
        }
        if (run_waits_)
            done_.notify_one();
    }
}

} // namespace qlm

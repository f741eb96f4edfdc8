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
    slots_.resize(window_);
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
    for (Slot& slot : slots_)
        slot = Slot{};
}

Picture PictureMeasureAhead::Take(const std::string& path) {
    // Only this thread counts what the run has taken.
    const bool in_order = taken_ < count_ && path_at_(taken_) == path;
    std::unique_lock lock(mutex_);
    // A run that leaves the order may want other pictures than those measured ahead.
    if (!stop_ && !in_order)
        StopLocked();
    const std::size_t index = taken_;
    while (!stop_) {
        Slot& slot = slots_[index % window_];
        const bool measured_here = !slot.ready && claimed_ == index;
        if (slot.ready || measured_here) {
            // Taken by the run: one slot more for the second thread, which sleeps until half are free.
            Slot taken = std::exchange(slot, Slot{});
            ++taken_;
            if (measured_here)
                ++claimed_;
            const bool wake = worker_sleeps_ && claimed_ + window_ / 2 <= taken_ + window_;
            lock.unlock();
            if (wake)
                work_.notify_one();
            if (measured_here)
                return measure_(path);
            if (taken.failure)
                std::rethrow_exception(taken.failure);
            return std::move(taken.picture);
        }
        if (MayClaim()) {
            // The second thread is still at it: the run measures a later one of the order meanwhile.
            const std::size_t later = claimed_++;
            lock.unlock();
            MeasureInto(later, lock);
            continue;
        }
        run_waits_ = true;
        done_.wait(lock);
        run_waits_ = false;
    }
    lock.unlock();
    work_.notify_all();
    return measure_(path);
}

void PictureMeasureAhead::MeasureInto(std::size_t index, std::unique_lock<std::mutex>& lock) {
    Slot result;
    try {
        result.picture = measure_(path_at_(index));
    } catch (...) {
        result.failure = std::current_exception();
    }
    result.ready = true;
    lock.lock();
    if (!stop_)
        slots_[index % window_] = std::move(result);
}

void PictureMeasureAhead::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!stop_ && claimed_ < count_ && !MayClaim()) {
            worker_sleeps_ = true;
            work_.wait(lock, [&] {
                return stop_ || claimed_ >= count_ || claimed_ + window_ / 2 <= taken_ + window_;
            });
            worker_sleeps_ = false;
        }
        if (stop_ || claimed_ >= count_)
            return;
        const std::size_t index = claimed_++;
        lock.unlock();
        MeasureInto(index, lock);
        if (run_waits_)
            done_.notify_one();
    }
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/work_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace qlm {
namespace {

// What the threads share: the next job to take and the finished jobs not yet reported.
struct Shared {
    std::size_t count = 0;
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable finished_one;
    std::deque<std::size_t> finished;

    // Takes the next job and runs it; false when none is left.
    bool RunOne(const std::function<void(std::size_t)>& job) {
        const std::size_t i = next.fetch_add(1);
        if (i >= count)
            return false;
        job(i);
        const std::lock_guard<std::mutex> lock(mutex);
        finished.push_back(i);
        finished_one.notify_one();
        return true;
    }

    // The next finished job; waits for one only when `wait`. False when there is none.
    bool TakeFinished(std::size_t& i, bool wait) {
        std::unique_lock<std::mutex> lock(mutex);
        if (wait)
            finished_one.wait(lock, [this] { return !finished.empty(); });
        if (finished.empty())
            return false;
        i = finished.front();
        finished.pop_front();
        return true;
    }
};

} // namespace

void RunOnEveryCore(std::size_t count, const std::function<void(std::size_t)>& job,
                    const std::function<void(std::size_t)>& report, int threads) {
    Shared shared;
    shared.count = count;
    unsigned wanted = threads > 0 ? static_cast<unsigned>(threads) : std::thread::hardware_concurrency();
    wanted = std::clamp<unsigned>(wanted, 1, static_cast<unsigned>(std::max<std::size_t>(count, 1)));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < wanted; ++t)
        pool.emplace_back([&shared, &job] {
            while (shared.RunOne(job)) {
            }
        });

    // The calling thread reports what is finished before it takes the next job, so that the
    // reports follow the work closely; once no job is left it waits for the others.
    try {
        std::size_t reported = 0;
        while (reported < count) {
            std::size_t i = 0;
            while (shared.TakeFinished(i, false)) {
                report(i);
                ++reported;
            }
            if (reported < count && !shared.RunOne(job) && shared.TakeFinished(i, true)) {
                report(i);
                ++reported;
            }
        }
    } catch (...) {
        shared.next = count;
        for (std::thread& thread : pool)
            thread.join();
        throw;
    }
    for (std::thread& thread : pool)
        thread.join();
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/picture_prefetcher.h"

#include "core/picture_loader.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace qlm {

PicturePrefetcher::PicturePrefetcher(std::size_t keep, Finished finished, int threads)
    : keep_(std::max<std::size_t>(keep, 1)), finished_(std::move(finished)),
      max_threads_(static_cast<std::size_t>(std::max(threads, 1))) {}

PicturePrefetcher::~PicturePrefetcher() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    work_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void PicturePrefetcher::Prefetch(const std::string& path, int box) {
    Queue(path, box, false);
}

void PicturePrefetcher::PrefetchFirst(const std::string& path, int box) {
    Queue(path, box, true);
}

void PicturePrefetcher::Queue(const std::string& path, int box, bool first) {
    std::unique_lock lock(mutex_);
    const auto found = Find(path, box);
    if (found != entries_.end()) {
        if (found->state == State::Waiting && first)
            found->order = --first_order_;
        return;
    }
    Entry entry;
    entry.path = path;
    entry.box = box;
    entry.order = first ? --first_order_ : ++next_order_;
    const auto added = entries_.insert(entries_.end(), std::move(entry));
    // Threads start as work comes; they stay until the prefetcher goes.
    if (idle_ == 0 && threads_.size() < max_threads_) {
        try {
            threads_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            // No thread to be had: the picture is decoded here and now, so that it still comes.
            if (threads_.empty()) {
                Decode(added, lock);
                return;
            }
        }
    }
    lock.unlock();
    work_.notify_one();
}

void PicturePrefetcher::DropWaiting() {
    const std::lock_guard lock(mutex_);
    entries_.remove_if([](const Entry& entry) { return entry.state == State::Waiting; });
}

PicturePrefetcher::Entries::iterator PicturePrefetcher::Find(const std::string& path, int box) {
    return std::find_if(entries_.begin(), entries_.end(),
                        [&](const Entry& entry) { return entry.box == box && entry.path == path; });
}

PicturePrefetcher::Entries::const_iterator PicturePrefetcher::Find(const std::string& path, int box) const {
    return std::find_if(entries_.begin(), entries_.end(),
                        [&](const Entry& entry) { return entry.box == box && entry.path == path; });
}

std::shared_ptr<const Picture> PicturePrefetcher::Ready(const std::string& path, int box, bool keep) {
    std::unique_lock lock(mutex_);
    auto entry = Find(path, box);
    if (entry == entries_.end())
        return nullptr;
    if (entry->state == State::Waiting) {
        entries_.erase(entry);
        return nullptr;
    }
    // Neither a decoding thread nor KeepFew removes an entry that is waited for.
    ++entry->waiters;
    done_.wait(lock, [&entry] { return entry->state == State::Done; });
    --entry->waiters;
    return GiveOut(entry, keep);
}

std::shared_ptr<const Picture> PicturePrefetcher::ReadyNow(const std::string& path, int box) {
    const std::lock_guard lock(mutex_);
    const auto entry = Find(path, box);
    if (entry == entries_.end() || entry->state != State::Done)
        return nullptr;
    return GiveOut(entry, true);
}

bool PicturePrefetcher::Decoded(const std::string& path, int box) const {
    const std::lock_guard lock(mutex_);
    const auto entry = Find(path, box);
    return entry != entries_.end() && entry->state == State::Done;
}

std::shared_ptr<const Picture> PicturePrefetcher::GiveOut(Entries::iterator entry, bool keep) {
    if (platform::StampOf(entry->path) != entry->stamp) {
        entries_.erase(entry);
        return nullptr;
    }
    const std::exception_ptr failure = entry->failure;
    std::shared_ptr<const Picture> picture = entry->picture;
    if (keep)
        entry->used = ++next_use_;
    else
        entries_.erase(entry);
    if (failure)
        std::rethrow_exception(failure);
    return picture;
}

std::shared_ptr<const Picture> PicturePrefetcher::Load(const std::string& path, int box, bool keep) {
    if (std::shared_ptr<const Picture> ready = Ready(path, box, keep))
        return ready;
    return std::make_shared<const Picture>(LoadPicture(path, box));
}

void PicturePrefetcher::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        work_.wait(lock, [this] {
            return stop_ || std::any_of(entries_.begin(), entries_.end(),
                                        [](const Entry& entry) { return entry.state == State::Waiting; });
        });
        --idle_;
        if (stop_)
            return;
        auto entry = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->state == State::Waiting && (entry == entries_.end() || it->order < entry->order))
                entry = it;
        Decode(entry, lock);
    }
}

void PicturePrefetcher::Decode(Entries::iterator entry, std::unique_lock<std::mutex>& lock) {
    entry->state = State::Decoding;
    const std::string path = entry->path;
    const int box = entry->box;
    lock.unlock();

    // The stamp is taken before the file is read: a change while it is read shows as a different
    // stamp when the result is asked for.
    const platform::FileStamp stamp = platform::StampOf(path);
    std::shared_ptr<const Picture> picture;
    std::exception_ptr failure;
    try {
        picture = std::make_shared<const Picture>(LoadPicture(path, box));
    } catch (...) {
        failure = std::current_exception();
    }

    lock.lock();
    entry->stamp = stamp;
    entry->picture = std::move(picture);
    entry->failure = failure;
    entry->state = State::Done;
    entry->used = ++next_use_;
    KeepFew();
    done_.notify_all();
    if (finished_) {
        lock.unlock();
        finished_(path, box);
        lock.lock();
    }
}

void PicturePrefetcher::KeepFew() {
    for (;;) {
        std::size_t done = 0;
        auto oldest = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->state != State::Done || it->waiters > 0)
                continue;
            ++done;
            if (oldest == entries_.end() || it->used < oldest->used)
                oldest = it;
        }
        if (done <= keep_)
            return;
        entries_.erase(oldest);
    }
}

} // namespace qlm

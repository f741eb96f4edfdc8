// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decodes pictures ahead on a second thread, so that the picture after the one on view is ready
// when it is wanted. A result is kept by the file's path and the size it was decoded for, together
// with the stamp its file had when the decoding began; it is only given out while the file still
// has that stamp, so a file changed on disk is decoded again. A failure of the decoder is kept too
// and thrown where the picture is asked for, not where it was decoded. Only a few results are kept
// (the least recently used go first), and the thread is joined when the prefetcher goes.

#include "core/picture.h"
#include "platform/file_stamp.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qlm {

class PicturePrefetcher {
  public:
    // Called on the decoding thread each time a decoding has ended, with its path and box.
    using Finished = std::function<void(const std::string& path, int box)>;

    // `keep`: the number of decoded results kept at most; `threads`: how many pictures are decoded
    // at the same time at most (each thread holds one picture's decoding memory).
    explicit PicturePrefetcher(std::size_t keep, Finished finished = {}, int threads = 1);
    // Drops the waiting work and waits for the pictures being decoded.
    ~PicturePrefetcher();
    PicturePrefetcher(const PicturePrefetcher&) = delete;
    PicturePrefetcher& operator=(const PicturePrefetcher&) = delete;

    // Decodes `path` as LoadPicture(path, box) would, after the work already waiting, unless it is
    // ready, waiting or being decoded.
    void Prefetch(const std::string& path, int box);
    // The same, ahead of all waiting work.
    void PrefetchFirst(const std::string& path, int box);
    // Drops the work that has not started.
    void DropWaiting();

    // The picture decoded ahead, while its file is unchanged; waits for one being decoded. Null
    // when there is none (waiting work for it is dropped: the caller decodes it more quickly
    // itself). Throws what the decoder threw. `keep` false hands the result over.
    std::shared_ptr<const Picture> Ready(const std::string& path, int box, bool keep);
    // The same without waiting: null also while the picture is still waiting or being decoded.
    std::shared_ptr<const Picture> ReadyNow(const std::string& path, int box);
    // True when a result for the picture is kept (not looking at its file).
    bool Decoded(const std::string& path, int box) const;

    // Ready(path, box, keep), or else decoded at once on the calling thread.
    std::shared_ptr<const Picture> Load(const std::string& path, int box, bool keep);

  private:
    enum class State { Waiting, Decoding, Done };
    struct Entry {
        std::string path;
        int box = 0;
        State state = State::Waiting;
        std::int64_t order = 0; // waiting work is taken in this order
        std::uint64_t used = 0; // the least recently used result goes first
        platform::FileStamp stamp;
        std::shared_ptr<const Picture> picture;
        std::exception_ptr failure;
        int waiters = 0; // callers waiting for it; such a result is not dropped to keep few
    };
    using Entries = std::list<Entry>;

    void Queue(const std::string& path, int box, bool first);
    Entries::iterator Find(const std::string& path, int box);
    Entries::const_iterator Find(const std::string& path, int box) const;
    // A result that is done: given out, or dropped when its file has changed since.
    std::shared_ptr<const Picture> GiveOut(Entries::iterator entry, bool keep);
    void Work();
    // Decodes the entry with the lock released meanwhile, keeps the result and reports it.
    void Decode(Entries::iterator entry, std::unique_lock<std::mutex>& lock);
    void KeepFew();

    const std::size_t keep_;
    const Finished finished_;
    const std::size_t max_threads_;
    mutable std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable done_;
    Entries entries_;
    std::int64_t next_order_ = 0;
    std::int64_t first_order_ = 0;
    std::uint64_t next_use_ = 0;
    bool stop_ = false;
    int idle_ = 0; // threads waiting for work
    std::vector<std::thread> threads_;
};

} // namespace qlm

#include "core/thumbnail_maker.h"

#include "core/encode_error.h"
#include "core/gif_encoder.h"
#include "core/jpeg_encoder.h"
#include "core/name_correction.h"
#include "core/picture.h"
#include "core/picture_scaler.h"
#include "core/png_encoder.h"
#include "platform/file_ops.h"
#include "platform/globals.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <set>
#include <thread>

namespace qlm {
namespace {

std::string EncodeFor(const std::string& thumbnail, const Image& image) {
    switch (FormatForFileName(thumbnail)) {
    case PictureFormat::Png:
        return EncodePng(image);
    case PictureFormat::Gif:
        return EncodeGif(image);
    case PictureFormat::Jpeg:
    case PictureFormat::Unknown:
        break;
    }
    return EncodeJpeg(image, kThumbnailJpegQuality);
}

// The whole thumbnail is written under a temporary name and then given its own name only if that
// is still free, so that a crash leaves no half thumbnail that later runs would take as existing.
void WriteThumbnail(const std::string& folder, const std::string& bytes, ThumbnailResult& result) {
    const int error = platform::WriteNewFile(folder + result.thumbnail, bytes);
    if (error == 0)
        return;
    if (error == EEXIST) {
        result.outcome = ThumbnailOutcome::Existing;
    } else {
        result.outcome = ThumbnailOutcome::Unwritten;
        result.message = platform::GetErrorText(error);
    }
}

void Make(const std::string& folder, int size, ThumbnailResult& result) {
    if (platform::NameExists(folder + result.thumbnail)) {
        result.outcome = ThumbnailOutcome::Existing;
        return;
    }
    // Twice the size: the decoders' own reduction does the coarse work, the scaler the fine.
    const Picture picture = LoadPicture(folder + result.picture, std::min(size, kMaxThumbnailSize) * 2);
    if (!picture.opened) {
        result.outcome = ThumbnailOutcome::PictureMissing;
        return;
    }
    const ScaledSize target = ThumbnailSize(picture.width, picture.height, size);
    const Image thumbnail = (target.width == picture.image.width && target.height == picture.image.height)
                                ? picture.image
                                : ScaleImage(picture.image, target.width, target.height);
    const std::string bytes = EncodeFor(result.thumbnail, thumbnail);
    result.width = thumbnail.width;
    result.height = thumbnail.height;
    WriteThumbnail(folder, bytes, result);
}

} // namespace

std::string ThumbnailFileName(const std::string& file_name, bool thumbs_jpg) {
    if (!thumbs_jpg)
        return "t_" + file_name;
    std::string base, extension;
    SplitFileName(file_name, base, extension);
    return "t_" + base + ".jpg";
}

ThumbnailResult MakeThumbnail(const std::string& folder, const std::string& picture, bool thumbs_jpg,
                              int size) {
    ThumbnailResult result;
    result.picture = picture;
    result.thumbnail = ThumbnailFileName(picture, thumbs_jpg);
    try {
        Make(folder, std::clamp(size, 1, kMaxThumbnailSize), result);
    } catch (const DecodeError& error) {
        result.outcome = ThumbnailOutcome::Damaged;
        result.message = error.what();
    } catch (const EncodeError& error) {
        result.outcome = ThumbnailOutcome::Damaged;
        result.message = error.what();
    } catch (const std::bad_alloc&) {
        result.outcome = ThumbnailOutcome::Damaged;
        result.message = "Für dieses Bild reicht der Speicher nicht.";
    }
    return result;
}

std::vector<ThumbnailResult>
MakeMissingThumbnails(const std::string& folder, const std::vector<std::string>& pictures, bool thumbs_jpg,
                      int size, const std::function<void(const ThumbnailResult&)>& done, int threads) {
    std::vector<ThumbnailResult> results(pictures.size());
    std::vector<std::size_t> work; // indexes of the pictures whose thumbnail is not made by another
    std::set<std::string> claimed;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        results[i].picture = pictures[i];
        results[i].thumbnail = ThumbnailFileName(pictures[i], thumbs_jpg);
        if (claimed.insert(results[i].thumbnail).second) {
            work.push_back(i);
        } else {
            results[i].outcome = ThumbnailOutcome::Existing;
            if (done)
                done(results[i]);
        }
    }

    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable finished_one;
    std::deque<std::size_t> finished;
    auto worker = [&] {
        for (std::size_t n = next.fetch_add(1); n < work.size(); n = next.fetch_add(1)) {
            const std::size_t i = work[n];
            ThumbnailResult result = MakeThumbnail(folder, pictures[i], thumbs_jpg, size);
            const std::lock_guard<std::mutex> lock(mutex);
            results[i] = std::move(result);
            finished.push_back(i);
            finished_one.notify_one();
        }
    };

    unsigned count = threads > 0 ? static_cast<unsigned>(threads) : std::thread::hardware_concurrency();
    count = std::clamp<unsigned>(count, 1, static_cast<unsigned>(std::max<std::size_t>(work.size(), 1)));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < count; ++t)
        pool.emplace_back(worker);

    // The calling thread reports what the others finish; with one thread it does the work itself.
    // Should reporting fail, the workers stop after their current picture before it passes on.
    try {
        if (pool.empty())
            worker();
        for (std::size_t reported = 0; reported < work.size(); ++reported) {
            std::unique_lock<std::mutex> lock(mutex);
            finished_one.wait(lock, [&] { return !finished.empty(); });
            const std::size_t i = finished.front();
            finished.pop_front();
            const ThumbnailResult result = results[i];
            lock.unlock();
            if (done)
                done(result);
        }
    } catch (...) {
        next = work.size();
        for (std::thread& thread : pool)
            thread.join();
        throw;
    }
    for (std::thread& thread : pool)
        thread.join();
    return results;
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/thumbnail_maker.h"

#include "core/colour_profile.h"
#include "core/encode_error.h"
#include "core/gallery_names.h"
#include "core/gif_encoder.h"
#include "core/jpeg_encoder.h"
#include "core/making_failure.h"
#include "core/new_file_batch.h"
#include "core/picture_loader.h"
#include "core/picture_scaler.h"
#include "core/png_encoder.h"
#include "core/run_cancelled.h"
#include "core/srgb_conversion.h"
#include "core/work_pool.h"
#include "platform/file_ops.h"
#include "platform/globals.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <set>
#include <thread>
#include <utility>

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

// What the write of a thumbnail came to: a name taken meanwhile leaves the file that took it.
void SettleWrite(int error, ThumbnailResult& result) {
    if (error == EEXIST) {
        result.outcome = ThumbnailOutcome::Existing;
    } else if (error != 0) {
        result.outcome = ThumbnailOutcome::Unwritten;
        result.message = platform::GetErrorText(error);
    }
}

// The whole thumbnail is written under a temporary name and then given its own name only if that
// is still free, so that a crash leaves no half thumbnail that later runs would take as existing.
// The outcome is settled once the batch has put it in place.
void WriteThumbnail(NewFileBatch& batch, const std::string& folder, std::string& bytes,
                    ThumbnailResult& result) {
    if (result.outcome != ThumbnailOutcome::Made)
        return;
    const std::string path = folder + result.thumbnail;
    const int error = batch.Write(path, bytes);
    std::string().swap(bytes);
    if (error != 0)
        SettleWrite(error, result);
    else
        batch.Then([&batch, &result, path] { SettleWrite(batch.Outcome(path), result); });
}

// The thumbnail of `result.picture` encoded into `bytes`, unless a file of its name exists.
void Make(const std::string& folder, int size, ThumbnailResult& result, std::string& bytes) {
    if (platform::NameExists(folder + result.thumbnail)) {
        result.outcome = ThumbnailOutcome::Existing;
        return;
    }
    // Twice the size: the decoders' own reduction does the coarse work, the scaler the fine.
    const std::string path = folder + result.picture;
    const int box = std::min(size, kMaxThumbnailSize) * 2;
    Picture picture = LoadPicture(path, box);
    if (!picture.opened) {
        result.outcome = ThumbnailOutcome::PictureMissing;
        return;
    }
    const ScaledSize target = ThumbnailSize(picture.width, picture.height, size);
    Image thumbnail = (target.width == picture.image.width && target.height == picture.image.height)
                          ? std::move(picture.image)
                          : ScaleImage(picture.image, target.width, target.height);
    // A thumbnail is written without a colour profile, so a browser shows it as sRGB: the colours
    // of a picture in another colour space are converted, or an Adobe RGB photo would look dull.
    // A profile the library cannot use leaves the pixels as they were decoded.
    ConvertToSrgb(thumbnail, ReadColourProfile(path, FormatForFileName(result.picture), box));
    bytes = EncodeFor(result.thumbnail, thumbnail);
    result.width = thumbnail.width;
    result.height = thumbnail.height;
}

// The result of one picture with its thumbnail encoded into `bytes`, still to be written where
// the outcome is Made.
ThumbnailResult EncodeThumbnail(const std::string& folder, const std::string& picture, bool thumbs_jpg,
                                int size, std::string& bytes) {
    ThumbnailResult result;
    result.picture = picture;
    result.thumbnail = ThumbnailFileName(picture, thumbs_jpg);
    if (const auto why = ReasonMakingFailed(
            [&] { Make(folder, std::clamp(size, 1, kMaxThumbnailSize), result, bytes); })) {
        result.outcome = ThumbnailOutcome::Damaged;
        result.message = *why;
    }
    return result;
}

} // namespace

ThumbnailResult MakeThumbnail(const std::string& folder, const std::string& picture, bool thumbs_jpg,
                              int size) {
    std::string bytes;
    ThumbnailResult result = EncodeThumbnail(folder, picture, thumbs_jpg, size, bytes);
    NewFileBatch batch;
    WriteThumbnail(batch, folder, bytes, result);
    batch.Finish();
    return result;
}

std::vector<ThumbnailResult> MakeMissingThumbnails(const std::string& folder,
                                                   const std::vector<std::string>& pictures, bool thumbs_jpg,
                                                   int size,
                                                   const std::function<void(const ThumbnailResult&)>& done,
                                                   int threads, const std::function<bool()>& stop) {
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

    // The threads decode and encode; the calling thread writes the thumbnails into one batch and
    // reports each once the batch has put it in place.
    std::vector<std::string> encoded(pictures.size());
    NewFileBatch batch;
    std::vector<char> written(work.size(), 0);
    try {
        RunOnEveryCore(
            work.size(),
            [&](std::size_t n) {
                results[work[n]] =
                    EncodeThumbnail(folder, pictures[work[n]], thumbs_jpg, size, encoded[work[n]]);
            },
            [&](std::size_t n) {
                // Thrown here, no further picture starts; those under way are waited for.
                if (stop && stop())
                    throw RunCancelled(0);
                ThumbnailResult& result = results[work[n]];
                WriteThumbnail(batch, folder, encoded[work[n]], result);
                written[n] = 1;
                batch.Then([&done, &result] {
                    if (done)
                        done(result);
                });
                batch.CommitIfDue();
            },
            threads);
    } catch (const RunCancelled&) {
        for (std::size_t n = 0; n < work.size(); ++n)
            if (written[n] == 0)
                results[work[n]].outcome = ThumbnailOutcome::Stopped;
    }
    batch.Finish();
    return results;
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/thumbnail_maker.h"

#include "core/encode_error.h"
#include "core/gallery_names.h"
#include "core/gif_encoder.h"
#include "core/jpeg_encoder.h"
#include "core/making_failure.h"
#include "core/picture_loader.h"
#include "core/picture_scaler.h"
#include "core/png_encoder.h"
#include "core/work_pool.h"
#include "platform/file_ops.h"
#include "platform/globals.h"

#include <algorithm>
#include <cerrno>
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
    } else if (error != 0) {
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

ThumbnailResult MakeThumbnail(const std::string& folder, const std::string& picture, bool thumbs_jpg,
                              int size) {
    ThumbnailResult result;
    result.picture = picture;
    result.thumbnail = ThumbnailFileName(picture, thumbs_jpg);
    if (const auto why =
            ReasonMakingFailed([&] { Make(folder, std::clamp(size, 1, kMaxThumbnailSize), result); })) {
        result.outcome = ThumbnailOutcome::Damaged;
        result.message = *why;
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

    RunOnEveryCore(
        work.size(),
        [&](std::size_t n) { results[work[n]] = MakeThumbnail(folder, pictures[work[n]], thumbs_jpg, size); },
        [&](std::size_t n) {
            if (done)
                done(results[work[n]]);
        },
        threads);
    return results;
}

} // namespace qlm

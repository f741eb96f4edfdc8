// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/web_copy_maker.h"

#include "core/colour_profile.h"
#include "core/encode_error.h"
#include "core/gallery_names.h"
#include "core/gif_decoder.h"
#include "core/gif_encoder.h"
#include "core/jpeg_encoder.h"
#include "core/making_failure.h"
#include "core/new_file_batch.h"
#include "core/picture_loader.h"
#include "core/picture_measure.h"
#include "core/picture_scaler.h"
#include "core/picture_source.h"
#include "core/png_encoder.h"
#include "core/run_cancelled.h"
#include "core/web_copy_folder.h"
#include "core/work_pool.h"
#include "platform/globals.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <new>
#include <utility>

namespace qlm {
namespace {

// The encoders write pixels and the format's bare headers only, so nothing the camera or an
// editor stored in the picture reaches a copy; a JPEG copy keeps the picture's colour profile.
std::string EncodeCopy(PictureFormat format, const Image& image, const std::string& profile) {
    switch (format) {
    case PictureFormat::Png:
        return EncodePng(image);
    case PictureFormat::Gif:
        return EncodeGif(image);
    case PictureFormat::Jpeg:
    case PictureFormat::Unknown:
        break;
    }
    return EncodeJpeg(image, kWebCopyJpegQuality, true, profile);
}

// The JPEG picture's ICC profile: without it a photo taken in a wider colour space than sRGB
// would look dull in its copy. Its headers are read as for the decoding at `box`, so that a
// picture decoded at an eighth is not refused for the memory of its full size.
std::string ColourProfile(const std::string& path, PictureFormat format, int box) {
    return format == PictureFormat::Jpeg ? ReadColourProfile(path, format, box) : std::string();
}

bool IsAnimatedGif(const std::string& path) {
    PictureSource source;
    return OpenPictureAgain(source, path) && GifHasSeveralFrames(source);
}

// A copy encoded and waiting to be written: its path relative to the picture folder, its name in
// the copies' folder, its bytes.
struct EncodedCopy {
    std::string path;
    std::string name;
    std::string bytes;
};

// The copies' folder could not be made or used: no copy of the picture is written.
void SetFolderUnusable(int error, WebCopyResult& result) {
    result.outcome = WebCopyOutcome::Unwritten;
    result.failed = std::string(kWebCopyFolder);
    result.message = WebCopyFolderReason(error);
}

// Encodes the copies of `missing` (largest first) from one decoding at the largest of them.
void MakeCopies(const std::string& folder, WebCopyFolder& web, const std::vector<int>& missing,
                WebCopyResult& result, std::vector<EncodedCopy>& copies) {
    const std::string path = folder + result.picture;
    // The decoder's own reduction does the coarse work (a JPEG is decoded at the smallest eighth
    // that still covers the largest copy), the scaler the exact size.
    const Picture picture = LoadPicture(path, missing.front());
    if (!picture.opened) {
        result.outcome = WebCopyOutcome::PictureMissing;
        return;
    }
    // The copies' folder is made on the first copy; one that is there (made by a maker running at
    // the same time, say) is used as it is.
    if (const int error = web.Make(); error != 0)
        return SetFolderUnusable(error, result);
    const PictureFormat format = FormatForFileName(result.picture);
    const std::string profile = ColourProfile(path, format, missing.front());
    for (const int size : missing) {
        const ScaledSize target = ThumbnailSize(picture.width, picture.height, size);
        const bool exact = target.width == picture.image.width && target.height == picture.image.height;
        copies.push_back(
            {WebCopyPath(result.picture, size), WebCopyFileName(result.picture, size),
             EncodeCopy(format,
                        exact ? picture.image : ScaleImage(picture.image, target.width, target.height),
                        profile)});
    }
}

void SetUnwritten(const std::string& copy, int error, WebCopyResult& result) {
    result.outcome = WebCopyOutcome::Unwritten;
    result.failed = copy;
    result.message = platform::GetErrorText(error);
}

// Writes the encoded copies of a picture into `batch`, largest first, each under a temporary name
// and then given its own only if that is still free; a copy whose name was taken meanwhile is left
// to the file that took it. The outcome is settled once the batch has put them in place.
void WriteCopies(NewFileBatch& batch, const WebCopyFolder& web, std::vector<EncodedCopy>& copies,
                 WebCopyResult& result) {
    if (result.outcome != WebCopyOutcome::Made)
        return;
    // Written through the folder opened, so that a link put in place of its name meanwhile does
    // not take the copies elsewhere.
    const std::string place = web.Path();
    if (place.empty()) {
        std::vector<EncodedCopy>().swap(copies);
        return SetFolderUnusable(ELOOP, result);
    }
    std::vector<std::pair<std::string, std::string>> written; // relative path, path written
    std::string failed;
    int error = 0;
    for (const EncodedCopy& copy : copies) {
        if ((error = batch.Write(place + copy.name, copy.bytes)) != 0) {
            failed = copy.path;
            break;
        }
        written.emplace_back(copy.path, place + copy.name);
    }
    std::vector<EncodedCopy>().swap(copies);
    batch.Then([&batch, &result, written, failed, error] {
        for (const auto& [copy, path] : written) {
            const int outcome = batch.Outcome(path);
            if (outcome == 0)
                result.made.push_back(copy);
            else if (outcome != EEXIST)
                return SetUnwritten(copy, outcome, result);
        }
        if (error != 0)
            return SetUnwritten(failed, error, result);
        result.outcome = result.made.empty() ? WebCopyOutcome::Existing : WebCopyOutcome::Made;
    });
}

// The smallest of the asked sizes, or 0 (every pixel) when none is one.
int SmallestSize(const std::vector<int>& sizes) {
    int smallest = 0;
    for (const int size : sizes)
        if (size >= 1 && (smallest == 0 || size < smallest))
            smallest = size;
    return smallest;
}

// The copies of `result.picture` still missing, encoded into `copies`; the outcome stays Made
// where they are to be written.
void Make(const std::string& folder, WebCopyFolder& web, const std::vector<int>& sizes, WebCopyResult& result,
          std::vector<EncodedCopy>& copies) {
    const std::string path = folder + result.picture;
    // The headers tell which copies the picture needs, so that a rerun decodes nothing. They are
    // read as for the smallest copy: the decoding at the largest one missing checks its own memory,
    // and none decodes the picture at its full size.
    const Picture measured = MeasurePicture(path, SmallestSize(sizes));
    if (!measured.opened) {
        result.outcome = WebCopyOutcome::PictureMissing;
        return;
    }
    const std::vector<int> needed = WebCopySizesFor(measured.width, measured.height, sizes);
    if (needed.empty()) {
        result.outcome = WebCopyOutcome::NotNeeded;
        return;
    }
    // A link or a file in place of the copies' folder is neither looked into nor written through.
    if (web.Refused())
        return SetFolderUnusable(web.Error(), result);
    const std::string place = web.Path();
    std::vector<int> missing;
    for (const int size : needed)
        if (place.empty() || !platform::NameExists(place + WebCopyFileName(result.picture, size)))
            missing.push_back(size);
    if (missing.empty()) {
        result.outcome = WebCopyOutcome::Existing;
        return;
    }
    if (FormatForFileName(result.picture) == PictureFormat::Gif && IsAnimatedGif(path)) {
        result.outcome = WebCopyOutcome::Animated;
        return;
    }
    MakeCopies(folder, web, missing, result, copies);
}

WebCopyResult EncodeWebCopies(const std::string& folder, WebCopyFolder& web, const std::string& picture,
                              const std::vector<int>& sizes, std::vector<EncodedCopy>& copies) {
    WebCopyResult result;
    result.picture = picture;
    if (const auto why = ReasonMakingFailed([&] { Make(folder, web, sizes, result, copies); })) {
        result.outcome = WebCopyOutcome::Damaged;
        result.message = *why;
    }
    return result;
}

} // namespace

std::vector<int> WebCopySizesFor(int width, int height, const std::vector<int>& sizes) {
    const int longer = std::max(width, height);
    std::vector<int> chosen;
    for (const int size : sizes)
        if (size >= 1 && size < longer)
            chosen.push_back(size);
    std::sort(chosen.begin(), chosen.end(), std::greater<>());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    return chosen;
}

WebCopyResult MakeWebCopies(const std::string& folder, const std::string& picture,
                            const std::vector<int>& sizes) {
    WebCopyFolder web(folder);
    std::vector<EncodedCopy> copies;
    WebCopyResult result = EncodeWebCopies(folder, web, picture, sizes, copies);
    NewFileBatch batch;
    WriteCopies(batch, web, copies, result);
    batch.Finish();
    return result;
}

std::vector<WebCopyResult> MakeMissingWebCopies(const std::string& folder,
                                                const std::vector<std::string>& pictures,
                                                const std::vector<int>& sizes,
                                                const std::function<void(const WebCopyResult&)>& done,
                                                int threads, const std::function<bool()>& stop) {
    std::vector<WebCopyResult> results(pictures.size());
    // The threads decode and encode; the calling thread writes the copies into one batch and
    // reports each picture once the batch has put its copies in place.
    std::vector<std::vector<EncodedCopy>> encoded(pictures.size());
    // The copies' folder is looked at once for the run; the batch writes through it to the end.
    WebCopyFolder web(folder);
    NewFileBatch batch;
    std::vector<char> written(pictures.size(), 0);
    try {
        RunOnEveryCore(
            pictures.size(),
            [&](std::size_t i) { results[i] = EncodeWebCopies(folder, web, pictures[i], sizes, encoded[i]); },
            [&](std::size_t i) {
                // Thrown here, no further picture starts; those under way are waited for.
                if (stop && stop())
                    throw RunCancelled(0);
                WriteCopies(batch, web, encoded[i], results[i]);
                written[i] = 1;
                batch.Then([&done, &results, i] {
                    if (done)
                        done(results[i]);
                });
                batch.CommitIfDue();
            },
            threads);
    } catch (const RunCancelled&) {
        for (std::size_t i = 0; i < pictures.size(); ++i)
            if (written[i] == 0) {
                results[i].outcome = WebCopyOutcome::Stopped;
                results[i].made.clear();
            }
    }
    batch.Finish();
    return results;
}

std::vector<std::string> ExistingWebCopies(const std::string& copies_folder, const std::string& picture) {
    std::vector<std::string> copies;
    if (copies_folder.empty())
        return copies;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(copies_folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (WebCopyLongSide(picture, name))
            copies.push_back(name);
    }
    std::sort(copies.begin(), copies.end());
    return copies;
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_host.h"

#include "cli/stop_signals.h"
#include "core/gallery_names.h"
#include "core/picture_loader.h"
#include "core/picture_measure.h"
#include "core/picture_measure_ahead.h"
#include "core/picture_prefetcher.h"
#include "core/run_cancelled.h"
#include "core/text_file.h"
#include "platform/globals.h"

#include <istream>
#include <ostream>

namespace qlm::cli {

namespace {

// Verifying decodes to the smallest size the decoder allows, which reads every byte of the picture
// data; the natural size is reported whatever the decoder reduced. Measuring makes the same checks
// of the headers as that decoding, so both give the same sizes and refuse the same pictures.
constexpr int kMeasureBox = 1;

// The next thumbnail and picture, and the ones the run is at while they are decoded; the picture
// the run waits for and the next one are decoded at the same time, on both cores.
constexpr std::size_t kKeptAhead = 4;
constexpr int kDecodingThreads = 2;

using platform::BareName;

} // namespace

std::string Printable(const std::string& text) {
    std::string shown = text;
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\n') || byte == 0x7F) {
            c = '?';
        }
    }
    return shown;
}

CliHost::CliHost(std::istream& answers, std::ostream& messages, bool show_progress, bool verify)
    : answers_(answers), messages_(messages), show_progress_(show_progress), verify_(verify) {}

CliHost::~CliHost() = default;

Picture CliHost::Load(const std::string& path) {
    if (measure_ahead_)
        return measure_ahead_->Take(path);
    if (!verify_)
        return MeasurePicture(path, kMeasureBox);
    // A failure decoded ahead is thrown here, where the run reaches the picture, as without it.
    if (ahead_)
        return *ahead_->Load(path, kMeasureBox, false);
    return LoadPicture(path, kMeasureBox);
}

std::string CliHost::AskUser(const std::string& /*initial_text*/, AskKind kind) {
    // An answer line replaces the initial text entirely, as typing does in the window's dialog,
    // so the initial text is not offered.
    EndProgressLine();
    if (kind == AskKind::Alt && !shown_picture_.empty()) {
        // Without the window's preview, the picture the question is about is named instead.
        messages_ << Printable(BareName(shown_picture_)) << ": ";
    }
    messages_ << AskPrompt(kind) << '\n';
    messages_.flush();

    std::string line;
    if (!std::getline(answers_, line)) {
        // A stop signal that came while the question waited ends the run here, with no answer
        // stored; every picture counted so far has its page.
        if (StopSignalled())
            throw RunCancelled(static_cast<std::size_t>(progress_position_));
        return std::string(kNoText);
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::optional<PictureSize> CliHost::MyLoadPic(const std::string& path) {
    shown_picture_ = path;
    const Picture picture = Load(path);
    if (picture.opened) {
        return PictureSize{picture.width, picture.height};
    }
    // The window goes on quietly here; a script must learn that a page lacks its picture.
    ++unopened_pictures_;
    EndProgressLine();
    messages_ << Printable(BareName(path))
              << ": cannot be opened; its page gets the size of the picture before it\n";
    messages_.flush();
    return std::nullopt;
}

std::optional<PictureSize> CliHost::LoadThumbnail(const std::string& path) {
    const Picture thumbnail = Load(path);
    if (!thumbnail.opened) {
        return std::nullopt;
    }
    return PictureSize{thumbnail.width, thumbnail.height};
}

void CliHost::ShowWarning(const std::string& text) {
    EndProgressLine();
    // One piece, so that the unbuffered standard error writes each message in one call.
    messages_ << Printable(text) + '\n';
    messages_.flush();
}

void CliHost::ShowDecodeFailure(const std::string& path, const std::string& message) {
    EndProgressLine();
    messages_ << Printable(BareName(path)) + ": " + message + '\n';
    messages_.flush();
}

void CliHost::SetProgressLabel(const std::string& text) {
    progress_label_ = text;
    DrawProgressLine();
}

void CliHost::SetProgressMaximum(int maximum) {
    progress_maximum_ = maximum;
}

void CliHost::SetProgressPosition(int position) {
    progress_position_ = position;
}

void CliHost::StepProgress() {
    ++progress_position_;
}

void CliHost::SetWorkingDisplay(bool working) {
    if (!working) {
        // Whatever was decoded or measured ahead belongs to the run that ends here.
        ahead_.reset();
        measure_ahead_.reset();
        EndProgressLine();
    }
}

void CliHost::ComingNext(const std::string& thumbnail_path, const std::string& picture_path) {
    // Measuring reads only the headers: nothing to gain from doing it ahead.
    if (!verify_) {
        return;
    }
    if (!ahead_) {
        ahead_ =
            std::make_unique<PicturePrefetcher>(kKeptAhead, PicturePrefetcher::Finished(), kDecodingThreads);
    }
    ahead_->Prefetch(thumbnail_path, kMeasureBox);
    ahead_->Prefetch(picture_path, kMeasureBox);
}

bool CliHost::StopRequested() {
    return StopSignalled();
}

void CliHost::MeasureAhead(const std::string& folder, const std::vector<std::string>& pictures,
                           bool thumbs_jpg) {
    if (verify_)
        return;
    // The run asks for each picture's thumbnail, then for the picture.
    const auto path_at = [&folder, &pictures, thumbs_jpg](std::size_t index) {
        const std::string& picture = pictures[index / 2];
        return folder + (index % 2 == 0 ? ThumbnailFileName(picture, thumbs_jpg) : picture);
    };
    // Only the sizes are kept: a picture whose headers do not suffice is decoded, and dozens of
    // those held ahead would hold their pixels too.
    const auto measure = [](const std::string& path) {
        Picture picture = MeasurePicture(path, kMeasureBox);
        picture.image = {};
        return picture;
    };
    measure_ahead_ = std::make_unique<PictureMeasureAhead>(measure, path_at, 2 * pictures.size());
}

void CliHost::DrawProgressLine() {
    if (!show_progress_ || progress_label_.empty()) {
        return;
    }
    // The label is set as a picture starts, before the step that counts it.
    messages_ << "\r\033[K[" << progress_position_ + 1 << '/' << progress_maximum_ << "] " << progress_label_;
    messages_.flush();
    progress_line_shown_ = true;
}

void CliHost::EndProgressLine() {
    if (progress_line_shown_) {
        messages_ << "\r\033[K";
        messages_.flush();
        progress_line_shown_ = false;
    }
}

} // namespace qlm::cli

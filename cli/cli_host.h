// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The generation host of the command-line tool: questions go to standard error and their answers
// come line by line from standard input, warnings go to standard error, and the pictures are
// only measured from their headers, or decoded as the window does when they are to be verified.

#include "core/generator.h"
#include "core/picture.h"
#include "core/publisher.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qlm {
class PictureMeasureAhead;
class PicturePrefetcher;
} // namespace qlm

namespace qlm::cli {

// It is also the host of publishing, whose progress it shows on the same line.
class CliHost : public GenerationHost, public PublishingHost {
  public:
    // `show_progress`: draw a progress line on `messages` (meant for a terminal). `verify`: decode
    // every picture and thumbnail, so that damaged picture data stops the run.
    CliHost(std::istream& answers, std::ostream& messages, bool show_progress, bool verify);
    ~CliHost() override;
    CliHost(const CliHost&) = delete;
    CliHost& operator=(const CliHost&) = delete;

    std::string AskUser(const std::string& initial_text, AskKind kind) override;
    std::optional<PictureSize> MyLoadPic(const std::string& path) override;
    std::optional<PictureSize> LoadThumbnail(const std::string& path) override;
    void ShowWarning(const std::string& text) override;
    void ShowDecodeFailure(const std::string& path, const std::string& message) override;
    void SetProgressLabel(const std::string& text) override;
    void SetProgressMaximum(int maximum) override;
    void SetProgressPosition(int position) override;
    void StepProgress() override;
    void SetWorkingDisplay(bool working) override;
    void ComingNext(const std::string& thumbnail_path, const std::string& picture_path) override;
    // SIGINT or SIGTERM came (CatchStopSignals).
    bool StopRequested() override;

    // The number of pictures that could not be opened at all (a pipe, a dangling link named like a
    // picture); each was named on the messages as the run reached it.
    int UnopenedPictures() const { return unopened_pictures_; }
    // Measures the thumbnails and pictures of the coming run on a second thread, in the order the
    // run asks for them, unless they are to be verified. Only for a run that asks no questions:
    // one that waits for an answer would give sizes measured before the wait. `folder` and
    // `pictures` must stay until the run has ended.
    void MeasureAhead(const std::string& folder, const std::vector<std::string>& pictures, bool thumbs_jpg);
    // Takes the progress line off the terminal, so that a message can follow.
    void EndProgressLine();

  private:
    void DrawProgressLine();
    Picture Load(const std::string& path);

    std::istream& answers_;
    std::ostream& messages_;
    bool show_progress_;
    bool verify_;
    bool progress_line_shown_ = false;
    std::string shown_picture_; // the picture shown last, for the question about its text
    int unopened_pictures_ = 0;
    // Pictures to verify are decoded ahead while the run deals with those before them.
    std::unique_ptr<PicturePrefetcher> ahead_;
    // Pictures only measured are measured ahead on a second thread, after MeasureAhead.
    std::unique_ptr<PictureMeasureAhead> measure_ahead_;
    std::string progress_label_;
    int progress_maximum_ = 0;
    int progress_position_ = 0;
};

// `text` with its control characters but the line break shown as "?", so that odd bytes in file
// names cannot steer the terminal that shows the messages.
std::string Printable(const std::string& text);

} // namespace qlm::cli

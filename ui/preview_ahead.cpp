// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/preview_ahead.h"

#include "core/picture_prefetcher.h"
#include "ui/preview_placement.h"

#include <exception>
#include <utility>

namespace qlm::ui {
namespace {

// The focused picture, the ones before and after it, and the two the focus has just left: a few
// previews, each already reduced to little more than the box.
constexpr std::size_t kKeptPreviews = 5;

} // namespace

PreviewAhead::PreviewAhead(std::function<void(const Picture&)> show, Failed fail)
    : show_(std::move(show)), fail_(std::move(fail)),
      decoder_(std::make_unique<PicturePrefetcher>(kKeptPreviews, [this](const std::string&, int) {
          // From the decoding thread: the window looks at the result on its own thread.
          QMetaObject::invokeMethod(this, &PreviewAhead::Deliver, Qt::QueuedConnection);
      })) {}

PreviewAhead::~PreviewAhead() {
    // Joined before this object goes, so that no decoding reports to it afterwards.
    decoder_.reset();
}

void PreviewAhead::Want(const std::string& path, const std::vector<std::string>& neighbours) {
    wanted_ = path;
    // What waits for an entry the focus has left can wait no longer; the wanted picture goes first.
    decoder_->DropWaiting();
    Deliver();
    for (const std::string& neighbour : neighbours)
        decoder_->Prefetch(neighbour, kPreviewBox);
}

void PreviewAhead::Forget() {
    wanted_.clear();
    decoder_->DropWaiting();
}

bool PreviewAhead::Ready(const std::string& path) const {
    return decoder_->Decoded(path, kPreviewBox);
}

void PreviewAhead::Deliver() {
    if (wanted_.empty())
        return;
    std::shared_ptr<const Picture> picture;
    try {
        picture = decoder_->ReadyNow(wanted_, kPreviewBox);
    } catch (const std::exception& failure) {
        // Handed over before the box opens: the box waits for the user, and results that arrive
        // meanwhile must not report the same failure again.
        const std::string path = std::move(wanted_);
        wanted_.clear();
        fail_(path, failure.what());
        return;
    }
    if (picture == nullptr) {
        // Not decoded yet, or decoded from a file that has changed since: it goes first.
        decoder_->PrefetchFirst(wanted_, kPreviewBox);
        return;
    }
    const std::string path = std::move(wanted_);
    wanted_.clear();
    // A picture that cannot be shown ends this action only; the box names it and the reason.
    try {
        show_(*picture);
    } catch (const std::exception& failure) {
        fail_(path, failure.what());
    }
}

} // namespace qlm::ui

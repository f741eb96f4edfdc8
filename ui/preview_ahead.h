// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The folder browser's preview decoded off the user-interface thread. The picture the focused
// entry names is wanted; it is decoded on a second thread, together with the pictures beside it in
// the list, which are then kept ready, so that stepping through a folder with the cursor keys shows
// each picture at once. Only the picture still wanted is ever handed to the window: a result for
// an entry the focus has left is kept for later but not shown, and one whose file has changed
// since it was decoded is decoded again.

#include "core/picture.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qlm {
class PicturePrefetcher;
}

namespace qlm::ui {

class PreviewAhead : public QObject {
    Q_OBJECT

  public:
    // `show` gets the wanted picture (not opened when its file could not be opened); `fail` gets
    // the path and the message of a picture that could not be decoded or shown. Both are called on
    // this object's thread.
    using Failed = std::function<void(const std::string& path, const std::string& message)>;
    PreviewAhead(std::function<void(const Picture&)> show, Failed fail);
    // Waits for the picture being decoded; the work not yet started is dropped.
    ~PreviewAhead() override;

    // The picture `path` is wanted now: shown at once when it is ready, else as soon as it is
    // decoded. `neighbours` are decoded after it, in their order, to be ready when wanted.
    void Want(const std::string& path, const std::vector<std::string>& neighbours);
    // Nothing is wanted any more: the focus is on an entry that is no picture, or a command
    // drives the preview itself.
    void Forget();
    // True while a wanted picture has not yet been handed over.
    bool Waiting() const { return !wanted_.empty(); }
    // True when the picture `path` has been decoded and is kept ready.
    bool Ready(const std::string& path) const;

  private:
    // Hands the wanted picture over when it is ready.
    void Deliver();

    std::function<void(const Picture&)> show_;
    Failed fail_;
    std::string wanted_;
    std::unique_ptr<PicturePrefetcher> decoder_;
};

} // namespace qlm::ui

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's side of a "Make HTML" run: the progress display in place of the folder list,
// each picture in the preview, thumbnails decoded into the hidden `TinyPic`, the questions in the
// ask-user dialog and the message boxes. The run stays on the user-interface thread, so the host
// repaints the window itself as the run goes on, while the window takes no input of the user. The
// next thumbnail and picture are decoded ahead on a second thread while the current one is shown,
// asked about and written; what the run sees of them (sizes, files that cannot be opened,
// decoding failures) is what it would see decoding them itself, at the moment it loads them.

#include "core/generator.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace qlm {
class PicturePrefetcher;
}

class QAbstractButton;
class QLabel;
class QProgressBar;
class QWidget;

namespace qlm::ui {

class PicturePreview;
class TFAskUser;

// The widgets a run works with; the main window owns them all.
struct WindowParts {
    QWidget* window = nullptr;
    QWidget* main_panel = nullptr;
    QWidget* work_panel = nullptr;
    QProgressBar* progress = nullptr;
    QLabel* progress_info = nullptr;
    QAbstractButton* stop = nullptr; // "Abbrechen" on the progress display
    QLabel* tiny_pic = nullptr;
    QWidget* make_html = nullptr;
    QWidget* correct_names = nullptr;
    QWidget* reload_defs = nullptr;
    QWidget* list = nullptr; // takes the focus back after a run
    PicturePreview* preview = nullptr;
    TFAskUser* ask_dialog = nullptr;
    // Called when a command takes the working display, and with it the preview.
    std::function<void()> command_starts;
};

// The text of the box for a picture that cannot be decoded: its bare name, then the reason.
QString DecodeFailureText(const std::string& path, const std::string& message);

class WindowHost : public GenerationHost {
  public:
    explicit WindowHost(const WindowParts& parts);
    ~WindowHost() override;

    // True from the working display's start to its end.
    bool Working() const { return working_; }
    // The window was asked to close while the run works: the progress display says that it stays
    // open until the run is over, until the run ends.
    void NoteCloseRefused();
    // Stops the run at its next stop point ("Abbrechen", or the window closed during the run).
    void RequestStop();

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
    // Lets the window take the click on "Abbrechen" first: a maker reports its pictures only as
    // their files are put in place, so this may be the first time in a while.
    bool StopRequested() override;

    // Decoding ahead on a second thread (on by default); off, a run decodes every picture on the
    // user-interface thread when it loads it.
    void SetDecodeAhead(bool on) { decode_ahead_ = on; }

  private:
    // Lets the window paint what changed, without handing it any input of the user.
    void Refresh();

    WindowParts parts_;
    bool working_ = false;
    bool stop_requested_ = false; // for the run under way
    bool decode_ahead_ = true;
    std::unique_ptr<QObject> input_blocker_;
    // Lives from the run's first hint to its end, so no decoding outlasts the run.
    std::unique_ptr<PicturePrefetcher> ahead_;
};

} // namespace qlm::ui

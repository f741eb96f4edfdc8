// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's one main window: the folder browser on the left, the preview on the right, the six
// option flags and the four command buttons below them, and the progress display that takes the
// browser's place while a command runs. It holds the program-wide state: the current folder (kept
// by the browser), the version string, the settings file path and the template set.

#include "core/generator.h"
#include "core/templates.h"
#include "ui/commands.h"
#include "ui/folder_browser.h"
#include "ui/publish_command.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QCloseEvent;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;

namespace qlm::help {
class THookHelpSystem;
}

namespace qlm::ui {

class DesktopActions;
class PicturePreview;
class PreviewAhead;
class TBorderLessButton;
class TFAskUser;
class WindowHost;

// The window caption: "Quillmoor V" and the version string.
QString MainCaption(const std::string& version);

// The program's font: a plain sans-serif of 11 pixels (8 points at 96 dots per inch).
QFont WindowFont();

// Makes the window's pictures available; called once before the first window is built.
void InitResources();

class TMain : public QWidget, public CommandWindow {
    Q_OBJECT

  public:
    // `settings_path` replaces the program's own "QLM.ini" (tests keep their own).
    explicit TMain(std::optional<std::string> settings_path = std::nullopt, QWidget* parent = nullptr);
    ~TMain() override;

    const std::string& CurrentFolder() const { return browser_->Folder(); }
    const std::string& Version() const override { return version_; }
    const std::string& SettingsPath() const { return settings_path_; }
    const TemplateSet& Templates() const override { return templates_; }
    // False when the last loading of the templates failed (at start or on "Reload Defs").
    bool TemplatesLoaded() const { return templates_loaded_; }
    // Off: closing the window leaves the settings file as it is (the program is ending after a
    // failure that the user has been told about).
    void SetSaveSettingsOnClose(bool on) { save_settings_on_close_ = on; }
    // The pop-up entries that open the user's templates and the gallery on the desktop.
    DesktopActions* Desktop() const { return desktop_actions_; }
    // The ask-user dialog, created hidden with the window and reused for every question.
    TFAskUser* FAskUser() const { return ask_dialog_; }

    // Shows the picture (full path) in the preview and gives the natural size held afterwards.
    // A file that cannot be opened changes nothing; damaged data throws DecodeError.
    PictureSize MyLoadPic(const std::string& path);

    // What the commands read of the window.
    std::string CommandFolder() const override { return browser_->Folder(); }
    std::vector<std::string> SelectedPictures() const override { return browser_->SelectedPictures(); }
    OptionFlags Flags() const override;
    GenerationHost& Host() override;
    void SetCommandButtons(bool enabled) override;
    void Warn(const std::string& text) override;
    void Reselect(const std::vector<std::string>& names) override;
    void Note(const std::string& text) override;
    void NoteGallery(const std::string& page) override;
    PromptsChoice OfferOtherWay(const PromptsAhead& ahead, bool make_thumbnails,
                                bool make_web_copies) override;
    // The status line's text, whole also where the line shows it cut (empty when it says nothing).
    QString StatusText() const;

    // The handlers of the window's buttons and list, callable directly.
    // "Reload Defs": the templates read again; the status line names their folder.
    void ReloadHTMLClick();
    // "Make HTML", "Correct Names", "Correct Infofile": each runs the command of the same name in
    // commands.h on this window.
    void MakeItSoClick();
    void RenameFilesClick();
    void TransFileClick();
    void ReadDrivesClick();
    void ReloadClick();
    void MainListDblClick();
    // After a change of the focused entry: the preview and the command buttons follow it.
    void MainListChange();
    // True while the preview has yet to show the focused picture, which is being decoded.
    bool PreviewPending() const;
    // True when the picture `path` (full path) is decoded and ready for the preview.
    bool PreviewReady(const std::string& path) const;
    void MarkAllClick();
    // "Fehlende Thumbnails erzeugen" of the list's pop-up menu.
    void MakeThumbsClick();
    // "Fehlende Webbilder erzeugen" of the list's pop-up menu.
    void MakeWebPicsClick();
    // "Galerie veröffentlichen…" (the remembered target) and "Veröffentlichungsordner ändern…"
    // (asked again) of the list's pop-up menu.
    void PublishGalleryClick(PublishTargetChoice choice);
    void MyGetDrives();
    void MyReload() override;

  signals:
    // Loading the templates failed and the user has been told; what follows is the program's choice.
    void TemplatesFailed();

  protected:
    // FormClose: writes the settings, unless switched off; refused while a command runs.
    void closeEvent(QCloseEvent* event) override;
    // Closes the window when the user stopped the command that just ended in order to close it.
    void CloseIfAsked();
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The window itself: its name, caption, font, icon, fixed size and place.
    void SetUpFrame();
    void CreateWidgets();
    void CreateCommandButtons();
    void CreateWorkPanel();
    void CreateOptionBoxes();
    // The status line above the list, which says what the last command did, and its button.
    void CreateStatusLine();
    void PlaceWidgets();
    // The browser, the preview and its decoding ahead, the ask-user dialog and the run's host.
    void CreateParts();
    void ConnectHandlers();
    void ReadSettings();
    void WriteSettings();
    // The focused picture in the preview, or the preview hidden for another focused entry.
    void ShowFocusedEntry();
    // "Make HTML" and "Correct Names" enabled exactly while a picture is selected.
    void UpdateCommandButtons();
    // The status line empty, its browser button hidden.
    void ClearNote();
    // The status line's button: the page named by the note in the browser.
    void ShowNotedPage();

    QLabel* MyDir = nullptr;
    QWidget* MainPanel = nullptr;
    QLabel* StatusLine = nullptr;
    QPushButton* ShowInBrowser = nullptr;
    TBorderLessButton* ReadDrives = nullptr;
    TBorderLessButton* Reload = nullptr;
    QListWidget* MainList = nullptr;
    QWidget* WorkPanel = nullptr;
    QProgressBar* TheProgress = nullptr;
    QLabel* TheProgressInfo = nullptr;
    QPushButton* StopRun = nullptr;
    QLabel* Preview = nullptr;
    QLabel* TinyPic = nullptr;
    QLabel* Kennung = nullptr;
    QCheckBox* CKeywords = nullptr;
    QCheckBox* CDescription = nullptr;
    QCheckBox* CAlt = nullptr;
    QCheckBox* CWarn = nullptr;
    QCheckBox* CImgwoAlt = nullptr;
    QCheckBox* CThumbJPG = nullptr;
    QPushButton* MakeItSo = nullptr;
    QPushButton* ReloadHTML = nullptr;
    QPushButton* RenameFiles = nullptr;
    QPushButton* TransFile = nullptr;
    QMenu* MainPopUp = nullptr;
    QAction* MarkAll = nullptr;
    QAction* MakeThumbs = nullptr;
    QAction* MakeWebPics = nullptr;
    QAction* PublishGallery = nullptr;
    QAction* ChangePublishTarget = nullptr;
    DesktopActions* desktop_actions_ = nullptr;

    std::unique_ptr<help::THookHelpSystem> help_hook_;
    std::unique_ptr<FolderBrowser> browser_;
    std::unique_ptr<PicturePreview> preview_;
    std::unique_ptr<PreviewAhead> preview_ahead_;
    TFAskUser* ask_dialog_ = nullptr;
    std::unique_ptr<WindowHost> host_;
    std::string version_;
    std::string settings_path_;
    std::string noted_page_; // the page the status line's browser button opens
    TemplateSet templates_;
    bool templates_loaded_ = false;
    bool save_settings_on_close_ = true;
    bool close_after_run_ = false; // the user chose to stop the run to close the window
};

} // namespace qlm::ui

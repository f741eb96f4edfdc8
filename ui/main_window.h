#pragma once
// The program's one main window: the folder browser on the left, the preview on the right, the six
// option flags and the four command buttons below them, and the progress display that takes the
// browser's place while a command runs. It holds the program-wide state: the current folder (kept
// by the browser), the version string, the settings file path and the template set.

#include "core/generator.h"
#include "core/templates.h"
#include "ui/folder_browser.h"

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

class PicturePreview;
class TBorderLessButton;

// The window caption: "Quillmoor V" and the version string.
QString MainCaption(const std::string& version);

// The program's font: a plain sans-serif of 11 pixels (8 points at 96 dots per inch).
QFont WindowFont();

// Makes the window's pictures available; called once before the first window is built.
void InitResources();

class TMain : public QWidget {
    Q_OBJECT

  public:
    // `settings_path` replaces "QLM.ini" beside the executable (tests keep their own).
    explicit TMain(std::optional<std::string> settings_path = std::nullopt, QWidget* parent = nullptr);
    ~TMain() override;

    const std::string& CurrentFolder() const { return browser_->Folder(); }
    const std::string& Version() const { return version_; }
    const std::string& SettingsPath() const { return settings_path_; }
    const TemplateSet& Templates() const { return templates_; }
    // True once a template failure has asked the program to end.
    bool EndRequested() const { return end_requested_; }

    // Shows the picture (full path) in the preview and gives the natural size held afterwards.
    // A file that cannot be opened changes nothing; damaged data throws DecodeError.
    PictureSize MyLoadPic(const std::string& path);

    // The handlers of the window's buttons and list, callable directly.
    void ReloadHTMLClick();
    void ReadDrivesClick();
    void ReloadClick();
    void MainListDblClick();
    // After a change of the focused entry: the preview and the command buttons follow it.
    void MainListChange();
    void MarkAllClick();
    void MyGetDrives();
    void MyReload();

  protected:
    // FormClose: writes the settings, unless the program is ending after a template failure.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateWidgets();
    void CreateCommandButtons();
    void CreateOptionBoxes();
    void PlaceWidgets();
    void ConnectHandlers();
    void ReadSettings();
    void WriteSettings();
    // The focused picture in the preview, or the preview hidden for another focused entry.
    void ShowFocusedEntry();
    // "Make HTML" and "Correct Names" enabled exactly while a picture is selected.
    void UpdateCommandButtons();
    // Asks the application to end with a failure code once control is back in its event loop.
    void PostEnd();

    QLabel* MyDir = nullptr;
    QWidget* MainPanel = nullptr;
    TBorderLessButton* ReadDrives = nullptr;
    TBorderLessButton* Reload = nullptr;
    QListWidget* MainList = nullptr;
    QWidget* WorkPanel = nullptr;
    QProgressBar* TheProgress = nullptr;
    QLabel* TheProgressInfo = nullptr;
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

    std::unique_ptr<help::THookHelpSystem> help_hook_;
    std::unique_ptr<FolderBrowser> browser_;
    std::unique_ptr<PicturePreview> preview_;
    std::string version_;
    std::string settings_path_;
    TemplateSet templates_;
    bool end_requested_ = false;
    bool created_ = false;
};

} // namespace qlm::ui

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_window.h"

#include "core/folder_listing.h"
#include "core/picture.h"
#include "core/settings.h"
#include "core/settings_place.h"
#include "core/template_places.h"
#include "help/help_hook.h"
#include "help/manual/help_context.h"
#include "help/viewer_loader.h"
#include "platform/globals.h"
#include "platform/module_version.h"
#include "platform/program_places.h"
#include "platform/text.h"
#include "ui/ask_dialog.h"
#include "ui/borderless_button.h"
#include "ui/desktop_actions.h"
#include "ui/main_window_layout.h"
#include "ui/message_boxes.h"
#include "ui/picture_preview.h"
#include "ui/preview_ahead.h"
#include "ui/prompts_offer_box.h"
#include "ui/stopped_runs.h"
#include "ui/window_host.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

#include <exception>
#include <utility>

namespace qlm::ui {

namespace {

// Runs a command of the window. A failure that no step of the command handles (out of memory) ends
// this command only and is shown in the standard error box; the command has already brought the
// normal display back.
template <typename Command> void RunGuarded(QWidget* window, Command&& command) {
    try {
        std::forward<Command>(command)();
    } catch (const std::exception& failure) {
        MessageBoxes::ShowStandardError(window, QString::fromUtf8(failure.what()));
    }
}

} // namespace

QString MainCaption(const std::string& version) {
    return QStringLiteral("Quillmoor V") + QString::fromStdString(version);
}

QFont WindowFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

TMain::TMain(std::optional<std::string> settings_path, QWidget* parent) : QWidget(parent) {
    // The help hook comes first; F1 anywhere in the window opens the help at the window's topic.
    help_hook_ = std::make_unique<help::THookHelpSystem>(
        QStringLiteral("QLM.chm"), QString(), 0,
        [this](const QString& text) { MessageBoxes::ShowWarning(this, text); });
    setProperty(help::kHelpContextProperty, IDH_MAIN_WINDOW);
    SetUpFrame();
    CreateWidgets();
    PlaceWidgets();
    CreateParts();
    ConnectHandlers();

    // The logo sits in the bottom-left corner, whatever the size of its picture.
    Kennung->move(0, kClientHeight - Kennung->height());
    version_ = platform::VersionString();
    setWindowTitle(MainCaption(version_));
    ReloadHTMLClick();
    settings_path_ = settings_path ? *settings_path : SettingsFilePath();
    ReadSettings();
    if (!browser_->Folder().empty()) {
        ReloadClick();
    } else {
        ReadDrivesClick();
    }
    // The list takes the keys first: a check box with the focus would let Space change a setting
    // unnoticed.
    MainList->setFocus(Qt::OtherFocusReason);
}

void TMain::CreateParts() {
    browser_ = std::make_unique<FolderBrowser>(MainList, MyDir);
    preview_ = std::make_unique<PicturePreview>(Preview);
    preview_ahead_ = std::make_unique<PreviewAhead>(
        [this](const Picture& picture) { preview_->Show(picture, MainPanel->y()); },
        [this](const std::string& path, const std::string& message) {
            MessageBoxes::ShowStandardError(this, DecodeFailureText(path, message));
        });
    ask_dialog_ = new TFAskUser(this);
    ask_dialog_->setFont(font());
    ask_dialog_->hide();
    WindowParts parts;
    parts.window = this;
    parts.main_panel = MainPanel;
    parts.work_panel = WorkPanel;
    parts.progress = TheProgress;
    parts.progress_info = TheProgressInfo;
    parts.stop = StopRun;
    parts.tiny_pic = TinyPic;
    parts.make_html = MakeItSo;
    parts.correct_names = RenameFiles;
    parts.reload_defs = ReloadHTML;
    parts.list = MainList;
    parts.preview = preview_.get();
    parts.ask_dialog = ask_dialog_;
    // A command shows its own pictures; one the browser still decodes must not replace them.
    parts.command_starts = [this] { preview_ahead_->Forget(); };
    host_ = std::make_unique<WindowHost>(parts);
}

TMain::~TMain() {
    preview_ahead_.reset();
    help_hook_.reset();
    help::HtmlHelp(nullptr, QString(), help::HH_CLOSE_ALL, 0);
}

void TMain::ConnectHandlers() {
    connect(ReadDrives, &TBorderLessButton::clicked, this, &TMain::ReadDrivesClick);
    connect(Reload, &TBorderLessButton::clicked, this, &TMain::ReloadClick);
    connect(ReloadHTML, &QPushButton::clicked, this, &TMain::ReloadHTMLClick);
    connect(ShowInBrowser, &QPushButton::clicked, this, &TMain::ShowNotedPage);
    desktop_actions_->SetNote([this](const QString& text) { Note(text.toStdString()); });
    connect(MakeItSo, &QPushButton::clicked, this, &TMain::MakeItSoClick);
    connect(RenameFiles, &QPushButton::clicked, this, &TMain::RenameFilesClick);
    connect(TransFile, &QPushButton::clicked, this, &TMain::TransFileClick);
    connect(MarkAll, &QAction::triggered, this, &TMain::MarkAllClick);
    connect(MakeThumbs, &QAction::triggered, this, &TMain::MakeThumbsClick);
    connect(MakeWebPics, &QAction::triggered, this, &TMain::MakeWebPicsClick);
    connect(PublishGallery, &QAction::triggered, this,
            [this] { PublishGalleryClick(PublishTargetChoice::Remembered); });
    connect(ChangePublishTarget, &QAction::triggered, this,
            [this] { PublishGalleryClick(PublishTargetChoice::AskAgain); });
    connect(MainList, &QListWidget::itemDoubleClicked, this, &TMain::MainListDblClick);
    // The preview follows the focus; the command buttons follow the selection. A change of the
    // selection alone does not decode the focused picture again.
    connect(MainList, &QListWidget::currentItemChanged, this, &TMain::MainListChange);
    connect(MainList, &QListWidget::itemSelectionChanged, this, &TMain::UpdateCommandButtons);
    connect(MainList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { MainPopUp->popup(MainList->viewport()->mapToGlobal(pos)); });
    MainList->installEventFilter(this);
    for (QPushButton* button : {MakeItSo, ReloadHTML, RenameFiles, TransFile})
        button->installEventFilter(this);
}

bool TMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Return on the focused entry enters it, as a double-click does.
            if (watched == MainList) {
                MainListDblClick();
                return true;
            }
            // Return and Enter press the focused command button, as Space does.
            if (auto* button = qobject_cast<QPushButton*>(watched);
                button != nullptr && button->isEnabled()) {
                button->click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

OptionFlags TMain::Flags() const {
    OptionFlags flags;
    flags.keywords = CKeywords->isChecked();
    flags.description = CDescription->isChecked();
    flags.alt = CAlt->isChecked();
    flags.warn = CWarn->isChecked();
    flags.img_wo_alt = CImgwoAlt->isChecked();
    flags.thumbs_jpg = CThumbJPG->isChecked();
    return flags;
}

GenerationHost& TMain::Host() {
    return *host_;
}

void TMain::SetCommandButtons(bool enabled) {
    MakeItSo->setEnabled(enabled);
    RenameFiles->setEnabled(enabled);
}

void TMain::Warn(const std::string& text) {
    MessageBoxes::ShowWarning(this, QString::fromStdString(platform::TextAsUtf8(text)));
}

PromptsChoice TMain::OfferOtherWay(const PromptsAhead& ahead, bool make_thumbnails, bool make_web_copies) {
    return ShowPromptsOffer(this, ahead, make_thumbnails, make_web_copies);
}

void TMain::MakeItSoClick() {
    RunGuarded(this, [this] { ui::MakeItSoClick(*this); });
    CloseIfAsked();
}

void TMain::MakeThumbsClick() {
    if (host_->Working() || !browser_->HasSelectedPicture()) {
        return;
    }
    RunGuarded(this, [this] { ui::MakeThumbnailsClick(*this); });
    CloseIfAsked();
}

void TMain::RenameFilesClick() {
    ui::RenameFilesClick(*this);
    CloseIfAsked();
    // The command has disabled its own button, which handed the focus on to a check box, where
    // the next Space would change a setting unnoticed. The list takes it back, as after a run.
    MainList->setFocus(Qt::OtherFocusReason);
}

void TMain::TransFileClick() {
    ui::TransFileClick(*this);
}

void TMain::ReadSettings() {
    const Settings settings = LoadSettings(settings_path_);
    browser_->SetFolder(settings.dir);
    CKeywords->setChecked(settings.flags.keywords);
    CDescription->setChecked(settings.flags.description);
    CAlt->setChecked(settings.flags.alt);
    CWarn->setChecked(settings.flags.warn);
    CImgwoAlt->setChecked(settings.flags.img_wo_alt);
    CThumbJPG->setChecked(settings.flags.thumbs_jpg);
}

void TMain::WriteSettings() {
    Settings settings;
    settings.dir = browser_->Folder();
    settings.flags = Flags();
    // The user's configuration folder may not exist yet; a failure shows when the file is written.
    platform::MakeFolderOf(settings_path_);
    if (!SaveSettings(settings_path_, settings)) {
        MessageBoxes::ShowStandardError(
            this, QFile::decodeName(QByteArray::fromStdString(SettingsWriteFailureText(settings_path_))));
    }
}

void TMain::CloseIfAsked() {
    if (std::exchange(close_after_run_, false))
        close();
}

void TMain::closeEvent(QCloseEvent* event) {
    // A run in progress is stopped first, at its next stop point, when the user wants that; the
    // window closes once the run is over.
    if (host_->Working()) {
        if (MessageBoxes::AskYesNo(this, QString::fromUtf8(kStopRunQuestion)) == QMessageBox::Yes) {
            host_->RequestStop();
            close_after_run_ = true;
        } else
            host_->NoteCloseRefused();
        event->ignore();
        return;
    }
    if (save_settings_on_close_) {
        WriteSettings();
    }
    // The window closes also when the settings could not be written: the box has said so.
    event->accept();
}

void TMain::ReadDrivesClick() {
    ReadDrives->setEnabledEx(false);
    MyGetDrives();
    ReadDrives->setEnabledEx(true);
}

void TMain::ReloadClick() {
    Reload->setEnabledEx(false);
    MyReload();
    Reload->setEnabledEx(true);
}

void TMain::MakeWebPicsClick() {
    if (host_->Working() || !browser_->HasSelectedPicture()) {
        return;
    }
    RunGuarded(this, [this] { ui::MakeWebPicturesClick(*this); });
    CloseIfAsked();
}

void TMain::PublishGalleryClick(PublishTargetChoice choice) {
    if (host_->Working() || !browser_->HasSelectedPicture())
        return;
    RunGuarded(this, [this, choice] {
        ui::PublishClick(*this, {this, settings_path_, desktop_actions_}, choice);
    });
    CloseIfAsked();
}

void TMain::MyGetDrives() {
    browser_->MyGetDrives();
    UpdateCommandButtons();
}

void TMain::MyReload() {
    ClearNote();
    if (const int code = browser_->MyReload(); code != 0) {
        // The box names the folder and the system's reason; then the drives are a way out.
        Warn(browser_->Folder() + "\n" + platform::GetErrorText(code));
        browser_->MyGetDrives();
    } else {
        TransFile->setEnabled(browser_->HasInfoFile());
        Reload->setEnabledEx(true);
    }
    UpdateCommandButtons();
}

void TMain::MainListDblClick() {
    if (browser_->EnterFocused()) {
        MyReload();
    }
}

void TMain::MarkAllClick() {
    browser_->MarkAll();
}

PictureSize TMain::MyLoadPic(const std::string& path) {
    preview_->Load(path, MainPanel->y());
    return preview_->NaturalSize();
}

void TMain::MainListChange() {
    // While a command runs, it drives the preview and the buttons itself.
    if (host_->Working()) {
        return;
    }
    ShowFocusedEntry();
    UpdateCommandButtons();
}

void TMain::ShowFocusedEntry() {
    const std::optional<EntryKind> kind = browser_->FocusedKind();
    if (!kind) {
        // The preview stays as it is, but a picture still being decoded is no longer wanted.
        preview_ahead_->Forget();
        return;
    }
    if (*kind != EntryKind::Picture) {
        preview_ahead_->Forget();
        preview_->Hide();
        return;
    }
    // Decoded on the second thread; the pictures beside it follow, for the next cursor key.
    preview_ahead_->Want(browser_->FocusedPath(), browser_->PicturesBesideFocus());
}

bool TMain::PreviewPending() const {
    return preview_ahead_->Waiting();
}

bool TMain::PreviewReady(const std::string& path) const {
    return preview_ahead_->Ready(path);
}

void TMain::UpdateCommandButtons() {
    if (host_->Working()) {
        return;
    }
    const bool picture_selected = browser_->HasSelectedPicture();
    MakeItSo->setEnabled(picture_selected);
    RenameFiles->setEnabled(picture_selected);
    MakeThumbs->setEnabled(picture_selected);
    MakeWebPics->setEnabled(picture_selected);
    PublishGallery->setEnabled(picture_selected);
    ChangePublishTarget->setEnabled(picture_selected);
}

} // namespace qlm::ui

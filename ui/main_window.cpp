#include "ui/main_window.h"

#include "core/picture.h"
#include "core/settings.h"
#include "help/hh.h"
#include "help/hh_funcs.h"
#include "help/manual/help_context.h"
#include "platform/module_version.h"
#include "ui/borderless_button.h"
#include "ui/main_window_layout.h"
#include "ui/message_boxes.h"
#include "ui/picture_preview.h"

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

namespace qlm::ui {

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
        QStringLiteral("QLM.chm"), QString(), 0, [this](const QString& text) { MessageBoxes::ShowWarning(this, text); });
    setProperty(help::kHelpContextProperty, IDH_MAIN_WINDOW);
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Quillmoor"));
    setFont(WindowFont());
    QIcon icon;
    for (const char* size : {"_16", "_32", "_48", ""}) {
        icon.addFile(QStringLiteral(":/assets/quillmoor%1.png").arg(QLatin1String(size)));
    }
    setWindowIcon(icon);
    // A fixed-size window: no maximize button, no resizing by its border.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    move(kWindowLeft, kWindowTop);

    CreateWidgets();
    PlaceWidgets();
    browser_ = std::make_unique<FolderBrowser>(MainList, MyDir);
    preview_ = std::make_unique<PicturePreview>(Preview);
    ConnectHandlers();

    // The logo sits in the bottom-left corner, whatever the size of its picture.
    Kennung->move(0, kClientHeight - Kennung->height());
    version_ = platform::VersionString();
    setWindowTitle(MainCaption(version_));
    ReloadHTMLClick();
    settings_path_ = settings_path ? *settings_path : platform::ExecutableFolder() + kSettingsFileName;
    ReadSettings();
    if (!browser_->Folder().empty()) {
        ReloadClick();
    } else {
        ReadDrivesClick();
    }
    // A template failure during creation ends the program only now: posted earlier, the request
    // would be taken by the loop of a later message box (a folder that cannot be listed) and lost.
    created_ = true;
    if (end_requested_) {
        PostEnd();
    }
}

TMain::~TMain() {
    help_hook_.reset();
    help::HtmlHelp(nullptr, QString(), help::HH_CLOSE_ALL, 0);
}

void TMain::ConnectHandlers() {
    connect(ReadDrives, &TBorderLessButton::clicked, this, &TMain::ReadDrivesClick);
    connect(Reload, &TBorderLessButton::clicked, this, &TMain::ReloadClick);
    connect(ReloadHTML, &QPushButton::clicked, this, &TMain::ReloadHTMLClick);
    connect(MarkAll, &QAction::triggered, this, &TMain::MarkAllClick);
    connect(MainList, &QListWidget::itemDoubleClicked, this, &TMain::MainListDblClick);
    // The preview follows the focus; the command buttons follow the selection. A change of the
    // selection alone does not decode the focused picture again.
    connect(MainList, &QListWidget::currentItemChanged, this, &TMain::MainListChange);
    connect(MainList, &QListWidget::itemSelectionChanged, this, &TMain::UpdateCommandButtons);
    connect(MainList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { MainPopUp->popup(MainList->viewport()->mapToGlobal(pos)); });
    MainList->installEventFilter(this);
}

bool TMain::eventFilter(QObject* watched, QEvent* event) {
    // Return on the focused entry enters it, as a double-click does.
    if (watched == MainList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            MainListDblClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TMain::ReloadHTMLClick() {
    const TemplateLoad result = LoadTemplates(templates_, "", !TransFile->isHidden());
    if (result == TemplateLoad::Ok) {
        return;
    }
    MessageBoxes::ShowError(isVisible() ? this : nullptr,
                            QString::fromUtf8(result == TemplateLoad::RequiredMissing
                                                  ? kTemplatesMissingMessage
                                                  : kExtendedTemplatesMissingMessage));
    // The program ends once control is back in the event loop, without writing the settings.
    end_requested_ = true;
    if (created_) {
        PostEnd();
    }
}

void TMain::PostEnd() {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
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
    settings.flags.keywords = CKeywords->isChecked();
    settings.flags.description = CDescription->isChecked();
    settings.flags.alt = CAlt->isChecked();
    settings.flags.warn = CWarn->isChecked();
    settings.flags.img_wo_alt = CImgwoAlt->isChecked();
    settings.flags.thumbs_jpg = CThumbJPG->isChecked();
    if (!SaveSettings(settings_path_, settings)) {
        MessageBoxes::ShowStandardError(
            this, QFile::decodeName(QByteArray::fromStdString(SettingsWriteFailureText(settings_path_))));
    }
}

void TMain::closeEvent(QCloseEvent* event) {
    if (!end_requested_) {
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

void TMain::MyGetDrives() {
    browser_->MyGetDrives();
    UpdateCommandButtons();
}

void TMain::MyReload() {
    if (browser_->MyReload()) {
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
    ShowFocusedEntry();
    UpdateCommandButtons();
}

void TMain::ShowFocusedEntry() {
    const int kind = browser_->FocusedKind();
    if (kind == FolderBrowser::kNoFocus) {
        return;
    }
    if (kind != kEntryPicture) {
        preview_->Hide();
        return;
    }
    // A picture that cannot be shown ends this action only; the box names the reason.
    try {
        MyLoadPic(browser_->FocusedPath());
    } catch (const std::exception& failure) {
        MessageBoxes::ShowStandardError(this, QString::fromUtf8(failure.what()));
    }
}

void TMain::UpdateCommandButtons() {
    const bool picture_selected = browser_->HasSelectedPicture();
    MakeItSo->setEnabled(picture_selected);
    RenameFiles->setEnabled(picture_selected);
}

} // namespace qlm::ui

// SPDX-License-Identifier: GPL-3.0-or-later
// The widgets of the main window as the window is designed: names, texts, pictures and states.
// Their places come from the layout table.

#include "ui/borderless_button.h"
#include "ui/desktop_actions.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace qlm::ui {
namespace {

template <typename Widget> Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QFrame* Panel(QWidget* parent, const char* name) {
    auto* panel = Named(new QFrame(parent), name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

QPixmap Asset(const char* file) {
    return QPixmap(QStringLiteral(":/assets/") + QLatin1String(file));
}

QPushButton* CommandButton(QWidget* parent, const char* name, const char* text, const char* picture,
                           const char* disabled_picture) {
    auto* button = Named(new QPushButton(QString::fromUtf8(text), parent), name);
    QIcon icon;
    icon.addPixmap(Asset(picture), QIcon::Normal);
    icon.addPixmap(Asset(disabled_picture), QIcon::Disabled);
    button->setIcon(icon);
    button->setIconSize(QSize(kCommandIconSize, kCommandIconSize));
    return button;
}

QCheckBox* OptionBox(QWidget* parent, const char* name, const char* text, const char* hint) {
    auto* box = Named(new QCheckBox(QString::fromUtf8(text), parent), name);
    if (hint != nullptr) {
        box->setToolTip(QString::fromUtf8(hint));
    }
    return box;
}

// The widget that takes the keyboard focus for a tab stop: the widget itself, or for a panel the
// first of its children that takes it.
QWidget* FocusTarget(QWidget* widget) {
    if (widget->focusPolicy() & Qt::TabFocus) {
        return widget;
    }
    const QList<QWidget*> children = widget->findChildren<QWidget*>();
    const auto found = std::find_if(children.begin(), children.end(),
                                    [](const QWidget* child) { return child->focusPolicy() & Qt::TabFocus; });
    return found == children.end() ? nullptr : *found;
}

} // namespace

void TMain::SetUpFrame() {
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
}

void TMain::CreateWidgets() {
    MyDir = Named(new QLabel(this), "MyDir");
    // Folder names are shown as they are, never read as markup; a long path is cut at the right.
    MyDir->setTextFormat(Qt::PlainText);

    MainPanel = Panel(this, "MainPanel");
    ReadDrives = Named(new TBorderLessButton(MainPanel), "ReadDrives");
    ReadDrives->setEnablePicture(Asset("drives.png"));
    ReadDrives->setDisablePicture(Asset("drives_disabled.png"));
    ReadDrives->setEnabledEx(true);
    Reload = Named(new TBorderLessButton(MainPanel), "Reload");
    Reload->setEnablePicture(Asset("reload.png"));
    Reload->setDisablePicture(Asset("reload_disabled.png"));
    Reload->setEnabledEx(false);
    CreateStatusLine();
    MainList = Named(new QListWidget(MainPanel), "MainList");
    MainList->setContextMenuPolicy(Qt::CustomContextMenu);
    MainPopUp = Named(new QMenu(MainList), "MainPopUp");
    // The menu shows the shortcut as German keyboards label it; the text after the tab is what the
    // menu shows in place of Qt's English "Ctrl+A".
    MarkAll = Named(new QAction(QStringLiteral("markiere alles\tStrg+A"), MainList), "MarkAll");
    MarkAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    MarkAll->setShortcutContext(Qt::WidgetShortcut);
    MainPopUp->addAction(MarkAll);
    // Added to the list as well, so that Ctrl+A acts while the list has the focus.
    MainList->addAction(MarkAll);
    MakeThumbs = Named(new QAction(QStringLiteral("Fehlende Thumbnails erzeugen"), MainList), "MakeThumbs");
    MakeThumbs->setEnabled(false);
    MainPopUp->addAction(MakeThumbs);
    MakeWebPics = Named(new QAction(QStringLiteral("Fehlende Webbilder erzeugen"), MainList), "MakeWebPics");
    MakeWebPics->setEnabled(false);
    MainPopUp->addAction(MakeWebPics);
    desktop_actions_ = new DesktopActions(
        MainPopUp, this, [this] { return browser_->Folder(); }, [this] { ReloadHTMLClick(); });
    // Publishing follows the gallery's own entry, as it needs the gallery made.
    PublishGallery = Named(new QAction(QString::fromUtf8(kPublishEntry), MainList), "PublishGallery");
    ChangePublishTarget =
        Named(new QAction(QString::fromUtf8(kChangePublishTargetEntry), MainList), "ChangePublishTarget");
    for (QAction* entry : {PublishGallery, ChangePublishTarget}) {
        entry->setEnabled(false);
        MainPopUp->addAction(entry);
    }

    CreateWorkPanel();

    Preview = Named(new QLabel(this), "Preview");
    Preview->setScaledContents(true);
    TinyPic = Named(new QLabel(this), "TinyPic");
    TinyPic->hide();
    Kennung = Named(new QLabel(this), "Kennung");

    CreateOptionBoxes();
    CreateCommandButtons();
}

void TMain::CreateWorkPanel() {
    WorkPanel = Panel(this, "WorkPanel");
    WorkPanel->hide();
    TheProgress = Named(new QProgressBar(WorkPanel), "TheProgress");
    TheProgress->setRange(0, 100);
    TheProgress->setValue(0);
    TheProgressInfo = Named(new QLabel(WorkPanel), "TheProgressInfo");
    TheProgressInfo->setTextFormat(Qt::PlainText);
    // The one widget of the window that takes a click during a run; never the keyboard's focus,
    // so that a key pressed during the run cannot stop it.
    StopRun = Named(new QPushButton(QStringLiteral("Abbrechen"), WorkPanel), "StopRun");
    StopRun->setFocusPolicy(Qt::NoFocus);
}

void TMain::CreateOptionBoxes() {
    CKeywords = OptionBox(this, "CKeywords", "ask Keywords", "fehlende keywords werden erfragt");
    CDescription = OptionBox(this, "CDescription", "ask Description", "fehlende descriptions werden erfragt");
    CAlt = OptionBox(this, "CAlt", "ask Alt Text", "fehlende alt-Texte werden erfragt");
    CWarn = OptionBox(this, "CWarn", "Melde fehlenden Thumb",
                      "wenn Tumbnails nicht gefunden werden, erscheint ein entsprechender Requester");
    CImgwoAlt = OptionBox(this, "CImgwoAlt", "Images without Alt", "die Thumbnails erhalten keinen Alt-Text");
    CThumbJPG = OptionBox(this, "CThumbJPG", "all thumbs JPG", nullptr);
}

void TMain::CreateCommandButtons() {
    MakeItSo = CommandButton(this, "MakeItSo", "Make HTML", "make_html.png", "make_html_disabled.png");
    MakeItSo->setEnabled(false);
    ReloadHTML =
        CommandButton(this, "ReloadHTML", "Reload Defs", "reload_defs.png", "reload_defs_disabled.png");
    RenameFiles = CommandButton(this, "RenameFiles", "Correct Names", "correct_names.png",
                                "correct_names_disabled.png");
    RenameFiles->setEnabled(false);
    // "Correct Infofile" is built but not offered.
    TransFile =
        CommandButton(this, "TransFile", "Correct Infofile", "correct_info.png", "correct_info_disabled.png");
    TransFile->setEnabled(false);
    TransFile->hide();
}

void TMain::PlaceWidgets() {
    std::vector<const WidgetPlace*> tab_stops;
    for (const WidgetPlace& place : kMainWindowLayout) {
        auto* widget =
            findChild<QWidget*>(QString::fromLatin1(place.name.data(), qsizetype(place.name.size())));
        Q_ASSERT(widget != nullptr);
        widget->setGeometry(place.left, place.top, place.width, place.height);
        if (place.tab_order != kNoTabStop) {
            tab_stops.push_back(&place);
        }
    }
    // The logo takes the size of its picture.
    if (const QPixmap logo = Asset("logo.png"); !logo.isNull()) {
        Kennung->setPixmap(logo);
        Kennung->resize(logo.size());
    }

    std::sort(tab_stops.begin(), tab_stops.end(),
              [](const WidgetPlace* a, const WidgetPlace* b) { return a->tab_order < b->tab_order; });
    QWidget* previous = nullptr;
    for (const WidgetPlace* place : tab_stops) {
        QWidget* target = FocusTarget(
            findChild<QWidget*>(QString::fromLatin1(place->name.data(), qsizetype(place->name.size()))));
        if (target == nullptr) {
            continue; // the progress panel holds nothing that takes the focus
        }
        if (previous != nullptr) {
            setTabOrder(previous, target);
        }
        previous = target;
    }
}

} // namespace qlm::ui

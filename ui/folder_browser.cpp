// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/folder_browser.h"

#include "platform/file_ops.h"
#include "platform/globals.h"
#include "platform/text.h"
#include "ui/main_window_layout.h"
#include "ui/message_boxes.h"

#include <QFile>
#include <QItemSelection>
#include <QLabel>
#include <QListWidget>
#include <QStyledItemDelegate>

#include <algorithm>
#include <set>

namespace qlm::ui {
namespace {

constexpr int kNameRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;

// Every row has the same height and spans the column, whatever its caption or icon.
class RowDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {kListColumnWidth, kListRowHeight};
    }
};

// The icon index of a kind in `ListIcons`; pictures have no icon.
int IconIndex(EntryKind kind) {
    switch (kind) {
    case EntryKind::Drive:
        return 0;
    case EntryKind::Folder:
        return 1;
    case EntryKind::Parent:
        return 2;
    case EntryKind::Picture:
        break;
    }
    return -1;
}

// A name as the list sorts it: a name that is not valid UTF-8 is read as Windows-1252, never shown
// with replacement characters.
QString Shown(const std::string& name) {
    return QString::fromStdString(platform::TextAsUtf8(name));
}

} // namespace

FolderBrowser::FolderBrowser(QListWidget* list, QLabel* dir_label)
    : list_(list), dir_label_(dir_label), list_icons_{QIcon(QStringLiteral(":/assets/list_drive.png")),
                                                      QIcon(QStringLiteral(":/assets/list_folder.png")),
                                                      QIcon(QStringLiteral(":/assets/list_parent.png"))} {
    list_->setViewMode(QListView::ListMode);
    list_->setFlow(QListView::TopToBottom);
    list_->setWrapping(false);
    list_->setUniformItemSizes(true);
    list_->setSpacing(0);
    list_->setItemDelegate(new RowDelegate(list_));
    list_->setIconSize(QSize(kListIconSize, kListIconSize));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A sunken frame of fixed width, so that the rows sit at the same place in every style.
    list_->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    QPalette palette = list_->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    list_->setPalette(palette);
}

void FolderBrowser::MyGetDrives() {
    list_->clear();
    std::vector<ListEntry> drives;
    // A machine with many mounts needs more than the usual 2000 characters; the call tells how
    // many, and mounts added meanwhile make it tell again.
    int size = 2000;
    for (int attempt = 0; attempt < 4; ++attempt) {
        platform::tCharArray buffer(size);
        const int length = platform::GetLogicalDriveStrings(buffer.Size(), buffer.GetMemPointer());
        if (length > buffer.Size()) {
            size = length;
            continue;
        }
        if (length != 0) {
            for (std::string drive = buffer.GetFirstString(); !drive.empty();
                 drive = buffer.GetNextString()) {
                drives.push_back(ListEntry{drive, EntryKind::Drive});
            }
        }
        break;
    }
    SortEntries(drives);
    Fill(drives);
}

int FolderBrowser::MyReload() {
    list_->clear();
    std::vector<ListEntry> entries;
    if (const int code = ListFolder(folder_, entries); code != 0) {
        return code;
    }
    Fill(entries);
    dir_label_->setText(Shown(folder_));
    return 0;
}

bool FolderBrowser::HasInfoFile() const {
    return platform::IsRegularFile(folder_ + "info.txt");
}

void FolderBrowser::Fill(const std::vector<ListEntry>& entries) {
    for (const ListEntry& entry : entries) {
        auto* item = new QListWidgetItem(Shown(entry.caption));
        item->setData(kNameRole, QByteArray::fromStdString(entry.caption));
        item->setData(kKindRole, static_cast<int>(entry.kind));
        if (const int icon = IconIndex(entry.kind); icon >= 0 && icon < list_icons_.size()) {
            item->setIcon(list_icons_[icon]);
        }
        // Only pictures can be selected; other entries can still take the focus.
        item->setFlags(entry.kind == EntryKind::Picture ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                                        : Qt::ItemIsEnabled);
        list_->addItem(item);
    }
}

bool FolderBrowser::EnterFocused() {
    const QListWidgetItem* item = list_->currentItem();
    if (item == nullptr) {
        return false;
    }
    switch (KindOf(item)) {
    case EntryKind::Drive:
        folder_ = NameOf(item);
        return true;
    case EntryKind::Folder:
    case EntryKind::Parent:
        folder_ = EnterFolder(folder_, NameOf(item));
        return true;
    default:
        return false;
    }
}

void FolderBrowser::MarkAll() {
    SelectWhere([](const QListWidgetItem*) { return true; });
}

void FolderBrowser::Select(const std::vector<std::string>& names) {
    const std::set<std::string> wanted(names.begin(), names.end());
    SelectWhere([&wanted](const QListWidgetItem* item) { return wanted.contains(NameOf(item)); });
}

void FolderBrowser::SelectWhere(const std::function<bool(const QListWidgetItem*)>& wanted) {
    QItemSelection pictures;
    for (int row = 0; row < list_->count(); ++row) {
        if (KindOf(list_->item(row)) == EntryKind::Picture && wanted(list_->item(row))) {
            const QModelIndex index = list_->model()->index(row, 0);
            pictures.select(index, index);
        }
    }
    // One change for the whole selection, so that the window reacts once.
    if (!pictures.isEmpty()) {
        list_->selectionModel()->select(pictures, QItemSelectionModel::Select);
    }
}

std::optional<EntryKind> FolderBrowser::FocusedKind() const {
    const QListWidgetItem* item = list_->currentItem();
    if (item == nullptr) {
        return std::nullopt;
    }
    return KindOf(item);
}

std::string FolderBrowser::FocusedPath() const {
    const QListWidgetItem* item = list_->currentItem();
    return item == nullptr ? std::string() : folder_ + NameOf(item);
}

std::vector<std::string> FolderBrowser::PicturesBesideFocus() const {
    std::vector<std::string> paths;
    const int focused = list_->currentRow();
    if (focused < 0)
        return paths;
    for (const int step : {1, -1}) {
        for (int row = focused + step; row >= 0 && row < list_->count(); row += step) {
            if (const QListWidgetItem* item = list_->item(row); KindOf(item) == EntryKind::Picture) {
                paths.push_back(folder_ + NameOf(item));
                break;
            }
        }
    }
    return paths;
}

bool FolderBrowser::HasSelectedPicture() const {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    return std::any_of(selected.begin(), selected.end(),
                       [](const QListWidgetItem* item) { return KindOf(item) == EntryKind::Picture; });
}

std::vector<std::string> FolderBrowser::SelectedPictures() const {
    std::vector<std::string> names;
    for (int row = 0; row < list_->count(); ++row) {
        const QListWidgetItem* item = list_->item(row);
        if (item->isSelected() && KindOf(item) == EntryKind::Picture) {
            names.push_back(NameOf(item));
        }
    }
    return names;
}

EntryKind FolderBrowser::KindOf(const QListWidgetItem* item) {
    return static_cast<EntryKind>(item->data(kKindRole).toInt());
}

std::string FolderBrowser::NameOf(const QListWidgetItem* item) {
    return item->data(kNameRole).toByteArray().toStdString();
}

} // namespace qlm::ui

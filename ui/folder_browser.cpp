#include "ui/folder_browser.h"

#include "platform/file_ops.h"
#include "platform/globals.h"
#include "ui/main_window_layout.h"
#include "ui/message_boxes.h"

#include <QFile>
#include <QItemSelection>
#include <QLabel>
#include <QListWidget>
#include <QStyledItemDelegate>

#include <algorithm>

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
            for (std::string drive = buffer.GetFirstString(); !drive.empty(); drive = buffer.GetNextString()) {
                drives.push_back(ListEntry{drive, kEntryDrive});
            }
        }
        break;
    }
    Fill(drives);
}

bool FolderBrowser::MyReload() {
    list_->clear();
    platform::tGetDirList search;
    const int code = search.GetDirList(folder_ + "*.*");
    if (code != 0) {
        MessageBoxes::ShowWarning(list_->window(), QString::fromUtf8(platform::GetErrorText(code)));
        MyGetDrives();
        return false;
    }
    Fill(FilterListing(search, folder_));
    dir_label_->setText(QFile::decodeName(QByteArray::fromStdString(folder_)));
    return true;
}

bool FolderBrowser::HasInfoFile() const {
    return platform::IsRegularFile(folder_ + "info.txt");
}

void FolderBrowser::Fill(const std::vector<ListEntry>& entries) {
    // The list is shown in the browser's own order rather than the file system's.
    std::vector<ListEntry> sorted = entries;
    SortEntries(sorted);
    for (const ListEntry& entry : sorted) {
        const QByteArray name = QByteArray::fromStdString(entry.caption);
        auto* item = new QListWidgetItem(QFile::decodeName(name));
        item->setData(kNameRole, name);
        item->setData(kKindRole, entry.kind);
        if (entry.kind >= 0 && entry.kind < list_icons_.size()) {
            item->setIcon(list_icons_[entry.kind]);
        }
        // Only pictures can be selected; other entries can still take the focus.
        item->setFlags(entry.kind == kEntryPicture ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
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
    case kEntryDrive:
        folder_ = NameOf(item);
        return true;
    case kEntryFolder:
    case kEntryParent:
        folder_ = EnterFolder(folder_, NameOf(item));
        return true;
    default:
        return false;
    }
}

void FolderBrowser::MarkAll() {
    QItemSelection pictures;
    for (int row = 0; row < list_->count(); ++row) {
        if (KindOf(list_->item(row)) == kEntryPicture) {
            const QModelIndex index = list_->model()->index(row, 0);
            pictures.select(index, index);
        }
    }
    // One change for the whole selection, so that the window reacts once.
    if (!pictures.isEmpty()) {
        list_->selectionModel()->select(pictures, QItemSelectionModel::Select);
    }
}

int FolderBrowser::FocusedKind() const {
    const QListWidgetItem* item = list_->currentItem();
    return item == nullptr ? kNoFocus : KindOf(item);
}

std::string FolderBrowser::FocusedPath() const {
    const QListWidgetItem* item = list_->currentItem();
    return item == nullptr ? std::string() : folder_ + NameOf(item);
}

bool FolderBrowser::HasSelectedPicture() const {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    return std::any_of(selected.begin(), selected.end(),
                       [](const QListWidgetItem* item) { return KindOf(item) == kEntryPicture; });
}

std::vector<std::string> FolderBrowser::SelectedPictures() const {
    std::vector<std::string> names;
    for (int row = 0; row < list_->count(); ++row) {
        const QListWidgetItem* item = list_->item(row);
        if (item->isSelected() && KindOf(item) == kEntryPicture) {
            names.push_back(NameOf(item));
        }
    }
    return names;
}

int FolderBrowser::KindOf(const QListWidgetItem* item) {
    return item->data(kKindRole).toInt();
}

std::string FolderBrowser::NameOf(const QListWidgetItem* item) {
    return item->data(kNameRole).toByteArray().toStdString();
}

} // namespace qlm::ui

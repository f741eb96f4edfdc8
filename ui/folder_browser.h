// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The folder browser: the list `MainList` shows either the drives of the machine or the sub-folders,
// the parent entry and the pictures of the current folder, and the label `MyDir` shows that folder.
// The browser owns the current folder, the one path every command works in. It knows nothing of
// the preview and the command buttons; the main window reacts to what it reports.

#include "core/folder_listing.h"

#include <QIcon>
#include <QList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;

namespace qlm::ui {

class FolderBrowser {
  public:
    // Sets the list up for browsing: one column of uniform rows, small icons, several selected
    // pictures at a time, no editing, the selection visible without the focus.
    FolderBrowser(QListWidget* list, QLabel* dir_label);

    // The current folder: empty, or a path ending in "/", as bytes of the file system.
    const std::string& Folder() const { return folder_; }
    void SetFolder(const std::string& folder) { folder_ = folder; }

    // The list shows the drives; the current folder and `MyDir` stay as they are.
    void MyGetDrives();
    // The list shows the current folder and `MyDir` names it: 0. When the folder cannot be listed,
    // the list is left empty and the errno value is given; what to tell the user is the caller's.
    int MyReload();
    // True when the current folder holds a regular file "info.txt".
    bool HasInfoFile() const;

    // Entering the focused entry: a drive, folder or parent changes the current folder and gives
    // true (the caller lists it); a picture or no focus gives false.
    bool EnterFocused();
    // Every picture entry becomes selected; the other entries stay as they are.
    void MarkAll();
    // The picture entries named in `names` become selected, those the list shows.
    void Select(const std::vector<std::string>& names);

    // The focused entry's kind; none without a focused entry.
    std::optional<EntryKind> FocusedKind() const;
    // The full path of the focused entry (current folder + name).
    std::string FocusedPath() const;
    // The full paths of the nearest picture entries after and before the focused entry, those that
    // exist, in this order.
    std::vector<std::string> PicturesBesideFocus() const;
    bool HasSelectedPicture() const;
    // The names of the selected pictures, in list order.
    std::vector<std::string> SelectedPictures() const;

    // What an entry holds: its kind and its name as the file system's bytes.
    static EntryKind KindOf(const QListWidgetItem* item);
    static std::string NameOf(const QListWidgetItem* item);

  private:
    // One change of the selection for every picture entry that `wanted` accepts.
    void SelectWhere(const std::function<bool(const QListWidgetItem*)>& wanted);
    void Fill(const std::vector<ListEntry>& entries);

    QListWidget* list_;
    QLabel* dir_label_;
    std::string folder_;
    // `ListIcons`: drive, folder and parent, in the order of their icon indexes.
    QList<QIcon> list_icons_;
};

} // namespace qlm::ui

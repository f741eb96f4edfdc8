// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two entries of the list's pop-up menu that hand over to the desktop: the user's own template
// folder, opened in the file manager, and the current folder's overview page, opened in the browser.
// The desktop's opener runs as a process of its own; when it ends with a failure (no browser or
// file manager found), a box names the path, which is also put on the clipboard, so that the user
// can open it by hand.

#include <QObject>

#include <functional>
#include <string>

class QAction;
class QMenu;
class QString;
class QWidget;

namespace qlm::ui {

class DesktopActions : public QObject {
    Q_OBJECT

  public:
    // Adds the entries to `menu`. `current_folder` gives the list's folder (ending with "/");
    // `reload_templates` reads the templates again once the user's own folder exists.
    DesktopActions(QMenu* menu, QWidget* window, std::function<std::string()> current_folder,
                   std::function<void()> reload_templates);

    // "Eigene Vorlagen bearbeiten": makes the user's template folder from the samples when it
    // does not exist yet, then opens it.
    void EditOwnTemplates();
    // "Galerie im Browser zeigen": opens index.html of the current folder.
    void ShowGallery();
    // Opens `page` (a full path) in the browser; a warning box when the desktop cannot.
    void ShowInBrowser(const std::string& page);
    // Where the user learns of a hand-off that went well (the window's status line).
    void SetNote(std::function<void(const QString&)> note) { note_ = std::move(note); }

    // The program that opens a path on the desktop ("xdg-open" unless set otherwise).
    static void SetOpener(const QString& program);
    // The gallery entry is enabled while the current folder holds index.html.
    void UpdateEntries();

    QAction* OwnTemplatesEntry() const { return own_templates_; }
    QAction* GalleryEntry() const { return gallery_; }

  signals:
    // The opener has ended: `opened` when it said it had opened `path`.
    void HandOffEnded(const QString& path, bool opened);

  private:
    // Hands `path` to the opener; `failure` is the box's first sentence, `opened` is called when
    // the opener ends well.
    void HandOff(const std::string& path, const QString& failure, std::function<void()> opened);

    QWidget* window_;
    std::function<std::string()> current_folder_;
    std::function<void()> reload_templates_;
    std::function<void(const QString&)> note_;
    QAction* own_templates_;
    QAction* gallery_;
};

} // namespace qlm::ui

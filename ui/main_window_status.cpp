// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's status line, which says what the last command did, and "Reload Defs", which
// ends with a note there.

#include "core/template_places.h"
#include "platform/text.h"
#include "ui/desktop_actions.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>

namespace qlm::ui {

void TMain::ReloadHTMLClick() {
    // Looked for afresh each time, so that the user's own folder, once made, takes over.
    const std::vector<std::string> folders = TemplateSearchFolders();
    const TemplateChoice choice = ChooseTemplates(folders);
    const TemplateLoad result = LoadTemplates(templates_, choice.sources, !TransFile->isHidden());
    templates_loaded_ = result == TemplateLoad::Ok;
    if (templates_loaded_) {
        // Templates missing from the user's own folder came from a later one: said, and the
        // program goes on.
        if (!choice.borrowed.empty())
            MessageBoxes::ShowWarning(isVisible() ? this : nullptr,
                                      QString::fromUtf8(BorrowedTemplatesWarning(choice)));
        const std::string& folder = choice.sources.folder;
        Note(kTemplatesLoadedNote +
             (folder.empty() ? QFile::encodeName(QDir::currentPath() + u'/').toStdString() : folder));
        return;
    }
    QString text =
        QString::fromUtf8(result == TemplateLoad::RequiredMissing ? kTemplatesMissingMessage
                                                                  : kExtendedTemplatesMissingMessage);
    if (result == TemplateLoad::RequiredMissing) {
        text += QStringLiteral("\n\nGesucht in:");
        for (const TemplateFolderReport& tried : TemplateSearchReport(folders)) {
            text += QStringLiteral("\n") + QString::fromUtf8(tried.folder);
            if (!tried.missing.empty())
                text +=
                    QStringLiteral(" (es fehlt: ") + QString::fromUtf8(tried.missing) + QStringLiteral(")");
        }
    }
    MessageBoxes::ShowError(isVisible() ? this : nullptr, text);
    emit TemplatesFailed();
}

void TMain::CreateStatusLine() {
    // After "Make HTML" the button beside the note opens the gallery.
    StatusLine = new QLabel(MainPanel);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    StatusLine->setTextFormat(Qt::PlainText);
    ShowInBrowser = new QPushButton(QString::fromUtf8(kShowInBrowserButton), MainPanel);
    ShowInBrowser->setObjectName(QStringLiteral("ShowInBrowser"));
    ShowInBrowser->setFocusPolicy(Qt::NoFocus);
    ShowInBrowser->hide();
}

void TMain::Note(const std::string& text) {
    const QString shown = QString::fromStdString(platform::TextAsUtf8(text));
    // A long path is cut in its middle, so that the line still ends with the file it names; the
    // tip shows it whole.
    StatusLine->setText(StatusLine->fontMetrics().elidedText(shown, Qt::ElideMiddle, StatusLine->width()));
    StatusLine->setToolTip(shown);
    ShowInBrowser->hide();
    noted_page_.clear();
}

void TMain::NoteGallery(const std::string& page) {
    Note(kGalleryMadeNote + page);
    noted_page_ = page;
    ShowInBrowser->show();
}

void TMain::ClearNote() {
    StatusLine->clear();
    StatusLine->setToolTip(QString());
    ShowInBrowser->hide();
    noted_page_.clear();
}

QString TMain::StatusText() const {
    return StatusLine->toolTip();
}

void TMain::Reselect(const std::vector<std::string>& names) {
    browser_->Select(names);
}

void TMain::ShowNotedPage() {
    if (!noted_page_.empty())
        desktop_actions_->ShowInBrowser(noted_page_);
}

} // namespace qlm::ui

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/desktop_actions.h"

#include "core/settings_place.h"
#include "core/template_places.h"
#include "core/templates.h"
#include "platform/file_ops.h"
#include "platform/globals.h"
#include "ui/message_boxes.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>

namespace qlm::ui {

namespace {

// The templates the user's own folder starts from: the installed samples, or, for a program run
// from its build tree, the templates it uses now.
std::string SampleFolder() {
    const std::string installed = InstalledTemplatesFolder();
    if (!installed.empty() && platform::IsRegularFile(installed + kRequiredTemplateNames[0]))
        return installed;
    std::vector<std::string> others = TemplateSearchFolders();
    std::erase(others, UserTemplatesFolder());
    return ChooseTemplateFolder(others);
}

QString& Opener() {
    static QString program = QStringLiteral("xdg-open");
    return program;
}

} // namespace

void DesktopActions::SetOpener(const QString& program) {
    Opener() = program;
}

DesktopActions::DesktopActions(QMenu* menu, QWidget* window, std::function<std::string()> current_folder,
                               std::function<void()> reload_templates)
    : QObject(menu), window_(window), current_folder_(std::move(current_folder)),
      reload_templates_(std::move(reload_templates)),
      own_templates_(new QAction(QStringLiteral("Eigene Vorlagen bearbeiten"), menu)),
      gallery_(new QAction(QStringLiteral("Galerie im Browser zeigen"), menu)) {
    own_templates_->setObjectName(QStringLiteral("OwnTemplates"));
    gallery_->setObjectName(QStringLiteral("ShowGallery"));
    menu->addAction(own_templates_);
    menu->addAction(gallery_);
    connect(own_templates_, &QAction::triggered, this, &DesktopActions::EditOwnTemplates);
    connect(gallery_, &QAction::triggered, this, &DesktopActions::ShowGallery);
    connect(menu, &QMenu::aboutToShow, this, &DesktopActions::UpdateEntries);
    // Until the menu is first shown; the folder may not be known yet.
    gallery_->setEnabled(false);
}

void DesktopActions::EditOwnTemplates() {
    const std::string own = UserTemplatesFolder();
    if (own.empty()) {
        MessageBoxes::ShowError(
            window_, QStringLiteral("Kein Ordner für eigene Vorlagen bekannt (HOME ist nicht gesetzt)."));
        return;
    }
    const bool existed = platform::NameExists(own);
    if (const int code = CopySampleTemplates(SampleFolder(), own); code != 0) {
        MessageBoxes::ShowError(window_, QStringLiteral("Kann den Ordner ") + QString::fromUtf8(own) +
                                             QStringLiteral(" nicht anlegen: ") +
                                             QString::fromUtf8(platform::GetErrorText(code)));
        return;
    }
    // Made just now: from here on the window uses it (unless the working directory has templates).
    if (!existed)
        reload_templates_();
    HandOff(own,
            QStringLiteral("Kann den Ordner ") + QString::fromUtf8(own) +
                QStringLiteral(" nicht im Dateimanager öffnen."),
            [this, own] {
                if (note_)
                    note_(QStringLiteral("Eigene Vorlagen: ") + QString::fromUtf8(own));
            });
}

void DesktopActions::ShowGallery() {
    const std::string page = current_folder_() + "index.html";
    if (!platform::IsRegularFile(page)) {
        UpdateEntries();
        return;
    }
    ShowInBrowser(page);
}

void DesktopActions::ShowInBrowser(const std::string& page) {
    HandOff(page,
            QStringLiteral("Kann ") + QString::fromUtf8(page) + QStringLiteral(" nicht im Browser öffnen."),
            {});
}

void DesktopActions::HandOff(const std::string& path, const QString& failure, std::function<void()> opened) {
    const QString shown = QString::fromUtf8(path);
    // Owned by no window: an opener still running when the window closes (xdg-open waits for a
    // browser it started) must not be killed with it, nor what it started. It deletes itself
    // when it ends; one still running when the program ends is left to run.
    auto* process = new QProcess();
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->setProgram(Opener());
    process->setArguments({shown});
    // The opener's own complaints still reach standard error; its output is of no use here.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Called once: when the opener has ended, or could not be started at all.
    auto ended = [this, process, shown, failure, opened](bool ok) {
        process->disconnect(this);
        if (!ok)
            process->deleteLater();
        if (ok) {
            if (opened)
                opened();
        } else {
            // On the clipboard before the box, which waits for the user.
            QGuiApplication::clipboard()->setText(shown);
            MessageBoxes::ShowWarning(
                window_, failure + QStringLiteral("\nDer Pfad steht in der Zwischenablage:\n") + shown);
        }
        emit HandOffEnded(shown, ok);
    };
    connect(process, &QProcess::finished, this, [ended](int code, QProcess::ExitStatus status) {
        ended(status == QProcess::NormalExit && code == 0);
    });
    connect(process, &QProcess::errorOccurred, this, [ended](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended(false);
    });
    process->start();
}

void DesktopActions::UpdateEntries() {
    const std::string folder = current_folder_();
    gallery_->setEnabled(!folder.empty() && platform::IsRegularFile(folder + "index.html"));
}

} // namespace qlm::ui

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/publish_command.h"

#include "core/publish_record.h"
#include "core/publish_targets.h"
#include "core/publisher.h"
#include "core/settings.h"
#include "platform/file_ops.h"
#include "platform/globals.h"
#include "platform/temporary_files.h"
#include "platform/text.h"
#include "ui/commands.h"
#include "ui/desktop_actions.h"
#include "ui/folder_dialog.h"
#include "ui/message_boxes.h"

namespace qlm::ui {

namespace {

// A box names at most this many files; a gallery whose pages are all missing would fill the
// screen otherwise.
constexpr int kMostNamedFiles = 20;

// The progress of a publishing on the window's working display.
class PublishProgress : public PublishingHost {
  public:
    explicit PublishProgress(GenerationHost& host) : host_(host) {}
    void SetProgressLabel(const std::string& text) override { host_.SetProgressLabel(text); }
    void SetProgressMaximum(int maximum) override { host_.SetProgressMaximum(maximum); }
    void SetProgressPosition(int position) override { host_.SetProgressPosition(position); }
    bool StopRequested() override { return host_.StopRequested(); }

  private:
    GenerationHost& host_;
};

QString BoxText(const std::string& text) {
    return QString::fromStdString(platform::TextAsUtf8(text));
}

// Where the dialog starts the first time: beside the picture folder, since a target inside it is
// refused.
std::string FolderAbove(const std::string& folder) {
    const std::size_t end = folder.find_last_not_of('/');
    if (end == std::string::npos)
        return folder;
    const std::size_t slash = folder.rfind('/', end);
    return slash == std::string::npos ? folder : folder.substr(0, slash + 1);
}

// The target the user wants for `folder`: the remembered one, or one chosen in the dialog.
std::optional<std::string> ChooseTarget(const PublishPlaces& places, const std::string& folder,
                                        PublishTargetChoice choice, bool& asked) {
    const std::string remembered = RememberedPublishTarget(places.settings_path, folder);
    asked = choice == PublishTargetChoice::AskAgain || remembered.empty();
    if (!asked)
        return remembered;
    return FolderDialog::Choose(places.parent, QStringLiteral("Zielordner für die Galerie wählen"),
                                remembered.empty() ? FolderAbove(folder) : remembered);
}

void ShowRefusal(const PublishPlaces& places, const std::string& target, const PublishResult& result,
                 bool asked) {
    std::string text = std::string(kNotPublishedHead) + "\n\n" + target + "\n" + PublishRefusalText(result);
    if (!asked)
        text +=
            std::string("\n\nEinen anderen Zielordner wählen Sie mit „") + kChangePublishTargetEntry + "“.";
    MessageBoxes::ShowError(places.parent, BoxText(text));
}

void Remember(CommandWindow& window, const PublishPlaces& places, const std::string& folder,
              const std::string& target) {
    if (const int error = RememberPublishTarget(places.settings_path, folder, target); error != 0)
        window.Warn("Der Zielordner wird beim nächsten Mal wieder erfragt: " +
                    SettingsWriteFailureText(places.settings_path) + " (" + platform::GetErrorText(error) +
                    ")");
}

void ShowPublished(const PublishPlaces& places, const PublishResult& result) {
    const std::string page = result.target + "index.html";
    const bool viewable = platform::IsRegularFile(page);
    const QMessageBox::StandardButton answer = MessageBoxes::ShowReport(
        places.parent, result.Complete() ? QMessageBox::Information : QMessageBox::Warning,
        QString::fromUtf8(kPublishTitle), BoxText(PublishReportText(result)),
        viewable ? QString::fromUtf8(kShowInBrowserButton) : QString());
    if (viewable && answer == QMessageBox::Open && places.desktop != nullptr)
        places.desktop->ShowInBrowser(page);
}

} // namespace

std::optional<PublishResult> PublishClick(CommandWindow& window, const PublishPlaces& places,
                                          PublishTargetChoice choice) {
    const std::string folder = window.CommandFolder();
    const std::vector<std::string> pictures = window.SelectedPictures();
    if (pictures.empty())
        return std::nullopt;
    if (!platform::IsRegularFile(folder + "index.html")) {
        MessageBoxes::ShowError(places.parent,
                                BoxText(std::string(kNotPublishedHead) +
                                        " Dieser Ordner hat noch keine Galerie (index.html fehlt); "
                                        "erzeugen Sie sie zuerst mit „Make HTML“:\n" +
                                        folder));
        return std::nullopt;
    }
    bool asked = false;
    const std::optional<std::string> target = ChooseTarget(places, folder, choice, asked);
    platform::FolderRun run;
    if (!target || !BeginFolderRun(window, run))
        return std::nullopt;
    GenerationHost& host = window.Host();
    WorkingDisplay display(host, 0);
    PublishProgress progress(host);
    PublishResult result = Publish({folder, pictures, *target}, progress);
    display.End();
    if (result.refusal != PublishRefusal::None) {
        ShowRefusal(places, *target, result, asked);
        return result;
    }
    if (asked)
        Remember(window, places, folder, *target);
    ShowPublished(places, result);
    return result;
}

std::string PublishRefusalText(const PublishResult& result) {
    const std::string error = platform::GetErrorText(result.error);
    const std::string record(kPublishRecordName);
    switch (result.refusal) {
    case PublishRefusal::TargetIsPictureFolder:
        return "Der Zielordner ist der Bilderordner selbst.";
    case PublishRefusal::TargetInsidePictureFolder:
        return "Der Zielordner liegt im Bilderordner.";
    case PublishRefusal::TargetIsNoFolder:
        return "Das Ziel ist eine Datei, kein Ordner.";
    case PublishRefusal::TargetInUse:
        return "In diesem Ordner veröffentlicht oder arbeitet gerade ein anderer Lauf. Bitte warten Sie, "
               "bis er fertig ist.";
    case PublishRefusal::RecordUnreadable:
        return result.error != 0 ? record + " kann nicht gelesen werden: " + error
                                 : record + " ist keine Liste einer Veröffentlichung.";
    case PublishRefusal::RecordUnwritable:
        return record + " kann nicht geschrieben werden: " + error;
    case PublishRefusal::FolderUnusable:
        return "Der Bilderordner ist nicht zu finden: " + error;
    case PublishRefusal::TargetUnusable:
        return "Der Zielordner kann nicht benutzt werden: " + error;
    case PublishRefusal::None:
        break;
    }
    return error;
}

std::string NotPublishedText(const PublishedFile& file) {
    const std::string error = platform::GetErrorText(file.error);
    switch (file.reason) {
    case NotPublishedReason::Missing:
        return "verlinkt, aber nicht im Bilderordner";
    case NotPublishedReason::Unreadable:
        return "kann nicht gelesen werden: " + error;
    case NotPublishedReason::Undecodable:
        return file.message + "; ein Bild wird nie mit seinen Metadaten veröffentlicht";
    case NotPublishedReason::ProgramFile:
        return "eine Zwischen-, Sicherungs-, Einstellungs- oder Listendatei; wird nie veröffentlicht";
    case NotPublishedReason::OutsideFolder:
        return "sein Ordner führt aus dem Bilderordner hinaus";
    case NotPublishedReason::InPictureFolder:
        return "sein Platz im Zielordner liegt im Bilderordner";
    case NotPublishedReason::ForeignFile:
        return "im Zielordner liegt eine Datei dieses Namens, die nicht vom Veröffentlichen stammt";
    case NotPublishedReason::TargetBlocked:
        return "sein Platz im Zielordner ist von einer Verknüpfung oder einem Ordner belegt (" + error + ")";
    case NotPublishedReason::Unwritable:
        return "kann nicht geschrieben werden: " + error +
               "; das Veröffentlichen wurde hier abgebrochen, "
               "nichts wurde entfernt";
    case NotPublishedReason::Unremovable:
        return "nicht mehr verlinkt, kann aber nicht entfernt werden: " + error;
    case NotPublishedReason::None:
        break;
    }
    return error;
}

std::string PublishReportText(const PublishResult& result) {
    std::string text = result.cancelled
                           ? "Abgebrochen nach " + std::to_string(result.files_done) + " von " +
                                 std::to_string(result.files_found) + " Dateien; nichts wurde entfernt.\n\n"
                           : std::string();
    text += "Veröffentlicht nach\n" + result.target +
            "\n\nDateien: " + std::to_string(result.Count(FileOutcome::Written)) + " geschrieben, " +
            std::to_string(result.Count(FileOutcome::Unchanged)) + " unverändert, " +
            std::to_string(result.Count(FileOutcome::Removed)) + " entfernt.";
    if (const int failed = result.Count(FileOutcome::NotPublished); failed > 0) {
        text += "\n\nNicht veröffentlicht (" + std::to_string(failed) + "):";
        int named = 0;
        for (const PublishedFile& file : result.files) {
            if (file.outcome != FileOutcome::NotPublished || ++named > kMostNamedFiles)
                continue;
            text += "\n" + file.name + ": " + NotPublishedText(file);
        }
        if (failed > kMostNamedFiles)
            text += "\n… und " + std::to_string(failed - kMostNamedFiles) + " weitere";
    }
    if (result.record_error != 0)
        text += "\n\n" + result.target + std::string(kPublishRecordName) +
                " kann nicht geschrieben werden: " + platform::GetErrorText(result.record_error);
    return text;
}

} // namespace qlm::ui

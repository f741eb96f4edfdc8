// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/commands.h"

#include "core/info_convert.h"
#include "core/name_correction.h"
#include "core/prompts_ahead.h"
#include "core/text_file.h"
#include "platform/temporary_files.h"
#include "ui/stopped_runs.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>

namespace qlm::ui {

bool BeginFolderRun(CommandWindow& window, platform::FolderRun& run) {
    if (run.Begin(window.CommandFolder()) != EBUSY)
        return true;
    window.Warn(std::string(kFolderInUseWarning) + "\n" + window.CommandFolder());
    return false;
}

namespace {

PromptsAhead PromptsAheadOf(CommandWindow& window) {
    const TemplateSet& templates = window.Templates();
    return CountPromptsAhead(ListFolderNames(window.CommandFolder(), UsesWebCopies(templates)),
                             window.SelectedPictures(), window.Flags(), templates);
}

// Offers another way before a run with many boxes (see MakeItSoClick). False when the user
// cancelled; `quiet` is set for a run that asks and warns nothing. It comes before the run takes
// the folder, which the makers take for themselves.
bool OfferOtherWay(CommandWindow& window, bool& quiet) {
    bool thumbnails_made = false;
    bool web_copies_made = false;
    for (;;) {
        const PromptsAhead ahead = PromptsAheadOf(window);
        if (!OffersOtherWay(ahead))
            return true;
        // A maker runs once per click: what it could not make the first time it would not make now.
        const bool make_thumbnails = ahead.missing_thumbnails > 0 && !thumbnails_made;
        const bool make_web_copies = ahead.missing_web_copies > 0 && !web_copies_made;
        switch (window.OfferOtherWay(ahead, make_thumbnails, make_web_copies)) {
        case PromptsChoice::MakeThumbnails:
            if (!make_thumbnails)
                return false;
            MakeThumbnailsClick(window);
            thumbnails_made = true;
            break;
        case PromptsChoice::MakeWebCopies:
            if (!make_web_copies)
                return false;
            MakeWebPicturesClick(window);
            web_copies_made = true;
            break;
        case PromptsChoice::Ask:
            return true;
        case PromptsChoice::AskNothing:
            quiet = true;
            return true;
        case PromptsChoice::Cancel:
            return false;
        }
    }
}

} // namespace

GenerationResult MakeItSoClick(CommandWindow& window) {
    bool quiet = false;
    if (!OfferOtherWay(window, quiet))
        return {};
    platform::FolderRun run;
    if (!BeginFolderRun(window, run)) {
        GenerationResult busy;
        busy.folder_in_use = true;
        return busy;
    }
    GenerationInput input;
    input.folder = window.CommandFolder();
    input.pictures = window.SelectedPictures();
    // Only pictures can be selected, so every selected entry is a picture.
    input.selected_entries = static_cast<int>(input.pictures.size());
    input.flags = window.Flags();
    input.templates = window.Templates();
    input.version = window.Version();
    if (quiet) {
        input.ask = false;
        input.flags.warn = false;
    }
    GenerationResult result = MakeGallery(input, window.Host());
    if (result.cancelled)
        window.Warn(StoppedGalleryText(result.pictures_done, input.pictures.size()));
    // A stopped run has not written the overview; one that could not write it has said so.
    const bool written =
        std::find(result.unwritten.begin(), result.unwritten.end(), "index.html") == result.unwritten.end();
    if (!result.stopped && !result.cancelled && written)
        window.NoteGallery(input.folder + "index.html");
    return result;
}

std::string MadeThumbnailsNote(int made) {
    return std::to_string(made) + (made == 1 ? " Thumbnail erzeugt" : " Thumbnails erzeugt");
}

std::string MadeWebPicturesNote(int pictures) {
    return "Webbilder für " + std::to_string(pictures) +
           (pictures == 1 ? " Bild erzeugt" : " Bilder erzeugt");
}

namespace {

bool WasMade(const ThumbnailResult& result) {
    return result.outcome == ThumbnailOutcome::Made;
}

bool WasMade(const WebCopyResult& result) {
    return result.outcome == WebCopyOutcome::Made;
}

bool WasStopped(const ThumbnailResult& result) {
    return result.outcome == ThumbnailOutcome::Stopped;
}

bool WasStopped(const WebCopyResult& result) {
    return result.outcome == WebCopyOutcome::Stopped;
}

// One line of the warning for a thumbnail that could not be made.
std::string NotMadeLine(const ThumbnailResult& result) {
    switch (result.outcome) {
    case ThumbnailOutcome::PictureMissing:
        return result.picture + ": das Bild kann nicht geöffnet werden";
    case ThumbnailOutcome::Damaged:
        return result.picture + ": " + result.message;
    case ThumbnailOutcome::Unwritten:
        return result.thumbnail + ": " + result.message;
    case ThumbnailOutcome::Made:
    case ThumbnailOutcome::Existing:
    case ThumbnailOutcome::Stopped:
        break;
    }
    return {};
}

// One line of the warning for a picture whose web copies could not all be made.
std::string NotMadeLine(const WebCopyResult& result) {
    switch (result.outcome) {
    case WebCopyOutcome::PictureMissing:
        return result.picture + ": das Bild kann nicht geöffnet werden";
    case WebCopyOutcome::Damaged:
        return result.picture + ": " + result.message;
    case WebCopyOutcome::Unwritten:
        return result.failed + ": " + result.message;
    case WebCopyOutcome::Made:
    case WebCopyOutcome::Existing:
    case WebCopyOutcome::NotNeeded:
    case WebCopyOutcome::Animated:
    case WebCopyOutcome::Stopped:
        break;
    }
    return {};
}

// Runs a maker of missing files (thumbnails, web copies) over the selected pictures behind the
// working display, then names what could not be made in one warning and reads the list again, as
// the new files belong to the folder; the pictures stay selected for the next step, and the status
// line gets `note` of the number made.
template <typename Result, typename Make>
std::vector<Result> RunMaker(CommandWindow& window, const char* warning_head, std::string (*note)(int made),
                             Make make) {
    const std::vector<std::string> pictures = window.SelectedPictures();
    platform::FolderRun run;
    if (pictures.empty() || !BeginFolderRun(window, run))
        return {};
    GenerationHost& host = window.Host();
    WorkingDisplay display(host, static_cast<int>(pictures.size()));
    std::vector<Result> results = make(window.CommandFolder(), pictures, host);
    display.End();
    // A line that many pictures share (a copies' folder that cannot be used) is named once.
    std::string warning;
    std::set<std::string> said;
    for (const Result& result : results)
        if (const std::string line = NotMadeLine(result); !line.empty() && said.insert(line).second)
            warning += "\n" + line;
    if (!warning.empty())
        window.Warn(warning_head + warning);
    if (const auto stopped = std::count_if(results.begin(), results.end(),
                                           [](const Result& result) { return WasStopped(result); });
        stopped > 0)
        window.Warn(StoppedMakerText(results.size() - static_cast<std::size_t>(stopped), results.size()));
    window.MyReload();
    window.Reselect(pictures);
    const auto made =
        std::count_if(results.begin(), results.end(), [](const Result& result) { return WasMade(result); });
    window.Note(note(static_cast<int>(made)));
    return results;
}

} // namespace

std::vector<ThumbnailResult> MakeThumbnailsClick(CommandWindow& window) {
    const bool thumbs_jpg = window.Flags().thumbs_jpg;
    return RunMaker<ThumbnailResult>(
        window, kThumbnailsNotMadeWarning, MadeThumbnailsNote,
        [&](const std::string& folder, const std::vector<std::string>& pictures, GenerationHost& host) {
            return MakeMissingThumbnails(
                folder, pictures, thumbs_jpg, kDefaultThumbnailSize,
                [&host](const ThumbnailResult& result) {
                    host.SetProgressLabel(result.thumbnail);
                    host.StepProgress();
                },
                0, [&host] { return host.StopRequested(); });
        });
}

std::vector<WebCopyResult> MakeWebPicturesClick(CommandWindow& window) {
    return RunMaker<WebCopyResult>(
        window, kWebPicturesNotMadeWarning, MadeWebPicturesNote,
        [](const std::string& folder, const std::vector<std::string>& pictures, GenerationHost& host) {
            return MakeMissingWebCopies(
                folder, pictures, kDefaultWebSizes,
                [&host](const WebCopyResult& result) {
                    host.SetProgressLabel(result.picture);
                    host.StepProgress();
                },
                0, [&host] { return host.StopRequested(); });
        });
}

void RenameFilesClick(CommandWindow& window) {
    platform::FolderRun run;
    if (!BeginFolderRun(window, run))
        return;
    window.SetCommandButtons(false);
    const std::vector<std::string> pictures = window.SelectedPictures();
    GenerationHost& host = window.Host();
    // The progress display offers "Abbrechen" between pictures.
    WorkingDisplay display(host, static_cast<int>(pictures.size()));
    std::size_t done = 0;
    const NameCorrectionProgress progress{[&host] { return host.StopRequested(); },
                                          [&host, &done](const std::string& name) {
                                              ++done;
                                              host.SetProgressLabel(name);
                                              host.StepProgress();
                                          }};
    const int renamed = CorrectNames(window.CommandFolder(), pictures, window.Flags().thumbs_jpg, progress);
    display.End();
    window.MyReload();
    window.SetCommandButtons(false);
    if (done < pictures.size())
        window.Warn(StoppedMakerText(done, pictures.size()));
    window.Note(renamed > 0 ? kNamesChangedNote : kNamesUnchangedNote);
}

bool TransFileClick(CommandWindow& window) {
    platform::FolderRun run;
    if (!BeginFolderRun(window, run))
        return false;
    const std::string folder = window.CommandFolder();
    std::string info;
    // Without a readable "info.txt" the page holds the head and the tail alone.
    (void)MyReadFile(folder + "info.txt", info);
    const TemplateSet& templates = window.Templates();
    if (MyWriteFile(folder + "info.html", MyConvertInfo(info, templates.info_head, templates.info_tail)))
        return true;
    window.Warn(std::string(kUnwrittenFilesWarning) + "\ninfo.html");
    return false;
}

} // namespace qlm::ui

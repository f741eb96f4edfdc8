// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/make_command.h"

#include "cli/cli_host.h"
#include "cli/publish_command.h"
#include "cli/stop_signals.h"
#include "core/folder_listing.h"
#include "core/generator.h"
#include "core/picture.h"
#include "core/settings.h"
#include "core/settings_place.h"
#include "core/template_places.h"
#include "core/templates.h"
#include "core/thumbnail_maker.h"
#include "core/web_copy_maker.h"
#include "platform/file_ops.h"
#include "platform/globals.h"
#include "platform/module_version.h"
#include "platform/temporary_files.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <ostream>
#include <set>
#include <utility>

namespace qlm::cli {

namespace {

constexpr const char* kProgramName = "quillmoor-make";

// The folder given with --templates; else the first of the working directory, the user's own
// templates and the installed samples that holds any of the required templates.
std::vector<std::string> TemplateFolders(const CliOptions& options) {
    if (!options.templates_dir.empty())
        return {platform::AddBackslash(options.templates_dir)};
    return TemplateSearchFolders();
}

// A reason as the decoders write it, as a sentence, without its full stop, so that it can go on.
std::string WithoutFinalStop(std::string reason) {
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' '))
        reason.pop_back();
    return reason;
}

// Ends a maker's summary line with the pictures a stop left without their files.
template <typename Result, typename Outcome>
void SayStopped(const std::vector<Result>& results, Outcome stopped_outcome, std::ostream& messages) {
    const auto stopped =
        std::count_if(results.begin(), results.end(),
                      [stopped_outcome](const Result& result) { return result.outcome == stopped_outcome; });
    if (stopped > 0)
        messages << ", stopped before " << stopped << " pictures";
}

// Makes the missing thumbnails of `pictures`, naming each one that could not be made. True when
// every thumbnail is there afterwards.
bool MakeThumbnails(const std::string& folder, const std::vector<std::string>& pictures, bool thumbs_jpg,
                    int size, std::ostream& messages, CliHost& host) {
    int made = 0, existing = 0, failed = 0;
    host.SetProgressMaximum(static_cast<int>(pictures.size()));
    const auto stop = [] { return StopSignalled(); };
    const auto report = [&](const ThumbnailResult& result) {
        // The progress line counts the pictures finished, this one included.
        host.SetProgressPosition(made + existing + failed);
        host.SetProgressLabel(result.thumbnail);
        switch (result.outcome) {
        case ThumbnailOutcome::Made:
            ++made;
            return;
        case ThumbnailOutcome::Existing:
            ++existing;
            return;
        case ThumbnailOutcome::Stopped:
            return;
        case ThumbnailOutcome::PictureMissing:
            host.EndProgressLine();
            messages << kProgramName << ": " << Printable(result.picture)
                     << " cannot be opened; no thumbnail made\n";
            break;
        case ThumbnailOutcome::Damaged:
            host.EndProgressLine();
            messages << kProgramName << ": " << Printable(result.picture) << ": "
                     << Printable(WithoutFinalStop(result.message)) << "; no thumbnail made\n";
            break;
        case ThumbnailOutcome::Unwritten:
            host.EndProgressLine();
            messages << kProgramName << ": " << Printable(result.thumbnail)
                     << " could not be written: " << Printable(result.message) << '\n';
            break;
        }
        ++failed;
    };
    const std::vector<ThumbnailResult> results =
        MakeMissingThumbnails(folder, pictures, thumbs_jpg, size, report, 0, stop);
    host.EndProgressLine();
    messages << kProgramName << ": thumbnails: " << made << " made, " << existing << " already there";
    if (failed > 0)
        messages << ", " << failed << " not made";
    SayStopped(results, ThumbnailOutcome::Stopped, messages);
    messages << '\n';
    return failed == 0;
}

// Makes the missing web copies of `pictures`, naming each picture that got none it needs. True
// when every copy the pictures need is there afterwards.
bool MakeWebPictures(const std::string& folder, const std::vector<std::string>& pictures,
                     const std::vector<int>& sizes, std::ostream& messages, CliHost& host) {
    int made = 0, existing = 0, none = 0, failed = 0, done = 0;
    // A copies' folder that cannot be used fails every picture alike: it is named once.
    std::set<std::string> unwritten_said;
    host.SetProgressMaximum(static_cast<int>(pictures.size()));
    const auto stop = [] { return StopSignalled(); };
    const auto report = [&](const WebCopyResult& result) {
        host.SetProgressPosition(++done);
        host.SetProgressLabel(result.picture);
        switch (result.outcome) {
        case WebCopyOutcome::Made:
            made += static_cast<int>(result.made.size());
            return;
        case WebCopyOutcome::Existing:
            ++existing;
            return;
        case WebCopyOutcome::NotNeeded:
        case WebCopyOutcome::Animated:
            ++none;
            return;
        case WebCopyOutcome::Stopped:
            return;
        case WebCopyOutcome::PictureMissing:
            host.EndProgressLine();
            messages << kProgramName << ": " << Printable(result.picture)
                     << " cannot be opened; no web copy made\n";
            break;
        case WebCopyOutcome::Damaged:
            host.EndProgressLine();
            messages << kProgramName << ": " << Printable(result.picture) << ": "
                     << Printable(WithoutFinalStop(result.message)) << "; no web copy made\n";
            break;
        case WebCopyOutcome::Unwritten:
            if (!unwritten_said.insert(result.failed + '\n' + result.message).second)
                break;
            host.EndProgressLine();
            messages << kProgramName << ": " << Printable(result.failed)
                     << " could not be written: " << Printable(result.message) << '\n';
            break;
        }
        ++failed;
    };
    const std::vector<WebCopyResult> results = MakeMissingWebCopies(folder, pictures, sizes, report, 0, stop);
    host.EndProgressLine();
    // Copies made, pictures that had all theirs, pictures too small or animated to need any.
    messages << kProgramName << ": web copies: " << made << " made, " << existing << " pictures had them, "
             << none << " need none";
    if (failed > 0)
        messages << ", " << failed << " not made";
    SayStopped(results, WebCopyOutcome::Stopped, messages);
    messages << '\n';
    return failed == 0;
}

// The run's last line: what was not done after a failure; where the overview page is after a
// successful run, when someone watches (a terminal) or asked for it.
void ReportOutcome(const std::string& folder, std::size_t pictures, const GenerationResult& result,
                   bool complete, bool name_page, std::ostream& messages) {
    const std::string index = Printable(folder + "index.html");
    if (result.cancelled) {
        messages << kProgramName << ": stopped after " << result.pictures_done << " of " << pictures
                 << " pictures; " << index << " was not written\n";
    } else if (result.stopped) {
        messages << kProgramName << ": run stopped; the pages before it stay, " << index
                 << " was not written\n";
    } else if (std::find(result.unwritten.begin(), result.unwritten.end(), "index.html") !=
               result.unwritten.end()) {
        messages << kProgramName << ": " << index << " was not written\n";
    } else if (!complete) {
        messages << kProgramName << ": overview page " << index
                 << " written, but the gallery is incomplete\n";
    } else if (name_page) {
        messages << kProgramName << ": overview page " << index << '\n';
    }
}

// Reads the templates from the first folder that holds them, saying which ones the user's own
// folder lacked and where they came from instead; false, after naming every folder looked in and
// what it lacks, when none does.
bool LoadTemplatesOrSay(const CliOptions& options, const std::string& settings_path, TemplateSet& templates,
                        std::ostream& messages) {
    const std::vector<std::string> template_folders = TemplateFolders(options);
    const TemplateChoice choice = ChooseTemplates(template_folders);
    if (options.verbose) {
        messages << kProgramName << ": settings from " << Printable(settings_path) << '\n'
                 << kProgramName << ": templates from "
                 << Printable(platform::AddBackslash(platform::GetFullPathName(choice.sources.folder)))
                 << '\n';
    }
    if (LoadTemplates(templates, choice.sources, false) == TemplateLoad::Ok) {
        if (!choice.borrowed.empty())
            messages << Printable(BorrowedTemplatesWarning(choice)) << '\n';
        return true;
    }
    messages << kTemplatesMissingMessage << '\n';
    for (const TemplateFolderReport& tried : TemplateSearchReport(template_folders)) {
        messages << kProgramName << ": looked in " << Printable(tried.folder);
        if (!tried.missing.empty())
            messages << ", missing: " << tried.missing;
        messages << '\n';
    }
    messages << kProgramName << ": the templates could not be read; no page was written\n";
    return false;
}

// The pictures of `folder` the run works on: all of them, or those named on the command line, in
// the order of the folder list, and the folder's texts and pages. Gives 0,
// or the exit status after saying what is wrong.
int ChoosePictures(const CliOptions& options, const std::string& folder, std::vector<std::string>& pictures,
                   ListedNames& listed_names, std::ostream& messages) {
    std::vector<std::string> listed;
    if (const int code = ListPictures(folder, listed, &listed_names); code != 0) {
        messages << kProgramName << ": " << Printable(folder) << ": " << platform::GetErrorText(code) << '\n';
        return kExitFailure;
    }
    if (options.pictures.empty()) {
        pictures = std::move(listed);
    } else {
        const std::set<std::string> wanted(options.pictures.begin(), options.pictures.end());
        for (const std::string& name : wanted) {
            if (std::find(listed.begin(), listed.end(), name) == listed.end()) {
                messages << kProgramName << ": " << Printable(name) << " is not a picture of "
                         << Printable(folder) << " (thumbnails t_* and other files are not)\n"
                         << ShortUsageText(kProgramName);
                return kExitUsage;
            }
        }
        std::copy_if(listed.begin(), listed.end(), std::back_inserter(pictures),
                     [&wanted](const std::string& name) { return wanted.contains(name); });
    }
    if (pictures.empty()) {
        messages << kProgramName << ": " << Printable(folder) << " holds no pictures\n";
        return kExitFailure;
    }
    return 0;
}

// Publishes the gallery the run made; a run that did not write its overview page has none to
// publish. True when every file was published.
bool PublishAfterRun(const std::string& folder, const std::vector<std::string>& pictures,
                     const std::string& target, const GenerationResult& result, std::ostream& messages,
                     CliHost& host) {
    if (result.stopped ||
        std::find(result.unwritten.begin(), result.unwritten.end(), "index.html") != result.unwritten.end()) {
        messages << kProgramName << ": nothing published: the run did not write the overview page\n";
        return false;
    }
    return PublishGallery(folder, pictures, target, messages, host);
}

} // namespace

int RunMakeCommand(const CliOptions& options, std::istream& answers, std::ostream& messages,
                   bool show_progress) {
    const std::string settings_path = SettingsFilePath();
    const Settings settings = LoadSettings(settings_path);

    TemplateSet templates;
    if (!LoadTemplatesOrSay(options, settings_path, templates, messages))
        return kExitTemplatesMissing;

    const std::string folder = platform::AddBackslash(platform::GetFullPathName(options.folder));
    // One run over a folder at a time; this one says so and leaves the folder to the other. The
    // folder is taken before it is listed, so that the listing also tells whether killed runs
    // left temporaries there: a folder without any is not listed a second time for them.
    platform::FolderRun run;
    const int taken = run.Take(folder);
    if (taken == EBUSY) {
        messages << kProgramName << ": " << Printable(folder)
                 << ": another run is writing in this folder; try again when it has finished\n";
        return kExitFailure;
    }
    std::vector<std::string> pictures;
    // The texts the folder holds, for a run that asks nothing: it need not look for the others.
    ListedNames listed_names;
    if (const int status = ChoosePictures(options, folder, pictures, listed_names, messages); status != 0)
        return status;
    if (taken == 0)
        platform::CleanUpTemporaries(folder, listed_names.HeldTemporaries());

    GenerationInput input;
    input.folder = folder;
    // The names are held once: a folder of 100,000 pictures is a large list.
    input.pictures = std::move(pictures);
    input.selected_entries = static_cast<int>(input.pictures.size());
    input.flags = options.flags.ApplyTo(settings.flags);
    input.templates = std::move(templates);
    input.version = platform::VersionString();
    input.ask = options.ask;
    input.listed = std::move(listed_names);

    CliHost host(answers, messages, show_progress, options.verify);
    const bool thumbnails_complete =
        !options.make_thumbnails ||
        MakeThumbnails(folder, input.pictures, input.flags.thumbs_jpg, options.thumb_size, messages, host);
    const bool web_pictures_complete =
        !options.make_web_pictures ||
        MakeWebPictures(folder, input.pictures, options.web_sizes, messages, host);
    if (!input.ask)
        host.MeasureAhead(folder, input.pictures, input.flags.thumbs_jpg);
    const GenerationResult result = MakeGallery(input, host);
    const bool complete = thumbnails_complete && web_pictures_complete && !result.stopped &&
                          result.unwritten.empty() && host.UnopenedPictures() == 0;
    ReportOutcome(folder, input.pictures.size(), result, complete, options.verbose || show_progress,
                  messages);
    if (result.cancelled) // nothing to publish: the gallery has no overview page
        return kExitStopped;
    const bool published =
        options.publish_dir.empty() ||
        PublishAfterRun(folder, input.pictures, options.publish_dir, result, messages, host);
    return complete && published ? kExitOk : StopSignalled() ? kExitStopped : kExitFailure;
}

} // namespace qlm::cli

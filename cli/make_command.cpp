#include "cli/make_command.h"

#include "cli/cli_host.h"
#include "core/folder_listing.h"
#include "core/generator.h"
#include "core/picture.h"
#include "core/settings.h"
#include "core/settings_place.h"
#include "core/templates.h"
#include "core/thumbnail_maker.h"
#include "platform/file_ops.h"
#include "platform/globals.h"
#include "platform/module_version.h"
#include "platform/temporary_files.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <ostream>
#include <set>

namespace qlm::cli {

namespace {

constexpr const char* kProgramName = "quillmoor-make";

// The folder given with --templates; else the working directory, unless it holds none of the
// required templates and the sample templates are installed with the program. A working directory
// with only some of them keeps them, so that the user hears about the missing ones.
std::string TemplateFolder(const CliOptions& options) {
    if (!options.templates_dir.empty()) {
        return platform::AddBackslash(options.templates_dir);
    }
    for (const char* name : kRequiredTemplateNames) {
        if (platform::IsRegularFile(name)) {
            return {};
        }
    }
    const std::string installed = InstalledTemplatesFolder();
    if (!installed.empty() && platform::IsRegularFile(installed + kRequiredTemplateNames[0])) {
        return installed;
    }
    return {};
}

// A reason as the decoders write it, as a sentence, without its full stop, so that it can go on.
std::string WithoutFinalStop(std::string reason) {
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' '))
        reason.pop_back();
    return reason;
}

// Makes the missing thumbnails of `pictures`, naming each one that could not be made. True when
// every thumbnail is there afterwards.
bool MakeThumbnails(const std::string& folder, const std::vector<std::string>& pictures, bool thumbs_jpg,
                    int size, std::ostream& messages, CliHost& host) {
    int made = 0, existing = 0, failed = 0;
    host.SetProgressMaximum(static_cast<int>(pictures.size()));
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
    MakeMissingThumbnails(folder, pictures, thumbs_jpg, size, report);
    host.EndProgressLine();
    messages << kProgramName << ": thumbnails: " << made << " made, " << existing << " already there";
    if (failed > 0)
        messages << ", " << failed << " not made";
    messages << '\n';
    return failed == 0;
}

} // namespace

int RunMakeCommand(const CliOptions& options, std::istream& answers, std::ostream& messages,
                   bool show_progress) {
    const std::string settings_path = SettingsFilePath();
    const Settings settings = LoadSettings(settings_path);

    TemplateSet templates;
    const std::string template_folder = TemplateFolder(options);
    if (options.verbose) {
        messages << kProgramName << ": settings from " << Printable(settings_path) << '\n'
                 << kProgramName << ": templates from "
                 << Printable(platform::AddBackslash(platform::GetFullPathName(template_folder))) << '\n';
    }
    if (LoadTemplates(templates, template_folder, false) != TemplateLoad::Ok) {
        messages << kTemplatesMissingMessage << '\n';
        return kExitTemplatesMissing;
    }

    const std::string folder = platform::AddBackslash(platform::GetFullPathName(options.folder));
    std::vector<std::string> listed;
    if (const int code = ListPictures(folder, listed); code != 0) {
        messages << kProgramName << ": " << Printable(folder) << ": " << platform::GetErrorText(code) << '\n';
        return kExitFailure;
    }

    std::vector<std::string> pictures;
    if (options.pictures.empty()) {
        pictures = listed;
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

    // One run over a folder at a time; this one says so and leaves the folder to the other.
    platform::FolderRun run;
    if (run.Begin(folder) == EBUSY) {
        messages << kProgramName << ": " << Printable(folder)
                 << ": another run is writing in this folder; try again when it has finished\n";
        return kExitFailure;
    }

    GenerationInput input;
    input.folder = folder;
    input.pictures = pictures;
    input.selected_entries = static_cast<int>(pictures.size());
    input.flags = options.flags.ApplyTo(settings.flags);
    input.templates = templates;
    input.version = platform::VersionString();
    input.ask = options.ask;

    CliHost host(answers, messages, show_progress, options.verify);
    const bool thumbnails_complete =
        !options.make_thumbnails ||
        MakeThumbnails(folder, pictures, input.flags.thumbs_jpg, options.thumb_size, messages, host);
    const GenerationResult result = MakeGallery(input, host);
    const bool complete =
        thumbnails_complete && !result.stopped && result.unwritten.empty() && host.UnopenedPictures() == 0;
    return complete ? kExitOk : kExitFailure;
}

} // namespace qlm::cli

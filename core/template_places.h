// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the window and quillmoor-make look for the templates: the working directory, then the
// user's own template folder, then the sample templates installed with the program.

#include "core/templates.h"

#include <string>
#include <vector>

namespace qlm {

// The user's own templates, $XDG_DATA_HOME/quillmoor/templates/ (~/.local/share/...), ending
// with "/"; empty when the system names no such folder.
std::string UserTemplatesFolder();

// The folders searched, in order: "" for the working directory, the user's folder and the
// installed samples (each only when known).
std::vector<std::string> TemplateSearchFolders();

// The first of `folders` that holds at least one of the required templates: a folder with only
// some of them is kept, so that the user hears about the missing ones. When none holds any, the
// first folder, whose loading then fails.
std::string ChooseTemplateFolder(const std::vector<std::string>& folders);

// A required template that the chosen folder lacks, and the later folder it is read from instead.
struct BorrowedTemplate {
    std::string name;
    std::string folder;
};

// Where the templates of a search are read from. The chosen folder (ChooseTemplateFolder) gives
// them all, with one exception: a folder after the working directory (the user's own) that lacks
// some takes each of those from the first later folder that holds it, so that a file renamed by
// hand there does not end every start while the samples are complete. The working directory gives
// its whole set or fails. A template that no later folder holds stays with the chosen folder,
// whose loading then fails.
struct TemplateChoice {
    TemplateSources sources;
    std::vector<BorrowedTemplate> borrowed; // in the order of kRequiredTemplateNames
};
TemplateChoice ChooseTemplates(const std::vector<std::string>& folders);

// The warning that names the templates a choice borrowed, the folder that lacks them and where
// they come from; empty when it borrowed none.
std::string BorrowedTemplatesWarning(const TemplateChoice& choice);

// One folder of a failed search: its full path and the required templates missing there, joined
// by ", " (empty when they are all there but could not be read). The report runs up to the folder
// that was chosen, or over all of them when none holds any template; when the chosen folder could
// borrow what it lacks, over the later folders too, where those templates were looked for.
struct TemplateFolderReport {
    std::string folder;
    std::string missing;
};
std::vector<TemplateFolderReport> TemplateSearchReport(const std::vector<std::string>& folders);

// Copies the templates (*.html) of `samples` into the new folder `own` when `own` does not exist
// yet; an existing `own` is left exactly as it is. The folder appears complete or not at all: the
// copies are made in a temporary folder beside it that is then renamed. Gives 0 or an errno value.
int CopySampleTemplates(const std::string& samples, const std::string& own);

} // namespace qlm

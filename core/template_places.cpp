// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/template_places.h"

#include "core/settings_place.h"
#include "core/templates.h"
#include "platform/file_ops.h"
#include "platform/globals.h"
#include "platform/program_places.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <stdlib.h>

namespace qlm {

namespace {

// The bound of every template read.
constexpr std::uint64_t kMaxTemplateSize = std::uint64_t{256} << 20;

std::string WithoutSlash(const std::string& folder) {
    return folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder;
}

std::string FullFolder(const std::string& folder) {
    return platform::AddBackslash(platform::GetFullPathName(folder));
}

// The names joined by ", ", as the messages list them.
std::string NameList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + name;
    return list;
}

std::vector<std::string> MissingTemplates(const std::string& folder) {
    std::vector<std::string> missing;
    for (const char* name : kRequiredTemplateNames)
        if (!platform::IsRegularFile(folder + name))
            missing.emplace_back(name);
    return missing;
}

bool HoldsAnyTemplate(const std::string& folder) {
    for (const char* name : kRequiredTemplateNames)
        if (platform::IsRegularFile(folder + name))
            return true;
    return false;
}

int CopyInto(const std::string& samples, const std::string& folder) {
    std::error_code error;
    // "" is the working directory, as everywhere in the search.
    for (const auto& entry : std::filesystem::directory_iterator(samples.empty() ? "." : samples, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.ends_with(".html") || !platform::IsRegularFile(entry.path().string()))
            continue;
        std::string bytes;
        if (const int code = platform::ReadWholeFile(entry.path().string(), bytes, kMaxTemplateSize);
            code != 0)
            return code;
        if (const int code =
                platform::ReplaceFileContents(folder + "/" + name, bytes, platform::Links::Refuse);
            code != 0)
            return code;
    }
    return error ? error.value() : 0;
}

} // namespace

std::string UserTemplatesFolder() {
    const std::string data = platform::DataHome();
    return data.empty() ? data : data + kProgramFolderName + "/templates/";
}

std::vector<std::string> TemplateSearchFolders() {
    std::vector<std::string> folders{""};
    for (const std::string& folder : {UserTemplatesFolder(), InstalledTemplatesFolder()})
        if (!folder.empty())
            folders.push_back(folder);
    return folders;
}

std::string ChooseTemplateFolder(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders)
        if (HoldsAnyTemplate(folder))
            return folder;
    return folders.empty() ? std::string() : folders.front();
}

TemplateChoice ChooseTemplates(const std::vector<std::string>& folders) {
    TemplateChoice choice;
    const std::string& chosen = choice.sources.folder = ChooseTemplateFolder(folders);
    choice.sources.required.fill(chosen);
    // The working directory gives its whole set or none.
    if (chosen.empty())
        return choice;
    const auto after = std::find(folders.begin(), folders.end(), chosen);
    for (std::size_t index = 0; index < std::size(kRequiredTemplateNames); ++index) {
        const std::string name = kRequiredTemplateNames[index];
        if (platform::IsRegularFile(chosen + name))
            continue;
        const auto holder = std::find_if(after + 1, folders.end(), [&name](const std::string& folder) {
            return platform::IsRegularFile(folder + name);
        });
        if (holder == folders.end())
            continue;
        choice.sources.required[index] = *holder;
        choice.borrowed.push_back({name, *holder});
    }
    return choice;
}

std::string BorrowedTemplatesWarning(const TemplateChoice& choice) {
    if (choice.borrowed.empty())
        return {};
    std::vector<std::string> names, sources;
    for (const BorrowedTemplate& borrowed : choice.borrowed) {
        names.push_back(borrowed.name);
        if (std::find(sources.begin(), sources.end(), borrowed.folder) == sources.end())
            sources.push_back(borrowed.folder);
    }
    std::string text =
        "Es fehlen Definitionsdatei(en) in " + FullFolder(choice.sources.folder) + ": " + NameList(names);
    // One line per folder they come from: with more than one later folder, each may give some.
    for (const std::string& source : sources) {
        std::vector<std::string> taken;
        for (const BorrowedTemplate& borrowed : choice.borrowed)
            if (borrowed.folder == source)
                taken.push_back(borrowed.name);
        text += "\nErsatzweise genommen aus " + FullFolder(source) + ": " + NameList(taken);
    }
    return text;
}

std::vector<TemplateFolderReport> TemplateSearchReport(const std::vector<std::string>& folders) {
    std::vector<TemplateFolderReport> report;
    bool borrowing = false;
    for (const std::string& folder : folders) {
        report.push_back({FullFolder(folder), NameList(MissingTemplates(folder))});
        // The search ends at the first folder with any template; those after it were not tried,
        // unless that folder could borrow what it lacks from them.
        if (borrowing || !HoldsAnyTemplate(folder))
            continue;
        if (folder.empty() || report.back().missing.empty())
            break;
        borrowing = true;
    }
    return report;
}

int CopySampleTemplates(const std::string& samples, const std::string& own) {
    const std::string target = WithoutSlash(own);
    if (platform::NameExists(target))
        return 0;
    if (!HoldsAnyTemplate(samples))
        return ENOENT;
    if (const int code = platform::MakeFolderOf(target); code != 0)
        return code;
    const std::string::size_type slash = target.rfind('/');
    std::string temporary = target.substr(0, slash + 1) + ".templates.qlm-XXXXXX";
    if (::mkdtemp(temporary.data()) == nullptr)
        return errno;
    int code = CopyInto(samples, temporary);
    if (code == 0)
        code = platform::RenameNoReplace(temporary, target);
    if (code != 0) {
        std::error_code ignored;
        std::filesystem::remove_all(temporary, ignored);
        // Someone else made the folder meanwhile: theirs stays, which is what was asked for.
        if (code == EEXIST || code == ENOTEMPTY)
            return 0;
    }
    return code;
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/template_places.h"

#include "core/settings_place.h"
#include "core/templates.h"
#include "platform/file_ops.h"
#include "platform/globals.h"
#include "platform/program_places.h"

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

std::vector<TemplateFolderReport> TemplateSearchReport(const std::vector<std::string>& folders) {
    std::vector<TemplateFolderReport> report;
    for (const std::string& folder : folders) {
        TemplateFolderReport entry{platform::AddBackslash(platform::GetFullPathName(folder)), {}};
        for (const char* name : kRequiredTemplateNames)
            if (!platform::IsRegularFile(folder + name))
                entry.missing += (entry.missing.empty() ? "" : ", ") + std::string(name);
        report.push_back(std::move(entry));
        // The search ends at the first folder with any template; those after it were not tried.
        if (HoldsAnyTemplate(folder))
            break;
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

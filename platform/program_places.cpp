// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/program_places.h"

#include "platform/globals.h"
#include "platform/module_version.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// The folders a configured build installs to; a build without them counts as never installed.
#ifndef QLM_INSTALL_BINDIR
#define QLM_INSTALL_BINDIR ""
#endif
#ifndef QLM_BINDIR_TO_DATADIR
#define QLM_BINDIR_TO_DATADIR ""
#endif

namespace qlm::platform {

namespace {

bool Writable(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// The folder with symbolic links resolved, as the kernel names the running executable's folder.
std::string ResolvedFolder(const std::string& folder) {
    char resolved[PATH_MAX];
    if (folder.empty() || ::realpath(folder.c_str(), resolved) == nullptr)
        return folder.empty() ? folder : AddBackslash(folder);
    return AddBackslash(resolved);
}

} // namespace

std::string ChooseSettingsFile(const SettingsPlaceFacts& facts, const std::string& file_name,
                               const std::string& program_name) {
    const bool beside = !facts.runs_from_installed_folder && (facts.folder_writable || facts.file_writable);
    if (beside || facts.config_home.empty())
        return facts.executable_folder + file_name;
    return facts.config_home + program_name + "/" + file_name;
}

SettingsPlaceFacts CurrentSettingsPlaceFacts(const std::string& file_name) {
    SettingsPlaceFacts facts;
    facts.executable_folder = ExecutableFolder();
    const std::string installed = QLM_INSTALL_BINDIR;
    facts.runs_from_installed_folder = !installed.empty() && !facts.executable_folder.empty() &&
                                       ResolvedFolder(installed) == facts.executable_folder;
    facts.folder_writable = !facts.executable_folder.empty() && Writable(facts.executable_folder);
    facts.file_writable = !facts.executable_folder.empty() && Writable(facts.executable_folder + file_name);
    facts.config_home = ConfigHome();
    return facts;
}

namespace {

// $`variable` when it is an absolute path, else `fallback` under the user's home, with a trailing "/".
std::string XdgFolder(const char* variable, const char* fallback) {
    const char* xdg = std::getenv(variable);
    if (xdg != nullptr && xdg[0] == '/')
        return AddBackslash(xdg);
    std::string home;
    if (const char* env_home = std::getenv("HOME"); env_home != nullptr && env_home[0] == '/') {
        home = env_home;
    } else if (const passwd* user = ::getpwuid(::geteuid());
               user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] == '/') {
        home = user->pw_dir;
    }
    return home.empty() ? home : AddBackslash(home) + fallback;
}

} // namespace

std::string ConfigHome() {
    return XdgFolder("XDG_CONFIG_HOME", ".config/");
}

std::string DataHome() {
    return XdgFolder("XDG_DATA_HOME", ".local/share/");
}

int MakeFolderOf(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return 0;
    for (std::string::size_type end = path.find('/', 1); end != std::string::npos && end <= slash;
         end = path.find('/', end + 1)) {
        const std::string folder = path.substr(0, end);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    struct stat state {};
    if (::stat(path.substr(0, slash).c_str(), &state) != 0)
        return errno;
    return S_ISDIR(state.st_mode) ? 0 : ENOTDIR;
}

std::string InstalledDataFolder() {
    const std::string relative = QLM_BINDIR_TO_DATADIR;
    const std::string executable_folder = ExecutableFolder();
    if (relative.empty() || executable_folder.empty())
        return {};
    return AddBackslash(GetFullPathName(executable_folder + relative));
}

} // namespace qlm::platform

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the program keeps its settings file and finds the files installed with it. A program
// in a build tree or unpacked into the user's own folder keeps everything beside its
// executable; an installed one keeps its settings in the user's configuration folder.

#include <string>

namespace qlm::platform {

// What decides where the settings file lives. Folders end with "/".
struct SettingsPlaceFacts {
    std::string executable_folder;
    // The executable runs from the binary folder the program was installed to.
    bool runs_from_installed_folder = false;
    // The executable's folder can take new files.
    bool folder_writable = false;
    // A settings file that can be written stands beside the executable.
    bool file_writable = false;
    // The user's folder for configuration files ($XDG_CONFIG_HOME or ~/.config); empty when
    // the system does not tell.
    std::string config_home;
};

// The settings file `file_name`: beside the executable, or in `program_name` in the user's
// configuration folder when the executable is installed or its folder is closed to the user.
// Without a configuration folder it stays beside the executable.
std::string ChooseSettingsFile(const SettingsPlaceFacts& facts, const std::string& file_name,
                               const std::string& program_name);

// The facts of the running program for the settings file `file_name`.
SettingsPlaceFacts CurrentSettingsPlaceFacts(const std::string& file_name);

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config, with a trailing "/"; empty when
// neither is known.
std::string ConfigHome();

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share, with a trailing "/"; empty when
// neither is known.
std::string DataHome();

// Creates the folder of the file `path` and any missing parents, open to the user alone.
// Gives 0 or the errno value of the step that failed.
int MakeFolderOf(const std::string& path);

// The program's installed data folder (sample templates, help) as seen from the executable's own
// folder, ending with "/": it moves with the installed tree, so a copy installed under another
// root finds its own data.
std::string InstalledDataFolder();

} // namespace qlm::platform

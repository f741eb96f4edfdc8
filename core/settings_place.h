// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the window and quillmoor-make find "QLM.ini" and the sample templates installed with them.

#include <string>

namespace qlm {

// The name of the program's own folder among the user's configuration folders and in the
// installed data folder.
inline constexpr const char* kProgramFolderName = "quillmoor";

// "QLM.ini" beside the executable in a build tree or a copy in the user's own folder; in
// ~/.config/quillmoor/ (or under $XDG_CONFIG_HOME) for an installed program or one whose folder
// the user cannot write.
std::string SettingsFilePath();

// The sample templates installed with the program, ending with "/"; empty when the build does not
// know where they are installed.
std::string InstalledTemplatesFolder();

} // namespace qlm

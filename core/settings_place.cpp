// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings_place.h"

#include "core/settings.h"
#include "platform/program_places.h"

namespace qlm {

std::string SettingsFilePath() {
    return platform::ChooseSettingsFile(platform::CurrentSettingsPlaceFacts(kSettingsFileName),
                                        kSettingsFileName, kProgramFolderName);
}

std::string InstalledTemplatesFolder() {
    const std::string data = platform::InstalledDataFolder();
    return data.empty() ? data : data + "templates/";
}

} // namespace qlm

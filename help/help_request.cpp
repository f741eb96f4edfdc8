// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_request.h"

namespace qlm::help {

HelpAction HelpRequestAction(unsigned command) {
    switch (command) {
    case HELP_CONTEXT:
    case HELP_CONTEXTPOPUP: // shown like a context: the viewer has no pop-up window of its own
        return HelpAction::ShowContext;
    case HELP_SETPOPUP_POS:
        return HelpAction::Nothing;
    default:
        return HelpAction::PassOn;
    }
}

std::string HelpFilePath(std::string_view help_file) {
    std::string path;
    for (std::size_t at = 0; at < help_file.size();) {
        if (help_file.substr(at, 3) == "%20") {
            path += ' ';
            at += 3;
        } else {
            path += help_file[at++];
        }
    }
    const std::size_t first = path.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return path.substr(first, path.find_last_not_of(' ') - first + 1);
}

} // namespace qlm::help

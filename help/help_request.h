// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the help hook does with each help request of the application, and the path it hands to the
// viewer: pure rules, kept apart from the hook so that they can be checked without a window.

#include <cstdint>
#include <string>
#include <string_view>

namespace qlm::help {

// Help requests of the application (command numbers).
inline constexpr unsigned HELP_CONTEXT = 1;
inline constexpr unsigned HELP_CONTEXTPOPUP = 8;
inline constexpr unsigned HELP_SETPOPUP_POS = 13;

// Commands of the viewer's entry point.
inline constexpr unsigned HH_DISPLAY_TOPIC = 0;
inline constexpr unsigned HH_HELP_CONTEXT = 15;
inline constexpr unsigned HH_CLOSE_ALL = 18;

enum class HelpAction {
    ShowContext, // open the help file at the context number the request carries
    Nothing,     // handled, nothing is shown
    PassOn,      // not ours: the application's default help processing takes it
};

HelpAction HelpRequestAction(unsigned command);

// The path handed to the viewer: the help file name with every "%20" turned into a blank and the
// blanks at both ends removed.
std::string HelpFilePath(std::string_view help_file);

} // namespace qlm::help

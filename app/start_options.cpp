// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/start_options.h"

#include "platform/module_version.h"

namespace qlm::app {

namespace {

constexpr const char* kUsage =
    "Usage: quillmoor [--help] [--version]\n"
    "Opens the Quillmoor window: a folder list in which pictures are selected and made into\n"
    "web pages with \"Make HTML\". The list's pop-up menu (right mouse button) makes missing\n"
    "thumbnails, opens the user's own templates and shows the gallery in the browser; F1\n"
    "opens the manual.\n"
    "\n"
    "The templates come from the first of the working directory,\n"
    "~/.local/share/quillmoor/templates and the installed sample templates that holds any.\n"
    "Without a display, use quillmoor-make.\n"
    "\n"
    "  -h, --help     show this text\n"
    "  --version      show the version\n";

bool Set(const char* (*environment)(const char*), const char* name) {
    const char* value = environment(name);
    return value != nullptr && value[0] != '\0';
}

} // namespace

std::optional<EarlyExit> CheckStart(const std::vector<std::string>& args,
                                    const char* (*environment)(const char*)) {
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h")
            return EarlyExit{0, kUsage, {}};
        if (arg == "--version")
            return EarlyExit{0, "quillmoor " + platform::VersionString() + "\n", {}};
    }
    // Qt aborts when its platform finds no display; another platform (offscreen) is left to Qt.
    const char* platform = environment("QT_QPA_PLATFORM");
    const std::string chosen = platform == nullptr ? "" : platform;
    const bool x11 = Set(environment, "DISPLAY"), wayland = Set(environment, "WAYLAND_DISPLAY");
    const bool display = chosen.starts_with("xcb")       ? x11
                         : chosen.starts_with("wayland") ? wayland
                         : chosen.empty()                ? x11 || wayland
                                                         : true;
    if (!display)
        return EarlyExit{1,
                         {},
                         "quillmoor: no display (DISPLAY is not set); the window needs one, "
                         "quillmoor-make works without\n"};
    return std::nullopt;
}

} // namespace qlm::app

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/start_options.h"

#include "platform/module_version.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace qlm::app {

namespace {

constexpr const char* kUsage =
    "Usage: quillmoor [--help] [--version]\n"
    "Opens the Quillmoor window: a folder list in which pictures are selected and made into\n"
    "web pages with \"Make HTML\". The list's pop-up menu (right mouse button) makes missing\n"
    "thumbnails and web copies (smaller copies in qlm-web/ that pages offer to phones),\n"
    "opens the user's own templates, shows the gallery in the browser and publishes it into\n"
    "a folder of its own, ready to upload; F1 opens the manual.\n"
    "\n"
    "The templates come from the first of the working directory,\n"
    "~/.local/share/quillmoor/templates and the installed sample templates that holds any.\n"
    "Without a display, use quillmoor-make.\n"
    "\n"
    "  -h, --help     show this text\n"
    "  --version      show the version\n"
    "\n"
    "Exit status: 0 done, 1 no display or no templates, 64 usage error.\n";

constexpr const char* kTryHelp = "Try 'quillmoor --help' for more information.\n";

// "-debug" and "/debug" write the help viewer's trace (see help_trace.cpp).
bool IsTraceSwitch(const std::string& arg) {
    std::string lower = arg;
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower == "-debug" || lower == "/debug";
}

// Qt's own options, which QApplication takes from the command line; the first ones take a value.
constexpr std::array<std::string_view, 14> kQtOptionsWithValue{
    "-platform",    "-platformpluginpath", "-platformtheme", "-plugin",     "-qwindowgeometry",
    "-qwindowicon", "-qwindowtitle",       "-style",         "-stylesheet", "-session",
    "-display",     "-geometry",           "-name",          "-title"};
constexpr std::array<std::string_view, 4> kQtSwitches{"-reverse", "-widgetcount", "-nograb", "-dograb"};

bool Among(std::string_view arg, const auto& names) {
    return std::find(names.begin(), names.end(), arg) != names.end();
}

// The error text for the command line, empty when Qt and the window take every argument. Qt
// takes its options with one dash or two.
std::string UsageError(const std::vector<std::string>& args) {
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string_view qt = arg.starts_with("--") ? std::string_view(arg).substr(1) : arg;
        if (options_ended || !arg.starts_with("-")) {
            if (!options_ended && IsTraceSwitch(arg))
                continue;
            return "the window opens no file or folder given to it (" + arg +
                   "); choose the folder in its list, or use quillmoor-make";
        }
        if (arg == "--") {
            options_ended = true;
        } else if (Among(qt, kQtOptionsWithValue)) {
            if (++i >= args.size())
                return "option " + arg + " needs a value";
        } else if (!IsTraceSwitch(arg) && !Among(qt, kQtSwitches)) {
            return "unknown option " + arg;
        }
    }
    return {};
}

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
    if (const std::string error = UsageError(args); !error.empty())
        return EarlyExit{64, {}, "quillmoor: " + error + "\n" + kTryHelp};
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

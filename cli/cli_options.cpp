// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_options.h"

#include "core/web_copy_maker.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace qlm::cli {

namespace {

struct FlagSwitch {
    std::string_view on;
    std::string_view off;
    std::optional<bool> FlagOverrides::*field;
};

constexpr std::array<FlagSwitch, 6> kFlagSwitches{{
    {"--keywords", "--no-keywords", &FlagOverrides::keywords},
    {"--description", "--no-description", &FlagOverrides::description},
    {"--alt", "--no-alt", &FlagOverrides::alt},
    {"--warn", "--no-warn", &FlagOverrides::warn},
    {"--img-without-alt", "--img-with-alt", &FlagOverrides::img_wo_alt},
    {"--thumbs-jpg", "--no-thumbs-jpg", &FlagOverrides::thumbs_jpg},
}};

// Sets the flag that `arg` switches; false when `arg` is no flag switch.
bool ApplyFlagSwitch(std::string_view arg, FlagOverrides& flags) {
    for (const FlagSwitch& flag_switch : kFlagSwitches) {
        if (arg == flag_switch.on || arg == flag_switch.off) {
            flags.*flag_switch.field = (arg == flag_switch.on);
            return true;
        }
    }
    return false;
}

// The value of an option given as "--name VALUE" or "--name=VALUE"; false when it is missing.
bool OptionValue(const std::vector<std::string>& args, std::size_t& i, std::string_view name,
                 std::string& value) {
    const std::string& arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size())
            return false;
        value = args[++i];
    } else {
        value = arg.substr(name.size() + 1);
    }
    return !value.empty();
}

bool IsOption(const std::string& arg, std::string_view name) {
    return arg == name || (arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=');
}

// A thumbnail size: a whole number from 1 to kMaxThumbnailSize, digits only.
bool ParseThumbSize(const std::string& text, int& size) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    size = std::stoi(text);
    return size >= 1 && size <= kMaxThumbnailSize;
}

// Web copy sizes: whole numbers from 1 to kMaxWebSize separated by commas, each given once.
bool ParseWebSizes(const std::string& text, std::vector<int>& sizes) {
    sizes.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const int size = std::stoi(part);
        if (size < 1 || size > kMaxWebSize || std::find(sizes.begin(), sizes.end(), size) != sizes.end())
            return false;
        sizes.push_back(size);
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

} // namespace

OptionFlags FlagOverrides::ApplyTo(OptionFlags flags) const {
    flags.keywords = keywords.value_or(flags.keywords);
    flags.description = description.value_or(flags.description);
    flags.alt = alt.value_or(flags.alt);
    flags.warn = warn.value_or(flags.warn);
    flags.img_wo_alt = img_wo_alt.value_or(flags.img_wo_alt);
    flags.thumbs_jpg = thumbs_jpg.value_or(flags.thumbs_jpg);
    return flags;
}

namespace {

// What the reading of the arguments gathers besides the options themselves.
struct ArgumentScan {
    std::vector<std::string> operands;
    bool options_ended = false;
    bool thumb_size_given = false;
    bool web_sizes_given = false;
};

// Takes an option without a value; false when `arg` is none of them.
bool TakeSwitch(const std::string& arg, CliOptions& options) {
    if (arg == "--help" || arg == "-h") {
        options.show_help = true;
    } else if (arg == "--version") {
        options.show_version = true;
    } else if (arg == "--verbose" || arg == "-v") {
        options.verbose = true;
    } else if (arg == "--no-ask") {
        options.ask = false;
    } else if (arg == "--make-thumbnails") {
        options.make_thumbnails = true;
    } else if (arg == "--make-web-pictures") {
        options.make_web_pictures = true;
    } else if (arg == "--verify") {
        options.verify = true;
    } else {
        return ApplyFlagSwitch(arg, options.flags);
    }
    return true;
}

// Takes the option args[i] with its value (moving `i` past a separate value). Gives the error
// text, empty when the option was taken.
std::string TakeOption(const std::vector<std::string>& args, std::size_t& i, CliOptions& options,
                       ArgumentScan& scan) {
    const std::string& arg = args[i];
    std::string value;
    if (IsOption(arg, "--thumb-size")) {
        if (!OptionValue(args, i, "--thumb-size", value) || !ParseThumbSize(value, options.thumb_size))
            return "option --thumb-size needs a number of pixels from 1 to " +
                   std::to_string(kMaxThumbnailSize);
        scan.thumb_size_given = true;
    } else if (IsOption(arg, "--web-sizes")) {
        if (!OptionValue(args, i, "--web-sizes", value) || !ParseWebSizes(value, options.web_sizes))
            return "option --web-sizes needs sizes in pixels from 1 to " + std::to_string(kMaxWebSize) +
                   ", each once, separated by commas (such as 800,1600)";
        scan.web_sizes_given = true;
    } else if (IsOption(arg, "--publish")) {
        if (!OptionValue(args, i, "--publish", options.publish_dir))
            return "option --publish needs a folder";
    } else if (arg == "--templates" || arg.starts_with("--templates=")) {
        if (arg == "--templates") {
            options.templates_dir = (i + 1 < args.size()) ? args[++i] : std::string();
        } else {
            options.templates_dir = arg.substr(std::string_view("--templates=").size());
        }
        if (options.templates_dir.empty())
            return "option --templates needs a folder";
    } else if (!TakeSwitch(arg, options)) {
        return "unknown option " + arg;
    }
    return {};
}

// Checks what the options ask for together and takes the operands; the error text, empty when
// the command line holds together.
std::string Conclude(const ArgumentScan& scan, CliOptions& options) {
    if (options.show_help || options.show_version)
        return {};
    if (scan.thumb_size_given && !options.make_thumbnails)
        return "option --thumb-size works only with --make-thumbnails";
    if (scan.web_sizes_given && !options.make_web_pictures)
        return "option --web-sizes works only with --make-web-pictures";
    if (scan.operands.empty())
        return "no FOLDER given";
    if (scan.operands.front().empty())
        return "FOLDER is empty";
    options.folder = scan.operands.front();
    options.pictures.assign(scan.operands.begin() + 1, scan.operands.end());
    return {};
}

} // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult result;
    ArgumentScan scan;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (scan.options_ended || arg.size() < 2 || arg[0] != '-') {
            scan.operands.push_back(arg);
        } else if (arg == "--") {
            scan.options_ended = true;
        } else if (std::string error = TakeOption(args, i, result.options, scan); !error.empty()) {
            result.error = std::move(error);
            return result;
        }
    }
    result.error = Conclude(scan, result.options);
    return result;
}

std::string ShortUsageText(const std::string& program) {
    return "Usage: " + program + " [OPTION...] FOLDER [PICTURE...]\n" + "Try '" + program +
           " --help' for more information.\n";
}

std::string UsageText(const std::string& program) {
    return "Usage: " + program +
           " [OPTION...] FOLDER [PICTURE...]\n"
           "Writes a page for each picture of FOLDER and the overview page index.html,\n"
           "made from the templates MainHead.html, MainRep.html, MainTail.html and Pic.html.\n"
           "PICTURE names pictures of FOLDER (bare file names); without any, every picture\n"
           "is taken. Pictures are processed in the order of the folder list.\n"
           "\n"
           "Missing texts (title, keywords, description, picture texts) are asked for on\n"
           "standard error; one line of standard input is the answer, an empty line an\n"
           "empty text, end of input declines. Answers are stored in the folder.\n"
           "\n"
           "Options:\n"
           "  --templates DIR        read the templates from DIR (default: the first of the\n"
           "                         working directory, ~/.local/share/quillmoor/templates\n"
           "                         and the installed sample templates that holds any)\n"
           "  --no-ask               ask nothing and write no text file; missing texts are empty\n"
           "  --verify               decode every picture and thumbnail, and stop at one whose\n"
           "                         picture data is damaged (default: sizes are read from the\n"
           "                         headers, which catches damaged headers only)\n"
           "  --keywords, --no-keywords           ask for missing keywords\n"
           "  --description, --no-description     ask for a missing description\n"
           "  --alt, --no-alt                     ask for missing picture texts\n"
           "  --warn, --no-warn                   warn about missing thumbnails\n"
           "  --img-without-alt, --img-with-alt   thumbnail tags without / with alt text\n"
           "  --thumbs-jpg, --no-thumbs-jpg       every thumbnail is t_<name>.jpg\n"
           "  --make-thumbnails      first make the missing thumbnails of the pictures\n"
           "                         (upright; an existing thumbnail is never replaced)\n"
           "  --thumb-size PX        their longer side in pixels, 1 to " +
           std::to_string(kMaxThumbnailSize) +
           " (default 400)\n"
           "  --make-web-pictures    first make the missing web copies of the pictures in\n"
           "                         qlm-web/ (upright, without metadata; no copy larger\n"
           "                         than the picture, none of an animated GIF; an\n"
           "                         existing file is never replaced)\n"
           "  --web-sizes PX[,PX...] their longer sides in pixels (default 800,1600)\n"
           "  --publish DIR          after the run, publish the gallery into DIR: index.html,\n"
           "                         the pages and the files they link, pictures without\n"
           "                         their private metadata; only files an earlier\n"
           "                         publishing wrote are replaced or removed (DIR must not\n"
           "                         be FOLDER or inside it; it is made if its parent exists)\n"
           "  -v, --verbose          say which settings file and templates are used, and\n"
           "                         name the overview page written\n"
           "  -h, --help             show this text\n"
           "  --version              show the version\n"
           "The flags default to the settings of QLM.ini: beside the program, or in\n"
           "~/.config/quillmoor/ for an installed program.\n"
           "\n"
           "Exit status: 0 done, 1 a picture could not be opened or decoded, the folder\n"
           "could not be listed or holds no picture, or a file, thumbnail or web copy could\n"
           "not be written, made or published, 2 templates missing or unreadable, 64 usage\n"
           "error, 130 stopped by Ctrl+C or SIGTERM (the pages written stay, index.html is\n"
           "not written).\n";
}

} // namespace qlm::cli

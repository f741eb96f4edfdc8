// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line of quillmoor-make: which folder, which pictures, where the templates are, and
// the option flags that override the saved ones.

#include "core/gallery_names.h"
#include "core/options.h"
#include "core/thumbnail_maker.h"

#include <optional>
#include <string>
#include <vector>

namespace qlm::cli {

// The six option flags as given on the command line; an unset flag keeps its saved value.
struct FlagOverrides {
    std::optional<bool> keywords;
    std::optional<bool> description;
    std::optional<bool> alt;
    std::optional<bool> warn;
    std::optional<bool> img_wo_alt;
    std::optional<bool> thumbs_jpg;

    OptionFlags ApplyTo(OptionFlags flags) const;
};

struct CliOptions {
    std::string folder;                // as given, possibly relative
    std::vector<std::string> pictures; // bare file names; empty for every picture of the folder
    std::string templates_dir;         // empty: the working directory
    FlagOverrides flags;
    bool ask = true;
    bool make_thumbnails = false; // make the missing thumbnails before the run
    int thumb_size = kDefaultThumbnailSize;
    bool make_web_pictures = false; // make the missing web copies before the run
    std::vector<int> web_sizes = kDefaultWebSizes;
    std::string publish_dir; // publish the gallery into this folder after the run; empty: not
    bool verify = false;     // decode every picture instead of reading its size from the headers
    bool verbose = false;    // tell which settings file and template folder are used
    bool show_help = false;
    bool show_version = false;
};

struct ParseResult {
    CliOptions options;
    std::string error; // not empty: the command line is unusable, and why
};

// `args` without the program name.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The full usage text of --help, and the two lines shown after a usage error.
std::string UsageText(const std::string& program);
std::string ShortUsageText(const std::string& program);

} // namespace qlm::cli

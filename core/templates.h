// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The template set: the six HTML template files that the pages are made from.

#include <array>
#include <iterator>
#include <string>

namespace qlm {

inline constexpr const char* kTemplatesMissingMessage =
    "Kann die Definitionsdatei(en) nicht laden! Das Programm wird beendet.";
inline constexpr const char* kExtendedTemplatesMissingMessage =
    "Kann die erweiterten Definitionsdatei(en) nicht laden! Das Programm wird beendet.";

// The four templates every gallery needs, in the order they are read.
inline constexpr const char* kRequiredTemplateNames[] = {"MainHead.html", "MainRep.html", "MainTail.html",
                                                         "Pic.html"};

struct TemplateSet {
    std::string main_head; // "MainHead.html"
    std::string main_rep;  // "MainRep.html"
    std::string main_tail; // "MainTail.html"
    std::string pic;       // "Pic.html"
    std::string info_head; // "InfoHead.html"
    std::string info_tail; // "InfoTail.html"
};

enum class TemplateLoad { Ok, RequiredMissing, ExtendedMissing };

// Where each template is read from: each required one from its own folder, in the order of
// kRequiredTemplateNames, and the info pair from `folder`. A folder is "" for the working
// directory or a path ending in "/".
struct TemplateSources {
    std::string folder;
    std::array<std::string, std::size(kRequiredTemplateNames)> required;
};

// Reads the four required templates, in order, stopping at the first that fails, and then, when
// `with_extended`, the two info templates. `folder` is "" for the working directory or a folder
// path ending in "/". A file that fails leaves its template empty; templates after it keep theirs.
TemplateLoad LoadTemplates(TemplateSet& set, const std::string& folder, bool with_extended);

// LoadTemplates with each template read from its place in `sources`.
TemplateLoad LoadTemplates(TemplateSet& set, const TemplateSources& sources, bool with_extended);

// True when a template holds a web copy placeholder ("<myweb...>"): a run only then looks for web
// copies, so that other templates cost what they always did.
bool UsesWebCopies(const std::string& text);
bool UsesWebCopies(const TemplateSet& set);

} // namespace qlm

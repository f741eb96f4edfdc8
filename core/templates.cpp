// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/templates.h"

#include "core/text_file.h"

namespace qlm {

TemplateLoad LoadTemplates(TemplateSet& set, const std::string& folder, bool with_extended) {
    TemplateSources sources{folder, {}};
    sources.required.fill(folder);
    return LoadTemplates(set, sources, with_extended);
}

TemplateLoad LoadTemplates(TemplateSet& set, const TemplateSources& sources, bool with_extended) {
    // Each file is read straight into its place: a failed read leaves that template empty, and the
    // templates after it in the list are not read, so they keep their previous text.
    std::string* const required[] = {&set.main_head, &set.main_rep, &set.main_tail, &set.pic};
    static_assert(std::size(required) == std::size(kRequiredTemplateNames));
    for (std::size_t index = 0; index < std::size(required); ++index)
        if (!MyReadFile(sources.required[index] + kRequiredTemplateNames[index], *required[index]))
            return TemplateLoad::RequiredMissing;
    if (!with_extended)
        return TemplateLoad::Ok;
    const std::pair<const char*, std::string*> extended[] = {{"InfoHead.html", &set.info_head},
                                                             {"InfoTail.html", &set.info_tail}};
    for (const auto& [name, text] : extended)
        if (!MyReadFile(sources.folder + name, *text))
            return TemplateLoad::ExtendedMissing;
    return TemplateLoad::Ok;
}

bool UsesWebCopies(const std::string& text) {
    return text.find("<myweb") != std::string::npos;
}

bool UsesWebCopies(const TemplateSet& set) {
    // Only the picture page and the overview's entries carry a picture's placeholders.
    return UsesWebCopies(set.pic) || UsesWebCopies(set.main_rep);
}

} // namespace qlm

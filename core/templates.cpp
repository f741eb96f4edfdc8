// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/templates.h"

#include "core/text_file.h"

namespace qlm {

TemplateLoad LoadTemplates(TemplateSet& set, const std::string& folder, bool with_extended) {
    // Each file is read straight into its place: a failed read leaves that template empty, and the
    // templates after it in the list are not read, so they keep their previous text.
    const std::pair<const char*, std::string*> required[] = {{"MainHead.html", &set.main_head},
                                                             {"MainRep.html", &set.main_rep},
                                                             {"MainTail.html", &set.main_tail},
                                                             {"Pic.html", &set.pic}};
    for (const auto& [name, text] : required)
        if (!MyReadFile(folder + name, *text))
            return TemplateLoad::RequiredMissing;
    if (!with_extended)
        return TemplateLoad::Ok;
    const std::pair<const char*, std::string*> extended[] = {{"InfoHead.html", &set.info_head},
                                                             {"InfoTail.html", &set.info_tail}};
    for (const auto& [name, text] : extended)
        if (!MyReadFile(folder + name, *text))
            return TemplateLoad::ExtendedMissing;
    return TemplateLoad::Ok;
}

} // namespace qlm

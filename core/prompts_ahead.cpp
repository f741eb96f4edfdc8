// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/prompts_ahead.h"

#include "core/gallery_names.h"
#include "core/web_copy_folder.h"
#include "platform/name_listing.h"

namespace qlm {

namespace {

// The picture names that have at least one copy among `copies`. A copy "<base>_<N><ext>" can only
// belong to "<base><ext>", so each copy is looked at once, not once per picture.
std::set<std::string> PicturesWithCopies(const std::set<std::string>& copies) {
    std::set<std::string> pictures;
    for (const std::string& copy : copies) {
        std::string base, extension;
        SplitFileName(copy, base, extension);
        const std::size_t underscore = base.rfind('_');
        if (underscore == std::string::npos)
            continue;
        const std::string picture = base.substr(0, underscore) + extension;
        if (WebCopyLongSide(picture, copy))
            pictures.insert(picture);
    }
    return pictures;
}

int FolderTextsAsked(const std::set<std::string>& files, const OptionFlags& flags) {
    // The title is asked for whatever the flags say.
    const std::pair<const char*, bool> texts[] = {
        {"title.txt", true}, {"keywords.txt", flags.keywords}, {"description.txt", flags.description}};
    int asked = 0;
    for (const auto& [name, asks] : texts)
        if (asks && files.count(name) == 0)
            ++asked;
    return asked;
}

} // namespace

PromptsAhead CountPromptsAhead(const FolderNames& names, const std::vector<std::string>& pictures,
                               const OptionFlags& flags, const TemplateSet& templates) {
    PromptsAhead ahead;
    ahead.missing_texts = FolderTextsAsked(names.files, flags);
    std::set<std::string> texts_asked;
    const bool web = UsesWebCopies(templates);
    const std::set<std::string> with_copies =
        web ? PicturesWithCopies(names.web_copies) : std::set<std::string>();
    for (const std::string& picture : pictures) {
        const std::string text = TextFileName(picture);
        if (flags.alt && names.files.count(text) == 0 && texts_asked.insert(text).second)
            ++ahead.missing_texts;
        if (names.files.count(ThumbnailFileName(picture, flags.thumbs_jpg)) == 0)
            ++ahead.missing_thumbnails;
        if (web && with_copies.count(picture) == 0)
            ++ahead.missing_web_copies;
    }
    ahead.boxes = ahead.missing_texts + (flags.warn ? ahead.missing_thumbnails : 0);
    return ahead;
}

FolderNames ListFolderNames(const std::string& folder, bool with_web_copies) {
    FolderNames names;
    (void)platform::ListNames(folder, [&](std::string_view name, bool) { names.files.emplace(name); });
    if (with_web_copies) {
        // Copies in a link or a file of that name are never offered, so they count as missing.
        const WebCopyFolder copies(folder);
        if (const std::string path = copies.Path(); !path.empty())
            (void)platform::ListNames(path,
                                      [&](std::string_view name, bool) { names.web_copies.emplace(name); });
    }
    return names;
}

} // namespace qlm

#include "core/name_correction.h"

#include "core/thumbnail_maker.h"
#include "core/web_copy_maker.h"
#include "core/web_copy_names.h"

#include "platform/file_ops.h"
#include "platform/globals.h"
#include "platform/text.h"

#include <cstring>

#include <cstdint>
#include <string_view>

namespace qlm {

void SplitFileName(const std::string& name, std::string& base, std::string& extension) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos) {
        base = name;
        extension.clear();
    } else {
        base = name.substr(0, dot);
        extension = name.substr(dot);
    }
}

namespace {

struct Correction {
    std::uint32_t character; // a Latin-1 code point; Windows-1252 agrees for every one listed
    const char* replacement;
};

// The correction steps in their order. Every step searches one character and no replacement
// holds a searched one, so together they map single characters and one pass over a name suffices.
constexpr Correction kCorrections[] = {
    {U' ', ""},   {U'.', ""},   {U':', ""},   {U'?', ""},   {U'#', ""},   {U'*', ""},   {U'+', ""},
    {U'"', ""},   {U'ä', "ae"}, {U'ö', "oe"}, {U'ü', "ue"}, {U'ß', "ss"}, {U'Ä', "Ae"}, {U'Ö', "Oe"},
    {U'Ü', "Ue"}, {U'á', "a"},  {U'à', "a"},  {U'â', "a"},  {U'é', "e"},  {U'è', "e"},  {U'ê', "e"},
    {U'í', "i"},  {U'ì', "i"},  {U'î', "i"},  {U'ó', "o"},  {U'ò', "o"},  {U'ô', "o"},  {U'ú', "u"},
    {U'ù', "u"},  {U'û', "u"},  {U'Á', "A"},  {U'À', "A"},  {U'Â', "A"},  {U'É', "E"},  {U'È', "E"},
    {U'Ê', "E"},  {U'Í', "I"},  {U'Ì', "I"},  {U'Î', "I"},  {U'Ó', "O"},  {U'Ò', "O"},  {U'Ô', "O"},
    {U'Ú', "U"},  {U'Ù', "U"},  {U'Û', "U"},
};

// nullptr when the character stays as it is, "" when it is removed.
const char* CorrectionOf(std::uint32_t c) {
    for (const Correction& correction : kCorrections)
        if (correction.character == c)
            return correction.replacement;
    return nullptr;
}

} // namespace

std::string MyCorrectName(const std::string& base_name) {
    std::string corrected;
    corrected.reserve(base_name.size() + 8);
    if (platform::IsUtf8(base_name)) {
        std::uint32_t code_point;
        for (std::size_t at = 0; at < base_name.size();) {
            std::size_t length = platform::DecodeUtf8(base_name, at, code_point);
            if (const char* replacement = CorrectionOf(code_point))
                corrected += replacement;
            else
                corrected.append(base_name, at, length);
            at += length;
        }
    } else {
        for (char c : base_name) {
            if (const char* replacement = CorrectionOf(static_cast<unsigned char>(c)))
                corrected += replacement;
            else
                corrected += c;
        }
    }
    return corrected;
}

namespace {

// The name under which `name` exists in `folder`: itself, or else a name that differs from it only
// in letter case (on a file system that tells case apart); empty when there is none.
std::string ExistingName(const std::string& folder, const std::string& name) {
    if (platform::NameExists(folder + name))
        return name;
    platform::tGetDirList search;
    if (search.GetDirList(folder + "*") != 0)
        return {};
    std::string found;
    for (int i = 0; i < search.Count(); ++i) {
        const platform::tDirEntry& entry = search.GetEntry(i);
        const std::string entry_name(entry.Name, strnlen(entry.Name, sizeof entry.Name));
        if (platform::EqualIgnoringAsciiCase(entry_name, name) && (found.empty() || entry_name < found))
            found = entry_name;
    }
    return found;
}

void RenameCompanion(const std::string& folder, const std::string& old_name, const std::string& new_name) {
    const std::string existing = ExistingName(folder, old_name);
    if (existing.empty() || existing == new_name)
        return;
    (void)platform::RenameNoReplace(folder + existing, folder + new_name);
}

} // namespace

void MyRenamePic(const std::string& folder, const std::string& base_name, const std::string& new_base_name,
                 const std::string& extension, bool thumbs_jpg) {
    // Each rename is tried whatever became of the one before; a missing companion or a taken new
    // name leaves that one file as it is.
    (void)platform::RenameNoReplace(folder + base_name + extension, folder + new_base_name + extension);
    // The thumbnail's name as the gallery run forms it, so that the next run finds it again.
    RenameCompanion(folder, ThumbnailFileName(base_name + extension, thumbs_jpg),
                    ThumbnailFileName(new_base_name + extension, thumbs_jpg));
    RenameCompanion(folder, base_name + ".txt", new_base_name + ".txt");
    RenameCompanion(folder, base_name + ".html", new_base_name + ".html");
    // The web copies, each keeping its size, in their own folder.
    const std::string picture = base_name + extension;
    for (const std::string& copy : ExistingWebCopies(folder, picture))
        RenameCompanion(
            folder + std::string(kWebCopyFolder) + "/", copy,
            WebCopyFileName(new_base_name + extension, WebCopyLongSide(picture, copy).value_or(0)));
}

int CorrectNames(const std::string& folder, const std::vector<std::string>& names, bool thumbs_jpg) {
    int renamed = 0;
    for (const std::string& name : names) {
        std::string base, extension;
        SplitFileName(name, base, extension);
        const std::string new_base = MyCorrectName(base);
        // A name that needs no correction is left alone, companions and all.
        if (new_base == base)
            continue;
        MyRenamePic(folder, base, new_base, extension, thumbs_jpg);
        ++renamed;
    }
    return renamed;
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/name_correction.h"

#include "core/folder_listing.h"
#include "core/gallery_names.h"
#include "core/web_copy_folder.h"
#include "core/web_copy_maker.h"

#include "platform/file_ops.h"
#include "platform/globals.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace qlm {

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

// The companions of one picture while it is renamed. A companion is looked up under its exact name
// first; a file that differs from it only in letter case is taken only when it is no other
// picture's: not a companion of another picture of the folder by its exact name, and not a file
// that another picture of the same command would find by letter case just as well. Otherwise a
// text, thumbnail or page would change hands.
class CompanionLookup {
  public:
    CompanionLookup(const std::string& folder, const std::string& picture, const std::string& new_picture,
                    const std::vector<std::string>& command, bool thumbs_jpg)
        : folder_(folder), picture_(picture), new_picture_(new_picture), command_(command),
          thumbs_jpg_(thumbs_jpg) {}

    // The name under which `name` exists in the folder; empty when there is none it may take.
    std::string Find(const std::string& name) {
        if (platform::NameExists(folder_ + name))
            return name;
        platform::tGetDirList search;
        if (search.GetDirList(folder_ + "*") != 0)
            return {};
        std::string found;
        for (int i = 0; i < search.Count(); ++i) {
            const platform::tDirEntry& entry = search.GetEntry(i);
            const std::string entry_name(entry.Name, strnlen(entry.Name, sizeof entry.Name));
            if (platform::EqualIgnoringAsciiCase(entry_name, name) && (found.empty() || entry_name < found) &&
                !BelongsToAnother(entry_name))
                found = entry_name;
        }
        return found;
    }

  private:
    bool BelongsToAnother(const std::string& file) {
        if (!others_listed_) {
            // Listed once, before the first case-blind match is judged: the pictures as they
            // stand, without the one being renamed under either of its names.
            std::vector<std::string> pictures;
            (void)ListPictures(folder_, pictures);
            for (const std::string& other : pictures)
                if (other != picture_ && other != new_picture_)
                    for (std::string& companion : CompanionNames(other, thumbs_jpg_))
                        owned_.push_back(std::move(companion));
            others_listed_ = true;
        }
        if (std::find(owned_.begin(), owned_.end(), file) != owned_.end())
            return true;
        for (const std::string& other : command_) {
            if (other == picture_)
                continue;
            for (const std::string& companion : CompanionNames(other, thumbs_jpg_))
                if (platform::EqualIgnoringAsciiCase(companion, file))
                    return true;
        }
        return false;
    }

    const std::string& folder_;
    const std::string& picture_;
    const std::string& new_picture_;
    const std::vector<std::string>& command_;
    bool thumbs_jpg_;
    bool others_listed_ = false;
    std::vector<std::string> owned_;
};

} // namespace

void MyRenamePic(const std::string& folder, const std::string& base_name, const std::string& new_base_name,
                 const std::string& extension, bool thumbs_jpg, const std::vector<std::string>& command) {
    const std::string picture = base_name + extension;
    const std::string new_picture = new_base_name + extension;
    // A companion moves only together with its picture: a picture that keeps its name keeps all
    // of them, or its text, thumbnail and page would become another picture's.
    if (platform::RenameNoReplace(folder + picture, folder + new_picture) != 0)
        return;
    CompanionLookup lookup(folder, picture, new_picture, command, thumbs_jpg);
    // The companions are renamed in the order CompanionNames gives them.
    const std::vector<std::string> old_names = CompanionNames(picture, thumbs_jpg);
    const std::vector<std::string> new_names = CompanionNames(new_picture, thumbs_jpg);
    for (std::size_t i = 0; i < old_names.size(); ++i) {
        // Each is tried whatever became of the one before; a missing companion or a taken new name
        // leaves that one file as it is.
        const std::string existing = lookup.Find(old_names[i]);
        if (!existing.empty() && existing != new_names[i])
            (void)platform::RenameNoReplace(folder + existing, folder + new_names[i]);
    }
    // The web copies, each keeping its size, in their own folder; a link in its place is not
    // followed, so nothing outside the picture folder is renamed.
    const WebCopyFolder web(folder);
    const std::string web_folder = web.Path();
    for (const std::string& copy : ExistingWebCopies(web_folder, picture))
        (void)platform::RenameNoReplace(
            web_folder + copy,
            web_folder + WebCopyFileName(new_picture, WebCopyLongSide(picture, copy).value_or(0)));
}

int CorrectNames(const std::string& folder, const std::vector<std::string>& names, bool thumbs_jpg,
                 const NameCorrectionProgress& progress) {
    int renamed = 0;
    for (const std::string& name : names) {
        if (progress.stop && progress.stop())
            break;
        std::string base, extension;
        SplitFileName(name, base, extension);
        const std::string new_base = MyCorrectName(base);
        // A name that needs no correction is left alone, companions and all.
        if (new_base != base) {
            MyRenamePic(folder, base, new_base, extension, thumbs_jpg, names);
            ++renamed;
        }
        if (progress.done)
            progress.done(name);
    }
    return renamed;
}

} // namespace qlm

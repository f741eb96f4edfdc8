// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Correct Names": web-safe names for pictures, renamed together with their companions (thumbnail,
// text file, page) and web copies.

#include <functional>
#include <string>
#include <vector>

namespace qlm {

// Removes blanks and . : ? # * + " and spells umlauts, sharp s and accented vowels with plain
// letters. A name that is valid UTF-8 is corrected per character and stays UTF-8; any other name
// is read as Windows-1252 bytes.
std::string MyCorrectName(const std::string& base_name);

// Renames picture, thumbnail, text file and page of one picture in `folder` (ending in "/"), never
// replacing an existing file. The companions move only when the picture has moved, each whatever
// became of the others. The thumbnail is the one the next gallery run looks for: "t_" + base +
// ".jpg" when `thumbs_jpg`, else "t_" + base + extension; it keeps that form under the new base
// name. Each companion is looked up under its exact old name first and, when that does not exist,
// under a name that differs from it only in the case of ASCII letters (the first such in byte
// order) that is no other picture's: neither a companion of another picture of the folder by its
// exact name nor one that another picture of `command` (the bare names the same command renames)
// would find by letter case. The new name is always the exact one.
void MyRenamePic(const std::string& folder, const std::string& base_name, const std::string& new_base_name,
                 const std::string& extension, bool thumbs_jpg, const std::vector<std::string>& command = {});

// What the caller of CorrectNames learns as it goes, and how it stops it.
struct NameCorrectionProgress {
    // Asked before each picture: true stops the run there. A picture and its companions are
    // renamed together, never stopped between.
    std::function<bool()> stop;
    // Called after each picture (bare name as listed), renamed or not.
    std::function<void(const std::string&)> done;
};

// "Correct Names" over the pictures `names` (bare names, in list order) of `folder`: each whose
// corrected base name differs is renamed with its companions. Gives the number of pictures
// whose correction asked for a rename.
int CorrectNames(const std::string& folder, const std::vector<std::string>& names, bool thumbs_jpg,
                 const NameCorrectionProgress& progress = {});

} // namespace qlm

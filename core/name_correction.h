#pragma once
// Web-safe names for pictures and their companions (thumbnail, text file, page).

#include <string>

namespace qlm {

// Splits a bare file name at its last "." (the dot goes to the extension; no dot: empty extension).
void SplitFileName(const std::string& name, std::string& base, std::string& extension);

// Removes blanks and . : ? # * + " and spells umlauts, sharp s and accented vowels with plain
// letters. A name that is valid UTF-8 is corrected per character and stays UTF-8; any other name
// is read as Windows-1252 bytes.
std::string MyCorrectName(const std::string& base_name);

// Renames picture, thumbnail ("t_" + base + T, T ".JPG" when thumbs_jpg else the extension),
// text file and page of one picture in `folder` (ending in "/"), never replacing an existing file.
void MyRenamePic(const std::string& folder, const std::string& base_name, const std::string& new_base_name,
                 const std::string& extension, bool thumbs_jpg);

} // namespace qlm

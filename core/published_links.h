// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which files of the picture folder a page or a style sheet uses: the links a browser would load
// or follow, read from the text as a browser reads it (attribute names in any case, values with
// either quote or none, character references, srcset candidates, url(...) in style attributes,
// <style> blocks and style sheets), and the file each one names inside the folder. Publishing
// copies exactly these files, so a link it misses is a broken published gallery, and a link it
// follows out of the folder would publish what the user never meant to.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qlm {

// The links of a page as written, with character references (&amp;, &#38;, &#x26;) decoded:
// the values of src and href, each candidate of srcset, and the url(...) of style attributes and
// <style> blocks. Comments and scripts are passed over.
std::vector<std::string> LinksOfPage(std::string_view html);

// The url(...) references and @import names of a style sheet.
std::vector<std::string> LinksOfStyleSheet(std::string_view css);

// The file a link of a file in the folder `base` (relative to the picture folder: "" or ending in
// "/") names, relative to the picture folder, with "?query" and "#fragment" cut and percent-escapes
// decoded. Nothing for links that leave the folder (another host, a scheme such as "data:" or
// "mailto:", an absolute path, ".." above the folder) or that name no file (empty, a folder).
std::optional<std::string> FolderFileOfLink(std::string_view link, std::string_view base);

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts inside a help file as the viewer reads them: the code page of the file's language, the
// entries of its contents file and the target of a link on one of its pages. Plain text work on
// bytes already read out of the file: no chmlib and no Qt here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qlm::help {

// The Windows code page of the texts of a help file in the language `lcid`: 1252 for German and
// the other western languages.
int CodePageOfLanguage(std::uint32_t lcid);

// One entry of a contents file: its caption and its topic as the file writes them (undecoded bytes,
// entities resolved), and its depth in the tree, 0 for the top level.
struct ContentsEntry {
    std::string name;
    std::string local;
    int depth = 0;
};
std::vector<ContentsEntry> ParseContents(std::string_view hhc);

// The path inside the help file that a link on the page `from` ("/dir/page.html") leads to, without
// its "#fragment": relative links are taken from the page's folder, "." and ".." are resolved, and
// "ms-its:"/"mk:@MSITStore:" links into a help file give their part after "::". Nothing for a link
// that leaves the help file ("http:", "mailto:", ...).
std::optional<std::string> ResolveLink(std::string_view from, std::string_view link);

} // namespace qlm::help

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a file name or a text becomes where the run puts it into a page, so that no name or text can
// break the page's markup or its links. Plain names (letters, digits, "-", "_", ".", blanks and
// umlauts) and plain texts come out unchanged.

#include "core/templates.h"

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace qlm {

// A name as text of the page or of an attribute: "&", '"', "<" and ">" as character references.
std::string NameForPage(std::string_view name);

// A name that templates use as a link target (`src`, `href`): the characters that end or change a
// URL ("#", "?", "%" and control characters) percent-encoded, then as NameForPage.
std::string LinkForPage(std::string_view name);

// The page text: each line break (CR LF, or LF alone) as "<BR>"; everything else, markup
// included, as written. A lone CR stays.
std::string PageTextOf(std::string_view text);

// The alt text: one line (each line break one blank), without the simple emphasis tags "<i>",
// "<b>" and their closing and capital forms, and with '"' as "&quot;" so that it cannot end the
// attribute it stands in.
std::string AltTextOf(std::string_view text);

// A page's description on one line, for `<mypagedescription>`: the first of `texts` that is neither
// empty nor the no-text answer, as AltTextOf gives it; empty when all are. A page that has no text
// of its own is described by the next best, so that it never tells search engines it has none.
std::string FirstTextOnOneLine(std::initializer_list<std::string_view> texts);

// True when "MainHead.html" or "Pic.html" declares the charset UTF-8: "charset=utf-8" in any case,
// the value also in quotes as HTML 5 writes it.
bool TemplatesDeclareUtf8(const TemplateSet& templates);

// A text file's content for the pages: for templates that declare UTF-8, a text that is not valid
// UTF-8 (written on Windows) is read as Windows-1252 and converted; otherwise the bytes as they are.
std::string TextForPages(std::string_view text, bool utf8_templates);

// Selected pictures whose pages would overwrite another page of the same run: a picture whose page
// is "index.html", and pictures that share a page ("a.jpg" and "a.png"). Empty when there is none;
// otherwise the warning that names them. With `shared_pages`, also those pages, sorted.
std::string PageClashWarning(const std::vector<std::string>& pictures,
                             std::vector<std::string>* shared_pages = nullptr);

// For each of the `shared_pages` (as PageClashWarning gives them), the index of the last picture
// whose page it is; pictures.size() for "index.html", which the overview writes after them all.
std::vector<std::size_t> LastWrites(const std::vector<std::string>& pictures,
                                    const std::vector<std::string>& shared_pages);
// True when the page of pictures[index] is written again later in the run, so that only its last
// content need be written.
bool WrittenAgainAfter(std::size_t index, const std::vector<std::string>& pictures,
                       const std::vector<std::string>& shared_pages,
                       const std::vector<std::size_t>& last_writes);

} // namespace qlm

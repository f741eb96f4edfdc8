// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/page_text.h"

#include "core/gallery_names.h"
#include "core/text_file.h"
#include "platform/text.h"

#include <algorithm>
#include <utility>

namespace qlm {

std::string NameForPage(std::string_view name) {
    // Most names hold nothing to escape.
    if (std::none_of(name.begin(), name.end(),
                     [](char c) { return c == '&' || c == '"' || c == '<' || c == '>'; }))
        return std::string(name);
    std::string escaped;
    escaped.reserve(name.size());
    for (char c : name) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string LinkForPage(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (std::none_of(name.begin(), name.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return c == '#' || c == '?' || c == '%' || byte < 0x20 || byte == 0x7F;
        }))
        return NameForPage(name);
    std::string encoded;
    encoded.reserve(name.size());
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '#' || c == '?' || c == '%' || byte < 0x20 || byte == 0x7F) {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        } else {
            encoded += c;
        }
    }
    return NameForPage(encoded);
}

std::string PageTextOf(std::string_view text) {
    if (text.find('\n') == std::string_view::npos)
        return std::string(text);
    return MyReplace(MyReplace(text, "\r\n", "<BR>"), "\n", "<BR>");
}

std::string AltTextOf(std::string_view text) {
    // Each of the replacements below starts with one of these characters.
    if (text.find_first_of("\n<\"") == std::string_view::npos)
        return std::string(text);
    std::string alt = MyReplace(MyReplace(text, "\r\n", " "), "\n", " ");
    for (std::string_view tag : {"<i>", "<I>", "<b>", "<B>", "</i>", "</I>", "</b>", "</B>"})
        alt = MyReplace(alt, tag, "");
    return MyReplace(alt, "\"", "&quot;");
}

std::string FirstTextOnOneLine(std::initializer_list<std::string_view> texts) {
    for (const std::string_view text : texts)
        if (!text.empty() && text != kNoText)
            return AltTextOf(text);
    return {};
}

namespace {

// "charset=utf-8" as HTML 4 writes it in a content type, or charset="utf-8" as HTML 5 does.
bool DeclaresUtf8(std::string_view text) {
    constexpr std::string_view kCharset = "charset=";
    for (std::size_t at = 0; at + kCharset.size() <= text.size(); ++at) {
        if (!platform::HasAtIgnoringAsciiCase(text, at, kCharset))
            continue;
        std::size_t value = at + kCharset.size();
        if (value < text.size() && (text[value] == '"' || text[value] == '\''))
            ++value;
        if (platform::HasAtIgnoringAsciiCase(text, value, "utf-8"))
            return true;
    }
    return false;
}

} // namespace

bool TemplatesDeclareUtf8(const TemplateSet& templates) {
    return DeclaresUtf8(templates.main_head) || DeclaresUtf8(templates.pic);
}

std::string TextForPages(std::string_view text, bool utf8_templates) {
    if (utf8_templates && !platform::IsUtf8(text))
        return platform::Windows1252ToUtf8(text);
    return std::string(text);
}

// The pages are grouped by sorting their indexes rather than in a map of every page: a run over
// 100,000 pictures keeps little more than their page names for this check.
std::string PageClashWarning(const std::vector<std::string>& pictures,
                             std::vector<std::string>* shared_pages) {
    std::vector<std::string> pages;
    pages.reserve(pictures.size());
    for (const std::string& picture : pictures)
        pages.push_back(PageFileName(picture));
    std::vector<std::size_t> order(pictures.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    // Equal pages end up together, each group in the order of its pictures.
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return pages[a] < pages[b]; });
    // The groups to name, as [begin, end) in `order`, by the place of their first picture.
    std::vector<std::pair<std::size_t, std::size_t>> named;
    for (std::size_t begin = 0, end = 0; begin < order.size(); begin = end) {
        end = begin + 1;
        while (end < order.size() && pages[order[end]] == pages[order[begin]])
            ++end;
        if (end - begin >= 2 || pages[order[begin]] == "index.html")
            named.emplace_back(begin, end);
    }
    if (shared_pages != nullptr) {
        shared_pages->clear();
        for (const auto& group : named)
            shared_pages->push_back(pages[order[group.first]]);
    }
    std::sort(named.begin(), named.end(),
              [&](const auto& a, const auto& b) { return order[a.first] < order[b.first]; });
    std::string lines;
    for (const auto& [begin, end] : named) {
        const std::string& page = pages[order[begin]];
        lines += "\n" + page + ":";
        for (std::size_t i = begin; i < end; ++i)
            lines += " " + pictures[order[i]];
        if (page == "index.html")
            lines += " (die Übersicht überschreibt diese Seite)";
    }
    if (lines.empty())
        return {};
    return "Diese Seiten würden mehrfach geschrieben; bitte benennen Sie die Bilder um:" + lines;
}

namespace {

// Where `page` stands among the sorted `shared_pages`, or their size.
std::size_t SharedIndex(const std::string& page, const std::vector<std::string>& shared_pages) {
    const auto at = std::lower_bound(shared_pages.begin(), shared_pages.end(), page);
    return at != shared_pages.end() && *at == page ? static_cast<std::size_t>(at - shared_pages.begin())
                                                   : shared_pages.size();
}

} // namespace

std::vector<std::size_t> LastWrites(const std::vector<std::string>& pictures,
                                    const std::vector<std::string>& shared_pages) {
    std::vector<std::size_t> last(shared_pages.size(), pictures.size());
    if (shared_pages.empty())
        return last;
    for (std::size_t index = 0; index < pictures.size(); ++index) {
        const std::string page = PageFileName(pictures[index]);
        if (const std::size_t at = SharedIndex(page, shared_pages); at < last.size() && page != "index.html")
            last[at] = index;
    }
    return last;
}

bool WrittenAgainAfter(std::size_t index, const std::vector<std::string>& pictures,
                       const std::vector<std::string>& shared_pages,
                       const std::vector<std::size_t>& last_writes) {
    if (shared_pages.empty())
        return false;
    const std::size_t at = SharedIndex(PageFileName(pictures[index]), shared_pages);
    return at < last_writes.size() && last_writes[at] != index;
}

} // namespace qlm

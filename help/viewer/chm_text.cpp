// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/viewer/chm_text.h"

#include <algorithm>
#include <cctype>

namespace qlm::help {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace

int CodePageOfLanguage(std::uint32_t lcid) {
    switch (lcid & 0x3ff) { // the primary language
    case 0x05:
    case 0x0e:
    case 0x15:
    case 0x18:
    case 0x1a:
    case 0x1b:
    case 0x1c:
    case 0x24:
        return 1250;
    case 0x02:
    case 0x19:
    case 0x22:
    case 0x23:
    case 0x2f:
        return 1251;
    case 0x08:
        return 1253;
    case 0x1f:
        return 1254;
    case 0x0d:
        return 1255;
    case 0x01:
    case 0x20:
    case 0x29:
        return 1256;
    case 0x25:
    case 0x26:
    case 0x27:
        return 1257;
    case 0x2a:
        return 1258;
    case 0x1e:
        return 874;
    case 0x11:
        return 932;
    case 0x12:
        return 949;
    case 0x04:
        return (lcid == 0x0404 || lcid == 0x0c04 || lcid == 0x1404) ? 950 : 936;
    default:
        return 1252;
    }
}

namespace {

std::string Unescape(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto entity = std::find_if(std::begin(kEntities), std::end(kEntities), [&](const auto& e) {
            return text.substr(i, e.first.size()) == e.first;
        });
        if (text[i] == '&' && entity != std::end(kEntities)) {
            out += entity->second;
            i += entity->first.size() - 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The value of the attribute `name` in the tag text (quoted or bare), or nothing.
std::optional<std::string> Attribute(std::string_view tag, std::string_view name) {
    const std::string lower = Lower(tag);
    std::size_t at = 0;
    while ((at = lower.find(name, at)) != std::string::npos) {
        const bool starts_word = at > 0 && std::isspace(static_cast<unsigned char>(lower[at - 1]));
        std::size_t p = at + name.size();
        while (p < tag.size() && tag[p] == ' ')
            ++p;
        if (!starts_word || p >= tag.size() || tag[p] != '=') {
            at += name.size();
            continue;
        }
        ++p;
        while (p < tag.size() && tag[p] == ' ')
            ++p;
        if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
            const std::size_t close = tag.find(tag[p], p + 1);
            return Unescape(
                tag.substr(p + 1, close == std::string_view::npos ? std::string_view::npos : close - p - 1));
        }
        const std::size_t stop = tag.find_first_of(" >", p);
        return Unescape(tag.substr(p, stop == std::string_view::npos ? std::string_view::npos : stop - p));
    }
    return std::nullopt;
}

} // namespace

std::vector<ContentsEntry> ParseContents(std::string_view hhc) {
    std::vector<ContentsEntry> entries;
    int depth = -1;
    bool in_object = false;
    ContentsEntry entry;
    std::size_t at = 0;
    while ((at = hhc.find('<', at)) != std::string_view::npos) {
        const std::size_t close = hhc.find('>', at);
        if (close == std::string_view::npos) {
            break;
        }
        const std::string_view tag = hhc.substr(at, close - at + 1);
        at = close + 1;
        if (StartsWithNoCase(tag, "<ul")) {
            ++depth;
        } else if (StartsWithNoCase(tag, "</ul")) {
            depth = std::max(-1, depth - 1);
        } else if (StartsWithNoCase(tag, "<object")) {
            in_object = Lower(Attribute(tag, "type").value_or("")) == "text/sitemap";
            entry = ContentsEntry{{}, {}, std::max(0, depth)};
        } else if (in_object && StartsWithNoCase(tag, "<param")) {
            const std::string name = Lower(Attribute(tag, "name").value_or(""));
            if (name == "name" && entry.name.empty()) {
                entry.name = Attribute(tag, "value").value_or("");
            } else if (name == "local" && entry.local.empty()) {
                entry.local = Attribute(tag, "value").value_or("");
            }
        } else if (in_object && StartsWithNoCase(tag, "</object")) {
            in_object = false;
            // The object in the head of a contents file holds the file's settings, not an entry.
            if (!entry.name.empty() || !entry.local.empty()) {
                entries.push_back(entry);
            }
        }
    }
    return entries;
}

std::optional<std::string> ResolveLink(std::string_view from, std::string_view link) {
    link = link.substr(0, link.find('#'));
    if (link.empty()) {
        return std::string(from);
    }
    for (std::string_view scheme : {"ms-its:", "mk:@msitstore:", "its:"}) {
        if (StartsWithNoCase(link, scheme)) {
            const std::size_t inner = link.find("::");
            if (inner == std::string_view::npos) {
                return std::nullopt;
            }
            link = link.substr(inner + 2);
            from = "/";
            break;
        }
    }
    const std::size_t colon = link.find(':');
    if (colon != std::string_view::npos && link.find('/') > colon) {
        return std::nullopt; // another scheme: the web, mail, a file outside
    }
    std::string joined;
    if (!link.empty() && link.front() == '/') {
        joined = std::string(link);
    } else {
        joined = std::string(from.substr(0, from.rfind('/') + 1)) + std::string(link);
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= joined.size()) {
        const std::size_t slash = std::min(joined.find('/', start), joined.size());
        const std::string part = joined.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string path;
    for (const auto& part : parts)
        path += "/" + part;
    if (path.empty()) {
        return std::nullopt;
    }
    return path;
}

} // namespace qlm::help

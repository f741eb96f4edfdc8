// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/published_links.h"

#include "platform/text.h"

#include <array>
#include <cstdint>
#include <utility>

namespace qlm {

namespace {

constexpr auto npos = std::string_view::npos;

bool IsHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// Appends a code point read from the digits of a reference or escape, where it is a character.
void AppendCodePoint(std::string& out, std::uint32_t code_point) {
    if (code_point == 0 || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF))
        code_point = 0xFFFD;
    platform::AppendUtf8(out, code_point);
}

// The character reference at `at` ("&amp;", "&#38;", "&#x26;") appended to `out`; the length it
// takes, or 0 when there is none that the links of a page would hold.
std::size_t AppendReference(std::string_view text, std::size_t at, std::string& out) {
    const std::size_t semicolon = text.find(';', at);
    if (semicolon == npos || semicolon - at > 10)
        return 0;
    const std::string_view name = text.substr(at + 1, semicolon - at - 1);
    static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed{
        {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};
    for (const auto& [named, character] : kNamed) {
        if (platform::EqualIgnoringAsciiCase(name, named)) {
            out += character;
            return name.size() + 2;
        }
    }
    if (name.size() < 2 || name[0] != '#')
        return 0;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    std::uint32_t code_point = 0;
    for (const char c : digits) {
        const int digit = hex ? platform::HexDigitValue(c) : (IsAsciiDigit(c) ? c - '0' : -1);
        if (digit < 0 || code_point > 0x10FFFF)
            return 0;
        code_point = code_point * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
    }
    if (digits.empty())
        return 0;
    AppendCodePoint(out, code_point);
    return name.size() + 2;
}

std::string DecodeReferences(std::string_view value) {
    if (value.find('&') == npos)
        return std::string(value);
    std::string out;
    for (std::size_t i = 0; i < value.size();) {
        const std::size_t used = value[i] == '&' ? AppendReference(value, i, out) : 0;
        if (used == 0)
            out += value[i++];
        else
            i += used;
    }
    return out;
}

// The candidates' URLs of a srcset: each up to white space, then descriptors up to a comma.
void TakeSrcset(std::string_view srcset, std::vector<std::string>& links) {
    std::size_t i = 0;
    while (i < srcset.size()) {
        while (i < srcset.size() && (IsHtmlSpace(srcset[i]) || srcset[i] == ','))
            ++i;
        const std::size_t start = i;
        while (i < srcset.size() && !IsHtmlSpace(srcset[i]))
            ++i;
        std::string_view url = srcset.substr(start, i - start);
        const bool ended = !url.empty() && url.back() == ',';
        while (!url.empty() && url.back() == ',')
            url.remove_suffix(1);
        if (!url.empty())
            links.emplace_back(url);
        if (ended)
            continue;
        for (int depth = 0; i < srcset.size() && (srcset[i] != ',' || depth > 0); ++i)
            depth += srcset[i] == '(' ? 1 : (srcset[i] == ')' ? -1 : 0);
    }
}

// The CSS string or bare URL at `at`, up to `end` (a quote, or ')' for a bare URL), escapes
// decoded; `at` is left after it.
std::string ReadCssValue(std::string_view css, std::size_t& at, char end) {
    std::string value;
    while (at < css.size() && css[at] != end) {
        if (css[at] != '\\' || at + 1 >= css.size()) {
            value += css[at++];
            continue;
        }
        ++at;
        std::uint32_t code_point = 0;
        int digits = 0;
        for (; digits < 6 && at < css.size() && platform::HexDigitValue(css[at]) >= 0; ++digits, ++at)
            code_point = code_point * 16 + static_cast<std::uint32_t>(platform::HexDigitValue(css[at]));
        if (digits == 0) {
            if (css[at] != '\n')
                value += css[at];
            ++at;
            continue;
        }
        AppendCodePoint(value, code_point);
        if (at < css.size() && IsHtmlSpace(css[at]))
            ++at;
    }
    if (at < css.size())
        ++at;
    return value;
}

// The URL of "url(" whose parenthesis ends before `at`; `at` is left after it.
std::string ReadCssUrl(std::string_view css, std::size_t& at) {
    while (at < css.size() && IsHtmlSpace(css[at]))
        ++at;
    if (at < css.size() && (css[at] == '"' || css[at] == '\'')) {
        const char quote = css[at++];
        return ReadCssValue(css, at, quote);
    }
    std::string url = ReadCssValue(css, at, ')');
    while (!url.empty() && IsHtmlSpace(url.back()))
        url.pop_back();
    return url;
}

bool IsCssNameCharacter(char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Where the end tag `</name` starts at or after `from`, or the end of the page.
std::size_t FindEndTag(std::string_view html, std::size_t from, std::string_view name) {
    for (std::size_t at = html.find("</", from); at != npos; at = html.find("</", at + 2)) {
        if (platform::HasAtIgnoringAsciiCase(html, at + 2, name))
            return at;
    }
    return html.size();
}

void TakeAttribute(std::string_view name, std::string_view value, std::vector<std::string>& links) {
    if (platform::EqualIgnoringAsciiCase(name, "src") || platform::EqualIgnoringAsciiCase(name, "href")) {
        links.push_back(DecodeReferences(value));
    } else if (platform::EqualIgnoringAsciiCase(name, "srcset")) {
        TakeSrcset(DecodeReferences(value), links);
    } else if (platform::EqualIgnoringAsciiCase(name, "style")) {
        for (std::string& link : LinksOfStyleSheet(DecodeReferences(value)))
            links.push_back(std::move(link));
    }
}

// The attributes of the tag whose name ends before `at`, up to its '>'; gives where the tag ends.
std::size_t ScanAttributes(std::string_view html, std::size_t at, std::vector<std::string>& links) {
    for (;;) {
        while (at < html.size() && (IsHtmlSpace(html[at]) || html[at] == '/'))
            ++at;
        if (at >= html.size() || html[at] == '>')
            return at;
        const std::size_t name_start = at++;
        while (at < html.size() && !IsHtmlSpace(html[at]) && html[at] != '=' && html[at] != '>' &&
               html[at] != '/')
            ++at;
        const std::string_view name = html.substr(name_start, at - name_start);
        while (at < html.size() && IsHtmlSpace(html[at]))
            ++at;
        if (at >= html.size() || html[at] != '=')
            continue;
        ++at;
        while (at < html.size() && IsHtmlSpace(html[at]))
            ++at;
        std::size_t value_start = at, value_end;
        if (at < html.size() && (html[at] == '"' || html[at] == '\'')) {
            value_start = at + 1;
            value_end = html.find(html[at], value_start);
            value_end = value_end == npos ? html.size() : value_end;
            at = value_end + 1;
        } else {
            while (at < html.size() && !IsHtmlSpace(html[at]) && html[at] != '>')
                ++at;
            value_end = at;
        }
        TakeAttribute(name, html.substr(value_start, value_end - value_start), links);
    }
}

// The tag at `at` ('<' and a letter): its links, and for <script> and <style> their content too
// (a style block's links, nothing of a script). Gives where scanning goes on.
std::size_t ScanTag(std::string_view html, std::size_t at, std::vector<std::string>& links) {
    const std::size_t name_start = at + 1;
    std::size_t name_end = name_start;
    while (name_end < html.size() && !IsHtmlSpace(html[name_end]) && html[name_end] != '>' &&
           html[name_end] != '/')
        ++name_end;
    const std::string_view name = html.substr(name_start, name_end - name_start);
    const std::size_t end = ScanAttributes(html, name_end, links);
    if (platform::EqualIgnoringAsciiCase(name, "script"))
        return FindEndTag(html, end, "script");
    if (platform::EqualIgnoringAsciiCase(name, "style")) {
        const std::size_t style_end = FindEndTag(html, end, "style");
        if (end < style_end)
            for (std::string& link : LinksOfStyleSheet(html.substr(end + 1, style_end - end - 1)))
                links.push_back(std::move(link));
        return style_end;
    }
    return end;
}

// Percent-escapes decoded; false for a segment that then holds a separator or a zero byte, which
// no name of a file can.
bool DecodePercentSegment(std::string_view segment, std::string& name) {
    name.clear();
    for (std::size_t i = 0; i < segment.size(); ++i) {
        if (segment[i] == '%' && i + 2 < segment.size() && platform::HexDigitValue(segment[i + 1]) >= 0 &&
            platform::HexDigitValue(segment[i + 2]) >= 0) {
            name += static_cast<char>(platform::HexDigitValue(segment[i + 1]) * 16 +
                                      platform::HexDigitValue(segment[i + 2]));
            i += 2;
        } else {
            name += segment[i];
        }
    }
    return name.find('/') == npos && name.find('\0') == npos;
}

// True for a link that starts with a scheme ("http:", "data:", "c:").
bool HasScheme(std::string_view link) {
    const std::size_t colon = link.find(':');
    if (colon == npos || colon == 0 || !IsAsciiLetter(link[0]))
        return false;
    for (std::size_t i = 1; i < colon; ++i)
        if (!IsAsciiLetter(link[i]) && !IsAsciiDigit(link[i]) && link[i] != '+' && link[i] != '-' &&
            link[i] != '.')
            return false;
    return true;
}

} // namespace

std::vector<std::string> LinksOfPage(std::string_view html) {
    std::vector<std::string> links;
    std::size_t at = 0;
    while ((at = html.find('<', at)) != npos) {
        if (html.substr(at, 4) == "<!--") {
            const std::size_t end = html.find("-->", at + 4);
            at = end == npos ? html.size() : end + 3;
        } else if (at + 1 < html.size() && IsAsciiLetter(html[at + 1])) {
            at = ScanTag(html, at, links);
        } else {
            ++at;
        }
    }
    return links;
}

std::vector<std::string> LinksOfStyleSheet(std::string_view css) {
    std::vector<std::string> links;
    std::size_t at = 0;
    while (at < css.size()) {
        if (css.substr(at, 2) == "/*") {
            const std::size_t end = css.find("*/", at + 2);
            at = end == npos ? css.size() : end + 2;
        } else if (css[at] == '"' || css[at] == '\'') {
            // A string outside url() and @import is no link ("content: 'url(x)'").
            const char quote = css[at++];
            ReadCssValue(css, at, quote);
        } else if (platform::HasAtIgnoringAsciiCase(css, at, "url(") &&
                   (at == 0 || !IsCssNameCharacter(css[at - 1]))) {
            at += 4;
            links.push_back(ReadCssUrl(css, at));
        } else if (platform::HasAtIgnoringAsciiCase(css, at, "@import")) {
            at += 7;
            while (at < css.size() && IsHtmlSpace(css[at]))
                ++at;
            if (at < css.size() && (css[at] == '"' || css[at] == '\'')) {
                const char quote = css[at++];
                links.push_back(ReadCssValue(css, at, quote));
            }
        } else {
            ++at;
        }
    }
    return links;
}

std::optional<std::string> FolderFileOfLink(std::string_view link, std::string_view base) {
    while (!link.empty() && IsHtmlSpace(link.front()))
        link.remove_prefix(1);
    while (!link.empty() && IsHtmlSpace(link.back()))
        link.remove_suffix(1);
    link = link.substr(0, link.find_first_of("?#"));
    if (link.empty() || link[0] == '/' || link[0] == '\\' || HasScheme(link))
        return std::nullopt;
    // A browser reads a backslash as a separator; so must whoever checks where a link leads.
    std::string path = std::string(base) + std::string(link);
    for (char& c : path)
        c = c == '\\' ? '/' : c;
    std::vector<std::string> parts;
    std::string name;
    std::size_t start = 0;
    for (std::size_t slash = 0; slash != npos; start = slash + 1) {
        slash = path.find('/', start);
        if (!DecodePercentSegment(std::string_view(path).substr(start, slash == npos ? npos : slash - start),
                                  name))
            return std::nullopt;
        if (name == "..") {
            if (parts.empty())
                return std::nullopt;
            parts.pop_back();
        } else if (!name.empty() && name != ".") {
            parts.push_back(name);
        }
    }
    // A link ending in a separator, "." or ".." names a folder.
    if (parts.empty() || name.empty() || name == "." || name == "..")
        return std::nullopt;
    std::string file = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i)
        file += "/" + parts[i];
    return file;
}

} // namespace qlm

#include "core/page_text.h"

#include "core/name_correction.h"
#include "core/text_file.h"
#include "platform/text.h"

#include <map>

namespace qlm {

std::string NameForPage(std::string_view name) {
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
    return MyReplace(MyReplace(text, "\r\n", "<BR>"), "\n", "<BR>");
}

std::string AltTextOf(std::string_view text) {
    std::string alt = MyReplace(MyReplace(text, "\r\n", " "), "\n", " ");
    for (std::string_view tag : {"<i>", "<I>", "<b>", "<B>", "</i>", "</I>", "</b>", "</B>"})
        alt = MyReplace(alt, tag, "");
    return MyReplace(alt, "\"", "&quot;");
}

namespace {

bool StartsWithIgnoringCase(std::string_view text, std::size_t at, std::string_view start) {
    return at + start.size() <= text.size() &&
           platform::EqualIgnoringAsciiCase(text.substr(at, start.size()), start);
}

// "charset=utf-8" as HTML 4 writes it in a content type, or charset="utf-8" as HTML 5 does.
bool DeclaresUtf8(std::string_view text) {
    constexpr std::string_view kCharset = "charset=";
    for (std::size_t at = 0; at + kCharset.size() <= text.size(); ++at) {
        if (!StartsWithIgnoringCase(text, at, kCharset))
            continue;
        std::size_t value = at + kCharset.size();
        if (value < text.size() && (text[value] == '"' || text[value] == '\''))
            ++value;
        if (StartsWithIgnoringCase(text, value, "utf-8"))
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

std::string PageClashWarning(const std::vector<std::string>& pictures) {
    std::map<std::string, std::vector<std::string>> by_page;
    std::vector<std::string> pages_in_order;
    for (const std::string& picture : pictures) {
        std::string base, extension;
        SplitFileName(picture, base, extension);
        auto& sharing = by_page[base + ".html"];
        if (sharing.empty())
            pages_in_order.push_back(base + ".html");
        sharing.push_back(picture);
    }
    std::string lines;
    for (const std::string& page : pages_in_order) {
        const std::vector<std::string>& sharing = by_page[page];
        if (page != "index.html" && sharing.size() < 2)
            continue;
        lines += "\n" + page + ":";
        for (const std::string& picture : sharing)
            lines += " " + picture;
        if (page == "index.html")
            lines += " (die Übersicht überschreibt diese Seite)";
    }
    if (lines.empty())
        return {};
    return "Diese Seiten würden mehrfach geschrieben; bitte benennen Sie die Bilder um:" + lines;
}

} // namespace qlm

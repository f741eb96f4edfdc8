// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text.h"

#include <array>

namespace qlm::platform {

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        c = AsciiUpper(c);
    return upper;
}

bool EqualIgnoringAsciiCase(std::string_view first, std::string_view second) {
    if (first.size() != second.size())
        return false;
    for (std::size_t i = 0; i < first.size(); ++i)
        if (AsciiLower(first[i]) != AsciiLower(second[i]))
            return false;
    return true;
}

bool HasAtIgnoringAsciiCase(std::string_view text, std::size_t at, std::string_view part) {
    return at <= text.size() && part.size() <= text.size() - at &&
           EqualIgnoringAsciiCase(text.substr(at, part.size()), part);
}

std::size_t DecodeUtf8(std::string_view text, std::size_t at, std::uint32_t& code_point) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length;
    std::uint32_t min;
    if (lead < 0x80) {
        code_point = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, code_point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, code_point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, code_point = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code_point = (code_point << 6) | (byte(at + i) & 0x3F);
    }
    if (code_point < min || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF))
        return 0;
    return length;
}

bool IsUtf8(std::string_view text) {
    std::uint32_t ignored;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = DecodeUtf8(text, at, ignored);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

void AppendUtf8(std::string& text, std::uint32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (c >> 18));
        text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::uint32_t Windows1252ToUnicode(unsigned char byte) {
    // Bytes 0x80..0x9F; the rest of the code page agrees with Latin-1.
    static constexpr std::array<std::uint16_t, 32> kHigh = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
}

std::string Windows1252ToUtf8(std::string_view text) {
    std::string converted;
    converted.reserve(text.size() + text.size() / 2);
    for (char c : text)
        AppendUtf8(converted, Windows1252ToUnicode(static_cast<unsigned char>(c)));
    return converted;
}

std::string TextAsUtf8(std::string_view text) {
    return IsUtf8(text) ? std::string(text) : Windows1252ToUtf8(text);
}

namespace {

int UpperHexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

} // namespace

std::string PercentEscape(std::string_view text, bool (*escape)(std::string_view text, std::size_t index)) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (escape(text, i)) {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        } else {
            escaped += text[i];
        }
    }
    return escaped;
}

bool PercentUnescape(std::string_view text, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        if (i + 2 >= text.size() || UpperHexDigit(text[i + 1]) < 0 || UpperHexDigit(text[i + 2]) < 0)
            return false;
        bytes += static_cast<char>(UpperHexDigit(text[i + 1]) * 16 + UpperHexDigit(text[i + 2]));
        i += 2;
    }
    return true;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    const char lower = AsciiLower(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

} // namespace qlm::platform

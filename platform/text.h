// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Byte texts as the program meets them: file names and text files that are UTF-8 as a rule, or
// Windows-1252 when they come from an old disk or a Windows folder. Small helpers every layer
// shares: ASCII case folding, UTF-8 checks and decoding, and the Windows-1252 reading.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qlm::platform {

char AsciiUpper(char c);
char AsciiLower(char c);
std::string AsciiUpper(std::string_view text);
// Equal when only the case of ASCII letters differs.
bool EqualIgnoringAsciiCase(std::string_view first, std::string_view second);
// True when `text` holds `part` at `at`, the case of ASCII letters aside.
bool HasAtIgnoringAsciiCase(std::string_view text, std::size_t at, std::string_view part);

// Length of the well-formed UTF-8 sequence at `at` and its code point; 0 when it is malformed
// (overlong forms, surrogates and values above U+10FFFF included).
std::size_t DecodeUtf8(std::string_view text, std::size_t at, std::uint32_t& code_point);
bool IsUtf8(std::string_view text);
void AppendUtf8(std::string& text, std::uint32_t code_point);

// The Unicode character of a Windows-1252 byte; the five bytes the code page leaves undefined
// stand for the control characters of the same number.
std::uint32_t Windows1252ToUnicode(unsigned char byte);
std::string Windows1252ToUtf8(std::string_view text);

// The text as UTF-8: itself when it is valid UTF-8, otherwise read as Windows-1252.
std::string TextAsUtf8(std::string_view text);

} // namespace qlm::platform

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Byte texts as the program meets them: file names and text files that are UTF-8 as a rule, or
// Windows-1252 when they come from an old disk or a Windows folder. Small helpers every layer
// shares: ASCII case folding, UTF-8 checks and decoding, the Windows-1252 reading, and the "%HH"
// escapes of names kept in the program's own files.

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

// `text` with every byte for which `escape(text, index)` holds written as "%HH", the two digits in
// upper case.
// The value of the hexadecimal digit `c` (either case), or -1 for any other character.
int HexDigitValue(char c);

std::string PercentEscape(std::string_view text, bool (*escape)(std::string_view text, std::size_t index));
// `text` with every "%HH" (upper-case digits, as PercentEscape writes them) read back as its byte;
// false for a "%" that two such digits do not follow.
bool PercentUnescape(std::string_view text, std::string& bytes);

} // namespace qlm::platform

#pragma once
// Whole-file text access and placeholder replacement. Texts are byte strings, read and written
// byte for byte without any conversion.

#include <string>
#include <string_view>

namespace qlm {

// The no-text answer of the ask-user dialog; MyReplace inserts nothing for it.
inline constexpr std::string_view kNoText = "<notext>";

// Reads the whole file; its text ends before the first zero byte. False and an empty text when
// the file cannot be opened or read completely.
bool MyReadFile(const std::string& file_name, std::string& text);

// Copies an existing file to file_name + ".bak" (ignoring failure), then replaces the file's
// content with `text` crash-safely. True when the new content is completely on disk.
bool MyWriteFile(const std::string& file_name, std::string_view text);

// Replaces every occurrence of `placeholder` in `source`; an empty replacement or exactly
// "<notext>" removes the occurrences.
std::string MyReplace(std::string_view source, std::string_view placeholder, std::string_view replacement);

} // namespace qlm

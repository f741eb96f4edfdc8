// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turns the plain text of "info.txt" into the page "info.html".

#include <string>

namespace qlm {

// head + info, paragraphs marked ("<P>" + LF for CR LF CR LF) and blanks tidied, then the tail.
std::string MyConvertInfo(const std::string& info, const std::string& head, const std::string& tail);

} // namespace qlm

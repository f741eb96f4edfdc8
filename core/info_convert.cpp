// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/info_convert.h"

#include "core/text_file.h"

namespace qlm {

std::string MyConvertInfo(const std::string& info, const std::string& head, const std::string& tail) {
    // The head goes through the conversion with the info text; the tail is appended unchanged.
    std::string page = head + info;
    page = MyReplace(page, "\r\n\r\n", "<P>\n");
    page = MyReplace(page, "  ", " ");
    page = MyReplace(page, "( ", "(");
    page = MyReplace(page, " )", ")");
    return page + tail;
}

} // namespace qlm

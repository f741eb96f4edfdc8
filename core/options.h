// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The six option flags of the window, read by the commands when they run.

namespace qlm {

struct OptionFlags {
    bool keywords = true;    // CKeywords "ask Keywords"
    bool description = true; // CDescription "ask Description"
    bool alt = true;         // CAlt "ask Alt Text"
    bool warn = true;        // CWarn "Melde fehlenden Thumb"
    bool img_wo_alt = true;  // CImgwoAlt "Images without Alt"
    bool thumbs_jpg = false; // CThumbJPG "all thumbs JPG"
};

} // namespace qlm

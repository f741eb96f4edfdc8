// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where every widget of the main window sits, in pixels of its parent's client area (the widgets of
// the two panels relative to their panel), and the keyboard tab order of the window's direct
// widgets. The window has a fixed size, so this table is its whole layout.

#include <string_view>

namespace qlm::ui {

inline constexpr int kClientWidth = 716;
inline constexpr int kClientHeight = 405;
// Where the window opens on the screen.
inline constexpr int kWindowLeft = 225;
inline constexpr int kWindowTop = 269;

inline constexpr int kNoTabStop = -1;

struct WidgetPlace {
    std::string_view name; // the widget's object name, the same as its member name
    int left;
    int top;
    int width;
    int height;
    int tab_order;
};

inline constexpr WidgetPlace kMainWindowLayout[] = {
    {"MyDir", 8, 8, 689, 17, kNoTabStop},
    {"MainPanel", 8, 32, 400, 273, 1},
    {"ReadDrives", 8, 8, 20, 16, kNoTabStop},
    {"Reload", 32, 8, 20, 16, kNoTabStop},
    {"StatusLine", 58, 8, 231, 16, kNoTabStop},
    {"ShowInBrowser", 293, 7, 100, 17, kNoTabStop},
    {"MainList", 8, 24, 385, 241, kNoTabStop},
    {"WorkPanel", 8, 32, 400, 273, 2},
    {"TheProgress", 31, 24, 330, 17, kNoTabStop},
    {"TheProgressInfo", 31, 48, 330, 17, kNoTabStop},
    {"StopRun", 31, 80, 100, 25, kNoTabStop},
    {"Preview", 424, 32, 273, 273, kNoTabStop},
    {"Kennung", 0, 320, 108, 87, kNoTabStop},
    {"TinyPic", 672, 344, 25, 25, kNoTabStop},
    {"MakeItSo", 424, 312, 113, 38, 0},
    {"ReloadHTML", 544, 312, 113, 38, 10},
    {"RenameFiles", 424, 360, 113, 38, 7},
    {"TransFile", 544, 360, 113, 38, 9},
    {"CKeywords", 128, 312, 97, 17, 3},
    {"CDescription", 128, 336, 97, 17, 4},
    {"CAlt", 128, 360, 97, 17, 5},
    {"CWarn", 128, 384, 137, 17, 6},
    {"CImgwoAlt", 288, 312, 121, 17, 8},
    {"CThumbJPG", 288, 336, 97, 17, 11},
};

// The list rows: one column, rows of a uniform height inside a frame of fixed width.
inline constexpr int kListColumnWidth = 365;
inline constexpr int kListRowHeight = 17;
inline constexpr int kListFrameWidth = 2;
inline constexpr int kListIconSize = 16;

inline constexpr int kCommandIconSize = 24;

} // namespace qlm::ui

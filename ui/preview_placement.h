// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the preview shows a picture: inside the square box of kPreviewBox pixels at the right of the
// main window, scaled down to fit when a side is longer than the box, never scaled up, and centred
// on both axes. Pure arithmetic, so that it is tested without a window.

namespace qlm::ui {

inline constexpr int kPreviewBox = 273;     // side of the square box
inline constexpr int kPreviewBoxLeft = 424; // left edge of the box in the window's client area

struct PreviewRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The preview's geometry for a picture of the given natural size; `box_top` is the box's top edge
// (the current top of the browser panel). A side that would shrink to nothing keeps one pixel.
PreviewRect PreviewPlacement(int picture_width, int picture_height, int box_top);

// Where the ask-user dialog opens, in screen coordinates: over the lower part of the progress
// panel, just below its label, so that the preview (the picture a question is about) stays in view.
// `frame_left`, `frame_top`: the main window's outer top-left corner; `frame_extra_height`: its
// outer height less its client height; `work_panel_top`: the progress panel's top in the client
// area. Not kept within the screen: a window partly off the screen takes its dialog along.
struct DialogPlace {
    int left = 0;
    int top = 0;
};
DialogPlace AskDialogPlacement(int frame_left, int frame_top, int frame_extra_height, int work_panel_top);

} // namespace qlm::ui

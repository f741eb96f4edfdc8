// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/preview_placement.h"

#include <algorithm>
#include <cmath>

namespace qlm::ui {

namespace {

// side * kPreviewBox / longest, the product in integers and the quotient in floating point,
// rounded to the nearest whole number with a half going to the even neighbour.
int ScaledSide(int side, int longest) {
    const long long product = static_cast<long long>(side) * kPreviewBox;
    const double quotient = static_cast<double>(product) / static_cast<double>(longest);
    // A very thin picture would otherwise get an empty preview.
    return std::max(1, static_cast<int>(std::nearbyint(quotient)));
}

} // namespace

PreviewRect PreviewPlacement(int picture_width, int picture_height, int box_top) {
    PreviewRect rect;
    if (picture_width > kPreviewBox || picture_height > kPreviewBox) {
        if (picture_height > picture_width) {
            rect.height = kPreviewBox;
            rect.width = ScaledSide(picture_width, picture_height);
        } else {
            rect.width = kPreviewBox;
            rect.height = ScaledSide(picture_height, picture_width);
        }
    } else {
        rect.width = picture_width;
        rect.height = picture_height;
    }
    // Both sides are at most the box's side here, so the halved gaps are never negative.
    rect.top = box_top + (kPreviewBox - rect.height) / 2;
    rect.left = kPreviewBoxLeft + (kPreviewBox - rect.width) / 2;
    return rect;
}

DialogPlace AskDialogPlacement(int frame_left, int frame_top, int frame_extra_height, int work_panel_top) {
    return DialogPlace{frame_left + 16, frame_top + frame_extra_height + work_panel_top + 72};
}

} // namespace qlm::ui

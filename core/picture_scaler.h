// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scaling a picture down to an exact size for thumbnails. Each target pixel is the average of the
// source area it covers, partly covered source pixels weighted by how much of them it covers;
// colours are weighted by alpha, so transparent pixels lend no colour to their neighbours.

#include "core/picture.h"

namespace qlm {

// The size a picture of width x height gets when its longer side becomes at most `longer_side`
// (never enlarged); each side at least 1.
struct ScaledSize {
    int width = 1;
    int height = 1;
};
ScaledSize ThumbnailSize(int width, int height, int longer_side);

// `source` scaled to width x height (both at least 1). Meant for shrinking; a side that grows
// repeats source pixels.
Image ScaleImage(const Image& source, int width, int height);

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Limits that keep an absurd or hostile picture file from exhausting memory or time, and the
// arithmetic the decoders share for reducing a picture while it is read.

#include <algorithm>
#include <cstdint>

namespace qlm::picture_limits {

// Memory a decoder may allocate for one picture besides the piece of the file it reads. Below
// 512 MB with room left for the decoders' small buffers.
inline constexpr std::uint64_t kMemoryBudget = std::uint64_t{448} << 20;

// Pictures with more pixels are refused before any pixel is read, whatever the memory: decoding
// them would take too long.
inline constexpr std::uint64_t kMaxPixels = 200'000'000;

// A decoder reads no further into a file than this: a picture whose data goes on beyond it is
// refused, since reading it would take too long. What follows a picture is never read, so a
// picture at the start of a larger file is read like any other.
inline constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 30;

inline constexpr std::uint64_t Megabytes(std::uint64_t bytes) {
    return (bytes + (1 << 20) - 1) >> 20;
}

// The side a preview box of `box` pixels draws of a picture whose longer side is `longer`.
inline int TargetSide(int longer, int box) {
    return box > 0 ? std::min(longer, box) : longer;
}

// The largest integer factor by which a width x height picture can be shrunk so that its longer
// side still covers the box; 1 for box <= 0 (keep every pixel). Dividing by the factor without
// rounding keeps the shorter side covering the box at the picture's proportions as well.
inline int ReductionFactor(int width, int height, int box) {
    const int longer = std::max(width, height);
    if (box <= 0 || longer <= 0) {
        return 1;
    }
    return std::max(1, longer / TargetSide(longer, box));
}

inline int ReducedSide(int side, int factor) {
    return side / factor + (side % factor != 0 ? 1 : 0);
}

} // namespace qlm::picture_limits

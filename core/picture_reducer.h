// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shrinks a picture by an integer factor while its rows arrive one at a time, so that the PNG and
// GIF decoders never hold the full-size picture. Each factor x factor block becomes one pixel:
// the colour is averaged weighted by alpha (transparent pixels lend no colour), alpha is averaged
// plainly. Blocks at the right and bottom edges may be smaller.

#include "core/picture.h"

#include <cstdint>
#include <vector>

namespace qlm {

class PictureReducer {
  public:
    // Sizes `out` to the reduced picture. False when the memory cannot be had.
    bool Start(int width, int height, int factor, Image* out) noexcept;
    // Adds the next row (width RGBA pixels), top to bottom; the last row completes `out`.
    void AddRow(const std::uint8_t* rgba) noexcept;
    // The same for a row that is transparent outside the pixels [first, last): only those are read,
    // so a small frame on a vast screen costs what the frame has.
    void AddRow(const std::uint8_t* rgba, int first, int last) noexcept;
    // Adds `count` rows that are wholly transparent, at the cost of the reduced rows they complete.
    void AddTransparentRows(int count) noexcept;

    // For pixels that arrive scattered over the picture, as the passes of an interlaced PNG do: the
    // sums of every reduced pixel are kept until Finish, so that no full-size picture is needed.
    // The result is the same as that of rows added in order.
    bool StartScattered(int width, int height, int factor, Image* out) noexcept;
    // Adds the pixels x_start, x_start + x_step, ... of row y (rgba holds the whole row).
    void AddPixels(int y, const std::uint8_t* rgba, int x_start, int x_step) noexcept;
    void FinishScattered() noexcept;

  private:
    void FlushBand() noexcept;
    // Writes the averages of one reduced row from its sums and clears them.
    void WriteReducedRow(std::uint64_t* sums, int out_y, int rows_in_band) noexcept;

    int width_ = 0;
    int height_ = 0;
    int factor_ = 1;
    int rows_seen_ = 0;
    int rows_in_band_ = 0;
    Image* out_ = nullptr;
    // Per reduced column (per reduced pixel when scattered): red*alpha, green*alpha, blue*alpha, alpha.
    std::vector<std::uint64_t> sums_;
};

} // namespace qlm

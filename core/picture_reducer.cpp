// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/picture_reducer.h"

#include "core/picture_limits.h"

#include <algorithm>
#include <new>

namespace qlm {

bool PictureReducer::Start(int width, int height, int factor, Image* out) noexcept {
    width_ = width;
    height_ = height;
    factor_ = std::max(1, factor);
    rows_seen_ = 0;
    rows_in_band_ = 0;
    out_ = out;
    const int reduced_width = picture_limits::ReducedSide(width, factor_);
    const int reduced_height = picture_limits::ReducedSide(height, factor_);
    try {
        sums_.assign(static_cast<std::size_t>(reduced_width) * 4, 0);
        out->width = reduced_width;
        out->height = reduced_height;
        out->rgba.assign(static_cast<std::size_t>(reduced_width) * reduced_height * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void PictureReducer::AddRow(const std::uint8_t* rgba) noexcept {
    AddRow(rgba, 0, width_);
}

void PictureReducer::AddTransparentRows(int count) noexcept {
    // Transparent pixels add nothing to the sums; only the bands they complete are written.
    while (count > 0 && rows_seen_ < height_) {
        const int rows = std::min({count, factor_ - rows_in_band_, height_ - rows_seen_});
        rows_seen_ += rows;
        rows_in_band_ += rows;
        count -= rows;
        if (rows_in_band_ == factor_ || rows_seen_ == height_) {
            FlushBand();
        }
    }
}

void PictureReducer::AddRow(const std::uint8_t* rgba, int first, int last) noexcept {
    if (rows_seen_ >= height_) {
        return;
    }
    first = std::clamp(first, 0, width_);
    last = std::clamp(last, first, width_);
    std::uint64_t* sums = sums_.data() + static_cast<std::size_t>(first / factor_) * 4;
    for (int x = first - first % factor_; x < last; x += factor_) {
        const int begin = std::max(x, first);
        const int end = std::min(last, x + factor_);
        std::uint64_t r = 0, g = 0, b = 0, a = 0;
        for (int i = begin; i < end; ++i) {
            const std::uint8_t* p = rgba + static_cast<std::size_t>(i) * 4;
            r += std::uint64_t{p[0]} * p[3];
            g += std::uint64_t{p[1]} * p[3];
            b += std::uint64_t{p[2]} * p[3];
            a += p[3];
        }
        sums[0] += r;
        sums[1] += g;
        sums[2] += b;
        sums[3] += a;
        sums += 4;
    }
    ++rows_seen_;
    ++rows_in_band_;
    if (rows_in_band_ == factor_ || rows_seen_ == height_) {
        FlushBand();
    }
}

void PictureReducer::FlushBand() noexcept {
    WriteReducedRow(sums_.data(), (rows_seen_ - 1) / factor_, rows_in_band_);
    rows_in_band_ = 0;
}

void PictureReducer::WriteReducedRow(std::uint64_t* sums, int out_y, int rows_in_band) noexcept {
    std::uint8_t* dest = out_->rgba.data() + static_cast<std::size_t>(out_y) * out_->width * 4;
    for (int ox = 0; ox < out_->width; ++ox) {
        std::uint64_t* s = sums + static_cast<std::size_t>(ox) * 4;
        const std::uint64_t columns = std::min(factor_, width_ - ox * factor_);
        const std::uint64_t count = columns * rows_in_band;
        const std::uint64_t alpha = s[3];
        if (alpha != 0) {
            for (int c = 0; c < 3; ++c) {
                dest[c] = static_cast<std::uint8_t>((s[c] + alpha / 2) / alpha);
            }
        } else {
            dest[0] = dest[1] = dest[2] = 0;
        }
        dest[3] = static_cast<std::uint8_t>((alpha + count / 2) / count);
        s[0] = s[1] = s[2] = s[3] = 0;
        dest += 4;
    }
}

bool PictureReducer::StartScattered(int width, int height, int factor, Image* out) noexcept {
    if (!Start(width, height, factor, out)) {
        return false;
    }
    try {
        sums_.assign(static_cast<std::size_t>(out->width) * out->height * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void PictureReducer::AddPixels(int y, const std::uint8_t* rgba, int x_start, int x_step) noexcept {
    if (y < 0 || y >= height_ || x_step <= 0) {
        return;
    }
    std::uint64_t* row_sums = sums_.data() + static_cast<std::size_t>(y / factor_) * out_->width * 4;
    for (int x = x_start; x < width_; x += x_step) {
        const std::uint8_t* p = rgba + static_cast<std::size_t>(x) * 4;
        std::uint64_t* s = row_sums + static_cast<std::size_t>(x / factor_) * 4;
        s[0] += std::uint64_t{p[0]} * p[3];
        s[1] += std::uint64_t{p[1]} * p[3];
        s[2] += std::uint64_t{p[2]} * p[3];
        s[3] += p[3];
    }
}

void PictureReducer::FinishScattered() noexcept {
    for (int out_y = 0; out_y < out_->height; ++out_y) {
        const int rows_in_band = std::min(factor_, height_ - out_y * factor_);
        WriteReducedRow(sums_.data() + static_cast<std::size_t>(out_y) * out_->width * 4, out_y,
                        rows_in_band);
    }
}

} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/picture_scaler.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qlm {
namespace {

// The source pixels a target pixel covers along one side and the share of each.
struct Span {
    int first = 0;
    std::vector<float> weights; // summing to 1
};

std::vector<Span> Spans(int source_side, int target_side) {
    std::vector<Span> spans(static_cast<std::size_t>(target_side));
    const double step = static_cast<double>(source_side) / target_side;
    for (int t = 0; t < target_side; ++t) {
        const double begin = t * step;
        const double end = std::min<double>(source_side, (t + 1) * step);
        Span& span = spans[static_cast<std::size_t>(t)];
        span.first = std::min(source_side - 1, static_cast<int>(std::floor(begin)));
        const int last =
            std::max(span.first, std::min(source_side - 1, static_cast<int>(std::ceil(end)) - 1));
        double total = 0;
        for (int s = span.first; s <= last; ++s) {
            const double covered = std::min<double>(end, s + 1) - std::max<double>(begin, s);
            span.weights.push_back(static_cast<float>(std::max(covered, 0.0)));
            total += span.weights.back();
        }
        if (total <= 0) {
            span.weights.assign(span.weights.size(), 0.0f);
            span.weights.front() = 1.0f;
            total = 1;
        }
        for (float& weight : span.weights)
            weight = static_cast<float>(weight / total);
    }
    return spans;
}

std::uint8_t ToByte(float value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

} // namespace

ScaledSize ThumbnailSize(int width, int height, int longer_side) {
    const int longer = std::max(width, height);
    if (longer <= longer_side || longer <= 0)
        return {std::max(width, 1), std::max(height, 1)};
    const auto scaled = [&](int side) {
        return std::max(1, static_cast<int>(std::lround(static_cast<double>(side) * longer_side / longer)));
    };
    return {scaled(width), scaled(height)};
}

Image ScaleImage(const Image& source, int width, int height) {
    const std::vector<Span> columns = Spans(source.width, width);
    const std::vector<Span> rows = Spans(source.height, height);

    // Across first: every source row becomes a row of target width, premultiplied by alpha.
    std::vector<float> across(static_cast<std::size_t>(width) * source.height * 4);
    for (int y = 0; y < source.height; ++y) {
        const std::uint8_t* row = source.rgba.data() + static_cast<std::size_t>(y) * source.width * 4;
        float* out = across.data() + static_cast<std::size_t>(y) * width * 4;
        for (const Span& span : columns) {
            float r = 0, g = 0, b = 0, a = 0;
            for (std::size_t i = 0; i < span.weights.size(); ++i) {
                const std::uint8_t* p = row + (static_cast<std::size_t>(span.first) + i) * 4;
                const float weighted_alpha = span.weights[i] * p[3];
                r += weighted_alpha * p[0];
                g += weighted_alpha * p[1];
                b += weighted_alpha * p[2];
                a += weighted_alpha;
            }
            out[0] = r;
            out[1] = g;
            out[2] = b;
            out[3] = a;
            out += 4;
        }
    }

    // Then down, and back from premultiplied colours.
    Image target;
    target.width = width;
    target.height = height;
    target.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        const Span& span = rows[static_cast<std::size_t>(y)];
        std::uint8_t* out = target.rgba.data() + static_cast<std::size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            float sums[4] = {0, 0, 0, 0};
            for (std::size_t i = 0; i < span.weights.size(); ++i) {
                const float* p = across.data() + ((static_cast<std::size_t>(span.first) + i) * width + x) * 4;
                for (int c = 0; c < 4; ++c)
                    sums[c] += span.weights[i] * p[c];
            }
            const float alpha = sums[3];
            for (int c = 0; c < 3; ++c)
                out[c] = alpha > 0 ? ToByte(sums[c] / alpha) : 0;
            out[3] = ToByte(alpha);
            out += 4;
        }
    }
    return target;
}

} // namespace qlm

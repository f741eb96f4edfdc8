// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A photo-like picture for the decoding benchmarks, written as a binary PPM for cjpeg: sky with
// clouds, hills and a field with grain and sharp stalks, so that smooth areas and fine detail
// come in about the mix of a photo and the JPEG has a photo's size and decoding cost (about
// 4.5 MB for 4000 x 3000 at quality 90).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qlm::bench {

// A cheap hash, for grain that does not repeat.
inline std::uint32_t Hash(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// Writes the picture to `path`; false when the file cannot be written.
inline bool WritePhotoPpm(const std::string& path, int width, int height) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
    bool written = true;
    for (int y = 0; y < height && written; ++y) {
        const double v = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width;
            const double horizon = 0.45 + 0.08 * std::sin(u * 9.0) + 0.03 * std::sin(u * 41.0 + 1.0);
            double r, g, b;
            if (v < horizon) {
                r = 110 + 100 * v;
                g = 160 + 70 * v;
                b = 235 - 20 * v;
                const double cloud = std::sin(u * 23.0 + std::sin(v * 17.0) * 2.0) * std::sin(v * 31.0);
                if (cloud > 0.55) {
                    r = g = b = 230 + 20 * (cloud - 0.55);
                }
            } else {
                const double stalk = std::sin(u * 1800.0 + std::sin(v * 60.0) * 6.0);
                r = 70 + 50 * std::sin(u * 5.0 + v * 7.0) + (stalk > 0.7 ? 40 : 0);
                g = 120 + 40 * std::sin(u * 3.0 - v * 4.0) + (stalk > 0.7 ? 50 : 0);
                b = 50 + 20 * v;
            }
            const int grain = int(Hash(std::uint32_t(y) * 65537U + std::uint32_t(x)) % 25) - 12;
            const double values[3] = {r + grain, g + grain, b + grain};
            for (int c = 0; c < 3; ++c)
                row[std::size_t(x) * 3 + std::size_t(c)] =
                    static_cast<unsigned char>(std::lround(std::fmin(255.0, std::fmax(0.0, values[c]))));
        }
        written = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    return std::fclose(file) == 0 && written;
}

} // namespace qlm::bench

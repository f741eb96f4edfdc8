// Times the preview of one picture file: decoding, smooth scaling and placing, as the main window
// does it when the focus moves to a picture. Used by preview_vs_djpeg.sh.
//
//   preview_load_timing <picture> <count>          prints the mean milliseconds of one preview
//   preview_load_timing --make-ppm <file> <w> <h>  writes a photo-like PPM picture to encode

#include "core/picture.h"
#include "ui/picture_preview.h"

#include <QApplication>
#include <QLabel>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A cheap hash, for grain that does not repeat.
std::uint32_t Hash(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// Sky, hills and a field with grain and sharp stalks: smooth areas and fine detail in about the
// mix of a photo, so that the JPEG has a photo's size and decoding cost.
int MakePpm(const char* path, int width, int height) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return 1;
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
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
        std::fwrite(row.data(), 1, row.size(), file);
    }
    return std::fclose(file) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--make-ppm")
        return MakePpm(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc != 3) {
        std::fprintf(stderr, "usage: preview_load_timing <picture> <count>\n"
                             "       preview_load_timing --make-ppm <file> <width> <height>\n");
        return 2;
    }
    QApplication app(argc, argv);
    QWidget window;
    window.resize(716, 405);
    auto* label = new QLabel(&window);
    qlm::ui::PicturePreview preview(label);
    const std::string path = argv[1];
    const int count = std::atoi(argv[2]);
    try {
        if (!preview.Load(path, 32)) { // once untimed, as djpeg also gets a first run
            std::fprintf(stderr, "cannot open %s\n", argv[1]);
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < count; ++i)
            preview.Load(path, 32);
        const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
        std::printf("%.3f\n", spent.count() / count);
    } catch (const qlm::DecodeError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}

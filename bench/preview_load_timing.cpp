// SPDX-License-Identifier: GPL-3.0-or-later
// Times the preview of one picture file: decoding, smooth scaling and placing, as the main window
// does it when the focus moves to a picture. Used by preview_vs_djpeg.sh.
//
//   preview_load_timing <picture> <count>          prints the mean milliseconds of one preview
//   preview_load_timing --make-ppm <file> <w> <h>  writes a photo-like PPM picture to encode

#include "bench/photo_ppm.h"
#include "core/picture.h"
#include "ui/picture_preview.h"

#include <QApplication>
#include <QLabel>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--make-ppm")
        return qlm::bench::WritePhotoPpm(argv[2], std::atoi(argv[3]), std::atoi(argv[4])) ? 0 : 1;
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

// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding speed of LoadPicture for the preview (box 273) and for learning a size (box 1) on
// photo-sized JPEGs, next to `djpeg -scale 1/8` of the same files, which sets the goal: at most
// about 1.2 times djpeg. The photos are made at start: a photo-like PPM (bench/photo_ppm.h), encoded
// with cjpeg at quality 90 (4:2:0), in a temporary folder removed at the end.
//
//   decode_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// djpeg runs as a process per picture; "Djpeg/Tiny" shows what starting it costs.

#include "bench/photo_ppm.h"
#include "core/picture_loader.h"
#include "tests/support/test_util.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

extern char** environ;

namespace {

int Run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The pictures, made once for the whole run.
class Photos {
  public:
    Photos() {
        Make("12mp", 4000, 3000);
        Make("24mp", 6000, 4000);
        Make("tiny", 8, 8);
    }
    std::string Path(const char* name) const { return folder_ / (std::string(name) + ".jpg"); }

  private:
    void Make(const char* name, int width, int height) {
        const std::string ppm = folder_ / (std::string(name) + ".ppm");
        if (!qlm::bench::WritePhotoPpm(ppm, width, height)) {
            throw std::runtime_error("cannot write " + ppm);
        }
        if (Run({"cjpeg", "-quality", "90", "-outfile", Path(name), ppm}) != 0) {
            throw std::runtime_error("cjpeg failed (package libjpeg-turbo-progs)");
        }
        std::filesystem::remove(ppm);
    }
    qlm::test::TempFolder folder_;
};

const Photos& ThePhotos() {
    static const Photos photos;
    return photos;
}

void LoadPictureBench(benchmark::State& state, const char* name, int box) {
    const std::string path = ThePhotos().Path(name);
    for (auto _ : state) {
        qlm::Picture picture = qlm::LoadPicture(path, box);
        benchmark::DoNotOptimize(picture.image.rgba.data());
    }
}

void DjpegBench(benchmark::State& state, const char* name) {
    const std::string path = ThePhotos().Path(name);
    for (auto _ : state) {
        if (Run({"djpeg", "-scale", "1/8", "-outfile", "/dev/null", path}) != 0) {
            state.SkipWithError("djpeg failed");
            break;
        }
    }
}

BENCHMARK_CAPTURE(LoadPictureBench, Preview273 / 12mp, "12mp", 273)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(LoadPictureBench, SizeOnly1 / 12mp, "12mp", 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(DjpegBench, Scale8 / 12mp, "12mp")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(LoadPictureBench, Preview273 / 24mp, "24mp", 273)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(LoadPictureBench, SizeOnly1 / 24mp, "24mp", 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(DjpegBench, Scale8 / 24mp, "24mp")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(DjpegBench, Tiny, "tiny")->Unit(benchmark::kMillisecond)->UseRealTime();

// A GIF of 36 bytes that declares a screen of 65532 x 2044 pixels around a frame of one pixel: the
// decoding must cost what the frame has, not what the screen has (goal: under 20 ms).
void GifScreenBombBench(benchmark::State& state) {
    static const unsigned char kGif[] = {'G',  'I',  'F',  '8',  '9',  'a',  0xFC, 0xFF, 0xFC,
                                         0x07, 0x80, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00,
                                         0xFF, 0x2C, 0x10, 0x27, 0xE8, 0x03, 0x01, 0x00, 0x01,
                                         0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    qlm::test::TempFolder folder;
    const std::string path =
        folder.Put("bomb.gif", std::string(reinterpret_cast<const char*>(kGif), sizeof kGif));
    for (auto _ : state)
        benchmark::DoNotOptimize(qlm::LoadPicture(path, static_cast<int>(state.range(0))));
}
BENCHMARK(GifScreenBombBench)->Arg(1)->Arg(273)->Unit(benchmark::kMillisecond);

} // namespace

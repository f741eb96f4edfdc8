// Decoding speed of LoadPicture for the preview (box 273) and for learning a size (box 1) on
// photo-sized JPEGs, next to `djpeg -scale 1/8` of the same files, which sets the goal: at most
// about 1.2 times djpeg. The photos are made at start: a photo-like PPM from a formula, encoded
// with cjpeg at quality 90 (4:2:0), in a temporary folder removed at the end.
//
//   decode_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// djpeg runs as a process per picture; "Djpeg/Tiny" shows what starting it costs.

#include "core/picture.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::uint32_t Hash(std::uint32_t x) {
    x ^= x >> 17;
    x *= 0xed5ad4bbU;
    x ^= x >> 11;
    x *= 0xac4c1b51U;
    x ^= x >> 15;
    return x;
}

// Smooth gradients, a horizon, texture and grain: roughly a photo's mix of flat and busy blocks.
void WritePhotoPpm(const fs::path& path, int width, int height) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot write " + path.string());
    }
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        const double v = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width;
            const bool sky = v < 0.4 + 0.1 * std::sin(u * 7.0);
            const double texture = sky ? 0.0 : 30.0 * std::sin(u * 900.0 + 8.0 * std::sin(v * 50.0));
            const int grain = int(Hash(std::uint32_t(y) * 40503U + std::uint32_t(x)) % 21) - 10;
            const double rgb[3] = {sky ? 120 + 90 * v : 80 + 40 * std::sin(u * 4 + v * 6) + texture,
                                   sky ? 170 + 60 * v : 110 + 30 * std::sin(u * 3 - v * 5) + texture,
                                   sky ? 240 - 30 * v : 60 + 20 * v};
            for (int c = 0; c < 3; ++c) {
                const double value = rgb[c] + grain;
                row[std::size_t(x) * 3 + c] = static_cast<unsigned char>(value < 0     ? 0
                                                                         : value > 255 ? 255
                                                                                       : value);
            }
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    std::fclose(file);
}

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
        std::string pattern = (fs::temp_directory_path() / "qlm_decode_bench_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("no temporary folder");
        }
        dir_ = pattern;
        Make("12mp", 4000, 3000);
        Make("24mp", 6000, 4000);
        Make("tiny", 8, 8);
    }
    ~Photos() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string Path(const char* name) const { return (dir_ / (std::string(name) + ".jpg")).string(); }

  private:
    void Make(const char* name, int width, int height) {
        const fs::path ppm = dir_ / (std::string(name) + ".ppm");
        WritePhotoPpm(ppm, width, height);
        if (Run({"cjpeg", "-quality", "90", "-outfile", Path(name), ppm.string()}) != 0) {
            throw std::runtime_error("cjpeg failed (package libjpeg-turbo-progs)");
        }
        fs::remove(ppm);
    }
    fs::path dir_;
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

} // namespace

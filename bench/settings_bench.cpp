// SPDX-License-Identifier: GPL-3.0-or-later
// Start and close of the program with a large settings file: "QLM.ini" is read once at start and
// written once on close, so both cost about one pass over the file, whatever its size.
//
// The file is written into a temporary folder; set QLM_BENCH_DIR to choose where.

#include "core/settings.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

// A settings file of about `megabytes` MB: a large foreign section, then the program's own.
class LargeSettingsFile {
  public:
    explicit LargeSettingsFile(std::size_t megabytes) {
        const char* chosen = std::getenv("QLM_BENCH_DIR");
        std::string pattern =
            ((chosen != nullptr ? std::filesystem::path(chosen) : std::filesystem::temp_directory_path()) /
             "qlm-bench-XXXXXX")
                .string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        folder_ = pattern;
        path_ = (folder_ / "QLM.ini").string();
        std::string text = "[Window]\n";
        for (int i = 0; text.size() < (megabytes << 20); ++i)
            text += "Zeile" + std::to_string(i) + "=" + std::string(60, 'x') + "\n";
        text += "[Settings]\nDir=/home/u/Bilder/\nWarn=false\n";
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~LargeSettingsFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    LargeSettingsFile(const LargeSettingsFile&) = delete;
    LargeSettingsFile& operator=(const LargeSettingsFile&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::filesystem::path folder_;
    std::string path_;
};

void BM_LoadSettings(benchmark::State& state) {
    const LargeSettingsFile file(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(qlm::LoadSettings(file.Path()));
    state.SetLabel(std::to_string(state.range(0)) + " MB");
}
BENCHMARK(BM_LoadSettings)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond);

// Includes the fsync of the whole file, which dominates on a real disk.
void BM_SaveSettings(benchmark::State& state) {
    const LargeSettingsFile file(static_cast<std::size_t>(state.range(0)));
    qlm::Settings settings = qlm::LoadSettings(file.Path());
    for (auto _ : state) {
        settings.flags.warn = !settings.flags.warn;
        if (!qlm::SaveSettings(file.Path(), settings))
            state.SkipWithError("the settings file could not be written");
    }
    state.SetLabel(std::to_string(state.range(0)) + " MB");
}
BENCHMARK(BM_SaveSettings)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond);

} // namespace

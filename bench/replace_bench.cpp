// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder replacement must stay linear in the length of the text, and so must the generation
// run in the number of pictures: an overview of 10,000 entries may cost at most about ten times
// one of 1,000 (the scaling benchmarks report the measured factor as "ratio").
//
// The generation benchmarks write real pages into a temporary folder; set QLM_BENCH_DIR to choose
// where (a RAM-backed folder keeps disk flushes out of the figures).

#include "core/generator.h"
#include "core/placeholder_sequence.h"
#include "core/template_filler.h"
#include "core/text_file.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

qlm::TemplateSet Templates();

std::string TextWithPlaceholders(std::size_t length) {
    std::string text;
    while (text.size() < length)
        text += "<p>Ein Absatz mit <mytitle> und etwas Text darum herum.</p>\r\n";
    return text;
}

void BM_ReplacePlaceholder(benchmark::State& state) {
    const std::string text = TextWithPlaceholders(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(qlm::MyReplace(text, "<mytitle>", "Urlaub an der See"));
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ReplacePlaceholder)->RangeMultiplier(10)->Range(1000, 10000000)->Complexity(benchmark::oN);

// Every removal joins a new occurrence: restarting at the front each time would be quadratic.
void BM_ReplaceRunOfBlanks(benchmark::State& state) {
    const std::string text = "a" + std::string(static_cast<std::size_t>(state.range(0)), ' ') + "b";
    for (auto _ : state)
        benchmark::DoNotOptimize(qlm::MyReplace(text, "  ", " "));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReplaceRunOfBlanks)->RangeMultiplier(10)->Range(1000, 10000000)->Complexity(benchmark::oN);

// A picture's page as the run makes it: nineteen placeholders in turn over a page template that
// holds a few of them. Replacing each into a fresh copy of the page costs a pass per placeholder;
// replacing in place only where the page holds one costs a search for the others; filling the
// template as a run does searches only for those the page can hold.
const qlm::PlaceholderSequence& PageSequence() {
    static const qlm::PlaceholderSequence sequence = {
        {"<mypic>", "<img src=\"bild1.jpg\" width=\"1024\" height=\"768\" border=\"0\">"},
        {"<mytinypic>",
         "<img src=\"t_bild1.jpg\" width=\"160\" height=\"120\" alt=\"Am Strand\" border=\"0\">"},
        {"<mytext>", "Am <i>Strand</i><BR>Bild 1"},
        {"<myname>", "bild1"},
        {"<myalt>", "Am Strand Bild 1"},
        {"<mypicfile>", "bild1.jpg"},
        {"<mytinypicfile>", "t_bild1.jpg"},
        {"<myhtmlfile>", "bild1.html"},
        {"<mykeywords>", "Meer, Strand, Sonne"},
        {"<mydescription>", "Bilder von der See"},
        {"<myversion>", "2.0.0.1"},
        {"<mywidth>", "1024"},
        {"<myheight>", "768"},
        {"<mytinywidth>", "160"},
        {"<mytinyheight>", "120"},
        {"<mynumber>", "1"},
        {"<mycount>", "10000"},
        {"<myprevhtmlfile>", ""},
        {"<mynexthtmlfile>", "bild2.html"}};
    return sequence;
}

void BM_PageEachPlaceholderIntoACopy(benchmark::State& state) {
    const std::string page = Templates().pic;
    for (auto _ : state) {
        std::string text = page;
        for (const auto& [placeholder, value] : PageSequence())
            text = qlm::MyReplace(text, placeholder, value);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_PageEachPlaceholderIntoACopy);

// Each placeholder of `sequence` replaced in a fresh copy of `page`, one after the other.
void PlaceholdersInPlace(benchmark::State& state, const std::string& page,
                         const qlm::PlaceholderSequence& sequence) {
    for (auto _ : state) {
        std::string text = page;
        qlm::ApplyPlaceholders(sequence, text);
        benchmark::DoNotOptimize(text);
    }
}

// As a run fills its pages: the template's placeholders learnt once, the others never searched for.
void TemplateFilled(benchmark::State& state, const std::string& page,
                    const qlm::PlaceholderSequence& sequence) {
    qlm::TemplateFiller filler(page);
    for (auto _ : state)
        benchmark::DoNotOptimize(filler.Fill(sequence));
}

void BM_PagePlaceholdersInPlace(benchmark::State& state) {
    PlaceholdersInPlace(state, Templates().pic, PageSequence());
}
BENCHMARK(BM_PagePlaceholdersInPlace);

void BM_PageTemplateFilled(benchmark::State& state) {
    TemplateFilled(state, Templates().pic, PageSequence());
}
BENCHMARK(BM_PageTemplateFilled);

// The sample set's page (about 3 KB of style and script) for a picture without a text, as a run
// over a folder of many pictures fills it: the picture's placeholders, then the navigation and
// the web copies.
std::string SamplePage() {
    std::ifstream file(QLM_SAMPLE_TEMPLATES "Pic.html", std::ios::binary);
    if (!file)
        throw std::runtime_error("the sample page template cannot be read");
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

const qlm::PlaceholderSequence& SamplePageSequence() {
    static const qlm::PlaceholderSequence sequence = {
        {"<mypic>", "<img src=\"bild000002.jpg\" width=\"160\" height=\"120\" border=\"0\">"},
        {"<mytinypic>", "<img src=\"t_bild000002.jpg\" width=\"40\" height=\"30\" alt=\"\" border=\"0\">"},
        {"<mytext>", ""},
        {"<myname>", "bild000002"},
        {"<myalt>", ""},
        {"<mypicfile>", "bild000002.jpg"},
        {"<mytinypicfile>", "t_bild000002.jpg"},
        {"<myhtmlfile>", "bild000002.html"},
        {"<mykeywords>", ""},
        {"<mydescription>", ""},
        {"<myversion>", "2.0.0.1"},
        {"<mywidth>", "160"},
        {"<myheight>", "120"},
        {"<mytinywidth>", "40"},
        {"<mytinyheight>", "30"},
        {"<mynumber>", "2"},
        {"<mycount>", "10000"},
        {"<myprevhtmlfile>", "bild000001.html"},
        {"<mynexthtmlfile>", "bild000003.html"},
        {"<mywebpic>", "<img src=\"bild000002.jpg\" width=\"160\" height=\"120\" alt=\"\">"},
        {"<mywebpicfile>", "bild000002.jpg"},
        {"<mywebwidth>", "160"},
        {"<mywebheight>", "120"},
        {"<mywebsrcset>", ""}};
    return sequence;
}

void BM_SamplePagePlaceholdersInPlace(benchmark::State& state) {
    PlaceholdersInPlace(state, SamplePage(), SamplePageSequence());
}
BENCHMARK(BM_SamplePagePlaceholdersInPlace);

void BM_SamplePageTemplateFilled(benchmark::State& state) {
    TemplateFilled(state, SamplePage(), SamplePageSequence());
}
BENCHMARK(BM_SamplePageTemplateFilled);

// The same page for a picture whose text names it: a text that holds a placeholder is replaced
// again later, so this page is replaced placeholder by placeholder.
void BM_SamplePageTextWithPlaceholderFilled(benchmark::State& state) {
    qlm::PlaceholderSequence sequence = SamplePageSequence();
    sequence[2].second = "Das ist <myname>";
    TemplateFilled(state, SamplePage(), sequence);
}
BENCHMARK(BM_SamplePageTextWithPlaceholderFilled);

// A host that answers at once: fixed sizes, every file opened, no questions.
class QuietHost : public qlm::GenerationHost {
  public:
    std::string AskUser(const std::string&, qlm::AskKind) override { return "Antwort"; }
    std::optional<qlm::PictureSize> MyLoadPic(const std::string&) override {
        return qlm::PictureSize{1024, 768};
    }
    std::optional<qlm::PictureSize> LoadThumbnail(const std::string&) override {
        return qlm::PictureSize{160, 120};
    }
    void ShowWarning(const std::string&) override {}
    void ShowDecodeFailure(const std::string&, const std::string&) override {}
    void SetProgressLabel(const std::string&) override {}
    void SetProgressMaximum(int) override {}
    void SetProgressPosition(int) override {}
    void StepProgress() override {}
    void SetWorkingDisplay(bool) override {}
};

qlm::TemplateSet Templates() {
    qlm::TemplateSet set;
    set.main_head =
        "<html><head><title><mytitle></title><meta name=\"keywords\" content=\"<mykeywords>\">"
        "<meta name=\"description\" content=\"<mydescription>\"></head><body><h1><mytitle></h1>\r\n";
    set.main_rep = "<div class=\"bild\"><a href=\"<myhtmlfile>\"><mytinypic></a><br><myname></div>\r\n";
    set.main_tail = "<p>Erstellt mit Version <myversion></p></body></html>\r\n";
    set.pic = "<html><head><title><myname></title><meta name=\"keywords\" content=\"<mykeywords>\"></head>"
              "<body><mypic><p><mytext></p><p><mywidth> x <myheight> Pixel, Vorschau <mytinywidth> x "
              "<mytinyheight>: <mytinypicfile></p><a href=\"index.html\">Zur&uuml;ck</a> "
              "<myversion></body></html>\r\n";
    return set;
}

class BenchFolder {
  public:
    explicit BenchFolder(int pictures) {
        const char* chosen = std::getenv("QLM_BENCH_DIR");
        std::filesystem::path base = chosen != nullptr ? std::filesystem::path(chosen)
                                     : std::filesystem::is_directory("/dev/shm")
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::string pattern = (base / "qlm-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create " + pattern);
        root_ = pattern;
        Put("title.txt", "Urlaub 2003");
        Put("keywords.txt", "Meer, Strand, Sonne");
        Put("description.txt", "Bilder von der See");
        for (int i = 0; i < pictures; ++i) {
            names_.push_back("bild" + std::to_string(i) + ".jpg");
            Put("bild" + std::to_string(i) + ".txt", "Am <i>Strand</i>\r\nBild " + std::to_string(i));
        }
    }
    ~BenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    qlm::GenerationInput Input() const {
        qlm::GenerationInput input;
        input.folder = root_ + "/";
        input.pictures = names_;
        input.selected_entries = static_cast<int>(names_.size());
        input.templates = Templates();
        input.version = "2.0.0.1";
        return input;
    }

  private:
    void Put(const std::string& name, const std::string& text) { std::ofstream(root_ + "/" + name) << text; }
    std::string root_;
    std::vector<std::string> names_;
};

void BM_MakeGallery(benchmark::State& state) {
    BenchFolder folder(static_cast<int>(state.range(0)));
    const qlm::GenerationInput input = folder.Input();
    QuietHost host;
    for (auto _ : state)
        qlm::MakeGallery(input, host);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_MakeGallery)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

double Seconds(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs over 1,000 and over 10,000 pictures in turn and reports how many times the larger one took.
void BM_MakeGalleryScaling(benchmark::State& state) {
    BenchFolder small(1000), large(10000);
    const qlm::GenerationInput small_input = small.Input(), large_input = large.Input();
    QuietHost host;
    qlm::MakeGallery(small_input, host); // the first run has no backups to make yet
    qlm::MakeGallery(large_input, host);
    double small_time = 0, large_time = 0;
    for (auto _ : state) {
        small_time += Seconds([&] { qlm::MakeGallery(small_input, host); });
        large_time += Seconds([&] { qlm::MakeGallery(large_input, host); });
    }
    state.counters["ratio"] = large_time / small_time;
}
BENCHMARK(BM_MakeGalleryScaling)->Unit(benchmark::kMillisecond)->Iterations(3);

// The overview alone, as the run builds it: the picture sequence per entry, then the folder
// sequence over the whole page.
std::string BuildOverview(const qlm::TemplateSet& templates, int entries) {
    std::string overview = templates.main_head;
    for (int i = 0; i < entries; ++i) {
        std::string entry = templates.main_rep;
        entry = qlm::MyReplace(entry, "<myhtmlfile>", "bild" + std::to_string(i) + ".html");
        entry =
            qlm::MyReplace(entry, "<mytinypic>",
                           "<img src=\"t_bild" + std::to_string(i) +
                               ".jpg\" width=\"160\" height=\"120\" alt=\"Am Strand Bild\" border=\"0\">");
        entry = qlm::MyReplace(entry, "<myname>", "bild" + std::to_string(i));
        if (i == 0) // as the run does: room for every entry, judged by the first
            overview.reserve(overview.size() + (entry.size() + entry.size() / 4 + 64) * entries +
                             templates.main_tail.size());
        overview += entry;
    }
    overview += templates.main_tail;
    for (const char* placeholder : {"<mykeywords>", "<mydescription>", "<mytitle>", "<myversion>"})
        overview = qlm::MyReplace(overview, placeholder, "Wert");
    return overview;
}

void BM_OverviewScaling(benchmark::State& state) {
    const qlm::TemplateSet templates = Templates();
    double small_time = 0, large_time = 0;
    for (auto _ : state) {
        small_time += Seconds([&] { benchmark::DoNotOptimize(BuildOverview(templates, 1000)); });
        large_time += Seconds([&] { benchmark::DoNotOptimize(BuildOverview(templates, 10000)); });
    }
    state.counters["ratio"] = large_time / small_time;
}
BENCHMARK(BM_OverviewScaling)->Unit(benchmark::kMillisecond);

} // namespace

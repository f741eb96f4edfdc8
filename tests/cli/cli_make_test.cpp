// Runs the quillmoor-make program on folders of pictures and checks the pages, the stored answers,
// the messages and the exit status it leaves behind.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kBinary = QLM_MAKE_BINARY;
const fs::path kDemo = QLM_DEMO_DIR;
const fs::path kTemplates = QLM_TEMPLATES_DIR;

constexpr const char* kTitlePrompt = "Bitte geben Sie einen Title für diese Seite ein:";
constexpr const char* kKeywordsPrompt =
    "Bitte geben Sie keywords (durch Kommas getrennt) für diese Seite ein:";
constexpr const char* kDescriptionPrompt = "Bitte geben Sie eine description für diese Bilder ein:";
constexpr const char* kAltPrompt = "Bitte geben Sie einen ALT-Text für das nebenstehende Bild ein:";
constexpr const char* kTemplatesMissing =
    "Kann die Definitionsdatei(en) nicht laden! Das Programm wird beendet.";

class TempDir {
  public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/qlm-cli-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary folder");
        }
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `binary` with `args`, `input` as its standard input, in `working_dir` (empty: this one).
RunResult RunMake(const std::vector<std::string>& args, const std::string& input = "",
                  const fs::path& working_dir = {}, const fs::path& binary = kBinary) {
    TempDir io;
    WriteAll(io / "in", input);
    const std::string in_path = io / "in", out_path = io / "out", err_path = io / "err";
    std::vector<std::string> argv_text{binary.string()};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argv_text) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int in = open(in_path.c_str(), O_RDONLY);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
            _exit(127);
        }
        if (!working_dir.empty() && chdir(working_dir.c_str()) != 0) {
            _exit(127);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    RunResult result;
    int wait_status = 0;
    if (child > 0 && waitpid(child, &wait_status, 0) == child && WIFEXITED(wait_status)) {
        result.status = WEXITSTATUS(wait_status);
    }
    result.out = ReadAll(out_path);
    result.err = ReadAll(err_path);
    return result;
}

// A copy of the program in a folder of its own, so that a "QLM.ini" beside it is the test's.
fs::path PrivateBinary(const TempDir& dir) {
    const fs::path copy = dir / "quillmoor-make";
    fs::copy_file(kBinary, copy, fs::copy_options::overwrite_existing);
    fs::permissions(copy, fs::perms::owner_all);
    return copy;
}

void CopyDemo(const fs::path& to) {
    for (const fs::directory_entry& entry : fs::directory_iterator(kDemo)) {
        fs::copy_file(entry.path(), to / entry.path().filename());
    }
}

void CopyDemoFile(const std::string& name, const fs::path& to) {
    fs::copy_file(kDemo / name, to);
}

std::string Version() {
    return RunMake({"--version"}).out;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct DemoPicture {
    std::string file;
    std::string base;
    int width, height, thumb_width, thumb_height;
};

const std::vector<DemoPicture> kDemoPictures{
    {"bergsee.jpg", "bergsee", 640, 427, 180, 120},
    {"blumen.png", "blumen", 480, 320, 180, 120},
    {"leuchtturm.gif", "leuchtturm", 400, 300, 180, 135},
    {"nacht.jpg", "nacht", 640, 427, 180, 120},
    {"sonnenuntergang.jpg", "sonnenuntergang", 640, 427, 180, 120},
    {"wald.jpg", "wald", 427, 640, 90, 135},
};

TEST(CliGallery, NoAskMakesEveryPageOfTheDemoFolder) {
    TempDir dir;
    const fs::path folder = dir / "demo";
    fs::create_directory(folder);
    CopyDemo(folder);
    const fs::path binary = PrivateBinary(dir); // no QLM.ini: the default flags

    const RunResult run =
        RunMake({"--no-ask", "--templates", kTemplates.string(), folder.string()}, "", {}, binary);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << "every thumbnail exists, so nothing is to be said";

    const std::string index = ReadAll(folder / "index.html");
    const std::string version = Version().substr(0, Version().find('\n'));
    ASSERT_FALSE(version.empty());
    EXPECT_TRUE(Contains(index, "<title>" + ReadAll(folder / "title.txt") + "</title>"));
    EXPECT_TRUE(Contains(index, "content=\"" + ReadAll(folder / "keywords.txt") + "\""));
    EXPECT_TRUE(Contains(index, "<footer>Erstellt mit Quillmoor " + version + "</footer>"));
    EXPECT_FALSE(Contains(index, "<my")) << index;

    for (const DemoPicture& picture : kDemoPictures) {
        SCOPED_TRACE(picture.file);
        const std::string page = ReadAll(folder / (picture.base + ".html"));
        EXPECT_TRUE(Contains(page, "<img src=\"" + picture.file + "\" width=\"" +
                                       std::to_string(picture.width) + "\" height=\"" +
                                       std::to_string(picture.height) + "\" border=\"0\">"));
        EXPECT_TRUE(Contains(page, "<title>" + picture.base + "</title>"));
        EXPECT_TRUE(Contains(page, version));
        EXPECT_FALSE(Contains(page, "<my")) << page;
        // Images without Alt is on by default: the thumbnail tag ends right after its height.
        EXPECT_TRUE(Contains(index, "<a href=\"" + picture.base + ".html\"><img src=\"t_" + picture.file +
                                        "\" width=\"" + std::to_string(picture.thumb_width) + "\" height=\"" +
                                        std::to_string(picture.thumb_height) + "\" border=\"0\"></a>"));
    }
    // Two-line texts keep their line break as <BR> on the page.
    EXPECT_TRUE(Contains(ReadAll(folder / "nacht.html"),
                         "<figcaption>Die Stadt bei Nacht<BR>Über den Dächern steht die <i>Mondsichel</i>."));
    // The lighthouse has no text: nothing was asked, nothing stored, and its page has no caption text.
    EXPECT_FALSE(fs::exists(folder / "leuchtturm.txt"));
    EXPECT_TRUE(Contains(ReadAll(folder / "leuchtturm.html"), "<figcaption></figcaption>"));
}

TEST(CliGallery, AnswersComeFromStandardInputInTheOrderOfTheQuestions) {
    TempDir dir;
    CopyDemoFile("bergsee.jpg", dir / "bergsee.jpg");
    CopyDemoFile("t_bergsee.jpg", dir / "t_bergsee.jpg");
    CopyDemoFile("nacht.jpg", dir / "nacht.jpg");
    CopyDemoFile("t_nacht.jpg", dir / "t_nacht.jpg");

    // Title, keywords, an empty description (a CR LF line), the first picture's text; the input
    // ends before the second picture's text, which declines it.
    const std::string answers = "Mein Titel\nBerge, Nacht\n\r\nEin <b>See</b>  \r\n";
    const RunResult run = RunMake({"--keywords", "--description", "--alt", "--img-with-alt", "--templates",
                                   kTemplates.string(), dir.path().string()},
                                  answers);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");

    const std::vector<std::string> prompts{kTitlePrompt, kKeywordsPrompt, kDescriptionPrompt,
                                           std::string("bergsee.jpg: ") + kAltPrompt,
                                           std::string("nacht.jpg: ") + kAltPrompt};
    std::string::size_type from = 0;
    for (const std::string& prompt : prompts) {
        const std::string::size_type at = run.err.find(prompt + "\n", from);
        ASSERT_NE(at, std::string::npos) << "missing or out of order: " << prompt << "\n" << run.err;
        from = at + prompt.size();
    }

    EXPECT_EQ(ReadAll(dir / "title.txt"), "Mein Titel");
    EXPECT_EQ(ReadAll(dir / "keywords.txt"), "Berge, Nacht");
    EXPECT_TRUE(fs::exists(dir / "description.txt"));
    EXPECT_EQ(ReadAll(dir / "description.txt"), "");
    EXPECT_EQ(ReadAll(dir / "bergsee.txt"), "Ein <b>See</b>  ");
    EXPECT_EQ(ReadAll(dir / "nacht.txt"), "<notext>");

    const std::string index = ReadAll(dir / "index.html");
    EXPECT_TRUE(Contains(index, "<title>Mein Titel</title>"));
    EXPECT_TRUE(Contains(index, "height=\"120\" alt=\"Ein See  \" border=\"0\">"));
    EXPECT_TRUE(
        Contains(index, "<img src=\"t_nacht.jpg\" width=\"180\" height=\"120\" alt=\"\" border=\"0\">"));
    EXPECT_TRUE(Contains(ReadAll(dir / "bergsee.html"), "<figcaption>Ein <b>See</b>  </figcaption>"));

    // Every text is stored now: a second run asks nothing and reads no input.
    const RunResult again = RunMake({"--templates", kTemplates.string(), dir.path().string()}, "unread\n");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_FALSE(Contains(again.err, "Bitte")) << again.err;
    EXPECT_EQ(ReadAll(dir / "index.html.bak"), index);
}

TEST(CliGallery, PicturesFollowTheOrderOfTheFolderList) {
    TempDir dir;
    const fs::path folder = dir / "bilder";
    fs::create_directory(folder);
    fs::create_directory(folder / "album.jpg"); // a folder, never a picture
    CopyDemoFile("bergsee.jpg", folder / "zebra.jpg");
    CopyDemoFile("nacht.jpg", folder / "apfel.JPG");
    CopyDemoFile("wald.jpg", folder / "Birne.jpeg");
    CopyDemoFile("blumen.png", folder / "citrone.png");
    CopyDemoFile("leuchtturm.gif", folder / "Dattel.gif");
    CopyDemoFile("t_bergsee.jpg", folder / "t_zebra.jpg");
    WriteAll(folder / "title.txt", "Obst");

    const auto entry_order = [&folder](const std::vector<std::string>& bases) {
        const std::string index = ReadAll(folder / "index.html");
        std::vector<std::string::size_type> positions;
        for (const std::string& base : bases) {
            positions.push_back(index.find("<a href=\"" + base + ".html\">"));
        }
        return positions;
    };

    const RunResult all =
        RunMake({"--no-ask", "--no-warn", "--templates", kTemplates.string(), folder.string()});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.err, "");
    const auto positions = entry_order({"apfel", "Birne", "citrone", "Dattel", "zebra"});
    for (std::size_t i = 0; i < positions.size(); ++i) {
        ASSERT_NE(positions[i], std::string::npos) << i;
        if (i > 0) {
            EXPECT_LT(positions[i - 1], positions[i]) << i;
        }
    }
    EXPECT_FALSE(fs::exists(folder / "t_zebra.html"));
    // Nothing was asked, so no text file was made either.
    for (const char* text_file : {"keywords.txt", "description.txt", "apfel.txt", "zebra.txt"}) {
        EXPECT_FALSE(fs::exists(folder / text_file)) << text_file;
    }

    // Named pictures, in any order and even twice, are taken in list order, each once; missing
    // thumbnails are reported one by one.
    fs::remove(folder / "index.html");
    const RunResult some = RunMake({"--no-ask", "--warn", "--templates", kTemplates.string(), folder.string(),
                                    "zebra.jpg", "apfel.JPG", "Dattel.gif", "zebra.jpg"});
    ASSERT_EQ(some.status, 0) << some.err;
    EXPECT_EQ(some.err, "Der Thumbnail t_apfel.JPG fehlt!\nDer Thumbnail t_Dattel.gif fehlt!\n");
    const std::string index = ReadAll(folder / "index.html");
    const auto chosen = entry_order({"apfel", "Dattel", "zebra"});
    EXPECT_LT(chosen[0], chosen[1]);
    EXPECT_LT(chosen[1], chosen[2]);
    EXPECT_EQ(index.find("zebra.html"), index.rfind("zebra.html"));
    EXPECT_FALSE(Contains(index, "Birne"));
}

TEST(CliGallery, TemplatesComeFromTheWorkingDirectoryUnlessNamed) {
    TempDir dir;
    const fs::path own = dir / "own";
    const fs::path folder = dir / "pics";
    fs::create_directory(own);
    fs::create_directory(folder);
    WriteAll(own / "MainHead.html", "HEAD <mytitle>|");
    WriteAll(own / "MainRep.html", "[<myname> <mytitle>]");
    WriteAll(own / "MainTail.html", "|TAIL");
    WriteAll(own / "Pic.html", "PAGE <myname> <mytitle> <mywidth>x<myheight>");
    CopyDemoFile("blumen.png", folder / "blumen.png");
    CopyDemoFile("t_blumen.png", folder / "t_blumen.png");
    WriteAll(folder / "title.txt", "Wiese");

    const RunResult from_cwd = RunMake({"--no-ask", folder.string()}, "", own);
    ASSERT_EQ(from_cwd.status, 0) << from_cwd.err;
    EXPECT_EQ(ReadAll(folder / "index.html"), "HEAD Wiese|[blumen Wiese]|TAIL");
    // Picture pages get no title: the placeholder stays as written.
    EXPECT_EQ(ReadAll(folder / "blumen.html"), "PAGE blumen <mytitle> 480x320");

    const RunResult named =
        RunMake({"--no-ask", "--templates", kTemplates.string(), folder.string()}, "", own);
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(Contains(ReadAll(folder / "index.html"), "<!DOCTYPE html>"));

    // A relative folder is taken from the working directory.
    const RunResult relative = RunMake({"--no-ask", "../pics"}, "", own);
    ASSERT_EQ(relative.status, 0) << relative.err;
    EXPECT_EQ(ReadAll(folder / "index.html"), "HEAD Wiese|[blumen Wiese]|TAIL");
}

TEST(CliGallery, SavedSettingsAreTheDefaultsAndOptionsOverrideThem) {
    TempDir dir;
    const fs::path binary = PrivateBinary(dir);
    WriteAll(dir / "QLM.ini", "[Settings]\r\nDir=/\r\nKeywords=false\r\nDescription=no\r\nAlt=false\r\n"
                              "Warn=false\r\nImgWoAlt=false\r\nThumbsJPG=true\r\n");
    const fs::path folder = dir / "pics";
    fs::create_directory(folder);
    CopyDemoFile("blumen.png", folder / "blumen.png");
    CopyDemoFile("t_blumen.png", folder / "t_blumen.png");
    WriteAll(folder / "blumen.txt", "Blumen");

    // From the settings: only the title is asked, thumbnails are looked for as .jpg and not
    // missed aloud, and the thumbnail tag has its alt text.
    const RunResult saved =
        RunMake({"--templates", kTemplates.string(), folder.string()}, "Titel\n", {}, binary);
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.err, std::string(kTitlePrompt) + "\n");
    EXPECT_FALSE(fs::exists(folder / "keywords.txt"));
    EXPECT_FALSE(fs::exists(folder / "description.txt"));
    EXPECT_TRUE(Contains(ReadAll(folder / "index.html"), "<img src=\"t_blumen.jpg\" width=\"0\" height=\"0\" "
                                                         "alt=\"Blumen\" border=\"0\">"));

    const RunResult overridden = RunMake({"--templates", kTemplates.string(), "--warn", "--no-thumbs-jpg",
                                          "--img-without-alt", "--keywords", folder.string()},
                                         "Schlagworte\n", {}, binary);
    ASSERT_EQ(overridden.status, 0) << overridden.err;
    EXPECT_EQ(overridden.err, std::string(kKeywordsPrompt) + "\n");
    EXPECT_EQ(ReadAll(folder / "keywords.txt"), "Schlagworte");
    EXPECT_TRUE(Contains(ReadAll(folder / "index.html"),
                         "<img src=\"t_blumen.png\" width=\"180\" height=\"120\" border=\"0\">"));

    const RunResult missing =
        RunMake({"--no-ask", "--templates", kTemplates.string(), "--warn", folder.string()}, "", {}, binary);
    ASSERT_EQ(missing.status, 0) << missing.err;
    EXPECT_EQ(missing.err, "Der Thumbnail t_blumen.jpg fehlt!\n");
}

TEST(CliGallery, APageThatCannotBeWrittenFailsTheRunButNotTheOthers) {
    TempDir dir;
    CopyDemoFile("bergsee.jpg", dir / "bergsee.jpg");
    CopyDemoFile("t_bergsee.jpg", dir / "t_bergsee.jpg");
    CopyDemoFile("nacht.jpg", dir / "nacht.jpg");
    CopyDemoFile("t_nacht.jpg", dir / "t_nacht.jpg");
    fs::create_directory(dir / "bergsee.html"); // in the way of the page

    const RunResult run = RunMake({"--no-ask", "--templates", kTemplates.string(), dir.path().string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Folgende Dateien konnten nicht geschrieben werden:\nbergsee.html\n");
    EXPECT_TRUE(fs::is_directory(dir / "bergsee.html"));
    EXPECT_TRUE(fs::exists(dir / "nacht.html"));
    EXPECT_TRUE(Contains(ReadAll(dir / "index.html"), "href=\"bergsee.html\""));
}

TEST(CliGallery, ControlCharactersOfNamesDoNotReachTheTerminal) {
    TempDir dir;
    const std::string name = "x\x1b]0;title\x07.jpg";
    CopyDemoFile("bergsee.jpg", dir / name);

    const RunResult run =
        RunMake({"--no-ask", "--warn", "--templates", kTemplates.string(), dir.path().string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "Der Thumbnail t_x?]0;title?.jpg fehlt!\n");
    // The page itself keeps the name as it is.
    EXPECT_TRUE(Contains(ReadAll(dir / "x\x1b]0;title\x07.html"), "<img src=\"" + name + "\""));
}

// The exit status and message of runs that cannot finish.
struct FailureCase {
    std::string name;
    std::vector<std::string> args; // "{folder}" stands for the picture folder, "{empty}" for an empty one
    int status;
    std::string message;           // part of standard error
    std::vector<std::string> made; // files written before the run stopped
    std::vector<std::string> not_made;
};

void PrintTo(const FailureCase& failure, std::ostream* out) {
    *out << failure.name;
}

class CliFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(CliFailure, StopsWithItsStatusAndMessage) {
    const FailureCase& failure = GetParam();
    TempDir dir;
    const fs::path folder = dir / "pics";
    const fs::path empty = dir / "empty";
    fs::create_directory(folder);
    fs::create_directory(empty);
    CopyDemoFile("bergsee.jpg", folder / "a.jpg");
    CopyDemoFile("t_bergsee.jpg", folder / "t_a.jpg");
    WriteAll(folder / "b.jpg", std::string("\xFF\xD8\xFF\xE0") + " this is no JPEG at all");
    CopyDemoFile("bergsee.jpg", folder / "c.jpg");
    WriteAll(folder / "t_c.jpg", "GIF89a, not a JPEG either");
    WriteAll(folder / "d.gif", "GIF89a");
    WriteAll(folder / "title.txt", "Fehler");

    std::vector<std::string> args;
    for (std::string arg : failure.args) {
        if (arg == "{folder}") {
            arg = folder.string();
        } else if (arg == "{empty}") {
            arg = empty.string();
        }
        args.push_back(arg);
    }
    const RunResult run = RunMake(args);
    EXPECT_EQ(run.status, failure.status) << run.err;
    EXPECT_TRUE(Contains(run.err, failure.message)) << run.err;
    for (const std::string& name : failure.made) {
        EXPECT_TRUE(fs::exists(folder / name)) << name;
    }
    for (const std::string& name : failure.not_made) {
        EXPECT_FALSE(fs::exists(folder / name)) << name;
    }
}

const std::string kT = QLM_TEMPLATES_DIR;

INSTANTIATE_TEST_SUITE_P(
    Runs, CliFailure,
    testing::Values(
        FailureCase{"DamagedPicture",
                    {"--no-ask", "--templates", kT, "{folder}"},
                    1,
                    "b.jpg: ",
                    {"a.html"},
                    {"b.html", "index.html"}},
        FailureCase{"DamagedThumbnail",
                    {"--no-ask", "--templates", kT, "{folder}", "c.jpg"},
                    1,
                    "t_c.jpg: ",
                    {},
                    {"c.html", "index.html"}},
        FailureCase{"DamagedGif",
                    {"--no-ask", "--templates", kT, "{folder}", "d.gif"},
                    1,
                    "d.gif: ",
                    {},
                    {"d.html", "index.html"}},
        FailureCase{"TemplatesMissing",
                    {"--no-ask", "--templates", "{empty}", "{folder}"},
                    2,
                    std::string(kTemplatesMissing) + "\n",
                    {},
                    {"a.html", "index.html"}},
        FailureCase{
            "FolderMissing", {"--no-ask", "--templates", kT, "{folder}/nowhere"}, 1, "/nowhere/: ", {}, {}},
        FailureCase{
            "FolderWithoutPictures", {"--no-ask", "--templates", kT, "{empty}"}, 1, "no pictures", {}, {}},
        FailureCase{"NoFolder", {"--no-ask"}, 64, "Usage: ", {}, {}},
        FailureCase{"UnknownOption", {"--no-such", "{folder}"}, 64, "--no-such", {}, {"index.html"}},
        FailureCase{
            "TemplatesWithoutFolder", {"{folder}", "--templates"}, 64, "--templates", {}, {"index.html"}},
        FailureCase{"PictureNotInFolder",
                    {"--no-ask", "--templates", kT, "{folder}", "a.jpg", "x.jpg"},
                    64,
                    "x.jpg",
                    {},
                    {"a.html", "index.html"}},
        FailureCase{"ThumbnailIsNoPicture",
                    {"--no-ask", "--templates", kT, "{folder}", "t_a.jpg"},
                    64,
                    "t_a.jpg",
                    {},
                    {"index.html"}},
        FailureCase{"TextFileIsNoPicture",
                    {"--no-ask", "--templates", kT, "{folder}", "title.txt"},
                    64,
                    "title.txt",
                    {},
                    {"index.html"}}),
    [](const testing::TestParamInfo<FailureCase>& param_info) { return param_info.param.name; });

// "a.b.c.d" of four decimal numbers, or "?.?.?.?", and a line break.
bool IsVersionLine(const std::string& text) {
    if (text == "?.?.?.?\n") {
        return true;
    }
    int numbers = 0;
    std::size_t digits = 0;
    for (const char c : text.substr(0, text.empty() ? 0 : text.size() - 1)) {
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' && digits > 0) {
            ++numbers;
            digits = 0;
        } else {
            return false;
        }
    }
    return text.ends_with('\n') && digits > 0 && numbers == 3;
}

TEST(CliInformation, VersionAndHelpGoToStandardOutput) {
    const RunResult version = RunMake({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(IsVersionLine(version.out)) << version.out;
    const RunResult help = RunMake({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Contains(help.out, "Usage: quillmoor-make [OPTION...] FOLDER [PICTURE...]"));
    EXPECT_EQ(help.err, "");
}

} // namespace

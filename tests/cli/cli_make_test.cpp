// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the quillmoor-make program on folders of pictures and checks the pages, the stored answers,
// the messages and the exit status it leaves behind.

#include "platform/file_marks.h"
#include "platform/file_ops.h"
#include "platform/temporary_files.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
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

using qlm::test::ReadFile;
using qlm::test::TempFolder;
using qlm::test::WriteFile;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// The user "nobody", for runs that must not have root's right to write everywhere.
constexpr uid_t kNobody = 65534;

// Runs `binary` with `args`, `input` as its standard input, in `working_dir` (empty: this one),
// as `user` when the test runs as root.
RunResult RunMake(const std::vector<std::string>& args, const std::string& input = "",
                  const fs::path& working_dir = {}, const fs::path& binary = kBinary,
                  std::optional<uid_t> user = std::nullopt) {
    TempFolder io;
    WriteFile(io / "in", input);
    const std::string in_path = io / "in", out_path = io / "out", err_path = io / "err";
    std::vector<std::string> argv_text{binary.string()};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argv_text)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int in = open(in_path.c_str(), O_RDONLY);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
            (!working_dir.empty() && chdir(working_dir.c_str()) != 0))
            _exit(127);
        if (user && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(*user) != 0 || setuid(*user) != 0))
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    RunResult result;
    int wait_status = 0;
    if (child > 0 && waitpid(child, &wait_status, 0) == child && WIFEXITED(wait_status))
        result.status = WEXITSTATUS(wait_status);
    result.out = ReadFile(out_path);
    result.err = ReadFile(err_path);
    return result;
}

// A copy of the program in a folder of its own, so that a "QLM.ini" beside it is the test's.
fs::path PrivateBinary(const TempFolder& dir) {
    const fs::path copy = dir / "quillmoor-make";
    fs::copy_file(kBinary, copy, fs::copy_options::overwrite_existing);
    fs::permissions(copy, fs::perms::owner_all);
    return copy;
}

// Copies demo pictures with their thumbnails into `to`.
void CopyDemo(const fs::path& to, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        fs::copy_file(kDemo / name, to / name);
        fs::copy_file(kDemo / ("t_" + name), to / ("t_" + name));
    }
}

// The sample templates with an overview entry made of the thumbnail tag the run forms, so that
// the option flags show in the overview (the sample entry writes a tag of its own).
fs::path TagTemplates(const TempFolder& dir) {
    const fs::path templates = dir / "tag-templates";
    fs::copy(kTemplates, templates);
    WriteFile(templates / "MainRep.html", "<a href=\"<myhtmlfile>\"><mytinypic></a>\n");
    return templates;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The generator's byte output is checked by the core tests; this run proves that the tool wires
// folder list, settings, templates, picture sizes and version into it.
TEST(CliGallery, NoAskMakesEveryPageOfTheDemoFolder) {
    TempFolder dir;
    const fs::path folder = dir / "demo";
    fs::copy(kDemo, folder);
    const fs::path binary = PrivateBinary(dir); // no QLM.ini: the default flags

    const RunResult run =
        RunMake({"--no-ask", "--templates", kTemplates.string(), folder.string()}, "", {}, binary);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << "every thumbnail exists, so nothing is to be said";

    const std::string index = ReadFile(folder / "index.html");
    const std::string version = RunMake({"--version"}).out;
    // "a.b.c.d" or "?.?.?.?"; the exact form is checked where the version string is built.
    ASSERT_TRUE(version.ends_with('\n')) << version;
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 3) << version;
    EXPECT_EQ(version.find_first_not_of("0123456789.?\n"), std::string::npos) << version;
    EXPECT_TRUE(Contains(index, "<title>" + ReadFile(folder / "title.txt") + "</title>"));
    EXPECT_TRUE(Contains(index, "<footer>Erstellt mit Quillmoor " + version.substr(0, version.size() - 1) +
                                    "</footer>"));
    EXPECT_FALSE(Contains(index, "<my")) << index;

    // Each decoder's natural size reaches the page, whatever the tool decoded to measure it.
    struct Picture {
        std::string file, size, thumb_size;
    };
    for (const Picture& picture : {Picture{"bergsee.jpg", "640\" height=\"427", "180\" height=\"120"},
                                   Picture{"blumen.png", "480\" height=\"320", "180\" height=\"120"},
                                   Picture{"leuchtturm.gif", "400\" height=\"300", "180\" height=\"135"},
                                   Picture{"wald.jpg", "427\" height=\"640", "90\" height=\"135"}}) {
        SCOPED_TRACE(picture.file);
        const std::string base = picture.file.substr(0, picture.file.find('.'));
        const std::string page = ReadFile(folder / (base + ".html"));
        // The sample page writes the picture's own tag, with its web copies, and its size.
        EXPECT_TRUE(Contains(page, "<img src=\"" + picture.file + "\" srcset=\""));
        EXPECT_TRUE(Contains(page, "\" width=\"" + picture.size + "\" alt=\""));
        EXPECT_FALSE(Contains(page, "<my")) << page;
        // The sample overview writes its own thumbnail tag, with the alt text whatever the flags.
        EXPECT_TRUE(Contains(index, "<img src=\"t_" + picture.file + "\" width=\"" + picture.thumb_size +
                                        "\" alt=\""));
    }

    // Decoding every picture instead of reading its headers gives the same pages, byte for byte.
    const fs::path verified = dir / "verified";
    fs::copy(kDemo, verified);
    const RunResult verify_run = RunMake(
        {"--no-ask", "--verify", "--templates", kTemplates.string(), verified.string()}, "", {}, binary);
    ASSERT_EQ(verify_run.status, 0) << verify_run.err;
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".html")
            continue;
        ++pages;
        EXPECT_EQ(ReadFile(verified / entry.path().filename()), ReadFile(entry.path())) << entry.path();
    }
    EXPECT_GE(pages, 5);

    // Help goes to standard output.
    const RunResult help = RunMake({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Contains(help.out, "Usage: quillmoor-make [OPTION...] FOLDER [PICTURE...]")) << help.out;
}

// A command line that cannot be used is named with its reason and the short usage, exit code 64;
// a wrong value is reported before a combination that does not hold together, and --help, when
// every option is known, wins over such a combination.
TEST(CliOptions, UnusableCommandLinesGiveTheirReason) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--frobnicate", "x"}, "unknown option --frobnicate"},
        {{"--help", "--bogus"}, "unknown option --bogus"},
        {{"--thumb-size", "0", "--make-thumbnails", "x"},
         "option --thumb-size needs a number of pixels from 1 to 4000"},
        {{"--thumb-size=100", "x"}, "option --thumb-size works only with --make-thumbnails"},
        {{"--make-web-pictures", "--web-sizes", "800,800", "x"},
         "option --web-sizes needs sizes in pixels from 1 to 10000, each once, separated by commas (such "
         "as 800,1600)"},
        {{"--web-sizes=800", "x"}, "option --web-sizes works only with --make-web-pictures"},
        {{"--templates=", "x"}, "option --templates needs a folder"},
        {{"x", "--templates"}, "option --templates needs a folder"},
        {{"--no-ask"}, "no FOLDER given"},
        {{"", "a.jpg"}, "FOLDER is empty"},
    };
    for (const auto& [args, reason] : cases) {
        const RunResult run = RunMake(args);
        EXPECT_EQ(run.status, 64) << reason;
        EXPECT_EQ(run.err, "quillmoor-make: " + reason +
                               "\nUsage: quillmoor-make [OPTION...] FOLDER [PICTURE...]\n"
                               "Try 'quillmoor-make --help' for more information.\n");
    }
    const RunResult help = RunMake({"--help", "--thumb-size=5"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Contains(help.out, "Usage: quillmoor-make")) << help.out;
}

// A rerun over an unchanged folder writes nothing: no file gets a new time, no ".bak" appears.
// On a terminal (a pseudo-terminal made by script(1)) the last line names the overview page.
TEST(CliGallery, OnATerminalTheLastLineNamesTheOverviewPage) {
    if (!fs::exists("/usr/bin/script"))
        GTEST_SKIP() << "script(1) is not installed";
    TempFolder dir;
    const fs::path folder = dir / "demo";
    fs::copy(kDemo, folder);
    const std::string command =
        kBinary.string() + " --no-ask --templates '" + kTemplates.string() + "' '" + folder.string() + "'";
    const RunResult run = RunMake({"-q", "-e", "-c", command, "/dev/null"}, "", {}, "/usr/bin/script");
    ASSERT_EQ(run.status, 0) << run.out;
    // The progress line is cleared with a carriage return and an erase to the end of the line.
    std::string last = run.out;
    while (!last.empty() && (last.back() == '\n' || last.back() == '\r'))
        last.pop_back();
    last = last.substr(last.find_last_of("\r\n") + 1);
    if (last.starts_with("\x1B[K"))
        last.erase(0, 3);
    EXPECT_EQ(last, "quillmoor-make: overview page " + (folder / "index.html").string()) << run.out;
}

TEST(CliGallery, ARerunOverAnUnchangedFolderWritesNothing) {
    TempFolder dir;
    const fs::path folder = dir / "demo";
    fs::copy(kDemo, folder);
    fs::remove(folder / "title.txt");
    const fs::path binary = PrivateBinary(dir); // no QLM.ini: every question is asked
    const std::vector<std::string> args{"--templates", kTemplates.string(), folder.string()};
    ASSERT_EQ(RunMake(args, "Titel\n", {}, binary).status, 0);

    const timespec long_ago[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    std::set<std::string> before;
    for (const auto& entry : fs::directory_iterator(folder)) {
        before.insert(entry.path().filename().string());
        ASSERT_EQ(utimensat(AT_FDCWD, entry.path().c_str(), long_ago, 0), 0);
    }
    ASSERT_TRUE(before.contains("index.html") && before.contains("title.txt"));
    for (const bool verify : {false, true}) {
        std::vector<std::string> again = args;
        if (verify)
            again.insert(again.begin(), "--verify");
        const RunResult rerun = RunMake(again, "", {}, binary);
        ASSERT_EQ(rerun.status, 0) << rerun.err;
        std::set<std::string> after;
        for (const auto& entry : fs::directory_iterator(folder)) {
            after.insert(entry.path().filename().string());
            struct stat state {};
            ASSERT_EQ(stat(entry.path().c_str(), &state), 0);
            EXPECT_EQ(state.st_mtim.tv_sec, 1'000'000'000) << entry.path();
        }
        EXPECT_EQ(after, before);
    }
}

TEST(CliGallery, AnswersComeFromStandardInputInTheOrderOfTheQuestions) {
    TempFolder dir;
    CopyDemo(dir.Root(), {"bergsee.jpg", "nacht.jpg"});

    // Title, keywords, an empty description (a CR LF line), the first picture's text; the input
    // ends before the second picture's text, which declines it.
    const RunResult run = RunMake({"--keywords", "--description", "--alt", "--img-with-alt", "--templates",
                                   kTemplates.string(), dir.Root()},
                                  "Mein Titel\nBerge, Nacht\n\r\nEin <b>See</b>  \r\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");

    std::string::size_type from = 0;
    for (const std::string& prompt :
         {std::string(kTitlePrompt), std::string(kKeywordsPrompt), std::string(kDescriptionPrompt),
          "bergsee.jpg: " + std::string(kAltPrompt), "nacht.jpg: " + std::string(kAltPrompt)}) {
        const std::string::size_type at = run.err.find(prompt + "\n", from);
        ASSERT_NE(at, std::string::npos) << "missing or out of order: " << prompt << "\n" << run.err;
        from = at + prompt.size();
    }
    EXPECT_EQ(ReadFile(dir / "title.txt"), "Mein Titel");
    EXPECT_EQ(ReadFile(dir / "keywords.txt"), "Berge, Nacht");
    EXPECT_TRUE(fs::exists(dir / "description.txt"));
    EXPECT_EQ(ReadFile(dir / "description.txt"), "");
    EXPECT_EQ(ReadFile(dir / "bergsee.txt"), "Ein <b>See</b>  ");
    EXPECT_EQ(ReadFile(dir / "nacht.txt"), "<notext>");
    const std::string index = ReadFile(dir / "index.html");
    EXPECT_TRUE(Contains(index, "<title>Mein Titel</title>"));

    // Every text is stored now: a second run asks nothing and reads no input.
    const RunResult again = RunMake({"--templates", kTemplates.string(), dir.Root()}, "unread\n");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_FALSE(Contains(again.err, "Bitte")) << again.err;
    // Nothing changed, so nothing is written again and no backup is made.
    EXPECT_EQ(ReadFile(dir / "index.html"), index);
    EXPECT_FALSE(fs::exists(dir / "index.html.bak"));
}

// Named pictures, in any order and even twice, are taken in list order, each once; missing
// thumbnails are reported one by one.
TEST(CliGallery, NamedPicturesFollowTheOrderOfTheFolderList) {
    TempFolder dir;
    const fs::path folder = dir.Root();
    const char* copies[][2] = {{"bergsee.jpg", "zebra.jpg"},     {"nacht.jpg", "apfel.JPG"},
                               {"wald.jpg", "Birne.jpeg"},       {"blumen.png", "citrone.png"},
                               {"leuchtturm.gif", "Dattel.gif"}, {"t_bergsee.jpg", "t_zebra.jpg"}};
    for (const auto& [from, to] : copies)
        fs::copy_file(kDemo / from, folder / to);
    WriteFile(folder / "title.txt", "Obst");

    const RunResult run = RunMake({"--no-ask", "--warn", "--templates", TagTemplates(dir).string(),
                                   folder.string(), "zebra.jpg", "apfel.JPG", "Dattel.gif", "zebra.jpg"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "Der Thumbnail t_apfel.JPG fehlt!\nDer Thumbnail t_Dattel.gif fehlt!\n");
    const std::string index = ReadFile(folder / "index.html");
    std::string::size_type previous = 0;
    for (const std::string base : {"apfel", "Dattel", "zebra"}) {
        const std::string::size_type at = index.find("<a href=\"" + base + ".html\">");
        ASSERT_NE(at, std::string::npos) << base;
        EXPECT_LT(previous, at) << base;
        EXPECT_EQ(at, index.rfind("<a href=\"" + base + ".html\">")) << base << " twice";
        previous = at;
    }
    EXPECT_FALSE(Contains(index, "Birne"));
    EXPECT_FALSE(fs::exists(folder / "keywords.txt")) << "nothing was asked, so nothing is stored";
}

TEST(CliGallery, TemplatesComeFromTheWorkingDirectoryUnlessNamed) {
    TempFolder dir;
    const fs::path own = dir / "own";
    const fs::path folder = dir / "pics";
    fs::create_directory(own);
    fs::create_directory(folder);
    WriteFile(own / "MainHead.html", "HEAD <mytitle>|");
    WriteFile(own / "MainRep.html", "[<myname> <mytitle>]");
    WriteFile(own / "MainTail.html", "|TAIL");
    WriteFile(own / "Pic.html", "PAGE <myname> <mywidth>x<myheight>");
    CopyDemo(folder, {"blumen.png"});
    WriteFile(folder / "title.txt", "Wiese");

    const RunResult from_cwd = RunMake({"--no-ask", folder.string()}, "", own);
    ASSERT_EQ(from_cwd.status, 0) << from_cwd.err;
    EXPECT_EQ(ReadFile(folder / "index.html"), "HEAD Wiese|[blumen Wiese]|TAIL");
    EXPECT_EQ(ReadFile(folder / "blumen.html"), "PAGE blumen 480x320");

    const RunResult named =
        RunMake({"--no-ask", "--templates", kTemplates.string(), folder.string()}, "", own);
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(Contains(ReadFile(folder / "index.html"), "<!DOCTYPE html>"));

    // A relative folder is taken from the working directory.
    const RunResult relative = RunMake({"--no-ask", "../pics"}, "", own);
    ASSERT_EQ(relative.status, 0) << relative.err;
    EXPECT_EQ(ReadFile(folder / "index.html"), "HEAD Wiese|[blumen Wiese]|TAIL");
}

// A program tree as installed: the program in bin/, the sample templates in the data folder
// beside it.
struct InstalledTree {
    TempFolder dir;
    fs::path binary;
    fs::path templates;

    InstalledTree() {
        fs::create_directory(dir / "bin");
        binary = dir / "bin/quillmoor-make";
        fs::copy_file(kBinary, binary);
        templates = fs::path(dir / "bin") / QLM_BINDIR_TO_DATADIR / "templates";
        fs::create_directories(templates);
        WriteFile(templates / "MainHead.html", "SAMPLE <mytitle>|");
        WriteFile(templates / "MainRep.html", "[<myname>]");
        WriteFile(templates / "MainTail.html", "|END");
        WriteFile(templates / "Pic.html", "SAMPLE PAGE <myname>");
        // The user's own templates are the test's, never those of whoever runs it.
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    }
};

TEST(CliGallery, InstalledTemplatesServeAWorkingDirectoryWithoutAny) {
    InstalledTree tree;
    const fs::path folder = tree.dir / "pics";
    const fs::path work = tree.dir / "wd";
    fs::create_directory(folder);
    fs::create_directory(work);
    CopyDemo(folder, {"blumen.png"});
    WriteFile(folder / "title.txt", "Wiese");

    const RunResult run = RunMake({"--no-ask", "--verbose", folder.string()}, "", work, tree.binary);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(folder / "index.html"), "SAMPLE Wiese|[blumen]|END");
    EXPECT_EQ(run.err, "quillmoor-make: settings from " + (tree.dir / "bin/QLM.ini") +
                           "\nquillmoor-make: templates from " +
                           fs::weakly_canonical(tree.templates).string() + "/\n" +
                           "quillmoor-make: overview page " + (folder / "index.html").string() + "\n");

    // Templates of the user's own in the working directory win, and one of them alone is taken as
    // an incomplete set of the user's, not mixed with the samples.
    WriteFile(work / "MainHead.html", "OWN <mytitle>|");
    const RunResult partial = RunMake({"--no-ask", folder.string()}, "", work, tree.binary);
    EXPECT_EQ(partial.status, 2);
    EXPECT_EQ(partial.err, std::string(kTemplatesMissing) + "\nquillmoor-make: looked in " +
                               fs::weakly_canonical(work).string() +
                               "/, missing: MainRep.html, MainTail.html, Pic.html\n"
                               "quillmoor-make: the templates could not be read; no page was written\n");
    for (const char* name : {"MainRep.html", "MainTail.html", "Pic.html"})
        fs::copy_file(tree.templates / name, work / name);
    const RunResult own = RunMake({"--no-ask", "--verbose", folder.string()}, "", work, tree.binary);
    ASSERT_EQ(own.status, 0) << own.err;
    EXPECT_EQ(ReadFile(folder / "index.html"), "OWN Wiese|[blumen]|END");
    EXPECT_TRUE(Contains(own.err, "templates from " + fs::weakly_canonical(work).string() + "/\n"))
        << own.err;

    // Without installed templates every folder tried is named with what it lacks.
    fs::remove_all(tree.templates);
    fs::remove_all(work);
    fs::create_directory(work);
    const RunResult none = RunMake({"--no-ask", folder.string()}, "", work, tree.binary);
    EXPECT_EQ(none.status, 2);
    const std::string all = ", missing: MainHead.html, MainRep.html, MainTail.html, Pic.html\n";
    EXPECT_TRUE(Contains(none.err, "looked in " + fs::weakly_canonical(work).string() + "/" + all))
        << none.err;
    EXPECT_TRUE(Contains(none.err, "looked in " + (tree.dir / "data/quillmoor/templates/") + all))
        << none.err;
    EXPECT_TRUE(Contains(none.err, "looked in " + fs::weakly_canonical(tree.templates).string() + "/" + all))
        << none.err;
}

// An installed tree with a picture folder, a working directory and the user's own template folder,
// whose MainHead.html is the user's.
struct OwnTemplatesTree : InstalledTree {
    fs::path folder = dir / "pics";
    fs::path work = dir / "wd";
    fs::path own = dir / "data/quillmoor/templates";

    OwnTemplatesTree() {
        fs::create_directories(own);
        fs::create_directory(folder);
        fs::create_directory(work);
        CopyDemo(folder, {"blumen.png"});
        WriteFile(folder / "title.txt", "Wiese");
        WriteFile(own / "MainHead.html", "USER <mytitle>|");
    }
};

TEST(CliGallery, TheUsersOwnTemplatesComeBetweenTheWorkingDirectoryAndTheSamples) {
    OwnTemplatesTree tree;
    const fs::path& folder = tree.folder;
    const fs::path& work = tree.work;
    const fs::path& own = tree.own;
    for (const char* name : {"MainRep.html", "MainTail.html", "Pic.html"})
        fs::copy_file(tree.templates / name, own / name);

    ASSERT_EQ(RunMake({"--no-ask", folder.string()}, "", work, tree.binary).status, 0);
    EXPECT_EQ(ReadFile(folder / "index.html"), "USER Wiese|[blumen]|END");

    WriteFile(work / "MainHead.html", "OWN <mytitle>|");
    for (const char* name : {"MainRep.html", "MainTail.html", "Pic.html"})
        fs::copy_file(tree.templates / name, work / name);
    ASSERT_EQ(RunMake({"--no-ask", folder.string()}, "", work, tree.binary).status, 0);
    EXPECT_EQ(ReadFile(folder / "index.html"), "OWN Wiese|[blumen]|END");

    // --templates names the one folder to use.
    const RunResult given =
        RunMake({"--no-ask", "--templates", own.string(), folder.string()}, "", work, tree.binary);
    ASSERT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(ReadFile(folder / "index.html"), "USER Wiese|[blumen]|END");
}

// A template renamed by hand in the user's own folder comes from the samples, with a warning
// that names it, and the run goes on; the working directory still gives all or nothing.
TEST(CliGallery, AnOwnFolderLackingATemplateTakesItFromTheSamples) {
    OwnTemplatesTree tree;
    const fs::path& folder = tree.folder;
    const fs::path& work = tree.work;
    const fs::path& own = tree.own;
    WriteFile(own / "MainRep.html", "{<myname>}");
    WriteFile(own / "MainTail.html", "|USER END");
    WriteFile(own / "Pic.html.old", "USER PAGE <myname>");

    const RunResult run = RunMake({"--no-ask", folder.string()}, "", work, tree.binary);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(folder / "index.html"), "USER Wiese|{blumen}|USER END");
    EXPECT_EQ(ReadFile(folder / "blumen.html"), "SAMPLE PAGE blumen");
    EXPECT_EQ(run.err, "Es fehlen Definitionsdatei(en) in " + own.string() +
                           "/: Pic.html\nErsatzweise genommen aus " +
                           fs::weakly_canonical(tree.templates).string() + "/: Pic.html\n");

    // Missing from the samples as well: the run ends as before, naming the samples too.
    fs::remove(tree.templates / "Pic.html");
    const RunResult none = RunMake({"--no-ask", folder.string()}, "", work, tree.binary);
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(Contains(none.err, "looked in " + own.string() + "/, missing: Pic.html\n")) << none.err;
    EXPECT_TRUE(Contains(none.err, "looked in " + fs::weakly_canonical(tree.templates).string() +
                                       "/, missing: Pic.html\n"))
        << none.err;
}

TEST(CliGallery, AProgramInAFolderTheUserCannotWriteKeepsItsSettingsInTheConfigFolder) {
    if (geteuid() != 0 && access("/", W_OK) == 0)
        GTEST_SKIP() << "this user can write everywhere";
    InstalledTree tree;
    const fs::path config = tree.dir / "config";
    fs::create_directories(config / "quillmoor");
    WriteFile(config / "quillmoor/QLM.ini", "[Settings]\r\nImgWoAlt=false\r\n");
    const fs::path folder = tree.dir / "pics";
    fs::create_directory(folder);
    CopyDemo(folder, {"blumen.png"});
    WriteFile(folder / "title.txt", "Wiese");
    WriteFile(folder / "blumen.txt", "Blumen");
    const fs::path templates = tree.dir / "t";
    fs::copy(kTemplates, templates);
    // Everything but the program's folder belongs to the user who runs it.
    if (geteuid() == 0) {
        for (const fs::path& path : fs::recursive_directory_iterator(tree.dir.Root())) {
            ASSERT_EQ(lchown(path.c_str(), kNobody, kNobody), 0) << path;
        }
        ASSERT_EQ(chown(tree.dir.Root().c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(chown((tree.dir / "bin").c_str(), 0, 0), 0);
        ASSERT_EQ(chown(tree.binary.c_str(), 0, 0), 0);
        fs::permissions(tree.dir.Root(),
                        fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    }
    fs::permissions(tree.dir / "bin",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const RunResult run =
        RunMake({"--no-ask", "--verbose", "--templates", templates.string(), folder.string()}, "", {},
                tree.binary, kNobody);
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "settings from " + (config / "quillmoor/QLM.ini").string() + "\n"))
        << run.err;
    // The saved "Images without Alt" off gives the thumbnail tag its alt text.
    EXPECT_TRUE(Contains(ReadFile(folder / "index.html"), "alt=\"Blumen\""))
        << ReadFile(folder / "index.html");

    // A writable "QLM.ini" beside the program stays in use.
    fs::permissions(tree.dir / "bin", fs::perms::owner_write, fs::perm_options::add);
    WriteFile(tree.dir / "bin/QLM.ini", "[Settings]\r\n");
    fs::permissions(tree.dir / "bin", fs::perms::owner_write, fs::perm_options::remove);
    if (geteuid() == 0) {
        ASSERT_EQ(chown((tree.dir / "bin/QLM.ini").c_str(), kNobody, kNobody), 0);
    }
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const RunResult beside =
        RunMake({"--no-ask", "--verbose", "--templates", templates.string(), folder.string()}, "", {},
                tree.binary, kNobody);
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(beside.status, 0) << beside.err;
    EXPECT_TRUE(Contains(beside.err, "settings from " + (tree.dir / "bin/QLM.ini") + "\n")) << beside.err;
    fs::permissions(tree.dir / "bin", fs::perms::owner_write, fs::perm_options::add);
}

TEST(CliGallery, SavedSettingsAreTheDefaultsAndOptionsOverrideThem) {
    TempFolder dir;
    const fs::path binary = PrivateBinary(dir);
    WriteFile(dir / "QLM.ini", "[Settings]\r\nDir=/\r\nKeywords=false\r\nDescription=no\r\nAlt=false\r\n"
                               "Warn=false\r\nImgWoAlt=false\r\nThumbsJPG=true\r\n");
    const fs::path folder = dir / "pics";
    fs::create_directory(folder);
    CopyDemo(folder, {"blumen.png"});
    WriteFile(folder / "blumen.txt", "Blumen");

    // From the settings: only the title is asked, thumbnails are looked for as .jpg and not
    // missed aloud, and the thumbnail tag has its alt text.
    const fs::path templates = TagTemplates(dir);
    const RunResult saved =
        RunMake({"--templates", templates.string(), folder.string()}, "Titel\n", {}, binary);
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.err, std::string(kTitlePrompt) + "\n");
    EXPECT_FALSE(fs::exists(folder / "keywords.txt"));
    EXPECT_TRUE(Contains(ReadFile(folder / "index.html"),
                         "<img src=\"t_blumen.jpg\" width=\"0\" height=\"0\" alt=\"Blumen\" border=\"0\">"));

    // Options win over the settings; thumbnails are still looked for as .jpg.
    const RunResult overridden = RunMake(
        {"--templates", templates.string(), "--warn", "--img-without-alt", "--keywords", folder.string()},
        "Schlagworte\n", {}, binary);
    ASSERT_EQ(overridden.status, 0) << overridden.err;
    EXPECT_EQ(overridden.err, std::string(kKeywordsPrompt) + "\nDer Thumbnail t_blumen.jpg fehlt!\n");
    EXPECT_EQ(ReadFile(folder / "keywords.txt"), "Schlagworte");
    EXPECT_TRUE(Contains(ReadFile(folder / "index.html"),
                         "<img src=\"t_blumen.jpg\" width=\"0\" height=\"0\" border=\"0\">"));
}

// The tool reads its settings beside itself at start; a FIFO there must not hold it up.
TEST(CliGallery, AFifoInPlaceOfTheSettingsFileIsNotWaitedFor) {
    TempFolder dir;
    const fs::path binary = PrivateBinary(dir);
    ASSERT_EQ(mkfifo((dir / "QLM.ini").c_str(), 0644), 0);
    const fs::path folder = dir / "pics";
    fs::create_directory(folder);
    CopyDemo(folder, {"blumen.png"});

    // timeout(1) ends a hang with status 124 instead of stalling the test run.
    const RunResult run =
        RunMake({"20", binary.string(), "--no-ask", "--templates", kTemplates.string(), folder.string()}, "",
                {}, "/usr/bin/timeout");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_fifo(dir / "QLM.ini"));
    EXPECT_TRUE(fs::exists(folder / "index.html"));
}

// GCC tells a sanitized build by these macros, clang by __has_feature.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QLM_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QLM_SANITIZED_BUILD 1
#endif
#endif

// A first picture text of 20 MB among 1,100 pictures: the overview page is sized from what its
// entries hold, so the run fits in an address space of 1.5 GB.
TEST(CliGallery, ALargeFirstTextAmongManyPicturesFitsInModestMemory) {
#ifdef QLM_SANITIZED_BUILD
    GTEST_SKIP() << "the sanitizers reserve far more address space than the limit";
#else
    TempFolder dir;
    const fs::path folder = dir / "pics";
    fs::create_directory(folder);
    fs::copy_file(kDemo / "t_leuchtturm.gif", folder / "p0000.gif");
    for (int i = 1; i < 1100; ++i) {
        std::string name = std::to_string(i);
        name = "p" + std::string(4 - name.size(), '0') + name + ".gif";
        fs::create_hard_link(folder / "p0000.gif", folder / name);
    }
    std::string text;
    while (text.size() < (std::size_t{20} << 20))
        text += std::string(98, 'x') + "\r\n";
    WriteFile(folder / "p0000.txt", text);
    // Templates that put every text into the overview page.
    const fs::path templates = dir / "templates";
    fs::create_directory(templates);
    for (const auto& [name, content] :
         {std::pair{"MainHead.html", "<mytitle>"}, std::pair{"MainRep.html", "<mytext>"},
          std::pair{"MainTail.html", "<myversion>"}, std::pair{"Pic.html", "<mytext>"}})
        WriteFile(templates / name, content);

    const RunResult run = RunMake({"--as=1610612736", kBinary.string(), "--no-ask", "--no-warn",
                                   "--templates", templates.string(), folder.string()},
                                  "", {}, "/usr/bin/prlimit");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_GT(fs::file_size(folder / "index.html"), text.size());
    EXPECT_TRUE(fs::exists(folder / "p1099.html"));
    EXPECT_EQ(ReadFile(folder / "p0000.txt"), text);
#endif
}

TEST(CliGallery, MissingThumbnailsAreMadeBeforeTheRunAndExistingOnesKept) {
    TempFolder dir;
    const fs::path folder = dir / "camera";
    fs::create_directory(folder);
    for (const char* name : {"blumen.png", "leuchtturm.gif", "wald.jpg"})
        fs::copy_file(kDemo / name, folder / name);
    WriteFile(folder / "t_wald.jpg", ReadFile(kDemo / "t_bergsee.jpg"));
    WriteFile(folder / "title.txt", "Kamera");

    const RunResult run =
        RunMake({"--no-ask", "--warn", "--no-thumbs-jpg", "--make-thumbnails", "--thumb-size", "100",
                 "--templates", kTemplates.string(), folder.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "quillmoor-make: thumbnails: 2 made, 1 already there\n");
    EXPECT_EQ(ReadFile(folder / "t_wald.jpg"), ReadFile(kDemo / "t_bergsee.jpg"));
    const std::string index = ReadFile(folder / "index.html");
    EXPECT_TRUE(Contains(index, "t_blumen.png\" width=\"100\" height=\"67\"")) << index;
    EXPECT_TRUE(Contains(index, "t_leuchtturm.gif\" width=\"100\" height=\"75\"")) << index;

    // A second run finds every thumbnail and makes none.
    const RunResult again = RunMake({"--no-ask", "--make-thumbnails", "--thumbs-jpg", "--templates",
                                     kTemplates.string(), folder.string(), "wald.jpg"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.err, "quillmoor-make: thumbnails: 0 made, 1 already there\n");
}

TEST(CliGallery, MissingWebCopiesAreMadeBeforeTheRunAndARerunMakesNone) {
    TempFolder dir;
    const fs::path folder = dir / "camera";
    fs::create_directories(folder / "qlm-web");
    for (const char* name : {"blumen.png", "leuchtturm.gif", "wald.jpg"})
        fs::copy_file(kDemo / name, folder / name);
    WriteFile(folder / "qlm-web/wald_300.jpg", "mine");
    WriteFile(folder / "title.txt", "Kamera");

    const std::vector<std::string> args = {
        "--no-ask",    "--no-warn",         "--make-web-pictures", "--web-sizes=300,600",
        "--templates", kTemplates.string(), folder.string()};
    const RunResult run = RunMake(args);
    ASSERT_EQ(run.status, 0) << run.err;
    // wald.jpg (427 x 640) gets its 600 and keeps the 300 there; the two at 480 pixels get 300.
    EXPECT_EQ(run.err, "quillmoor-make: web copies: 3 made, 0 pictures had them, 0 need none\n");
    EXPECT_EQ(ReadFile(folder / "qlm-web/wald_300.jpg"), "mine");
    for (const char* copy : {"blumen_300.png", "leuchtturm_300.gif", "wald_600.jpg"})
        EXPECT_TRUE(fs::is_regular_file(folder / "qlm-web" / copy)) << copy;
    EXPECT_EQ(ReadFile(folder / "wald.jpg"), ReadFile(kDemo / "wald.jpg"));

    const RunResult again = RunMake(args);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.err, "quillmoor-make: web copies: 0 made, 3 pictures had them, 0 need none\n");
}

// A link in place of the copies' folder, to a folder elsewhere: no copy is written there, the maker
// says so once for all the pictures, and the pages offer no copy from it and say so too.
TEST(CliGallery, ALinkInPlaceOfTheCopiesFolderIsNotFollowed) {
    TempFolder dir;
    const fs::path folder = dir / "camera";
    const fs::path elsewhere = dir / "elsewhere";
    fs::create_directories(elsewhere);
    fs::create_directory(folder);
    CopyDemo(folder, {"blumen.png", "wald.jpg"});
    WriteFile(folder / "title.txt", "Kamera");
    fs::create_directory_symlink(elsewhere, folder / "qlm-web");
    const RunResult run = RunMake({"--no-ask", "--make-web-pictures", "--web-sizes=300", "--templates",
                                   kTemplates.string(), folder.string()});
    EXPECT_EQ(run.status, 1);
    const std::string refused = "Kein echter Unterordner des Bilderordners, sondern ein symbolischer Link";
    EXPECT_TRUE(run.err.starts_with("quillmoor-make: qlm-web could not be written: " + refused)) << run.err;
    EXPECT_TRUE(Contains(
        run.err, "web copies: 0 made, 0 pictures had them, 0 need none, 2 not made\nqlm-web: " + refused))
        << run.err;
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_FALSE(Contains(ReadFile(folder / "wald.html"), "qlm-web/")) << ReadFile(folder / "wald.html");
}

// One run over a folder at a time: while another holds it, the tool says so and writes nothing.
TEST(CliGallery, AFolderInUseByAnotherRunIsLeftToIt) {
    TempFolder dir;
    const fs::path folder = dir / "camera";
    fs::create_directory(folder);
    CopyDemo(folder, {"wald.jpg"});
    const int held = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const std::vector<std::string> args{"--no-ask", "--templates", kTemplates.string(), folder.string()};
    const RunResult busy = RunMake(args);
    EXPECT_EQ(busy.status, 1);
    EXPECT_TRUE(Contains(busy.err, "another run is writing in this folder")) << busy.err;
    EXPECT_FALSE(fs::exists(folder / "index.html"));
    close(held);
    EXPECT_EQ(RunMake(args).status, 0);
}

// What a killed run left goes before the next run writes: the half-written page, and an old name
// of a temporary; the old version of a page that was replaced already becomes its backup.
TEST(CliGallery, ARunCleansUpAfterAKilledOne) {
    TempFolder dir;
    const fs::path folder = dir / "camera";
    fs::create_directory(folder);
    CopyDemo(folder, {"wald.jpg", "blumen.png"});
    const std::vector<std::string> args{"--no-ask", "--templates", kTemplates.string(), folder.string()};
    ASSERT_EQ(RunMake(args).status, 0);
    const std::string page = ReadFile(folder / "wald.html");
    const std::string page_path = (folder / "wald.html").string();
    const fs::path half_written =
        qlm::platform::TemporaryName(page_path, qlm::platform::TemporaryKind::NewContent, 0);
    const fs::path old_version =
        qlm::platform::TemporaryName(page_path, qlm::platform::TemporaryKind::OldVersion, 2);
    WriteFile(half_written, "<html><head>");
    WriteFile(old_version, "the page before");
    qlm::platform::MarkTemporary(qlm::platform::FileDescriptor(::open(old_version.c_str(), O_RDONLY)).get(),
                                 "wald.html");
    WriteFile(folder / ".blumen.html.qlm-3", "<html>");

    const RunResult run = RunMake(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(fs::exists(half_written));
    EXPECT_FALSE(fs::exists(old_version));
    EXPECT_FALSE(fs::exists(folder / ".blumen.html.qlm-3"));
    EXPECT_EQ(ReadFile(folder / "wald.html.bak"), "the page before");
    EXPECT_EQ(ReadFile(folder / "wald.html"), page);
}

// What the user asked to see could not be written: that is a failure.
TEST(CliGallery, HelpAndVersionThatCannotBeWrittenFail) {
    for (const char* option : {"--help", "--version"}) {
        const std::string command = "'" + kBinary.string() + "' " + option + " >/dev/full";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << option;
        EXPECT_NE(WEXITSTATUS(status), 0) << option;
    }
}

// A decoder's reason is a sentence; joined with what follows, it loses its full stop.
TEST(CliGallery, AReasonAndWhatFollowsAreJoinedWithoutAFullStop) {
    TempFolder dir;
    const fs::path folder = dir / "camera";
    fs::create_directory(folder);
    CopyDemo(folder, {"wald.jpg"});
    WriteFile(folder / "kaputt.png", ReadFile(fs::path(QLM_TEST_DATA_DIR) / "pictures/png_truncated.png"));
    const RunResult run = RunMake(
        {"--no-ask", "--make-thumbnails", "--templates", kTemplates.string(), folder.string(), "kaputt.png"});
    EXPECT_TRUE(Contains(run.err, "kaputt.png: ")) << run.err;
    EXPECT_TRUE(Contains(run.err, "; no thumbnail made\n")) << run.err;
    EXPECT_FALSE(Contains(run.err, ".;")) << run.err;
}

TEST(CliGallery, ControlCharactersOfNamesDoNotReachTheTerminal) {
    TempFolder dir;
    const std::string name = "x\x1b]0;title\x07.jpg";
    fs::copy_file(kDemo / "bergsee.jpg", dir / name);

    const RunResult run = RunMake({"--no-ask", "--warn", "--templates", kTemplates.string(), dir.Root()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "Der Thumbnail t_x?]0;title?.jpg fehlt!\n");
    // The page links to the picture with the control characters percent-encoded.
    EXPECT_TRUE(Contains(ReadFile(dir / "x\x1b]0;title\x07.html"), "<img src=\"x%1B]0;title%07.jpg\""));
}

// The exit status and message of runs that cannot finish.
struct FailureCase {
    std::string name;
    std::string args; // words; "{folder}" the picture folder, "{empty}" an empty one, "{t}" the templates
    int status;
    std::string message; // part of standard error
    std::string files;   // "+name" written before the run stopped, "-name" not written
};

// A folder of a good picture, one without a thumbnail, a dangling link, a damaged picture `d` and
// a second damaged one `f` after it, made from the demo picture `damaged_from` cut to
// `d_bytes` and `f_bytes`. The run over the whole folder with `options` must say exactly what a
// run over the pictures up to `d` says, although `f` was read ahead too, and write the pages up
// to the damaged one, the page of the link with the size of the picture before it.
void ExpectMessagesOfThePicturesInTurn(const std::vector<std::string>& options,
                                       const std::string& damaged_from, std::size_t d_bytes,
                                       std::size_t f_bytes, const std::string& d_message) {
    TempFolder dir;
    const fs::path folder = dir / "pics";
    fs::create_directory(folder);
    CopyDemo(folder, {"bergsee.jpg"});
    fs::copy_file(kDemo / "wald.jpg", folder / "b.jpg"); // no thumbnail
    fs::create_symlink("nowhere.jpg", folder / "c.jpg");
    const std::string extension = fs::path(damaged_from).extension().string();
    const std::string damaged = ReadFile(kDemo / damaged_from);
    WriteFile(folder / ("d" + extension), damaged.substr(0, d_bytes));
    fs::copy_file(kDemo / ("t_" + damaged_from), folder / ("t_d" + extension));
    WriteFile(folder / ("f" + extension), damaged.substr(0, f_bytes));
    WriteFile(folder / "title.txt", "Probe");

    std::vector<std::string> whole_folder = options;
    whole_folder.insert(whole_folder.end(),
                        {"--no-ask", "--templates", kTemplates.string(), folder.string()});
    std::vector<std::string> up_to_damaged = whole_folder;
    up_to_damaged.insert(up_to_damaged.end(), {"bergsee.jpg", "b.jpg", "c.jpg", "d" + extension});
    const RunResult part = RunMake(up_to_damaged);
    const RunResult whole = RunMake(whole_folder);
    EXPECT_EQ(whole.status, 1);
    EXPECT_EQ(whole.err, part.err);
    EXPECT_TRUE(
        whole.err.starts_with("Der Thumbnail t_b.jpg fehlt!\nDer Thumbnail t_c.jpg fehlt!\n"
                              "c.jpg: cannot be opened; its page gets the size of the picture before it\n"
                              "d" +
                              extension + ": " + d_message))
        << whole.err;
    EXPECT_FALSE(Contains(whole.err, "f" + extension)) << whole.err;
    // The folder's order is b, bergsee, c.
    EXPECT_TRUE(Contains(ReadFile(folder / "c.html"), " width=\"640\" height=\"427\" alt=\""))
        << ReadFile(folder / "c.html");
    for (const char* page : {"b.html", "bergsee.html", "c.html"})
        EXPECT_TRUE(fs::exists(folder / page)) << page;
    for (const std::string page : {"d.html", "f.html", "index.html"})
        EXPECT_FALSE(fs::exists(folder / page)) << page;
}

// Verifying decodes the next pictures ahead; the second picture's data is cut, behind whole headers.
TEST(CliGallery, VerifyingAheadKeepsTheMessagesOfThePicturesInTurn) {
    const std::size_t png = fs::file_size(kDemo / "blumen.png");
    ExpectMessagesOfThePicturesInTurn({"--verify"}, "blumen.png", png / 2, png / 3, "");
}

// Without --verify the headers are read ahead on a second thread; the picture's headers are cut.
TEST(CliGallery, MeasuringAheadKeepsTheMessagesOfThePicturesInTurn) {
    ExpectMessagesOfThePicturesInTurn({}, "wald.jpg", 300, 200, "Die JPEG-Datei endet vor den Bilddaten");
}

class CliFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(CliFailure, StopsWithItsStatusAndMessage) {
    const FailureCase& failure = GetParam();
    TempFolder dir;
    const fs::path folder = dir / "pics";
    fs::create_directory(folder);
    fs::create_directory(dir / "empty");
    fs::copy_file(kDemo / "bergsee.jpg", folder / "a.jpg");
    fs::copy_file(kDemo / "t_bergsee.jpg", folder / "t_a.jpg");
    WriteFile(folder / "b.jpg", std::string("\xFF\xD8\xFF\xE0") + " this is no JPEG at all");
    fs::copy_file(kDemo / "bergsee.jpg", folder / "c.jpg");
    WriteFile(folder / "t_c.jpg", "GIF89a, not a JPEG either");
    WriteFile(folder / "title.txt", "Fehler");
    CopyDemo(folder, {"nacht.jpg"});
    fs::create_directory(folder / "nacht.html"); // in the way of the page
    fs::create_symlink("nowhere.jpg", folder / "lost.jpg");
    // Sound headers, but the picture data ends early.
    const std::string png = ReadFile(kDemo / "blumen.png");
    WriteFile(folder / "e.png", png.substr(0, png.size() / 2));
    fs::copy_file(kDemo / "t_blumen.png", folder / "t_e.png");

    std::vector<std::string> args;
    std::istringstream words(failure.args);
    for (std::string arg; words >> arg;) {
        for (const auto& [mark, path] :
             {std::pair{"{folder}", folder}, std::pair{"{empty}", fs::path(dir / "empty")},
              std::pair{"{t}", kTemplates}})
            if (arg.starts_with(mark))
                arg = path.string() + arg.substr(std::string(mark).size());
        args.push_back(arg);
    }
    const RunResult run = RunMake(args);
    EXPECT_EQ(run.status, failure.status) << run.err;
    EXPECT_TRUE(Contains(run.err, failure.message)) << run.err;
    std::istringstream files(failure.files);
    for (std::string file; files >> file;)
        EXPECT_EQ(fs::exists(folder / file.substr(1)), file[0] == '+') << file;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CliFailure,
    testing::Values(
        // A decode error names the file that failed, the picture or its thumbnail.
        FailureCase{"DamagedPicture", "--no-ask --templates {t} {folder}", 1,
                    "b.jpg: ", "+a.html -b.html -index.html"},
        // Without --verify only the headers are read, so damage behind them goes unnoticed.
        FailureCase{"DamagedPictureData", "--no-ask --verify --templates {t} {folder} a.jpg e.png", 1,
                    "e.png: ", "+a.html -e.html -index.html"},
        FailureCase{"DamagedPictureDataUnverified", "--no-ask --templates {t} {folder} a.jpg e.png", 0, "",
                    "+a.html +e.html +index.html"},
        FailureCase{"DamagedThumbnail", "--no-ask --templates {t} {folder} c.jpg", 1,
                    "t_c.jpg: ", "-c.html -index.html"},
        // A page that cannot be written fails the run, but not the other pages.
        FailureCase{"PageNotWritable", "--no-ask --templates {t} {folder} a.jpg nacht.jpg", 1,
                    "Folgende Dateien konnten nicht geschrieben werden:\nnacht.html\n",
                    "+a.html +index.html"},
        // A picture that cannot be opened at all gets its page, but the run does not count as done.
        FailureCase{"PictureCannotBeOpened", "--no-ask --templates {t} {folder} a.jpg lost.jpg", 1,
                    "lost.jpg: cannot be opened", "+a.html +lost.html +index.html"},
        FailureCase{"TemplatesMissing", "--no-ask --templates {empty} {folder}", 2,
                    std::string(kTemplatesMissing) + "\n", "-a.html -index.html"},
        // Each failure names its file and says what was not done.
        FailureCase{"TemplatesMissingNamesTheFolder", "--no-ask --templates {empty} {folder}", 2,
                    "/empty/, missing: MainHead.html, MainRep.html, MainTail.html, Pic.html\n"
                    "quillmoor-make: the templates could not be read; no page was written\n",
                    "-a.html -index.html"},
        FailureCase{"TemplatesFolderMissing", "--no-ask --templates {folder}/nowhere {folder}", 2,
                    "/pics/nowhere/, missing: MainHead.html", "-a.html -index.html"},
        FailureCase{"DamagedPictureSaysIndexIsNotWritten", "--no-ask --templates {t} {folder}", 1,
                    "/pics/index.html was not written\n", "+a.html -index.html"},
        FailureCase{"UnopenedPictureSaysTheGalleryIsIncomplete",
                    "--no-ask --templates {t} {folder} a.jpg lost.jpg", 1,
                    "/pics/index.html written, but the gallery is incomplete\n", "+index.html"},
        FailureCase{"FolderMissing", "--no-ask --templates {t} {folder}/nowhere", 1, "/nowhere/: ", ""},
        FailureCase{"FolderWithoutPictures", "--no-ask --templates {t} {empty}", 1, "no pictures", ""},
        FailureCase{"NoFolder", "--no-ask", 64, "Usage: ", ""},
        FailureCase{"UnknownOption", "--no-such {folder}", 64, "--no-such", "-index.html"},
        FailureCase{"TemplatesWithoutFolder", "{folder} --templates", 64, "--templates", "-index.html"},
        FailureCase{"PictureNotInFolder", "--no-ask --templates {t} {folder} a.jpg x.jpg", 64, "x.jpg",
                    "-a.html -index.html"},
        // A damaged picture gets no thumbnail, and the run still stops at it.
        FailureCase{"ThumbnailOfDamagedPicture",
                    "--no-ask --make-thumbnails --templates {t} {folder} a.jpg b.jpg", 1,
                    "b.jpg: ", "+t_a.jpg -t_b.jpg +a.html -b.html"},
        // A damaged picture gets no web copy, and the run still stops at it.
        FailureCase{"WebCopyOfDamagedPicture",
                    "--no-ask --make-web-pictures --web-sizes 64 --templates {t} {folder} a.jpg b.jpg", 1,
                    "b.jpg: ", "+qlm-web/a_64.jpg -qlm-web/b_64.jpg +a.html -b.html"},
        FailureCase{"WebSizesWithoutMakingWebPictures", "--web-sizes 800 {folder}", 64, "--make-web-pictures",
                    "-index.html"},
        FailureCase{"WebSizesEmptyPart", "--make-web-pictures --web-sizes 800,,1600 {folder}", 64,
                    "--web-sizes", "-index.html"},
        FailureCase{"WebSizesTwice", "--make-web-pictures --web-sizes=800,800 {folder}", 64, "--web-sizes",
                    "-index.html"},
        FailureCase{"WebSizesTooLarge", "--make-web-pictures --web-sizes=800,10001 {folder}", 64,
                    "--web-sizes", "-index.html"},
        FailureCase{"ThumbSizeWithoutMakingThumbnails", "--thumb-size 50 {folder}", 64, "--make-thumbnails",
                    "-index.html"},
        FailureCase{"ThumbSizeNoNumber", "--make-thumbnails --thumb-size 5x {folder}", 64, "--thumb-size",
                    "-index.html"},
        FailureCase{"ThumbSizeZero", "--make-thumbnails --thumb-size=0 {folder}", 64, "--thumb-size",
                    "-index.html"},
        FailureCase{"ThumbnailIsNoPicture", "--no-ask --templates {t} {folder} t_a.jpg", 64, "t_a.jpg",
                    "-index.html"}),
    [](const testing::TestParamInfo<FailureCase>& param_info) { return param_info.param.name; });

// The files under `root`, relative to it.
std::set<std::string> FilesUnder(const fs::path& root) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (!entry.is_directory())
            names.insert(fs::relative(entry.path(), root).string());
    return names;
}

TEST(CliPublish, TheDemoGalleryIsPublishedWithoutItsTextsAndARerunWritesNothing) {
    TempFolder dir;
    const fs::path folder = dir / "demo";
    const fs::path www = dir / "www";
    fs::copy(kDemo, folder);
    WriteFile(folder / "wald.html.bak", "an old page");
    const std::vector<std::string> args = {"--no-ask",          "--make-thumbnails", "--templates",
                                           kTemplates.string(), "--publish",         www.string(),
                                           folder.string()};
    const RunResult run = RunMake(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "quillmoor-make: published: 19 written, 0 unchanged, 0 removed\n"))
        << run.err;
    std::set<std::string> expected = {"index.html", ".quillmoor-published"};
    for (const char* picture :
         {"bergsee.jpg", "blumen.png", "leuchtturm.gif", "nacht.jpg", "sonnenuntergang.jpg", "wald.jpg"}) {
        const std::string name = picture;
        expected.insert({name, "t_" + name, name.substr(0, name.rfind('.')) + ".html"});
    }
    EXPECT_EQ(FilesUnder(www), expected);
    EXPECT_EQ(ReadFile(www / "index.html"), ReadFile(folder / "index.html"));
    EXPECT_FALSE(fs::exists(folder / ".quillmoor-published"));

    const RunResult again = RunMake(args);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(Contains(again.err, "quillmoor-make: published: 0 written, 19 unchanged, 0 removed\n"))
        << again.err;

    const RunResult into_folder = RunMake({"--no-ask", "--templates", kTemplates.string(), "--publish",
                                           (folder / "www").string(), folder.string()});
    EXPECT_EQ(into_folder.status, 1);
    EXPECT_TRUE(Contains(into_folder.err, "lies inside the picture folder; nothing published"))
        << into_folder.err;
    EXPECT_FALSE(fs::exists(folder / "www"));
}

} // namespace

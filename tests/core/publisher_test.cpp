// SPDX-License-Identifier: GPL-3.0-or-later
// Publishing a gallery into a target folder: exactly the linked files, incrementally, with the
// user's files and the picture folder left alone. The pictures are real ones, but their published
// bytes are not compared: what stripping keeps is tested with stripping.

#include "core/publish_record.h"
#include "core/publisher.h"
#include "platform/temporary_files.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using qlm::FileOutcome;
using qlm::NotPublishedReason;
using qlm::PublishRefusal;
using qlm::test::TempFolder;
using Names = std::set<std::string>;

const fs::path kPictures = fs::path(QLM_TEST_DATA_DIR) / "pictures";

class CountingHost : public qlm::PublishingHost {
  public:
    void SetProgressLabel(const std::string&) override {}
    void SetProgressMaximum(int maximum) override { maximum_ = maximum; }
    void SetProgressPosition(int position) override { last_position_ = position; }
    int maximum_ = -1;
    int last_position_ = -1;
};

// Every file under `root`, relative to it.
Names FilesUnder(const std::string& root) {
    Names names;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (!entry.is_directory())
            names.insert(fs::relative(entry.path(), root).string());
    return names;
}

// Every file under `root` with its bytes, to show that nothing there changed.
std::string Snapshot(const std::string& root) {
    std::string all;
    for (const std::string& name : FilesUnder(root))
        all += name + "=" + qlm::test::ReadFile(root + "/" + name) + "\n";
    return all;
}

ino_t Inode(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// What became of `name` in `result`; NotPublished with reason None when it is not there.
qlm::PublishedFile Find(const qlm::PublishResult& result, const std::string& name) {
    for (const qlm::PublishedFile& file : result.files)
        if (file.name == name)
            return file;
    return {};
}

// A picture folder as a run leaves it, with files beside the gallery that must stay private.
class PublishTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = root_.MakeFolder("pics");
        target_ = root_.Path() + "out/";
        fs::create_directories(folder_ + "qlm-web");
        fs::create_directories(folder_ + "css");
        fs::copy_file(kPictures / "quadrants.jpg", folder_ + "a b.jpg");
        fs::copy_file(kPictures / "quadrants.jpg", folder_ + "t_a b.jpg");
        fs::copy_file(kPictures / "quadrants.jpg", folder_ + "qlm-web/a b_800.jpg");
        fs::copy_file(kPictures / "checker.png", folder_ + "c.png");
        fs::copy_file(kPictures / "checker.gif", folder_ + "css/bg.gif");
        Put("index.html", "<a href=\"a b.html\"><img src='t_a b.jpg'></a><a href=c.html>c</a>");
        Put("a b.html", "<link rel=stylesheet href=\"css/site.css?v=1\"><img src=\"a b.jpg\" "
                        "srcset=\"qlm-web/a%20b_800.jpg 800w, a%20b.jpg 1600w\"><a href=\"index.html#top\">");
        Put("c.html", "<div style=\"background:url(&quot;c.png&quot;)\"></div><a href=\"../secret.txt\">");
        Put("css/site.css", "body { background: url(bg.gif) }");
        for (const char* private_file : {"a b.txt", "a b.html.bak", "QLM.ini", "notes.txt", "unlinked.jpg"})
            Put(private_file, "private");
        root_.Put("secret.txt", "private");
    }

    void Put(const std::string& name, const std::string& bytes) {
        qlm::test::WriteFile(folder_ + name, bytes);
    }

    qlm::PublishResult Run(const std::string& target) {
        return qlm::Publish({folder_, {"a b.jpg", "c.png"}, target}, host_);
    }
    qlm::PublishResult Run() { return Run(target_); }

    Names Recorded() {
        Names names;
        EXPECT_TRUE(qlm::ParsePublishRecord(
            qlm::test::ReadFile(target_ + std::string(qlm::kPublishRecordName)), names));
        return names;
    }

    TempFolder root_;
    std::string folder_;
    std::string target_;
    CountingHost host_;
    const Names published_ = {"index.html",          "a b.html",     "c.html",     "t_a b.jpg", "a b.jpg",
                              "qlm-web/a b_800.jpg", "css/site.css", "css/bg.gif", "c.png"};
};

TEST_F(PublishTest, PublishesThePagesAndExactlyWhatTheyLink) {
    const std::string before = Snapshot(folder_);
    const qlm::PublishResult result = Run();
    EXPECT_EQ(result.refusal, PublishRefusal::None);
    EXPECT_TRUE(result.Complete());
    EXPECT_EQ(result.Count(FileOutcome::Written), static_cast<int>(published_.size()));
    Names expected = published_;
    expected.insert(std::string(qlm::kPublishRecordName));
    EXPECT_EQ(FilesUnder(target_), expected);
    EXPECT_EQ(Recorded(), published_);
    for (const char* text : {"index.html", "a b.html", "c.html", "css/site.css"})
        EXPECT_EQ(qlm::test::ReadFile(target_ + text), qlm::test::ReadFile(folder_ + text)) << text;
    EXPECT_EQ(Snapshot(folder_), before);
    EXPECT_EQ(host_.maximum_, static_cast<int>(published_.size()));
    EXPECT_EQ(host_.last_position_, host_.maximum_);
}

TEST_F(PublishTest, SecondPublishingWritesNothing) {
    Run();
    const ino_t page = Inode(target_ + "a b.html");
    const ino_t record = Inode(target_ + std::string(qlm::kPublishRecordName));
    const qlm::PublishResult again = Run();
    EXPECT_EQ(again.Count(FileOutcome::Written), 0);
    EXPECT_EQ(again.Count(FileOutcome::Unchanged), static_cast<int>(published_.size()));
    EXPECT_EQ(Inode(target_ + "a b.html"), page);
    EXPECT_EQ(Inode(target_ + std::string(qlm::kPublishRecordName)), record);
}

// Publishing again looks only at the stamps of unchanged files; a published file changed by hand
// since, or a source replaced by one of the same content, is compared and put right.
TEST_F(PublishTest, APublishedFileChangedSinceIsPutRight) {
    Run();
    const std::string page = qlm::test::ReadFile(target_ + "a b.html");
    qlm::test::WriteFile(target_ + "a b.html", "changed by hand");
    const std::string picture = qlm::test::ReadFile(folder_ + "c.png");
    fs::remove(folder_ + "c.png");
    Put("c.png", picture);
    const qlm::PublishResult again = Run();
    EXPECT_EQ(Find(again, "a b.html").outcome, FileOutcome::Written);
    EXPECT_EQ(qlm::test::ReadFile(target_ + "a b.html"), page);
    EXPECT_EQ(Find(again, "c.png").outcome, FileOutcome::Unchanged);
    EXPECT_EQ(again.Count(FileOutcome::Written), 1);
}

TEST_F(PublishTest, RewritesChangedWithdrawsUnlinkedAndKeepsForeignFiles) {
    Run();
    root_.Put("out/mine.txt", "the user's own");
    root_.Put("out/d.png", "the user's own picture");
    Put("a b.html", "<img src=\"a b.jpg\"><img src=d.png>");
    fs::copy_file(kPictures / "checker.png", folder_ + "d.png");
    const qlm::PublishResult result = Run();
    EXPECT_EQ(Find(result, "a b.html").outcome, FileOutcome::Written);
    EXPECT_EQ(qlm::test::ReadFile(target_ + "a b.html"), "<img src=\"a b.jpg\"><img src=d.png>");
    for (const char* withdrawn : {"qlm-web/a b_800.jpg", "css/site.css", "css/bg.gif"}) {
        EXPECT_EQ(Find(result, withdrawn).outcome, FileOutcome::Removed) << withdrawn;
        EXPECT_FALSE(fs::exists(target_ + withdrawn)) << withdrawn;
    }
    EXPECT_EQ(Find(result, "d.png").reason, NotPublishedReason::ForeignFile);
    EXPECT_EQ(qlm::test::ReadFile(target_ + "d.png"), "the user's own picture");
    EXPECT_EQ(qlm::test::ReadFile(target_ + "mine.txt"), "the user's own");
    EXPECT_FALSE(result.Complete());
    EXPECT_EQ(Recorded(), (Names{"index.html", "a b.html", "c.html", "t_a b.jpg", "a b.jpg", "c.png"}));
}

TEST_F(PublishTest, MissingAndPrivateFilesAreNamedAndTheRestPublished) {
    Put("c.html",
        "<img src=\"gone.jpg\"><a href=\"notes.txt.bak\"></a><a href=\"QLM.ini\"></a><img src=\"c.png\">");
    const std::string temporary =
        qlm::platform::TemporaryName(folder_ + "c.png", qlm::platform::TemporaryKind::NewContent, 0);
    Put(temporary.substr(folder_.size()), "half written");
    Put("c.html",
        qlm::test::ReadFile(folder_ + "c.html") + "<img src=\"" + temporary.substr(folder_.size()) + "\">");
    Put("notes.txt.bak", "old notes");
    const qlm::PublishResult result = Run();
    EXPECT_EQ(Find(result, "gone.jpg").reason, NotPublishedReason::Missing);
    EXPECT_EQ(Find(result, "notes.txt.bak").reason, NotPublishedReason::ProgramFile);
    EXPECT_EQ(Find(result, "QLM.ini").reason, NotPublishedReason::ProgramFile);
    EXPECT_EQ(Find(result, temporary.substr(folder_.size())).reason, NotPublishedReason::ProgramFile);
    EXPECT_EQ(result.Count(FileOutcome::NotPublished), 4);
    EXPECT_TRUE(fs::exists(target_ + "c.png"));
    EXPECT_FALSE(result.Complete());
}

TEST_F(PublishTest, LinksOutOfTheFolderAreNotFollowed) {
    // A sub-folder that is a link out of the folder, and a link that climbs out of it.
    fs::create_directories(root_.Path() + "elsewhere");
    root_.Put("elsewhere/x.jpg", "private");
    fs::create_directory_symlink(root_.Path() + "elsewhere", folder_ + "linked");
    Put("c.html", "<img src=\"linked/x.jpg\"><img src=\"../secret.txt\"><img src=\"/etc/hostname\">");
    const qlm::PublishResult result = Run();
    EXPECT_EQ(Find(result, "linked/x.jpg").reason, NotPublishedReason::OutsideFolder);
    EXPECT_FALSE(fs::exists(target_ + "linked"));
    EXPECT_EQ(FilesUnder(target_).count("secret.txt"), 0u);
}

TEST_F(PublishTest, RefusesTargetsThatAreThePictureFolderInsideItOrAFile) {
    fs::create_directory_symlink(folder_, root_.Path() + "pics-link");
    root_.Put("file", "a file");
    const struct {
        std::string target;
        PublishRefusal refusal;
    } cases[] = {
        {folder_, PublishRefusal::TargetIsPictureFolder},
        {root_.Path() + "pics-link", PublishRefusal::TargetIsPictureFolder},
        {folder_ + "www", PublishRefusal::TargetInsidePictureFolder},
        {folder_ + "qlm-web", PublishRefusal::TargetInsidePictureFolder},
        {root_.Path() + "file", PublishRefusal::TargetIsNoFolder},
        {root_.Path() + "no/such", PublishRefusal::TargetUnusable},
    };
    const std::string before = Snapshot(root_.Root());
    for (const auto& refused : cases) {
        const qlm::PublishResult result = Run(refused.target);
        EXPECT_EQ(result.refusal, refused.refusal) << refused.target;
        EXPECT_TRUE(result.files.empty()) << refused.target;
    }
    EXPECT_EQ(Snapshot(root_.Root()), before);
    EXPECT_FALSE(fs::exists(folder_ + "www"));
}

TEST_F(PublishTest, ATargetInUseOrWithAnUnreadableRecordIsLeftAlone) {
    fs::create_directories(target_);
    {
        qlm::platform::FolderRun other;
        ASSERT_EQ(other.Take(target_), 0);
        EXPECT_EQ(Run().refusal, PublishRefusal::TargetInUse);
        EXPECT_TRUE(FilesUnder(target_).empty());
    }
    root_.Put("out/" + std::string(qlm::kPublishRecordName), "not a record\n");
    EXPECT_EQ(Run().refusal, PublishRefusal::RecordUnreadable);
    EXPECT_EQ(FilesUnder(target_), Names{std::string(qlm::kPublishRecordName)});
}

// Asks the publishing to stop before its `at`-th file (from 1).
class StoppingHost : public CountingHost {
  public:
    explicit StoppingHost(int at) : at_(at) {}
    bool StopRequested() override { return ++asked_ == at_; }

  private:
    int at_;
    int asked_ = 0;
};

// A stopped publishing removes nothing: what it did not reach may still be linked. The files it
// withdrew stay recorded, so that the next whole publishing removes them.
TEST(PublishStop, AStoppedPublishingWritesTheFilesBeforeAndRemovesNothing) {
    TempFolder root;
    const std::string folder = root.MakeFolder("pics");
    const std::string target = root.Path() + "out/";
    fs::copy_file(kPictures / "quadrants.jpg", folder + "a.jpg");
    fs::copy_file(kPictures / "checker.png", folder + "old.png");
    qlm::test::WriteFile(folder + "index.html", "<a href=a.html>a</a><img src=old.png>");
    qlm::test::WriteFile(folder + "a.html", "<img src=a.jpg>");
    CountingHost whole;
    ASSERT_TRUE(qlm::Publish({folder, {"a.jpg"}, target}, whole).Complete());

    qlm::test::WriteFile(folder + "index.html", "<a href=a.html>neu</a>");
    qlm::test::WriteFile(folder + "a.html", "<img src=a.jpg> neu");
    StoppingHost stopping(2);
    const qlm::PublishResult stopped = qlm::Publish({folder, {"a.jpg"}, target}, stopping);
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_FALSE(stopped.Complete());
    EXPECT_EQ(stopped.files_done, 1U);
    EXPECT_EQ(stopped.files_found, 3U);
    EXPECT_EQ(stopped.Count(FileOutcome::Removed), 0);
    EXPECT_TRUE(fs::exists(target + "old.png"));
    // The first file found, the overview, is written whole; the page after it is not.
    EXPECT_EQ(qlm::test::ReadFile(target + "index.html"), "<a href=a.html>neu</a>");
    EXPECT_EQ(qlm::test::ReadFile(target + "a.html"), "<img src=a.jpg>");

    const qlm::PublishResult again = qlm::Publish({folder, {"a.jpg"}, target}, whole);
    EXPECT_TRUE(again.Complete());
    EXPECT_EQ(Find(again, "old.png").outcome, FileOutcome::Removed);
    EXPECT_FALSE(fs::exists(target + "old.png"));
}

} // namespace

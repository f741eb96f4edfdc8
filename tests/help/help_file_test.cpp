// SPDX-License-Identifier: GPL-3.0-or-later
// The help file as the build makes it: its context map leads to the main window's topic, every
// page, style sheet and picture that the contents and the pages refer to is in it, its texts are
// German Windows-1252, and nothing of the build machine's folders got into it.

#include "help/manual/help_context.h"
#include "help/viewer/chm_file.h"
#include "help/viewer/chm_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>

namespace qlm::help {
namespace {

class HelpFile : public testing::Test {
  protected:
    void SetUp() override {
        file_ = ChmFile::Open(QLM_HELP_FILE);
        ASSERT_NE(file_, nullptr) << QLM_HELP_FILE;
    }
    std::unique_ptr<ChmFile> file_;
};

// The pages of the file: every object ending in ".html".
std::vector<std::string> Pages(const ChmFile& file) {
    std::vector<std::string> pages;
    for (const auto& name : file.Objects()) {
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".html") == 0) {
            pages.push_back(name);
        }
    }
    return pages;
}

// Values of src="..." and href="..." in the tags of a page (not in its text, where the examples
// of the manual show such attributes as "&lt;img src=...&gt;").
std::vector<std::string> References(const std::string& page) {
    std::vector<std::string> found;
    for (std::size_t open = page.find('<'); open != std::string::npos; open = page.find('<', open + 1)) {
        const std::string tag = page.substr(open, page.find('>', open) - open);
        for (const std::string attribute : {" src=\"", " href=\""}) {
            const std::size_t at = tag.find(attribute);
            if (at != std::string::npos) {
                const std::size_t start = at + attribute.size();
                found.push_back(tag.substr(start, tag.find('"', start) - start));
            }
        }
    }
    return found;
}

TEST_F(HelpFile, MainWindowContextLeadsToItsTopic) {
    const auto topic = file_->TopicOfContext(IDH_MAIN_WINDOW);
    ASSERT_TRUE(topic.has_value());
    EXPECT_EQ(*topic, "/hauptfenster.html");
    const auto page = file_->Read(*topic);
    ASSERT_TRUE(page.has_value());
    EXPECT_NE(page->find("<h1>Das Hauptfenster</h1>"), std::string::npos);
    EXPECT_FALSE(file_->TopicOfContext(2).has_value());
    EXPECT_FALSE(file_->TopicOfContext(0).has_value());
}

TEST_F(HelpFile, GermanTitleStartPageAndContents) {
    const ChmSystemInfo& system = file_->System();
    EXPECT_EQ(system.lcid, 0x0407u);
    EXPECT_EQ(system.title, "Quillmoor-Hilfe");
    EXPECT_EQ(system.default_topic, "/index.html");
    EXPECT_TRUE(file_->Has(system.default_topic));
    ASSERT_EQ(system.contents_file, "/QLM.hhc");
    // Umlauts and quotation marks as single Windows-1252 bytes: „ ä ü “.
    const auto page = file_->Read("/make_html.html");
    ASSERT_TRUE(page.has_value());
    EXPECT_NE(page->find("\x84Make HTML\x93 Schritt f\xfcr Schritt"), std::string::npos);
    EXPECT_EQ(page->find("\xc3\xbc"), std::string::npos) << "UTF-8 left in the page";
}

TEST_F(HelpFile, EverythingTheContentsAndPagesNameIsInTheFile) {
    const auto hhc = file_->Read(file_->System().contents_file);
    ASSERT_TRUE(hhc.has_value());
    const auto entries = ParseContents(*hhc);
    ASSERT_GE(entries.size(), 9u);
    std::set<std::string> listed;
    for (const auto& entry : entries) {
        const auto topic = ResolveLink("/QLM.hhc", entry.local);
        ASSERT_TRUE(topic.has_value()) << entry.local;
        EXPECT_TRUE(file_->Has(*topic)) << entry.name << ": " << *topic;
        listed.insert(*topic);
    }
    const auto pages = Pages(*file_);
    for (const auto& page_name : pages) {
        EXPECT_TRUE(listed.count(page_name)) << page_name << " is missing from the contents";
        const auto page = file_->Read(page_name);
        ASSERT_TRUE(page.has_value()) << page_name;
        for (const auto& reference : References(*page)) {
            if (const auto target = ResolveLink(page_name, reference)) {
                EXPECT_TRUE(file_->Has(*target)) << page_name << " refers to " << reference;
            }
        }
    }
    EXPECT_GE(pages.size(), 9u);
    // The check sees the references: the start page links every topic.
    EXPECT_GE(References(*file_->Read("/index.html")).size(), 10u);
}

TEST_F(HelpFile, NoBuildFolderInsideIt) {
    for (const auto& name : file_->Objects()) {
        const auto object = file_->Read(name);
        if (!object) {
            continue; // folders and empty internal entries
        }
        for (const std::string folder : {QLM_SOURCE_DIR, QLM_BINARY_DIR}) {
            EXPECT_EQ(object->find(folder), std::string::npos) << name << " holds " << folder;
        }
    }
}

} // namespace
} // namespace qlm::help

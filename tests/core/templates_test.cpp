// Loading the template set: order, stop at the first failure, and what each template holds after.

#include "core/templates.h"
#include "text_file_test_util.h"

#include <gtest/gtest.h>

#include <ostream>

#include <unistd.h>

namespace qlm {
namespace {

using test::TempFolder;

TemplateSet Previous() {
    return {"old head", "old rep", "old tail", "old pic", "old info head", "old info tail"};
}

void PutAll(const TempFolder& folder) {
    folder.Put("MainHead.html", "<html><mytitle>");
    folder.Put("MainRep.html", "");
    folder.Put("MainTail.html", "</html>");
    folder.Put("Pic.html", "<mypic>");
    folder.Put("InfoHead.html", "<info>");
    folder.Put("InfoTail.html", "</info>");
}

struct LoadCase {
    const char* name;
    const char* missing; // file removed before loading, or nullptr
    bool with_extended;
    TemplateLoad result;
    TemplateSet expected;
};

// Test names in listings show the case, not its bytes.
void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

class LoadTemplatesTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadTemplatesTest, FillsTheSetInOrder) {
    const auto& c = GetParam();
    TempFolder folder;
    PutAll(folder);
    if (c.missing != nullptr) {
        ASSERT_EQ(::unlink((folder / c.missing).c_str()), 0);
    }
    TemplateSet set = Previous();
    EXPECT_EQ(LoadTemplates(set, folder.Path(), c.with_extended), c.result);
    EXPECT_EQ(set.main_head, c.expected.main_head);
    EXPECT_EQ(set.main_rep, c.expected.main_rep);
    EXPECT_EQ(set.main_tail, c.expected.main_tail);
    EXPECT_EQ(set.pic, c.expected.pic);
    EXPECT_EQ(set.info_head, c.expected.info_head);
    EXPECT_EQ(set.info_tail, c.expected.info_tail);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadTemplatesTest,
    ::testing::Values(
        // The info pair is not read unless asked for, even when its files exist.
        LoadCase{"RequiredOnly",
                 nullptr,
                 false,
                 TemplateLoad::Ok,
                 {"<html><mytitle>", "", "</html>", "<mypic>", "old info head", "old info tail"}},
        LoadCase{"WithExtended",
                 nullptr,
                 true,
                 TemplateLoad::Ok,
                 {"<html><mytitle>", "", "</html>", "<mypic>", "<info>", "</info>"}},
        LoadCase{"HeadMissingStopsAtOnce",
                 "MainHead.html",
                 true,
                 TemplateLoad::RequiredMissing,
                 {"", "old rep", "old tail", "old pic", "old info head", "old info tail"}},
        LoadCase{"TailMissing",
                 "MainTail.html",
                 false,
                 TemplateLoad::RequiredMissing,
                 {"<html><mytitle>", "", "", "old pic", "old info head", "old info tail"}},
        LoadCase{"PicMissing",
                 "Pic.html",
                 true,
                 TemplateLoad::RequiredMissing,
                 {"<html><mytitle>", "", "</html>", "", "old info head", "old info tail"}},
        LoadCase{"ExtendedMissingNotAskedFor",
                 "InfoHead.html",
                 false,
                 TemplateLoad::Ok,
                 {"<html><mytitle>", "", "</html>", "<mypic>", "old info head", "old info tail"}},
        LoadCase{"InfoHeadMissing",
                 "InfoHead.html",
                 true,
                 TemplateLoad::ExtendedMissing,
                 {"<html><mytitle>", "", "</html>", "<mypic>", "", "old info tail"}},
        LoadCase{"InfoTailMissing",
                 "InfoTail.html",
                 true,
                 TemplateLoad::ExtendedMissing,
                 {"<html><mytitle>", "", "</html>", "<mypic>", "<info>", ""}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(LoadTemplates, ReadsFromTheWorkingDirectoryWithoutAFolder) {
    TempFolder folder;
    PutAll(folder);
    folder.Put("Pic.html", "edited");
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(folder.Path().c_str()), 0);
    TemplateSet set;
    TemplateLoad result = LoadTemplates(set, "", false);
    ASSERT_EQ(::chdir(previous), 0);
    EXPECT_EQ(result, TemplateLoad::Ok);
    EXPECT_EQ(set.pic, "edited");
}

} // namespace
} // namespace qlm

// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the template set: order, stop at the first failure, and what each template holds after.

#include "core/templates.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace qlm {
namespace {

using test::TempFolder;

void PutAll(const TempFolder& folder) {
    folder.Put("MainHead.html", "<html><mytitle>");
    folder.Put("MainRep.html", "");
    folder.Put("MainTail.html", "</html>");
    folder.Put("Pic.html", "<mypic>");
    folder.Put("InfoHead.html", "<info>");
    folder.Put("InfoTail.html", "</info>");
}

std::string Joined(const TemplateSet& set) {
    return set.main_head + "|" + set.main_rep + "|" + set.main_tail + "|" + set.pic + "|" + set.info_head +
           "|" + set.info_tail;
}

struct LoadCase {
    const char* name;
    const char* missing; // file removed before loading, or nullptr
    bool with_extended;
    TemplateLoad result;
    std::string expected; // the set after loading, joined by "|"
};

class LoadTemplatesTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadTemplatesTest, FillsTheSetInOrder) {
    const auto& c = GetParam();
    TempFolder folder;
    PutAll(folder);
    if (c.missing != nullptr) {
        ASSERT_EQ(::unlink((folder / c.missing).c_str()), 0);
    }
    TemplateSet set{"old head", "old rep", "old tail", "old pic", "old info head", "old info tail"};
    EXPECT_EQ(LoadTemplates(set, folder.Path(), c.with_extended), c.result);
    EXPECT_EQ(Joined(set), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadTemplatesTest,
    ::testing::Values(LoadCase{"WithExtended", nullptr, true, TemplateLoad::Ok,
                               "<html><mytitle>||</html>|<mypic>|<info>|</info>"},
                      // The info pair is not read unless asked for, even when one of its files exists.
                      LoadCase{"ExtendedMissingNotAskedFor", "InfoHead.html", false, TemplateLoad::Ok,
                               "<html><mytitle>||</html>|<mypic>|old info head|old info tail"},
                      LoadCase{"HeadMissingStopsAtOnce", "MainHead.html", true, TemplateLoad::RequiredMissing,
                               "|old rep|old tail|old pic|old info head|old info tail"},
                      LoadCase{"PicMissing", "Pic.html", true, TemplateLoad::RequiredMissing,
                               "<html><mytitle>||</html>||old info head|old info tail"},
                      LoadCase{"InfoHeadMissing", "InfoHead.html", true, TemplateLoad::ExtendedMissing,
                               "<html><mytitle>||</html>|<mypic>||old info tail"},
                      LoadCase{"InfoTailMissing", "InfoTail.html", true, TemplateLoad::ExtendedMissing,
                               "<html><mytitle>||</html>|<mypic>|<info>|"}),
    kRowName);

} // namespace
} // namespace qlm

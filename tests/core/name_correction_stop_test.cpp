// SPDX-License-Identifier: GPL-3.0-or-later
// "Correct Names" stopped between pictures: every picture renamed before the stop has taken its
// companions along, and none after it is touched.

#include "core/name_correction.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qlm {
namespace {

using test::TempFolder;

// Stopped before the first, second and third picture.
class CorrectNamesStop : public ::testing::TestWithParam<int> {};

TEST_P(CorrectNamesStop, APictureMovesWithItsCompanionsOrNotAtAll) {
    TempFolder folder;
    for (const char* file : {"a b.jpg", "t_a b.jpg", "a b.txt", "a b.html", "c d.jpg", "t_c d.jpg", "c d.txt",
                             "c d.html", "e.jpg"})
        folder.Put(file, file);
    const int stop_before = GetParam();
    int asked = 0;
    std::vector<std::string> done;
    const NameCorrectionProgress progress{[&] { return asked++ == stop_before; },
                                          [&](const std::string& name) { done.push_back(name); }};
    const int renamed = CorrectNames(folder.Path(), {"a b.jpg", "c d.jpg", "e.jpg"}, false, progress);

    const std::vector<std::string> all{"a b.jpg", "c d.jpg", "e.jpg"};
    EXPECT_EQ(done, std::vector<std::string>(all.begin(), all.begin() + stop_before));
    EXPECT_EQ(renamed, std::min(stop_before, 2));
    const std::string a = stop_before >= 1 ? "ab.html=a b.html|ab.jpg=a b.jpg|ab.txt=a b.txt|"
                                           : "a b.html=a b.html|a b.jpg=a b.jpg|a b.txt=a b.txt|";
    const std::string c = stop_before >= 2 ? "cd.html=c d.html|cd.jpg=c d.jpg|cd.txt=c d.txt|"
                                           : "c d.html=c d.html|c d.jpg=c d.jpg|c d.txt=c d.txt|";
    const std::string thumbs =
        std::string(stop_before >= 1 ? "t_ab.jpg=t_a b.jpg|" : "t_a b.jpg=t_a b.jpg|") +
        (stop_before >= 2 ? "t_cd.jpg=t_c d.jpg" : "t_c d.jpg=t_c d.jpg");
    EXPECT_EQ(folder.Listing(true), a + c + "e.jpg=e.jpg|" + thumbs);
}

INSTANTIATE_TEST_SUITE_P(Stops, CorrectNamesStop, ::testing::Values(0, 1, 2));

} // namespace
} // namespace qlm

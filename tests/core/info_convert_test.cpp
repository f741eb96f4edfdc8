// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion of "info.txt" into the page "info.html".

#include "core/info_convert.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

namespace qlm {
namespace {

struct InfoCase {
    const char* name;
    std::string head, info, tail, expected;
};

class ConvertInfoTest : public ::testing::TestWithParam<InfoCase> {};

TEST_P(ConvertInfoTest, GivesThePage) {
    const auto& c = GetParam();
    EXPECT_EQ(MyConvertInfo(c.info, c.head, c.tail), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertInfoTest,
    ::testing::Values(InfoCase{"OneEmptyLine", "", "Eins\r\n\r\nZwei", "", "Eins<P>\nZwei"},
                      InfoCase{"TwoEmptyLines", "", "Eins\r\n\r\n\r\nZwei", "", "Eins<P>\n\r\nZwei"},
                      InfoCase{"ThreeEmptyLines", "", "Eins\r\n\r\n\r\n\r\nZwei", "", "Eins<P>\n<P>\nZwei"},
                      InfoCase{"LoneBreaksStay", "", "Eins\r\nZwei\n\nDrei", "", "Eins\r\nZwei\n\nDrei"},
                      InfoCase{"FiveBlanksTabsStay", "", "a     b\t\tc", "", "a b\t\tc"},
                      InfoCase{"BlanksInsideBrackets", "", "(   a   )", "", "(a)"},
                      // The head is tidied with the text and may join it; the tail is left alone.
                      InfoCase{"HeadJoinsTheText", "<a  b>\r\n", "\r\nText", "<c  d>\r\n\r\n",
                               "<a b><P>\nText<c  d>\r\n\r\n"},
                      InfoCase{"PlaceholdersStay", "<title><mytitle></title>", "Info", "<myversion>",
                               "<title><mytitle></title>Info<myversion>"},
                      InfoCase{"NoInfoText", "<html>", "", "</html>", "<html></html>"}),
    kRowName);

} // namespace
} // namespace qlm

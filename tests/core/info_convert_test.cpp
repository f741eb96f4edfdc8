// The conversion of "info.txt" into the page "info.html".

#include "core/info_convert.h"

#include <gtest/gtest.h>

#include <ostream>

namespace qlm {
namespace {

struct InfoCase {
    const char* name;
    std::string head;
    std::string info;
    std::string tail;
    std::string expected;
};

// Test names in listings show the case, not its bytes.
void PrintTo(const InfoCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertInfoTest : public ::testing::TestWithParam<InfoCase> {};

TEST_P(ConvertInfoTest, GivesThePage) {
    const auto& c = GetParam();
    EXPECT_EQ(MyConvertInfo(c.info, c.head, c.tail), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paragraphs, ConvertInfoTest,
    ::testing::Values(InfoCase{"OneEmptyLine", "", "Eins\r\n\r\nZwei", "", "Eins<P>\nZwei"},
                      InfoCase{"TwoEmptyLines", "", "Eins\r\n\r\n\r\nZwei", "", "Eins<P>\n\r\nZwei"},
                      InfoCase{"ThreeEmptyLines", "", "Eins\r\n\r\n\r\n\r\nZwei", "", "Eins<P>\n<P>\nZwei"},
                      InfoCase{"SingleLineBreakStays", "", "Eins\r\nZwei", "", "Eins\r\nZwei"},
                      InfoCase{"LineFeedsAloneStay", "", "Eins\n\nZwei\nDrei", "", "Eins\n\nZwei\nDrei"},
                      InfoCase{"EmptyLineInHeadConverted", "<h1>\r\n\r\n</h1>", "x", "", "<h1><P>\n</h1>x"},
                      InfoCase{"EmptyLineInTailStays", "", "x", "<p>\r\n\r\n</p>", "x<p>\r\n\r\n</p>"},
                      InfoCase{"JoinOfHeadAndInfo", "<body>\r\n", "\r\nText", "</body>",
                               "<body><P>\nText</body>"}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(Blanks, ConvertInfoTest,
                         ::testing::Values(InfoCase{"FiveBlanks", "", "a     b", "", "a b"},
                                           InfoCase{"TabStays", "", "a\t\tb", "", "a\t\tb"},
                                           InfoCase{"InsideBrackets", "", "( a )", "", "(a)"},
                                           InfoCase{"ManyBlanksInsideBrackets", "", "(   a   )", "", "(a)"},
                                           InfoCase{"HeadTidiedTailNot", "<a  b>", "", "<c  d>",
                                                    "<a b><c  d>"}),
                         [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(Frame, ConvertInfoTest,
                         ::testing::Values(InfoCase{"PlaceholdersStay", "<title><mytitle></title>", "Info",
                                                    "<myversion>", "<title><mytitle></title>Info<myversion>"},
                                           InfoCase{"NoInfoText", "<html>", "", "</html>", "<html></html>"},
                                           InfoCase{"NoTemplates", "", "a  b\r\n\r\nc", "", "a b<P>\nc"}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace qlm

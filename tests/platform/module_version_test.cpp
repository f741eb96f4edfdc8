#include "platform/module_version.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

using namespace qlm::platform;

namespace {

// "a.b.c.d": four parts of digits, none with a leading zero.
bool IsPlainVersionText(const std::string& text) {
    int parts = 0;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find('.', start);
        std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos ||
            (part.size() > 1 && part[0] == '0'))
            return false;
        ++parts;
        if (end == std::string::npos)
            return parts == 4;
        start = end + 1;
    }
}

struct VersionCase {
    const char* text;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> words; // none: not a version
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ParseFileVersionTest : public testing::TestWithParam<VersionCase> {};

TEST_P(ParseFileVersionTest, ReadsFourNumbersOrNothing) {
    std::uint32_t most = 0xDEADBEEF;
    std::uint32_t least = 0xFEEDFACE;
    bool parsed = ParseFileVersion(GetParam().text, most, least);
    ASSERT_EQ(parsed, GetParam().words.has_value());
    if (parsed) {
        EXPECT_EQ(most, GetParam().words->first);
        EXPECT_EQ(least, GetParam().words->second);
    } else {
        EXPECT_EQ(most, 0xDEADBEEFu);
        EXPECT_EQ(least, 0xFEEDFACEu);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseFileVersionTest,
    testing::Values(VersionCase{"2.0.0.1", std::pair{0x00020000u, 0x00000001u}},
                    VersionCase{"0.0.0.0", std::pair{0u, 0u}},
                    VersionCase{"65535.65535.65535.65535", std::pair{0xFFFFFFFFu, 0xFFFFFFFFu}},
                    VersionCase{"1.2.3.4", std::pair{0x00010002u, 0x00030004u}},
                    VersionCase{"007.010.0.9", std::pair{0x0007000Au, 0x00000009u}},
                    VersionCase{"1.2.3.65536", std::nullopt}, VersionCase{"65536.0.0.0", std::nullopt},
                    VersionCase{"99999999999.0.0.0", std::nullopt}, VersionCase{"1.2.3", std::nullopt},
                    VersionCase{"1.2.3.4.5", std::nullopt}, VersionCase{"", std::nullopt},
                    VersionCase{"1..3.4", std::nullopt}, VersionCase{"1.2.3.", std::nullopt},
                    VersionCase{".1.2.3", std::nullopt}, VersionCase{" 1.2.3.4", std::nullopt},
                    VersionCase{"1.2.3.4 ", std::nullopt}, VersionCase{"-1.2.3.4", std::nullopt},
                    VersionCase{"+1.2.3.4", std::nullopt}, VersionCase{"1.2.3.4a", std::nullopt},
                    VersionCase{"a.b.c.d", std::nullopt}, VersionCase{"1,2,3,4", std::nullopt}));

TEST(VersionString, ShowsTheBuiltInVersionWithoutLeadingZeros) {
    std::uint32_t most = 0;
    std::uint32_t least = 0;
    std::string text = VersionString();
    if (!GetModuleVersion(most, least)) {
        EXPECT_EQ(text, "?.?.?.?");
        return;
    }
    EXPECT_TRUE(IsPlainVersionText(text)) << text;
    std::uint32_t read_most = 0;
    std::uint32_t read_least = 0;
    ASSERT_TRUE(ParseFileVersion(text, read_most, read_least)) << text;
    EXPECT_EQ(read_most, most);
    EXPECT_EQ(read_least, least);
}

TEST(ExecutableFolder, IsTheFolderOfThisTest) {
    std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::is_regular_file(folder + "module_version_test"));
}

} // namespace

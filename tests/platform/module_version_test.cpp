// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/module_version.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

using namespace qlm::platform;

namespace {

TEST(ParseFileVersion, ReadsFourNumbersOrLeavesTheWordsUntouched) {
    struct Case {
        const char* text;
        std::optional<std::pair<std::uint32_t, std::uint32_t>> words; // none: not a version
    };
    for (const Case& c : {Case{"2.0.0.1", std::pair{0x00020000u, 0x00000001u}},
                          Case{"65535.65535.65535.65535", std::pair{0xFFFFFFFFu, 0xFFFFFFFFu}},
                          Case{"007.010.0.9", std::pair{0x0007000Au, 0x00000009u}}, Case{"1.2.3.65536", {}},
                          Case{"99999999999.0.0.0", {}}, Case{"1.2.3", {}}, Case{"1.2.3.4.5", {}},
                          Case{"", {}}, Case{"1..3.4", {}}, Case{"1.2.3.", {}}, Case{" 1.2.3.4", {}},
                          Case{"1.2.3.4a", {}}, Case{"-1.2.3.4", {}}, Case{"+1.2.3.4", {}}}) {
        SCOPED_TRACE(c.text);
        std::uint32_t most = 0xDEADBEEF;
        std::uint32_t least = 0xFEEDFACE;
        ASSERT_EQ(ParseFileVersion(c.text, most, least), c.words.has_value());
        EXPECT_EQ(std::pair(most, least), c.words.value_or(std::pair{0xDEADBEEFu, 0xFEEDFACEu}));
    }
}

TEST(VersionString, ShowsTheBuiltInVersionWithoutLeadingZeros) {
    std::uint32_t most = 0;
    std::uint32_t least = 0;
    std::string text = VersionString();
    if (!GetModuleVersion(most, least)) {
        EXPECT_EQ(text, "?.?.?.?");
        return;
    }
    std::uint32_t read_most = 0;
    std::uint32_t read_least = 0;
    ASSERT_TRUE(ParseFileVersion(text, read_most, read_least)) << text;
    EXPECT_EQ(read_most, most);
    EXPECT_EQ(read_least, least);
    // No number has a leading zero.
    const std::string dotted = "." + text;
    for (std::size_t at = dotted.find(".0"); at != std::string::npos; at = dotted.find(".0", at + 1))
        EXPECT_TRUE(at + 2 == dotted.size() || dotted[at + 2] == '.') << text;
}

TEST(ExecutableFolder, IsTheFolderOfThisTest) {
    std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::is_regular_file(folder + "module_version_test"));
}

} // namespace

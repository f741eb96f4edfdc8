// SPDX-License-Identifier: GPL-3.0-or-later
// A damaged help file is refused before chmlib can trip over it; a sound one still opens.

#include "help/viewer/chm_check.h"
#include "help/viewer/chm_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace qlm::help {
namespace {

class DamagedHelpFile : public ::testing::TestWithParam<const char*> {};

TEST_P(DamagedHelpFile, IsRefusedWithoutEndingTheProgram) {
    EXPECT_EQ(ChmFile::Open(std::string(QLM_TEST_DATA_DIR) + "/help/" + GetParam()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedHelpFile,
                         ::testing::Values("reset_block_len_zero.chm", "lzx_no_windows_per_reset.chm",
                                           "huge_directory_block.chm", "fuzzed_control_data.chm",
                                           "unknown_section.chm"));

TEST(HelpFileChecks, TheRealHelpFileOpensAndReadsItsPages) {
    const auto file = ChmFile::Open(QLM_HELP_FILE);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Read(file->System().default_topic).has_value());
}

// LZX control data: size, "LZXC", version, reset interval, window size, windows per reset.
std::string Control(std::uint32_t version, std::uint32_t reset, std::uint32_t window,
                    std::uint32_t per_reset) {
    std::string bytes(0x1c, '\0');
    const std::uint32_t fields[] = {6, 0, version, reset, window, per_reset};
    std::memcpy(bytes.data(), fields, sizeof fields);
    std::memcpy(bytes.data() + 4, "LZXC", 4);
    return bytes;
}

TEST(HelpFileChecks, LzxControlDataThatChmlibWouldDivideByAreRefused) {
    EXPECT_TRUE(LzxControlDataSound(Control(2, 2, 2, 1)));
    EXPECT_TRUE(LzxControlDataSound(Control(1, 0x10000, 0x10000, 1)));
    EXPECT_FALSE(LzxControlDataSound(Control(2, 2, 2, 0)));             // no windows per reset
    EXPECT_FALSE(LzxControlDataSound(Control(2, 0, 2, 1)));             // no reset interval
    EXPECT_FALSE(LzxControlDataSound(Control(1, 2, 1, 1)));             // half a window is 0
    EXPECT_FALSE(LzxControlDataSound(Control(1, 0x14000, 0x10000, 1))); // not a multiple of half a window
    EXPECT_FALSE(LzxControlDataSound(Control(2, 2, 0x20000, 1)));       // 32 bits overflow to 0
    EXPECT_FALSE(LzxControlDataSound(Control(2, 2, 2, 1).substr(0, 0x14)));
}

// Reset table: version, block count, unknown, table offset, uncompressed, compressed, block length.
std::string Table(std::uint64_t uncompressed, std::uint64_t block_length,
                  std::initializer_list<std::uint64_t> entries) {
    std::string bytes(0x28, '\0');
    const std::uint32_t head[] = {2, static_cast<std::uint32_t>(entries.size()), 8, 0x28};
    const std::uint64_t sizes[] = {uncompressed, 1000, block_length};
    std::memcpy(bytes.data(), head, sizeof head);
    std::memcpy(bytes.data() + 16, sizes, sizeof sizes);
    for (const std::uint64_t entry : entries)
        bytes.append(reinterpret_cast<const char*>(&entry), 8);
    return bytes;
}

TEST(HelpFileChecks, ResetTablesThatLeadOutsideTheContentAreRefused) {
    std::uint64_t uncompressed = 0;
    EXPECT_TRUE(ResetTableSound(Table(0x9000, 0x8000, {0, 600}), 1000, uncompressed));
    EXPECT_EQ(uncompressed, 0x9000u);
    EXPECT_FALSE(ResetTableSound(Table(0x9000, 0, {0, 600}), 1000, uncompressed));
    EXPECT_FALSE(
        ResetTableSound(Table(0x9000, 0xf7000000, {0}), 1000, uncompressed));      // chmlib would allocate it
    EXPECT_FALSE(ResetTableSound(Table(0x9000, 0x8000, {0}), 1000, uncompressed)); // too few blocks
    EXPECT_FALSE(ResetTableSound(Table(0x9000, 0x8000, {0, 1001}), 1000, uncompressed)); // past the end
    EXPECT_FALSE(ResetTableSound(Table(0x9000, 0x8000, {600, 0}), 1000, uncompressed));  // backwards
    EXPECT_FALSE(ResetTableSound(Table(0x9000, 0x8000, {0, 600}), 999, uncompressed));   // content shorter
    EXPECT_FALSE(ResetTableSound(Table(0x9000, 0x8000, {0, 600}).substr(0, 0x30), 1000, uncompressed));
}

} // namespace
} // namespace qlm::help

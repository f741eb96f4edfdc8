// SPDX-License-Identifier: GPL-3.0-or-later
// A damaged help file is refused before chmlib can trip over it; a sound one still opens.

#include "help/viewer/chm_check.h"
#include "help/viewer/chm_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace qlm::help {
namespace {

class DamagedHelpFile : public ::testing::TestWithParam<const char*> {};

TEST_P(DamagedHelpFile, IsRefusedBeforeChmlibTripsOverIt) {
    EXPECT_EQ(ChmFile::Open(std::string(QLM_TEST_DATA_DIR) + "/help/" + GetParam()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedHelpFile,
                         ::testing::Values("reset_block_len_zero.chm", "lzx_no_windows_per_reset.chm",
                                           "huge_directory_block.chm", "fuzzed_control_data.chm",
                                           "unknown_section.chm", "pmgi_points_at_itself.chm",
                                           "pmgi_entry_past_block.chm"),
                         [](const ::testing::TestParamInfo<const char*>& file) {
                             const std::string name = file.param;
                             return name.substr(0, name.find('.'));
                         });

TEST(HelpFileChecks, TheRealHelpFileOpensAndReadsItsPages) {
    const auto file = ChmFile::Open(QLM_HELP_FILE);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Read(file->System().default_topic).has_value());
}

// The directories below are written out by hand, in blocks of 1 KB.
constexpr std::uint32_t kBlockLength = 1024;

// A number of the directory: seven bits a byte, the highest first, the top bit on all but the last.
std::string Number(std::uint64_t value) {
    std::string bytes(1, static_cast<char>(value & 0x7f));
    while ((value >>= 7) != 0)
        bytes.insert(bytes.begin(), static_cast<char>(0x80 | (value & 0x7f)));
    return bytes;
}

std::string Dword(std::uint32_t value) {
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

// An entry of a listing block (an object at the start of section 0, empty) or of an index block.
std::string Object(std::string_view name) {
    return Number(name.size()) + std::string(name) + Number(0) + Number(0) + Number(0);
}
std::string Below(std::string_view name, std::uint64_t block) {
    return Number(name.size()) + std::string(name) + Number(block);
}

// A block: signature, free space, the rest of the header, the entries and as many zero bytes as
// the free space says (from the entries to the block's end unless `free_space` says otherwise);
// entries past the block's end are cut off.
std::string Block(std::string_view signature, std::string_view header_rest, const std::string& entries,
                  std::optional<std::uint32_t> free_space) {
    const auto used = static_cast<std::uint32_t>(8 + header_rest.size() + entries.size());
    std::string bytes = std::string(signature) + Dword(free_space.value_or(kBlockLength - used)) +
                        std::string(header_rest) + entries;
    bytes.resize(kBlockLength, '\0');
    return bytes;
}
std::string Listing(const std::string& entries, std::int32_t next = -1,
                    std::optional<std::uint32_t> free_space = {}) {
    return Block("PMGL", Dword(0) + Dword(0xffffffffu) + Dword(static_cast<std::uint32_t>(next)), entries,
                 free_space);
}
std::string Index(const std::string& entries, std::optional<std::uint32_t> free_space = {}) {
    return Block("PMGI", "", entries, free_space);
}

struct Directory {
    const char* name;
    std::int32_t index_root;
    std::int32_t index_head;
    std::optional<std::size_t> entries; // how many chmlib can reach; nothing: refused
    std::vector<std::string> blocks;
};

std::ostream& operator<<(std::ostream& out, const Directory& directory) {
    return out << directory.name;
}

const std::string kPages = Object("/") + Object("/index.html") + Object("/#SYSTEM");
const std::string k500 = Below(std::string(500, 'a'), 0); // 503 bytes

const Directory kDirectories[] = {
    // Sound: what chmlib walks safely, as help compilers write it and otherwise.
    {"one_listing_block", -1, 0, 3, {Listing(kPages)}},
    {"index_over_two_listing_blocks",
     2,
     0,
     4,
     {Listing(kPages, 1), Listing(Object("/z")), Index(Below("/", 0) + Below("/z", 1))}},
    {"two_levels_of_index",
     4,
     0,
     4,
     {Listing(kPages, 1), Listing(Object("/z")), Index(Below("/", 0)), Index(Below("/z", 1)),
      Index(Below("/", 2) + Below("/z", 3))}},
    {"root_below_minus_one_is_the_first_listing_block", -2, 0, 3, {Listing(kPages)}},
    {"two_index_blocks_name_one_listing_block",
     3,
     0,
     3,
     {Listing(kPages), Index(Below("/", 0)), Index(Below("/", 0)), Index(Below("/", 1) + Below("/m", 2))}},
    {"a_block_no_walk_comes_to_is_not_read", -1, 0, 3, {Listing(kPages), std::string(kBlockLength, 'x')}},
    {"name_of_512_bytes", -1, 0, 1, {Listing(Object(std::string(512, 'a')))}},
    // Index blocks that send chmlib round for ever, out of the directory or past a block's end.
    {"index_names_itself", 1, 0, {}, {Listing(kPages), Index(Below("/", 1) + Below("::", 0))}},
    {"two_index_blocks_name_each_other",
     1,
     0,
     {},
     {Listing(kPages), Index(Below("/", 2)), Index(Below("/", 1))}},
    {"index_names_the_root",
     2,
     0,
     {},
     {Listing(kPages), Index(Below("/", 2)), Index(Below("/", 0) + Below("/m", 1))}},
    {"index_names_a_block_past_the_directory", 1, 0, {}, {Listing(kPages), Index(Below("/", 2))}},
    {"index_names_block_minus_one", 1, 0, {}, {Listing(kPages), Index(Below("/", 0xffffffffu))}},
    {"root_past_the_directory", 1, 0, {}, {Listing(kPages)}},
    {"root_neither_listing_nor_index", 1, 0, {}, {Listing(kPages), std::string(kBlockLength, 'x')}},
    {"index_name_runs_past_the_block",
     1,
     0,
     {},
     {Listing(kPages), Index(k500 + Below(std::string(503, 'b'), 0) + Number(100) + "d", 0)}},
    {"index_block_number_runs_past_the_block",
     1,
     0,
     {},
     {Listing(kPages), Index(k500 + Number(510) + std::string(510, 'b') + "\x80", 0)}},
    {"index_free_space_beyond_the_block", 1, 0, {}, {Listing(kPages), Index(Below("/", 0), kBlockLength)}},
    // Listing blocks that chmlib reads past their entries or follows round for ever.
    {"listing_entry_runs_into_the_free_space",
     -1,
     0,
     {},
     {Listing(kPages, -1, kBlockLength - 0x14 - static_cast<std::uint32_t>(kPages.size()) + 1)}},
    {"listing_free_space_beyond_the_block", -1, 0, {}, {Listing(kPages, -1, kBlockLength)}},
    {"empty_name", -1, 0, {}, {Listing(Object(""))}},
    {"name_longer_than_chmlib_takes", -1, 0, {}, {Listing(Object(std::string(513, 'a')))}},
    {"name_with_a_zero_byte", -1, 0, {}, {Listing(Object(std::string("/a\0b", 4)))}},
    {"listing_chain_names_itself", -1, 0, {}, {Listing(kPages, 0)}},
    {"listing_chain_of_two_goes_round", -1, 0, {}, {Listing(kPages, 1), Listing(Object("/z"), 0)}},
    {"listing_chain_past_the_directory", -1, 0, {}, {Listing(kPages, 1)}},
    {"listing_chain_leads_to_an_index_block", -1, 0, {}, {Listing(kPages, 1), Index(Below("/", 0))}},
    {"damaged_listing_block_only_on_the_chain", -1, 0, {}, {Listing(kPages, 1), Listing(Object(""))}},
};

class HelpDirectory : public ::testing::TestWithParam<Directory> {};

TEST_P(HelpDirectory, IsWalkedAsChmlibWalksIt) {
    std::string blocks;
    for (const std::string& block : GetParam().blocks)
        blocks += block;
    const auto entries = ReachableEntries(blocks, kBlockLength, GetParam().index_root, GetParam().index_head);
    ASSERT_EQ(entries.has_value(), GetParam().entries.has_value());
    if (entries) {
        EXPECT_EQ(entries->size(), *GetParam().entries);
    }
}

INSTANTIATE_TEST_SUITE_P(Directories, HelpDirectory, ::testing::ValuesIn(kDirectories),
                         [](const ::testing::TestParamInfo<Directory>& directory) {
                             return std::string(directory.param.name);
                         });

TEST(HelpFileChecks, TheEntriesOfAListingBlockAreItsObjects) {
    const std::string blocks = Listing(Number(3) + "/ab" + Number(1) + Number(300) + Number(70000));
    const auto entries = ReachableEntries(blocks, kBlockLength, -1, 0);
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ(entries->front().name, "/ab");
    EXPECT_EQ(entries->front().section, 1u);
    EXPECT_EQ(entries->front().offset, 300u);
    EXPECT_EQ(entries->front().length, 70000u);
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

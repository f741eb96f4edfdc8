// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/folder_listing.h"
#include "core/gallery_names.h"

#include "platform/globals.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <cerrno>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace qlm;
using qlm::platform::tDirEntry;
using qlm::platform::tGetDirList;

namespace {

// The name order follows the user's locale; the tests run in the plain one, which stands for
// users who have set none.
const bool kPlainLocale = setenv("LC_ALL", "C.UTF-8", 1) == 0;

std::vector<std::string> Captions(const std::vector<ListEntry>& entries) {
    std::vector<std::string> captions;
    for (const ListEntry& entry : entries)
        captions.push_back(entry.caption);
    return captions;
}

tDirEntry Record(const char* name, bool folder) {
    tDirEntry entry;
    std::snprintf(entry.Name, sizeof entry.Name, "%s", name);
    entry.Attr = folder ? platform::kAttrDirectory : 0;
    return entry;
}

int Sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace

TEST(HasPictureExtension, KnowsTheFourExtensionsInAnyCase) {
    for (const char* name : {"bild.JPG", "bild.jpeg", "Bild.Png", "a.gif", "x.y.JpEg", ".jpg"})
        EXPECT_TRUE(HasPictureExtension(name)) << name;
    for (const char* name : {"bild.jpe", "bild.bmp", "jpg", "bild.jpg.txt", "bild.", "bild_jpg", ""})
        EXPECT_FALSE(HasPictureExtension(name)) << name;
}

TEST(FilterListing, ShowsFoldersAndPicturesButNoThumbnails) {
    const test::TempFolder temp;
    const std::string folder = temp.Path();
    for (const char* file : {"bild.JPG", "bild.jpeg", "Bild.Png", "a.gif", ".versteckt.jpg", "t_bild.jpg",
                             "T_BILD.JPG", "t_", "bild.bmp", "info.txt", "noext"})
        std::ofstream(folder + file) << "x";
    for (const char* sub : {"urlaub.jpg", ".hidden", "sub", "t_alt", "T_X", "t", "tx_y"})
        fs::create_directory(folder + sub);
    fs::create_directory_symlink("sub", folder + "verweis");

    tGetDirList search;
    ASSERT_EQ(search.GetDirList(folder + "*.*"), 0);
    std::vector<ListEntry> entries = FilterListing(search, folder);
    std::set<std::pair<std::string, EntryKind>> listed;
    for (const ListEntry& entry : entries)
        listed.emplace(entry.caption, entry.kind);
    EXPECT_EQ(entries.size(), listed.size());
    const std::set<std::pair<std::string, EntryKind>> expected = {
        {"..", EntryKind::Parent},         {"urlaub.jpg", EntryKind::Folder},
        {".hidden", EntryKind::Folder},    {"sub", EntryKind::Folder},
        {"t", EntryKind::Folder},          {"tx_y", EntryKind::Folder},
        {"verweis", EntryKind::Folder},    {"bild.JPG", EntryKind::Picture},
        {"bild.jpeg", EntryKind::Picture}, {"Bild.Png", EntryKind::Picture},
        {"a.gif", EntryKind::Picture},     {".versteckt.jpg", EntryKind::Picture}};
    EXPECT_EQ(listed, expected);
}

TEST(FilterListing, KeepsTheSearchOrderAndTheRootHasNoParent) {
    tDirEntry block[] = {Record("z.png", false), Record("..", true), Record("b", true), Record(".", true),
                         Record("a.gif", false)};
    const std::vector<std::string> inside = {"z.png", "..", "b", "a.gif"};
    const std::vector<std::string> root = {"z.png", "b", "a.gif"};
    for (const auto& [folder, expected] : {std::pair{"/home/u/", inside}, std::pair{"/", root},
                                           std::pair{"//", root}, std::pair{"/../", root}}) {
        tGetDirList search;
        search.SetData(5, block);
        EXPECT_EQ(Captions(FilterListing(search, folder)), expected) << folder;
    }
}

struct OrderCase {
    const char* name;
    std::vector<ListEntry> entries;
    std::vector<std::string> sorted;
};

class SortEntriesTest : public testing::TestWithParam<OrderCase> {};

TEST_P(SortEntriesTest, ListsParentFoldersThenPictures) {
    ASSERT_TRUE(kPlainLocale);
    std::vector<ListEntry> entries = GetParam().entries;
    // Whatever order the search gave, the list order is the same.
    std::mt19937 shuffle(7);
    for (int round = 0; round < 5; ++round) {
        std::shuffle(entries.begin(), entries.end(), shuffle);
        SortEntries(entries);
        EXPECT_EQ(Captions(entries), GetParam().sorted);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Orders, SortEntriesTest,
    testing::Values(
        OrderCase{"MixedCaseNames",
                  {{"b", EntryKind::Folder},
                   {"z.jpg", EntryKind::Picture},
                   {"A", EntryKind::Folder},
                   {"..", EntryKind::Parent},
                   {"B.GIF", EntryKind::Picture},
                   {"c", EntryKind::Folder}},
                  {"..", "A", "b", "c", "B.GIF", "z.jpg"}},
        OrderCase{"KindsBeforeNames",
                  {{"aa.jpg", EntryKind::Picture}, {"/zz/", EntryKind::Drive}, {"..", EntryKind::Parent}},
                  {"..", "/zz/", "aa.jpg"}},
        OrderCase{"NamesEqualButForCase",
                  {{"bild.jpg", EntryKind::Picture},
                   {"BILD.JPG", EntryKind::Picture},
                   {"Bild.jpg", EntryKind::Picture}},
                  {"BILD.JPG", "Bild.jpg", "bild.jpg"}},
        OrderCase{"UmlautsAmongTheirLetters",
                  {{"Zaun", EntryKind::Folder},
                   {"\xC3\x84pfel", EntryKind::Folder},
                   {"Birnen", EntryKind::Folder},
                   {"apfel", EntryKind::Folder}},
                  {"apfel", "\xC3\x84pfel", "Birnen", "Zaun"}},
        OrderCase{"NamesThatAreNotUtf8",
                  {{"Bat", EntryKind::Folder}, {"B\xE4ren", EntryKind::Folder}, {"Bar", EntryKind::Folder}},
                  {"Bar", "B\xE4ren", "Bat"}}),
    [](const testing::TestParamInfo<OrderCase>& row) { return row.param.name; });

// std::sort needs a strict weak order; names that are no valid UTF-8 must not break it.
TEST(CompareEntries, IsATotalOrderThatSortingAgreesWith) {
    // clang-format off
    const char* names[] = {"a", "A", "b", "B", "\xC3\xA4", "\xE4", "\xFF", "\xC3", "\xC3\x28", "Bar", "B\xE4ren",
                           "B\xC3\xA4ren", "Baeren", "10", "9", "", "-", "_x", "\xED\xA0\x80", "\xF4\x90\x80\x80"};
    // clang-format on
    std::vector<ListEntry> entries;
    for (const char* name : names)
        entries.push_back({name, EntryKind::Folder});

    for (const ListEntry& a : entries) {
        for (const ListEntry& b : entries) {
            const int ab = Sign(CompareEntries(a, b));
            EXPECT_EQ(ab, -Sign(CompareEntries(b, a)));
            EXPECT_EQ(ab == 0, &a == &b) << "only a name equals itself";
            for (const ListEntry& c : entries) {
                if (ab < 0 && CompareEntries(b, c) < 0) {
                    EXPECT_LT(CompareEntries(a, c), 0) << "not transitive";
                }
            }
        }
    }
    std::vector<ListEntry> sorted = entries;
    SortEntries(sorted);
    for (std::size_t i = 1; i < sorted.size(); ++i)
        EXPECT_LT(CompareEntries(sorted[i - 1], sorted[i]), 0) << i;
}

TEST(EnterFolder, GivesTheFullPathWithItsSeparator) {
    struct Case {
        const char *current, *caption, *entered;
    };
    for (const Case& c :
         {Case{"/home/u/", "Bilder", "/home/u/Bilder/"}, Case{"/home/u", "Bilder", "/home/u/Bilder/"},
          Case{"/home/u/Bilder/", "..", "/home/u/"}, Case{"/home/", "..", "/"}, Case{"/", "..", "/"}})
        EXPECT_EQ(EnterFolder(c.current, c.caption), c.entered) << c.current << " + " << c.caption;
}

// The command line lists only the pictures, from the folder's own records where they tell the
// kind; its list must be the picture rows of the folder list, in the same order, whatever the
// entries are: links to folders and files, dangling links, folders named like pictures, pipes.
TEST(ListPictures, GivesThePictureRowsOfTheFolderList) {
    const test::TempFolder temp;
    const std::string folder = temp.Path();
    for (const char* file :
         {"bild.JPG", "Bild.jpeg", "a.gif", "b.GIF", "B.gif", "\xC3\xA4pfel.png", "zebra.png",
          ".versteckt.jpg", "t_bild.jpg", "T_BILD.JPG", "info.txt", "bild.bmp", "x.y.jpg"})
        std::ofstream(folder + file) << "x";
    fs::create_directory(folder + "ordner.jpg");
    fs::create_directory(folder + "t_ordner");
    fs::create_directory_symlink(folder + "ordner.jpg", folder + "ordnerverweis.png");
    fs::create_symlink(folder + "zebra.png", folder + "verweis.jpg");
    fs::create_symlink(folder + "fehlt.jpg", folder + "tot.jpg");
    ASSERT_EQ(mkfifo((folder + "rohr.gif").c_str(), 0600), 0);

    std::vector<ListEntry> rows;
    ASSERT_EQ(ListFolder(folder, rows), 0);
    std::vector<std::string> expected;
    for (const ListEntry& row : rows)
        if (row.kind == EntryKind::Picture)
            expected.push_back(row.caption);
    std::vector<std::string> pictures;
    ASSERT_EQ(ListPictures(folder, pictures), 0);
    EXPECT_EQ(pictures, expected);
    const std::vector<std::string> plain = {".versteckt.jpg", "a.gif",     "B.gif",     "b.GIF",
                                            "bild.JPG",       "Bild.jpeg", "rohr.gif",  "tot.jpg",
                                            "verweis.jpg",    "x.y.jpg",   "zebra.png", "\xC3\xA4pfel.png"};
    EXPECT_EQ(std::set<std::string>(pictures.begin(), pictures.end()),
              std::set<std::string>(plain.begin(), plain.end()));

    // The texts and the pages: every name that ends in ".txt" (".html"), whatever it is, and none other.
    for (const char* text : {"bild.txt", "x.y.txt", "\xC3\xA4pfel.txt", "bild.html", "index.html"})
        std::ofstream(folder + text) << "Text";
    fs::create_symlink(folder + "fehlt.txt", folder + "tot.txt");
    fs::create_directory(folder + "ordner.txt");
    fs::create_directory(folder + "ordner.html");
    ListedNames listed;
    ASSERT_EQ(ListPictures(folder, pictures, &listed), 0);
    EXPECT_EQ(pictures, expected);
    for (const char* name : {"bild.txt", "x.y.txt", "\xC3\xA4pfel.txt", "tot.txt", "ordner.txt", "info.txt",
                             "bild.html", "index.html", "ordner.html"})
        EXPECT_TRUE(listed.MayHold(name)) << name;
    for (const char* other : {"x.y.html", "zebra.txt", "zebra.png", "bild.htm", "bild.JPG"})
        EXPECT_FALSE(listed.MayHold(other)) << other;

    EXPECT_EQ(ListPictures(folder + "fehlt/", pictures, &listed), ENOENT);
    EXPECT_TRUE(pictures.empty());
    EXPECT_EQ(ListPictures(folder + "bild.JPG/", pictures), ENOTDIR);
}
